#pragma once

#include <QComboBox>

class QKeyEvent;
class QWheelEvent;

// The query box: an editable combo box whose field and list hold lower-case
// text only, with no completion and no sorting. The user's edits and the
// user's choice of a list item raise change(); text set by the program
// raises nothing.
//
// Up, Down and the wheel never act on the box itself: every press,
// auto-repeat and release of Up and Down and every wheel event is taken here
// and only a plain press of an arrow-block arrow, or a wheel event, asks for
// the word list to move one row (moveRequested). So the caret stays, the
// history is not stepped through and Alt+Down does not open the list; F4 and
// the button still open it, and the open list handles its own keys.
class TComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TComboBox(QWidget *parent = nullptr);

    // Sets the field's text (lower-cased), raising no change.
    void setText(const QString &text);
    QString text() const;

    // Caret after the last character, nothing selected.
    void putCaretAtEnd();

    // History items, lower-cased; the field's text stays as it is.
    void insertListItem(int index, const QString &text);
    void removeListItem(int index);
    QStringList listItems() const;
    void setListItems(const QStringList &items);

    // Whether a key event is one that moves the list: Up or Down of the
    // arrow block, pressed or auto-repeating, not folded, without Alt.
    // Returns +1 for Down, -1 for Up, 0 for a key that is taken but moves nothing.
    static int arrowMove(const QKeyEvent &event);
    // Whether the box takes this key event at all (every Up and Down).
    static bool takesKey(const QKeyEvent &event);

    // The wheel's move: +1 towards the user (next row), -1 away, 0 none.
    static int wheelMove(const QWheelEvent &event);

Q_SIGNALS:
    // The user edited the text or chose a list item.
    void change();
    // A key went down in the field (for the Shift rule).
    void keyDown(int key);
    // The pointer entered the box.
    void mouseEntered();
    // The word list should move by one row: +1 down, -1 up.
    void moveRequested(int step);

protected:
    bool event(QEvent *event) override;

private:
    void lowerCaseEditedText();
};
