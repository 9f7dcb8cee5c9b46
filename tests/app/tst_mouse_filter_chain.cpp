#include <QMouseEvent>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "platform/mouse_filter_chain.h"

namespace {

// Counts the mouse events that reach it and lets them travel on to its parent.
class Recorder final : public QWidget {
public:
    using QWidget::QWidget;
    QList<QEvent::Type> received;

protected:
    bool event(QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            received.append(event->type());
            event->ignore();
            return false;
        default:
            return QWidget::event(event);
        }
    }
};

// A filter that writes its name into a log, asks the older filters when told to, and answers.
enum class Answer { PassOn, LetThrough, Withhold };

MouseFilter loggingFilter(QStringList *log, const QString &name, Answer answer, bool askNext = true)
{
    return [=](QObject *, QMouseEvent *event, const std::function<bool()> &callNext) {
        if (event->type() != QEvent::MouseButtonPress)
            return callNext(); // only presses are judged
        log->append(name);
        const bool older = askNext ? callNext() : false;
        switch (answer) {
        case Answer::PassOn:
            return older;
        case Answer::LetThrough:
            return false;
        case Answer::Withhold:
            return true;
        }
        return false;
    };
}

} // namespace

class TestMouseFilterChain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newestIsAskedFirst();
    void frontAnswerAloneDecides_data();
    void frontAnswerAloneDecides();
    void endOfChainAnswersFalse();
    void removedFilterIsNoLongerAsked();
    void filterMayRemoveItselfWhileRunning();
    void nestedWidgetSeesEachEventOnce_data();
    void nestedWidgetSeesEachEventOnce();
    void emptyFilterAndUnknownHandlesAreIgnored();

private:
    void click(Qt::MouseButton button = Qt::LeftButton);

    QWidget *m_top = nullptr;
    Recorder *m_outer = nullptr;
    Recorder *m_inner = nullptr;
    QList<MouseFilterHandle> m_handles;
};

void TestMouseFilterChain::init()
{
    m_top = new QWidget;
    m_top->resize(200, 200);
    m_outer = new Recorder(m_top);
    m_outer->setGeometry(20, 20, 160, 160);
    m_inner = new Recorder(m_outer);
    m_inner->setGeometry(20, 20, 100, 100);
    m_top->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_top));
}

void TestMouseFilterChain::cleanup()
{
    for (const MouseFilterHandle handle : std::as_const(m_handles))
        removeMouseFilter(handle);
    m_handles.clear();
    delete m_top;
    m_top = nullptr;
}

// A click in the middle of the inner widget, through the window as the window system sends it.
void TestMouseFilterChain::click(Qt::MouseButton button)
{
    const QPoint at = m_inner->mapTo(m_top, m_inner->rect().center());
    QTest::mouseClick(m_top->windowHandle(), button, {}, at);
}

void TestMouseFilterChain::newestIsAskedFirst()
{
    QStringList log;
    m_handles << installMouseFilter(loggingFilter(&log, u"first"_qs, Answer::PassOn));
    m_handles << installMouseFilter(loggingFilter(&log, u"second"_qs, Answer::PassOn));
    m_handles << installMouseFilter(loggingFilter(&log, u"third"_qs, Answer::PassOn));
    click();
    QCOMPARE(log, QStringList({ u"third"_qs, u"second"_qs, u"first"_qs }));
}

void TestMouseFilterChain::frontAnswerAloneDecides_data()
{
    QTest::addColumn<int>("olderAnswer");
    QTest::addColumn<int>("newestAnswer");
    QTest::addColumn<bool>("delivered");

    const int passOn = int(Answer::PassOn);
    const int through = int(Answer::LetThrough);
    const int withhold = int(Answer::Withhold);
    QTest::newRow("older withholds, newest lets through") << withhold << through << true;
    QTest::newRow("older withholds, newest passes its answer on") << withhold << passOn << false;
    QTest::newRow("older lets through, newest withholds") << through << withhold << false;
    QTest::newRow("both pass on") << passOn << passOn << true;
}

void TestMouseFilterChain::frontAnswerAloneDecides()
{
    QFETCH(int, olderAnswer);
    QFETCH(int, newestAnswer);
    QFETCH(bool, delivered);

    QStringList log;
    m_handles << installMouseFilter(loggingFilter(&log, u"older"_qs, Answer(olderAnswer)));
    m_handles << installMouseFilter(loggingFilter(&log, u"newest"_qs, Answer(newestAnswer)));
    click();
    QCOMPARE(log, QStringList({ u"newest"_qs, u"older"_qs }));
    QCOMPARE(m_inner->received.contains(QEvent::MouseButtonPress), delivered);
    // Withheld from its receiver means withheld from the receiver's parents too.
    QCOMPARE(m_outer->received.contains(QEvent::MouseButtonPress), delivered);
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonRelease));
}

