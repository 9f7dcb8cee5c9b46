#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

// Switches the keyboard input of this program to the Russian layout.
//
// Windows: loads the layout "00000419" and makes it the active layout of the
// GUI thread. X11: when the keymap has a Russian group, locks that group
// while the main window is active and gives the user's previous group back
// when the window loses activation and when the program ends, so that only
// this program's input is switched. Anywhere else (offscreen, Wayland, a
// keymap without Russian) it silently does nothing.
class RussianKeyboardLayout final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RussianKeyboardLayout)

public:
    explicit RussianKeyboardLayout(QWidget *mainWindow);
    ~RussianKeyboardLayout() override;

    // Called once at start-up; failures are not reported.
    void activate();

    // The X keyboard group this object locks, or -1 when there is none.
    int russianGroup() const { return m_russianGroup; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lockRussianGroup();
    void restoreUserGroup();

    QWidget *m_window = nullptr;
    bool m_activated = false;
    int m_russianGroup = -1;
    int m_userGroup = -1; // the group to give back; -1 while none is locked
};

// Finding the Russian group (0-based, at most 4 groups) in what an X server
// says about its keymap; -1 when there is none.
namespace xkb {

// The keymap's symbols name: "pc+us+ru:2+inet(evdev)" -> 1, "pc+ru+us:2" -> 0,
// "pc+us+ru(phonetic):2" -> 1, "pc+us+ua:2" -> -1.
int russianGroupFromSymbols(const QString &symbolsName);

// The groups' display names: {"English (US)", "Russian"} -> 1.
int russianGroupFromGroupNames(const QStringList &groupNames);

// The layout list of the rules names: "us,ru" -> 1, "ru" -> 0, "us,by" -> -1.
int russianGroupFromLayoutList(const QString &layouts);

} // namespace xkb
