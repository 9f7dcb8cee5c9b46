#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/errors.h"
#include "store/letter_index.h"

using namespace Qt::StringLiterals;

namespace {

// A letter index whose entry e holds (10 * e, 10 * e + 9), with -1 in
// entry 5 and a negative last in entry 58, to show signed decoding.
LetterIndex sampleIndex()
{
    LetterIndex index;
    for (int e = 0; e < LetterIndexEntries; ++e)
        index[size_t(e)] = LetterRange{10 * e, 10 * e + 9};
    index[5] = LetterRange{-1, 0};
    index[58] = LetterRange{2147483647, int32_t(-2147483647 - 1)};
    return index;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool sameIndex(const LetterIndex &a, const LetterIndex &b)
{
    for (int e = 0; e < LetterIndexEntries; ++e) {
        if (a[size_t(e)].first != b[size_t(e)].first || a[size_t(e)].last != b[size_t(e)].last)
            return false;
    }
    return true;
}

} // namespace

class TestLetterIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void letterEntryFor_data();
    void letterEntryFor();
    void letterRangeFor_returnsTheStoredEntry();
    void keyEntryOfHeadword_data();
    void keyEntryOfHeadword();
    void encodeLetterIndex_isLittleEndian();
    void readLetterIndexFile_sizes_data();
    void readLetterIndexFile_sizes();
    void readLetterIndexFile_readOnlyFileReads();
    void readLetterIndexFile_fileNobodyMayWriteReads();
    void readLetterIndexFile_unreadableFileIsAccessDenied();
    void readLetterIndexFile_failures_data();
    void readLetterIndexFile_failures();
};

void TestLetterIndex::letterEntryFor_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("entry");

    QTest::newRow("U+0040 below A") << 0x40 << 0;
    QTest::newRow("A") << int(u'A') << 1;
    QTest::newRow("Z") << int(u'Z') << 26;
    QTest::newRow("U+005B above Z") << 0x5B << 0;
    QTest::newRow("a lower case") << int(u'a') << 0;
    QTest::newRow("U+040F below А") << 0x40F << 0;
    QTest::newRow("А") << int(u'А') << 27;
    QTest::newRow("Е") << int(u'Е') << 32;
    QTest::newRow("Т") << int(u'Т') << 45;
    QTest::newRow("Я") << int(u'Я') << 58;
    QTest::newRow("а U+0430 above Я") << 0x430 << 0;
    QTest::newRow("Ё") << 0x401 << 0;
    QTest::newRow("À") << 0xC0 << 0;
    QTest::newRow("É") << 0xC9 << 0;
    QTest::newRow("Ö") << 0xD6 << 0;
    QTest::newRow("hyphen") << int(u'-') << 0;
    QTest::newRow("digit") << int(u'1') << 0;
    QTest::newRow("U+0000") << 0 << 0;
    QTest::newRow("U+FFFF") << 0xFFFF << 0;
}

void TestLetterIndex::letterEntryFor()
{
    QFETCH(int, key);
    QFETCH(int, entry);
    QCOMPARE(::letterEntryFor(char16_t(key)), entry);
}

void TestLetterIndex::letterRangeFor_returnsTheStoredEntry()
{
    const LetterIndex index = sampleIndex();
    QCOMPARE(letterRangeFor(index, u'A').first, 10);
    QCOMPARE(letterRangeFor(index, u'Ю').last, 579);
    QCOMPARE(letterRangeFor(index, u'Я').first, 2147483647);
    QCOMPARE(letterRangeFor(index, u'E').first, -1); // stored as is, no test of its values
    QCOMPARE(letterRangeFor(index, u'Ё').first, 0);
}

void TestLetterIndex::keyEntryOfHeadword_data()
{
    QTest::addColumn<QString>("headword");
    QTest::addColumn<int>("entry");

    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("Cyrillic initial") << u"АБАЖУР"_s << 27;
    QTest::newRow("Latin initial") << u"ZOOM"_s << 26;
    QTest::newRow("hyphen then Cyrillic") << u"-ТО"_s << 45;
    QTest::newRow("apostrophe then Latin") << u"'A"_s << 1;
    QTest::newRow("lone hyphen") << u"-"_s << 0;
    QTest::newRow("lone apostrophe") << u"'"_s << 0;
    QTest::newRow("hyphen then À") << u"-ÀLA"_s << 0;
    QTest::newRow("hyphen then digit") << u"-1"_s << 0;
    QTest::newRow("hyphen then lower case") << u"-то"_s << 0;
    QTest::newRow("two hyphens") << u"--А"_s << 0;
    QTest::newRow("À folds to A") << u"ÀLA"_s << 1;
    QTest::newRow("É folds to E") << u"ÉTUDE"_s << 5;
    QTest::newRow("Ö folds to O") << u"ÖL"_s << 15;
    QTest::newRow("Ü not folded") << u"ÜBER"_s << 0;
    QTest::newRow("Ё counts as Е") << u"ЁЛКА"_s << 32;
    QTest::newRow("hyphen then Ё counts as Е") << u"-ЁЖ"_s << 32;
    QTest::newRow("digit") << u"1"_s << 0;
    QTest::newRow("lower case initial") << u"ёлка"_s << 0;
}

