// The source readers: each format's entries, markup turned into safe HTML,
// and damaged input reported with the file and the line or offset.

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

#include "formats/dictd_reader.h"
#include "formats/html_markup.h"
#include "formats/source_error.h"
#include "formats/source_format.h"

using namespace Qt::StringLiterals;

namespace {

struct Entry
{
    QString headword;
    QString body;
};

QList<Entry> readAll(SourceFormat format, const QString &path, const QString &tempDir)
{
    QList<Entry> entries;
    SourceContext context;
    context.tempDir = tempDir;
    context.entry = [&](const SourceEntry &e) { entries.append({e.headword, e.body}); };
    readSource(format, path, context);
    return entries;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray utf16le(const QString &text, bool mark = true)
{
    QByteArray bytes = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray gzip(const QByteArray &data)
{
    QByteArray out(int(compressBound(uLong(data.size()))) + 64, '\0');
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// Bytes that do not compress.
QByteArray noise(int size)
{
    QByteArray out(size, '\0');
    uint32_t x = 12345;
    for (char &c : out) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return out;
}

QByteArray be32(uint32_t v)
{
    QByteArray b(4, '\0');
    b[0] = char(v >> 24);
    b[1] = char(v >> 16);
    b[2] = char(v >> 8);
    b[3] = char(v);
    return b;
}

// A StarDict .idx entry.
QByteArray idxEntry(const QString &word, uint32_t offset, uint32_t size)
{
    return word.toUtf8() + QByteArray(1, '\0') + be32(offset) + be32(size);
}

QByteArray ifo(int wordCount, qsizetype idxSize, const QByteArray &extra)
{
    return "StarDict's dict ifo file\nversion=2.4.2\nbookname=Test\nwordcount=" + QByteArray::number(wordCount)
        + "\nidxfilesize=" + QByteArray::number(idxSize) + "\n" + extra;
}

// A dictd base-64 number.
QByteArray b64(int64_t v)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    do {
        out.prepend(digits[v % 64]);
        v /= 64;
    } while (v > 0);
    return out;
}

const QString DslSource = u"#NAME \"Тест\"\n#INDEX_LANGUAGE \"Russian\"\n#CONTENTS_LANGUAGE \"Russian\"\n\n"
                          u"дом{ик}\n"
                          u"жилище\n"
                          u"\t[m1][b]сущ.[/b] [i]м.[/i] [c red]~[/c] \\[1\\] a<b & {{скрыто}}[s]dom.wav[/s]\n"
                          u"\t[m2][ex]\\~ и \\\\[/ex] [trn]перевод[/trn] [lang id=1]x[/lang] [ref]изба[/ref]\n"
                          u"кот\n"
                          u" [p]м.[/p] [c]зверь[/c]\n"_s;

} // namespace

class TestSourceFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void html_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("escape") << u"escape"_s << u"a<b>&\"c\""_s << u"a&lt;b&gt;&amp;&quot;c&quot;"_s;
        QTest::newRow("plain text breaks") << u"plain"_s << u"a\r\nb\nc<"_s << u"a<br>b<br>c&lt;"_s;
        QTest::newRow("script dropped") << u"sanitize"_s << u"<b>x</b><script>alert(1)</script>y"_s
                                        << u"<b>x</b>y"_s;
        QTest::newRow("unclosed script drops the rest") << u"sanitize"_s << u"x<SCRIPT>evil"_s << u"x"_s;
        QTest::newRow("event handler dropped") << u"sanitize"_s << u"<img src=x onerror=\"f()\">"_s
                                               << u"<img src=\"x\">"_s;
        QTest::newRow("javascript address dropped") << u"sanitize"_s << u"<a href=\" javascript:f()\">k</a>"_s
                                                    << u"<a>k</a>"_s;
        QTest::newRow("iframe dropped, text kept") << u"sanitize"_s << u"<iframe src=a>t</iframe>"_s << u"t"_s;
        QTest::newRow("stray angle escaped") << u"sanitize"_s << u"a < b > c"_s << u"a &lt; b &gt; c"_s;
        QTest::newRow("comment dropped") << u"sanitize"_s << u"a<!-- x -->b"_s << u"ab"_s;
        QTest::newRow("to text") << u"text"_s << u"<B>ДОМ</B><div>жилище &amp; кров</div><p>x&#1040;&nbsp;y</p>"_s
                                 << u"ДОМ\nжилище & кров\nxА\u00A0y"_s;
        QTest::newRow("to text br") << u"text"_s << u"a<br>b<br/><br>c<script>x</script>"_s << u"a\nb\n\nc"_s;
    }
    void html()
    {
        QFETCH(QString, function);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QString got;
        if (function == u"escape"_s)
            got = escapeHtml(input);
        else if (function == u"plain"_s)
            got = plainTextToHtml(input);
        else if (function == u"sanitize"_s)
            got = sanitizeHtml(input);
        else
            got = htmlToPlainText(input);
        QCOMPARE(got, expected);
    }

