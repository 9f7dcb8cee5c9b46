#include "platform/errors.h"
#include "sample_source.h"
#include "store/article_file.h"
#include "store/letter_index.h"
#include "store/word_index.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run mkset(const QStringList &arguments)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = runMkset(arguments, out, err);
    return run;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sampleDictionaryPath()
{
    return QStringLiteral(GLOSSA_TEST_DATA_DIR "/sample-dictionary.txt");
}

} // namespace

class tst_Mkset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void parseErrors_data();
    void parseErrors();
    void tool_writesSet_data();
    void tool_writesSet();
    void tool_fallsBackToUtf16();
    void tool_errors_data();
    void tool_errors();
    void sampleDictionary_isSound();
    void sampleDictionary_buildsAndReadsBack();
};

void tst_Mkset::parse_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QStringList>("headwords");
    QTest::addColumn<QStringList>("articles");
    QTest::addColumn<QList<int>>("lines");

    QTest::newRow("comments and blank lines before the first entry")
        << QByteArray("# a comment\n\n#another\n   \n@ ДОМ\nДОМ, здание.\n")
        << QStringList{u"ДОМ"_s} << QStringList{u"ДОМ, здание."_s} << QList<int>{5};
    QTest::newRow("multi-line article, trailing blank lines dropped")
        << QByteArray("@ ДОМ\nДОМ, -а,\n\n<i>м.</i> здание\n\n  \n@ ДОМА\nДОМА, нареч.")
        << QStringList{u"ДОМ"_s, u"ДОМА"_s} << QStringList{u"ДОМ, -а,\n\n<i>м.</i> здание"_s, u"ДОМА, нареч."_s}
        << QList<int>{1, 7};
    QTest::newRow("CR LF line ends and a byte-order mark")
        << QByteArray("\xEF\xBB\xBF# c\r\n@ ЁЖ\r\nЁЖ, ежа\r\nвторая\r\n")
        << QStringList{u"ЁЖ"_s} << QStringList{u"ЁЖ, ежа\nвторая"_s} << QList<int>{2};
    QTest::newRow("inside an article, # and @ without a blank are text")
        << QByteArray("@ -ТО\n# not a comment\n@ТО is text\n")
        << QStringList{u"-ТО"_s} << QStringList{u"# not a comment\n@ТО is text"_s} << QList<int>{1};
    QTest::newRow("headword trimmed, empty article") << QByteArray("@   HTML  \n@ IT\nIT")
                                                   << QStringList{u"HTML"_s, u"IT"_s} << QStringList{QString(), u"IT"_s}
                                                   << QList<int>{1, 2};
    QTest::newRow("no entries") << QByteArray("# only a comment\n") << QStringList{} << QStringList{} << QList<int>{};
}

void tst_Mkset::parse()
{
    QFETCH(QByteArray, source);
    QFETCH(QStringList, headwords);
    QFETCH(QStringList, articles);
    QFETCH(QList<int>, lines);

    const std::vector<SourceEntry> entries = parseSampleSource(source, u"src.txt"_s);
    QStringList gotHeadwords, gotArticles;
    QList<int> gotLines;
    for (const SourceEntry &e : entries) {
        gotHeadwords.append(e.headword);
        gotArticles.append(e.article);
        gotLines.append(e.line);
    }
    QCOMPARE(gotHeadwords, headwords);
    QCOMPARE(gotArticles, articles);
    QCOMPARE(gotLines, lines);
}

void tst_Mkset::parseErrors_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("message");

    QTest::newRow("text before the first entry")
        << QByteArray("# c\nДОМ\n@ ДОМ\n") << u"src.txt:2: text before the first entry"_s;
    QTest::newRow("empty headword") << QByteArray("@ А\nА\n\n@ \nБ\n") << u"src.txt:4: the entry has no headword"_s;
    QTest::newRow("lone @") << QByteArray("# c\n@\n") << u"src.txt:2: the entry has no headword"_s;
    QTest::newRow("blank headword") << QByteArray("@ \t \n") << u"src.txt:1: the entry has no headword"_s;
    QTest::newRow("invalid UTF-8") << QByteArray("@ А\nА\n\xC0\xC1\n") << u"src.txt:3: the line is not valid UTF-8"_s;
    QTest::newRow("separator in headword") << QByteArray("@ А\nА\n@ Б‰В\n")
                                           << u"src.txt:3: the headword contains the separator"_s;
    QTest::newRow("lone CR inside a headword") << QByteArray("@ А\rБ\n")
                                               << u"src.txt:1: the headword contains a line break"_s;
    QTest::newRow("U+0000 in article") << QByteArray("@ А\nА\nБ\0В\n", 14)
                                       << u"src.txt:3: the article contains the character U+0000"_s;
}

