// Pointer and focus around the real view: the right-button filter before
// and after the double-click filter exists, and the focus timer.

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "main_window_fixture.h"
#include "view/WbPopup.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList ThreeWords = {u"АБАЖУР"_s, u"БАЛКОН"_s, u"ВЕТЕР"_s};

// Counts the right-button presses that reach a widget.
class RightPressCounter final : public QObject
{
public:
    using QObject::QObject;
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
            ++presses;
        return false;
    }
};

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

QPoint targetPoint(TForm1 *form, const QString &target)
{
    if (target == u"view"_s)
        return form->Emb->mapToGlobal(form->Emb->rect().center());
    if (target == u"query box"_s)
        return form->ComboBox1->lineEdit()->mapToGlobal(form->ComboBox1->lineEdit()->rect().center());
    const QRect row = form->StringGrid1->visualRect(form->StringGrid1->model()->index(0, 0));
    return form->StringGrid1->viewport()->mapToGlobal(QPoint(20, row.center().y()));
}

bool viewHasFocus(TForm1 *form)
{
    QWidget *focus = form->focusWidget();
    return focus && (focus == form->Emb || form->Emb->isAncestorOf(focus));
}

} // namespace

class tst_ViewFocus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void rightPress_withheldOverViewUntilStartupEnds_data();
    void rightPress_withheldOverViewUntilStartupEnds();
    void focusTimer_movesFocusIntoView_data();
    void focusTimer_movesFocusIntoView();
    void focusTimer_aboutBoxInFront_movesNothing();
};

void tst_ViewFocus::init()
{
    // As main() does, before the main window exists.
    installRightButtonFilter();
}

void tst_ViewFocus::cleanup()
{
    closePopups();
    removeRightButtonFilter();
}

void tst_ViewFocus::rightPress_withheldOverViewUntilStartupEnds_data()
{
    QTest::addColumn<bool>("startupFails");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("reaches");
    QTest::newRow("failed start-up, view") << true << u"view"_s << false;
    QTest::newRow("failed start-up, query box") << true << u"query box"_s << true;
    QTest::newRow("failed start-up, word list") << true << u"word list"_s << true;
    QTest::newRow("normal start-up, view") << false << u"view"_s << true;
    QTest::newRow("normal start-up, query box") << false << u"query box"_s << true;
    QTest::newRow("normal start-up, word list") << false << u"word list"_s << true;
}

void tst_ViewFocus::rightPress_withheldOverViewUntilStartupEnds()
{
    QFETCH(bool, startupFails);
    QFETCH(QString, target);
    QFETCH(bool, reaches);
    MainWindowFixture fixture;
    // A full-mode set of one entry fails at the list's first fill, before
    // the double-click filter is installed.
    fixture.writeSet(MainWindowFixture::entries(startupFails ? QStringList{u"АБАЖУР"_s} : ThreeWords));
    TForm1 *form = fixture.start();
    QCOMPARE(fixture.errors, startupFails ? QStringList{u"Grid index out of range."_s} : QStringList{});
    QCOMPARE(programState().DoubleClickHookInstalled, !startupFails);
    QVERIFY(form->Emb->hasDocument());
    if (!startupFails)
        QVERIFY(fixture.waitForArticle(u"АБАЖУР — статья 0"_s));

    const QPoint point = targetPoint(form, target);
    QWidget *receiver = QApplication::widgetAt(point);
    QVERIFY(receiver);
    QCOMPARE(form->Emb == receiver || form->Emb->isAncestorOf(receiver), target == u"view"_s);
    RightPressCounter counter;
    receiver->installEventFilter(&counter);
    QSignalSpy menuRequests(form->Emb, &QWidget::customContextMenuRequested);

    QCursor::setPos(point);
    const QPoint local = form->mapFromGlobal(point);
    QTest::mousePress(form->windowHandle(), Qt::RightButton, {}, local);
    QTest::mouseRelease(form->windowHandle(), Qt::RightButton, {}, local);

    QCOMPARE(counter.presses, reaches ? 1 : 0);
    if (target == u"view"_s) {
        if (reaches) {
            QTRY_VERIFY_WITH_TIMEOUT(form->PopupMenu1->isVisible(), 3000);
            QCOMPARE(menuRequests.size(), 1);
        } else {
            QTest::qWait(500);
            QCOMPARE(menuRequests.size(), 0);
            QVERIFY(!form->PopupMenu1->isVisible());
        }
    } else {
        QVERIFY(!form->PopupMenu1->isVisible());
    }
    closePopups();
    QCOMPARE(fixture.errors.size(), startupFails ? 1 : 0);
}

