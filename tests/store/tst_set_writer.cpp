#include "platform/errors.h"
#include "store/article_file.h"
#include "store/letter_index.h"
#include "store/set_writer.h"
#include "store/word_index.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(WordIndexEncoding)

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Every file of a folder with its bytes.
std::map<QString, QByteArray> snapshot(const QString &folder)
{
    std::map<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        files[name] = readAll(dir.filePath(name));
    return files;
}

std::vector<SetEntry> sampleEntries()
{
    return {
        {u"ДОМ"_s, u"ДОМ, -а, <i>м.</i> Жилое здание."_s},
        {u"ДОМИК"_s, u"ДОМИК, -а, <i>м.</i> Маленький ДОМ.\nВторая строка\r\nи третья."_s},
        {u"ЁЛКА"_s, u"ЁЛКА, -и, <i>ж.</i> То же, что ель; 100 ‰."_s},
        {u"-ТО"_s, u"-ТО, <i>частица.</i>"_s},
        {u"HTML"_s, QString()}, // an empty article
        {u"ПУСТО"_s, u"ПУСТО"_s},
    };
}

struct ReadBack
{
    QStringList headwords;
    QStringList articles;
};

ReadBack readSet(const QString &folder, const QString &base = u"glossa"_s)
{
    WordIndex index;
    index.loadFromFile(QDir(folder).filePath(base + u".ogl"_s));
    ArticleFile articles;
    articles.open(QDir(folder).filePath(base + u".uvs"_s));
    ReadBack result;
    for (int32_t i = 0; i < index.count(); ++i) {
        result.headwords.append(index.names(i));
        result.articles.append(articles.getArticle(index, i));
    }
    return result;
}

// The characters of Windows-1251 above 0x7F, as the platform's codec decodes them.
QString windows1251Letters()
{
    QStringDecoder decoder("windows-1251");
    if (!decoder.isValid())
        return {};
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b != 0x98 && b != 0x89) // unassigned, and the separator
            bytes.append(char(b));
    }
    return decoder.decode(bytes);
}

} // namespace

class tst_SetWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void windows1251_everyLetterOfTheCodePage();
    void emptySet_readsAsNoEntries();
    void letterIndex_rangesFollowKeyLetters();
    void add_rejects_data();
    void add_rejects();
    void keyLetterOutOfRun_isRefused_data();
    void keyLetterOutOfRun_isRefused();
    void failingAdd_leavesExistingSetUntouched();
    void destructorWithoutFinish_removesTemporaries();
    void setWithoutLetterIndex_removesStaleLetterIndex();
    void finishedWriter_takesNoMore();
    void encodingFault_reportsFirstProblem();
};

void tst_SetWriter::roundTrip_data()
{
    QTest::addColumn<WordIndexEncoding>("encoding");
    QTest::addColumn<bool>("letterIndex");
    QTest::addColumn<QByteArray>("wordIndexStart");

    QTest::newRow("windows-1251") << WordIndexEncoding::Windows1251 << false << QByteArray("\xC4\xCE\xCC\x89", 4);
    QTest::newRow("utf-16") << WordIndexEncoding::Utf16 << false << QByteArray("\xFF\xFE\x14\x04", 4);
    QTest::newRow("utf-8") << WordIndexEncoding::Utf8 << false << QByteArray("\xEF\xBB\xBF\xD0\x94", 5);
    QTest::newRow("utf-16 with letter index") << WordIndexEncoding::Utf16 << true << QByteArray("\xFF\xFE", 2);
}

void tst_SetWriter::roundTrip()
{
    QFETCH(WordIndexEncoding, encoding);
    QFETCH(bool, letterIndex);
    QFETCH(QByteArray, wordIndexStart);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString folder = tmp.filePath(u"nested/set"_s); // created by the writer
    std::vector<SetEntry> entries = sampleEntries();
    if (encoding != WordIndexEncoding::Windows1251) {
        entries.push_back({u"ŒUVRE"_s, u"ŒUVRE \U0001F600 outside the BMP"_s});
        entries.push_back({u"ΑΛΦΑ"_s, u"ΑΛΦΑ, греческая буква."_s});
    }
    SetWriterOptions options;
    options.encoding = encoding;
    options.letterIndex = letterIndex;
    std::vector<SetEntry> expected = entries;
    if (letterIndex)
        orderByKeyLetter(expected);

    writeDictionarySet(folder, u"glossa"_s, entries, options);

    QVERIFY(readAll(folder + u"/glossa.ogl"_s).startsWith(wordIndexStart));
    QVERIFY(readAll(folder + u"/glossa.uvs"_s).startsWith("\xFF\xFE"));
    QCOMPARE(QFile::exists(folder + u"/glossa.dvc"_s), letterIndex);
    QCOMPARE(snapshot(folder).size(), size_t(letterIndex ? 3 : 2)); // no temporaries left

    const ReadBack back = readSet(folder);
    QCOMPARE(back.headwords.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(back.headwords[qsizetype(i)], expected[i].headword);
        QCOMPARE(back.articles[qsizetype(i)], expected[i].article);
    }
}

