#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <optional>
#include <vector>

#include "lookup/string_grid.h"
#include "platform/error_report.h"
#include "platform/errors.h"

using namespace Qt::StringLiterals;

namespace {

// The main window's list: 441 pixels high, so 22 rows fully visible
// (441 - 2 * 2 border - 5 strip = 432 = 22 * 19 + 14).
constexpr int kListHeight = 441;
constexpr int kShown = 22;

QString rowText(int row)
{
    return u"ROW "_s + QString::number(row);
}

// A shown list with a recording select handler that throws on demand.
struct GridFixture
{
    explicit GridFixture(int rows)
    {
        grid.setRowText(rowText);
        grid.setSelectHandler([this](int target) {
            calls.push_back({target, grid.row()});
            if (throwOn && *throwOn == target)
                throw EInvalidGridOperation(u"ошибка отображения данных"_s);
        });
        grid.resize(233, kListHeight);
        grid.show();
        grid.setRowCount(rows);
    }

    // Puts the list at a row and top row without running the handler.
    void placeAt(int row, int top)
    {
        grid.detachSelectHandler();
        grid.setRow(top);
        grid.setRow(std::min(top + kShown - 1, grid.rowCount() - 1));
        grid.setRow(row);
        grid.attachSelectHandler();
    }

    // Where a row stands in the viewport, in rows from the top edge.
    int shownAt(int row) const
    {
        return grid.visualRect(grid.model()->index(row, 0)).top() / TStringGrid::kRowPitch;
    }

    struct Call
    {
        int target;
        int rowWhileRunning;
    };

    TStringGrid grid;
    std::vector<Call> calls;
    std::optional<int> throwOn;
};

void sendWheel(QWidget *target, int delta)
{
    const QPointF pos(10, 10);
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

QPoint rowCentre(const TStringGrid &grid, int row)
{
    return grid.visualRect(grid.model()->index(row, 0)).center();
}

// A user action written as "key Down", "ctrl Home", "wheel -120 -60",
// "click 3", "scrollbarwheel -120", "type r", "drag 2 6".
void perform(TStringGrid &grid, const QString &action)
{
    const QStringList parts = action.split(u' ');
    const QString &kind = parts.at(0);
    if (kind == u"key" || kind == u"ctrl") {
        static const QHash<QString, Qt::Key> keys{
            {u"Up"_s, Qt::Key_Up},     {u"Down"_s, Qt::Key_Down},         {u"PgUp"_s, Qt::Key_PageUp},
            {u"PgDn"_s, Qt::Key_PageDown}, {u"Home"_s, Qt::Key_Home}, {u"End"_s, Qt::Key_End},
            {u"Tab"_s, Qt::Key_Tab},   {u"Left"_s, Qt::Key_Left},        {u"Right"_s, Qt::Key_Right},
        };
        QVERIFY2(keys.contains(parts.at(1)), qPrintable(action));
        QTest::keyClick(&grid, keys.value(parts.at(1)), kind == u"ctrl" ? Qt::ControlModifier : Qt::NoModifier);
    } else if (kind == u"type") {
        QTest::keyClicks(&grid, parts.at(1));
    } else if (kind == u"wheel" || kind == u"scrollbarwheel") {
        QWidget *target = kind == u"wheel" ? grid.viewport() : static_cast<QWidget *>(grid.verticalScrollBar());
        for (qsizetype i = 1; i < parts.size(); ++i)
            sendWheel(target, parts.at(i).toInt());
    } else if (kind == u"click") {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rowCentre(grid, parts.at(1).toInt()));
    } else if (kind == u"rightclick") {
        QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, rowCentre(grid, parts.at(1).toInt()));
    } else if (kind == u"drag") {
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, rowCentre(grid, parts.at(1).toInt()));
        QMouseEvent move(QEvent::MouseMove, rowCentre(grid, parts.at(2).toInt()),
                         grid.viewport()->mapToGlobal(rowCentre(grid, parts.at(2).toInt())), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid.viewport(), &move);
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, rowCentre(grid, parts.at(2).toInt()));
    } else {
        QFAIL(qPrintable(u"unknown action "_s + action));
    }
}

} // namespace

class TestStringGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void model_passesTesterThroughCountChanges();
    void look_matchesTheMainWindowsList();

    void setRow_data();
    void setRow();
    void setRow_scrollsTheLeastDistance_data();
    void setRow_scrollsTheLeastDistance();

    void setRowCount_data();
    void setRowCount();
    void setRowCount_neverLeavesSpaceBelowLastRow_data();
    void setRowCount_neverLeavesSpaceBelowLastRow();
    void resize_neverLeavesSpaceBelowLastRow();
    void scrollBar_scrollsWholeRowsAndKeepsTheRow();

    void handler_detachAndAttach();

    void userNavigation_data();
    void userNavigation();
    void userNavigation_failingHandlerIsReported_data();
    void userNavigation_failingHandlerIsReported();
    void mouseMove_emitsMouseMoved();

    void millionRows_fillAtOnceAndReadOnlyWhatIsDrawn();
    void refreshRows_drawsTheNewText();

private:
    QStringList m_reports;
};

void TestStringGrid::init()
{
    m_reports.clear();
    setErrorReportSink([this](const QString &text) { m_reports.append(text); });
}

void TestStringGrid::cleanup()
{
    setErrorReportSink({});
}

void TestStringGrid::model_passesTesterThroughCountChanges()
{
    TStringGrid grid;
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(grid.rowCount(), 1);
    QCOMPARE(grid.model()->rowCount(), 1);
    QCOMPARE(grid.model()->columnCount(), 1);

    grid.setRowText(rowText);
    grid.setRowCount(1000);
    QCOMPARE(grid.model()->data(grid.model()->index(999, 0)).toString(), u"ROW 999"_s);
    QVERIFY(!(grid.model()->flags(grid.model()->index(3, 0)) & Qt::ItemIsEditable));
    QVERIFY(!grid.model()->data(grid.model()->index(3, 0), Qt::DecorationRole).isValid());
    grid.setRowCount(10);
    grid.refreshRows();
    grid.setRowCount(0);
    QCOMPARE(grid.model()->rowCount(), 1);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), u"ROW 0"_s);
    QVERIFY(!grid.model()->index(1, 0).isValid());
}

