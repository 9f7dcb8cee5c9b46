// Start-up order, the dictionary-set checks, the layout and shut-down.

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

#include "app/panel_splitter.h"
#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "main_window_fixture.h"
#include "store/letter_index.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray letterIndexBytes(int size)
{
    LetterIndex index;
    for (LetterRange &range : index)
        range = {-1, -1};
    QByteArray bytes = encodeLetterIndex(index);
    bytes.resize(size, '\0');
    return bytes;
}

const QStringList ThreeWords = {u"АБАЖУР"_s, u"БАЛКОН"_s, u"ВЕТЕР"_s};

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingSet_endsWithPlainMessage_data();
    void missingSet_endsWithPlainMessage();
    void shortLetterIndex_reportedBeforeMissingSet();
    void letterIndexFile_setsMode_data();
    void letterIndexFile_setsMode();
    void fullMode_showsEntryZeroAfterRowsOneAndZero();
    void fullMode_singleEntry_gridIndexError();
    void layout_matchesDesign();
    void splitter_keepsBothSidesWide();
    void close_writesHistoryAndFreesIndex();
};

void tst_Startup::missingSet_endsWithPlainMessage_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("windowed");
    QTest::newRow("no folder") << QStringList{} << false;
    QTest::newRow("word index only") << QStringList{u"glossa/glossa.ogl"_s} << false;
    QTest::newRow("article file only") << QStringList{u"glossa/glossa.uvs"_s} << false;
    QTest::newRow("valid letter index, no word index") << QStringList{u"glossa/glossa.dvc"_s, u"glossa/glossa.uvs"_s}
                                                      << true;
}

void tst_Startup::missingSet_endsWithPlainMessage()
{
    QFETCH(QStringList, files);
    QFETCH(bool, windowed);
    MainWindowFixture fixture;
    for (const QString &file : files)
        fixture.writeFile(file, file.endsWith(u".dvc"_s) ? letterIndexBytes(472) : QByteArray("\xff\xfe\0\0", 4));

    TForm1 *form = fixture.start();

    QCOMPARE(fixture.plainMessages, QStringList{u"Базы словаря не найдены"_s});
    QVERIFY(fixture.errors.isEmpty());
    QVERIFY(form->terminationRequested());
    QCOMPARE(programState().WindowedMode, windowed);
    QVERIFY(!programState().StartupDone);
    // Neither read nor written: the history folder is not even created.
    QVERIFY(!QFileInfo::exists(fixture.path(u"CFiles"_s)));
}

void tst_Startup::shortLetterIndex_reportedBeforeMissingSet()
{
    MainWindowFixture fixture;
    fixture.writeFile(u"glossa/glossa.dvc"_s, letterIndexBytes(471));

    fixture.start();

    QCOMPARE(fixture.errors, QStringList{u"Read beyond end of file."_s});
    QVERIFY(fixture.plainMessages.isEmpty());
    QVERIFY(!programState().StartupDone);
    QVERIFY(programState().WindowedMode);
}

void tst_Startup::letterIndexFile_setsMode_data()
{
    QTest::addColumn<int>("size"); // -1: a directory in its place
    QTest::addColumn<bool>("windowed");
    QTest::addColumn<QString>("error");
    QTest::newRow("472 bytes") << 472 << true << QString();
    QTest::newRow("1000 bytes") << 1000 << true << QString();
    QTest::newRow("471 bytes") << 471 << true << u"Read beyond end of file."_s;
    QTest::newRow("directory named glossa.dvc") << -1 << false << QString();
}

void tst_Startup::letterIndexFile_setsMode()
{
    QFETCH(int, size);
    QFETCH(bool, windowed);
    QFETCH(QString, error);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords), false);
    if (size < 0)
        QDir().mkpath(fixture.path(u"glossa/glossa.dvc"_s));
    else
        fixture.writeFile(u"glossa/glossa.dvc"_s, letterIndexBytes(size));

    fixture.start();

    QCOMPARE(programState().WindowedMode, windowed);
    QCOMPARE(fixture.errors, error.isEmpty() ? QStringList{} : QStringList{error});
    QCOMPARE(programState().StartupDone, error.isEmpty());
}

