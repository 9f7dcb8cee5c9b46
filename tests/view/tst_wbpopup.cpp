#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "platform/mouse_filter_chain.h"
#include "view/WbPopup.h"

// Stands in for the browser view: the filter knows it by its class name only.
class TEmbeddedWB : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
};

namespace {

// Records the button events that reach it.
class Recorder final : public QWidget {
public:
    using QWidget::QWidget;
    QList<QPair<QEvent::Type, Qt::MouseButton>> received;

    int count(QEvent::Type type, Qt::MouseButton button) const { return int(received.count({ type, button })); }

protected:
    void mousePressEvent(QMouseEvent *event) override { received.append({ event->type(), event->button() }); }
    void mouseReleaseEvent(QMouseEvent *event) override { received.append({ event->type(), event->button() }); }
};

} // namespace

class TestWbPopup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void onlyRightPressOverBrowserViewIsWithheld_data();
    void onlyRightPressOverBrowserViewIsWithheld();
    void newerFilterLettingEverythingThroughWins();
    void restOfChainIsAskedFirstAndAnswersElsewhere();
    void removedFilterWithholdsNothing();

private:
    void clickAt(Recorder *target, Qt::MouseButton button);

    QWidget *m_top = nullptr;
    TEmbeddedWB *m_view = nullptr;
    Recorder *m_page = nullptr; // the view's inner widget, as the engine has one
    Recorder *m_list = nullptr; // anything outside the view
    QList<MouseFilterHandle> m_handles;
};

void TestWbPopup::init()
{
    m_top = new QWidget;
    m_top->resize(300, 200);
    m_list = new Recorder(m_top);
    m_list->setGeometry(0, 0, 140, 200);
    m_view = new TEmbeddedWB(m_top);
    m_view->setGeometry(150, 0, 150, 200);
    m_page = new Recorder(m_view);
    m_page->setGeometry(10, 10, 130, 180);
    m_top->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_top));
    installRightButtonFilter();
}

void TestWbPopup::cleanup()
{
    removeRightButtonFilter();
    for (const MouseFilterHandle handle : std::as_const(m_handles))
        removeMouseFilter(handle);
    m_handles.clear();
    delete m_top;
    m_top = nullptr;
}

void TestWbPopup::clickAt(Recorder *target, Qt::MouseButton button)
{
    const QPoint at = target->mapTo(m_top, target->rect().center());
    QTest::mouseClick(m_top->windowHandle(), button, {}, at);
}

void TestWbPopup::onlyRightPressOverBrowserViewIsWithheld_data()
{
    QTest::addColumn<bool>("overView");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("pressDelivered");

    QTest::newRow("right button over the view") << true << Qt::RightButton << false;
    QTest::newRow("left button over the view") << true << Qt::LeftButton << true;
    QTest::newRow("middle button over the view") << true << Qt::MiddleButton << true;
    QTest::newRow("right button elsewhere") << false << Qt::RightButton << true;
    QTest::newRow("left button elsewhere") << false << Qt::LeftButton << true;
}

void TestWbPopup::onlyRightPressOverBrowserViewIsWithheld()
{
    QFETCH(bool, overView);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, pressDelivered);

    Recorder *target = overView ? m_page : m_list;
    clickAt(target, button);
    QCOMPARE(target->count(QEvent::MouseButtonPress, button), pressDelivered ? 1 : 0);
    // The release always passes.
    QCOMPARE(target->count(QEvent::MouseButtonRelease, button), 1);
}

void TestWbPopup::newerFilterLettingEverythingThroughWins()
{
    int newerCalls = 0;
    m_handles << installMouseFilter([&](QObject *, QMouseEvent *, const std::function<bool()> &callNext) {
        ++newerCalls;
        callNext();
        return false;
    });
    clickAt(m_page, Qt::RightButton);
    QCOMPARE(m_page->count(QEvent::MouseButtonPress, Qt::RightButton), 1);
    QVERIFY(newerCalls >= 2);

    // With the newer filter gone, the right-button filter decides again.
    removeMouseFilter(m_handles.takeLast());
    m_page->received.clear();
    clickAt(m_page, Qt::RightButton);
    QCOMPARE(m_page->count(QEvent::MouseButtonPress, Qt::RightButton), 0);
}

void TestWbPopup::restOfChainIsAskedFirstAndAnswersElsewhere()
{
    // An older filter that withholds left presses and counts what it is asked.
    removeRightButtonFilter();
    QList<QEvent::Type> olderAsked;
    m_handles << installMouseFilter([&](QObject *, QMouseEvent *event, const std::function<bool()> &) {
        olderAsked.append(event->type());
        return event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton;
    });
    installRightButtonFilter();

    clickAt(m_page, Qt::RightButton);
    clickAt(m_list, Qt::LeftButton);
    // The older filter was asked for every event, the withheld right press included.
    QCOMPARE(olderAsked.count(QEvent::MouseButtonPress), 2);
    QCOMPARE(olderAsked.count(QEvent::MouseButtonRelease), 2);
    // Away from the view the older filter's answer stands.
    QCOMPARE(m_list->count(QEvent::MouseButtonPress, Qt::LeftButton), 0);
    QCOMPARE(m_list->count(QEvent::MouseButtonRelease, Qt::LeftButton), 1);
}

void TestWbPopup::removedFilterWithholdsNothing()
{
    installRightButtonFilter(); // a second install keeps one filter
    removeRightButtonFilter();
    clickAt(m_page, Qt::RightButton);
    QCOMPARE(m_page->count(QEvent::MouseButtonPress, Qt::RightButton), 1);
}

QTEST_MAIN(TestWbPopup)
#include "tst_wbpopup.moc"