void tst_ViewFocus::focusTimer_movesFocusIntoView_data()
{
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("xAt");
    QTest::addColumn<QString>("yAt");
    QTest::addColumn<bool>("moves");
    QTest::newRow("query box active, pointer inside") << u"query box"_s << u"centre"_s << u"centre"_s << true;
    QTest::newRow("query box active, next to the top-left corner")
        << u"query box"_s << u"left+1"_s << u"top+1"_s << true;
    QTest::newRow("word list active, pointer inside") << u"word list"_s << u"centre"_s << u"centre"_s << false;
    QTest::newRow("query box active, left edge") << u"query box"_s << u"left"_s << u"centre"_s << false;
    QTest::newRow("query box active, top edge") << u"query box"_s << u"centre"_s << u"top"_s << false;
    QTest::newRow("query box active, bottom edge") << u"query box"_s << u"centre"_s << u"bottom"_s << false;
    QTest::newRow("query box active, right edge") << u"query box"_s << u"right"_s << u"centre"_s << false;
}

void tst_ViewFocus::focusTimer_movesFocusIntoView()
{
    QFETCH(QString, active);
    QFETCH(QString, xAt);
    QFETCH(QString, yAt);
    QFETCH(bool, moves);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();
    QVERIFY(fixture.waitForArticle(u"АБАЖУР — статья 0"_s));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));

    if (active == u"query box"_s)
        form->ComboBox1->setFocus();
    else
        form->StringGrid1->setFocus();
    QWidget *before = form->focusWidget();
    QVERIFY(before);
    QVERIFY(!viewHasFocus(form));

    const QRect rect = form->viewScreenRect();
    const auto at = [](const QString &where, int start, int length) {
        if (where == u"centre"_s)
            return start + length / 2;
        if (where.endsWith(u"+1"_s))
            return start + 1;
        return (where == u"left"_s || where == u"top"_s) ? start : start + length;
    };
    const QPoint point(at(xAt, rect.left(), rect.width()), at(yAt, rect.top(), rect.height()));
    QCursor::setPos(point);

    if (moves) {
        QTRY_VERIFY_WITH_TIMEOUT(viewHasFocus(form), 2000);
        QVERIFY(form->Emb->hasFocus());
        QCOMPARE(QApplication::focusWidget(), form->focusWidget());
        // While the pointer stays, later ticks change nothing.
        QWidget *inView = form->focusWidget();
        QTest::qWait(700);
        QCOMPARE(form->focusWidget(), inView);
    } else {
        form->TimerFocusWBTimer();
        QTest::qWait(700); // two ticks of the timer
        QCOMPARE(form->focusWidget(), before);
        QVERIFY(!viewHasFocus(form));
    }
    QVERIFY(fixture.errors.isEmpty());
}

void tst_ViewFocus::focusTimer_aboutBoxInFront_movesNothing()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(ThreeWords));
    TForm1 *form = fixture.start();
    QVERIFY(fixture.waitForArticle(u"АБАЖУР — статья 0"_s));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->ComboBox1->setFocus();
    QWidget *before = form->focusWidget();
    const QPoint inView = form->viewScreenRect().center();

    // While the About box is in front, its button is the active control.
    bool checked = false;
    QTimer::singleShot(0, form, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        const auto closeBox = qScopeGuard([box] { box->close(); });
        QCursor::setPos(inView);
        form->TimerFocusWBTimer();
        QTest::qWait(700); // two ticks of the timer
        QCOMPARE(form->focusWidget(), before);
        checked = true;
    });
    form->SpeedButtonHelp->click();

    QVERIFY(checked);
    QVERIFY(fixture.errors.isEmpty());
}

GLOSSA_GUI_TEST_MAIN(tst_ViewFocus)
#include "tst_view_focus.moc"
