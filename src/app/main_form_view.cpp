// Look-up from the article, copying, and the focus around the view.

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMouseEvent>
#include <QTimer>

#include "app/MainForm.h"
#include "app/program_state.h"
#include "lookup/query_box.h"
#include "lookup/search.h"
#include "platform/mouse_filter_chain.h"
#include "view/embedded_wb.h"

namespace {
// Look-ups from the article take selections of 1 to 130 code units.
constexpr qsizetype MaxLookupLength = 130;
} // namespace

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
