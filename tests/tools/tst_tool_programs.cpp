// The command-line programs run as a user runs them: glossa-compile builds a
// set the viewer can read, glossa-check finds every damage, glossa-lookup
// prints what the viewer would select.

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &args, const QString &workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run compile(const QStringList &args)
{
    return run(QStringLiteral(GLOSSA_COMPILE_EXE), args);
}
Run check(const QString &folder)
{
    return run(QStringLiteral(GLOSSA_CHECK_EXE), {folder});
}
Run lookup(const QStringList &args, const QString &workDir = QString())
{
    return run(QStringLiteral(GLOSSA_LOOKUP_EXE), args, workDir);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray le32(int32_t v)
{
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

// A hand-made set: word index lines in UTF-16, article bytes, letter ranges.
struct HandSet
{
    QStringList headwords{u"АБ"_s, u"АВ"_s, u"БА"_s};
    QStringList offsets;
    QByteArray articles;
    QList<QPair<int, QPair<int32_t, int32_t>>> ranges{{27, {0, 1}}, {28, {2, 2}}};
    QByteArray letterBytes;

    HandSet()
    {
        articles = "\xFF\xFE";
        for (const QString &h : std::as_const(headwords)) {
            articles += utf16le(h + u" статья"_s);
            offsets.append(QString::number(articles.size()));
            articles += QByteArray(2, '\0');
        }
    }

    void write(const QString &folder)
    {
        QDir().mkpath(folder);
        QString text;
        for (qsizetype i = 0; i < headwords.size(); ++i)
            text += headwords[i] + u'\u2030' + offsets[i] + u"\r\n";
        writeFile(QDir(folder).filePath(u"glossa.ogl"_s), "\xFF\xFE" + utf16le(text));
        writeFile(QDir(folder).filePath(u"glossa.uvs"_s), articles);
        QByteArray dvc = letterBytes;
        if (dvc.isNull()) {
            for (int e = 0; e < 59; ++e) {
                QPair<int32_t, int32_t> r{-1, -1};
                for (const auto &x : std::as_const(ranges)) {
                    if (x.first == e)
                        r = x.second;
                }
                dvc += le32(r.first) + le32(r.second);
            }
        }
        writeFile(QDir(folder).filePath(u"glossa.dvc"_s), dvc);
    }
};

const QByteArray TsvSource = "дом\tжилое <i>здание</i>\n"
                             "Дом\tсемья\n"
                             "домовой\tдух дома<script>x()</script>\n"
                             "ёлка\tдерево\n"
                             "apple\tфрукт\n"
                             "-то\tчастица\n"
                             "ёж\tзверь\n";

} // namespace

class TestToolPrograms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compileTsv_buildsASoundSetTheLookupReads()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"src.tsv"_s), TsvSource));
        const QString set = dir.filePath(u"glossa"_s);
        const Run c = compile({dir.filePath(u"src.tsv"_s), set});
        QCOMPARE(c.exitCode, 0);
        QVERIFY2(c.err.contains(u"7 entries read, 6 written (1 duplicates merged"_s), qPrintable(c.err));
        QVERIFY2(c.err.contains(u"Windows-1251"_s), qPrintable(c.err));

        const Run k = check(set);
        QVERIFY2(k.exitCode == 0, qPrintable(k.out));
        QVERIFY(k.out.contains(u"6 entries; the set is sound"_s));

        // The letter runs in letter-index order: other initials, Latin, Cyrillic;
        // alphabetical within a letter; Ё stored as Е.
        const QString words = QStringDecoder("windows-1251").decode(readFile(set + u"/glossa.ogl"_s));
        QStringList heads;
        for (const QString &line : words.split(u"\r\n"_s, Qt::SkipEmptyParts))
            heads.append(line.section(u'\u2030', 0, 0));
        // "-то" has the key letter Т (its second character).
        QCOMPARE(heads, (QStringList{u"APPLE"_s, u"ДОМ"_s, u"ДОМОВОЙ"_s, u"ЕЖ"_s, u"ЕЛКА"_s, u"-ТО"_s}));

        // Duplicates merged in source order; the article begins with its headword.
        const Run html = lookup({u"--set"_s, set, u"  дом "_s});
        QCOMPARE(html.exitCode, 0);
        QCOMPARE(html.out.trimmed(), u"<B>ДОМ</B><div>жилое <i>здание</i></div><hr><div>семья</div>"_s);

        const Run text = lookup({u"--set"_s, set, u"--format"_s, u"text"_s, u"домо"_s});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, u"ДОМОВОЙ\nдух дома\n"_s);

        const Run json = lookup({u"--set"_s, set, u"--format"_s, u"json"_s, u"Ёл"_s});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(o.value(u"entry"_s).toInt(), 4);
        QCOMPARE(o.value(u"headword"_s).toString(), u"ЕЛКА"_s);
        QCOMPARE(o.value(u"article"_s).toString(), u"ЕЛКА<div>дерево</div>"_s);

        // Windowed search: -то is looked for in the range of Т.
        QCOMPARE(lookup({u"--set"_s, set, u"--format"_s, u"text"_s, u"-то"_s}).out, u"-ТО\nчастица\n"_s);
        QCOMPARE(lookup({u"--set"_s, set, u"-"_s}).exitCode, 1);
        QCOMPARE(lookup({u"--set"_s, set, u"кот"_s}).exitCode, 1);
        QCOMPARE(lookup({u"--set"_s, set, u"   "_s}).exitCode, 1);

        // The default set folder is ./glossa.
        const Run here = lookup({u"--format"_s, u"text"_s, u"apple"_s}, dir.path());
        QCOMPARE(here.exitCode, 0);
        QCOMPARE(here.out, u"APPLE\nфрукт\n"_s);
    }

    void compileUtf16WordIndex_whenAHeadwordLeavesWindows1251()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"src.tsv"_s), "дом\tx\nœuvre\ty\n"));
        const Run c = compile({dir.filePath(u"src.tsv"_s), dir.filePath(u"out"_s)});
        QCOMPARE(c.exitCode, 0);
        QVERIFY(readFile(dir.filePath(u"out/glossa.ogl"_s)).startsWith("\xFF\xFE"));
        QCOMPARE(check(dir.filePath(u"out"_s)).exitCode, 0);
        QCOMPARE(lookup({u"--set"_s, dir.filePath(u"out"_s), u"--format"_s, u"text"_s, u"Œu"_s}).out, u"ŒUVRE\ny\n"_s);
    }

    void compileDsl_andMyThes_throughTheExtensionGuess()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"a.dsl"_s), "\xFF\xFE" + utf16le(u"#NAME \"x\"\nкот\n\t[b]зверь[/b] ~\n"_s)));
        QCOMPARE(compile({dir.filePath(u"a.dsl"_s), dir.filePath(u"d"_s)}).exitCode, 0);
        QCOMPARE(lookup({u"--set"_s, dir.filePath(u"d"_s), u"кот"_s}).out.trimmed(),
                 u"<B>КОТ</B><div><b>зверь</b> кот</div>"_s);

        QVERIFY(writeFile(dir.filePath(u"th.dat"_s), "UTF-8\n\xD0\xB0|1\n(x)|\xD0\xB1|c\n"));
        QVERIFY(writeFile(dir.filePath(u"th.idx"_s), "UTF-8\n1\n"));
        QCOMPARE(compile({dir.filePath(u"th.idx"_s), dir.filePath(u"m"_s)}).exitCode, 0);
        QCOMPARE(lookup({u"--set"_s, dir.filePath(u"m"_s), u"--format"_s, u"text"_s, u"а"_s}).out, u"А\n(x) б, c\n"_s);
    }

    void compileFailure_namesTheLine_andKeepsTheOldSet()
    {
        QTemporaryDir dir;
        const QString set = dir.filePath(u"glossa"_s);
        QVERIFY(writeFile(dir.filePath(u"good.tsv"_s), "дом\tx\n"));
        QCOMPARE(compile({dir.filePath(u"good.tsv"_s), set}).exitCode, 0);
        const QByteArray before = readFile(set + u"/glossa.uvs"_s);

        QVERIFY(writeFile(dir.filePath(u"bad.tsv"_s), "кот\ty\nсломано\n"));
        const Run c = compile({dir.filePath(u"bad.tsv"_s), set});
        QCOMPARE(c.exitCode, 1);
        QVERIFY2(c.err.contains(QDir::toNativeSeparators(dir.filePath(u"bad.tsv"_s)) + u", line 2: no tab"_s),
                 qPrintable(c.err));
        QCOMPARE(readFile(set + u"/glossa.uvs"_s), before);
        QCOMPARE(lookup({u"--set"_s, set, u"дом"_s}).exitCode, 0);
        // No temporary folder is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
    }

    void compileSkipsHeadwordsTheSetCantHold()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"s.tsv"_s), "a\xE2\x80\xB0" "b\tx\n\tempty\nok\ty\n"));
        const Run c = compile({dir.filePath(u"s.tsv"_s), dir.filePath(u"o"_s)});
        QCOMPARE(c.exitCode, 0);
        QVERIFY2(c.err.contains(u"s.tsv, line 1: entry skipped"_s), qPrintable(c.err));
        QVERIFY2(c.err.contains(u"s.tsv, line 2: entry skipped"_s), qPrintable(c.err));
        QCOMPARE(check(dir.filePath(u"o"_s)).exitCode, 0);
    }

    void badUsageAndMissingSet_exitWithTwo()
    {
        QTemporaryDir dir;
        QCOMPARE(lookup({u"--set"_s, dir.filePath(u"none"_s), u"дом"_s}).exitCode, 2);
        QCOMPARE(lookup({u"--format"_s, u"xml"_s, u"дом"_s}).exitCode, 2);
        QCOMPARE(compile({u"x.unknown"_s, dir.filePath(u"o"_s)}).exitCode, 2);
        QCOMPARE(check(dir.filePath(u"none"_s)).exitCode, 2);
    }

    void checker_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sound") << 0 << QString();
        QTest::newRow("odd offset") << 1 << u"entry 1 (АВ): end offset 41 is odd"_s;
        QTest::newRow("decreasing") << 2 << u"entry 1 (АВ): end offset 20 is not at least the previous one (20) + 2"_s;
        QTest::newRow("past the file") << 3 << u"entry 2 (БА): end offset 1000 lies past the article file (62 bytes)"_s;
        QTest::newRow("missing terminator") << 4 << u"entry 0 (АБ): no U+0000 at end offset 20"_s;
        QTest::newRow("not an integer") << 5 << u"entry 2 (БА): end offset \"5x\" is not an integer"_s;
        QTest::newRow("range outside the index") << 6 << u"letter Б (entry 28): range [2, 3] lies outside the entries 0..2"_s;
        QTest::newRow("overlapping ranges") << 7 << u"letter А (entry 27) [0, 1] and letter Б (entry 28) [1, 2] overlap"_s;
        QTest::newRow("wrong key letters") << 8 << u"letter А (entry 27): entry 2 (БА) lies in its range [0, 2] but has the key of letter Б"_s;
        QTest::newRow("letter left out") << 9 << u"letter Б (entry 28): first is -1, but 1 headwords have this key letter"_s;
        QTest::newRow("not one run") << 10 << u"letter А (entry 27): its 2 headwords do not form one run"_s;
        QTest::newRow("short letter index") << 11 << u"letter index: 100 bytes, fewer than 472"_s;
        QTest::newRow("empty article file") << 12 << u"article file: empty"_s;
        QTest::newRow("first offset below 2") << 13 << u"entry 0 (АБ): end offset 0 is below 2"_s;
    }
    void checker()
    {
        QFETCH(int, damage);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        HandSet s;
        QCOMPARE(s.offsets, (QStringList{u"20"_s, u"40"_s, u"60"_s}));
        switch (damage) {
        case 1: s.offsets[1] = u"41"_s; break;
        case 2: s.offsets[1] = u"20"_s; break;
        case 3: s.offsets[2] = u"1000"_s; break;
        case 4: s.articles[20] = 'x'; break;
        case 5: s.offsets[2] = u"5x"_s; break;
        case 6: s.ranges = {{27, {0, 1}}, {28, {2, 3}}}; break;
        case 7: s.ranges = {{27, {0, 1}}, {28, {1, 2}}}; break;
        case 8: s.ranges = {{27, {0, 2}}}; break;
        case 9: s.ranges = {{27, {0, 1}}}; break;
        case 10:
            s.headwords = {u"АБ"_s, u"БА"_s, u"АВ"_s};
            s.ranges = {{27, {0, 2}}, {28, {1, 1}}};
            break;
        case 11: s.letterBytes = QByteArray(100, '\0'); break;
        case 12: s.articles.clear(); break;
        case 13: s.offsets[0] = u"0"_s; break;
        }
        s.write(dir.filePath(u"glossa"_s));
        const Run r = check(dir.filePath(u"glossa"_s));
        if (expected.isEmpty()) {
            QVERIFY2(r.exitCode == 0, qPrintable(r.out));
            return;
        }
        QVERIFY2(r.exitCode == 1, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(u"error: "_s + expected), qPrintable(r.out));
    }

    // Whatever the damage, the checker ends normally.
    void checkerSurvivesGarbage()
    {
        QTemporaryDir dir;
        const QString set = dir.filePath(u"glossa"_s);
        QDir().mkpath(set);
        QByteArray words = "\xEF\xBB\xBF\xC3\x28\xE2\x80\xB0" "12\n";
        QVERIFY(writeFile(set + u"/glossa.ogl"_s, words));
        QVERIFY(writeFile(set + u"/glossa.uvs"_s, "\xFF"));
        QVERIFY(writeFile(set + u"/glossa.dvc"_s, QByteArray(472, '\xFF')));
        Run r = check(set);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains(u"invalid UTF-8"_s));

        QVERIFY(writeFile(set + u"/glossa.ogl"_s, "X\x89-2147483648\r\nY\x89" "2147483647\r\n\x89\r\n"));
        QVERIFY(writeFile(set + u"/glossa.dvc"_s, QByteArray(472, '\x7F')));
        r = check(set);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains(u"past the article file"_s));
        QVERIFY(r.out.contains(u"outside the entries"_s));
        QVERIFY(r.out.contains(u"line without a headword"_s));
    }
};

QTEST_GUILESS_MAIN(TestToolPrograms)
#include "tst_tool_programs.moc"