void tst_SetWriter::windows1251_everyLetterOfTheCodePage()
{
    const QString letters = windows1251Letters();
    if (letters.isEmpty())
        QSKIP("This Qt has no Windows-1251 codec");
    QVERIFY(!letters.contains(QChar(0xFFFD)));
    QCOMPARE(headwordFault(letters, WordIndexEncoding::Windows1251), QString());

    QTemporaryDir tmp;
    SetWriterOptions options;
    options.encoding = WordIndexEncoding::Windows1251;
    writeDictionarySet(tmp.path(), u"glossa"_s, {{u"A"_s + letters, u"a"_s}, {letters, u"b"_s}}, options);
    const ReadBack back = readSet(tmp.path());
    QCOMPARE(back.headwords, (QStringList{u"A"_s + letters, letters}));
    QCOMPARE(back.articles, (QStringList{u"a"_s, u"b"_s}));
}

void tst_SetWriter::emptySet_readsAsNoEntries()
{
    QTemporaryDir tmp;
    SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{WordIndexEncoding::Utf8, true});
    writer.finish();

    WordIndex index;
    index.loadFromFile(tmp.filePath(u"glossa.ogl"_s));
    QCOMPARE(index.count(), 0);
    QCOMPARE(readAll(tmp.filePath(u"glossa.uvs"_s)), QByteArray("\xFF\xFE"));
    LetterIndex letters;
    readLetterIndexFile(tmp.filePath(u"glossa.dvc"_s), letters);
    for (const LetterRange &r : letters) {
        QCOMPARE(r.first, -1);
        QCOMPARE(r.last, -1);
    }
}

void tst_SetWriter::letterIndex_rangesFollowKeyLetters()
{
    QTemporaryDir tmp;
    const std::vector<SetEntry> entries = {
        {u"ТОРТ"_s, u"ТОРТ"_s}, {u"-ТО"_s, u"-ТО"_s},     {u"ЁЛКА"_s, u"ЁЛКА"_s}, {u"ЕЛЬ"_s, u"ЕЛЬ"_s},
        {u"АРБУЗ"_s, u"АРБУЗ"_s}, {u"DVD"_s, u"DVD"_s}, {u"123"_s, u"123"_s},   {u"ЁЖ"_s, u"ЁЖ"_s},
        {u"-ТОРТ"_s, u"x"_s},
    };
    writeDictionarySet(tmp.path(), u"glossa"_s, entries, SetWriterOptions{WordIndexEncoding::Utf16, true});

    // Stable within a key letter; Ё-initials in Е's run, hyphen-initials in their letter's.
    const QStringList order = {u"123"_s, u"DVD"_s, u"АРБУЗ"_s, u"ЁЛКА"_s, u"ЕЛЬ"_s, u"ЁЖ"_s,
                               u"ТОРТ"_s, u"-ТО"_s, u"-ТОРТ"_s};
    QCOMPARE(readSet(tmp.path()).headwords, order);

    LetterIndex letters;
    readLetterIndexFile(tmp.filePath(u"glossa.dvc"_s), letters);
    std::map<int, LetterRange> expected = {
        {0, {0, 0}},
        {letterEntryFor(u'D'), {1, 1}},
        {letterEntryFor(u'А'), {2, 2}},
        {letterEntryFor(u'Е'), {3, 5}},
        {letterEntryFor(u'Т'), {6, 8}},
    };
    for (int e = 0; e < LetterIndexEntries; ++e) {
        const auto it = expected.find(e);
        const LetterRange want = it == expected.end() ? LetterRange{-1, -1} : it->second;
        QVERIFY2(letters[size_t(e)].first == want.first && letters[size_t(e)].last == want.last,
                 qPrintable(u"entry %1: %2..%3"_s.arg(e).arg(letters[size_t(e)].first).arg(letters[size_t(e)].last)));
    }
    // What the search relies on: each headword lies in its own key letter's range.
    for (int i = 0; i < order.size(); ++i) {
        const LetterRange r = letters[size_t(keyEntryOfHeadword(order[i]))];
        QVERIFY(r.first <= i && i <= r.last);
    }
}

