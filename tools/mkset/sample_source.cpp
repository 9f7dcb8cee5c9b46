#include "sample_source.h"

#include "platform/errors.h"
#include "store/set_writer.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

Exception sourceError(const QString &fileName, int line, const QString &what)
{
    return Exception(u"%1:%2: %3"_s.arg(QDir::toNativeSeparators(fileName)).arg(line).arg(what));
}

bool isBlank(QStringView line)
{
    return line.trimmed().isEmpty();
}

void closeEntry(std::vector<SourceEntry> &entries, QStringList &articleLines)
{
    while (!articleLines.isEmpty() && isBlank(articleLines.constLast()))
        articleLines.removeLast();
    entries.back().article = articleLines.join(u'\n');
    articleLines.clear();
}

const QString HelpText = QStringLiteral(
    "Usage: glossa-mkset [--encoding cp1251|utf16|utf8] [--letter-index] <source.txt> <set-folder> [base-name]\n"
    "\n"
    "Writes the dictionary set <set-folder>/<base-name>.ogl (word index), .uvs (articles)\n"
    "and, with --letter-index, .dvc (letter index). The base name is \"glossa\" unless given.\n"
    "An existing set of that name is replaced only when the new one is complete.\n"
    "\n"
    "Options:\n"
    "  --encoding E     word index encoding: cp1251 (default; falls back to utf16 when a\n"
    "                   headword does not fit), utf16 or utf8 (both with a byte-order mark)\n"
    "  --letter-index   also write the letter index; entries are ordered by key letter\n"
    "  -h, --help       show this text\n"
    "\n"
    "Source format (UTF-8 text):\n"
    "  # comment             lines starting with \"#\" before the first entry are comments\n"
    "  @ HEADWORD            starts an entry; the rest of the line is the headword\n"
    "  <html article lines>  the lines up to the next \"@ \" line are its HTML article,\n"
    "                        joined with line feeds, trailing blank lines dropped\n"
    "Each article should begin with its headword as stored: the viewer sets that many\n"
    "leading characters in bold.\n");

} // namespace

std::vector<SourceEntry> parseSampleSource(const QByteArray &utf8, const QString &fileName)
{
    QByteArrayView bytes(utf8);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    std::vector<SourceEntry> entries;
    QStringList articleLines;
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArrayView raw = bytes.sliced(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (raw.endsWith('\r'))
            raw.chop(1);

        // Each line on its own, so that an error names its line.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString line = decoder.decode(raw);
        if (decoder.hasError())
            throw sourceError(fileName, lineNumber, u"the line is not valid UTF-8"_s);

        if (line.startsWith(u"@ "_s) || line.trimmed() == u"@"_s) {
            const QString headword = line.mid(1).trimmed();
            if (headword.isEmpty())
                throw sourceError(fileName, lineNumber, u"the entry has no headword"_s);
            const QString fault = headwordFault(headword, WordIndexEncoding::Utf16);
            if (!fault.isEmpty())
                throw sourceError(fileName, lineNumber, fault);
            if (!entries.empty())
                closeEntry(entries, articleLines);
            entries.push_back(SourceEntry{headword, {}, lineNumber});
            continue;
        }
        if (entries.empty()) {
            if (line.startsWith(u'#') || isBlank(line))
                continue;
            throw sourceError(fileName, lineNumber,
                              u"text before the first entry; an entry starts with a line \"@ HEADWORD\""_s);
        }
        const QString fault = articleFault(line);
        if (!fault.isEmpty())
            throw sourceError(fileName, lineNumber, fault);
        articleLines.append(line);
    }
    if (!entries.empty())
        closeEntry(entries, articleLines);
    return entries;
}

std::vector<SourceEntry> readSampleSource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(u"Cannot open file \"%1\". %2"_s.arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(u"Cannot read file \"%1\". %2"_s.arg(QDir::toNativeSeparators(path), file.errorString()));
    return parseSampleSource(bytes, path);
}

int runMkset(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    SetWriterOptions options;
    QStringList positional;
    try {
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            const QString &arg = arguments[i];
            if (arg == u"-h"_s || arg == u"--help"_s) {
                out << HelpText;
                out.flush();
                return 0;
            }
            if (arg == u"--letter-index"_s) {
                options.letterIndex = true;
            } else if (arg == u"--encoding"_s || arg.startsWith(u"--encoding="_s)) {
                QString value;
                if (arg == u"--encoding"_s) {
                    if (++i >= arguments.size())
                        throw Exception(u"--encoding needs a value: cp1251, utf16 or utf8"_s);
                    value = arguments[i];
                } else {
                    value = arg.mid(11);
                }
                if (value == u"cp1251"_s)
                    options.encoding = WordIndexEncoding::Windows1251;
                else if (value == u"utf16"_s)
                    options.encoding = WordIndexEncoding::Utf16;
                else if (value == u"utf8"_s)
                    options.encoding = WordIndexEncoding::Utf8;
                else
                    throw Exception(u"unknown encoding \"%1\": use cp1251, utf16 or utf8"_s.arg(value));
            } else if (arg.startsWith(u'-') && arg.size() > 1) {
                throw Exception(u"unknown option \"%1\" (see --help)"_s.arg(arg));
            } else {
                positional.append(arg);
            }
        }
        if (positional.size() < 2 || positional.size() > 3)
            throw Exception(u"expected <source.txt> <set-folder> [base-name] (see --help)"_s);
        const QString &sourcePath = positional[0];
        const QString &folder = positional[1];
        const QString baseName = positional.size() == 3 ? positional[2] : u"glossa"_s;

        const std::vector<SourceEntry> source = readSampleSource(sourcePath);
        if (source.empty())
            throw Exception(u"%1: no entries; an entry starts with a line \"@ HEADWORD\""_s.arg(
                QDir::toNativeSeparators(sourcePath)));

        std::vector<SetEntry> entries;
        entries.reserve(source.size());
        for (const SourceEntry &e : source)
            entries.push_back(SetEntry{e.headword, e.article});
        if (options.letterIndex)
            orderByKeyLetter(entries);

        if (options.encoding == WordIndexEncoding::Windows1251) {
            const QString fault = encodingFault(entries, WordIndexEncoding::Windows1251);
            if (!fault.isEmpty()) {
                err << u"glossa-mkset: "_s << fault << u"; writing the word index in UTF-16 instead\n"_s;
                err.flush();
                options.encoding = WordIndexEncoding::Utf16;
            }
        }

        const qsizetype count = qsizetype(entries.size());
        writeDictionarySet(folder, baseName, std::move(entries), options);

        const QDir dir(folder);
        out << u"Wrote %1 entries: %2.ogl, .uvs%3\n"_s.arg(count)
                   .arg(QDir::toNativeSeparators(dir.filePath(baseName)), options.letterIndex ? u", .dvc"_s : QString());
        out.flush();
        return 0;
    } catch (const Exception &e) {
        err << u"glossa-mkset: "_s << e.message() << u'\n';
        err.flush();
        return 1;
    } catch (const std::exception &e) {
        err << u"glossa-mkset: "_s << QString::fromUtf8(e.what()) << u'\n';
        err.flush();
        return 1;
    }
}
