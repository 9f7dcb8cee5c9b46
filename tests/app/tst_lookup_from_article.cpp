// Looking a word up from the article in the real view: the double-click,
// the selection's limits, the view rectangle, and the "Копировать" menu.

#include <QAbstractItemModel>
#include <QClipboard>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWindow>

#include "app/panel_splitter.h"
#include "app/program_state.h"
#include "gui_test_main.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "main_window_fixture.h"
#include "view/WbPopup.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

// Entry 0's article holds the word "СВЕТ" in a span of its own; the first
// headword that begins with it is СВЕТИЛО.
std::vector<SetEntry> lampSet()
{
    return {
        {u"АБАЖУР"_s, u"АБАЖУР — колпак, смягчающий <span id=\"w\">СВЕТ</span> <span id=\"x\">лампы</span>"_s},
        {u"ЛАМПА"_s, u"ЛАМПА — статья 1"_s},
        {u"СВЕТИЛО"_s, u"СВЕТИЛО — статья 2"_s},
        {u"СВЕТИЛЬНИК"_s, u"СВЕТИЛЬНИК — статья 3"_s},
    };
}

QVariant runJavaScript(TEmbeddedWB *view, const QString &script)
{
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 5000)
        QTest::qWait(5);
    return result;
}

QString jsString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The global point at the centre of the element with this id.
QPoint elementCentre(TForm1 *form, const QString &id)
{
    const QVariantList xy = runJavaScript(form->Emb, u"(function(){var r=document.getElementById(%1)"
                                                     u".getBoundingClientRect();"
                                                     u"return [r.left + r.width / 2, r.top + r.height / 2];})()"_s
                                                         .arg(jsString(id)))
                                .toList();
    if (xy.size() != 2)
        return {};
    return form->Emb->mapToGlobal(QPoint(qRound(xy[0].toDouble()), qRound(xy[1].toDouble())));
}

// Puts the text into the page in a block that keeps its blanks and selects
// all of it (nothing for an empty text). Returns the selection as the page
// sees it.
QString selectInPage(TEmbeddedWB *view, const QString &text)
{
    return runJavaScript(view, u"(function(t){var d=document.getElementById('sel');"
                               u"if(!d){d=document.createElement('div');d.id='sel';d.style.whiteSpace='pre';"
                               u"document.body.appendChild(d);}"
                               u"d.textContent=t;var s=window.getSelection();s.removeAllRanges();"
                               u"if(t.length){var r=document.createRange();r.selectNodeContents(d);s.addRange(r);}"
                               u"return s.toString();})(%1)"_s.arg(jsString(text)))
        .toString();
}

void selectElement(TEmbeddedWB *view, const QString &id)
{
    runJavaScript(view, u"(function(){var s=window.getSelection();s.removeAllRanges();"
                        u"var r=document.createRange();r.selectNodeContents(document.getElementById(%1));"
                        u"s.addRange(r);})()"_s.arg(jsString(id)));
}

// A click and then a double-click at a global point, as the user makes them.
void doubleClickAt(TForm1 *form, const QPoint &global)
{
    QCursor::setPos(global);
    QWindow *window = form->windowHandle();
    const QPoint local = form->mapFromGlobal(global);
    QTest::mouseClick(window, Qt::LeftButton, {}, local);
    QTest::mouseDClick(window, Qt::LeftButton, {}, local);
}

// A point of the view rectangle: "left", "left+1", "centre", "right-1",
// "right" (left + width), the same with top and bottom for y.
int coordinate(const QString &at, int start, int length)
{
    if (at == u"centre"_s)
        return start + length / 2;
    if (at.endsWith(u"+1"_s))
        return start + 1;
    if (at.endsWith(u"-1"_s))
        return start + length - 1;
    if (at == u"left"_s || at == u"top"_s)
        return start;
    return start + length;
}

} // namespace

class tst_LookupFromArticle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void doubleClick_looksUpTheWord();
    void doubleClick_againBeforeTheTick_oneLookUp();
    void doubleClick_wordWithoutHeadword_data();
    void doubleClick_wordWithoutHeadword();
    void selection_lengthLimits_data();
    void selection_lengthLimits();
    void doubleClick_onlyStrictlyInsideTheView_data();
    void doubleClick_onlyStrictlyInsideTheView();
    void doubleClick_onTheWordList_nothing();
    void viewScreenRect_followsTheView();
    void copy1Click_data();
    void copy1Click();
    void rightClick_menuCopiesTheSelection();

