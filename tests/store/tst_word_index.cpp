#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/errors.h"
#include "store/text_decoding.h"
#include "store/word_index.h"

using namespace Qt::StringLiterals;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray utf16be(const QString &text)
{
    QByteArray bytes("\xFE\xFF", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

QStringList entriesOf(const WordIndex &index)
{
    QStringList entries;
    for (int32_t i = 0; i < index.count(); ++i)
        entries.append(index.line(i).toString());
    return entries;
}

} // namespace

class TestWordIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryParts_data();
    void entryParts();
    void numberRule_data();
    void numberRule();
    void indexOutsideTheList_raisesWithTheNumber_data();
    void indexOutsideTheList_raisesWithTheNumber();
    void valueFromIndex_negativeIsEmpty();
    void loadFromFile_encodingsAndBreaksGiveTheSameEntries_data();
    void loadFromFile_encodingsAndBreaksGiveTheSameEntries();
    void loadFromFile_trailingBreaks_data();
    void loadFromFile_trailingBreaks();
    void loadFromFile_invalidUtf8GivesNoEntries();
    void loadFromFile_cannotOpen_raisesWithFullPathAndKeepsContent_data();
    void loadFromFile_cannotOpen_raisesWithFullPathAndKeepsContent();
    void loadFromFile_relativePathIsReportedInFull();
    void loadFromText_replacesContent();
    void clear_leavesNoEntries();
};

void TestWordIndex::entryParts_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("message");

    QTest::newRow("headword and offset") << u"АБАЖУР‰1234"_s << u"АБАЖУР"_s << u"1234"_s << true << 1234 << QString();
    QTest::newRow("second separator belongs to the value")
        << u"А‰Б‰12"_s << u"А"_s << u"Б‰12"_s << false << 0 << u"''Б‰12'' is not a valid integer value"_s;
    QTest::newRow("leading separator: empty headword and value")
        << u"‰12"_s << QString() << QString() << false << 0 << u"'''' is not a valid integer value"_s;
    QTest::newRow("no separator: empty headword and value")
        << u"12"_s << QString() << QString() << false << 0 << u"'''' is not a valid integer value"_s;
    QTest::newRow("empty line") << QString() << QString() << QString() << false << 0
                                << u"'''' is not a valid integer value"_s;
    QTest::newRow("separator last") << u"ДОМ‰"_s << u"ДОМ"_s << QString() << false << 0
                                    << u"'''' is not a valid integer value"_s;
    QTest::newRow("spaces kept in headword") << u"ПО ХОДУ‰ 77"_s << u"ПО ХОДУ"_s << u" 77"_s << true << 77 << QString();
    QTest::newRow("hex offset") << u"-ТО‰$1F"_s << u"-ТО"_s << u"$1F"_s << true << 31 << QString();
    QTest::newRow("trailing space fails") << u"А‰12 "_s << u"А"_s << u"12 "_s << false << 0
                                          << u"''12 '' is not a valid integer value"_s;
    QTest::newRow("apostrophes in the value are not doubled")
        << u"А‰1'2"_s << u"А"_s << u"1'2"_s << false << 0 << u"''1'2'' is not a valid integer value"_s;
}

void TestWordIndex::entryParts()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(bool, converts);
    QFETCH(int, offset);
    QFETCH(QString, message);

    WordIndex index;
    index.loadFromText(u"ПЕРВОЕ‰0\r\n"_s + line + u"\r\nПОСЛЕДНЕЕ‰9\r\n"_s);
    QCOMPARE(index.count(), 3);
    QCOMPARE(index.nameView(1).toString(), name);
    QCOMPARE(index.names(1), name);
    QCOMPARE(index.valueFromIndex(1), value);
    if (converts) {
        QCOMPARE(index.endOffset(1), offset);
    } else {
        try {
            index.endOffset(1);
            QFAIL("no conversion error");
        } catch (const EConvertError &error) {
            QCOMPARE(error.message(), message);
        }
    }
    // Neighbours are untouched by the entry between them.
    QCOMPARE(index.endOffset(0), 0);
    QCOMPARE(index.endOffset(2), 9);
}

