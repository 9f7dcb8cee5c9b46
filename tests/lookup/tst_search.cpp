#include <QTest>

#include <QRandomGenerator>

#include "lookup/search.h"
#include "platform/errors.h"
#include "store/letter_index.h"
#include "store/word_index.h"

using namespace Qt::StringLiterals;

namespace {

WordIndex makeIndex(const QStringList &lines)
{
    // Every line ends with a break, so an empty last line stays an entry.
    QString text;
    for (const QString &line : lines)
        text += line + u"\r\n"_s;
    WordIndex index;
    index.loadFromText(text);
    return index;
}

LetterIndex noLetters()
{
    LetterIndex letters;
    letters.fill(LetterRange{-1, -1});
    return letters;
}

// The scan as the word list's owner would write it: every headword cut to the
// query's length and compared whole.
int32_t referenceScan(const WordIndex &index, const QString &query, int32_t first, int32_t last)
{
    for (int32_t i = first; i <= last; ++i) {
        if (index.names(i).left(query.size()) == query)
            return i;
    }
    return -1;
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalizeQuery_data();
    void normalizeQuery();
    void upperCaseUnits_keepsLengthAndSurrogates();
    void fullModeSearch_data();
    void fullModeSearch();
    void keyEntry_data();
    void keyEntry();
    void letterRangeFor_givesStoredRange();
    void keyCharacter_data();
    void keyCharacter();
    void windowedSearch_data();
    void windowedSearch();
    void rangeOutsideIndex_data();
    void rangeOutsideIndex();
    void scan_matchesCutAndCompare();
};

void tst_Search::normalizeQuery_data()
{
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QString>("query");

    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("blanks, tabs and breaks only") << u" \t\r\n \u0001"_s << u""_s;
    QTest::newRow("blank on both sides") << u" дом "_s << u"ДОМ"_s;
    QTest::newRow("controls on both sides") << u"\u0001\tдом\r\n\u001F"_s << u"ДОМ"_s;
    QTest::newRow("blank inside stays") << u"по ходу"_s << u"ПО ХОДУ"_s;
    QTest::newRow("no-break space is no blank") << u"\u00A0дом"_s << u"\u00A0ДОМ"_s;
    QTest::newRow("small yo") << u"ёлка"_s << u"ЕЛКА"_s;
    QTest::newRow("capital yo") << u"Ёлка"_s << u"ЕЛКА"_s;
    QTest::newRow("a grave") << u"àla"_s << u"ÀLA"_s;
    QTest::newRow("sharp s stays") << u"straße"_s << u"STRAßE"_s;
    QTest::newRow("hyphen and apostrophe stay") << u"-то'"_s << u"-ТО'"_s;
}

void tst_Search::normalizeQuery()
{
    QFETCH(QString, boxText);
    QFETCH(QString, query);
    QCOMPARE(::normalizeQuery(boxText), query);
}

void tst_Search::upperCaseUnits_keepsLengthAndSurrogates()
{
    QCOMPARE(upperCaseUnits(u"ё"_s), u"Ё"_s);
    QCOMPARE(upperCaseUnits(u"à"_s), u"À"_s);
    QCOMPARE(upperCaseUnits(u"ß"_s), u"ß"_s);
    // U+10428 has the capital U+10400, but a pair of units is not one letter here.
    const QString deseret = u"\U00010428x"_s;
    QCOMPARE(upperCaseUnits(deseret), u"\U00010428X"_s);
    // A lone half stays as it is.
    const QString lone(QChar(char16_t(0xD801)));
    QCOMPARE(upperCaseUnits(lone), lone);
}

void tst_Search::fullModeSearch_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<int>("entry");