void tst_SetWriter::add_rejects_data()
{
    QTest::addColumn<WordIndexEncoding>("encoding");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("message");

    const auto utf16 = WordIndexEncoding::Utf16;
    const auto cp1251 = WordIndexEncoding::Windows1251;
    QTest::newRow("empty headword") << utf16 << QString() << u"x"_s << u"Entry 0 \"\": the headword is empty"_s;
    QTest::newRow("CR in headword") << utf16 << u"ДО\rМ"_s << u"x"_s
                                    << u"Entry 0 \"ДО<U+000D>М\": the headword contains a line break"_s;
    QTest::newRow("LF in headword") << utf16 << u"ДОМ\n"_s << u"x"_s
                                    << u"Entry 0 \"ДОМ<U+000A>\": the headword contains a line break"_s;
    QTest::newRow("U+0000 in headword") << utf16 << u"ДО"_s + QChar(0) + u"М"_s << u"x"_s
                                        << u"Entry 0 \"ДО<U+0000>М\": the headword contains the character U+0000"_s;
    QTest::newRow("separator in headword") << utf16 << u"А‰Б"_s << u"x"_s
                                           << u"Entry 0 \"А‰Б\": the headword contains the separator ‰ (U+2030)"_s;
    QTest::newRow("unpaired surrogate, utf-8") << WordIndexEncoding::Utf8 << u"А"_s + QChar(0xD800) << u"x"_s
                                               << u"the headword contains an unpaired surrogate (U+D800)"_s;
    QTest::newRow("greek in windows-1251") << cp1251 << u"ΑΛΦΑ"_s << u"x"_s
                                           << u"Entry 0 \"ΑΛΦΑ\": the headword contains \"Α\" (U+0391), which "
                                              "Windows-1251 cannot hold"_s;
    QTest::newRow("emoji in windows-1251") << cp1251 << u"A\U0001F600"_s << u"x"_s << u"Windows-1251 cannot hold"_s;
    QTest::newRow("windows-1251 line read as UTF-16 mark") << cp1251 << u"яюшка"_s << u"x"_s
                                                           << u"would be read as one with a byte-order mark"_s;
    QTest::newRow("windows-1251 line read as UTF-8 mark") << cp1251 << u"п»ї"_s << u"x"_s
                                                          << u"would be read as one with a byte-order mark"_s;
    QTest::newRow("U+0000 in article") << utf16 << u"ДОМ"_s << u"ДОМ"_s + QChar(0) + u"хвост"_s
                                       << u"Entry 0 \"ДОМ\": the article contains the character U+0000 at position 3"_s;
}

void tst_SetWriter::add_rejects()
{
    QFETCH(WordIndexEncoding, encoding);
    QFETCH(QString, headword);
    QFETCH(QString, article);
    QFETCH(QString, message);

    QTemporaryDir tmp;
    {
        SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{encoding, true});
        try {
            writer.add(headword, article);
            QFAIL("add() took an entry it should refuse");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        // A refused entry writes nothing: the writer goes on as if it never came.
        QCOMPARE(writer.count(), 0);
        writer.add(u"ДОМ"_s, u"ДОМ, здание"_s);
        writer.finish();
    }
    const ReadBack back = readSet(tmp.path());
    QCOMPARE(back.headwords, QStringList{u"ДОМ"_s});
    QCOMPARE(back.articles, QStringList{u"ДОМ, здание"_s});
}

void tst_SetWriter::keyLetterOutOfRun_isRefused_data()
{
    QTest::addColumn<QStringList>("headwords");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("letter");

    QTest::newRow("А, Б, А") << QStringList{u"АРБУЗ"_s, u"БАНАН"_s, u"АИСТ"_s} << 2 << u"of key letter А"_s;
    QTest::newRow("Ё counts as Е") << QStringList{u"ЕЛЬ"_s, u"ДОМ"_s, u"ЁЖ"_s} << 2 << u"of key letter Е"_s;
    QTest::newRow("-ТО counts as Т") << QStringList{u"ТОРТ"_s, u"УХО"_s, u"-ТО"_s} << 2 << u"of key letter Т"_s;
    QTest::newRow("other initials") << QStringList{u"1"_s, u"А"_s, u"-"_s} << 2 << u"of other initials"_s;
}

void tst_SetWriter::keyLetterOutOfRun_isRefused()
{
    QFETCH(QStringList, headwords);
    QFETCH(int, refused);
    QFETCH(QString, letter);

    QTemporaryDir tmp;
    SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{WordIndexEncoding::Utf16, true});
    for (int i = 0; i < refused; ++i)
        writer.add(headwords[i], headwords[i]);
    try {
        writer.add(headwords[refused], headwords[refused]);
        QFAIL("an interrupted key letter run was taken");
    } catch (const Exception &e) {
        QVERIFY2(e.message().startsWith(u"Entry %1 \"%2\""_s.arg(refused).arg(headwords[refused])),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(letter), qPrintable(e.message()));
    }

    // Without a letter index the order is free.
    QTemporaryDir tmp2;
    SetWriter free(tmp2.path(), u"glossa"_s, SetWriterOptions{WordIndexEncoding::Utf16, false});
    for (const QString &h : headwords)
        free.add(h, h);
    free.finish();
    QCOMPARE(readSet(tmp2.path()).headwords, headwords);
}