private:
    TForm1 *startLampSet(MainWindowFixture &fixture);
};

void tst_LookupFromArticle::init()
{
    // As main() does before the window exists.
    installRightButtonFilter();
}

void tst_LookupFromArticle::cleanup()
{
    removeRightButtonFilter();
}

TForm1 *tst_LookupFromArticle::startLampSet(MainWindowFixture &fixture)
{
    fixture.writeSet(lampSet());
    TForm1 *form = fixture.start();
    if (!fixture.errors.isEmpty() || !fixture.waitForArticle(u"колпак"_s))
        return nullptr;
    // The first tick after creation has passed.
    QElapsedTimer timer;
    timer.start();
    while (form->TimerHookMouse->isActive() && timer.elapsed() < 2000)
        QTest::qWait(10);
    return form->TimerHookMouse->isActive() ? nullptr : form;
}

void tst_LookupFromArticle::doubleClick_looksUpTheWord()
{
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QSignalSpy lookedUp(form, &TForm1::selectionLookedUp);
    const QPoint word = elementCentre(form, u"w"_s);
    QVERIFY(TForm1::strictlyInside(form->viewScreenRect(), word));

    doubleClickAt(form, word);

    QTRY_COMPARE_WITH_TIMEOUT(lookedUp.size(), 1, 3000);
    QCOMPARE(lookedUp.at(0).at(0).toString(), u"СВЕТ"_s);
    QCOMPARE(form->ComboBox1->text(), u"свет"_s);
    QCOMPARE(form->StringGrid1->row(), 2);
    QCOMPARE(programState().CurrentHeadword, u"СВЕТИЛО"_s);
    QVERIFY(fixture.waitForArticle(u"СВЕТИЛО — статья 2"_s));
    QCOMPARE(form->ComboBox1->listItems(), QStringList{u"абажур"_s});
    QVERIFY(fixture.errors.isEmpty());
}

void tst_LookupFromArticle::doubleClick_againBeforeTheTick_oneLookUp()
{
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QSignalSpy lookedUp(form, &TForm1::selectionLookedUp);
    const QPoint word = elementCentre(form, u"w"_s);

    doubleClickAt(form, word);
    QVERIFY(form->TimerHookMouse->isActive());
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, form->mapFromGlobal(word));

    QTRY_COMPARE_WITH_TIMEOUT(lookedUp.size(), 1, 3000);
    QVERIFY(fixture.waitForArticle(u"СВЕТИЛО — статья 2"_s));
    QTest::qWait(1200); // longer than the longest wait for a selection
    QCOMPARE(lookedUp.size(), 1);
    QCOMPARE(form->ComboBox1->listItems(), QStringList{u"абажур"_s});
    QCOMPARE(form->StringGrid1->row(), 2);
}

void tst_LookupFromArticle::doubleClick_wordWithoutHeadword_data()
{
    QTest::addColumn<bool>("selectedBefore");
    QTest::newRow("word not selected") << false;
    QTest::newRow("word already selected") << true;
}

void tst_LookupFromArticle::doubleClick_wordWithoutHeadword()
{
    QFETCH(bool, selectedBefore);
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QSignalSpy lookedUp(form, &TForm1::selectionLookedUp);
    if (selectedBefore) {
        selectElement(form->Emb, u"x"_s);
        QTRY_COMPARE_WITH_TIMEOUT(form->Emb->selectedText(), u"лампы"_s, 3000);
    }
    const QPoint word = elementCentre(form, u"x"_s);

    // No headword begins with ЛАМПЫ: the list and the article stay, the box
    // shows the word, and the history still gets the headword on show.
    for (int round = 1; round <= 2; ++round) {
        doubleClickAt(form, word);
        QTRY_COMPARE_WITH_TIMEOUT(lookedUp.size(), round, 3000);
        QCOMPARE(lookedUp.last().at(0).toString(), u"лампы"_s);
        QCOMPARE(form->ComboBox1->text(), u"лампы"_s);
        QCOMPARE(form->StringGrid1->row(), 0);
        QCOMPARE(programState().CurrentHeadword, u"АБАЖУР"_s);
        QCOMPARE(form->ComboBox1->listItems(), QStringList{u"абажур"_s});
    }
    QVERIFY(fixture.articleText().contains(u"колпак"_s));
    QVERIFY(fixture.errors.isEmpty());
}

