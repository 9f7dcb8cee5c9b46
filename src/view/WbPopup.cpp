#include "view/WbPopup.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "platform/mouse_filter_chain.h"

namespace {

MouseFilterHandle filterHandle = 0;

bool isOverBrowserView(const QPoint &globalPos)
{
    for (const QWidget *widget = QApplication::widgetAt(globalPos); widget; widget = widget->parentWidget()) {
        if (widget->inherits("TEmbeddedWB"))
            return true;
    }
    return false;
}

} // namespace

bool RightButtonFilter(QObject *watched, QMouseEvent *event, const std::function<bool()> &callNext)
{
    Q_UNUSED(watched);
    // The rest of the chain is asked first, for every event.
    const bool answer = callNext();
    if (event->type() != QEvent::MouseButtonPress || event->button() != Qt::RightButton)
        return answer;
    if (isOverBrowserView(event->globalPosition().toPoint()))
        return true;
    return answer;
}

void installRightButtonFilter()
{
    if (filterHandle == 0)
        filterHandle = installMouseFilter(RightButtonFilter);
}

void removeRightButtonFilter()
{
    removeMouseFilter(filterHandle);
    filterHandle = 0;
}
