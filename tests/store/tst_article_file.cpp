#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/errors.h"
#include "platform/mapped_file.h"
#include "store/article_file.h"
#include "store/word_index.h"

#include <cstring>
#include <functional>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// The code unit that fixture files hold at an even byte offset: it tells
// where a read really started, А..Я over and over, no byte of it zero.
QChar unitAt(qint64 byteOffset)
{
    return QChar(char16_t(u'А' + (byteOffset / 2) % 32));
}

// The text that lies in a layout file between a lead at s and the end e.
QString layoutText(qint64 s, qint64 e)
{
    QString text;
    for (qint64 p = s + 2; p < e; p += 2)
        text += unitAt(p);
    return text;
}

// An article file of `size` bytes: FF FE, U+0000 at every offset in `ends`,
// the units of unitAt() everywhere else; a last odd byte is 'z'.
QByteArray layoutBytes(const QList<qint64> &ends, qint64 size)
{
    QByteArray bytes(size, 'z');
    if (size >= 2) {
        bytes[0] = char(0xFF);
        bytes[1] = char(0xFE);
    }
    for (qint64 p = 2; p + 1 < size; p += 2) {
        const char16_t unit = ends.contains(p) ? u'\0' : unitAt(p).unicode();
        bytes[p] = char(unit & 0xFF);
        bytes[p + 1] = char(unit >> 8);
    }
    return bytes;
}

// An article file of the given texts; `ends` receives their end offsets.
QByteArray articleBytes(const QStringList &texts, QList<qint64> *ends)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QString &text : texts) {
        for (QChar c : text) {
            bytes += char(c.unicode() & 0xFF);
            bytes += char(c.unicode() >> 8);
        }
        ends->append(bytes.size());
        bytes.append("\0\0", 2);
    }
    return bytes;
}

// Word index text, one line per end offset as written.
QString indexText(const QStringList &endOffsets)
{
    QString text;
    for (qsizetype i = 0; i < endOffsets.size(); ++i)
        text += u"СЛОВО"_s + QString::number(i) + WordIndex::Separator + endOffsets[i] + u"\r\n"_s;
    return text;
}

QStringList asStrings(const QList<qint64> &ends)
{
    QStringList list;
    for (qint64 e : ends)
        list.append(QString::number(e));
    return list;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the fixture file");
    return path;
}

// The class and message of what `fn` raises; empty when it raises nothing.
struct Raised
{
    QString kind;
    QString message;
};

Raised raisedBy(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const EMMFError &e) {
        return {u"EMMFError"_s, e.message()};
    } catch (const EConvertError &e) {
        return {u"EConvertError"_s, e.message()};
    } catch (const EStringListError &e) {
        return {u"EStringListError"_s, e.message()};
    } catch (const Exception &e) {
        return {u"Exception"_s, e.message()};
    }
    return {};
}

const QString ViewFailed = u"ошибка отображения данных"_s;

QString badOffset(int entry)
{
    return u"Повреждён словарь: неверное смещение статьи %1"_s.arg(entry);
}

} // namespace

class tst_ArticleFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewPlanAndRead_data();
    void viewPlanAndRead();
    void reads_data();
    void reads();
    void openFailure_data();
    void openFailure();
    void openNamedPipe_failsWithoutWaiting();
    void readAfterClose_failsWithViewError();
    void nonIntegerEndOffset_passesConversionError_data();
    void nonIntegerEndOffset_passesConversionError();
    void damagedSets_data();
    void damagedSets();
    void copyUpToNul_data();
    void copyUpToNul();
};

