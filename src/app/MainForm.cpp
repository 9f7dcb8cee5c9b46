#include "app/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWheelEvent>

#include "app/FormAbout.h"
#include "app/history_file.h"
#include "app/panel_splitter.h"
#include "app/program_state.h"
#include "lookup/query_box.h"
#include "lookup/search.h"
#include "lookup/string_grid.h"
#include "platform/error_report.h"
#include "platform/keyboard_layout.h"
#include "platform/mapped_file.h"
#include "platform/mouse_filter_chain.h"
#include "store/dictionary_set.h"
#include "view/article_page.h"
#include "view/embedded_wb.h"

namespace {

const QString DesignCaption = QStringLiteral("Электронный словарь ");
const QString MainCaption = QStringLiteral("Толковый словарь русского языка под редакцией Глоссы");
const QString HistoryFolder = QStringLiteral("CFiles");
const QString HistoryFileName = QStringLiteral("history.trv");

// Look-ups from the article take selections of 1 to 130 code units.
constexpr qsizetype MaxLookupLength = 130;
// How long a double-click's look-up waits for the engine's selection at most.
constexpr int SelectionWaitMs = 1000;

// The design's geometry, in pixels at 96 dpi.
constexpr int ClientWidth = 772;
constexpr int ClientHeight = 496;
constexpr int MinOuterWidth = 400;
constexpr int MinOuterHeight = 300;
constexpr int BaseLeft = 8, BaseTop = 16, BaseRight = 3, BaseBottom = 7;
constexpr int LeftPanelWidth = 233;
constexpr int LeftPanelMinWidth = 150;
constexpr int RightPanelMinWidth = 100;
constexpr int SplitterWidth = 3;
// During a drag at least this much stays right of the splitter.
constexpr int RightOfSplitterMin = 150;
constexpr int QueryBoxHeight = 23;
constexpr int QueryBoxRightGap = 32;
constexpr int HelpButtonWidth = 23, HelpButtonHeight = 22, HelpButtonRightGap = 2;
constexpr int WordListTop = 32;

QString historyFilePath()
{
    return HistoryFolder + u'/' + HistoryFileName;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(DesignCaption);
    createControls();

    move(183, 115);
    resize(ClientWidth, ClientHeight);

    // Both timers run from the window's creation on.
    TimerHookMouse->start();
    TimerFocusWB->start();
}

TForm1::~TForm1()
{
    if (m_doubleClickHook)
        removeMouseFilter(m_doubleClickHook);
    qApp->removeEventFilter(this);
}

void TForm1::createControls()
{
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    setFont(formFont);

    BasePanel = new QWidget(this);
    BasePanel->setObjectName(QStringLiteral("BasePanel"));

    Splitter1 = new PanelSplitter(LeftPanelMinWidth, RightOfSplitterMin, BasePanel);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(SplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setOpaqueResize(true);

    LeftPanel = new QWidget;
    LeftPanel->setObjectName(QStringLiteral("LeftPanel"));
    LeftPanel->setMinimumWidth(LeftPanelMinWidth);

    RightPanel = new QFrame;
    RightPanel->setObjectName(QStringLiteral("RightPanel"));
    RightPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    RightPanel->setLineWidth(1);
    RightPanel->setMinimumWidth(RightPanelMinWidth);

    Splitter1->addWidget(LeftPanel);
    Splitter1->addWidget(RightPanel);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->handle(1)->setCursor(Qt::SizeHorCursor);

    ComboBox1 = new TComboBox(LeftPanel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    QFont boxFont(QStringLiteral("Arial"));
    boxFont.setPixelSize(12);
    ComboBox1->setFont(boxFont);

    StringGrid1 = new TStringGrid(LeftPanel);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));

    SpeedButtonHelp = new QToolButton(LeftPanel);
    SpeedButtonHelp->setObjectName(QStringLiteral("SpeedButtonHelp"));
    SpeedButtonHelp->setText(QStringLiteral("?"));
    SpeedButtonHelp->setAutoRaise(true);
    SpeedButtonHelp->setFocusPolicy(Qt::NoFocus);

    Emb = new TEmbeddedWB(RightPanel);
    Emb->setObjectName(QStringLiteral("Emb"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Copy1 = PopupMenu1->addAction(QStringLiteral("Копировать"));
    Copy1->setObjectName(QStringLiteral("Copy1"));

    TimerHookMouse = new QTimer(this);
    TimerHookMouse->setObjectName(QStringLiteral("TimerHookMouse"));
    TimerHookMouse->setInterval(100);
    TimerFocusWB = new QTimer(this);
    TimerFocusWB->setObjectName(QStringLiteral("TimerFocusWB"));
    TimerFocusWB->setInterval(300);

    m_selectionWait = new QTimer(this);
    m_selectionWait->setSingleShot(true);
    m_selectionWait->setInterval(SelectionWaitMs);

    m_keyboardLayout = new RussianKeyboardLayout(this);

    setTabOrder(ComboBox1, StringGrid1);
    ComboBox1->setFocus();

    StringGrid1->setRowText([this](int row) { return rowText(row); });
    StringGrid1->setSelectHandler([this](int row) { StringGrid1SelectCell(row); });

    connect(ComboBox1, &TComboBox::change, this, [this] { reportErrors([this] { ComboBox1Change(); }); });
    connect(ComboBox1, &TComboBox::keyDown, this, [this](int key) { reportErrors([&] { ComboBox1KeyDown(key); }); });
    connect(ComboBox1, &TComboBox::mouseEntered, this, [this] { reportErrors([this] { ComboBox1MouseEnter(); }); });
    connect(ComboBox1, &TComboBox::moveRequested, this, [this](int step) { reportErrors([&] { moveListBy(step); }); });
    connect(StringGrid1, &TStringGrid::mouseMoved, this, [this] { reportErrors([this] { StringGrid1MouseMove(); }); });
    connect(SpeedButtonHelp, &QToolButton::clicked, this, [this] { reportErrors([this] { SpeedButtonHelpClick(); }); });
    connect(Copy1, &QAction::triggered, this, [this] { reportErrors([this] { Copy1Click(); }); });
    connect(TimerHookMouse, &QTimer::timeout, this, [this] { reportErrors([this] { TimerHookMouseTimer(); }); });
    connect(TimerFocusWB, &QTimer::timeout, this, [this] { reportErrors([this] { TimerFocusWBTimer(); }); });
    connect(m_selectionWait, &QTimer::timeout, this, [this] { m_doubleClickPending = false; });
    connect(Emb, &QWidget::customContextMenuRequested, this, [this] { PopupMenu1->popup(QCursor::pos()); });
    connect(Emb->page(), &QWebEnginePage::selectionChanged, this, [this] {
        ++m_selectionChanges;
        if (m_selectionWait->isActive() && !Emb->selectedText().isEmpty())
            reportErrors([this] { lookUpSelectionNow(); });
    });

    LeftPanel->installEventFilter(this);
    RightPanel->installEventFilter(this);
    BasePanel->installEventFilter(this);
    // Wheel events anywhere in the window go to the query box while it has the focus.
    qApp->installEventFilter(this);
}

// --- layout ----------------------------------------------------------------

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutBasePanel();
}

void TForm1::layoutBasePanel()
{
    BasePanel->setGeometry(BaseLeft, BaseTop, qMax(0, width() - BaseLeft - BaseRight),
                           qMax(0, height() - BaseTop - BaseBottom));
}

void TForm1::layoutSplitter()
{
    // The left panel keeps its width when the window is resized.
    const int left = m_splitterPlaced ? LeftPanel->width() : LeftPanelWidth;
    Splitter1->setGeometry(0, 0, BasePanel->width(), BasePanel->height());
    Splitter1->setSizes({left, qMax(0, BasePanel->width() - SplitterWidth - left)});
    m_splitterPlaced = true;
}

void TForm1::layoutLeftPanel()
{
    const int w = LeftPanel->width();
    const int h = LeftPanel->height();
    ComboBox1->setGeometry(0, 0, qMax(0, w - QueryBoxRightGap), QueryBoxHeight);
    SpeedButtonHelp->setGeometry(w - HelpButtonWidth - HelpButtonRightGap, 0, HelpButtonWidth, HelpButtonHeight);
    StringGrid1->setGeometry(0, WordListTop, w, qMax(0, h - WordListTop));
}

void TForm1::applyMinimumOuterSize()
{
    // The frame's size is known only once the window is on the screen.
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(qMax(0, MinOuterWidth - frame.width()), qMax(0, MinOuterHeight - frame.height()));
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == LeftPanel)
            layoutLeftPanel();
        else if (watched == BasePanel)
            layoutSplitter();
        else if (watched == RightPanel)
            Emb->setGeometry(RightPanel->contentsRect()); // inside the 1-pixel bevel
    } else if (event->type() == QEvent::Wheel && watched != ComboBox1) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this && queryBoxIsActive() && !ComboBox1->view()->isVisible()) {
            const int step = TComboBox::wheelMove(*static_cast<QWheelEvent *>(event));
            if (step)
                reportErrors([&] { moveListBy(step); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- start-up and shut-down --------------------------------------------------

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_formShown) {
        m_formShown = true;
        // Runs before the window is drawn; a failing step ends the sequence.
        reportErrors([this] { FormShow(); });
    }
    if (!m_minimumSizeApplied && !m_terminationRequested) {
        m_minimumSizeApplied = true;
        QTimer::singleShot(0, this, [this] { applyMinimumOuterSize(); });
    }
}

void TForm1::FormShow()
{
    ProgramState &s = programState();
    // 1, 2
    s.DictName = DefaultDictName;
    setWindowTitle(MainCaption);
    // 3: the letter index switches the list to windowed mode.
    const QString letterPath = dictionaryFilePath(s.DictName, LetterIndexExtension);
    if (isFilePresent(letterPath)) {
        s.WindowedMode = true;
        readLetterIndexFile(letterPath, s.Letters);
    }
    // 4
    if (!requiredFilesPresent(s.DictName)) {
        showPlainMessage(MissingSetMessage);
        terminateApplication();
        return;
    }
    // 5, 6, 7
    s.Articles.setGranularity(systemAllocationGranularity());
    s.PageFooter = makePageFooter();
    s.PageHeader = makePageHeader();
    s.Words = std::make_unique<WordIndex>();
    // 8
    loadHistory();
    // 9
    Emb->primeEmptyPage();
    // 10, 11
    s.Words->loadFromFile(dictionaryFilePath(s.DictName, WordIndexExtension));
    s.Articles.open(dictionaryFilePath(s.DictName, ArticleFileExtension));
    // 12
    if (s.WindowedMode) {
        ShowWordWindow(0);
    } else {
        FillWordList();
        // Row 0 is current already: going through row 1 shows entry 0.
        StringGrid1->setRow(1);
        StringGrid1->setRow(0);
        ComboBox1->setText(QString());
    }
    // 13, 14, 15
    installDoubleClickHook();
    m_keyboardLayout->activate();
    s.StartupDone = true;
}

void TForm1::terminateApplication()
{
    m_terminationRequested = true;
    // The window is never put on the screen, and no shut-down step runs.
    setAttribute(Qt::WA_DontShowOnScreen);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TForm1::loadHistory()
{
    if (!QDir(HistoryFolder).exists())
        QDir().mkdir(HistoryFolder); // a failure shows at the file step
    const QString path = historyFilePath();
    if (isFilePresent(path))
        ComboBox1->setListItems(loadHistoryFile(path));
    else
        saveHistoryFile(path, {});
    m_historyLoaded = true;
}

void TForm1::saveHistory()
{
    // A history that was never read is not written: that would replace the
    // user's file with an empty one after a failed start-up.
    if (m_historyLoaded)
        saveHistoryFile(historyFilePath(), ComboBox1->listItems());
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_terminationRequested) {
        event->accept();
        return;
    }
    if (reportErrors([this] { FormClose(); }))
        event->accept();
    else
        event->ignore(); // the window stays open; closing again tries again
}

bool TForm1::FormClose()
{
    saveHistory();
    ProgramState &s = programState();
    s.Words.reset();
    s.Articles.close();
    return true;
}

// --- word list -----------------------------------------------------------------

int32_t TForm1::rowToEntry(int row) const
{
    const ProgramState &s = programState();
    return s.WindowedMode ? s.WindowTarget - s.WindowBefore + row : row;
}

QString TForm1::rowText(int row) const
{
    const ProgramState &s = programState();
    if (!s.Words || row < 0 || row >= m_filledRows)
        return {};
    const int32_t entry = m_rowBase + row;
    if (entry < 0 || entry >= s.Words->count())
        return {};
    return s.Words->names(entry);
}

void TForm1::FillWordList()
{
    const ProgramState &s = programState();
    StringGrid1->setRowCount(s.Words->count());
    m_rowBase = 0;
    m_filledRows = s.Words->count();
    StringGrid1->refreshRows();
}

void TForm1::CentreOnRow(int32_t target)
{
    const int32_t count = programState().Words->count();
    StringGrid1->setRow(target);
    const int visible = StringGrid1->height() / StringGrid1->defaultRowHeight();
    const int half = visible / 2;
    const int above = target < half ? target : half;
    const int below = target + half > count - 1 ? count - 1 - target : half;

    StringGrid1->detachSelectHandler();
    const auto attach = qScopeGuard([this] { StringGrid1->attachSelectHandler(); });
    StringGrid1->setRow(StringGrid1->row() + below);
    StringGrid1->setRow(StringGrid1->row() - above - below);
    StringGrid1->setRow(StringGrid1->row() + above);
}

void TForm1::ShowWordWindow(int32_t target)
{
    ProgramState &s = programState();
    const int32_t count = s.Words->count();
    int visible = StringGrid1->height() / StringGrid1->defaultRowHeight();
    if (visible < 3)
        return;

    // Up to 400 entries before the target and 399 after it.
    s.WindowTarget = target;
    const int32_t before = count < 400 ? count : 400;
    const int32_t end = int64_t(target) + before > count ? count : target + before;
    int32_t start = target - before;
    s.WindowBefore = before;
    if (start < 0) {
        s.WindowBefore = target;
        start = 0;
    }
    const int32_t rows = end - start;
    StringGrid1->setRowCount(rows);

    if (visible > rows)
        visible = rows;
    const int half = visible / 2;
    int above = half;
    int below = half;

    m_rowBase = start;
    m_filledRows = rows;
    StringGrid1->refreshRows();

    StringGrid1->detachSelectHandler();
    auto attach = qScopeGuard([this] { StringGrid1->attachSelectHandler(); });
    StringGrid1->setRow(s.WindowBefore);
    if (target < above)
        above = target;
    if (target + below > count - 1)
        below = count - 1 - target;
    StringGrid1->setRow(StringGrid1->row() + below);
    StringGrid1->setRow(StringGrid1->row() - above - below);
    StringGrid1->setRow(StringGrid1->row() + above);

    // The handler runs once, for the target's row, by a step down and back.
    if (StringGrid1->row() == StringGrid1->rowCount() - 1) {
        StringGrid1->setRowCount(StringGrid1->rowCount() + 1);
        StringGrid1->setRow(StringGrid1->row() + 1);
        attach.dismiss();
        StringGrid1->attachSelectHandler();
        StringGrid1->setRow(StringGrid1->row() - 1);
        StringGrid1->setRowCount(StringGrid1->rowCount() - 1);
    } else {
        StringGrid1->setRow(StringGrid1->row() + 1);
        attach.dismiss();
        StringGrid1->attachSelectHandler();
        StringGrid1->setRow(StringGrid1->row() - 1);
    }
}

void TForm1::StringGrid1SelectCell(int row)
{
    ProgramState &s = programState();
    if (!s.Words)
        return; // start-up ended before the word index existed
    Q_EMIT selectCellRan(row);
    const int32_t entry = rowToEntry(row);
    QString headword = s.Words->names(entry);
    QString article = s.Articles.getArticle(*s.Words, entry);
    // Only a row whose article could be read becomes the headword on show:
    // after a failed read the history must not take a word never shown.
    s.CurrentHeadword = std::move(headword);

    if (QString::compare(rowText(row), ComboBox1->text(), Qt::CaseInsensitive) != 0 && s.ClearQueryOnSelect)
        ComboBox1->setText(QString());
    ComboBox1->putCaretAtEnd();

    Emb->showHtml(composePage(std::move(article), s.CurrentHeadword, s.PageHeader, s.PageFooter));
}

void TForm1::moveListBy(int step)
{
    const int row = StringGrid1->row();
    if (step > 0 && row < StringGrid1->rowCount() - 1)
        StringGrid1->setRow(row + 1);
    else if (step < 0 && row > 0)
        StringGrid1->setRow(row - 1);
}

// --- search and query box ------------------------------------------------------

void TForm1::ComboBox1Change()
{
    ProgramState &s = programState();
    if (!s.Words)
        return;
    const int32_t entry = findEntryForText(*s.Words, s.WindowedMode, s.Letters, ComboBox1->text());
    if (entry < 0)
        return;
    s.ClearQueryOnSelect = false;
    // On again also when the move fails.
    const auto restore = qScopeGuard([&s] { s.ClearQueryOnSelect = true; });
    if (s.WindowedMode)
        ShowWordWindow(entry);
    else
        CentreOnRow(entry);
}

void TForm1::ComboBox1KeyDown(int key)
{
    if (key == Qt::Key_Shift)
        ComboBox1->setText(QString());
}

void TForm1::ComboBox1MouseEnter()
{
    if (!programState().StartupDone)
        return;
    StringGrid1MouseMove();
}

void TForm1::StringGrid1MouseMove()
{
    ComboBox1->setFocus(Qt::MouseFocusReason);
    ComboBox1->putCaretAtEnd();
}

bool TForm1::queryBoxIsActive() const
{
    const QWidget *active = focusWidget();
    if (active == ComboBox1->lineEdit())
        active = ComboBox1;
    return active && active->objectName() == QLatin1String("ComboBox1");
}

// --- history ---------------------------------------------------------------------

void TForm1::PushHistory()
{
    const QString headword = programState().CurrentHeadword;
    if (ComboBox1->count() == 0) {
        ComboBox1->insertListItem(0, headword);
        return;
    }
    ComboBox1->insertListItem(0, headword);
    for (int i = 1; i < ComboBox1->count(); ++i) {
        if (QString::compare(ComboBox1->itemText(i), headword, Qt::CaseInsensitive) == 0) {
            ComboBox1->setCurrentIndex(0);
            ComboBox1->setText(ComboBox1->itemText(0));
            ComboBox1->removeListItem(i);
            ComboBox1->putCaretAtEnd();
            return;
        }
    }
    if (ComboBox1->count() >= 25)
        ComboBox1->removeListItem(24);
}

// --- look-up from the article -------------------------------------------------------

QRect TForm1::viewScreenRect() const
{
    return QRect(Emb->mapToGlobal(QPoint(0, 0)), Emb->size());
}

bool TForm1::strictlyInside(const QRect &rect, const QPoint &point)
{
    return rect.left() < point.x() && point.x() < rect.left() + rect.width() && rect.top() < point.y()
        && point.y() < rect.top() + rect.height();
}

void TForm1::installDoubleClickHook()
{
    m_doubleClickHook = installMouseFilter(
        [this](QObject *, QMouseEvent *event, const std::function<bool()> &callNext) {
            if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton
                && strictlyInside(viewScreenRect(), QCursor::pos()) && !TimerHookMouse->isActive()) {
                m_doubleClickPending = true;
                m_selectionChangesAtDoubleClick = m_selectionChanges;
                TimerHookMouse->start();
            }
            callNext();
            return false; // from now on every mouse event reaches its window
        });
    programState().DoubleClickHookInstalled = true;
}

