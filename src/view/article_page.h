#pragma once

#include <QString>

// The text of an article page: a fixed header with the styles and the
// pod_cat script, the article division, the article with its headword in
// bold, and the footer.

// The header, 920 code units, no line break.
QString makePageHeader();
// "</div></body> </html>"
QString makePageFooter();
// <div align="justify">
QString divisionOpening();

// Wraps the first headwordLength code units of the article in <B>...</B>;
// a shorter article is wrapped whole.
//   ("ДОМ, -а, м.", 3) -> "<B>ДОМ</B>, -а, м."    ("", 3) -> "<B></B>"
void boldHeadword(QString &article, qsizetype headwordLength);

// header + division opening + bold-headed article + footer.
QString composePage(QString article, const QString &currentHeadword, const QString &header, const QString &footer);