    const QStringList dom{u"ДОЛГ‰10"_s, u"ДОМ‰20"_s};
    QTest::newRow("blanks only: nothing") << dom << u" \t\r\n"_s << -1;
    QTest::newRow("trimmed") << dom << u" дом "_s << 1;
    QTest::newRow("blank inside compared")
        << QStringList{u"ПО‰1"_s, u"ПОХОДУ‰2"_s, u"ПО ХОДУ‰3"_s} << u"по ходу"_s << 2;
    QTest::newRow("ёлка misses ЁЛКА") << QStringList{u"ЁЛКА‰1"_s} << u"ёлка"_s << -1;
    QTest::newRow("Ёлка misses ЁЛКА") << QStringList{u"ЁЛКА‰1"_s} << u"Ёлка"_s << -1;
    QTest::newRow("ёлка finds ЕЛКА") << QStringList{u"ЁЛКА‰1"_s, u"ЕЛКА‰2"_s} << u"ёлка"_s << 1;
    QTest::newRow("query longer than every headword")
        << QStringList{u"ДОМ‰1"_s, u"ДО‰2"_s, u"ДОМАШНИ‰3"_s} << u"домашний"_s << -1;
    QTest::newRow("lowest hit before a later exact match")
        << QStringList{u"ДОМАШНИЙ‰1"_s, u"ДОМ‰2"_s} << u"дом"_s << 0;
    QTest::newRow("headword equal to the query") << QStringList{u"ДОМ‰1"_s} << u"дом"_s << 0;
    QTest::newRow("lower-case headword is never found") << QStringList{u"дом‰1"_s} << u"дом"_s << -1;
    QTest::newRow("line without separator has no headword")
        << QStringList{u"ДОМ"_s, u"ДОМА"_s, u"ДОМ‰2"_s} << u"дом"_s << 2;
    QTest::newRow("line starting with separator")
        << QStringList{u"‰ДОМ"_s, u"ДОМ‰2"_s} << u"дом"_s << 1;
    QTest::newRow("separator inside the query's length")
        << QStringList{u"ДО‰М‰1"_s, u"ДОМ‰2"_s} << u"дом"_s << 1;
    QTest::newRow("empty lines are entries") << QStringList{u""_s, u""_s, u"ДОМ‰3"_s} << u"дом"_s << 2;
    QTest::newRow("query holding the separator")
        << QStringList{u"ДОМ‰12"_s, u"ДОМ‰1‰2"_s} << u"дом‰1"_s << -1;
    QTest::newRow("query ending in the separator") << QStringList{u"ДОМ‰12"_s} << u"дом‰"_s << -1;
    QTest::newRow("no accent folding in the compare")
        << QStringList{u"ALA‰1"_s, u"ÀLA‰2"_s} << u"àla"_s << 1;
    QTest::newRow("empty index") << QStringList{} << u"дом"_s << -1;
}

void tst_Search::fullModeSearch()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, boxText);
    QFETCH(int, entry);

    const WordIndex index = makeIndex(lines);
    QCOMPARE(index.count(), lines.size());
    QCOMPARE(findEntryForText(index, false, noLetters(), boxText), entry);
}

void tst_Search::keyEntry_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("directEntry"); // the character given to the look-up as it is
    QTest::addColumn<int>("queryEntry");  // the character as a one-character query

    QTest::newRow("U+0040 below A") << u"\u0040"_s << 0 << 0;
    QTest::newRow("A") << u"A"_s << 1 << 1;
    QTest::newRow("Z") << u"Z"_s << 26 << 26;
    QTest::newRow("U+005B above Z") << u"\u005B"_s << 0 << 0;
    QTest::newRow("U+040F below А") << u"\u040F"_s << 0 << 0;
    QTest::newRow("А") << u"А"_s << 27 << 27;
    QTest::newRow("Т") << u"Т"_s << 45 << 45;
    QTest::newRow("Я") << u"Я"_s << 58 << 58;
    QTest::newRow("а (U+0430) above Я") << u"а"_s << 0 << 0;
    QTest::newRow("Ё") << u"Ё"_s << 0 << 0;
    QTest::newRow("À folded to A") << u"À"_s << 0 << 1;
    QTest::newRow("É folded to E") << u"É"_s << 0 << 5;
    QTest::newRow("Ö folded to O") << u"Ö"_s << 0 << 15;
    QTest::newRow("Ü not folded") << u"Ü"_s << 0 << 0;
    QTest::newRow("digit") << u"7"_s << 0 << 0;
}

