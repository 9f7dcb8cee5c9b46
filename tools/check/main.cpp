// glossa-check: reports every broken rule of a dictionary set.
// Exit status: 0 sound, 1 broken, 2 missing or unreadable files or bad usage.

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "set_checker.h"

using namespace Qt::StringLiterals;

namespace {

void printTo(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputs("\n", stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString base = u"glossa"_s;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--base"_s && i + 1 < args.size())
            base = args[++i];
        else if (args[i].startsWith(u'-'))
            positional.append(QString()); // an unknown option: show the usage
        else
            positional.append(args[i]);
    }
    if (positional.size() != 1 || positional[0].isEmpty()) {
        printTo(stderr, u"usage: glossa-check <set-folder> [--base NAME]"_s);
        return 2;
    }
    const CheckReport report = checkDictionarySet(positional[0], base);
    for (const QString &p : report.problems)
        printTo(stdout, u"error: "_s + p);
    for (const QString &n : report.notes)
        printTo(stdout, u"note: "_s + n);
    if (report.unreadable)
        return 2;
    if (!report.sound()) {
        printTo(stdout, u"%1 entries; the set is broken (%2 problems listed)"_s.arg(report.entries).arg(
                            report.problems.size()));
        return 1;
    }
    printTo(stdout, u"%1 entries; the set is sound"_s.arg(report.entries));
    return 0;
}
