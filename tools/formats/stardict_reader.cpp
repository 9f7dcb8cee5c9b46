#include "stardict_reader.h"

#include "gzip_file.h"
#include "html_markup.h"
#include "line_reader.h"
#include "source_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QString baseOf(const QString &path)
{
    for (const QString &suffix : {u".dict.dz"_s, u".idx.gz"_s, u".ifo"_s, u".idx"_s, u".dict"_s, u".syn"_s}) {
        if (path.endsWith(suffix, Qt::CaseInsensitive))
            return path.left(path.size() - suffix.size());
    }
    return path;
}

bool isTextType(char t)
{
    return t == 'm' || t == 'l' || t == 't' || t == 'y' || t == 'k' || t == 'w';
}

bool isHtmlType(char t)
{
    return t == 'h' || t == 'g' || t == 'x';
}

void appendField(QString &html, char type, QByteArrayView bytes)
{
    if (!isTextType(type) && !isHtmlType(type))
        return; // resources, sounds, pictures
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    QString part = isHtmlType(type) ? sanitizeHtml(text) : plainTextToHtml(text);
    if (type == 't' || type == 'y')
        part = u"[" + part + u"]";
    if (part.isEmpty())
        return;
    if (!html.isEmpty())
        html += u"<br>";
    html += part;
}

struct Ifo
{
    QByteArray sameTypeSequence;
    int64_t wordCount = -1;
    int64_t idxFileSize = -1;
    int offsetBits = 32;
};

Ifo readIfo(const QString &path)
{
    LineReader reader(path);
    QString line;
    if (!reader.next(line) || line.trimmed() != u"StarDict's dict ifo file"_s)
        raiseAtLine(path, 1, u"not a StarDict .ifo file (the first line must be \"StarDict's dict ifo file\")"_s);
    Ifo ifo;
    bool hasVersion = false;
    while (reader.next(line)) {
        const qsizetype eq = line.indexOf(u'=');
        if (line.trimmed().isEmpty())
            continue;
        if (eq < 0)
            raiseAtLine(path, reader.lineNumber(), u"expected key=value"_s);
        const QString key = line.left(eq).trimmed();
        const QString value = line.sliced(eq + 1).trimmed();
        bool ok = true;
        if (key == u"version"_s) {
            hasVersion = true;
        } else if (key == u"wordcount"_s) {
            ifo.wordCount = value.toLongLong(&ok);
        } else if (key == u"idxfilesize"_s) {
            ifo.idxFileSize = value.toLongLong(&ok);
        } else if (key == u"idxoffsetbits"_s) {
            ifo.offsetBits = value.toInt(&ok);
            ok = ok && (ifo.offsetBits == 32 || ifo.offsetBits == 64);
        } else if (key == u"sametypesequence"_s) {
            ifo.sameTypeSequence = value.toLatin1();
            for (char c : std::as_const(ifo.sameTypeSequence))
                ok = ok && QChar::fromLatin1(c).isLetter();
        }
        if (!ok || (ifo.wordCount < -1) || (ifo.idxFileSize < -1))
            raiseAtLine(path, reader.lineNumber(), u"bad value for %1: \"%2\""_s.arg(key, value));
    }
    if (!hasVersion)
        raiseForFile(path, u"no version line"_s);
    if (ifo.wordCount < 0)
        raiseForFile(path, u"no wordcount line"_s);
    return ifo;
}

// Reads the .idx in small pieces.
class IdxReader
{
public:
    explicit IdxReader(const QString &path)
        : m_path(path)
        , m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            raiseForFile(path, u"cannot open the file: "_s + m_file.errorString());
    }

    int64_t size() const { return m_file.size(); }
    int64_t position() const { return m_offset; }
    bool atEnd() { return m_pos >= m_buffer.size() && !refill(); }

    // The next byte; raises at the end of the file.
    unsigned char byte(const char *what)
    {
        if (m_pos >= m_buffer.size() && !refill())
            raiseAtOffset(m_path, m_offset, u"file ends inside an entry (%1)"_s.arg(QLatin1StringView(what)));
        ++m_offset;
        return static_cast<unsigned char>(m_buffer[m_pos++]);
    }

    uint64_t bigEndian(int bytes, const char *what)
    {
        uint64_t v = 0;
        for (int k = 0; k < bytes; ++k)
            v = v << 8 | byte(what);
        return v;
    }

private:
    bool refill()
    {
        m_buffer = m_file.read(1 << 20);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    QString m_path;
    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    int64_t m_offset = 0;
};

} // namespace