void TestWordIndex::numberRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("value");

    QTest::newRow("decimal") << u"12"_s << true << 12;
    QTest::newRow("zero") << u"0"_s << true << 0;
    QTest::newRow("leading spaces") << u"   12"_s << true << 12;
    QTest::newRow("plus") << u"+12"_s << true << 12;
    QTest::newRow("minus") << u"-12"_s << true << -12;
    QTest::newRow("spaces then sign") << u"  -12"_s << true << -12;
    QTest::newRow("leading zeros") << u"000000000000012"_s << true << 12;
    QTest::newRow("largest") << u"2147483647"_s << true << 2147483647;
    QTest::newRow("smallest") << u"-2147483648"_s << true << int(-2147483647 - 1);
    QTest::newRow("dollar hex") << u"$1F"_s << true << 31;
    QTest::newRow("x hex") << u"x1F"_s << true << 31;
    QTest::newRow("X hex") << u"X1f"_s << true << 31;
    QTest::newRow("0x hex") << u"0x1F"_s << true << 31;
    QTest::newRow("0X hex") << u"0Xff"_s << true << 255;
    QTest::newRow("negated hex") << u"-$10"_s << true << -16;
    QTest::newRow("plus hex") << u"+0x10"_s << true << 16;
    QTest::newRow("hex all ones is -1") << u"$FFFFFFFF"_s << true << -1;
    QTest::newRow("hex sign bit") << u"$80000000"_s << true << int(-2147483647 - 1);
    QTest::newRow("negated hex -1") << u"-$FFFFFFFF"_s << true << 1;
    QTest::newRow("hex leading zeros") << u"$0000000000FFFFFFFF"_s << true << -1;
    QTest::newRow("hex zero") << u"$0"_s << true << 0;

    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("spaces only") << u"   "_s << false << 0;
    QTest::newRow("trailing space") << u"12 "_s << false << 0;
    QTest::newRow("tab is no space") << u"\t12"_s << false << 0;
    QTest::newRow("no-break space is no space") << u"\u00A012"_s << false << 0;
    QTest::newRow("too large") << u"2147483648"_s << false << 0;
    QTest::newRow("too small") << u"-2147483649"_s << false << 0;
    QTest::newRow("far too large") << u"99999999999999999999999"_s << false << 0;
    QTest::newRow("hex nine digits") << u"$100000000"_s << false << 0;
    QTest::newRow("0x without digits") << u"0x"_s << false << 0;
    QTest::newRow("dollar without digits") << u"$"_s << false << 0;
    QTest::newRow("x without digits") << u"x"_s << false << 0;
    QTest::newRow("sign only") << u"-"_s << false << 0;
    QTest::newRow("two signs") << u"+-12"_s << false << 0;
    QTest::newRow("space after sign") << u"- 12"_s << false << 0;
    QTest::newRow("hex digit in decimal") << u"1F"_s << false << 0;
    QTest::newRow("bad hex digit") << u"$1G"_s << false << 0;
    QTest::newRow("two prefixes") << u"$0x1"_s << false << 0;
    QTest::newRow("trailing letter") << u"12a"_s << false << 0;
    QTest::newRow("decimal point") << u"1.0"_s << false << 0;
    QTest::newRow("arabic-indic digit") << u"\u0661"_s << false << 0;
    QTest::newRow("fullwidth digit") << u"\uFF11"_s << false << 0;
}

void TestWordIndex::numberRule()
{
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(int, value);

    int32_t result = 12345;
    QCOMPARE(tryStrToInt(text, result), converts);
    if (converts) {
        QCOMPARE(result, value);
        QCOMPARE(strToInt(text), value);
    } else {
        QCOMPARE(result, 12345); // untouched on failure
        try {
            strToInt(text);
            QFAIL("no conversion error");
        } catch (const EConvertError &error) {
            QCOMPARE(error.message(), u"''"_s + text + u"'' is not a valid integer value"_s);
        }
    }
}