// Each row: the view arithmetic for one article, then the read of that
// article from a file laid out so, with the same granularity.
void tst_ArticleFile::viewPlanAndRead_data()
{
    QTest::addColumn<qint64>("granularity");
    QTest::addColumn<qint64>("previousEnd"); // -1: entry 0
    QTest::addColumn<qint64>("end");
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<qint64>("viewOffset");
    QTest::addColumn<qint64>("viewLength");
    QTest::addColumn<qint64>("lead");
    QTest::addColumn<int>("textLength");

    // G = 65,536: the worked example, then the edges.
    QTest::newRow("64K entry 0") << 65536ll << -1ll << 1000ll << 500000ll << 0ll << 131072ll << 0ll << 499;
    QTest::newRow("64K long article") << 65536ll << 140000ll << 300000ll << 1000000ll //
                                      << 131072ll << 262144ll << 8928ll << 79999;
    QTest::newRow("64K near the end: view to the end") << 65536ll << 950000ll << 951000ll << 1000000ll //
                                                       << 917504ll << 0ll << 32496ll << 499;
    QTest::newRow("64K S exactly G") << 65536ll << 65536ll << 66536ll << 500000ll //
                                     << 65536ll << 131072ll << 0ll << 499;
    QTest::newRow("64K L = G: three granules") << 65536ll << 1000ll << 66536ll << 500000ll //
                                               << 0ll << 196608ll << 1000ll << 32767;
    QTest::newRow("64K S+M+1000 = size keeps M") << 65536ll << 2000ll << 3000ll << 134072ll //
                                                 << 0ll << 131072ll << 2000ll << 499;
    QTest::newRow("64K one byte shorter: view to the end") << 65536ll << 2000ll << 3000ll << 134071ll //
                                                           << 0ll << 0ll << 2000ll << 499;
    QTest::newRow("64K file under 2G+1000") << 65536ll << 100ll << 200ll << 1000ll //
                                            << 0ll << 0ll << 100ll << 49;
    QTest::newRow("64K last entry of a small file") << 65536ll << 200ll << 998ll << 1000ll //
                                                    << 0ll << 0ll << 200ll << 398;

    // G = 4,096, the page size.
    QTest::newRow("4K entry 0") << 4096ll << -1ll << 1000ll << 500000ll << 0ll << 8192ll << 0ll << 499;
    QTest::newRow("4K long article") << 4096ll << 140000ll << 300000ll << 1000000ll //
                                     << 139264ll << 167936ll << 736ll << 79999;
    QTest::newRow("4K near the end keeps M") << 4096ll << 950000ll << 951000ll << 1000000ll //
                                             << 946176ll << 8192ll << 3824ll << 499;
    QTest::newRow("4K closer to the end: view to the end") << 4096ll << 995000ll << 996000ll << 1000000ll //
                                                           << 991232ll << 0ll << 3768ll << 499;
    QTest::newRow("4K S exactly G") << 4096ll << 4096ll << 5096ll << 500000ll //
                                    << 4096ll << 8192ll << 0ll << 499;
    QTest::newRow("4K L = G: three granules") << 4096ll << 1000ll << 5096ll << 500000ll //
                                              << 0ll << 12288ll << 1000ll << 2047;
    QTest::newRow("4K S+M+1000 = size keeps M") << 4096ll << 2000ll << 3000ll << 11192ll //
                                                << 0ll << 8192ll << 2000ll << 499;
    QTest::newRow("4K one byte shorter: view to the end") << 4096ll << 2000ll << 3000ll << 11191ll //
                                                          << 0ll << 0ll << 2000ll << 499;
    QTest::newRow("4K file under 2G+1000") << 4096ll << 100ll << 200ll << 9000ll //
                                           << 0ll << 0ll << 100ll << 49;
}

