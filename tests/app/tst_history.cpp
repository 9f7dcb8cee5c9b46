// The look-up history in the main window: PushHistory on the query box's
// list, and the history file as start-up reads it and closing writes it.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <cerrno>

#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "main_window_fixture.h"
#include "platform/error_report.h"
#include "platform/errors.h"
#include "store/letter_index.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList ThreeWords = {u"АБАЖУР"_s, u"БАЛКОН"_s, u"ВЕТЕР"_s};
const QString HistoryPath = u"CFiles/history.trv"_s;

QStringList numbered(int count, const QString &stem = u"слово"_s)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items.append(stem + QString::number(i));
    return items;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

QString nativeAbsolute(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

class tst_History : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pushHistory_data();
    void pushHistory();
    void pushHistory_longLoadedHistoryKeepsItsLength();

    void firstRun_createsEmptyHistoryFile_data();
    void firstRun_createsEmptyHistoryFile();
    void historyFile_loadsIntoQueryBox_data();
    void historyFile_loadsIntoQueryBox();
    void close_writesWindows1251WithCrLf();
    void close_failingWrite_keepsWindowOpenAndRetries_data();
    void close_failingWrite_keepsWindowOpenAndRetries();
    void failedStartup_historyWrittenOnlyIfRead_data();
    void failedStartup_historyWrittenOnlyIfRead();
};

void tst_History::pushHistory_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("duplicate"); // the box then shows the top item

    QTest::newRow("empty history") << QStringList{} << u"АБАЖУР"_s << QStringList{u"абажур"_s} << false;
    QTest::newRow("new headword goes on top") << QStringList{u"дом"_s, u"ветер"_s} << u"АБАЖУР"_s
                                              << QStringList{u"абажур"_s, u"дом"_s, u"ветер"_s} << false;
    QTest::newRow("duplicate in the middle") << QStringList{u"дом"_s, u"абажур"_s, u"ветер"_s} << u"АБАЖУР"_s
                                             << QStringList{u"абажур"_s, u"дом"_s, u"ветер"_s} << true;
    QTest::newRow("duplicate at the end") << QStringList{u"дом"_s, u"ветер"_s, u"абажур"_s} << u"АБАЖУР"_s
                                          << QStringList{u"абажур"_s, u"дом"_s, u"ветер"_s} << true;
    QTest::newRow("duplicate in mixed case") << QStringList{u"дом"_s, u"абажур"_s} << u"аБаЖуР"_s
                                             << QStringList{u"абажур"_s, u"дом"_s} << true;
    QTest::newRow("top item again") << QStringList{u"абажур"_s, u"дом"_s} << u"АБАЖУР"_s
                                    << QStringList{u"абажур"_s, u"дом"_s} << true;
    QTest::newRow("only the first of two copies goes")
        << QStringList{u"дом"_s, u"ветер"_s, u"дом"_s} << u"ДОМ"_s
        << QStringList{u"дом"_s, u"ветер"_s, u"дом"_s} << true;
    QTest::newRow("Ё is not Е") << QStringList{u"еж"_s} << u"ЁЖ"_s << QStringList{u"ёж"_s, u"еж"_s} << false;

    const QStringList full = numbered(24);
    QTest::newRow("24 items and a new one") << full << u"НОВОЕ"_s
                                            << (QStringList{u"новое"_s} + full.mid(0, 23)) << false;
    QStringList movedLast = full;
    movedLast.move(23, 0);
    QTest::newRow("24 items and the last again") << full << u"СЛОВО23"_s << movedLast << true;
}

void tst_History::pushHistory()
{
    QFETCH(QStringList, before);
    QFETCH(QString, headword);
    QFETCH(QStringList, after);
    QFETCH(bool, duplicate);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();
    QVERIFY(fixture.errors.isEmpty());
    TComboBox *box = form->ComboBox1;
    box->setListItems(before);
    box->setText(u"поле"_s);
    box->lineEdit()->setCursorPosition(1);
    programState().CurrentHeadword = headword;

    form->PushHistory();

    QCOMPARE(box->listItems(), after);
    if (duplicate) {
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(box->text(), after.first());
        QCOMPARE(box->lineEdit()->cursorPosition(), int(after.first().size()));
        QVERIFY(!box->lineEdit()->hasSelectedText());
    } else {
        // A plain insertion leaves the field alone.
        QCOMPARE(box->text(), u"поле"_s);
        QCOMPARE(box->lineEdit()->cursorPosition(), 1);
    }
    QCOMPARE(programState().CurrentHeadword, headword);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_History::pushHistory_longLoadedHistoryKeepsItsLength()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    const QStringList loaded = numbered(30);
    fixture.writeFile(HistoryPath, loaded.join(u"\r\n"_s).toUtf8().prepend("\xEF\xBB\xBF"));
    TForm1 *form = fixture.start();
    QCOMPARE(form->ComboBox1->listItems(), loaded);

    QStringList expected = loaded;
    for (const QString &headword : {u"ПЕРВОЕ"_s, u"ВТОРОЕ"_s, u"ТРЕТЬЕ"_s}) {
        programState().CurrentHeadword = headword;
        form->PushHistory();
        expected.insert(0, headword.toLower());
        expected.removeAt(24);
        QCOMPARE(form->ComboBox1->listItems(), expected);
    }
    QCOMPARE(form->ComboBox1->count(), 30);
}