void TestWordIndex::indexOutsideTheList_raisesWithTheNumber_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("message");

    QTest::newRow("-1") << -1 << u"List index out of bounds (-1)"_s;
    QTest::newRow("count") << 2 << u"List index out of bounds (2)"_s;
    QTest::newRow("far beyond") << 2147483647 << u"List index out of bounds (2147483647)"_s;
    QTest::newRow("most negative") << int(-2147483647 - 1) << u"List index out of bounds (-2147483648)"_s;
}

void TestWordIndex::indexOutsideTheList_raisesWithTheNumber()
{
    QFETCH(int, entry);
    QFETCH(QString, message);

    WordIndex index;
    index.loadFromText(u"А‰1\r\nБ‰2"_s);
    const auto expectListError = [&](auto call) {
        try {
            call();
            QFAIL("no index error");
        } catch (const EStringListError &error) {
            QCOMPARE(error.message(), message);
        }
    };
    expectListError([&] { index.nameView(entry); });
    expectListError([&] { index.names(entry); });
    expectListError([&] { index.line(entry); });
    if (entry >= 0) {
        expectListError([&] { index.valueFromIndex(entry); });
        expectListError([&] { index.endOffset(entry); });
    }
}

void TestWordIndex::valueFromIndex_negativeIsEmpty()
{
    WordIndex index;
    index.loadFromText(u"А‰1"_s);
    QCOMPARE(index.valueFromIndex(-1), QString());
    // The empty value then fails to convert, as any empty value does.
    QVERIFY_THROWS_EXCEPTION(EConvertError, index.endOffset(-1));
}

void TestWordIndex::loadFromFile_encodingsAndBreaksGiveTheSameEntries_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QString crlf = u"АБАЖУР‰1234\r\nЁЛКА‰2000\r\n-ТО‰3000\r\n\r\nА‰Б‰12\r\n"_s;
    QString lf = crlf;
    lf.replace(u"\r\n"_s, u"\n"_s);
    QString cr = crlf;
    cr.replace(u"\r\n"_s, u"\r"_s);

    QTest::newRow("ansi CR LF") << encodeAnsi(crlf);
    QTest::newRow("ansi LF") << encodeAnsi(lf);
    QTest::newRow("ansi CR") << encodeAnsi(cr);
    QTest::newRow("utf16le CR LF") << utf16le(crlf);
    QTest::newRow("utf16le LF") << utf16le(lf);
    QTest::newRow("utf16be CR LF") << utf16be(crlf);
    QTest::newRow("utf8 CR LF") << QByteArray("\xEF\xBB\xBF") + crlf.toUtf8();
}

void TestWordIndex::loadFromFile_encodingsAndBreaksGiveTheSameEntries()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.ogl"_s);
    QVERIFY(writeFile(path, bytes));

    WordIndex index;
    index.loadFromFile(path);
    const QStringList expected{u"АБАЖУР‰1234"_s, u"ЁЛКА‰2000"_s, u"-ТО‰3000"_s, QString(), u"А‰Б‰12"_s};
    QCOMPARE(entriesOf(index), expected);
    QCOMPARE(index.names(1), u"ЁЛКА"_s);
    QCOMPARE(index.endOffset(2), 3000);
    QCOMPARE(index.names(3), QString());
}

void TestWordIndex::loadFromFile_trailingBreaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");

    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("utf16 mark only") << QByteArray("\xFF\xFE") << 0;
    QTest::newRow("no final break") << QByteArray("A\x89" "1\r\nB\x89" "2") << 2;
    QTest::newRow("one final CR LF") << QByteArray("A\x89" "1\r\nB\x89" "2\r\n") << 2;
    QTest::newRow("two final CR LF") << QByteArray("A\x89" "1\r\nB\x89" "2\r\n\r\n") << 3;
    QTest::newRow("U+0000 ends the entries") << QByteArray("A\x89" "1\r\n\0B\x89" "2\r\n", 11) << 1;
}