void tst_ArticleFile::viewPlanAndRead()
{
    QFETCH(qint64, granularity);
    QFETCH(qint64, previousEnd);
    QFETCH(qint64, end);
    QFETCH(qint64, fileSize);
    QFETCH(qint64, viewOffset);
    QFETCH(qint64, viewLength);
    QFETCH(qint64, lead);
    QFETCH(int, textLength);

    const bool first = previousEnd < 0;
    const qint64 s = first ? 0 : previousEnd;
    const ArticleViewPlan plan = planArticleView(first, s, end - s, granularity, fileSize);
    QCOMPARE(plan.offset, viewOffset);
    QCOMPARE(plan.length, viewLength);
    QCOMPARE(plan.lead, lead);

    if (granularity % systemAllocationGranularity() != 0)
        QSKIP("views of this granularity can't be mapped here");

    // Entry 0 (when the row is not about it) ends at previousEnd; a last
    // entry fills the file up to its end.
    QList<qint64> ends;
    if (!first)
        ends.append(previousEnd);
    ends.append(end);
    const qint64 lastEnd = (fileSize - 2) & ~qint64(1);
    if (lastEnd >= end + 2)
        ends.append(lastEnd);
    const int32_t entry = first ? 0 : 1;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ArticleFile file;
    file.setGranularity(granularity);
    file.open(writeFile(dir, u"glossa.uvs"_s, layoutBytes(ends, fileSize)));
    QCOMPARE(file.fileSize(), fileSize);
    WordIndex index;
    index.loadFromText(indexText(asStrings(ends)));

    const QString text = file.getArticle(index, entry);
    QCOMPARE(text.size(), textLength);
    QCOMPARE(text, layoutText(s, end));
}

void tst_ArticleFile::reads_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("expected");

    QTest::newRow("entry 0 from byte 2, without the mark") << 0 << u"<b>КОТ</b> домашнее животное"_s;
    QTest::newRow("empty article") << 1 << QString();
    QTest::newRow("early U+0000 ends the article") << 2 << u"ДО"_s;
    QTest::newRow("after an early U+0000") << 3 << u"ДАЛЕЕ"_s;
    QTest::newRow("last entry: view to the end") << 4 << u"<b>ЯК</b> последняя статья"_s;
}

void tst_ArticleFile::reads()
{
    QFETCH(int, entry);
    QFETCH(QString, expected);

    QList<qint64> ends;
    const QByteArray bytes = articleBytes({u"<b>КОТ</b> домашнее животное"_s, QString(),
                                           u"ДО"_s + QChar(u'\0') + u"ПОСЛЕ"_s, u"ДАЛЕЕ"_s,
                                           u"<b>ЯК</b> последняя статья"_s},
                                          &ends);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ArticleFile file;
    file.setGranularity(systemAllocationGranularity());
    file.open(writeFile(dir, u"glossa.uvs"_s, bytes));
    QVERIFY(file.isOpen());
    WordIndex index;
    index.loadFromText(indexText(asStrings(ends)));

    QCOMPARE(file.getArticle(index, entry), expected);
    // Reads change nothing: the same article again.
    QCOMPARE(file.getArticle(index, entry), expected);
}

void tst_ArticleFile::openFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written when not null
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << u"missing.uvs"_s << QByteArray() << u"EMMFError"_s
                                  << u"Ошибка открытия файла"_s;
    QTest::newRow("a folder") << u"."_s << QByteArray() << u"EMMFError"_s << u"Ошибка открытия файла"_s;
    QTest::newRow("empty file") << u"glossa.uvs"_s << QByteArray("") << u"Exception"_s
                                << u"Объект отображения не создан"_s;
}

void tst_ArticleFile::openFailure()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, kind);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = content.isNull() ? dir.filePath(name) : writeFile(dir, name, content);
    ArticleFile file;
    const Raised raised = raisedBy([&] { file.open(path); });
    QCOMPARE(raised.kind, kind);
    QCOMPARE(raised.message, message);
    QVERIFY(!file.isOpen());

    // Every later read fails the same way.
    WordIndex index;
    index.loadFromText(indexText({u"10"_s, u"20"_s}));
    for (int entry : {0, 1}) {
        const Raised read = raisedBy([&] { file.getArticle(index, entry); });
        QCOMPARE(read.kind, u"Exception"_s);
        QCOMPARE(read.message, ViewFailed);
    }
}

void tst_ArticleFile::openNamedPipe_failsWithoutWaiting()
{
#ifdef Q_OS_WIN
    QSKIP("no named pipes in the file system");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.uvs"_s);
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    ArticleFile file;
    const Raised raised = raisedBy([&] { file.open(path); });
    QCOMPARE(raised.kind, u"EMMFError"_s);
    QCOMPARE(raised.message, u"Ошибка открытия файла"_s);
#endif
}