void TestLetterIndex::keyEntryOfHeadword()
{
    QFETCH(QString, headword);
    QFETCH(int, entry);
    QCOMPARE(::keyEntryOfHeadword(headword), entry);
}

void TestLetterIndex::encodeLetterIndex_isLittleEndian()
{
    const QByteArray bytes = encodeLetterIndex(sampleIndex());
    QCOMPARE(bytes.size(), LetterIndexBytes);
    QCOMPARE(bytes.mid(8, 8), QByteArray("\x0A\x00\x00\x00\x13\x00\x00\x00", 8)); // A: 10, 19
    QCOMPARE(bytes.mid(40, 8), QByteArray("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8)); // E: -1, 0
    QCOMPARE(bytes.mid(464, 8), QByteArray("\xFF\xFF\xFF\x7F\x00\x00\x00\x80", 8)); // Я
}

void TestLetterIndex::readLetterIndexFile_sizes_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("472 bytes") << 472;
    QTest::newRow("1000 bytes: the first 472 count") << 1000;
}

void TestLetterIndex::readLetterIndexFile_sizes()
{
    QFETCH(int, size);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.dvc"_s);
    QByteArray bytes = encodeLetterIndex(sampleIndex());
    bytes.append(QByteArray(size - LetterIndexBytes, '\x55'));
    QVERIFY(writeFile(path, bytes));

    LetterIndex index{};
    try {
        readLetterIndexFile(path, index);
    } catch (const Exception &error) {
        QFAIL(qPrintable(error.message()));
    }
    QVERIFY(sameIndex(index, sampleIndex()));
}

void TestLetterIndex::readLetterIndexFile_readOnlyFileReads()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.dvc"_s);
    QVERIFY(writeFile(path, encodeLetterIndex(sampleIndex())));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    LetterIndex index{};
    try {
        readLetterIndexFile(path, index);
    } catch (const Exception &error) {
        QFAIL(qPrintable(error.message()));
    }
    QVERIFY(sameIndex(index, sampleIndex()));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void TestLetterIndex::readLetterIndexFile_fileNobodyMayWriteReads()
{
    // Permission bits don't bind root; a running program's own file can't be
    // opened for writing by anyone, so it shows an open that asks for write access.
    const QString path = QCoreApplication::applicationFilePath();
    QFile probe(path);
    QVERIFY(probe.open(QIODevice::ReadOnly));
    const QByteArray head = probe.read(LetterIndexBytes);
    QCOMPARE(head.size(), LetterIndexBytes);

    LetterIndex index{};
    try {
        readLetterIndexFile(path, index);
    } catch (const Exception &error) {
        QFAIL(qPrintable(error.message()));
    }
    QCOMPARE(encodeLetterIndex(index), head);
}

void TestLetterIndex::readLetterIndexFile_unreadableFileIsAccessDenied()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"glossa.dvc"_s);
    QVERIFY(writeFile(path, encodeLetterIndex(sampleIndex())));
    QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("permissions don't bind this user (root)");

    LetterIndex index{};
    try {
        readLetterIndexFile(path, index);
        QFAIL("no I/O error");
    } catch (const EInOutError &error) {
        QCOMPARE(error.errorCode(), 5);
        QCOMPARE(error.message(), u"File access denied"_s);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void TestLetterIndex::readLetterIndexFile_failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("471 bytes") << u"short"_s << 100 << u"Read beyond end of file"_s;
    QTest::newRow("empty file") << u"empty"_s << 100 << u"Read beyond end of file"_s;
    QTest::newRow("missing file") << u"missing"_s << 2 << u"The specified file was not found"_s;
    QTest::newRow("missing folder") << u"no folder"_s << 2 << u"The specified file was not found"_s;
    QTest::newRow("a file in the folder's place") << u"file as folder"_s << 3 << u"Invalid file name - %s"_s;
}

void TestLetterIndex::readLetterIndexFile_failures()
{
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(u"glossa.dvc"_s);
    if (setup == u"short")
        QVERIFY(writeFile(path, encodeLetterIndex(sampleIndex()).left(471)));
    else if (setup == u"empty")
        QVERIFY(writeFile(path, QByteArray()));
    else if (setup == u"no folder")
        path = dir.filePath(u"glossa/glossa.dvc"_s);
    else if (setup == u"file as folder") {
        QVERIFY(writeFile(dir.filePath(u"glossa"_s), QByteArray("x")));
        path = dir.filePath(u"glossa/glossa.dvc"_s);
    }

    const LetterIndex before = sampleIndex();
    LetterIndex index = before;
    try {
        readLetterIndexFile(path, index);
        QFAIL("no I/O error");
    } catch (const EInOutError &error) {
        QCOMPARE(error.errorCode(), code);
        QCOMPARE(error.message(), message);
    }
    // A failed read leaves the index as it was.
    QVERIFY(sameIndex(index, before));
}

QTEST_GUILESS_MAIN(TestLetterIndex)
#include "tst_letter_index.moc"