void tst_LookupFromArticle::selection_lengthLimits_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("lookedUp"); // empty: ignored

    const QString a130(130, u'а');
    QTest::newRow("130 units") << a130 << a130;
    QTest::newRow("131 units") << QString(131, u'а') << QString();
    QTest::newRow("130 units between blanks") << (u"  \t"_s + a130 + u" \n "_s) << a130;
    QTest::newRow("131 units between blanks") << (u" "_s + QString(131, u'б') + u"\n\t"_s) << QString();
    QTest::newRow("blanks and line breaks only") << u" \n\t  \n "_s << QString();
    QTest::newRow("nothing selected") << QString() << QString();
    // 65 letters outside the BMP are 130 code units.
    QString astral;
    for (int i = 0; i < 65; ++i)
        astral += u"\U0001D538"_s;
    QTest::newRow("130 units as surrogate pairs") << astral << astral;
    QTest::newRow("131 units with surrogate pairs") << (astral + u'а') << QString();
    QTest::newRow("a word that starts a headword") << u" ламп "_s << u"ламп"_s;
}

void tst_LookupFromArticle::selection_lengthLimits()
{
    QFETCH(QString, selection);
    QFETCH(QString, lookedUp);
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QSignalSpy spy(form, &TForm1::selectionLookedUp);

    const QString pageSelection = selectInPage(form->Emb, selection);
    QCOMPARE(pageSelection, selection);
    QTRY_COMPARE_WITH_TIMEOUT(form->Emb->selectedText(), selection, 3000);

    // A tick with no double-click pending reads the selection at once.
    form->TimerHookMouse->start();
    QTRY_VERIFY_WITH_TIMEOUT(!form->TimerHookMouse->isActive(), 2000);

    if (lookedUp.isEmpty()) {
        QCOMPARE(spy.size(), 0);
        QCOMPARE(form->ComboBox1->count(), 0);
        QCOMPARE(form->ComboBox1->text(), QString());
        QCOMPARE(form->StringGrid1->row(), 0);
    } else {
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), lookedUp);
        QCOMPARE(form->ComboBox1->listItems(), QStringList{u"абажур"_s});
        QCOMPARE(form->ComboBox1->text(), lookedUp.toLower());
    }
    QVERIFY(fixture.errors.isEmpty());
}

void tst_LookupFromArticle::doubleClick_onlyStrictlyInsideTheView_data()
{
    QTest::addColumn<QString>("xAt");
    QTest::addColumn<QString>("yAt");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<bool>("rightButton");
    QTest::newRow("centre") << u"centre"_s << u"centre"_s << true << false;
    QTest::newRow("next to the top-left corner") << u"left+1"_s << u"top+1"_s << true << false;
    QTest::newRow("next to the bottom-right corner") << u"right-1"_s << u"bottom-1"_s << true << false;
    QTest::newRow("left edge") << u"left"_s << u"centre"_s << false << false;
    QTest::newRow("right edge") << u"right"_s << u"centre"_s << false << false;
    QTest::newRow("top edge") << u"centre"_s << u"top"_s << false << false;
    QTest::newRow("bottom edge") << u"centre"_s << u"bottom"_s << false << false;
    QTest::newRow("top-left corner") << u"left"_s << u"top"_s << false << false;
    QTest::newRow("right button, centre") << u"centre"_s << u"centre"_s << true << true;
}

void tst_LookupFromArticle::doubleClick_onlyStrictlyInsideTheView()
{
    QFETCH(QString, xAt);
    QFETCH(QString, yAt);
    QFETCH(bool, inside);
    QFETCH(bool, rightButton);
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    const auto closeMenu = qScopeGuard([form] { form->PopupMenu1->close(); });
    const QRect rect = form->viewScreenRect();
    const QPoint point(coordinate(xAt, rect.left(), rect.width()), coordinate(yAt, rect.top(), rect.height()));
    QCOMPARE(TForm1::strictlyInside(rect, point), inside);

    if (rightButton) {
        QCursor::setPos(point);
        QTest::mouseDClick(form->windowHandle(), Qt::RightButton, {}, form->mapFromGlobal(point));
    } else {
        doubleClickAt(form, point);
    }

    // The filter arms the timer as a left double-click passes.
    QCOMPARE(form->TimerHookMouse->isActive(), inside && !rightButton);
    QVERIFY(fixture.errors.isEmpty());
}