void TForm1::TimerHookMouseTimer()
{
    TimerHookMouse->stop();
    // The engine reports the double-click's selection on its own schedule:
    // wait for it rather than read a selection made before the double-click.
    if (m_doubleClickPending
        && (m_selectionChanges == m_selectionChangesAtDoubleClick || Emb->selectedText().isEmpty())) {
        m_selectionWait->start();
        return;
    }
    lookUpSelectionNow();
}

void TForm1::lookUpSelectionNow()
{
    m_doubleClickPending = false;
    m_selectionWait->stop();
    const QString selected = Emb->selectedText();
    const QString text = trimControls(selected).toString();
    if (text.isEmpty() || text.size() > MaxLookupLength)
        return;
    PushHistory();
    ComboBox1->setText(text);
    ComboBox1Change();
    Q_EMIT selectionLookedUp(text);
}

void TForm1::Copy1Click()
{
    QGuiApplication::clipboard()->setText(Emb->selectedText());
}

// --- focus around the view -----------------------------------------------------------

void TForm1::TimerFocusWBTimer()
{
    // While another window of ours is modal or in front (the About box), the
    // active control is that window's; this window's focus widget is only
    // remembered then.
    const QWidget *modal = QApplication::activeModalWidget();
    const QWidget *activeWindow = QApplication::activeWindow();
    if ((modal && modal != this) || (activeWindow && activeWindow != this))
        return;
    if (strictlyInside(viewScreenRect(), QCursor::pos()) && queryBoxIsActive())
        Emb->setFocusToDoc();
}

void TForm1::SpeedButtonHelpClick()
{
    showAboutBox(this);
}