void tst_ArticleFile::readAfterClose_failsWithViewError()
{
    QList<qint64> ends;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ArticleFile file;
    file.open(writeFile(dir, u"glossa.uvs"_s, articleBytes({u"А"_s}, &ends)));
    WordIndex index;
    index.loadFromText(indexText(asStrings(ends)));
    QCOMPARE(file.getArticle(index, 0), u"А"_s);

    file.close();
    QVERIFY(!file.isOpen());
    QCOMPARE(raisedBy([&] { file.getArticle(index, 0); }).message, ViewFailed);
}

void tst_ArticleFile::nonIntegerEndOffset_passesConversionError_data()
{
    QTest::addColumn<QStringList>("offsets");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("message");

    QTest::newRow("own end offset") << QStringList{u"10"_s, u"20x"_s} << 1
                                    << u"''20x'' is not a valid integer value"_s;
    QTest::newRow("previous end offset") << QStringList{u"zehn"_s, u"20"_s} << 1
                                         << u"''zehn'' is not a valid integer value"_s;
    QTest::newRow("entry 0, empty") << QStringList{QString()} << 0 << u"'''' is not a valid integer value"_s;
}

void tst_ArticleFile::nonIntegerEndOffset_passesConversionError()
{
    QFETCH(QStringList, offsets);
    QFETCH(int, entry);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ArticleFile file;
    file.open(writeFile(dir, u"glossa.uvs"_s, layoutBytes({10, 20}, 22)));
    WordIndex index;
    index.loadFromText(indexText(offsets));

    const Raised raised = raisedBy([&] { file.getArticle(index, entry); });
    QCOMPARE(raised.kind, u"EConvertError"_s);
    QCOMPARE(raised.message, message);
}

// Whatever the word index says, a read stays inside the file and the view:
// it gives a clear error or a text cut at the end of the view.
void tst_ArticleFile::damagedSets_data()
{
    QTest::addColumn<QList<qint64>>("fileEnds"); // the file's real layout
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QStringList>("offsets"); // what the word index says
    QTest::addColumn<int>("entry");
    QTest::addColumn<qint64>("truncateTo"); // -1: the file stays as opened
    QTest::addColumn<QString>("error");     // empty: the read succeeds
    QTest::addColumn<qint64>("textEnd");    // where the text read ends

    const QList<qint64> small{20, 40};
    const QString changed = u"Файл статей изменился после открытия словаря"_s;

    QTest::newRow("end offset past the file") << small << 42ll << QStringList{u"20"_s, u"1000000"_s} << 1
                                              << -1ll << badOffset(1) << 0ll;
    QTest::newRow("terminator past the end") << small << 42ll << QStringList{u"20"_s, u"42"_s} << 1 << -1ll
                                             << badOffset(1) << 0ll;
    QTest::newRow("odd end offset") << small << 42ll << QStringList{u"21"_s} << 0 << -1ll << badOffset(0)
                                    << 0ll;
    QTest::newRow("odd start offset") << small << 42ll << QStringList{u"21"_s, u"40"_s} << 1 << -1ll
                                      << badOffset(1) << 0ll;
    QTest::newRow("decreasing offsets") << small << 42ll << QStringList{u"40"_s, u"20"_s} << 1 << -1ll
                                        << badOffset(1) << 0ll;
    QTest::newRow("equal offsets") << small << 42ll << QStringList{u"20"_s, u"20"_s} << 1 << -1ll
                                   << badOffset(1) << 0ll;
    QTest::newRow("end offset 0: text would start past it") << small << 42ll << QStringList{u"0"_s} << 0
                                                            << -1ll << badOffset(0) << 0ll;
    QTest::newRow("negative end offset") << small << 42ll << QStringList{u"-4"_s} << 0 << -1ll
                                         << badOffset(0) << 0ll;
    QTest::newRow("negative start offset") << small << 42ll << QStringList{u"-2"_s, u"20"_s} << 1 << -1ll
                                           << badOffset(1) << 0ll;
    QTest::newRow("huge end offset") << small << 42ll << QStringList{u"2147483647"_s} << 0 << -1ll
                                     << badOffset(0) << 0ll;
    QTest::newRow("huge even end offset") << small << 42ll << QStringList{u"2147483646"_s} << 0 << -1ll
                                          << badOffset(0) << 0ll;
    QTest::newRow("huge start, lowest end") << small << 42ll
                                            << QStringList{u"2147483646"_s, u"-2147483648"_s} << 1 << -1ll
                                            << badOffset(1) << 0ll;
    QTest::newRow("no terminator: text to the end of the file")
        << QList<qint64>{} << 42ll << QStringList{u"40"_s} << 0 << -1ll << QString() << 42ll;
    QTest::newRow("no terminator, odd file size: whole units only")
        << QList<qint64>{} << 43ll << QStringList{u"40"_s} << 0 << -1ll << QString() << 42ll;
    QTest::newRow("no terminator: text to the end of the view")
        << QList<qint64>{} << 400000ll << QStringList{u"1000"_s} << 0 << -1ll << QString() << 131072ll;
    QTest::newRow("file truncated after open")
        << QList<qint64>{100000, 150000, 151000, 199998} << 200000ll
        << QStringList{u"100000"_s, u"150000"_s, u"151000"_s, u"199998"_s} << 2 << 10000ll << changed << 0ll;
    QTest::newRow("file truncated after open, article still inside")
        << QList<qint64>{1000, 150000, 151000, 199998} << 200000ll
        << QStringList{u"1000"_s, u"150000"_s, u"151000"_s, u"199998"_s} << 0 << 10000ll << changed << 0ll;
}