void tst_LookupFromArticle::doubleClick_onTheWordList_nothing()
{
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QSignalSpy lookedUp(form, &TForm1::selectionLookedUp);
    selectElement(form->Emb, u"w"_s);
    QTRY_COMPARE_WITH_TIMEOUT(form->Emb->selectedText(), u"СВЕТ"_s, 3000);

    // On the current row, so the article and its selection stay.
    const QRect rowRect = form->StringGrid1->visualRect(form->StringGrid1->model()->index(0, 0));
    const QPoint onList = form->StringGrid1->viewport()->mapToGlobal(QPoint(20, rowRect.center().y()));
    QVERIFY(!TForm1::strictlyInside(form->viewScreenRect(), onList));
    doubleClickAt(form, onList);

    QVERIFY(!form->TimerHookMouse->isActive());
    QTest::qWait(300);
    QCOMPARE(lookedUp.size(), 0);
    QCOMPARE(form->ComboBox1->count(), 0);
    QCOMPARE(form->StringGrid1->row(), 0);
    QCOMPARE(form->Emb->selectedText(), u"СВЕТ"_s);
}

void tst_LookupFromArticle::viewScreenRect_followsTheView()
{
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QCOMPARE(form->viewScreenRect(), QRect(form->Emb->mapToGlobal(QPoint(0, 0)), form->Emb->size()));

    const QRect before = form->viewScreenRect();
    const int leftBefore = form->LeftPanel->width();
    form->Splitter1->dragTo(leftBefore + 40);
    QCOMPARE(form->LeftPanel->width(), leftBefore + 40);
    const QRect after = form->viewScreenRect();
    QCOMPARE(after.left(), before.left() + 40);
    QCOMPARE(after.right(), before.right());
    QCOMPARE(after, QRect(form->Emb->mapToGlobal(QPoint(0, 0)), form->Emb->size()));

    form->move(form->pos() + QPoint(17, 9));
    QTRY_COMPARE(form->viewScreenRect().topLeft(), after.topLeft() + QPoint(17, 9));
}

void tst_LookupFromArticle::copy1Click_data()
{
    QTest::addColumn<QString>("selection");
    QTest::newRow("selection with blanks at its ends") << u"  свет\tлампы \n\t"_s;
    QTest::newRow("nothing selected") << QString();
}

void tst_LookupFromArticle::copy1Click()
{
    QFETCH(QString, selection);
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(u"прежнее"_s);
    QCOMPARE(selectInPage(form->Emb, selection), selection);
    QTRY_COMPARE_WITH_TIMEOUT(form->Emb->selectedText(), selection, 3000);

    form->Copy1Click();

    QCOMPARE(clipboard->text(), selection);
    QVERIFY(clipboard->mimeData()->hasText());
    QVERIFY(fixture.errors.isEmpty());
}

void tst_LookupFromArticle::rightClick_menuCopiesTheSelection()
{
    MainWindowFixture fixture;
    TForm1 *form = startLampSet(fixture);
    QVERIFY(form);
    QGuiApplication::clipboard()->clear();
    selectElement(form->Emb, u"w"_s);
    QTRY_COMPARE_WITH_TIMEOUT(form->Emb->selectedText(), u"СВЕТ"_s, 3000);
    const QPoint word = elementCentre(form, u"w"_s);
    QCursor::setPos(word);
    const auto closeMenu = qScopeGuard([form] { form->PopupMenu1->close(); });

    QTest::mouseClick(form->windowHandle(), Qt::RightButton, {}, form->mapFromGlobal(word));

    QTRY_VERIFY_WITH_TIMEOUT(form->PopupMenu1->isVisible(), 3000);
    QCOMPARE(form->PopupMenu1->actions(), QList<QAction *>{form->Copy1});
    QCOMPARE(form->Copy1->text(), u"Копировать"_s);
    QTest::mouseClick(form->PopupMenu1, Qt::LeftButton, {}, form->PopupMenu1->actionGeometry(form->Copy1).center());
    QTRY_VERIFY(!form->PopupMenu1->isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), form->Emb->selectedText());
    QVERIFY(QGuiApplication::clipboard()->text().contains(u"СВЕТ"_s));
    QVERIFY(fixture.errors.isEmpty());
}

GLOSSA_GUI_TEST_MAIN(tst_LookupFromArticle)
#include "tst_lookup_from_article.moc"
