// glossa-mkset: writes a dictionary set from a UTF-8 source text; the source
// format and the options are described in sample_source.h and by --help.

#include "sample_source.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return runMkset(arguments, out, err);
}