void TestWordIndex::loadFromFile_trailingBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.ogl"_s);
    QVERIFY(writeFile(path, bytes));

    WordIndex index;
    index.loadFromFile(path);
    QCOMPARE(index.count(), count);
    if (count > 0)
        QCOMPARE(index.endOffset(0), 1);
    if (count == 3) {
        QCOMPARE(index.names(2), QString());
        QCOMPARE(index.valueFromIndex(2), QString());
    }
}

void TestWordIndex::loadFromFile_invalidUtf8GivesNoEntries()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.ogl"_s);
    QVERIFY(writeFile(path, QByteArray("\xEF\xBB\xBF") + u"А‰1\r\nБ‰2\r\n"_s.toUtf8() + QByteArray("\xC3\x28")));

    WordIndex index;
    index.loadFromText(u"СТАРОЕ‰1"_s);
    index.loadFromFile(path);
    QCOMPARE(index.count(), 0);
}

void TestWordIndex::loadFromFile_cannotOpen_raisesWithFullPathAndKeepsContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("makeDirectory");

    QTest::newRow("missing file") << u"glossa.ogl"_s << false;
    QTest::newRow("missing folder") << u"nowhere/glossa.ogl"_s << false;
    QTest::newRow("directory") << u"glossa.ogl"_s << true;
}

void TestWordIndex::loadFromFile_cannotOpen_raisesWithFullPathAndKeepsContent()
{
    QFETCH(QString, name);
    QFETCH(bool, makeDirectory);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    if (makeDirectory)
        QVERIFY(QDir(dir.path()).mkdir(name));

    WordIndex index;
    index.loadFromText(u"СТАРОЕ‰1\r\nЕЩЁ‰2"_s);
    try {
        index.loadFromFile(path);
        QFAIL("no open error");
    } catch (const EFOpenError &error) {
        const QString prefix = u"Cannot open file \""_s + QDir::toNativeSeparators(path) + u"\". "_s;
        QVERIFY2(error.message().startsWith(prefix), qPrintable(error.message()));
        // The system's text for the failure follows.
        QVERIFY(error.message().size() > prefix.size());
    }
    QCOMPARE(entriesOf(index), (QStringList{u"СТАРОЕ‰1"_s, u"ЕЩЁ‰2"_s}));
}

void TestWordIndex::loadFromFile_relativePathIsReportedInFull()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    WordIndex index;
    QString message;
    try {
        index.loadFromFile(u"glossa/../glossa/glossa.ogl"_s);
    } catch (const EFOpenError &error) {
        message = error.message();
    }
    QDir::setCurrent(previous);
    const QString full = QDir::toNativeSeparators(QDir(dir.path()).absoluteFilePath(u"glossa/glossa.ogl"_s));
    QVERIFY2(message.startsWith(u"Cannot open file \""_s + full + u"\". "_s), qPrintable(message));
}

void TestWordIndex::loadFromText_replacesContent()
{
    WordIndex index;
    index.loadFromText(u"А‰1\r\nБ‰2\r\nВ‰3"_s);
    QCOMPARE(index.count(), 3);
    index.loadFromText(u"Г‰4"_s);
    QCOMPARE(index.count(), 1);
    QCOMPARE(index.names(0), u"Г"_s);
    QCOMPARE(index.endOffset(0), 4);
}

void TestWordIndex::clear_leavesNoEntries()
{
    WordIndex index;
    index.loadFromText(u"А‰1"_s);
    index.clear();
    QCOMPARE(index.count(), 0);
    QVERIFY_THROWS_EXCEPTION(EStringListError, index.names(0));
}

QTEST_GUILESS_MAIN(TestWordIndex)
#include "tst_word_index.moc"
