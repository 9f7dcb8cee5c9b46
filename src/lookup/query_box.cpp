#include "lookup/query_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QWheelEvent>

TComboBox::TComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(25);
    setDuplicatesEnabled(true);

    // The combo box would make a list item current and report it as chosen
    // when Enter is pressed or the focus leaves while the text equals that
    // item: a search the user never asked for, which also scrolls the list
    // back. Only an edit or a choice from the drop-down list raises change().
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);

    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        lowerCaseEditedText();
        Q_EMIT change();
    });
    connect(this, &QComboBox::activated, this, [this] { Q_EMIT change(); });
}

void TComboBox::lowerCaseEditedText()
{
    QLineEdit *edit = lineEdit();
    const QString text = edit->text();
    const QString lower = text.toLower();
    if (lower == text)
        return;
    // Lower-casing keeps the length of Cyrillic and Latin text; where it
    // does not, the caret goes to the end.
    const int caret = lower.size() == text.size() ? edit->cursorPosition() : int(lower.size());
    edit->setText(lower);
    edit->setCursorPosition(caret);
}

void TComboBox::setText(const QString &text)
{
    lineEdit()->setText(text.toLower());
}

QString TComboBox::text() const
{
    return lineEdit()->text();
}

void TComboBox::putCaretAtEnd()
{
    QLineEdit *edit = lineEdit();
    edit->deselect();
    edit->setCursorPosition(int(edit->text().size()));
}

void TComboBox::insertListItem(int index, const QString &text)
{
    // Inserting into an empty list or removing the current item would
    // otherwise replace the field's text with an item's.
    const QString fieldText = lineEdit()->text();
    const int caret = lineEdit()->cursorPosition();
    insertItem(index, text.toLower());
    if (lineEdit()->text() != fieldText) {
        lineEdit()->setText(fieldText);
        lineEdit()->setCursorPosition(caret);
    }
}

void TComboBox::removeListItem(int index)
{
    const QString fieldText = lineEdit()->text();
    const int caret = lineEdit()->cursorPosition();
    removeItem(index);
    if (lineEdit()->text() != fieldText) {
        lineEdit()->setText(fieldText);
        lineEdit()->setCursorPosition(caret);
    }
}

QStringList TComboBox::listItems() const
{
    QStringList items;
    items.reserve(count());
    for (int i = 0; i < count(); ++i)
        items.append(itemText(i));
    return items;
}

void TComboBox::setListItems(const QStringList &items)
{
    const QString fieldText = lineEdit()->text();
    clear();
    for (const QString &item : items)
        addItem(item.toLower());
    lineEdit()->setText(fieldText);
}

bool TComboBox::takesKey(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Up || event.key() == Qt::Key_Down;
}

int TComboBox::arrowMove(const QKeyEvent &event)
{
    if (event.type() != QEvent::KeyPress || !takesKey(event))
        return 0;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & (Qt::AltModifier | Qt::KeypadModifier))
        return 0;
    // Auto-repeats that arrived folded into one event move nothing.
    if (event.count() != 1)
        return 0;
    return event.key() == Qt::Key_Down ? 1 : -1;
}

int TComboBox::wheelMove(const QWheelEvent &event)
{
    const int delta = event.angleDelta().y();
    if (delta < 0)
        return 1;
    if (delta > 0)
        return -1;
    return 0;
}

bool TComboBox::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (event->type() == QEvent::KeyPress)
            Q_EMIT keyDown(key->key());
        if (takesKey(*key)) {
            if (const int step = arrowMove(*key))
                Q_EMIT moveRequested(step);
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::ShortcutOverride: {
        // Keep Up and Down from being taken as shortcuts anywhere else.
        auto *key = static_cast<QKeyEvent *>(event);
        if (takesKey(*key)) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::Wheel: {
        if (const int step = wheelMove(*static_cast<QWheelEvent *>(event)))
            Q_EMIT moveRequested(step);
        event->accept();
        return true;
    }
    case QEvent::Enter:
        Q_EMIT mouseEntered();
        break;
    default:
        break;
    }
    return QComboBox::event(event);
}