void TestStringGrid::look_matchesTheMainWindowsList()
{
    GridFixture f(100);
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QCOMPARE(f.grid.defaultRowHeight(), 24);
    QCOMPARE(f.grid.fullyVisibleRowCount(), kShown);
    QCOMPARE(f.grid.frameWidth(), 2);
    const QRect first = f.grid.visualRect(f.grid.model()->index(0, 0));
    const QRect second = f.grid.visualRect(f.grid.model()->index(1, 0));
    QCOMPARE(second.top() - first.top(), 19);
    QCOMPARE(f.grid.columnWidth(0), 600);
    QCOMPARE(first.left(), 0);
    QVERIFY(f.grid.viewport()->width() < 600);
    QVERIFY(f.grid.verticalScrollBar()->isVisible());
    QVERIFY(!f.grid.horizontalScrollBar()->isVisible());
    QCOMPARE(f.grid.horizontalScrollBar()->maximum(), 0);
    QVERIFY(f.grid.horizontalHeader()->isHidden());
    QVERIFY(f.grid.verticalHeader()->isHidden());
    QCOMPARE(f.grid.font().pixelSize(), 11);
    QCOMPARE(f.grid.font().family(), u"Arial"_s);
    QVERIFY(f.grid.showGrid());
    QCOMPARE(f.grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(f.grid.selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(f.grid.frameShadow(), QFrame::Sunken);
    // The current row is drawn as selected.
    QVERIFY(f.grid.selectionModel()->isSelected(f.grid.model()->index(0, 0)));
}

void TestStringGrid::setRow_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("handlerThrows");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<int>("handlerCalls");

    QTest::newRow("same row: nothing at all") << 5 << 5 << false << QString() << 5 << 0;
    QTest::newRow("same row, throwing handler: still nothing") << 5 << 5 << true << QString() << 5 << 0;
    QTest::newRow("another row") << 5 << 6 << false << QString() << 6 << 1;
    QTest::newRow("first row") << 5 << 0 << false << QString() << 0 << 1;
    QTest::newRow("last row") << 5 << 99 << false << QString() << 99 << 1;
    QTest::newRow("one past the last") << 5 << 100 << false << u"Grid index out of range"_s << 5 << 0;
    QTest::newRow("negative") << 5 << -1 << false << u"Grid index out of range"_s << 5 << 0;
    QTest::newRow("far out") << 5 << 1'000'000 << false << u"Grid index out of range"_s << 5 << 0;
    QTest::newRow("throwing handler keeps the row") << 5 << 40 << true << u"ошибка отображения данных"_s << 5
                                                    << 1;
}

void TestStringGrid::setRow()
{
    QFETCH(int, start);
    QFETCH(int, target);
    QFETCH(bool, handlerThrows);
    QFETCH(QString, error);
    QFETCH(int, expectedRow);
    QFETCH(int, handlerCalls);

    GridFixture f(100);
    f.placeAt(start, 0);
    if (handlerThrows)
        f.throwOn = target;
    const int topBefore = f.grid.topRow();

    QString raised;
    try {
        f.grid.setRow(target);
    } catch (const Exception &e) {
        raised = e.message();
    }
    QCOMPARE(raised, error);
    QCOMPARE(f.grid.row(), expectedRow);
    QCOMPARE(f.grid.selectionModel()->currentIndex().row(), expectedRow);
    QVERIFY(f.grid.selectionModel()->isSelected(f.grid.model()->index(expectedRow, 0)));
    QCOMPARE(int(f.calls.size()), handlerCalls);
    if (handlerCalls > 0) {
        QCOMPARE(f.calls.front().target, target);
        QCOMPARE(f.calls.front().rowWhileRunning, start);
    }
    if (expectedRow == start)
        QCOMPARE(f.grid.topRow(), topBefore);
}

void TestStringGrid::setRow_scrollsTheLeastDistance_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("startTop");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("expectedTop");

    // 22 rows fully visible: with top 0 rows 0..21.
    QTest::newRow("in view: no scroll") << 100 << 0 << 0 << 21 << 0;
    QTest::newRow("just below: one row") << 100 << 0 << 0 << 22 << 1;
    QTest::newRow("far below: becomes last fully visible") << 100 << 0 << 0 << 50 << 29;
    QTest::newRow("last row: view ends at it") << 100 << 0 << 0 << 99 << 78;
    QTest::newRow("above: becomes top row") << 100 << 50 << 40 << 10 << 10;
    QTest::newRow("just above: one row") << 100 << 50 << 40 << 39 << 39;
    QTest::newRow("top row itself: no scroll") << 100 << 50 << 40 << 40 << 40;
    QTest::newRow("bottom row of the view: no scroll") << 100 << 50 << 40 << 61 << 40;
    QTest::newRow("first row from the end") << 100 << 99 << 78 << 0 << 0;
    QTest::newRow("all rows fit: never scrolls") << 10 << 0 << 0 << 9 << 0;
}

void TestStringGrid::setRow_scrollsTheLeastDistance()
{
    QFETCH(int, rows);
    QFETCH(int, start);
    QFETCH(int, startTop);
    QFETCH(int, target);
    QFETCH(int, expectedTop);

    GridFixture f(rows);
    f.placeAt(start, startTop);
    QCOMPARE(f.grid.topRow(), startTop);

    f.grid.setRow(target);
    QCOMPARE(f.grid.row(), target);
    QCOMPARE(f.grid.topRow(), expectedTop);
    // What the user sees agrees: the top row stands at the top edge.
    QCOMPARE(f.grid.visualRect(f.grid.model()->index(expectedTop, 0)).top(), 0);
    QCOMPARE(f.shownAt(target), target - expectedTop);
    QVERIFY(target - expectedTop < f.grid.fullyVisibleRowCount());
}

void TestStringGrid::setRowCount_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("newCount");
    QTest::addColumn<bool>("handlerThrows");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<QList<int>>("handlerRuns");

    QTest::newRow("same count: nothing") << 50 << 100 << false << 100 << 50 << QList<int>{};
    QTest::newRow("growing: row stays") << 50 << 1000 << false << 1000 << 50 << QList<int>{};
    QTest::newRow("shrinking above the row: row stays") << 50 << 60 << false << 60 << 50 << QList<int>{};
    QTest::newRow("shrinking to the row: row stays") << 50 << 51 << false << 51 << 50 << QList<int>{};
    QTest::newRow("shrinking past the row: handler for new last") << 50 << 10 << false << 10 << 9
                                                                   << QList<int>{9};
    QTest::newRow("zero counts as one") << 50 << 0 << false << 1 << 0 << QList<int>{0};
    QTest::newRow("negative counts as one") << 50 << -7 << false << 1 << 0 << QList<int>{0};
    QTest::newRow("throwing handler keeps the count") << 50 << 10 << true << 100 << 50 << QList<int>{9};
}

