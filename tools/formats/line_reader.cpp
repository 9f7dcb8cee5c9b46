#include "line_reader.h"

#include "source_error.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype ChunkSize = 1 << 20;
constexpr qsizetype LongestLine = 256 << 20;

} // namespace

LineReader::LineReader(const QString &path, Guess guess)
    : m_path(path)
    , m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        raiseForFile(path, u"cannot open the file: "_s + m_file.errorString());
    m_size = m_file.size();
    fill();
    const QByteArray head = m_buffer.left(3);
    if (head.startsWith("\xFF\xFE")) {
        m_unit = Unit::Utf16Le;
        m_start = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        m_unit = Unit::Utf16Be;
        m_start = 2;
    } else if (head.startsWith("\xEF\xBB\xBF")) {
        m_start = 3;
    } else if (guess == Guess::Utf8OrUtf16Le && head.size() >= 2 && head[0] != 0 && head[1] == 0) {
        m_unit = Unit::Utf16Le;
    }
    m_consumed = m_start;
    m_decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
}

void LineReader::setEncoding(const QString &name)
{
    if (m_unit != Unit::Byte)
        return; // a UTF-16 mark outranks a name inside the text
    const QByteArray latin = name.toLatin1();
    QStringDecoder decoder(latin.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        raiseAtLine(m_path, m_lineNumber, u"unknown text encoding \"%1\""_s.arg(name));
    m_decoder = std::move(decoder);
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + ChunkSize);
    const qint64 got = m_file.read(m_buffer.data() + old, ChunkSize);
    if (got < 0) {
        m_buffer.resize(old);
        raiseAtOffset(m_path, m_consumed, u"read error: "_s + m_file.errorString());
    }
    m_buffer.resize(old + qsizetype(got));
    if (got == 0)
        m_eof = true;
    return got > 0;
}

QString LineReader::decode(const char *data, qsizetype length)
{
    if (m_unit != Unit::Byte) {
        if (length % 2)
            raiseAtLine(m_path, m_lineNumber, u"odd number of bytes in a UTF-16 line"_s);
        QString text(length / 2, Qt::Uninitialized);
        auto *out = reinterpret_cast<char16_t *>(text.data());
        const auto *in = reinterpret_cast<const unsigned char *>(data);
        for (qsizetype k = 0; k < length / 2; ++k) {
            out[k] = m_unit == Unit::Utf16Le ? char16_t(in[2 * k] | in[2 * k + 1] << 8)
                                             : char16_t(in[2 * k] << 8 | in[2 * k + 1]);
        }
        return text;
    }
    m_decoder.resetState();
    QString text = m_decoder.decode(QByteArrayView(data, length));
    if (m_decoder.hasError())
        raiseAtLine(m_path, m_lineNumber, u"invalid byte sequence for %1"_s.arg(QString::fromLatin1(m_decoder.name())));
    return text;
}

bool LineReader::next(QString &line)
{
    const int unit = m_unit == Unit::Byte ? 1 : 2;
    qsizetype searchFrom = m_start;
    for (;;) {
        const char *data = m_buffer.constData();
        const qsizetype size = m_buffer.size();
        qsizetype breakAt = -1;
        if (unit == 1) {
            const qsizetype found = m_buffer.indexOf('\n', searchFrom);
            breakAt = found;
        } else {
            // Only whole code units from the start of the line are looked at.
            const char lo = m_unit == Unit::Utf16Le ? '\n' : '\0';
            const char hi = m_unit == Unit::Utf16Le ? '\0' : '\n';
            for (qsizetype k = searchFrom; k + 1 < size; k += 2) {
                if (data[k] == lo && data[k + 1] == hi) {
                    breakAt = k;
                    break;
                }
            }
        }
        if (breakAt >= 0) {
            ++m_lineNumber;
            qsizetype length = breakAt - m_start;
            // Drop the CR of a CR LF.
            if (unit == 1 && length >= 1 && data[breakAt - 1] == '\r')
                length -= 1;
            else if (unit == 2 && length >= 2
                     && ((m_unit == Unit::Utf16Le && data[breakAt - 2] == '\r' && data[breakAt - 1] == 0)
                         || (m_unit == Unit::Utf16Be && data[breakAt - 2] == 0 && data[breakAt - 1] == '\r')))
                length -= 2;
            line = decode(data + m_start, length);
            m_consumed += breakAt + unit - m_start;
            m_start = breakAt + unit;
            return true;
        }
        const qsizetype pending = size - m_start;
        if (pending > LongestLine)
            raiseAtLine(m_path, m_lineNumber + 1, u"line longer than %1 bytes"_s.arg(LongestLine));
        // Go on searching where this search stopped, aligned to the unit.
        searchFrom = size - m_start;
        searchFrom -= searchFrom % unit;
        if (!fill()) {
            if (m_buffer.size() == m_start)
                return false;
            ++m_lineNumber;
            qsizetype length = m_buffer.size() - m_start;
            if (unit == 2 && length % 2)
                raiseAtLine(m_path, m_lineNumber, u"odd number of bytes at the end of a UTF-16 file"_s);
            line = decode(m_buffer.constData() + m_start, length);
            m_consumed += length;
            m_start = m_buffer.size();
            return true;
        }
        searchFrom += m_start; // fill() moved the pending bytes to the front
    }
}
