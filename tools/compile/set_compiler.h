#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

#include "formats/source_format.h"
#include "store/set_writer.h"

struct CompileOptions
{
    QString baseName = QStringLiteral("glossa");
    // Entries whose stored headwords are equal become one entry, their
    // articles joined in source order under a rule; otherwise each stays.
    bool mergeDuplicates = true;
    // Draw a progress bar on stderr.
    bool progress = false;
    // Where the temporary bucket files go; empty: beside the set folder.
    QString tempParent;
};

struct CompileResult
{
    int64_t entriesRead = 0;
    int64_t entriesWritten = 0;
    int64_t duplicatesMerged = 0;
    int64_t entriesSkipped = 0;
    WordIndexEncoding encoding = WordIndexEncoding::Windows1251;
};

// The headword as the set stores it: blanks collapsed, control characters
// dropped, upper-cased one code unit for one, Ё stored as Е (the search
// folds Ё in every query).   " дом  отдыха " -> "ДОМ ОТДЫХА", "ёлка" -> "ЕЛКА"
QString storedHeadword(QStringView sourceHeadword);

// Compiles a source dictionary into the set <folder>/<base>.ogl, .uvs, .dvc.
// Streams: entries are spilled into one temporary file per key letter, then
// each letter's entries are sorted (by headword, Ё with Е) and written, so
// memory holds the headwords of one letter at a time, never the articles.
// Entries with a headword the set can't hold are skipped with a warning.
// Raises SourceError for bad input and Exception for write failures; a set
// already in the folder stays as it was until the new one is complete.
CompileResult compileSet(SourceFormat format, const QString &input, const QString &folder,
                         const CompileOptions &options, const std::function<void(const QString &)> &warn);
