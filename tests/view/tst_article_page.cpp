#include <QTest>

#include "view/article_page.h"

using namespace Qt::StringLiterals;

class tst_ArticlePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void header_lengthAndShape();
    void header_keepsItsBlanks_data();
    void header_keepsItsBlanks();
    void footerAndDivision();
    void boldHeadword_data();
    void boldHeadword();
    void composePage_concatenatesWithoutBreaks();
};

void tst_ArticlePage::header_lengthAndShape()
{
    const QString header = makePageHeader();
    QCOMPARE(header.size(), 920);
    QCOMPARE(header.count(u'"'), 10);
    QVERIFY(header.startsWith(u"<html><head><meta http-equiv=\"Content-Type\""_s));
    QVERIFY(header.endsWith(u"</script></head><body>"_s));
    QVERIFY(!header.contains(u'\n'));
    QVERIFY(!header.contains(u'\r'));
    QCOMPARE(makePageHeader(), header);
}

void tst_ArticlePage::header_keepsItsBlanks_data()
{
    QTest::addColumn<QString>("piece");

    QTest::newRow("meta") << u"<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\">"_s;
    QTest::newRow("style type") << u"\"><style type=\"text/css\">A:link{"_s;
    QTest::newRow("blank before A:visited") << u"underline} A:visited{COLOR"_s;
    QTest::newRow("none before A:active") << u"underline}A:active {COLOR"_s;
    QTest::newRow("none before A:hover") << u"underline}A:hover {COLOR"_s;
    QTest::newRow("DIV") << u"underline}DIV {FONT-FAMILY: Arial, Verdana, Helvetica, sans-serif; FONT-SIZE: 10pt;}BODY"_s;
    QTest::newRow("margin and two blanks") << u"BODY {margin=\"10\";  FONT-WEIGHT: normal;"_s;
    QTest::newRow("two blanks after 000000") << u"COLOR: 000000;  FONT-FAMILY"_s;
    QTest::newRow("two blanks, no comma") << u"Helvetica, Verdana, Arial  sans-serif}.line {cursor : pointer;"_s;
    QTest::newRow("blank after ==") << u"style.display == \"none\") {document"_s;
    QTest::newRow("script end")
        << u"= 'block';return;}document.getElementById(id).style.display = 'none';}</script></head><body>"_s;
}

void tst_ArticlePage::header_keepsItsBlanks()
{
    QFETCH(QString, piece);
    QVERIFY2(makePageHeader().contains(piece), qPrintable(piece));
}

void tst_ArticlePage::footerAndDivision()
{
    QCOMPARE(makePageFooter(), u"</div></body> </html>"_s);
    QCOMPARE(makePageFooter().size(), 21);
    QCOMPARE(divisionOpening(), u"<div align=\"justify\">"_s);
    QCOMPARE(divisionOpening().size(), 21);
}

void tst_ArticlePage::boldHeadword_data()
{
    QTest::addColumn<QString>("article");
    QTest::addColumn<int>("headwordLength");
    QTest::addColumn<QString>("expected");

    QTest::newRow("headword then text") << u"ДОМ, -а, м."_s << 3 << u"<B>ДОМ</B>, -а, м."_s;
    QTest::newRow("article equal to headword") << u"ДОМ"_s << 3 << u"<B>ДОМ</B>"_s;
    QTest::newRow("empty headword") << u"ДОМ, -а"_s << 0 << u"<B></B>ДОМ, -а"_s;
    QTest::newRow("article shorter than headword") << u"ДО"_s << 3 << u"<B>ДО</B>"_s;
    QTest::newRow("empty article") << u""_s << 3 << u"<B></B>"_s;
    QTest::newRow("markup not examined") << u"<i>x</i> y"_s << 2 << u"<B><i</B>>x</i> y"_s;
}

void tst_ArticlePage::boldHeadword()
{
    QFETCH(QString, article);
    QFETCH(int, headwordLength);
    QFETCH(QString, expected);

    ::boldHeadword(article, headwordLength);
    QCOMPARE(article, expected);
}

void tst_ArticlePage::composePage_concatenatesWithoutBreaks()
{
    QCOMPARE(composePage(u"ДОМ, -а"_s, u"ДОМ"_s, u"H"_s, u"F"_s), u"H<div align=\"justify\"><B>ДОМ</B>, -аF"_s);

    const QString header = makePageHeader();
    const QString footer = makePageFooter();
    const QString page = composePage(u"ЁЛКА, -и"_s, u"ЁЛКА"_s, header, footer);
    QCOMPARE(page, header + u"<div align=\"justify\"><B>ЁЛКА</B>, -и</div></body> </html>"_s);
    QCOMPARE(page.size(), 920 + 21 + 7 + 8 + 21);
    QVERIFY(!page.contains(u'\n'));
}

QTEST_GUILESS_MAIN(tst_ArticlePage)
#include "tst_article_page.moc"
