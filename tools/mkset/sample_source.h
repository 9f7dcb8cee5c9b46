#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class QTextStream;

// The source of a dictionary set for glossa-mkset, UTF-8 text (a leading
// byte-order mark is skipped; LF or CR LF line ends):
//
//   # a comment: only before the first entry
//   @ ДОМ
//   ДОМ, -а, <i>м.</i> Жилое здание.
//   <span class="zag">Примеры</span>
//
//   @ ДОМИК
//   ...
//
// A line starting with "@ " starts an entry; the rest of that line, trimmed,
// is the headword. The lines after it, up to the next "@ " line, are the
// entry's HTML article, joined with "\n", trailing blank lines dropped. Before
// the first entry only comments ("#...") and blank lines may stand.
struct SourceEntry
{
    QString headword;
    QString article;
    int line = 0; // of the "@ " line, from 1
};

// Raises Exception "<fileName>:<line>: <what is wrong>" for invalid UTF-8,
// text before the first entry, an empty headword ("@" alone), or a headword
// or article that no dictionary set can hold.
std::vector<SourceEntry> parseSampleSource(const QByteArray &utf8, const QString &fileName);

// Reads and parses a file; raises EFOpenError when it can't be read.
std::vector<SourceEntry> readSampleSource(const QString &path);

// The whole tool: arguments without the program name; messages go to `out`
// and `err`. Returns the exit code, 0 on success and 1 on any error.
int runMkset(const QStringList &arguments, QTextStream &out, QTextStream &err);
