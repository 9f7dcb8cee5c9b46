// The query box in the main window: the arrow keys and the wheel step the
// word list, Shift empties the box, typing searches, and the pointer over the
// list or entering the box gives the box the focus.
//
// Keys go in the way the window system hands them over: to the main window,
// which passes them to its focused control or to the open drop-down list.

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <QtEndian>

#include <optional>

#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "main_window_fixture.h"
#include "store/letter_index.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

// Rows of the full-mode list. ЁЛКА is stored with Ё, so a search (which turns
// Ё into Е) can never find it.
const QStringList Words = {u"АБАЖУР"_s, u"БАЛКОН"_s, u"ВЕТЕР"_s, u"ДОМ"_s,  u"ДОМА"_s,
                           u"ЁЛКА"_s,   u"ЕЛКА"_s,   u"ПО ХОДУ"_s, u"ЯМА"_s};
constexpr int LastRow = 8;
constexpr int MiddleRow = 3;

QString articleOf(int entry)
{
    return Words[entry] + u" — статья "_s + QString::number(entry);
}

QList<int> rowsOf(const QSignalSpy &spy)
{
    QList<int> rows;
    for (const QList<QVariant> &call : spy)
        rows.append(call.at(0).toInt());
    return rows;
}

// One key event as the window system delivers it to the main window.
void sendKey(TForm1 *form, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
             const QString &text = {}, bool autoRepeat = false, ushort count = 1)
{
    qt_handleKeyEvent(form->windowHandle(), type, key, modifiers, text, autoRepeat, count);
    QCoreApplication::processEvents();
}

void tapKey(TForm1 *form, int key, Qt::KeyboardModifiers modifiers = {}, const QString &text = {})
{
    sendKey(form, QEvent::KeyPress, key, modifiers, text);
    sendKey(form, QEvent::KeyRelease, key, modifiers, text);
}

// Types text without Shift (capitals as with Caps Lock on).
void typeText(TForm1 *form, const QString &text)
{
    for (const QChar c : text) {
        const int key = c == u' ' ? int(Qt::Key_Space) : int(c.toUpper().unicode());
        tapKey(form, key, {}, QString(c));
    }
}

// A wheel turn over a point of `widget` (its centre by default), delivered to
// the innermost widget there, as the window delivers it.
void turnWheel(TForm1 *form, QWidget *widget, int delta, std::optional<QPoint> at = {})
{
    const QPoint inForm = widget->mapTo(form, at.value_or(widget->rect().center()));
    QWidget *target = form->childAt(inForm);
    if (!target)
        target = form;
    const QPointF local = target->mapFrom(form, inForm);
    QWheelEvent event(local, form->mapToGlobal(inForm), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
    QCoreApplication::processEvents();
}

bool boxHasFocus(TForm1 *form)
{
    QWidget *focus = QApplication::focusWidget();
    return focus == form->ComboBox1 || focus == form->ComboBox1->lineEdit();
}

// Starts the window on a full-mode (or windowed) set with the focus in the
// query box and the pointer far from the view.
bool startFocused(MainWindowFixture &fixture, const QStringList &words, bool windowed = false)
{
    QCursor::setPos(0, 0);
    fixture.writeSet(MainWindowFixture::entries(words), windowed);
    TForm1 *form = fixture.start();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form))
        return false;
    form->ComboBox1->setFocus();
    return boxHasFocus(form) && fixture.errors.isEmpty() && fixture.waitForArticle(words[0] + u" — статья 0"_s);
}

// Sets one entry of the set's letter index file.
void patchLetterRange(MainWindowFixture &fixture, char16_t key, int32_t first, int32_t last)
{
    QFile file(fixture.path(u"glossa/glossa.dvc"_s));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), LetterIndexBytes);
    const int at = letterEntryFor(key) * 8;
    qToLittleEndian<int32_t>(first, bytes.data() + at);
    qToLittleEndian<int32_t>(last, bytes.data() + at + 4);
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

enum Action {
    DownPress,
    UpPress,
    DownRepeat,
    WheelTowardsUser,
    WheelAwayFromUser,
};

void perform(TForm1 *form, Action action)
{
    switch (action) {
    case DownPress:
        tapKey(form, Qt::Key_Down);
        break;
    case UpPress:
        tapKey(form, Qt::Key_Up);
        break;
    case DownRepeat:
        sendKey(form, QEvent::KeyPress, Qt::Key_Down, {}, {}, true);
        break;
    case WheelTowardsUser:
        turnWheel(form, form->ComboBox1, -960);
        break;
    case WheelAwayFromUser:
        turnWheel(form, form->ComboBox1, 960);
        break;
    }
}

} // namespace

