#include <QTest>

#include "store/text_decoding.h"

using namespace Qt::StringLiterals;

class TestTextDecoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeText_data();
    void decodeText();
    void encodeAnsi_data();
    void encodeAnsi();
    void ansiRoundTrip_keepsEveryByte();
    void cutLines_data();
    void cutLines();
    void cutLinesToList_matchesSpans();
};

void TestTextDecoding::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("utf16le") << QByteArray("\xFF\xFE\x10\x04\x30\x20\x31\x00", 8) << u"А‰1"_s;
    QTest::newRow("utf16be") << QByteArray("\xFE\xFF\x04\x10\x20\x30\x00\x31", 8) << u"А‰1"_s;
    QTest::newRow("utf16le odd last byte ignored") << QByteArray("\xFF\xFE\x41\x00\x42", 5) << u"A"_s;
    QTest::newRow("utf16be odd last byte ignored") << QByteArray("\xFE\xFF\x00\x41\x00", 5) << u"A"_s;
    QTest::newRow("utf16le mark only") << QByteArray("\xFF\xFE", 2) << QString();
    QTest::newRow("utf16le keeps a second mark") << QByteArray("\xFF\xFE\xFF\xFE\x41\x00", 6) << u"\uFEFFA"_s;
    QTest::newRow("utf16le keeps U+0000") << QByteArray("\xFF\xFE\x41\x00\x00\x00\x42\x00", 8)
                                          << u"A\0B"_s;
    QTest::newRow("utf8 with mark") << QByteArray("\xEF\xBB\xBF\xD0\x90\xE2\x80\xB0\x31") << u"А‰1"_s;
    QTest::newRow("utf8 mark only") << QByteArray("\xEF\xBB\xBF") << QString();
    QTest::newRow("utf8 keeps a second mark") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\x41") << u"\uFEFFA"_s;
    QTest::newRow("utf8 astral") << QByteArray("\xEF\xBB\xBF\xF0\x9F\x98\x80") << u"\U0001F600"_s;
    QTest::newRow("utf8 invalid byte gives empty") << QByteArray("\xEF\xBB\xBF\x41\xFF\x42") << QString();
    QTest::newRow("utf8 truncated sequence gives empty") << QByteArray("\xEF\xBB\xBF\x41\xD0") << QString();
    QTest::newRow("utf8 overlong gives empty") << QByteArray("\xEF\xBB\xBF\xC0\x80") << QString();
    QTest::newRow("utf8 surrogate gives empty") << QByteArray("\xEF\xBB\xBF\xED\xA0\x80") << QString();
    QTest::newRow("utf8 beyond U+10FFFF gives empty") << QByteArray("\xEF\xBB\xBF\xF4\x90\x80\x80") << QString();
    // Without its mark UTF-8 is read as Windows-1251: D0 90 is "Рђ".
    QTest::newRow("utf8 without mark is ansi") << QByteArray("\xD0\x90") << u"\u0420\u0452"_s;
    QTest::newRow("ansi cyrillic") << QByteArray("\xC0\xC1\xDF\xE0\xFF") << u"АБЯая"_s;
    QTest::newRow("ansi yo") << QByteArray("\xA8\xB8") << u"Ёё"_s;
    QTest::newRow("ansi per mille") << QByteArray("\xC0\x89\x31\x32") << u"А‰12"_s;
    QTest::newRow("ansi ascii") << QByteArray("AZ az 09") << u"AZ az 09"_s;
    QTest::newRow("ansi keeps U+0000") << QByteArray("A\0B", 3) << u"A\0B"_s;
    QTest::newRow("partial utf16 mark is ansi") << QByteArray("\xFF") << u"я"_s;
    QTest::newRow("partial utf8 mark is ansi") << QByteArray("\xEF\xBB") << u"п»"_s;
}

void TestTextDecoding::decodeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::decodeText(bytes), text);
}

