#pragma once

#include <QByteArray>
#include <QString>

struct SourceContext;

// StarDict sources: <base>.ifo, <base>.idx, and <base>.dict or <base>.dict.dz.
// `path` is any of them. Raises SourceError naming the file and the line
// (.ifo) or byte offset (.idx, .dict).
void readStarDict(const QString &path, const SourceContext &context);

// The HTML body of one entry's data. `types` is the ifo's sametypesequence,
// or empty when every field carries its own type character.
//   m, l, t, y, k, w: text (escaped, line breaks -> <br>)
//   h, g, x: HTML (sanitised)
//   r and the binary types (upper case): dropped
// Returns false when the data is malformed.
bool starDictFieldsToHtml(const QByteArray &data, const QByteArray &types, QString &html);