void tst_Mkset::parseErrors()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, message);
    try {
        parseSampleSource(source, u"src.txt"_s);
        QFAIL("the source was taken");
    } catch (const Exception &e) {
        QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
    }
}

void tst_Mkset::tool_writesSet_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("wordIndexStart");
    QTest::addColumn<bool>("letterIndex");
    QTest::addColumn<QStringList>("order");

    const QStringList fileOrder = {u"ЯБЛОКО"_s, u"DVD"_s, u"ЁЛКА"_s, u"-ТО"_s, u"ДОМ"_s};
    const QStringList keyOrder = {u"DVD"_s, u"ДОМ"_s, u"ЁЛКА"_s, u"-ТО"_s, u"ЯБЛОКО"_s};
    QTest::newRow("default") << QStringList{} << QByteArray("\xDF\xC1", 2) << false << fileOrder;
    QTest::newRow("utf8, letter index") << QStringList{u"--encoding"_s, u"utf8"_s, u"--letter-index"_s}
                                        << QByteArray("\xEF\xBB\xBF" "DVD") << true << keyOrder;
    QTest::newRow("utf16") << QStringList{u"--encoding=utf16"_s} << QByteArray("\xFF\xFE\x2F\x04", 4) << false
                           << fileOrder;
    QTest::newRow("cp1251, letter index") << QStringList{u"--letter-index"_s, u"--encoding"_s, u"cp1251"_s}
                                          << QByteArray("DVD\x89") << true << keyOrder;
}

void tst_Mkset::tool_writesSet()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, wordIndexStart);
    QFETCH(bool, letterIndex);
    QFETCH(QStringList, order);

    QTemporaryDir tmp;
    const QString source = tmp.filePath(u"src.txt"_s);
    QVERIFY(writeFile(source, "# sample\n@ ЯБЛОКО\nЯБЛОКО, плод.\n@ DVD\nDVD, диск.\n@ ЁЛКА\nЁЛКА, дерево.\n"
                              "@ -ТО\n-ТО, частица.\n@ ДОМ\nДОМ, здание.\n<b>вторая</b>\n"));
    const QString folder = tmp.filePath(u"out"_s);

    const Run run = mkset(options + QStringList{source, folder, u"dict"_s});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.contains(u"5 entries"_s));

    QVERIFY(readAll(folder + u"/dict.ogl"_s).startsWith(wordIndexStart));
    QCOMPARE(QFile::exists(folder + u"/dict.dvc"_s), letterIndex);
    WordIndex index;
    index.loadFromFile(folder + u"/dict.ogl"_s);
    ArticleFile articles;
    articles.open(folder + u"/dict.uvs"_s);
    QStringList headwords;
    for (int32_t i = 0; i < index.count(); ++i) {
        headwords.append(index.names(i));
        QVERIFY(articles.getArticle(index, i).startsWith(index.names(i) + u", "_s));
    }
    QCOMPARE(headwords, order);
    QCOMPARE(articles.getArticle(index, int32_t(order.indexOf(u"ДОМ"_s))), u"ДОМ, здание.\n<b>вторая</b>"_s);
}

void tst_Mkset::tool_fallsBackToUtf16()
{
    QTemporaryDir tmp;
    const QString source = tmp.filePath(u"src.txt"_s);
    QVERIFY(writeFile(source, "@ ДОМ\nДОМ\n@ ΑΛΦΑ\nΑΛΦΑ, буква.\n"));

    const Run run = mkset({source, tmp.path()});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.err.contains(u"ΑΛΦΑ"_s) && run.err.contains(u"UTF-16"_s), qPrintable(run.err));
    QVERIFY(readAll(tmp.filePath(u"glossa.ogl"_s)).startsWith("\xFF\xFE"));
    WordIndex index;
    index.loadFromFile(tmp.filePath(u"glossa.ogl"_s));
    QCOMPARE(index.count(), 2);
    QCOMPARE(index.names(1), u"ΑΛΦΑ"_s);
}