void tst_ArticleFile::damagedSets()
{
    QFETCH(QList<qint64>, fileEnds);
    QFETCH(qint64, fileSize);
    QFETCH(QStringList, offsets);
    QFETCH(int, entry);
    QFETCH(qint64, truncateTo);
    QFETCH(QString, error);
    QFETCH(qint64, textEnd);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFile(dir, u"glossa.uvs"_s, layoutBytes(fileEnds, fileSize));
    ArticleFile file;
    file.setGranularity(65536);
    file.open(path);
    WordIndex index;
    index.loadFromText(indexText(offsets));
    if (truncateTo >= 0)
        QVERIFY(QFile::resize(path, truncateTo));

    QString text;
    const Raised raised = raisedBy([&] { text = file.getArticle(index, entry); });
    if (error.isEmpty()) {
        QCOMPARE(raised.message, QString());
        QCOMPARE(text, layoutText(0, textEnd));
    } else {
        QCOMPARE(raised.kind, u"Exception"_s);
        QCOMPARE(raised.message, error);
    }
}

// The copy from even and odd addresses gives the same text and never takes
// a byte past the count.
void tst_ArticleFile::copyUpToNul_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QByteArray terminated("\x1A\x04\x10\x04\x00\x00\x11\x04", 8);
    const QByteArray open("\x1A\x04\x10\x04\x11\x04", 6);
    for (int shift : {0, 1}) {
        const char *where = shift ? "odd address" : "even address";
        QTest::addRow("%s, terminated", where) << shift << terminated << u"КА"_s;
        QTest::addRow("%s, no terminator", where) << shift << open << u"КАБ"_s;
        QTest::addRow("%s, odd byte count", where) << shift << open.left(5) << u"КА"_s;
        QTest::addRow("%s, nothing", where) << shift << QByteArray() << QString();
        QTest::addRow("%s, terminator first", where) << shift << QByteArray("\0\0\x10\x04", 4) << QString();
    }
}

void tst_ArticleFile::copyUpToNul()
{
    QFETCH(int, shift);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    // A buffer of exactly the bytes, shifted; the byte after them is never read
    // as part of the text (0x41 0x00 would add "A").
    alignas(8) unsigned char buffer[32] = {};
    std::memcpy(buffer + shift, bytes.constData(), size_t(bytes.size()));
    buffer[shift + bytes.size()] = 0x41;
    QCOMPARE(utf16TextUpToNul(buffer + shift, bytes.size()), expected);
}

QTEST_GUILESS_MAIN(tst_ArticleFile)
#include "tst_article_file.moc"
