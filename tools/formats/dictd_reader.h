#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

struct SourceContext;

// DICT server sources: <base>.index with lines "headword TAB offset TAB length"
// (numbers in base 64, alphabet A-Z a-z 0-9 + /), and <base>.dict or
// <base>.dict.dz. The 00-database-* meta entries are skipped. `path` is either
// file. Raises SourceError naming the file and line or offset.
void readDictd(const QString &path, const SourceContext &context);

// A base-64 number: "A" -> 0, "B" -> 1, "BA" -> 64, "/" -> 63; false for an
// empty text, a character outside the alphabet, or a value past 2^53.
bool decodeDictdNumber(QStringView text, int64_t &value);
