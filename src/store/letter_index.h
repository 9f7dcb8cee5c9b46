#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

// The letter index "glossa/glossa.dvc": 59 ranges of entry numbers, 8 bytes
// each, little-endian signed 32-bit first and last (inclusive).
//   entry 0       any other initial
//   entries 1-26  A..Z  (code - 0x40)
//   entries 27-58 А..Я  (code - 0x3F5)
struct LetterRange
{
    int32_t first = 0; // -1: no headword has this initial
    int32_t last = 0;
};

constexpr int LetterIndexEntries = 59;
constexpr int LetterIndexBytes = LetterIndexEntries * 8; // 472

using LetterIndex = std::array<LetterRange, LetterIndexEntries>;

// Reads the first 472 bytes of the file into `index` with one read. The file
// is opened for reading only. Raises EInOutError with the runtime's code:
// 100 "Read beyond end of file" for a shorter file, 5 "File access denied",
// 2 "The specified file was not found", 3 "Invalid file name - %s",
// 4 "Too many open files", otherwise "I/O error %d".
void readLetterIndexFile(const QString &path, LetterIndex &index);

// The entry of a key character: A..Z -> 1..26, А..Я -> 27..58, else 0.
int letterEntryFor(char16_t key);
// That entry of `index`, as stored.
LetterRange letterRangeFor(const LetterIndex &index, char16_t key);

// The key letter's entry of a headword as the search chooses it: its first
// character, or its second where it starts with "-" or "'" followed by a
// Latin or Cyrillic capital; À, É, Ö count as A, E, O; Ё counts as Е.
// Used to order and index a set when writing it.
int keyEntryOfHeadword(QStringView headword);

// The 472 bytes of a letter index.
QByteArray encodeLetterIndex(const LetterIndex &index);