void TestStringGrid::setRowCount()
{
    QFETCH(int, start);
    QFETCH(int, newCount);
    QFETCH(bool, handlerThrows);
    QFETCH(int, expectedCount);
    QFETCH(int, expectedRow);
    QFETCH(QList<int>, handlerRuns);

    GridFixture f(100);
    f.placeAt(start, 40);
    if (handlerThrows)
        f.throwOn = std::max(newCount, 1) - 1;

    bool raised = false;
    try {
        f.grid.setRowCount(newCount);
    } catch (const Exception &) {
        raised = true;
    }
    QCOMPARE(raised, handlerThrows);
    QCOMPARE(f.grid.rowCount(), expectedCount);
    QCOMPARE(f.grid.model()->rowCount(), expectedCount);
    QCOMPARE(f.grid.row(), expectedRow);
    QCOMPARE(f.grid.selectionModel()->currentIndex().row(), expectedRow);
    QList<int> runs;
    for (const auto &call : f.calls) {
        runs.append(call.target);
        QCOMPARE(call.rowWhileRunning, start);
    }
    QCOMPARE(runs, handlerRuns);
}

void TestStringGrid::setRowCount_neverLeavesSpaceBelowLastRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("startTop");
    QTest::addColumn<int>("newCount");
    QTest::addColumn<int>("expectedTop");

    QTest::newRow("end of list, shrink") << 100 << 99 << 78 << 30 << 8;
    QTest::newRow("end of list, shrink to fit") << 100 << 99 << 78 << 22 << 0;
    QTest::newRow("end of list, shrink below fit") << 100 << 99 << 78 << 5 << 0;
    QTest::newRow("middle, shrink under the view") << 100 << 50 << 45 << 60 << 38;
    QTest::newRow("middle, shrink leaving the view full") << 100 << 50 << 40 << 70 << 40;
    QTest::newRow("grow keeps the view") << 100 << 99 << 78 << 1000 << 78;
}

void TestStringGrid::setRowCount_neverLeavesSpaceBelowLastRow()
{
    QFETCH(int, rows);
    QFETCH(int, start);
    QFETCH(int, startTop);
    QFETCH(int, newCount);
    QFETCH(int, expectedTop);

    GridFixture f(rows);
    f.placeAt(start, startTop);
    QCOMPARE(f.grid.topRow(), startTop);
    f.grid.setRowCount(newCount);
    QCOMPARE(f.grid.topRow(), expectedTop);
    QCOMPARE(f.grid.visualRect(f.grid.model()->index(expectedTop, 0)).top(), 0);
    // The last row is fully visible whenever it is in view.
    const int last = f.grid.rowCount() - 1;
    if (last - expectedTop < kShown)
        QVERIFY(f.shownAt(last) < f.grid.fullyVisibleRowCount());
}

void TestStringGrid::resize_neverLeavesSpaceBelowLastRow()
{
    GridFixture f(100);
    f.grid.setRow(99);
    QCOMPARE(f.grid.topRow(), 78);
    f.grid.resize(233, kListHeight + 3 * TStringGrid::kRowPitch);
    QTRY_COMPARE(f.grid.fullyVisibleRowCount(), kShown + 3);
    QCOMPARE(f.grid.topRow(), 75);
    QCOMPARE(f.grid.visualRect(f.grid.model()->index(75, 0)).top(), 0);
}

void TestStringGrid::scrollBar_scrollsWholeRowsAndKeepsTheRow()
{
    GridFixture f(100);
    QScrollBar *bar = f.grid.verticalScrollBar();
    QVERIFY(!bar->hasTracking());
    QCOMPARE(bar->maximum(), 100 - kShown);
    QCOMPARE(bar->pageStep(), kShown);

    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(f.grid.topRow(), kShown);
    QCOMPARE(f.grid.visualRect(f.grid.model()->index(kShown, 0)).top(), 0);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(f.grid.topRow(), 100 - kShown);
    QCOMPARE(f.grid.visualRect(f.grid.model()->index(100 - kShown, 0)).top(), 0);
    QCOMPARE(f.grid.row(), 0);
    QVERIFY(f.calls.empty());

    // The current row out of view: the next move brings it back the least distance.
    perform(f.grid, u"key Down"_s);
    QCOMPARE(f.grid.row(), 1);
    QCOMPARE(f.grid.topRow(), 1);
}