class tst_QueryBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void atListEnds_takenButNothingMoves_data();
    void atListEnds_takenButNothingMoves();
    void arrowKeys_inTheMiddle_data();
    void arrowKeys_inTheMiddle();
    void wheel_movesOneRow_data();
    void wheel_movesOneRow();
    void shiftDown_emptiesThenMoves();
    void dropDown_f4OpensHistory_arrowsStepThroughIt();
    void shift_emptiesBox_noSearch_data();
    void shift_emptiesBox_noSearch();
    void shiftedLetter_standsAlone();
    void typing_searches_data();
    void typing_searches();
    void programText_raisesNoSearch();
    void leavingBox_runsNoSearch();
    void windowed_searchesKeyLetterRange_data();
    void windowed_searchesKeyLetterRange();
    void letterRangeOutsideWordIndex_reportsIndexError_data();
    void letterRangeOutsideWordIndex_reportsIndexError();
    void failedListMove_clearQueryOnSelectOnAgain();
    void pointerOverList_takesFocusFromView_data();
    void pointerOverList_takesFocusFromView();
    void pointerEntersBox_afterStartupOnly_data();
    void pointerEntersBox_afterStartupOnly();
};

void tst_QueryBox::atListEnds_takenButNothingMoves_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("action");
    QTest::newRow("Down at the last row") << LastRow << int(DownPress);
    QTest::newRow("Down auto-repeat at the last row") << LastRow << int(DownRepeat);
    QTest::newRow("wheel towards the user at the last row") << LastRow << int(WheelTowardsUser);
    QTest::newRow("Up at the first row") << 0 << int(UpPress);
    QTest::newRow("wheel away from the user at the first row") << 0 << int(WheelAwayFromUser);
}