    void dsl_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-16LE with mark") << utf16le(DslSource);
        QTest::newRow("UTF-16LE without mark") << utf16le(DslSource, false);
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF" + DslSource.toUtf8());
        QTest::newRow("UTF-8 CR LF") << DslSource.toUtf8().replace("\n", "\r\n");
    }
    void dsl()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.dsl"_s);
        writeFile(path, bytes);
        const QList<Entry> entries = readAll(SourceFormat::Dsl, path, dir.path());
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].headword, u"дом"_s);
        QCOMPARE(entries[1].headword, u"жилище"_s);
        QCOMPARE(entries[2].headword, u"кот"_s);
        const QString &body = entries[0].body;
        QCOMPARE(body, u"<div style=\"margin-left:1em\"><b>сущ.</b> <i>м.</i> <span style=\"color:red\">дом</span> [1] "
                       u"a&lt;b &amp;</div>"
                       u"<div style=\"margin-left:2em\"><span style=\"color:#666666\">~ и \\</span> перевод x "
                       u"<u>изба</u></div>"_s);
        // Alternative headwords share the card; ~ stands for each one's own headword.
        QVERIFY(entries[1].body.contains(u"<span style=\"color:red\">жилище</span>"_s));
        QCOMPARE(entries[2].body, u"<div><i style=\"color:green\">м.</i> <span style=\"color:green\">зверь</span></div>"_s);
    }

    void dslTagsSpanningLines_areClosedAndReopened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.dsl"_s);
        writeFile(path, "a\n\t[b]one\n\ttwo[/b] [c #12ab]x[/c] [c red\"><script>]y[/c]\n");
        const QList<Entry> entries = readAll(SourceFormat::Dsl, path, dir.path());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].body, u"<div><b>one</b></div><div><b>two</b> <span style=\"color:#12ab\">x</span> "
                                  u"<span style=\"color:green\">y</span></div>"_s);
    }

    void starDict_data()
    {
        QTest::addColumn<QByteArray>("sameTypes");
        QTest::addColumn<QByteArray>("dict");
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<QString>("firstBody");
        QTest::newRow("sametypesequence m") << QByteArray("m") << QByteArray("a<b\nline2") << false
                                            << u"<div>a&lt;b<br>line2</div>"_s;
        QTest::newRow("sametypesequence tm") << QByteArray("tm") << QByteArray("dom\0house", 9) << false
                                             << u"<div>[dom]<br>house</div>"_s;
        QTest::newRow("typed fields") << QByteArray() << QByteArray("mtext\0h<i>x</i><script>bad()</script>\0", 38)
                                      << false << u"<div>text<br><i>x</i></div>"_s;
        QTest::newRow("typed with binary") << QByteArray()
                                           << QByteArray("W\0\0\0\2zzmok\0", 11) << false << u"<div>ok</div>"_s;
        QTest::newRow("dict.dz") << QByteArray("h") << QByteArray("<b>bold</b>") << true
                                 << u"<div><b>bold</b></div>"_s;
    }
    void starDict()
    {
        QFETCH(QByteArray, sameTypes);
        QFETCH(QByteArray, dict);
        QFETCH(bool, compressed);
        QFETCH(QString, firstBody);
        QTemporaryDir dir;
        const QByteArray second = sameTypes.isEmpty() ? QByteArray("mzweite\0", 8)
            : sameTypes.size() == 2                     ? QByteArray("x\0zweite", 8)
                                                        : QByteArray("zweite");
        const QByteArray data = dict + second;
        const QByteArray idx = idxEntry(u"дом"_s, 0, uint32_t(dict.size()))
            + idxEntry(u"второй"_s, uint32_t(dict.size()), uint32_t(second.size()));
        const QByteArray extra = sameTypes.isEmpty() ? QByteArray() : "sametypesequence=" + sameTypes + "\n";
        writeFile(dir.filePath(u"d.ifo"_s), ifo(2, idx.size(), extra));
        writeFile(dir.filePath(u"d.idx"_s), idx);
        if (compressed)
            writeFile(dir.filePath(u"d.dict.dz"_s), gzip(data));
        else
            writeFile(dir.filePath(u"d.dict"_s), data);
        QCOMPARE(guessSourceFormat(dir.filePath(u"d.ifo"_s)), std::optional(SourceFormat::StarDict));
        const QList<Entry> entries = readAll(SourceFormat::StarDict, dir.filePath(u"d.ifo"_s), dir.path());
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].headword, u"дом"_s);
        QCOMPARE(entries[0].body, firstBody);
        QVERIFY(entries[1].body.contains(u"zweite"_s));
    }

    void starDict64BitOffsets()
    {
        QTemporaryDir dir;
        const QByteArray idx = u"слово"_s.toUtf8() + QByteArray(1, '\0') + be32(0) + be32(0) + be32(4);
        writeFile(dir.filePath(u"d.ifo"_s), ifo(1, idx.size(), "version=3.0.0\nidxoffsetbits=64\nsametypesequence=m\n"));
        writeFile(dir.filePath(u"d.idx"_s), idx);
        writeFile(dir.filePath(u"d.dict"_s), "text");
        const QList<Entry> entries = readAll(SourceFormat::StarDict, dir.filePath(u"d.idx"_s), dir.path());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].body, u"<div>text</div>"_s);
    }

    void dictd_data()
    {
        QTest::addColumn<bool>("compressed");
        QTest::newRow("plain .dict") << false;
        QTest::newRow(".dict.dz") << true;
    }
    void dictd()
    {
        QFETCH(bool, compressed);
        QTemporaryDir dir;
        QByteArray dict = "00-database-info\nTest dictionary\n";
        QByteArray index = "00-database-info\tA\t" + b64(dict.size()) + "\n";
        const QByteArray first = "кот\n  домашний зверь <мурлычет>\n";
        index += "кот\t" + b64(dict.size()) + "\t" + b64(first.size()) + "\n";
        dict += first;
        // Long enough for a two-digit base-64 offset.
        dict += QByteArray(100, ' ');
        const QByteArray second = "dog\n  a <b>friend</b>\n";
        index += "dog\t" + b64(dict.size()) + "\t" + b64(second.size()) + "\n";
        dict += second;
        writeFile(dir.filePath(u"x.index"_s), index);
        writeFile(dir.filePath(compressed ? u"x.dict.dz"_s : u"x.dict"_s), compressed ? gzip(dict) : dict);
        const QList<Entry> entries = readAll(SourceFormat::Dictd, dir.filePath(u"x.index"_s), dir.path());
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].headword, u"кот"_s);
        QCOMPARE(entries[0].body, u"<div>  домашний зверь &lt;мурлычет&gt;</div>"_s);
        QCOMPARE(entries[1].body, u"<div>  a &lt;b&gt;friend&lt;/b&gt;</div>"_s);
    }

    void dictdNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("A") << u"A"_s << true << 0LL;
        QTest::newRow("/") << u"/"_s << true << 63LL;
        QTest::newRow("BA") << u"BA"_s << true << 64LL;
        QTest::newRow("b") << u"b"_s << true << 27LL;
        QTest::newRow("9+") << u"9+"_s << true << 61LL * 64 + 62;
        QTest::newRow("empty") << QString() << false << 0LL;
        QTest::newRow("equals sign") << u"A="_s << false << 0LL;
        QTest::newRow("too long") << u"//////////"_s << false << 0LL;
    }
    void dictdNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qlonglong, value);
        int64_t got = -1;
        QCOMPARE(decodeDictdNumber(text, got), ok);
        if (ok)
            QCOMPARE(qlonglong(got), value);
    }

    void myThesKoi8r()
    {
        QTemporaryDir dir;
        QStringEncoder koi8("KOI8-R");
        QVERIFY(koi8.isValid());
        const QString text = u"KOI8-R\nдом|2\n(сущ.)|здание|изба\n-|жилище\nкот|1\n(сущ.)|котик\n"_s;
        writeFile(dir.filePath(u"th.dat"_s), QByteArray(koi8.encode(text)));
        writeFile(dir.filePath(u"th.idx"_s), "KOI8-R\n2\n");
        QCOMPARE(guessSourceFormat(dir.filePath(u"th.idx"_s)), std::optional(SourceFormat::MyThes));
        const QList<Entry> entries = readAll(SourceFormat::MyThes, dir.filePath(u"th.idx"_s), dir.path());
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].headword, u"дом"_s);
        QCOMPARE(entries[0].body, u"<div><i>(сущ.)</i> здание, изба</div><div>жилище</div>"_s);
        QCOMPARE(entries[1].headword, u"кот"_s);
    }

    void tsv()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"a.tsv"_s), "\xEF\xBB\xBF\xD0\xB4\xD0\xBE\xD0\xBC\t<b>house</b><script>x</script>\r\n\nb\ta\tb\n");
        const QList<Entry> entries = readAll(SourceFormat::Tsv, dir.filePath(u"a.tsv"_s), dir.path());
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].headword, u"дом"_s);
        QCOMPARE(entries[0].body, u"<div><b>house</b></div>"_s);
        QCOMPARE(entries[1].body, u"<div>a\tb</div>"_s);
    }

    // Each damaged source names its file and the line or offset.
    void damaged_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<QByteArray>>("contents");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, SourceFormat f, QStringList names, QList<QByteArray> contents,
                            QString expected) {
            QTest::newRow(name) << int(f) << names << contents << expected;
        };
        row("dsl card before headword", SourceFormat::Dsl, {u"a.dsl"_s}, {"#NAME \"x\"\n\tcard\n"},
            u"a.dsl, line 2: card line without a headword"_s);
        row("dsl invalid UTF-8", SourceFormat::Dsl, {u"a.dsl"_s}, {"a\n\tok\nb\xC3\x28\n\tx\n"},
            u"a.dsl, line 3: invalid byte sequence"_s);
        row("dsl headword without card", SourceFormat::Dsl, {u"a.dsl"_s}, {"a\n\tok\nb\n"},
            u"a.dsl, line 3: headword \"b\" has no card"_s);
        row("dsl odd UTF-16", SourceFormat::Dsl, {u"a.dsl"_s}, {utf16le(u"a\n\tb\n"_s) + "x"},
            u"a.dsl, line 3: odd number of bytes"_s);
        row("stardict offset past dict", SourceFormat::StarDict, {u"d.ifo"_s, u"d.idx"_s, u"d.dict"_s},
            {ifo(2, 20, "sametypesequence=m\n"), idxEntry(u"a"_s, 0, 2) + idxEntry(u"b"_s, 2, 9), "abcd"},
            u"d.idx, offset 10: entry \"b\" points to bytes 2..11, past the end"_s);
        row("stardict truncated idx", SourceFormat::StarDict, {u"d.ifo"_s, u"d.idx"_s, u"d.dict"_s},
            {ifo(1, 8, "sametypesequence=m\n"), idxEntry(u"a"_s, 0, 2).left(8), "abcd"},
            u"d.idx, offset 8: file ends inside an entry (size)"_s);
        row("stardict bad ifo", SourceFormat::StarDict, {u"d.ifo"_s, u"d.idx"_s, u"d.dict"_s},
            {"StarDict's dict ifo file\nversion=2.4.2\nwordcount=x1\n", "", ""},
            u"d.ifo, line 3: bad value for wordcount"_s);
        row("stardict malformed typed data", SourceFormat::StarDict, {u"d.ifo"_s, u"d.idx"_s, u"d.dict"_s},
            {ifo(1, 10, ""), idxEntry(u"a"_s, 0, 4), QByteArray("M\0\0\x09", 4)},
            u"d.dict, offset 0: malformed data of entry \"a\""_s);
        row("stardict broken dz", SourceFormat::StarDict, {u"d.ifo"_s, u"d.idx"_s, u"d.dict.dz"_s},
            {ifo(1, 10, "sametypesequence=m\n"), idxEntry(u"a"_s, 0, 4), gzip(noise(5000)).left(30)},
            u"d.dict.dz, offset 30: compressed data ends early"_s);
        row("dictd bad base64", SourceFormat::Dictd, {u"x.index"_s, u"x.dict"_s}, {"a\tA\tB\nb\tA*\tB\n", "ab"},
            u"x.index, line 2: bad base-64 offset \"A*\""_s);
        row("dictd past dict", SourceFormat::Dictd, {u"x.index"_s, u"x.dict"_s}, {"a\tA\tZ\n", "ab"},
            u"x.index, line 1: entry \"a\" points to bytes 0..25, past the end"_s);
        row("dictd missing field", SourceFormat::Dictd, {u"x.index"_s, u"x.dict"_s}, {"a\tA\n", "ab"},
            u"x.index, line 1: expected headword, offset and length"_s);
        row("mythes bad count", SourceFormat::MyThes, {u"t.dat"_s}, {"UTF-8\na|1\n(n)|b\nc|x\n"},
            u"t.dat, line 4: expected \"word|number of meanings\""_s);
        row("mythes truncated", SourceFormat::MyThes, {u"t.dat"_s}, {"UTF-8\na|3\n(n)|b\n"},
            u"t.dat, line 4: file ends after 1 of the 3 meanings of \"a\""_s);
        row("mythes unknown encoding", SourceFormat::MyThes, {u"t.dat"_s}, {"NO-SUCH-CODE\na|1\n(n)|b\n"},
            u"t.dat, line 1: unknown text encoding"_s);
        row("tsv without tab", SourceFormat::Tsv, {u"a.tsv"_s}, {"a\tb\nno tab here\n"},
            u"a.tsv, line 2: no tab between headword and article"_s);
        row("tsv invalid UTF-8 at line end", SourceFormat::Tsv, {u"a.tsv"_s}, {"a\tb\nc\td\xD0\n"},
            u"a.tsv, line 2: invalid byte sequence"_s);
    }
    void damaged()
    {
        QFETCH(int, format);
        QFETCH(QStringList, names);
        QFETCH(QList<QByteArray>, contents);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (qsizetype k = 0; k < names.size(); ++k)
            writeFile(dir.filePath(names[k]), contents[k]);
        QString message;
        try {
            readAll(SourceFormat(format), dir.filePath(names[0]), dir.path());
        } catch (const SourceError &e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(dir.filePath(expected.left(expected.indexOf(u',')))), qPrintable(message));
        QVERIFY2(message.contains(expected), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestSourceFormats)
#include "tst_source_formats.moc"
