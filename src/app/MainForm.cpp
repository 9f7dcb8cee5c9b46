#include "app/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWheelEvent>

#include "app/FormAbout.h"
#include "app/history_file.h"
#include "app/icons.h"
#include "app/panel_splitter.h"
#include "app/program_state.h"
#include "lookup/query_box.h"
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
    setWindowIcon(programIcon());
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

void TForm1::SpeedButtonHelpClick()
{
    showAboutBox(this);
}
