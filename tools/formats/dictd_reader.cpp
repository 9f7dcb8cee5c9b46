#include "dictd_reader.h"

#include "gzip_file.h"
#include "html_markup.h"
#include "line_reader.h"
#include "source_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

QString baseOf(const QString &path)
{
    for (const QString &suffix : {u".dict.dz"_s, u".index"_s, u".dict"_s}) {
        if (path.endsWith(suffix, Qt::CaseInsensitive))
            return path.left(path.size() - suffix.size());
    }
    return path;
}

// The article as text: the headword line that dictd articles repeat at their
// top is dropped, since the viewer puts the headword there itself.
QString articleBody(QString text, const QString &headword)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    while (text.startsWith(u'\n'))
        text.remove(0, 1);
    const qsizetype firstBreak = text.indexOf(u'\n');
    const QString firstLine = firstBreak < 0 ? text : text.left(firstBreak);
    if (firstLine.trimmed().compare(headword.trimmed(), Qt::CaseInsensitive) == 0)
        text.remove(0, firstBreak < 0 ? text.size() : firstBreak + 1);
    while (text.endsWith(u'\n') || text.endsWith(u' '))
        text.chop(1);
    return plainTextToHtml(text);
}

} // namespace

bool decodeDictdNumber(QStringView text, int64_t &value)
{
    if (text.isEmpty())
        return false;
    int64_t v = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'A' && u <= u'Z')
            digit = u - u'A';
        else if (u >= u'a' && u <= u'z')
            digit = u - u'a' + 26;
        else if (u >= u'0' && u <= u'9')
            digit = u - u'0' + 52;
        else if (u == u'+')
            digit = 62;
        else if (u == u'/')
            digit = 63;
        if (digit < 0 || v > (int64_t(1) << 47))
            return false;
        v = v * 64 + digit;
    }
    value = v;
    return true;
}

void readDictd(const QString &path, const SourceContext &context)
{
    const QString base = baseOf(path);
    const QString indexPath = base + u".index";
    QString dictPath = base + u".dict";
    QString dictShown = dictPath;
    if (!QFileInfo::exists(dictPath) && QFileInfo::exists(base + u".dict.dz"))
        dictShown = base + u".dict.dz";
    if (isGzipFile(dictShown)) {
        dictPath = QDir(context.tempDir).filePath(u"source.dict"_s);
        gunzipFile(dictShown, dictPath);
    }
    QFile dict(dictPath);
    if (!dict.open(QIODevice::ReadOnly))
        raiseForFile(dictShown, u"cannot open the file: "_s + dict.errorString());
    const int64_t dictSize = dict.size();

    LineReader reader(indexPath);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString line;
    while (reader.next(line)) {
        if (context.progress && reader.lineNumber() % 4096 == 0)
            context.progress(reader.position(), reader.size());
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(u'\t');
        if (fields.size() < 3)
            raiseAtLine(indexPath, reader.lineNumber(), u"expected headword, offset and length separated by tabs"_s);
        const QString &headword = fields[0];
        if (headword.startsWith(u"00-database-"_s) || headword.startsWith(u"00database"_s))
            continue;
        int64_t offset = 0;
        int64_t length = 0;
        if (!decodeDictdNumber(fields[1], offset))
            raiseAtLine(indexPath, reader.lineNumber(), u"bad base-64 offset \"%1\""_s.arg(fields[1]));
        if (!decodeDictdNumber(fields[2], length))
            raiseAtLine(indexPath, reader.lineNumber(), u"bad base-64 length \"%1\""_s.arg(fields[2]));
        if (offset > dictSize || length > dictSize - offset)
            raiseAtLine(indexPath, reader.lineNumber(),
                        u"entry \"%1\" points to bytes %2..%3, past the end of %4 (%5 bytes)"_s.arg(headword)
                            .arg(offset)
                            .arg(offset + length)
                            .arg(QDir::toNativeSeparators(dictShown))
                            .arg(dictSize));
        if (!dict.seek(offset))
            raiseAtOffset(dictShown, offset, u"cannot seek: "_s + dict.errorString());
        const QByteArray data = dict.read(length);
        if (data.size() != length)
            raiseAtOffset(dictShown, offset, u"cannot read %1 bytes"_s.arg(length));
        utf8.resetState();
        const QString text = utf8.decode(data);
        if (utf8.hasError())
            raiseAtOffset(dictShown, offset,
                          u"article of \"%1\" (%2) is not valid UTF-8"_s.arg(
                              headword, describePosition(indexPath, {SourcePosition::Kind::Line, reader.lineNumber()})));
        context.entry({headword, u"<div>"_s + articleBody(text, headword) + u"</div>"_s, indexPath,
                       {SourcePosition::Kind::Line, reader.lineNumber()}});
    }
    if (context.progress)
        context.progress(reader.size(), reader.size());
}
