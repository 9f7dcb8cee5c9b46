#include <QTest>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cerrno>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "app/history_file.h"
#include "platform/errors.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (QChar c : text) {
        const char low = char(c.unicode() & 0xFF);
        const char high = char(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString fullNativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// "один", "два", "дом" in Windows-1251.
const QByteArray odin("\xEE\xE4\xE8\xED");
const QByteArray dva("\xE4\xE2\xE0");
const QByteArray dom("\xE4\xEE\xEC");

} // namespace

class tst_HistoryFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void load_manyLines();
    void load_directory_reportsOpenError();
    void load_missingFile_reportsOpenError();
    void save_data();
    void save();
    void save_replacesEarlierContent();
    void save_roundTrip();
    void save_missingFolder_reportsCreateError();
    void save_ontoFolder_reportsCreateError();
    void save_failure_keepsOldFile();
};

void tst_HistoryFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");

    const QStringList odinDva{u"один"_s, u"два"_s};
    QTest::newRow("CR LF") << odin + "\r\n" + dva + "\r\n" << odinDva;
    QTest::newRow("LF") << odin + "\n" + dva + "\n" << odinDva;
    QTest::newRow("CR") << odin + "\r" + dva + "\r" << odinDva;
    QTest::newRow("no final break") << odin + "\r\n" + dva << odinDva;
    QTest::newRow("LF CR ends two lines") << odin + "\n\r" + dva << QStringList{u"один"_s, u""_s, u"два"_s};
    QTest::newRow("empty lines kept") << "\r\n" + odin + "\r\n\r\n" + dva + "\r\n\r\n"
                                      << QStringList{u""_s, u"один"_s, u""_s, u"два"_s, u""_s};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("one break only") << QByteArray("\r\n") << QStringList{u""_s};
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF") + u"ёлка\r\nдом"_s.toUtf8()
                                     << QStringList{u"ёлка"_s, u"дом"_s};
    QTest::newRow("UTF-8 mark, invalid sequence: empty")
        << QByteArray("\xEF\xBB\xBF") + u"ёлка\r\n"_s.toUtf8() + "\xC3(\r\n" << QStringList{};
    QTest::newRow("UTF-8 without mark read as 1251") << u"дом"_s.toUtf8() << QStringList{u"РґРѕРј"_s};
    QTest::newRow("UTF-16 LE with mark") << utf16(u"ёлка\r\nдом\r\n"_s, true) << QStringList{u"ёлка"_s, u"дом"_s};
    QTest::newRow("UTF-16 BE with mark") << utf16(u"ёлка\nдом"_s, false) << QStringList{u"ёлка"_s, u"дом"_s};
    QTest::newRow("1251 without mark") << QByteArray("\xB8\xEB\xEA\xE0\r\n") + dom << QStringList{u"ёлка"_s, u"дом"_s};
    QTest::newRow("U+0000 ends the text") << odin + "\r\n" + dva + QByteArray("\0", 1) + "\r\n" + dom
                                          << odinDva;
    QTest::newRow("U+0000 in UTF-16") << utf16(u"дом\r\nдва"_s, true) + QByteArray("\0\0", 2) + utf16(u"x"_s, true).mid(2)
                                      << QStringList{u"дом"_s, u"два"_s};
}

void tst_HistoryFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, items);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    writeFile(path, bytes);
    QCOMPARE(loadHistoryFile(path), items);
}

void tst_HistoryFile::load_manyLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    QByteArray bytes;
    QStringList expected;
    for (int i = 0; i < 30; ++i) {
        bytes += dom + QByteArray::number(i) + "\r\n";
        expected += u"дом"_s + QString::number(i);
    }
    writeFile(path, bytes);
    QCOMPARE(loadHistoryFile(path), expected);
}

void tst_HistoryFile::load_directory_reportsOpenError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(u"CFiles/history.trv"_s));

    // A relative path is reported with its full path.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

    const QString path = u"CFiles/history.trv"_s;
#ifdef _WIN32
    const QString systemText = systemErrorText(5); // ERROR_ACCESS_DENIED
#else
    const QString systemText = systemErrorText(EISDIR);
#endif
    const QString expected = u"Cannot open file \""_s + QDir::toNativeSeparators(dir.path() + u"/CFiles/history.trv"_s)
        + u"\". "_s + systemText;
    try {
        loadHistoryFile(path);
        QFAIL("a folder was read as a history file");
    } catch (const EFOpenError &e) {
        QCOMPARE(e.message(), expected);
    }
}