void tst_QueryBox::atListEnds_takenButNothingMoves()
{
    QFETCH(int, row);
    QFETCH(int, action);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    form->StringGrid1->setRow(row);
    QVERIFY(fixture.waitForArticle(articleOf(row)));
    // A history item on each side of the current one: a box that acted on
    // the key or the wheel would step to one of them.
    box->setListItems({u"кот"_s, u"мяч"_s, u"сад"_s});
    box->setCurrentIndex(1);
    box->setText(u"дома"_s);
    box->lineEdit()->setCursorPosition(2);
    const QString page = form->Emb->currentPage();
    QSignalSpy handled(form, &TForm1::selectCellRan);

    perform(form, Action(action));

    QCOMPARE(form->StringGrid1->row(), row);
    QVERIFY(handled.isEmpty());
    QCOMPARE(form->Emb->currentPage(), page);
    QCOMPARE(box->text(), u"дома"_s);
    QCOMPARE(box->lineEdit()->cursorPosition(), 2);
    QCOMPARE(box->currentIndex(), 1);
    QVERIFY(!box->view()->isVisible());
    QVERIFY(boxHasFocus(form));
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::arrowKeys_inTheMiddle_data()
{
    QTest::addColumn<bool>("press");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("move");

    const Qt::KeyboardModifiers none;
    const int down = Qt::Key_Down;
    const int up = Qt::Key_Up;
    QTest::newRow("Down") << true << down << none << false << 1 << 1;
    QTest::newRow("Up") << true << up << none << false << 1 << -1;
    QTest::newRow("Down auto-repeat") << true << down << none << true << 1 << 1;
    QTest::newRow("Up auto-repeat") << true << up << none << true << 1 << -1;
    QTest::newRow("Down, two repeats folded") << true << down << none << true << 2 << 0;
    QTest::newRow("Up, two repeats folded") << true << up << none << true << 2 << 0;
    QTest::newRow("Down release") << false << down << none << false << 1 << 0;
    QTest::newRow("Up release") << false << up << none << false << 1 << 0;
    QTest::newRow("Ctrl+Down") << true << down << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 1 << 1;
    QTest::newRow("Ctrl+Up") << true << up << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 1 << -1;
    QTest::newRow("Alt+Down") << true << down << Qt::KeyboardModifiers(Qt::AltModifier) << false << 1 << 0;
    QTest::newRow("Alt+Up") << true << up << Qt::KeyboardModifiers(Qt::AltModifier) << false << 1 << 0;
    QTest::newRow("keypad Down") << true << down << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << 1 << 0;
    QTest::newRow("keypad Up") << true << up << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << 1 << 0;
}

void tst_QueryBox::arrowKeys_inTheMiddle()
{
    QFETCH(bool, press);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(int, count);
    QFETCH(int, move);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    form->StringGrid1->setRow(MiddleRow);
    QVERIFY(fixture.waitForArticle(articleOf(MiddleRow)));
    box->setListItems({u"кот"_s, u"мяч"_s, u"сад"_s});
    box->setCurrentIndex(1);
    box->setText(u"дом"_s);
    box->lineEdit()->setCursorPosition(1);
    const QString page = form->Emb->currentPage();
    QSignalSpy handled(form, &TForm1::selectCellRan);

    sendKey(form, press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(), autoRepeat,
            ushort(count));

    const int expectedRow = MiddleRow + move;
    QCOMPARE(form->StringGrid1->row(), expectedRow);
    QVERIFY(!box->view()->isVisible());
    QCOMPARE(box->currentIndex(), 1);
    QVERIFY(fixture.errors.isEmpty());
    if (move == 0) {
        QVERIFY(handled.isEmpty());
        QCOMPARE(form->Emb->currentPage(), page);
        QCOMPARE(box->text(), u"дом"_s);
        QCOMPARE(box->lineEdit()->cursorPosition(), 1);
    } else {
        QCOMPARE(rowsOf(handled), QList<int>{expectedRow});
        QCOMPARE(programState().CurrentHeadword, Words[expectedRow]);
        QVERIFY(fixture.waitForArticle(articleOf(expectedRow)));
        // The new row's headword differs from the box text.
        QCOMPARE(box->text(), QString());
    }
}

void tst_QueryBox::wheel_movesOneRow_data()
{
    QTest::addColumn<QString>("over");
    QTest::addColumn<bool>("boxFocused");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("move");
    QTest::newRow("box, one notch towards the user") << u"box"_s << true << -120 << 1;
    QTest::newRow("box, eight notches towards the user") << u"box"_s << true << -960 << 1;
    QTest::newRow("box, a fine step towards the user") << u"box"_s << true << -3 << 1;
    QTest::newRow("box, one notch away") << u"box"_s << true << 120 << -1;
    QTest::newRow("box, eight notches away") << u"box"_s << true << 960 << -1;
    QTest::newRow("box, no turn") << u"box"_s << true << 0 << 0;
    QTest::newRow("the box's drop-down button") << u"button"_s << true << -960 << 1;
    QTest::newRow("list, box focused") << u"list"_s << true << -960 << 1;
    QTest::newRow("view, box focused") << u"view"_s << true << 960 << -1;
    // With the list focused, the list's own rule applies: a row per notch.
    QTest::newRow("list, list focused") << u"list"_s << false << -240 << 2;
}

void tst_QueryBox::wheel_movesOneRow()
{
    QFETCH(QString, over);
    QFETCH(bool, boxFocused);
    QFETCH(int, delta);
    QFETCH(int, move);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    form->StringGrid1->setRow(MiddleRow);
    QVERIFY(fixture.waitForArticle(articleOf(MiddleRow)));
    if (!boxFocused)
        form->StringGrid1->setFocus();
    QSignalSpy handled(form, &TForm1::selectCellRan);
    TComboBox *box = form->ComboBox1;
    QWidget *widget = over == u"box"_s || over == u"button"_s ? static_cast<QWidget *>(box)
                      : over == u"list"_s                     ? form->StringGrid1->viewport()
                                                              : static_cast<QWidget *>(form->Emb);
    std::optional<QPoint> at;
    if (over == u"button"_s) {
        at = QPoint(box->width() - 4, box->height() / 2);
        QCOMPARE(box->childAt(*at), nullptr); // the box itself, not its field
    }

    turnWheel(form, widget, delta, at);

    const int expectedRow = MiddleRow + move;
    QCOMPARE(form->StringGrid1->row(), expectedRow);
    QCOMPARE(handled.size(), std::abs(move));
    QVERIFY(fixture.errors.isEmpty());
    if (move != 0)
        QVERIFY(fixture.waitForArticle(articleOf(expectedRow)));
}

void tst_QueryBox::shiftDown_emptiesThenMoves()
{
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    typeText(form, u"дом"_s);
    QCOMPARE(form->StringGrid1->row(), MiddleRow);
    QSignalSpy handled(form, &TForm1::selectCellRan);

    sendKey(form, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(form->ComboBox1->text(), QString());
    QVERIFY(handled.isEmpty());
    sendKey(form, QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    sendKey(form, QEvent::KeyRelease, Qt::Key_Down, Qt::ShiftModifier);
    sendKey(form, QEvent::KeyRelease, Qt::Key_Shift);

    QCOMPARE(rowsOf(handled), QList<int>{MiddleRow + 1});
    QCOMPARE(form->StringGrid1->row(), MiddleRow + 1);
    QCOMPARE(form->ComboBox1->text(), QString());
    QVERIFY(fixture.waitForArticle(articleOf(MiddleRow + 1)));
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::dropDown_f4OpensHistory_arrowsStepThroughIt()
{
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    box->setListItems({u"ЯМА"_s, u"балкон"_s, u"дом"_s});
    QCOMPARE(box->listItems(), (QStringList{u"яма"_s, u"балкон"_s, u"дом"_s}));
    QCOMPARE(box->text(), QString());
    QSignalSpy handled(form, &TForm1::selectCellRan);

    tapKey(form, Qt::Key_F4);
    QTRY_VERIFY(box->view()->isVisible());
    const int opened = box->view()->currentIndex().row();
    tapKey(form, Qt::Key_Down);
    tapKey(form, Qt::Key_Down);
    tapKey(form, Qt::Key_Up);
    // Stepping through the open list neither moves the word list nor searches.
    QCOMPARE(box->view()->currentIndex().row(), opened + 1);
    QVERIFY(box->view()->isVisible());
    QCOMPARE(form->StringGrid1->row(), 0);
    QVERIFY(handled.isEmpty());

    const QString chosen = box->itemText(opened + 1);
    tapKey(form, Qt::Key_Return);

    QTRY_VERIFY(!box->view()->isVisible());
    QCOMPARE(box->text(), chosen);
    const int found = int(Words.indexOf(chosen.toUpper()));
    QVERIFY(found > 0);
    QCOMPARE(form->StringGrid1->row(), found);
    QCOMPARE(rowsOf(handled), QList<int>{found});
    QVERIFY(fixture.waitForArticle(articleOf(found)));
    // The search keeps the chosen text in the box.
    QCOMPARE(box->text(), chosen);
    QVERIFY(programState().ClearQueryOnSelect);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::shift_emptiesBox_noSearch_data()
{
    QTest::addColumn<bool>("press");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<bool>("empties");
    const Qt::KeyboardModifiers shift(Qt::ShiftModifier);
    QTest::newRow("press") << true << shift << false << true;
    QTest::newRow("auto-repeat") << true << shift << true << true;
    QTest::newRow("with Ctrl (layout switch)") << true << (shift | Qt::ControlModifier) << false << true;
    QTest::newRow("with Alt (layout switch)") << true << (shift | Qt::AltModifier) << false << true;
    QTest::newRow("release") << false << Qt::KeyboardModifiers() << false << false;
}

void tst_QueryBox::shift_emptiesBox_noSearch()
{
    QFETCH(bool, press);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(bool, empties);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    typeText(form, u"дом"_s);
    QCOMPARE(form->StringGrid1->row(), MiddleRow);
    QVERIFY(fixture.waitForArticle(articleOf(MiddleRow)));
    const QString page = form->Emb->currentPage();
    QSignalSpy handled(form, &TForm1::selectCellRan);
    QSignalSpy changed(form->ComboBox1, &TComboBox::change);

    sendKey(form, press ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Shift, modifiers, QString(), autoRepeat);

    QCOMPARE(form->ComboBox1->text(), empties ? QString() : u"дом"_s);
    QVERIFY(changed.isEmpty());
    QVERIFY(handled.isEmpty());
    QCOMPARE(form->StringGrid1->row(), MiddleRow);
    QCOMPARE(form->Emb->currentPage(), page);
    QCOMPARE(programState().CurrentHeadword, Words[MiddleRow]);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::shiftedLetter_standsAlone()
{
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    typeText(form, u"аба"_s);
    QCOMPARE(form->StringGrid1->row(), 0);

    // Shift goes down before the letter: the box empties, then the capital
    // stands alone, in lower case, and is searched.
    sendKey(form, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    sendKey(form, QEvent::KeyPress, 0x0411, Qt::ShiftModifier, u"Б"_s);
    sendKey(form, QEvent::KeyRelease, 0x0411, Qt::ShiftModifier, u"Б"_s);
    sendKey(form, QEvent::KeyRelease, Qt::Key_Shift);

    QCOMPARE(form->ComboBox1->text(), u"б"_s);
    QCOMPARE(form->StringGrid1->row(), 1);
    QVERIFY(fixture.waitForArticle(articleOf(1)));
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::typing_searches_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("row");
    QTest::newRow("lower case") << u"дом"_s << u"дом"_s << 3;
    QTest::newRow("capitals show in lower case") << u"ДОМ"_s << u"дом"_s << 3;
    QTest::newRow("longer prefix") << u"дома"_s << u"дома"_s << 4;
    QTest::newRow("the first of several hits") << u"до"_s << u"до"_s << 3;
    QTest::newRow("ё finds Е, never the stored Ё") << u"ёлка"_s << u"ёлка"_s << 6;
    QTest::newRow("Ё finds Е, never the stored Ё") << u"Ё"_s << u"ё"_s << 6;
    QTest::newRow("blanks around are trimmed") << u"  дом "_s << u"  дом "_s << 3;
    QTest::newRow("a blank inside stays") << u"по ходу"_s << u"по ходу"_s << 7;
    QTest::newRow("nothing found") << u"юг"_s << u"юг"_s << 0;
    QTest::newRow("nothing found after a hit") << u"домик"_s << u"домик"_s << 3;
    QTest::newRow("only blanks") << u"   "_s << u"   "_s << 0;
    QTest::newRow("longer than every headword") << u"абажурище"_s << u"абажурище"_s << 0;
}

void tst_QueryBox::typing_searches()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, row);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    QSignalSpy handled(form, &TForm1::selectCellRan);

    typeText(form, typed);

    QCOMPARE(form->ComboBox1->text(), shown);
    QCOMPARE(form->StringGrid1->row(), row);
    QCOMPARE(programState().CurrentHeadword, Words[row]);
    QVERIFY(!rowsOf(handled).contains(5)); // ЁЛКА
    if (row == 0)
        QVERIFY(handled.isEmpty());
    else
        QCOMPARE(rowsOf(handled).last(), row);
    QVERIFY(fixture.waitForArticle(articleOf(row)));
    QVERIFY(programState().ClearQueryOnSelect);
    QCOMPARE(form->ComboBox1->lineEdit()->cursorPosition(), int(shown.size()));
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::programText_raisesNoSearch()
{
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    QSignalSpy handled(form, &TForm1::selectCellRan);
    QSignalSpy changed(box, &TComboBox::change);

    box->setText(u"ДОМ"_s);
    QCOMPARE(box->text(), u"дом"_s);
    box->setListItems({u"яма"_s, u"балкон"_s});
    box->insertListItem(0, u"ВЕТЕР"_s);
    box->removeListItem(2);

    QCOMPARE(box->listItems(), (QStringList{u"ветер"_s, u"яма"_s}));
    QCOMPARE(box->text(), u"дом"_s);
    QVERIFY(changed.isEmpty());
    QVERIFY(handled.isEmpty());
    QCOMPARE(form->StringGrid1->row(), 0);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::leavingBox_runsNoSearch()
{
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    // The typed text is also a history item, though not the current one.
    box->setListItems({u"яма"_s, u"дом"_s});
    typeText(form, u"дом"_s);
    QCOMPARE(form->StringGrid1->row(), MiddleRow);
    form->StringGrid1->verticalScrollBar()->setValue(form->StringGrid1->verticalScrollBar()->maximum());
    const int top = form->StringGrid1->topRow();
    QSignalSpy changed(box, &TComboBox::change);

    // Enter, then the focus leaves for the view: neither is an edit or a choice.
    tapKey(form, Qt::Key_Return);
    form->Emb->setFocusToDoc();
    QTRY_VERIFY(!boxHasFocus(form));

    QVERIFY(changed.isEmpty());
    QCOMPARE(form->StringGrid1->topRow(), top);
    QCOMPARE(box->text(), u"дом"_s);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::windowed_searchesKeyLetterRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("emptyRangeOfД");
    QTest::addColumn<QString>("headword");
    // Entries in key-letter runs: Д (0, 1), Т (2 to 4). No other initials.
    QTest::newRow("-то: the range of Т, key after the hyphen") << u"-то"_s << false << u"-ТО"_s;
    QTest::newRow("то finds ТОРТ, not -ТО") << u"то"_s << false << u"ТОРТ"_s;
    QTest::newRow("дома in the range of Д") << u"дома"_s << false << u"ДОМА"_s;
    QTest::newRow("a lone hyphen: no other initials") << u"-"_s << false << u"ДОМ"_s;
    QTest::newRow("range of Д is -1") << u"дома"_s << true << u"ДОМ"_s;
}

void tst_QueryBox::windowed_searchesKeyLetterRange()
{
    QFETCH(QString, typed);
    QFETCH(bool, emptyRangeOfД);
    QFETCH(QString, headword);
    const QStringList words = {u"ДОМ"_s, u"ДОМА"_s, u"ТАЗ"_s, u"-ТО"_s, u"ТОРТ"_s};
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries(words), true);
    if (emptyRangeOfД)
        patchLetterRange(fixture, u'Д', -1, -1);
    QVERIFY(!QTest::currentTestFailed());
    TForm1 *form = fixture.start();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->ComboBox1->setFocus();
    QVERIFY(programState().WindowedMode);
    QVERIFY(fixture.waitForArticle(u"ДОМ — статья 0"_s));
    QSignalSpy handled(form, &TForm1::selectCellRan);

    typeText(form, typed);

    QCOMPARE(programState().CurrentHeadword, headword);
    const int entry = int(words.indexOf(headword));
    QVERIFY(fixture.waitForArticle(headword + u" — статья "_s + QString::number(entry)));
    if (entry == 0)
        QVERIFY(handled.isEmpty());
    QCOMPARE(form->ComboBox1->text(), typed);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::letterRangeOutsideWordIndex_reportsIndexError_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QStringList>("errors");
    // Entries: 0 ДОМ, 1 ДОМА, 2 ЯМА. The report adds no full stop after ")".
    QTest::newRow("last beyond the index") << 2 << 10 << u"яр"_s << u"ЯМА"_s
                                           << QStringList{u"List index out of bounds (3)"_s};
    QTest::newRow("whole range beyond the index") << 7 << 9 << u"я"_s << u"ДОМ"_s
                                                  << QStringList{u"List index out of bounds (7)"_s};
    QTest::newRow("first below zero") << -3 << 2 << u"я"_s << u"ДОМ"_s
                                      << QStringList{u"List index out of bounds (-3)"_s};
    QTest::newRow("a hit before the end") << 2 << 10 << u"ям"_s << u"ЯМА"_s << QStringList{};
}

void tst_QueryBox::letterRangeOutsideWordIndex_reportsIndexError()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, typed);
    QFETCH(QString, headword);
    QFETCH(QStringList, errors);
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"ДОМ"_s, u"ДОМА"_s, u"ЯМА"_s}), true);
    patchLetterRange(fixture, u'Я', first, last);
    QVERIFY(!QTest::currentTestFailed());
    TForm1 *form = fixture.start();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->ComboBox1->setFocus();
    QVERIFY(fixture.waitForArticle(u"ДОМ — статья 0"_s));

    typeText(form, typed);

    QCOMPARE(fixture.errors, errors);
    QCOMPARE(programState().CurrentHeadword, headword);
    QCOMPARE(form->ComboBox1->text(), typed);
    QVERIFY(programState().ClearQueryOnSelect);
    QVERIFY(fixture.waitForArticle(headword));

    // Nothing else is broken: Shift empties the box and the next search works.
    sendKey(form, QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    sendKey(form, QEvent::KeyRelease, Qt::Key_Shift);
    typeText(form, u"дома"_s);
    QCOMPARE(programState().CurrentHeadword, u"ДОМА"_s);
    QVERIFY(fixture.waitForArticle(u"ДОМА — статья 1"_s));
    QCOMPARE(fixture.errors, errors);
}

void tst_QueryBox::failedListMove_clearQueryOnSelectOnAgain()
{
    MainWindowFixture fixture;
    fixture.writeSetWithBadThirdOffset();
    TForm1 *form = fixture.start();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->ComboBox1->setFocus();
    QVERIFY(fixture.waitForArticle(u"АБАЖУР ..."_s));
    form->ComboBox1->setText(u"вете"_s);
    form->ComboBox1->putCaretAtEnd();
    const QString page = form->Emb->currentPage();

    typeText(form, u"р"_s);

    QCOMPARE(fixture.errors, QStringList{u"''abc'' is not a valid integer value."_s});
    QVERIFY(programState().ClearQueryOnSelect);
    QCOMPARE(form->StringGrid1->row(), 0);
    QCOMPARE(form->Emb->currentPage(), page);
    // The headword on show is still the one of the current row.
    QCOMPARE(programState().CurrentHeadword, u"АБАЖУР"_s);
    form->PushHistory();
    QCOMPARE(form->ComboBox1->listItems(), QStringList{u"абажур"_s});
    QCOMPARE(form->ComboBox1->text(), u"ветер"_s);

    // The user's next row change empties the box, whose text differs from the row's.
    tapKey(form, Qt::Key_Down);

    QCOMPARE(form->StringGrid1->row(), 1);
    QCOMPARE(form->ComboBox1->text(), QString());
    QVERIFY(fixture.waitForArticle(u"БАЛКОН"_s));
    QCOMPARE(fixture.errors.size(), 1);
}

void tst_QueryBox::pointerOverList_takesFocusFromView_data()
{
    QTest::addColumn<bool>("startupDone");
    QTest::newRow("after start-up") << true;
    QTest::newRow("the list has no start-up condition") << false;
}

void tst_QueryBox::pointerOverList_takesFocusFromView()
{
    QFETCH(bool, startupDone);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    programState().StartupDone = startupDone;
    TComboBox *box = form->ComboBox1;
    box->setText(u"дом"_s);
    box->lineEdit()->setSelection(0, 2);
    form->Emb->setFocusToDoc();
    QTRY_VERIFY(!boxHasFocus(form));
    QSignalSpy moved(form->StringGrid1, &TStringGrid::mouseMoved);

    QWidget *rows = form->StringGrid1->viewport();
    QTest::mouseMove(rows, rows->rect().center());

    QTRY_VERIFY(!moved.isEmpty());
    QVERIFY(boxHasFocus(form));
    QCOMPARE(box->lineEdit()->cursorPosition(), 3);
    QVERIFY(!box->lineEdit()->hasSelectedText());
    QCOMPARE(box->text(), u"дом"_s);
    QCOMPARE(form->StringGrid1->row(), 0);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_QueryBox::pointerEntersBox_afterStartupOnly_data()
{
    QTest::addColumn<bool>("startupDone");
    QTest::addColumn<bool>("boxFocusedBefore");
    QTest::newRow("during start-up, list focused") << false << false;
    QTest::newRow("during start-up, box focused") << false << true;
    QTest::newRow("after start-up, list focused") << true << false;
    QTest::newRow("after start-up, box focused") << true << true;
}

void tst_QueryBox::pointerEntersBox_afterStartupOnly()
{
    QFETCH(bool, startupDone);
    QFETCH(bool, boxFocusedBefore);
    MainWindowFixture fixture;
    QVERIFY(startFocused(fixture, Words));
    TForm1 *form = fixture.form();
    TComboBox *box = form->ComboBox1;
    box->setText(u"дом"_s);
    if (!boxFocusedBefore) {
        form->StringGrid1->setFocus();
        QTRY_VERIFY(!boxHasFocus(form));
    }
    box->lineEdit()->setSelection(0, 2);
    programState().StartupDone = startupDone;
    QWindow *window = form->windowHandle();
    // From the help button (outside the box and the list) into the box.
    QTest::mouseMove(window, form->SpeedButtonHelp->mapTo(form, form->SpeedButtonHelp->rect().center()));
    QSignalSpy entered(box, &TComboBox::mouseEntered);

    QTest::mouseMove(window, box->mapTo(form, QPoint(5, box->height() / 2)));

    QTRY_COMPARE(entered.size(), 1);
    QCOMPARE(boxHasFocus(form), startupDone || boxFocusedBefore);
    if (startupDone) {
        QCOMPARE(box->lineEdit()->cursorPosition(), 3);
        QVERIFY(!box->lineEdit()->hasSelectedText());
    } else {
        QCOMPARE(box->lineEdit()->selectedText(), u"до"_s);
    }
    QCOMPARE(box->text(), u"дом"_s);
    QVERIFY(fixture.errors.isEmpty());
}

GLOSSA_GUI_TEST_MAIN(tst_QueryBox)
#include "tst_query_box.moc"
