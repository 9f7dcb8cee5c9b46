// Which key and wheel events the query box takes, and which of them move the
// word list.

#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include "lookup/query_box.h"

class tst_QueryBoxUnit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keys_data();
    void keys();
    void wheel_data();
    void wheel();
};

void tst_QueryBoxUnit::keys_data()
{
    QTest::addColumn<bool>("press");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("move");

    const Qt::KeyboardModifiers none;
    QTest::newRow("Down") << true << int(Qt::Key_Down) << none << false << 1 << true << 1;
    QTest::newRow("Up") << true << int(Qt::Key_Up) << none << false << 1 << true << -1;
    QTest::newRow("Down auto-repeat") << true << int(Qt::Key_Down) << none << true << 1 << true << 1;
    QTest::newRow("Up auto-repeat") << true << int(Qt::Key_Up) << none << true << 1 << true << -1;
    QTest::newRow("Down folded repeats") << true << int(Qt::Key_Down) << none << true << 2 << true << 0;
    QTest::newRow("Up folded repeats") << true << int(Qt::Key_Up) << none << true << 3 << true << 0;
    QTest::newRow("Down count 0") << true << int(Qt::Key_Down) << none << false << 0 << true << 0;
    QTest::newRow("Down release") << false << int(Qt::Key_Down) << none << false << 1 << true << 0;
    QTest::newRow("Up release") << false << int(Qt::Key_Up) << none << false << 1 << true << 0;
    QTest::newRow("Shift+Down") << true << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false
                                << 1 << true << 1;
    QTest::newRow("Ctrl+Up") << true << int(Qt::Key_Up) << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 1
                             << true << -1;
    QTest::newRow("Alt+Down") << true << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::AltModifier) << false << 1
                              << true << 0;
    QTest::newRow("Alt+Up release") << false << int(Qt::Key_Up) << Qt::KeyboardModifiers(Qt::AltModifier) << false
                                    << 1 << true << 0;
    QTest::newRow("keypad Down") << true << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::KeypadModifier) << false
                                 << 1 << true << 0;
    QTest::newRow("keypad Up auto-repeat") << true << int(Qt::Key_Up) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                           << true << 1 << true << 0;
    QTest::newRow("Left") << true << int(Qt::Key_Left) << none << false << 1 << false << 0;
    QTest::newRow("PageDown") << true << int(Qt::Key_PageDown) << none << false << 1 << false << 0;
    QTest::newRow("F4") << true << int(Qt::Key_F4) << none << false << 1 << false << 0;
    QTest::newRow("Shift") << true << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << 1
                           << false << 0;
    QTest::newRow("keypad 2 (Num Lock on)") << true << int(Qt::Key_2) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                            << false << 1 << false << 0;
}

void tst_QueryBoxUnit::keys()
{
    QFETCH(bool, press);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(int, count);
    QFETCH(bool, taken);
    QFETCH(int, move);

    const QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(), autoRepeat,
                          quint16(count));

    QCOMPARE(TComboBox::takesKey(event), taken);
    QCOMPARE(TComboBox::arrowMove(event), move);
}

void tst_QueryBoxUnit::wheel_data()
{
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<int>("move");
    QTest::newRow("one notch towards the user") << QPoint(0, -120) << 1;
    QTest::newRow("eight notches towards the user") << QPoint(0, -960) << 1;
    QTest::newRow("a fine step towards the user") << QPoint(0, -1) << 1;
    QTest::newRow("one notch away") << QPoint(0, 120) << -1;
    QTest::newRow("eight notches away") << QPoint(0, 960) << -1;
    QTest::newRow("largest delta away") << QPoint(0, 32767) << -1;
    QTest::newRow("smallest delta towards") << QPoint(0, -32768) << 1;
    QTest::newRow("no turn") << QPoint(0, 0) << 0;
    QTest::newRow("sideways only") << QPoint(-120, 0) << 0;
}

void tst_QueryBoxUnit::wheel()
{
    QFETCH(QPoint, angleDelta);
    QFETCH(int, move);
    const QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), angleDelta, Qt::NoButton, Qt::NoModifier,
                            Qt::NoScrollPhase, false);
    QCOMPARE(TComboBox::wheelMove(event), move);
}

QTEST_MAIN(tst_QueryBoxUnit)
#include "tst_query_box_unit.moc"