void tst_Mkset::tool_errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing source") << QStringList{u"nonexistent.txt"_s, u"out"_s} << QByteArray()
                                    << u"Cannot open file \"nonexistent.txt\""_s;
    QTest::newRow("source error names file and line") << QStringList{u"SRC"_s, u"out"_s} << QByteArray("x\n@ А\n")
                                                      << u"src.txt:1: text before the first entry"_s;
    QTest::newRow("no entries") << QStringList{u"SRC"_s, u"out"_s} << QByteArray("# c\n") << u"no entries"_s;
    QTest::newRow("unknown encoding") << QStringList{u"--encoding"_s, u"koi8"_s, u"SRC"_s, u"out"_s}
                                      << QByteArray("@ А\n") << u"unknown encoding \"koi8\""_s;
    QTest::newRow("missing encoding value") << QStringList{u"SRC"_s, u"out"_s, u"--encoding"_s}
                                            << QByteArray("@ А\n") << u"--encoding needs a value"_s;
    QTest::newRow("unknown option") << QStringList{u"--fast"_s, u"SRC"_s, u"out"_s} << QByteArray("@ А\n")
                                    << u"unknown option \"--fast\""_s;
    QTest::newRow("too few arguments") << QStringList{u"SRC"_s} << QByteArray("@ А\n") << u"expected <source.txt>"_s;
    QTest::newRow("too many arguments") << QStringList{u"SRC"_s, u"out"_s, u"a"_s, u"b"_s} << QByteArray("@ А\n")
                                        << u"expected <source.txt>"_s;
    QTest::newRow("bad base name") << QStringList{u"SRC"_s, u"out"_s, u"a/b"_s} << QByteArray("@ А\n")
                                   << u"Invalid base name"_s;
}

void tst_Mkset::tool_errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, source);
    QFETCH(QString, message);

    QTemporaryDir tmp;
    const QString sourcePath = tmp.filePath(u"src.txt"_s);
    QVERIFY(writeFile(sourcePath, source));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    for (QString &a : arguments) {
        if (a == u"SRC"_s)
            a = u"src.txt"_s;
    }

    const Run run = mkset(arguments);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.startsWith(u"glossa-mkset: "_s) && run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFile::exists(tmp.filePath(u"out/glossa.ogl"_s)));
    QVERIFY(!QFile::exists(tmp.filePath(u"out/glossa.uvs"_s)));
}

void tst_Mkset::sampleDictionary_isSound()
{
    const std::vector<SourceEntry> entries = readSampleSource(sampleDictionaryPath());
    QVERIFY2(entries.size() >= 150, qPrintable(QString::number(entries.size())));

    const QRegularExpression call(uR"(pod_cat\('([^']*)'\))"_s);
    const QRegularExpression id(uR"x(\bid="([^"]*)")x"_s);
    QSet<QString> headwords;
    int yo = 0, hyphen = 0, latin = 0;
    for (const SourceEntry &e : entries) {
        const QString where = u"%1 (line %2)"_s.arg(e.headword).arg(e.line);
        QVERIFY2(!headwords.contains(e.headword), qPrintable(where + u": twice"_s));
        headwords.insert(e.headword);
        QVERIFY2(e.article.startsWith(e.headword), qPrintable(where));
        QVERIFY2(e.headword == e.headword.toUpper(), qPrintable(where));
        yo += e.headword.startsWith(u'Ё');
        hyphen += e.headword.startsWith(u'-');
        latin += e.headword[0] >= u'A' && e.headword[0] <= u'Z';

        // Every clickable block opens an element of its own article; ids are unique there.
        QSet<QString> ids;
        for (const auto &m : id.globalMatch(e.article)) {
            QVERIFY2(!ids.contains(m.captured(1)), qPrintable(where));
            ids.insert(m.captured(1));
        }
        for (const auto &m : call.globalMatch(e.article))
            QVERIFY2(ids.contains(m.captured(1)), qPrintable(where + u": no element "_s + m.captured(1)));
    }
    QVERIFY(yo >= 3);
    QVERIFY(hyphen >= 3);
    QVERIFY(latin >= 2);
    for (const QString &h : {u"ДОМ"_s, u"ДОМА"_s, u"ДОМАШНИЙ"_s, u"ДОМИК"_s, u"ЁЛКА"_s, u"-ТО"_s})
        QVERIFY2(headwords.contains(h), qPrintable(h));
}

void tst_Mkset::sampleDictionary_buildsAndReadsBack()
{
    QTemporaryDir tmp;
    const Run run = mkset({u"--letter-index"_s, sampleDictionaryPath(), tmp.path()});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // every headword fits Windows-1251

    WordIndex index;
    index.loadFromFile(tmp.filePath(u"glossa.ogl"_s));
    ArticleFile articles;
    articles.open(tmp.filePath(u"glossa.uvs"_s));
    LetterIndex letters;
    readLetterIndexFile(tmp.filePath(u"glossa.dvc"_s), letters);
    QVERIFY(index.count() >= 150);
    for (int32_t i = 0; i < index.count(); ++i) {
        const QString headword = index.names(i);
        QVERIFY2(articles.getArticle(index, i).startsWith(headword), qPrintable(headword));
        const LetterRange r = letters[size_t(keyEntryOfHeadword(headword))];
        QVERIFY2(r.first <= i && i <= r.last, qPrintable(headword));
    }
}

QTEST_GUILESS_MAIN(tst_Mkset)
#include "tst_mkset.moc"