void TestStringGrid::handler_detachAndAttach()
{
    GridFixture f(100);
    QVERIFY(f.grid.selectHandlerAttached());
    f.grid.detachSelectHandler();
    QVERIFY(!f.grid.selectHandlerAttached());
    f.grid.setRow(5);
    f.grid.setRow(60);
    QCOMPARE(f.grid.row(), 60);
    QVERIFY(f.calls.empty());
    // A detached throwing handler can't stop a move either.
    f.throwOn = 61;
    f.grid.setRow(61);
    QCOMPARE(f.grid.row(), 61);

    f.grid.attachSelectHandler();
    QVERIFY(f.grid.selectHandlerAttached());
    f.grid.setRow(62);
    QCOMPARE(int(f.calls.size()), 1);
    QCOMPARE(f.calls.front().target, 62);
}

void TestStringGrid::userNavigation_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<int>("handlerCalls");

    // 100 rows, 22 fully visible; the list starts scrolled to show start.
    QTest::newRow("Down") << 5 << u"key Down"_s << 6 << 1;
    QTest::newRow("Up") << 5 << u"key Up"_s << 4 << 1;
    QTest::newRow("Up at the first row") << 0 << u"key Up"_s << 0 << 0;
    QTest::newRow("Down at the last row") << 99 << u"key Down"_s << 99 << 0;
    QTest::newRow("Page Down") << 5 << u"key PgDn"_s << 27 << 1;
    QTest::newRow("Page Down near the end") << 90 << u"key PgDn"_s << 99 << 1;
    QTest::newRow("Page Down at the end") << 99 << u"key PgDn"_s << 99 << 0;
    QTest::newRow("Page Up") << 50 << u"key PgUp"_s << 28 << 1;
    QTest::newRow("Page Up near the start") << 10 << u"key PgUp"_s << 0 << 1;
    QTest::newRow("Page Up at the start") << 0 << u"key PgUp"_s << 0 << 0;
    QTest::newRow("Ctrl+Home") << 50 << u"ctrl Home"_s << 0 << 1;
    QTest::newRow("Ctrl+End") << 50 << u"ctrl End"_s << 99 << 1;
    QTest::newRow("Ctrl+End at the end") << 99 << u"ctrl End"_s << 99 << 0;
    QTest::newRow("Home alone does nothing") << 50 << u"key Home"_s << 50 << 0;
    QTest::newRow("End alone does nothing") << 50 << u"key End"_s << 50 << 0;
    QTest::newRow("Tab does nothing") << 50 << u"key Tab"_s << 50 << 0;
    QTest::newRow("Left and Right do nothing") << 50 << u"key Right"_s << 50 << 0;
    QTest::newRow("typing searches nothing") << 50 << u"type row"_s << 50 << 0;
    QTest::newRow("wheel down one step") << 5 << u"wheel -120"_s << 6 << 1;
    QTest::newRow("wheel up one step") << 5 << u"wheel 120"_s << 4 << 1;
    QTest::newRow("wheel of eight steps at once: one row each") << 5 << u"wheel -960"_s << 13 << 8;
    QTest::newRow("wheel of eight steps stops at the end") << 95 << u"wheel -960"_s << 99 << 4;
    QTest::newRow("fine wheel adds up") << 5 << u"wheel -60 -30 -30"_s << 6 << 1;
    QTest::newRow("fine wheel below a step: nothing") << 5 << u"wheel -60 -50"_s << 5 << 0;
    QTest::newRow("fine wheel back and forth: nothing") << 5 << u"wheel -60 60 -60"_s << 5 << 0;
    QTest::newRow("wheel up at the first row") << 0 << u"wheel 120"_s << 0 << 0;
    QTest::newRow("wheel down at the last row") << 99 << u"wheel -120"_s << 99 << 0;
    QTest::newRow("wheel over the scroll bar") << 5 << u"scrollbarwheel -120"_s << 6 << 1;
    QTest::newRow("click on a row") << 5 << u"click 12"_s << 12 << 1;
    QTest::newRow("click on the current row") << 5 << u"click 5"_s << 5 << 0;
    QTest::newRow("right click selects nothing") << 5 << u"rightclick 12"_s << 5 << 0;
    QTest::newRow("drag selects only where it began") << 5 << u"drag 8 12"_s << 8 << 1;
}