void tst_HistoryFile::load_missingFile_reportsOpenError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
#ifdef _WIN32
    const QString systemText = systemErrorText(2); // ERROR_FILE_NOT_FOUND
#else
    const QString systemText = systemErrorText(ENOENT);
#endif
    try {
        loadHistoryFile(path);
        QFAIL("a missing file was read");
    } catch (const EFOpenError &e) {
        QCOMPARE(e.message(), u"Cannot open file \""_s + fullNativePath(path) + u"\". "_s + systemText);
    }
}

void tst_HistoryFile::save_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty history: 0 bytes") << QStringList{} << QByteArray();
    QTest::newRow("CR LF after every item") << QStringList{u"один"_s, u"два"_s} << odin + "\r\n" + dva + "\r\n";
    QTest::newRow("ё and blanks") << QStringList{u"ёлка"_s, u"по ходу"_s}
                                  << QByteArray("\xB8\xEB\xEA\xE0\r\n\xEF\xEE \xF5\xEE\xE4\xF3\r\n");
    QTest::newRow("empty item") << QStringList{u""_s, u"дом"_s} << "\r\n" + dom + "\r\n";
    QTest::newRow("outside 1251 becomes ?") << QStringList{u"日本"_s, u"дом€"_s}
                                            << QByteArray("??\r\n") + dom + "\x88\r\n";
}

void tst_HistoryFile::save()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    saveHistoryFile(path, items);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(readFile(path), bytes);
}

void tst_HistoryFile::save_replacesEarlierContent()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    writeFile(path, QByteArray("\xEF\xBB\xBF") + u"старое\r\nещё одно\r\n"_s.toUtf8());

    saveHistoryFile(path, {u"дом"_s});
    QCOMPARE(readFile(path), dom + "\r\n");
    saveHistoryFile(path, {});
    QCOMPARE(readFile(path), QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"history.trv"_s});
}

void tst_HistoryFile::save_roundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    const QStringList items{u"ёлка"_s, u""_s, u"по ходу"_s, u"-то"_s, u"ala"_s};
    saveHistoryFile(path, items);
    QCOMPARE(loadHistoryFile(path), items);
}

void tst_HistoryFile::save_missingFolder_reportsCreateError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"CFiles/history.trv"_s);
#ifdef _WIN32
    const QString systemText = systemErrorText(3); // ERROR_PATH_NOT_FOUND
#else
    const QString systemText = systemErrorText(ENOENT);
#endif
    try {
        saveHistoryFile(path, {u"дом"_s});
        QFAIL("a file was written into a missing folder");
    } catch (const EFCreateError &e) {
        QCOMPARE(e.message(), u"Cannot create file \""_s + fullNativePath(path) + u"\". "_s + systemText);
    }
    QVERIFY(!QFileInfo::exists(dir.filePath(u"CFiles"_s)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
}

void tst_HistoryFile::save_ontoFolder_reportsCreateError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    QVERIFY(QDir().mkpath(path));
#ifdef _WIN32
    const QString systemText = systemErrorText(5); // ERROR_ACCESS_DENIED
#else
    const QString systemText = systemErrorText(EISDIR);
#endif
    try {
        saveHistoryFile(path, {u"дом"_s});
        QFAIL("a folder was written as a history file");
    } catch (const EFCreateError &e) {
        QCOMPARE(e.message(), u"Cannot create file \""_s + fullNativePath(path) + u"\". "_s + systemText);
    }
    QVERIFY(QFileInfo(path).isDir());
}

void tst_HistoryFile::save_failure_keepsOldFile()
{
#ifdef _WIN32
    QSKIP("the file size limit used here is POSIX");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"history.trv"_s);
    const QByteArray old = odin + "\r\n";
    writeFile(path, old);

    // A file size limit makes the write fail part way, for the superuser too.
    rlimit previousLimit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit smallLimit = previousLimit;
    smallLimit.rlim_cur = 16;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
    const auto restore = qScopeGuard([&] {
        setrlimit(RLIMIT_FSIZE, &previousLimit);
        std::signal(SIGXFSZ, previousHandler);
    });

    QStringList items;
    for (int i = 0; i < 24; ++i)
        items += u"по ходу"_s;
    try {
        saveHistoryFile(path, items);
        QFAIL("a write beyond the size limit was reported as done");
    } catch (const EFCreateError &e) {
        QVERIFY2(e.message().startsWith(u"Cannot create file \""_s + fullNativePath(path) + u"\". "_s),
                 qPrintable(e.message()));
    }
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"history.trv"_s});
#endif
}

QTEST_GUILESS_MAIN(tst_HistoryFile)
#include "tst_history_file.moc"