void TestTextDecoding::encodeAnsi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("headword and offset") << u"АБАЖУР‰1234"_s << QByteArray("\xC0\xC1\xC0\xC6\xD3\xD0\x89" "1234");
    QTest::newRow("yo") << u"Ёё"_s << QByteArray("\xA8\xB8");
    QTest::newRow("cjk becomes ?") << u"a\u4E00b"_s << QByteArray("a?b");
    QTest::newRow("latin accent 1251 lacks") << u"\u00C0"_s << QByteArray("?");
    QTest::newRow("surrogate pair is one ?") << u"a\U0001F600b"_s << QByteArray("a?b");
    QTest::newRow("lone surrogate is ?") << QString(QChar(0xD800)) << QByteArray("?");
    QTest::newRow("U+0000 kept") << u"a\0b"_s << QByteArray("a\0b", 3);
}

void TestTextDecoding::encodeAnsi()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::encodeAnsi(text), bytes);
}

void TestTextDecoding::ansiRoundTrip_keepsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = ::decodeText(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(::encodeAnsi(text), all);
}

void TestTextDecoding::cutLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one line") << u"a"_s << QStringList{u"a"_s};
    QTest::newRow("CR LF") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("LF") << u"a\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("CR") << u"a\rb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("CR CR") << u"a\r\rb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("LF LF") << u"a\n\nb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("final CR LF adds no line") << u"a\r\n"_s << QStringList{u"a"_s};
    QTest::newRow("final LF adds no line") << u"a\n"_s << QStringList{u"a"_s};
    QTest::newRow("final CR adds no line") << u"a\r"_s << QStringList{u"a"_s};
    QTest::newRow("two final CR LF add one empty line") << u"a\r\n\r\n"_s << QStringList{u"a"_s, QString()};
    QTest::newRow("final LF CR adds one empty line") << u"a\n\r"_s << QStringList{u"a"_s, QString()};
    QTest::newRow("break only") << u"\r\n"_s << QStringList{QString()};
    QTest::newRow("leading break") << u"\nb"_s << QStringList{QString(), u"b"_s};
    QTest::newRow("U+0000 ends the text") << u"a\0b"_s << QStringList{u"a"_s};
    QTest::newRow("U+0000 at the start") << u"\0a"_s << QStringList();
    QTest::newRow("U+0000 after a break") << u"a\r\n\0b\r\n"_s << QStringList{u"a"_s};
    QTest::newRow("U+0000 between CR and LF") << u"a\r\0\nb"_s << QStringList{u"a"_s};
    QTest::newRow("other controls stay") << u"a\tb\x0B\x0C"_s << QStringList{u"a\tb\x0B\x0C"_s};
    QTest::newRow("U+2028 is no break") << u"a\u2028b\u0085c"_s << QStringList{u"a\u2028b\u0085c"_s};
    QTest::newRow("entries") << u"АБАЖУР‰1234\r\nА‰Б‰12\r\n"_s
                             << QStringList{u"АБАЖУР‰1234"_s, u"А‰Б‰12"_s};
}

void TestTextDecoding::cutLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(cutLinesToList(text), lines);
}

void TestTextDecoding::cutLinesToList_matchesSpans()
{
    const QString text = u"one\r\ntwo\n\rthree"_s;
    const std::vector<LineSpan> spans = ::cutLines(text);
    QCOMPARE(spans.size(), size_t(4));
    QCOMPARE(spans[0].start, 0u);
    QCOMPARE(spans[0].length, 3u);
    QCOMPARE(spans[1].start, 5u);
    QCOMPARE(spans[1].length, 3u);
    QCOMPARE(spans[2].start, 9u);
    QCOMPARE(spans[2].length, 0u);
    QCOMPARE(spans[3].start, 10u);
    QCOMPARE(spans[3].length, 5u);
}

QTEST_GUILESS_MAIN(TestTextDecoding)
#include "tst_text_decoding.moc"