void tst_History::firstRun_createsEmptyHistoryFile_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("no CFiles folder") << false;
    QTest::newRow("empty CFiles folder") << true;
}

void tst_History::firstRun_createsEmptyHistoryFile()
{
    QFETCH(bool, folderExists);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    if (folderExists)
        QVERIFY(QDir().mkpath(fixture.path(u"CFiles"_s)));

    TForm1 *form = fixture.start();

    QVERIFY(fixture.errors.isEmpty());
    QVERIFY(QFileInfo(fixture.path(u"CFiles"_s)).isDir());
    const QFileInfo file(fixture.path(HistoryPath));
    QVERIFY(file.isFile());
    QCOMPARE(file.size(), 0);
    QCOMPARE(form->ComboBox1->count(), 0);
    QCOMPARE(form->ComboBox1->text(), QString());
}

void tst_History::historyFile_loadsIntoQueryBox_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");

    const QStringList two = {u"дом"_s, u"ветер"_s};
    // "дом", "ветер" in Windows-1251
    QTest::newRow("CR LF") << QByteArray("\xe4\xee\xec\r\n\xe2\xe5\xf2\xe5\xf0\r\n") << two;
    QTest::newRow("LF only") << QByteArray("\xe4\xee\xec\n\xe2\xe5\xf2\xe5\xf0\n") << two;
    QTest::newRow("CR only") << QByteArray("\xe4\xee\xec\r\xe2\xe5\xf2\xe5\xf0\r") << two;
    QTest::newRow("no final line break") << QByteArray("\xe4\xee\xec\r\n\xe2\xe5\xf2\xe5\xf0") << two;
    QTest::newRow("empty line kept") << QByteArray("\xe4\xee\xec\r\n\r\n\xe2\xe5\xf2\xe5\xf0\r\n")
                                     << QStringList{u"дом"_s, QString(), u"ветер"_s};
    QTest::newRow("UTF-8 mark") << (QByteArray("\xEF\xBB\xBF") + u"дом\nветер\n"_s.toUtf8()) << two;
    QTest::newRow("UTF-8 without mark read as Windows-1251")
        << QByteArray("\xd1\x91") << QStringList{u"с\u2018"_s}; // "ё" in UTF-8 is "С‘" there, lower-cased
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE\x34\x04\x3E\x04\x3C\x04\r\0\n\0", 12)
                                    << QStringList{u"дом"_s};
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF\x04\x34\x04\x3E\x04\x3C", 8) << QStringList{u"дом"_s};
    QTest::newRow("UTF-8 mark, invalid sequence") << QByteArray("\xEF\xBB\xBF\xd0\xb4\xff\n\xd0\xb4") << QStringList{};
    QTest::newRow("capitals shown in lower case") << QByteArray("\xc4\xce\xcc\r\n") << QStringList{u"дом"_s};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
}

void tst_History::historyFile_loadsIntoQueryBox()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, items);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    fixture.writeFile(HistoryPath, bytes);

    TForm1 *form = fixture.start();

    QVERIFY(fixture.errors.isEmpty());
    QVERIFY(programState().StartupDone);
    QCOMPARE(form->ComboBox1->listItems(), items);
    // Loading fills the drop-down only; the field stays empty.
    QCOMPARE(form->ComboBox1->text(), QString());
    // Reading leaves the file as it was.
    QCOMPARE(readBytes(fixture.path(HistoryPath)), bytes);
}

