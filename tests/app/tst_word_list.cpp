// The word list in the main window: filling, windows, centring, the select
// handler's query-box rule and its error path.

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "main_window_fixture.h"

using namespace Qt::StringLiterals;

namespace {

QList<int> rowsOf(const QSignalSpy &spy)
{
    QList<int> rows;
    for (const QList<QVariant> &call : spy)
        rows.append(call.at(0).toInt());
    return rows;
}

QString gridText(TStringGrid *grid, int row)
{
    return grid->model()->index(row, 0).data().toString();
}

constexpr int WindowedCount = 1500;

} // namespace

class tst_WordList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowedStartup_firstWindowAndOneHandlerRun();
    void showWordWindow_bounds_data();
    void showWordWindow_bounds();
    void showWordWindow_singleEntry();
    void userNavigation_stopsAtWindowEdges();
    void centreOnRow_centresNewTarget();
    void centreOnRow_currentTarget_scrollsWithoutHandler();
    void selectHandler_queryBoxRule_data();
    void selectHandler_queryBoxRule();
    void selectHandler_caretAtEndAfterRowChange();
    void failingArticleRead_keepsRow();
};

void tst_WordList::windowedStartup_firstWindowAndOneHandlerRun()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(MainWindowFixture::numberedHeadwords(WindowedCount)), true);
    TForm1 *form = fixture.create();
    QSignalSpy handled(form, &TForm1::selectCellRan);
    fixture.show();

    QVERIFY(fixture.errors.isEmpty());
    QCOMPARE(rowsOf(handled), QList<int>{0});
    QCOMPARE(form->StringGrid1->rowCount(), 400);
    QCOMPARE(form->StringGrid1->row(), 0);
    QCOMPARE(programState().WindowBefore, 0);
    QCOMPARE(gridText(form->StringGrid1, 399), u"СЛОВО00399"_s);
    QVERIFY(fixture.waitForArticle(u"СЛОВО00000 — статья 0"_s));
}

void tst_WordList::showWordWindow_bounds_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("firstEntry");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("before");
    QTest::newRow("middle") << 1000 << 600 << 800 << 400;
    QTest::newRow("near the start") << 399 << 0 << 799 << 399;
    QTest::newRow("exactly 400") << 400 << 0 << 800 << 400;
    QTest::newRow("last entry (added-row steps)") << WindowedCount - 1 << WindowedCount - 1 - 400 << 401 << 400;
}

void tst_WordList::showWordWindow_bounds()
{
    QFETCH(int, target);
    QFETCH(int, firstEntry);
    QFETCH(int, rows);
    QFETCH(int, before);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(MainWindowFixture::numberedHeadwords(WindowedCount)), true);
    TForm1 *form = fixture.start();
    QSignalSpy handled(form, &TForm1::selectCellRan);

    form->ShowWordWindow(target);

    QVERIFY(fixture.errors.isEmpty());
    QCOMPARE(programState().WindowTarget, target);
    QCOMPARE(programState().WindowBefore, before);
    QCOMPARE(form->StringGrid1->rowCount(), rows);
    QCOMPARE(form->StringGrid1->row(), before);
    QCOMPARE(rowsOf(handled), QList<int>{before});
    QCOMPARE(gridText(form->StringGrid1, 0), u"СЛОВО%1"_s.arg(firstEntry, 5, 10, QLatin1Char('0')));
    QCOMPARE(gridText(form->StringGrid1, rows - 1), u"СЛОВО%1"_s.arg(firstEntry + rows - 1, 5, 10, QLatin1Char('0')));
    QCOMPARE(programState().CurrentHeadword, u"СЛОВО%1"_s.arg(target, 5, 10, QLatin1Char('0')));
    QVERIFY(form->StringGrid1->selectHandlerAttached());
    // The target's row is fully visible.
    const int top = form->StringGrid1->topRow();
    QVERIFY(top <= before && before < top + form->StringGrid1->fullyVisibleRowCount());
}

void tst_WordList::showWordWindow_singleEntry()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"ДОМ"_s}), true);
    TForm1 *form = fixture.create();
    QSignalSpy handled(form, &TForm1::selectCellRan);
    fixture.show();

    QVERIFY(fixture.errors.isEmpty());
    QCOMPARE(rowsOf(handled), QList<int>{0});
    QCOMPARE(form->StringGrid1->rowCount(), 1);
    QCOMPARE(form->StringGrid1->row(), 0);
    QVERIFY(programState().StartupDone);
}