void TestMouseFilterChain::endOfChainAnswersFalse()
{
    QList<bool> nextAnswers;
    m_handles << installMouseFilter([&](QObject *, QMouseEvent *, const std::function<bool()> &callNext) {
        nextAnswers.append(callNext());
        return nextAnswers.last();
    });
    click();
    QVERIFY(!nextAnswers.isEmpty());
    QVERIFY(!nextAnswers.contains(true));
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonPress));
}

void TestMouseFilterChain::removedFilterIsNoLongerAsked()
{
    QStringList log;
    const MouseFilterHandle withholder = installMouseFilter(loggingFilter(&log, u"withholder"_qs, Answer::Withhold));
    m_handles << withholder;
    const MouseFilterHandle middle = installMouseFilter(loggingFilter(&log, u"middle"_qs, Answer::PassOn));
    m_handles << middle;
    const MouseFilterHandle front = installMouseFilter(loggingFilter(&log, u"front"_qs, Answer::LetThrough));
    m_handles << front;

    click();
    QCOMPARE(log, QStringList({ u"front"_qs, u"middle"_qs, u"withholder"_qs }));
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonPress));

    log.clear();
    m_inner->received.clear();
    removeMouseFilter(middle);
    click();
    QCOMPARE(log, QStringList({ u"front"_qs, u"withholder"_qs }));

    // Without the front filter the withholder's answer decides again.
    log.clear();
    m_inner->received.clear();
    removeMouseFilter(front);
    click();
    QCOMPARE(log, QStringList({ u"withholder"_qs }));
    QVERIFY(!m_inner->received.contains(QEvent::MouseButtonPress));

    log.clear();
    m_inner->received.clear();
    removeMouseFilter(withholder);
    click();
    QVERIFY(log.isEmpty());
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonPress));
}

void TestMouseFilterChain::filterMayRemoveItselfWhileRunning()
{
    int calls = 0;
    MouseFilterHandle self = 0;
    self = installMouseFilter([&](QObject *, QMouseEvent *, const std::function<bool()> &callNext) {
        ++calls;
        removeMouseFilter(self);
        return callNext();
    });
    m_handles << self;
    click();
    click();
    QCOMPARE(calls, 1);
    QCOMPARE(m_inner->received.count(QEvent::MouseButtonPress), 2);
}

void TestMouseFilterChain::nestedWidgetSeesEachEventOnce_data()
{
    QTest::addColumn<bool>("throughWindow");
    QTest::addColumn<bool>("tracking");
    QTest::newRow("through the window") << true << false;
    QTest::newRow("through the window, mouse tracking") << true << true;
    QTest::newRow("sent to the widget") << false << false;
}

void TestMouseFilterChain::nestedWidgetSeesEachEventOnce()
{
    QFETCH(bool, throughWindow);
    QFETCH(bool, tracking);
    m_inner->setMouseTracking(tracking);
    m_outer->setMouseTracking(tracking);
    // Qt drops a move that does not move: start from elsewhere.
    if (throughWindow)
        QTest::mouseMove(m_top->windowHandle(), QPoint(5, 5));

    QList<QEvent::Type> seen;
    QList<QObject *> watchedObjects;
    m_handles << installMouseFilter([&](QObject *watched, QMouseEvent *event, const std::function<bool()> &callNext) {
        seen.append(event->type());
        watchedObjects.append(watched);
        return callNext();
    });

    const QPoint inInner = m_inner->rect().center() + QPoint(7, 3);
    if (throughWindow) {
        QWindow *window = m_top->windowHandle();
        const QPoint at = m_inner->mapTo(m_top, inInner);
        QTest::mouseMove(window, at);
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
        QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    } else {
        QTest::mouseClick(m_inner, Qt::LeftButton, {}, inInner);
        QTest::mouseDClick(m_inner, Qt::LeftButton, {}, inInner);
    }

    // Each event reached the inner widget once and travelled on to the outer one,
    // unaccepted; the filter saw exactly what the inner widget received.
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonPress));
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonRelease));
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonDblClick));
    QVERIFY(m_outer->received.contains(QEvent::MouseButtonPress));
    // A widget without mouse tracking never gets a bare move; the filters still see it.
    QCOMPARE(seen.count(QEvent::MouseMove), throughWindow ? 1 : 0);
    QCOMPARE(m_inner->received.count(QEvent::MouseMove), tracking ? 1 : 0);
    const auto withoutMoves = [](QList<QEvent::Type> types) {
        types.removeAll(QEvent::MouseMove);
        return types;
    };
    QCOMPARE(withoutMoves(seen), withoutMoves(m_inner->received));
    for (QObject *watched : std::as_const(watchedObjects))
        QCOMPARE(watched, static_cast<QObject *>(m_inner));
}

void TestMouseFilterChain::emptyFilterAndUnknownHandlesAreIgnored()
{
    QCOMPARE(installMouseFilter({}), 0);
    removeMouseFilter(0);
    removeMouseFilter(123456);
    click();
    QVERIFY(m_inner->received.contains(QEvent::MouseButtonPress));
}

QTEST_MAIN(TestMouseFilterChain)
#include "tst_mouse_filter_chain.moc"