void TestStringGrid::userNavigation()
{
    QFETCH(int, start);
    QFETCH(QString, action);
    QFETCH(int, expectedRow);
    QFETCH(int, handlerCalls);

    GridFixture f(100);
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    f.placeAt(start, std::clamp(start - 10, 0, 100 - kShown));

    perform(f.grid, action);
    QCOMPARE(f.grid.row(), expectedRow);
    QCOMPARE(f.grid.selectionModel()->currentIndex().row(), expectedRow);
    QCOMPARE(f.grid.selectionModel()->selectedIndexes().size(), 1);
    QCOMPARE(int(f.calls.size()), handlerCalls);
    // Each step ran the handler before it moved, one row after the other.
    int previous = start;
    for (const auto &call : f.calls) {
        QCOMPARE(call.rowWhileRunning, previous);
        previous = call.target;
    }
    QCOMPARE(previous, expectedRow);
    // The new row is in full view.
    const int at = f.shownAt(expectedRow);
    QVERIFY(at >= 0 && at < f.grid.fullyVisibleRowCount());
    QVERIFY(m_reports.isEmpty());
}

void TestStringGrid::userNavigation_failingHandlerIsReported_data()
{
    QTest::addColumn<QString>("action");

    QTest::newRow("Down") << u"key Down"_s;
    QTest::newRow("Page Down") << u"key PgDn"_s;
    QTest::newRow("Ctrl+End") << u"ctrl End"_s;
    QTest::newRow("click") << u"click 12"_s;
    QTest::newRow("wheel") << u"wheel -120"_s;
    QTest::newRow("wheel of three steps: one report") << u"wheel -360"_s;
}

void TestStringGrid::userNavigation_failingHandlerIsReported()
{
    QFETCH(QString, action);

    GridFixture f(100);
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    f.placeAt(5, 0);
    f.grid.setSelectHandler([](int) { throw EInvalidGridOperation(u"ошибка отображения данных"_s); });

    perform(f.grid, action);
    QCOMPARE(m_reports, QStringList{u"ошибка отображения данных."_s});
    QCOMPARE(f.grid.row(), 5);
    QCOMPARE(f.grid.selectionModel()->currentIndex().row(), 5);
    QCOMPARE(f.grid.topRow(), 0);

    // The list still works once the handler does.
    f.grid.setSelectHandler({});
    perform(f.grid, u"key Down"_s);
    QCOMPARE(f.grid.row(), 6);
}

void TestStringGrid::mouseMove_emitsMouseMoved()
{
    GridFixture f(100);
    QSignalSpy moved(&f.grid, &TStringGrid::mouseMoved);
    QVERIFY(f.grid.viewport()->hasMouseTracking());
    const QPoint pos = rowCentre(f.grid, 3);
    QMouseEvent move(QEvent::MouseMove, pos, f.grid.viewport()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(f.grid.viewport(), &move);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(f.grid.row(), 0);
}

void TestStringGrid::millionRows_fillAtOnceAndReadOnlyWhatIsDrawn()
{
    TStringGrid grid;
    int reads = 0;
    grid.setRowText([&reads](int row) {
        ++reads;
        return rowText(row);
    });
    grid.resize(233, kListHeight);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    grid.setRowCount(1'000'000);
    grid.setRow(999'999);
    QCOMPARE(grid.topRow(), 1'000'000 - kShown);
    reads = 0;
    grid.viewport()->repaint();
    // Only the rows on screen are read: nothing is kept per row.
    QVERIFY2(reads > 0 && reads < 100, qPrintable(QString::number(reads)));
    QCOMPARE(grid.model()->data(grid.model()->index(999'999, 0)).toString(), u"ROW 999999"_s);

    grid.setRow(0);
    QCOMPARE(grid.topRow(), 0);
}

void TestStringGrid::refreshRows_drawsTheNewText()
{
    GridFixture f(100);
    QString prefix = u"A"_s;
    f.grid.setRowText([&prefix](int row) -> QString { return prefix + QString::number(row); });
    QSignalSpy changed(f.grid.model(), &QAbstractItemModel::dataChanged);
    prefix = u"B"_s;
    f.grid.refreshRows();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 0);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), 99);
    QCOMPARE(f.grid.model()->data(f.grid.model()->index(42, 0)).toString(), u"B42"_s);
}

QTEST_MAIN(TestStringGrid)
#include "tst_string_grid.moc"
