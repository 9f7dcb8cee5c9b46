#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <vector>

// Text files of the dictionary set and of the history: decoding by the first
// bytes and cutting into lines, as the runtime's string list reads them.

// Decodes a whole file by its first bytes:
//   FF FE     -> UTF-16LE (mark skipped; a last odd byte ignored)
//   FE FF     -> UTF-16BE (mark skipped; a last odd byte ignored)
//   EF BB BF  -> UTF-8, strict: any invalid sequence gives the empty text
//   otherwise -> the ANSI code page (Windows-1251 here), also for UTF-8 without a mark
QString decodeText(const QByteArray &bytes);

// Encodes a text in the ANSI code page (Windows-1251), no mark; a character
// the code page lacks becomes "?".
QByteArray encodeAnsi(QStringView text);

// One line of a text: code units [start, start + length).
struct LineSpan
{
    uint32_t start = 0;
    uint32_t length = 0;
};

// Cuts a text into lines:
//   "a\r\nb" -> a, b      "a\nb" -> a, b      "a\rb" -> a, b
//   "a\n\rb" -> a, "", b  (LF CR ends two lines)
//   "a\r\n"  -> a         (a final break adds no empty line)
//   "a\r\n\r\n" -> a, ""  "a\0b" -> a  (U+0000 ends the text)   "" -> no line
// Texts of 4 Gi code units or more are refused by the callers before this.
std::vector<LineSpan> cutLines(QStringView text);

// The same lines as strings.
QStringList cutLinesToList(QStringView text);