bool starDictFieldsToHtml(const QByteArray &data, const QByteArray &types, QString &html)
{
    html.clear();
    const qsizetype n = data.size();
    qsizetype pos = 0;
    const auto readField = [&](char type, bool last) -> bool {
        const bool sized = QChar::fromLatin1(type).isUpper();
        if (sized) {
            qsizetype length = n - pos;
            if (!last) {
                if (n - pos < 4)
                    return false;
                const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + pos);
                const uint32_t size = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
                pos += 4;
                if (size > uint64_t(n - pos))
                    return false;
                length = qsizetype(size);
            }
            pos += length;
            return true;
        }
        qsizetype end = n;
        if (!last) {
            const char *zero = static_cast<const char *>(std::memchr(data.constData() + pos, 0, size_t(n - pos)));
            if (!zero)
                return false;
            end = zero - data.constData();
        } else {
            // The last field runs to the end; a terminator there is tolerated.
            const char *zero = static_cast<const char *>(std::memchr(data.constData() + pos, 0, size_t(n - pos)));
            if (zero)
                end = zero - data.constData();
        }
        appendField(html, type, QByteArrayView(data.constData() + pos, end - pos));
        pos = last ? n : end + 1;
        return true;
    };
    if (!types.isEmpty()) {
        for (qsizetype k = 0; k < types.size(); ++k) {
            if (!readField(types[k], k + 1 == types.size()))
                return false;
        }
        return true;
    }
    // Every field: its type character, then a terminated text or a sized block.
    while (pos < n) {
        const char type = data[pos++];
        if (!QChar::fromLatin1(type).isLetter())
            return false;
        if (QChar::fromLatin1(type).isUpper()) {
            if (n - pos < 4)
                return false;
            const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + pos);
            const uint32_t size = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
            pos += 4;
            if (size > uint64_t(n - pos))
                return false;
            pos += qsizetype(size);
            continue;
        }
        const char *zero = static_cast<const char *>(std::memchr(data.constData() + pos, 0, size_t(n - pos)));
        const qsizetype end = zero ? zero - data.constData() : n;
        appendField(html, type, QByteArrayView(data.constData() + pos, end - pos));
        pos = zero ? end + 1 : n;
    }
    return true;
}

void readStarDict(const QString &path, const SourceContext &context)
{
    const QString base = baseOf(path);
    const QString ifoPath = base + u".ifo";
    const Ifo ifo = readIfo(ifoPath);

    QString idxPath = base + u".idx";
    if (!QFileInfo::exists(idxPath) && QFileInfo::exists(base + u".idx.gz")) {
        idxPath = QDir(context.tempDir).filePath(u"source.idx"_s);
        gunzipFile(base + u".idx.gz", idxPath);
    }
    QString dictPath = base + u".dict";
    QString dictShown = dictPath;
    if (!QFileInfo::exists(dictPath) && QFileInfo::exists(base + u".dict.dz")) {
        dictShown = base + u".dict.dz";
        dictPath = QDir(context.tempDir).filePath(u"source.dict"_s);
        gunzipFile(dictShown, dictPath);
    } else if (QFileInfo::exists(dictPath) && isGzipFile(dictPath)) {
        dictPath = QDir(context.tempDir).filePath(u"source.dict"_s);
        gunzipFile(dictShown, dictPath);
    }

    IdxReader idx(idxPath);
    if (ifo.idxFileSize >= 0 && ifo.idxFileSize != idx.size())
        raiseForFile(idxPath, u"the file has %1 bytes, but %2 says idxfilesize=%3"_s.arg(idx.size())
                                  .arg(QDir::toNativeSeparators(ifoPath))
                                  .arg(ifo.idxFileSize));
    QFile dict(dictPath);
    if (!dict.open(QIODevice::ReadOnly))
        raiseForFile(dictShown, u"cannot open the file: "_s + dict.errorString());
    const int64_t dictSize = dict.size();

    QStringDecoder utf8(QStringDecoder::Utf8);
    int64_t count = 0;
    QByteArray word;
    QByteArray data;
    QString body;
    while (!idx.atEnd()) {
        const int64_t entryOffset = idx.position();
        word.clear();
        for (;;) {
            const unsigned char c = idx.byte("headword");
            if (c == 0)
                break;
            word.append(char(c));
            if (word.size() > 4096)
                raiseAtOffset(idxPath, entryOffset, u"headword longer than 4096 bytes or not terminated"_s);
        }
        const uint64_t offset = idx.bigEndian(ifo.offsetBits / 8, "offset");
        const uint64_t size = idx.bigEndian(4, "size");
        utf8.resetState();
        const QString headword = utf8.decode(word);
        if (utf8.hasError())
            raiseAtOffset(idxPath, entryOffset, u"headword is not valid UTF-8"_s);
        if (offset > uint64_t(dictSize) || size > uint64_t(dictSize) - offset)
            raiseAtOffset(idxPath, entryOffset,
                          u"entry \"%1\" points to bytes %2..%3, past the end of %4 (%5 bytes)"_s.arg(headword)
                              .arg(offset)
                              .arg(offset + size)
                              .arg(QDir::toNativeSeparators(dictShown))
                              .arg(dictSize));
        if (!dict.seek(qint64(offset)))
            raiseAtOffset(dictShown, qint64(offset), u"cannot seek: "_s + dict.errorString());
        data = dict.read(qint64(size));
        if (uint64_t(data.size()) != size)
            raiseAtOffset(dictShown, qint64(offset), u"cannot read %1 bytes"_s.arg(size));
        if (!starDictFieldsToHtml(data, ifo.sameTypeSequence, body))
            raiseAtOffset(dictShown, qint64(offset),
                          u"malformed data of entry \"%1\" (listed at %2)"_s.arg(headword,
                                                                                describePosition(idxPath,
                                                                                    {SourcePosition::Kind::Offset,
                                                                                     entryOffset})));
        context.entry({headword, u"<div>"_s + body + u"</div>"_s, idxPath, {SourcePosition::Kind::Offset, entryOffset}});
        ++count;
        if (context.progress && count % 4096 == 0)
            context.progress(idx.position(), idx.size());
    }
    if (count != ifo.wordCount)
        raiseForFile(idxPath, u"holds %1 entries, but %2 says wordcount=%3"_s.arg(count)
                                  .arg(QDir::toNativeSeparators(ifoPath))
                                  .arg(ifo.wordCount));
    if (context.progress)
        context.progress(idx.size(), idx.size());
}
