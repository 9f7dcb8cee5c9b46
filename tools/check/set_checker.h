#pragma once

#include <QString>
#include <QStringList>

// Checks a dictionary set against every rule its reader relies on: end
// offsets that are integers, even, at least 2 above the previous one and
// inside the article file with a U+0000 at each; letter ranges inside the
// index, not overlapping, each holding exactly the one run of entries whose
// headwords have its key letter. Reads every file bounds-checked, so a
// damaged set is reported, never crashed on.
struct CheckReport
{
    QStringList problems; // broken rules, with entry numbers
    QStringList notes;    // worth knowing, not broken
    bool unreadable = false; // a required file is missing or can't be read
    int64_t entries = 0;

    bool sound() const { return problems.isEmpty() && !unreadable; }
};

// <folder>/<baseName>.ogl, .uvs and the optional .dvc.
CheckReport checkDictionarySet(const QString &folder, const QString &baseName);
