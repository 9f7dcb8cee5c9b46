#pragma once

#include <QString>

struct SourceContext;

// Tab-separated sources, UTF-8: "headword TAB article HTML" per line; empty
// lines are skipped. The HTML is sanitised. Raises SourceError naming the
// file and line.
void readTsv(const QString &path, const SourceContext &context);
