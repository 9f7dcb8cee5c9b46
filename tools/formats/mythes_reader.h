#pragma once

#include <QString>

struct SourceContext;

// MyThes thesauri: <base>.dat (and its <base>.idx, which is not needed: the
// .dat is read from top to bottom). The .dat's first line names its encoding
// (UTF-8, KOI8-R, ...); then, for every word, "word|count" and count lines
// "(part of speech)|synonym|synonym...". `path` is either file.
// Raises SourceError naming the .dat and the line.
void readMyThes(const QString &path, const SourceContext &context);
