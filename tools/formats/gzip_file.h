#pragma once

#include <QString>

// Gzip data (dictzip's .dz is gzip with an index in its header).

// The file starts with the gzip magic bytes 1F 8B.
bool isGzipFile(const QString &path);

// Decompresses `source` into the new file `target`, in bounded memory.
// Raises SourceError naming the source and the compressed offset where the
// data broke off or went wrong.
void gunzipFile(const QString &source, const QString &target);