void tst_Startup::fullMode_showsEntryZeroAfterRowsOneAndZero()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *shown = fixture.create();
    QSignalSpy handled(shown, &TForm1::selectCellRan);
    fixture.show();

    QCOMPARE(handled.size(), 2);
    QCOMPARE(handled.at(0).at(0).toInt(), 1);
    QCOMPARE(handled.at(1).at(0).toInt(), 0);
    QVERIFY(fixture.errors.isEmpty());
    QVERIFY(programState().StartupDone);
    QCOMPARE(shown->windowTitle(), u"Толковый словарь русского языка под редакцией Глоссы"_s);
    QCOMPARE(shown->StringGrid1->rowCount(), 3);
    QCOMPARE(shown->StringGrid1->row(), 0);
    QCOMPARE(shown->ComboBox1->text(), QString());
    QCOMPARE(programState().CurrentHeadword, u"АБАЖУР"_s);
    QVERIFY(fixture.waitForArticle(u"АБАЖУР — статья 0"_s));
    QCOMPARE(QFileInfo(fixture.path(u"CFiles/history.trv"_s)).size(), 0);
    QVERIFY(QFileInfo(fixture.path(u"CFiles/history.trv"_s)).isFile());
}

void tst_Startup::fullMode_singleEntry_gridIndexError()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"АБАЖУР"_s}));

    fixture.start();

    QCOMPARE(fixture.errors, QStringList{u"Grid index out of range."_s});
    QVERIFY(!programState().StartupDone);
    QVERIFY(!programState().DoubleClickHookInstalled);
}

void tst_Startup::layout_matchesDesign()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();

    QCOMPARE(form->size(), QSize(772, 496));
    QVERIFY(!form->windowIcon().pixmap(48, 48).isNull());
    QCOMPARE(form->BasePanel->geometry(), QRect(8, 16, 761, 473));
    QCOMPARE(form->LeftPanel->geometry(), QRect(0, 0, 233, 473));
    QCOMPARE(form->RightPanel->geometry(), QRect(236, 0, 525, 473));
    QCOMPARE(form->ComboBox1->geometry(), QRect(0, 0, 201, 23));
    QCOMPARE(form->SpeedButtonHelp->geometry(), QRect(208, 0, 23, 22));
    QCOMPARE(form->StringGrid1->geometry(), QRect(0, 32, 233, 441));
    QCOMPARE(form->Emb->geometry(), QRect(1, 1, 523, 471));
    QCOMPARE(form->SpeedButtonHelp->text(), u"?"_s);
    QCOMPARE(form->SpeedButtonHelp->focusPolicy(), Qt::NoFocus);
    QCOMPARE(form->ComboBox1->font().family(), u"Arial"_s);
    QCOMPARE(form->ComboBox1->font().pixelSize(), 12);
    QCOMPARE(form->ComboBox1->maxVisibleItems(), 25);
    QCOMPARE(form->focusWidget(), static_cast<QWidget *>(form->ComboBox1));
    QVERIFY(!(form->Emb->focusPolicy() & Qt::TabFocus));

    // Growing the window widens the right side and the list's height.
    form->resize(900, 600);
    QCOMPARE(form->BasePanel->geometry(), QRect(8, 16, 889, 577));
    QCOMPARE(form->LeftPanel->width(), 233);
    QCOMPARE(form->StringGrid1->height(), 577 - 32);

    // The outer size never goes below 400 x 300.
    QTRY_VERIFY(form->minimumSize().width() > 0);
    const QSize frame = form->frameGeometry().size() - form->size();
    QCOMPARE(form->minimumSize() + frame, QSize(400, 300));
}

void tst_Startup::splitter_keepsBothSidesWide()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();
    const int baseWidth = form->BasePanel->width();

    form->Splitter1->dragTo(40);
    QCOMPARE(form->LeftPanel->width(), 150);
    form->Splitter1->dragTo(baseWidth);
    QCOMPARE(form->LeftPanel->width(), baseWidth - 153);
    QCOMPARE(form->RightPanel->width(), 150);
    form->Splitter1->dragTo(300);
    QCOMPARE(form->LeftPanel->width(), 300);
    // Resizing the window keeps the left panel's width.
    form->resize(form->width() + 50, form->height());
    QCOMPARE(form->LeftPanel->width(), 300);
    QCOMPARE(form->Splitter1->handle(1)->cursor().shape(), Qt::SizeHorCursor);
}

void tst_Startup::close_writesHistoryAndFreesIndex()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    fixture.writeFile(u"CFiles/history.trv"_s, QByteArray("\xe4\xee\xec\r\n")); // "дом" in Windows-1251
    TForm1 *form = fixture.start();
    QCOMPARE(form->ComboBox1->listItems(), QStringList{u"дом"_s});
    form->ComboBox1->insertListItem(0, u"ВЕТЕР"_s);

    QVERIFY(fixture.close());

    QFile file(fixture.path(u"CFiles/history.trv"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xe2\xe5\xf2\xe5\xf0\r\n\xe4\xee\xec\r\n"));
    QVERIFY(!programState().Words);
    QVERIFY(!programState().Articles.isOpen());
}

GLOSSA_GUI_TEST_MAIN(tst_Startup)
#include "tst_startup.moc"