void tst_Search::keyEntry()
{
    QFETCH(QString, character);
    QFETCH(int, directEntry);
    QFETCH(int, queryEntry);

    QCOMPARE(letterEntryFor(character.at(0).unicode()), directEntry);
    QCOMPARE(letterEntryFor(::keyCharacter(character)), queryEntry);
}

void tst_Search::letterRangeFor_givesStoredRange()
{
    LetterIndex letters;
    for (int e = 0; e < LetterIndexEntries; ++e)
        letters[size_t(e)] = LetterRange{e * 10, e * 10 - 5}; // stored as is, even when last < first
    for (char16_t c : {u'@', u'A', u'Z', u'[', u'\u040F', u'\u0410', u'\u042F', u'\u0430', u'\u0401'}) {
        const LetterRange range = letterRangeFor(letters, c);
        const int e = letterEntryFor(c);
        QCOMPARE(range.first, e * 10);
        QCOMPARE(range.last, e * 10 - 5);
    }
}

void tst_Search::keyCharacter_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("key");

    QTest::newRow("Cyrillic initial") << u"ДОМ"_s << u"Д"_s;
    QTest::newRow("hyphen and Cyrillic") << u"-ТО"_s << u"Т"_s;
    QTest::newRow("apostrophe and Latin") << u"'ALLO"_s << u"A"_s;
    QTest::newRow("lone hyphen") << u"-"_s << u"-"_s;
    QTest::newRow("lone apostrophe") << u"'"_s << u"'"_s;
    QTest::newRow("two hyphens") << u"--"_s << u"-"_s;
    QTest::newRow("hyphen and digit") << u"-1"_s << u"-"_s;
    QTest::newRow("hyphen and À: À not tested folded") << u"-ÀLA"_s << u"-"_s;
    QTest::newRow("hyphen and Ё") << u"-Ё"_s << u"-"_s;
    QTest::newRow("À folded") << u"ÀLA"_s << u"A"_s;
    QTest::newRow("É folded") << u"ÉTÉ"_s << u"E"_s;
    QTest::newRow("Ü stays") << u"Ü"_s << u"Ü"_s;
    QTest::newRow("digit") << u"1 МАЯ"_s << u"1"_s;
    QTest::newRow("blank after hyphen") << u"- ТО"_s << u"-"_s;
}

void tst_Search::keyCharacter()
{
    QFETCH(QString, query);
    QFETCH(QString, key);
    QCOMPARE(QString(QChar(::keyCharacter(query))), key);
}

void tst_Search::windowedSearch_data()
{
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<int>("windowedEntry");
    QTest::addColumn<int>("fullEntry");

    QTest::newRow("-то: range of Т") << u"-то"_s << 8 << 8;
    QTest::newRow("lone hyphen: entry 0") << u"-"_s << 1 << 1;
    QTest::newRow("lone apostrophe: entry 0") << u"'"_s << 2 << 2;
    QTest::newRow("digit: entry 0") << u"1"_s << 0 << 0;
    QTest::newRow("hyphen and à: entry 0") << u"-à"_s << 3 << 3;
    QTest::newRow("àla: range of A, compared as ÀLA") << u"àla"_s << 6 << 6;
    QTest::newRow("ala: range of A") << u"ala"_s << 5 << 5;
    QTest::newRow("ü: entry 0") << u"ü"_s << 4 << 4;
    QTest::newRow("том: range of Т") << u"том"_s << 7 << 7;
    QTest::newRow("first -1 ends the search") << u"як"_s << -1 << 9;
    QTest::newRow("headword outside its letter's range") << u"мак"_s << -1 << 10;
    QTest::newRow("blanks only") << u"  "_s << -1 << -1;
}

