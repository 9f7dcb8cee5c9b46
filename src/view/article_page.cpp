#include "view/article_page.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

QString makePageHeader()
{
    // The pieces between the header's double quotes; the blanks at their
    // edges are part of the text the articles were written against.
    static const QStringList pieces{
        u"<html><head><meta http-equiv="_s,
        u"Content-Type"_s,
        u" content="_s,
        u"text/html;charset=utf-8"_s,
        u"><style type="_s,
        u"text/css"_s,
        u">A:link{COLOR: #666666; TEXT-DECORATION: underline} A:visited{COLOR: #666666; TEXT-DECORATION: underline}"
        u"A:active {COLOR: #666666; TEXT-DECORATION: underline}A:hover {COLOR: #666666; TEXT-DECORATION: underline}"
        u"DIV {FONT-FAMILY: Arial, Verdana, Helvetica, sans-serif; FONT-SIZE: 10pt;}BODY {margin="_s,
        u"10"_s,
        u";  FONT-WEIGHT: normal; BACKGROUND: FFFFFF; COLOR: 000000;  FONT-FAMILY: Arial, Verdana, Helvetica, "
        u"sans-serif; FONT-SIZE: 10pt;}.zag {FONT-WEIGHT: normal; COLOR: 999999; FONT-SIZE: 9pt; FONT-FAMILY: "
        u"Helvetica, Verdana, Arial  sans-serif}.line {cursor : pointer; TEXT-DECORATION: underline}</style>"
        u"<script> function pod_cat(id){if(document.getElementById(id).style.display == "_s,
        u"none"_s,
        u") {document.getElementById(id).style.display = 'block';return;}"
        u"document.getElementById(id).style.display = 'none';}</script></head><body>"_s,
    };
    return pieces.join(u'"');
}

QString makePageFooter()
{
    return u"</div></body> </html>"_s;
}

QString divisionOpening()
{
    return u"<div align=\"justify\">"_s;
}

void boldHeadword(QString &article, qsizetype headwordLength)
{
    const qsizetype n = std::max<qsizetype>(headwordLength, 0);
    if (article.size() < n)
        article.append(u"</B>"_s);
    else
        article.insert(n, u"</B>"_s);
    article.prepend(u"<B>"_s);
}

QString composePage(QString article, const QString &currentHeadword, const QString &header, const QString &footer)
{
    boldHeadword(article, currentHeadword.size());
    return header + divisionOpening() + article + footer;
}
