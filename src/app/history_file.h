#pragma once

#include <QString>
#include <QStringList>

// The look-up history on disk, "CFiles/history.trv".

// Reads every line of the file as an item, in file order (decoding and line
// cutting as for the word index). Raises EFOpenError
// "Cannot open file "<full path>". <system text>".
QStringList loadHistoryFile(const QString &path);

// Writes each item followed by CR LF, in Windows-1251 without a mark,
// replacing the file. Raises EFCreateError
// "Cannot create file "<full path>". <system text>"; the file is left as it was.
void saveHistoryFile(const QString &path, const QStringList &items);
