#include "store/word_index.h"

#include <QDir>
#include <QFileInfo>

#include "platform/errors.h"
#include "store/read_only_file.h"

#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Line spans hold 32-bit positions.
constexpr qsizetype MaxTextLength = qsizetype(std::numeric_limits<uint32_t>::max());

void refuseOverlongText(qsizetype length)
{
    if (length > MaxTextLength)
        throw Exception(QStringLiteral("Указатель слов слишком велик: %1 знаков, допустимо не более %2")
                            .arg(length)
                            .arg(MaxTextLength));
}

QString fullNativePath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

[[noreturn]] void raiseOpenError(const QString &path, int systemError)
{
    throw EFOpenError(u"Cannot open file \""_s + fullNativePath(path) + u"\". "_s + systemErrorText(systemError));
}

// The code units that decoding will make, where the bytes tell it beforehand.
qsizetype decodedLengthAhead(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return (bytes.size() - 2) / 2;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return 0; // known only after decoding
    return bytes.size();
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

} // namespace

void WordIndex::loadFromFile(const QString &path)
{
    QByteArray bytes;
    {
        ReadOnlyFile file(path, ReadOnlyFile::Sharing::DenyWrite);
        if (!file.isOpen())
            raiseOpenError(path, file.error());
        const int64_t size = file.size();
        if (size < 0)
            raiseOpenError(path, file.error());
        // No decoding makes fewer than one code unit of three bytes.
        if (size / 3 > MaxTextLength)
            refuseOverlongText(qsizetype(size / 3));
        bytes.resize(qsizetype(size));
        const int64_t got = file.read(bytes.data(), size);
        if (got < 0)
            throw Exception(u"Stream read error: \""_s + fullNativePath(path) + u"\". "_s
                            + systemErrorText(file.error()));
        // The file may have shrunk since its size was taken.
        bytes.truncate(qsizetype(got));
    }
    refuseOverlongText(decodedLengthAhead(bytes));
    QString text = decodeText(bytes);
    bytes = QByteArray();
    loadFromText(std::move(text));
}

void WordIndex::loadFromText(QString text)
{
    refuseOverlongText(text.size());
    std::vector<LineSpan> lines = cutLines(text);
    m_text = std::move(text);
    m_lines = std::move(lines);
}

void WordIndex::clear()
{
    m_text = QString();
    m_lines = std::vector<LineSpan>();
}

void WordIndex::checkIndex(int32_t i) const
{
    if (i < 0 || i >= count())
        throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(i));
}

QStringView WordIndex::line(int32_t i) const
{
    checkIndex(i);
    const LineSpan &span = m_lines[size_t(i)];
    return QStringView(m_text).sliced(span.start, span.length);
}

QStringView WordIndex::nameView(int32_t i) const
{
    const QStringView text = line(i);
    const qsizetype separator = text.indexOf(QChar(Separator));
    return separator < 0 ? QStringView() : text.first(separator);
}

QString WordIndex::valueFromIndex(int32_t i) const
{
    if (i < 0)
        return QString();
    const QStringView text = line(i);
    const qsizetype separator = text.indexOf(QChar(Separator));
    if (separator <= 0)
        return QString();
    return text.sliced(separator + 1).toString();
}

int32_t WordIndex::endOffset(int32_t i) const
{
    return strToInt(valueFromIndex(i));
}

bool tryStrToInt(QStringView text, int32_t &value)
{
    const qsizetype size = text.size();
    qsizetype p = 0;
    while (p < size && text[p] == u' ')
        ++p;
    bool negative = false;
    if (p < size && (text[p] == u'+' || text[p] == u'-')) {
        negative = text[p] == u'-';
        ++p;
    }

    bool hex = false;
    if (p < size && (text[p] == u'$' || text[p] == u'x' || text[p] == u'X')) {
        hex = true;
        p += 1;
    } else if (p + 1 < size && text[p] == u'0' && (text[p + 1] == u'x' || text[p + 1] == u'X')) {
        hex = true;
        p += 2;
    }
    if (p == size)
        return false;

    if (hex) {
        uint32_t result = 0;
        int significant = 0;
        for (; p < size; ++p) {
            const int digit = hexDigit(text[p].unicode());
            if (digit < 0)
                return false;
            if (significant > 0 || digit != 0)
                ++significant;
            if (significant > 8)
                return false;
            result = (result << 4) | uint32_t(digit);
        }
        // Taken as a 32-bit pattern; "-" negates it with wrap-around.
        value = int32_t(negative ? 0u - result : result);
        return true;
    }

    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(1) << 31 : (uint64_t(1) << 31) - 1;
    for (; p < size; ++p) {
        const char16_t c = text[p].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + uint64_t(c - u'0');
        if (magnitude > limit)
            return false;
    }
    value = negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
    return true;
}

int32_t strToInt(QStringView text)
{
    int32_t value = 0;
    if (!tryStrToInt(text, value))
        throw EConvertError(u"''"_s + text + u"'' is not a valid integer value"_s);
    return value;
}