void tst_History::close_writesWindows1251WithCrLf()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    fixture.writeFile(HistoryPath, QByteArray("\xEF\xBB\xBF") + u"дом\nЁлка\n中"_s.toUtf8());
    TForm1 *form = fixture.start();
    QCOMPARE(form->ComboBox1->listItems(), (QStringList{u"дом"_s, u"ёлка"_s, u"中"_s}));
    programState().CurrentHeadword = u"АБАЖУР"_s;
    form->PushHistory();

    QVERIFY(fixture.close());

    QVERIFY(fixture.errors.isEmpty());
    // абажур, дом, ёлка, and "?" for what the code page lacks; no mark.
    QCOMPARE(readBytes(fixture.path(HistoryPath)),
             QByteArray("\xe0\xe1\xe0\xe6\xf3\xf0\r\n\xe4\xee\xec\r\n\xb8\xeb\xea\xe0\r\n?\r\n"));
}

void tst_History::close_failingWrite_keepsWindowOpenAndRetries_data()
{
    QTest::addColumn<bool>("folderIsFile"); // else the history path is a folder
    QTest::addColumn<int>("systemError");
    QTest::newRow("CFiles replaced by a file") << true << int(ENOTDIR);
    QTest::newRow("history.trv replaced by a folder") << false << int(EISDIR);
}

void tst_History::close_failingWrite_keepsWindowOpenAndRetries()
{
    QFETCH(bool, folderIsFile);
    QFETCH(int, systemError);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();
    QVERIFY(fixture.errors.isEmpty());
    programState().CurrentHeadword = u"БАЛКОН"_s;
    form->PushHistory();

    const QString folder = fixture.path(u"CFiles"_s);
    const QString file = fixture.path(HistoryPath);
    QVERIFY(QFile::remove(file));
    if (folderIsFile) {
        QVERIFY(QDir().rmdir(folder));
        fixture.writeFile(u"CFiles"_s, "not a folder");
    } else {
        QVERIFY(QDir().mkdir(file));
    }

    QVERIFY(!fixture.close());

    const QString expected = u"Cannot create file \"%1\". %2"_s.arg(nativeAbsolute(file), systemErrorText(systemError));
    QCOMPARE(fixture.errors, QStringList{errorReportText(expected)});
    QVERIFY(form->isVisible());
    // The steps after the history did not run.
    QVERIFY(programState().Words);
    QVERIFY(programState().Articles.isOpen());

    // Closing again tries again, and fails the same way while the cause lasts.
    QVERIFY(!fixture.close());
    QCOMPARE(fixture.errors.size(), 2);
    QCOMPARE(fixture.errors.last(), fixture.errors.first());

    if (folderIsFile) {
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().mkdir(folder));
    } else {
        QVERIFY(QDir().rmdir(file));
    }
    QVERIFY(fixture.close());
    QCOMPARE(fixture.errors.size(), 2);
    QVERIFY(!form->isVisible());
    QCOMPARE(readBytes(file), QByteArray("\xe1\xe0\xeb\xea\xee\xed\r\n")); // балкон
    QVERIFY(!programState().Words);
}

void tst_History::failedStartup_historyWrittenOnlyIfRead_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("short letter index, before the history") << u"letter index"_s << u"Read beyond end of file."_s
                                                           << false;
    QTest::newRow("one entry in full mode, after the history") << u"one entry"_s << u"Grid index out of range."_s
                                                               << true;
}

void tst_History::failedStartup_historyWrittenOnlyIfRead()
{
    QFETCH(QString, failure);
    QFETCH(QString, error);
    QFETCH(bool, rewritten);
    MainWindowFixture fixture;
    if (failure == u"letter index"_s) {
        fixture.writeSet(MainWindowFixture::entries(ThreeWords));
        LetterIndex index;
        for (LetterRange &range : index)
            range = {-1, -1};
        fixture.writeFile(u"glossa/glossa.dvc"_s, encodeLetterIndex(index).left(471));
    } else {
        fixture.writeSet(MainWindowFixture::entries({u"АБАЖУР"_s}));
    }
    // UTF-8 with its mark: a save would turn it into Windows-1251.
    const QByteArray original = QByteArray("\xEF\xBB\xBF") + u"дом\r\nветер\r\n"_s.toUtf8();
    fixture.writeFile(HistoryPath, original);

    fixture.start();
    QCOMPARE(fixture.errors, QStringList{error});
    QVERIFY(!programState().StartupDone);

    QVERIFY(fixture.close());

    QCOMPARE(fixture.errors.size(), 1);
    QCOMPARE(readBytes(fixture.path(HistoryPath)),
             rewritten ? QByteArray("\xe4\xee\xec\r\n\xe2\xe5\xf2\xe5\xf0\r\n") : original);
}

GLOSSA_GUI_TEST_MAIN(tst_History)
#include "tst_history.moc"
