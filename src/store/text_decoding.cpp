#include "store/text_decoding.h"

#include <QStringDecoder>

#include <array>
#include <cstring>
#include <memory>

namespace {

// Windows-1251 both ways, built once from the system's converter: byte ->
// code unit, and code unit -> byte (0 where the code page lacks the unit,
// except for U+0000 itself).
struct AnsiCodePage
{
    std::array<char16_t, 256> toUnicode {};
    std::unique_ptr<unsigned char[]> fromUnicode;

    AnsiCodePage()
        : fromUnicode(new unsigned char[0x10000]())
    {
        QStringDecoder decoder("windows-1251");
        for (int byte = 0; byte < 256; ++byte) {
            char16_t unit = char16_t(byte); // Latin-1 where the converter is missing
            if (decoder.isValid()) {
                const char in = char(byte);
                const QString out = decoder.decode(QByteArrayView(&in, 1));
                unit = out.size() == 1 && !decoder.hasError() ? out.at(0).unicode() : u'\uFFFD';
                decoder.resetState();
            }
            toUnicode[size_t(byte)] = unit;
        }
        // Walk down so that the lowest byte wins where two decode alike.
        for (int byte = 255; byte > 0; --byte) {
            if (toUnicode[size_t(byte)] != u'\uFFFD')
                fromUnicode[toUnicode[size_t(byte)]] = static_cast<unsigned char>(byte);
        }
    }
};

const AnsiCodePage &ansiCodePage()
{
    static const AnsiCodePage codePage;
    return codePage;
}

QString decodeAnsi(const char *data, qsizetype size)
{
    const auto &table = ansiCodePage().toUnicode;
    QString text(size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = table[in[i]];
    return text;
}

QString decodeUtf16(const char *data, qsizetype size, bool bigEndian)
{
    const qsizetype units = size / 2; // a last odd byte is ignored
    QString text(units, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    if (bigEndian) {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = char16_t((in[2 * i] << 8) | in[2 * i + 1]);
    } else {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
    }
    return text;
}

QString decodeUtf8Strict(const char *data, qsizetype size)
{
    // A second mark after the first is text, as it is for UTF-16.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(data, size));
    if (decoder.hasError())
        return QString();
    // The decoder reserves a unit per byte; Cyrillic text needs half of that.
    if (text.capacity() - text.size() > text.size() / 8)
        text.squeeze();
    return text;
}

} // namespace

QString decodeText(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    const auto startsWith = [&](const char *mark, qsizetype length) {
        return size >= length && std::memcmp(data, mark, size_t(length)) == 0;
    };
    if (startsWith("\xFF\xFE", 2))
        return decodeUtf16(data + 2, size - 2, false);
    if (startsWith("\xFE\xFF", 2))
        return decodeUtf16(data + 2, size - 2, true);
    if (startsWith("\xEF\xBB\xBF", 3))
        return decodeUtf8Strict(data + 3, size - 3);
    return decodeAnsi(data, size);
}

QByteArray encodeAnsi(QStringView text)
{
    const unsigned char *table = ansiCodePage().fromUnicode.get();
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == 0) {
            bytes.append('\0');
            continue;
        }
        const unsigned char byte = table[unit];
        if (byte != 0) {
            bytes.append(char(byte));
            continue;
        }
        // One "?" for a whole character the code page lacks, also for a surrogate pair.
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        bytes.append('?');
    }
    return bytes;
}

std::vector<LineSpan> cutLines(QStringView text)
{
    std::vector<LineSpan> lines;
    const char16_t *const begin = text.utf16();
    const char16_t *const end = begin + text.size();
    // Room for lines of 8 units and more, as in any word index, so that the
    // vector rarely regrows; untouched room costs address space only, and
    // what is left over is given back below.
    lines.reserve(size_t(text.size() / 8) + 1);

    const char16_t *p = begin;
    while (p != end && *p != 0) {
        const char16_t *start = p;
        while (p != end && (*p > u'\r' || (*p != u'\r' && *p != u'\n' && *p != 0)))
            ++p;
        lines.push_back(LineSpan{uint32_t(start - begin), uint32_t(p - start)});
        if (p != end && *p == u'\r')
            ++p;
        if (p != end && *p == u'\n')
            ++p;
    }
    if (lines.capacity() - lines.size() > lines.size() / 4)
        lines.shrink_to_fit();
    return lines;
}

QStringList cutLinesToList(QStringView text)
{
    QStringList list;
    const std::vector<LineSpan> lines = cutLines(text);
    list.reserve(qsizetype(lines.size()));
    for (const LineSpan &line : lines)
        list.append(text.mid(line.start, line.length).toString());
    return list;
}
