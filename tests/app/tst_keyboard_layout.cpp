#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <memory>

#include "platform/keyboard_layout.h"

#if defined(GLOSSA_HAVE_X11) && QT_CONFIG(xcb)
#define TEST_XKB 1
#include <QtGui/qguiapplication_platform.h>
// Xlib's macros clash with Qt names: include it last.
#include <X11/XKBlib.h>
#endif

using namespace Qt::StringLiterals;

class TestKeyboardLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void groupFromSymbols_data();
    void groupFromSymbols();
    void groupFromGroupNames_data();
    void groupFromGroupNames();
    void groupFromLayoutList_data();
    void groupFromLayoutList();

    void activateIsHarmlessWithoutX11();
    void x11LocksRussianGroupWhileWindowIsActive();
};

void TestKeyboardLayout::groupFromSymbols_data()
{
    QTest::addColumn<QString>("symbols");
    QTest::addColumn<int>("group");

    QTest::newRow("second layout") << u"pc+us+ru:2+inet(evdev)"_s << 1;
    QTest::newRow("first layout") << u"pc+ru+us:2+inet(evdev)"_s << 0;
    QTest::newRow("variant") << u"pc+us+ru(phonetic):2+inet(evdev)+group(alt_shift_toggle)"_s << 1;
    QTest::newRow("fourth layout") << u"pc+us+de:2+fr:3+ru:4"_s << 3;
    QTest::newRow("no Russian") << u"pc+us+ua:2+inet(evdev)"_s << -1;
    QTest::newRow("only similar names") << u"pc+us+rus:2+ru_x:3"_s << -1;
    QTest::newRow("merge separator") << u"pc+us|ru:2"_s << 1;
    QTest::newRow("group out of range") << u"pc+us+ru:9"_s << -1;
    QTest::newRow("group not a number") << u"pc+us+ru:x"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestKeyboardLayout::groupFromSymbols()
{
    QFETCH(QString, symbols);
    QFETCH(int, group);
    QCOMPARE(xkb::russianGroupFromSymbols(symbols), group);
}

void TestKeyboardLayout::groupFromGroupNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("group");

    QTest::newRow("second") << QStringList { u"English (US)"_s, u"Russian"_s, QString(), QString() } << 1;
    QTest::newRow("variant") << QStringList { u"Russian (phonetic)"_s, u"English (US)"_s } << 0;
    QTest::newRow("none") << QStringList { u"English (US)"_s, u"Ukrainian"_s } << -1;
    QTest::newRow("similar name") << QStringList { u"English (US)"_s, u"Russians"_s } << -1;
    QTest::newRow("beyond four groups") << QStringList { u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"Russian"_s } << -1;
    QTest::newRow("no names") << QStringList() << -1;
}

void TestKeyboardLayout::groupFromGroupNames()
{
    QFETCH(QStringList, names);
    QFETCH(int, group);
    QCOMPARE(xkb::russianGroupFromGroupNames(names), group);
}

void TestKeyboardLayout::groupFromLayoutList_data()
{
    QTest::addColumn<QString>("layouts");
    QTest::addColumn<int>("group");

    QTest::newRow("second") << u"us,ru"_s << 1;
    QTest::newRow("alone") << u"ru"_s << 0;
    QTest::newRow("blanks") << u"us, ru"_s << 1;
    QTest::newRow("none") << u"us,by"_s << -1;
    QTest::newRow("beyond four groups") << u"us,de,fr,it,ru"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestKeyboardLayout::groupFromLayoutList()
{
    QFETCH(QString, layouts);
    QFETCH(int, group);
    QCOMPARE(xkb::russianGroupFromLayoutList(layouts), group);
}

void TestKeyboardLayout::activateIsHarmlessWithoutX11()
{
    if (QGuiApplication::platformName() == u"xcb")
        QSKIP("runs where there is no X11 keyboard");
    QWidget window;
    auto *layout = new RussianKeyboardLayout(&window);
    layout->activate();
    layout->activate();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget other;
    other.show();
    other.activateWindow();
    window.activateWindow();
    QCOMPARE(layout->russianGroup(), -1);
}

#ifdef TEST_XKB
namespace {

Display *display()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
}

int lockedGroup()
{
    XkbStateRec state {};
    XkbGetState(display(), XkbUseCoreKbd, &state);
    return state.locked_group;
}

void lockGroup(int group)
{
    XkbLockGroup(display(), XkbUseCoreKbd, unsigned(group));
    XSync(display(), False);
}

bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window) && QTest::qWaitFor([window] { return window->isActiveWindow(); });
}

} // namespace
#endif

void TestKeyboardLayout::x11LocksRussianGroupWhileWindowIsActive()
{
#ifndef TEST_XKB
    QSKIP("built without X11");
#else
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs an X display (e.g. xvfb-run, with setxkbmap -layout us,ru)");

    QWidget mainWindow;
    mainWindow.setGeometry(10, 10, 200, 150);
    QWidget otherWindow;
    otherWindow.setGeometry(300, 10, 200, 150);
    otherWindow.show();
    mainWindow.show();
    QVERIFY(activate(&mainWindow));

    const int initial = lockedGroup();
    auto layout = std::make_unique<RussianKeyboardLayout>(&mainWindow);
    layout->activate();
    const int russian = layout->russianGroup();
    if (russian < 0) {
        // Without a Russian group the user's group is never touched.
        QCOMPARE(lockedGroup(), initial);
        QVERIFY(activate(&otherWindow));
        QVERIFY(activate(&mainWindow));
        QCOMPARE(lockedGroup(), initial);
        layout.reset();
        QCOMPARE(lockedGroup(), initial);
        QSKIP("the keymap has no Russian group (setxkbmap -layout us,ru): the lock itself is not exercised");
    }
    const int user = russian == 0 ? 1 : 0;

    // Activated while the window is active: locked at once.
    QTRY_COMPARE(lockedGroup(), russian);

    QVERIFY(activate(&otherWindow));
    QTRY_COMPARE(lockedGroup(), initial);

    // The user's own choice while the program is in the background is what comes back.
    lockGroup(user);
    QVERIFY(activate(&mainWindow));
    QTRY_COMPARE(lockedGroup(), russian);
    QVERIFY(activate(&otherWindow));
    QTRY_COMPARE(lockedGroup(), user);

    // At the end the user's group is given back too.
    QVERIFY(activate(&mainWindow));
    QTRY_COMPARE(lockedGroup(), russian);
    layout.reset();
    QCOMPARE(lockedGroup(), user);
#endif
}

QTEST_MAIN(TestKeyboardLayout)
#include "tst_keyboard_layout.moc"