void tst_SetWriter::failingAdd_leavesExistingSetUntouched()
{
    QTemporaryDir tmp;
    writeDictionarySet(tmp.path(), u"glossa"_s, sampleEntries(), SetWriterOptions{WordIndexEncoding::Windows1251, true});
    const auto before = snapshot(tmp.path());
    QCOMPARE(before.size(), size_t(3));

    {
        SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{WordIndexEncoding::Windows1251, true});
        writer.add(u"НОВОЕ"_s, u"НОВОЕ слово"_s);
        QVERIFY_THROWS_EXCEPTION(Exception, writer.add(u"ΩMEGA"_s, u"x"_s));
        // The new files stay aside (or unnamed) until finish().
        QCOMPARE(snapshot(tmp.path()), before);
    }
    QCOMPARE(snapshot(tmp.path()), before);
    QCOMPARE(readSet(tmp.path()).headwords.size(), qsizetype(sampleEntries().size()));
}

void tst_SetWriter::destructorWithoutFinish_removesTemporaries()
{
    QTemporaryDir tmp;
    {
        SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{WordIndexEncoding::Utf8, true});
        writer.add(u"ДОМ"_s, u"ДОМ"_s);
    }
    QVERIFY(snapshot(tmp.path()).empty());
}

void tst_SetWriter::setWithoutLetterIndex_removesStaleLetterIndex()
{
    // An old letter index beside a new word index would give ranges that don't fit it.
    QTemporaryDir tmp;
    writeDictionarySet(tmp.path(), u"glossa"_s, sampleEntries(), SetWriterOptions{WordIndexEncoding::Utf16, true});
    QVERIFY(QFile::exists(tmp.filePath(u"glossa.dvc"_s)));
    writeDictionarySet(tmp.path(), u"glossa"_s, {{u"ОДНО"_s, u"ОДНО"_s}}, SetWriterOptions{WordIndexEncoding::Utf16, false});
    QVERIFY(!QFile::exists(tmp.filePath(u"glossa.dvc"_s)));
    QCOMPARE(readSet(tmp.path()).headwords, QStringList{u"ОДНО"_s});

    // Another set in the same folder keeps its own.
    writeDictionarySet(tmp.path(), u"other"_s, {{u"А"_s, u"А"_s}}, SetWriterOptions{WordIndexEncoding::Utf16, true});
    writeDictionarySet(tmp.path(), u"glossa"_s, {{u"Б"_s, u"Б"_s}}, SetWriterOptions{WordIndexEncoding::Utf16, false});
    QVERIFY(QFile::exists(tmp.filePath(u"other.dvc"_s)));
}

void tst_SetWriter::finishedWriter_takesNoMore()
{
    QTemporaryDir tmp;
    SetWriter writer(tmp.path(), u"glossa"_s, SetWriterOptions{});
    writer.add(u"А"_s, u"А"_s);
    writer.finish();
    QVERIFY_THROWS_EXCEPTION(Exception, writer.add(u"Б"_s, u"Б"_s));
    QVERIFY_THROWS_EXCEPTION(Exception, writer.finish());
    QCOMPARE(readSet(tmp.path()).headwords, QStringList{u"А"_s});

    QVERIFY_THROWS_EXCEPTION(Exception, SetWriter(tmp.path(), u"a/b"_s, SetWriterOptions{}));
    QVERIFY_THROWS_EXCEPTION(Exception, SetWriter(tmp.path(), QString(), SetWriterOptions{}));
}

void tst_SetWriter::encodingFault_reportsFirstProblem()
{
    const std::vector<SetEntry> entries = {{u"ДОМ"_s, {}}, {u"ŒUVRE"_s, {}}, {u"ΑΛΦΑ"_s, {}}};
    QCOMPARE(encodingFault(entries, WordIndexEncoding::Utf16), QString());
    const QString fault = encodingFault(entries, WordIndexEncoding::Windows1251);
    QVERIFY2(fault.startsWith(u"Entry 1 \"ŒUVRE\""_s), qPrintable(fault));
    QVERIFY(encodingFault({{u"юяшка"_s, {}}}, WordIndexEncoding::Windows1251).contains(u"byte-order mark"_s));
    QCOMPARE(encodingFault({{u"ДОМ"_s, {}}, {u"юяшка"_s, {}}}, WordIndexEncoding::Windows1251), QString());
}

QTEST_GUILESS_MAIN(tst_SetWriter)
#include "tst_set_writer.moc"
