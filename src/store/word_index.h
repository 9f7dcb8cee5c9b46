#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

#include "store/text_decoding.h"

// The word index: one entry per line of the file "glossa/glossa.ogl",
//   headword U+2030 end-offset
// kept as one decoded text and the span of each line, so that a million
// entries cost little more than their text. Nothing is derived at load time:
// every accessor scans its line anew.
class WordIndex
{
public:
    static constexpr char16_t Separator = u'\u2030';

    // Replaces the content with the lines of the file. Raises EFOpenError
    // ("Cannot open file "<full path>". <system text>") when the file can't be
    // opened; the content then stays as it was.
    void loadFromFile(const QString &path);
    // Replaces the content with the lines of an already decoded text.
    void loadFromText(QString text);
    void clear();

    int32_t count() const { return int32_t(m_lines.size()); }

    // Line i as stored. Raises EStringListError for i outside 0..count()-1.
    QStringView line(int32_t i) const;
    // The headword: line i before its first U+2030, empty without one.
    // Raises EStringListError ("List index out of bounds (%d)").
    QStringView nameView(int32_t i) const;
    QString names(int32_t i) const { return nameView(i).toString(); }
    // Everything after the separator that follows the headword; empty for a
    // negative i and for an empty headword. Raises EStringListError for i >= count().
    QString valueFromIndex(int32_t i) const;
    // valueFromIndex(i) by the number rule; raises EStringListError or EConvertError.
    int32_t endOffset(int32_t i) const;

    // The loaded text, for the prefix scan.
    const QString &text() const { return m_text; }
    const std::vector<LineSpan> &lines() const { return m_lines; }

private:
    void checkIndex(int32_t i) const;

    QString m_text;
    std::vector<LineSpan> m_lines;
};

// The runtime's integer rule:
//   spaces (U+0020 only), at most one sign, then decimal digits or one of the
//   prefixes $ x X 0x 0X with hex digits; nothing after.
//   " 12" -> 12, "+12" -> 12, "$1F" -> 31, "-$10" -> -16, "$FFFFFFFF" -> -1,
//   "12 " fails, "2147483648" fails, "-2147483648" ok, "" fails.
bool tryStrToInt(QStringView text, int32_t &value);
// Raises EConvertError "''<text>'' is not a valid integer value".
int32_t strToInt(QStringView text);
