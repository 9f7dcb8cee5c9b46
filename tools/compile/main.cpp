// glossa-compile: builds a dictionary set from a DSL, StarDict, DICT, MyThes
// or tab-separated source.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

#include "formats/source_error.h"
#include "progress_bar.h"
#include "set_compiler.h"

using namespace Qt::StringLiterals;

namespace {

void printErr(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputs("\n", stderr);
}

int usage()
{
    printErr(u"usage: glossa-compile [--format dsl|stardict|dict|mythes|tsv] [--base NAME] [--keep-duplicates]\n"
             u"                      [--quiet] <input> <set-folder>\n"
             u"The format is guessed from the input's extension when not given."_s);
    return 2;
}

const char *encodingName(WordIndexEncoding e)
{
    switch (e) {
    case WordIndexEncoding::Windows1251:
        return "Windows-1251";
    case WordIndexEncoding::Utf16:
        return "UTF-16";
    case WordIndexEncoding::Utf8:
        return "UTF-8";
    }
    return "";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    std::optional<SourceFormat> format;
    CompileOptions options;
    options.progress = ProgressBar::stderrIsTerminal();
    bool quiet = false;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--format"_s || a == u"--base"_s) {
            if (i + 1 >= args.size())
                return usage();
            const QString value = args[++i];
            if (a == u"--base"_s) {
                options.baseName = value;
            } else {
                format = sourceFormatFromName(value);
                if (!format) {
                    printErr(u"glossa-compile: unknown format \"%1\""_s.arg(value));
                    return usage();
                }
            }
        } else if (a == u"--keep-duplicates"_s) {
            options.mergeDuplicates = false;
        } else if (a == u"--quiet"_s) {
            quiet = true;
            options.progress = false;
        } else if (a == u"-h"_s || a == u"--help"_s) {
            usage();
            return 0;
        } else if (a.startsWith(u"--"_s)) {
            printErr(u"glossa-compile: unknown option %1"_s.arg(a));
            return usage();
        } else {
            positional.append(a);
        }
    }
    if (positional.size() != 2)
        return usage();
    const QString &input = positional[0];
    if (!format)
        format = guessSourceFormat(input);
    if (!format) {
        printErr(u"glossa-compile: can't tell the format of %1; give --format"_s.arg(input));
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    try {
        const CompileResult r = compileSet(*format, input, positional[1], options,
                                           [](const QString &w) { printErr(u"warning: "_s + w); });
        if (!quiet) {
            std::fprintf(stderr,
                         "%lld entries read, %lld written (%lld duplicates merged, %lld skipped); "
                         "word index in %s; %.1f s\n",
                         static_cast<long long>(r.entriesRead), static_cast<long long>(r.entriesWritten),
                         static_cast<long long>(r.duplicatesMerged), static_cast<long long>(r.entriesSkipped),
                         encodingName(r.encoding), double(timer.elapsed()) / 1000.0);
        }
    } catch (const Exception &e) {
        printErr(u"glossa-compile: "_s + e.message());
        return 1;
    } catch (const std::exception &e) {
        printErr(u"glossa-compile: "_s + QString::fromLocal8Bit(e.what()));
        return 1;
    }
    return 0;
}
