#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

#include "store/letter_index.h"

class WordIndex;

// From the query box's text to the entry the list moves to.

// Drops every leading and trailing character up to U+0020.
//   " дом " -> "дом", "\r\n" -> "", "по ходу" -> "по ходу"
QStringView trimControls(QStringView text);

// Upper-cases one code unit for one: ё -> Ё, à -> À, ß stays ß.
QString upperCaseUnits(QStringView text);

// Every Ё (U+0401) becomes Е (U+0415).
QString replaceYo(QString text);

// The first character lies in А..Я (U+0410..U+042F); Ё is outside.
bool isCyrillicCapital(QStringView text);

// À -> A, É -> E, Ö -> O; every other character stays.
void foldLatinAccent(QChar &c);

// The query for a box text: trimmed, upper-cased, Ё -> Е.
//   " ёлка " -> "ЕЛКА"; empty when only blanks remain
QString normalizeQuery(QStringView boxText);

// The key character of a query in windowed mode: its first character, or
// its second after a leading "-" or "'" when that one is a Latin or Cyrillic
// capital; À, É, Ö folded.   "-ТО" -> Т, "-" -> -, "ÀLA" -> A, "-À" -> -
char16_t keyCharacter(QStringView query);

struct SearchRange
{
    int32_t first = 0;
    int32_t last = -1;
};

// The entries to scan for a query: the whole index in full mode, the key
// letter's range in windowed mode; nothing when that range's first is -1.
std::optional<SearchRange> searchRange(const WordIndex &index, bool windowedMode, const LetterIndex &letters,
                                       QStringView query);

// The lowest entry in [first, last] whose headword begins with the query,
// compared code unit for code unit; -1 when none. Raises the word index's
// EStringListError when the scan reaches an entry the index does not hold.
int32_t findFirstWithPrefix(const WordIndex &index, QStringView query, int32_t first, int32_t last);

// The whole search from a box text: the entry to move to, or -1.
int32_t findEntryForText(const WordIndex &index, bool windowedMode, const LetterIndex &letters,
                         QStringView boxText);
