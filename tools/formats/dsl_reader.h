#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

struct SourceContext;

// DSL sources: UTF-16LE (with or without its mark) or UTF-8 text.
//   #NAME "..."            header lines at the top
//   headword               at column 0; several in a row share the next card
//   \t[m1][b]card[/b] ~    card lines, indented by a tab or a space
// Raises SourceError naming the file and line.
void readDsl(const QString &path, const SourceContext &context);

// The headword of a headword line: escapes resolved, {unsorted parts} and
// {{comments}} dropped, blanks collapsed.   "до\{м\} {(}ик{)}" -> "до{м}"
QString dslHeadword(QStringView line);

// One card as HTML, a <div> per line, ~ standing for `headword`. Markup:
// [b] [i] [u] [sub] [sup] [c color] [m1]..[m9] margins, [ex] [com] [p] [trn]
// [ref] [url] [*] [lang ...]; [s]..[/s] media dropped; unknown tags dropped,
// their text kept. Source text is escaped: no "<" of the source survives.
QString dslCardToHtml(const QStringList &lines, QStringView headword);