void tst_Search::windowedSearch()
{
    QFETCH(QString, boxText);
    QFETCH(int, windowedEntry);
    QFETCH(int, fullEntry);

    const WordIndex index = makeIndex({
        u"1 МАЯ‰1"_s, // 0..4: entry 0
        u"-‰2"_s,
        u"'‰3"_s,
        u"-ÀLA‰4"_s,
        u"ÜBER‰5"_s,
        u"ALA‰6"_s, // 5..6: A
        u"ÀLA‰7"_s,
        u"ТОМ‰8"_s, // 7..8: Т
        u"-ТО‰9"_s,
        u"ЯК‰10"_s, // Я has no range
        u"МАК‰11"_s, // М's range misses it
    });
    LetterIndex letters = noLetters();
    letters[0] = {0, 4};
    letters[size_t(letterEntryFor(u'A'))] = {5, 6};
    letters[size_t(letterEntryFor(u'Т'))] = {7, 8};
    letters[size_t(letterEntryFor(u'Я'))] = {-1, 10};
    letters[size_t(letterEntryFor(u'М'))] = {0, 9};

    QCOMPARE(findEntryForText(index, true, letters, boxText), windowedEntry);
    QCOMPARE(findEntryForText(index, false, letters, boxText), fullEntry);
}

void tst_Search::rangeOutsideIndex_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("error");

    // The index holds entries 0..2.
    QTest::newRow("hit before the bad entry") << 1 << 5 << u"аг"_s << 2 << u""_s;
    QTest::newRow("no hit: fails at the count") << 1 << 5 << u"ад"_s << -1 << u"List index out of bounds (3)"_s;
    QTest::newRow("last just past the end") << 0 << 3 << u"ад"_s << -1 << u"List index out of bounds (3)"_s;
    QTest::newRow("negative first fails first") << -2 << 1 << u"аб"_s << -1 << u"List index out of bounds (-2)"_s;
    QTest::newRow("range wholly past the end") << 5 << 7 << u"аб"_s << -1 << u"List index out of bounds (5)"_s;
    QTest::newRow("query with separator scans to the end")
        << 0 << 4 << u"аб‰"_s << -1 << u"List index out of bounds (3)"_s;
    QTest::newRow("last below first: nothing, no error") << 10 << 5 << u"аб"_s << -1 << u""_s;
    QTest::newRow("last below first, negative") << -1 << -3 << u"аб"_s << -1 << u""_s;
    QTest::newRow("widest range") << int(INT32_MIN) << int(INT32_MAX) << u"аб"_s << -1
                                  << u"List index out of bounds (-2147483648)"_s;
    QTest::newRow("range up to INT32_MAX") << 0 << int(INT32_MAX) << u"ад"_s << -1
                                           << u"List index out of bounds (3)"_s;
}

void tst_Search::rangeOutsideIndex()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, boxText);
    QFETCH(int, entry);
    QFETCH(QString, error);

    const WordIndex index = makeIndex({u"АБ‰1"_s, u"АВ‰2"_s, u"АГ‰3"_s});
    LetterIndex letters = noLetters();
    letters[size_t(letterEntryFor(u'А'))] = {first, last};

    try {
        const int32_t found = findEntryForText(index, true, letters, boxText);
        QVERIFY2(error.isEmpty(), "expected an index error");
        QCOMPARE(found, entry);
    } catch (const EStringListError &e) {
        QCOMPARE(e.message(), error);
    }
}

// The direct scan over the stored lines must agree with cutting each headword
// to the query's length, on lines with and without separators.
void tst_Search::scan_matchesCutAndCompare()
{
    QRandomGenerator random(20240611);
    const QString alphabet = u"АБ‰-"_s;
    auto randomText = [&](int maxLength) {
        QString text;
        const int length = int(random.bounded(maxLength + 1));
        for (int k = 0; k < length; ++k)
            text += alphabet.at(int(random.bounded(alphabet.size())));
        return text;
    };

    for (int round = 0; round < 200; ++round) {
        QStringList lines;
        const int count = int(random.bounded(1, 40));
        for (int i = 0; i < count; ++i)
            lines += randomText(6);
        const WordIndex index = makeIndex(lines);
        QCOMPARE(index.count(), count);

        for (int q = 0; q < 30; ++q) {
            const QString query = randomText(4);
            const int32_t first = int32_t(random.bounded(count));
            const int32_t last = int32_t(random.bounded(count));
            QCOMPARE(findFirstWithPrefix(index, query, first, last), referenceScan(index, query, first, last));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Search)
#include "tst_search.moc"
