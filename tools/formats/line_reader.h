#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <cstdint>

// Reads a text file line by line in bounded memory, decoding each line on its
// own, so that a bad byte sequence is reported with its line number.
// Line ends: LF, CR LF; a final line without a break counts.
class LineReader
{
public:
    enum class Guess {
        Utf8,          // a UTF-8 or UTF-16 mark decides, otherwise UTF-8
        Utf8OrUtf16Le, // as Utf8, and UTF-16LE without a mark when the second byte is 0
    };

    // Raises SourceError when the file can't be opened.
    explicit LineReader(const QString &path, Guess guess = Guess::Utf8);

    // Decodes the following lines with a named encoding ("KOI8-R", "windows-1251").
    // Raises SourceError naming the current line for an unknown name.
    void setEncoding(const QString &name);

    // The next line, without its break; false at the end of the file.
    // Raises SourceError with the line number for undecodable bytes.
    bool next(QString &line);

    int64_t lineNumber() const { return m_lineNumber; }
    int64_t position() const { return m_consumed; }
    int64_t size() const { return m_size; }
    const QString &path() const { return m_path; }

private:
    enum class Unit { Byte, Utf16Le, Utf16Be };

    bool fill();
    QString decode(const char *data, qsizetype length);

    QString m_path;
    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0; // first unconsumed byte of m_buffer
    bool m_eof = false;
    Unit m_unit = Unit::Byte;
    QStringDecoder m_decoder;
    int64_t m_lineNumber = 0;
    int64_t m_consumed = 0;
    int64_t m_size = 0;
};
