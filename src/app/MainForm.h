#pragma once

#include <QWidget>

#include <cstdint>

class QAction;
class QFrame;
class QMenu;
class QTimer;
class QToolButton;
class PanelSplitter;
class TComboBox;
class TEmbeddedWB;
class TStringGrid;
class RussianKeyboardLayout;

// The main window: query box and word list on the left, the article view on
// the right. Its handlers keep the names of the window's events; each one is
// a boundary where errors end in the error report.
class TForm1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Controls, in declaration order.
    QWidget *BasePanel = nullptr;
    QWidget *LeftPanel = nullptr;
    PanelSplitter *Splitter1 = nullptr;
    TComboBox *ComboBox1 = nullptr;
    TStringGrid *StringGrid1 = nullptr;
    QToolButton *SpeedButtonHelp = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *Copy1 = nullptr;
    QTimer *TimerHookMouse = nullptr;
    QTimer *TimerFocusWB = nullptr;
    TEmbeddedWB *Emb = nullptr;
    QFrame *RightPanel = nullptr;

    // Event handlers.
    void FormShow();
    bool FormClose();
    void StringGrid1SelectCell(int row);
    void ComboBox1Change();
    void Copy1Click();
    void TimerHookMouseTimer();
    void TimerFocusWBTimer();
    void SpeedButtonHelpClick();
    void StringGrid1MouseMove();
    void ComboBox1MouseEnter();
    void ComboBox1KeyDown(int key);

    // The word list's operations.
    void FillWordList();
    void CentreOnRow(int32_t target);
    void ShowWordWindow(int32_t target);

    // Puts the headword on show at the top of the history.
    void PushHistory();

    // The view's rectangle on the screen; a point counts as inside only
    // strictly within its edges.
    QRect viewScreenRect() const;
    static bool strictlyInside(const QRect &rect, const QPoint &point);

    // Whether the program asked to end (the missing-set path).
    bool terminationRequested() const { return m_terminationRequested; }

Q_SIGNALS:
    // The list's select handler ran for a row (before the row changed).
    void selectCellRan(int row);
    // A look-up from the article ran with this text.
    void selectionLookedUp(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void layoutBasePanel();
    void layoutLeftPanel();
    void layoutSplitter();
    void applyMinimumOuterSize();
    void runStartup();
    void loadHistory();
    void saveHistory();
    void installDoubleClickHook();
    void lookUpSelectionNow();
    void moveListBy(int step);
    int32_t rowToEntry(int row) const;
    QString rowText(int row) const;
    bool queryBoxIsActive() const;
    void terminateApplication();

    RussianKeyboardLayout *m_keyboardLayout = nullptr;
    int m_doubleClickHook = 0;
    int32_t m_rowBase = 0;    // entry shown in row 0
    int32_t m_filledRows = 0; // rows that show a headword
    bool m_historyLoaded = false;
    bool m_splitterPlaced = false;
    bool m_formShown = false;
    bool m_terminationRequested = false;
    bool m_minimumSizeApplied = false;
    // Selection changes seen, and the count when the last double-click came.
    quint64 m_selectionChanges = 0;
    quint64 m_selectionChangesAtDoubleClick = 0;
    bool m_doubleClickPending = false;
    QTimer *m_selectionWait = nullptr;
};