void tst_WordList::userNavigation_stopsAtWindowEdges()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(MainWindowFixture::numberedHeadwords(WindowedCount)), true);
    TForm1 *form = fixture.start();
    form->ShowWordWindow(1000);
    TStringGrid *grid = form->StringGrid1;
    grid->setFocus();

    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid->row(), 799);
    QCOMPARE(programState().CurrentHeadword, u"СЛОВО01399"_s);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(grid->row(), 799);

    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(grid->row(), 0);
    QCOMPARE(programState().CurrentHeadword, u"СЛОВО00600"_s);
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(grid->row(), 0);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_WordList::centreOnRow_centresNewTarget()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(MainWindowFixture::numberedHeadwords(WindowedCount)));
    TForm1 *form = fixture.start();
    QSignalSpy handled(form, &TForm1::selectCellRan);
    TStringGrid *grid = form->StringGrid1;
    const int half = (grid->height() / grid->defaultRowHeight()) / 2;

    form->CentreOnRow(1000); // below the view: ends with `half` rows under it
    QCOMPARE(rowsOf(handled), QList<int>{1000});
    QCOMPARE(grid->row(), 1000);
    QCOMPARE(grid->topRow() + grid->fullyVisibleRowCount() - 1, 1000 + half);

    form->CentreOnRow(500); // above the view: ends with `half` rows over it
    QCOMPARE(grid->topRow(), 500 - half);

    form->CentreOnRow(WindowedCount - 1); // the last row: nothing below it
    QCOMPARE(grid->topRow() + grid->fullyVisibleRowCount() - 1, WindowedCount - 1);
    form->CentreOnRow(2); // near the top: as many as there are above it
    QCOMPARE(grid->topRow(), 0);
    QCOMPARE(rowsOf(handled), (QList<int>{1000, 500, WindowedCount - 1, 2}));
    QVERIFY(grid->selectHandlerAttached());
}

void tst_WordList::centreOnRow_currentTarget_scrollsWithoutHandler()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(MainWindowFixture::numberedHeadwords(WindowedCount)));
    TForm1 *form = fixture.start();
    TStringGrid *grid = form->StringGrid1;
    form->CentreOnRow(1000);
    grid->scrollToTop();
    QCOMPARE(grid->topRow(), 0);
    QSignalSpy handled(form, &TForm1::selectCellRan);

    form->CentreOnRow(1000);

    QVERIFY(handled.isEmpty());
    QCOMPARE(grid->row(), 1000);
    const int half = (grid->height() / grid->defaultRowHeight()) / 2;
    QCOMPARE(grid->topRow() + grid->fullyVisibleRowCount() - 1, 1000 + half);
}

void tst_WordList::selectHandler_queryBoxRule_data()
{
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    // Rows: 0 АБАЖУР, 1 ДОМ, 2 ДОМА, 3 дом
    QTest::newRow("same word in capitals") << u"дом"_s << 1 << u"дом"_s;
    QTest::newRow("same word in lower case") << u"дом"_s << 3 << u"дом"_s;
    QTest::newRow("longer headword") << u"дом"_s << 2 << QString();
    QTest::newRow("trailing blank is not trimmed") << u"дом "_s << 1 << QString();
    QTest::newRow("empty box stays empty") << QString() << 2 << QString();
}

void tst_WordList::selectHandler_queryBoxRule()
{
    QFETCH(QString, boxText);
    QFETCH(int, row);
    QFETCH(QString, expected);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"АБАЖУР"_s, u"ДОМ"_s, u"ДОМА"_s, u"дом"_s}));
    TForm1 *form = fixture.start();
    form->ComboBox1->setText(boxText);

    form->StringGrid1->setRow(row);

    QCOMPARE(form->ComboBox1->text(), expected);
}

void tst_WordList::selectHandler_caretAtEndAfterRowChange()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"АБАЖУР"_s, u"ДОМ"_s, u"ДОМА"_s}));
    TForm1 *form = fixture.start();
    QLineEdit *edit = form->ComboBox1->lineEdit();
    form->ComboBox1->setText(u"дом"_s);
    edit->setSelection(0, 2);

    form->StringGrid1->setRow(1);

    QCOMPARE(form->ComboBox1->text(), u"дом"_s);
    QCOMPARE(edit->cursorPosition(), 3);
    QVERIFY(!edit->hasSelectedText());
}

void tst_WordList::failingArticleRead_keepsRow()
{
    MainWindowFixture fixture;
    fixture.writeSetWithBadThirdOffset();
    TForm1 *form = fixture.start();
    QVERIFY(fixture.errors.isEmpty());
    form->StringGrid1->setFocus();
    QTest::keyClick(form->StringGrid1, Qt::Key_Down);
    QCOMPARE(form->StringGrid1->row(), 1);
    QVERIFY(fixture.waitForArticle(u"БАЛКОН"_s));

    QTest::keyClick(form->StringGrid1, Qt::Key_Down);

    QCOMPARE(fixture.errors, QStringList{u"''abc'' is not a valid integer value."_s});
    QCOMPARE(form->StringGrid1->row(), 1);
    QVERIFY(fixture.waitForArticle(u"БАЛКОН"_s));
}

GLOSSA_GUI_TEST_MAIN(tst_WordList)
#include "tst_word_list.moc"
