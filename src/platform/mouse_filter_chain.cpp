#include "platform/mouse_filter_chain.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/error_report.h"

namespace {

struct Entry {
    MouseFilterHandle handle = 0;
    std::shared_ptr<const MouseFilter> filter;
};

struct Chain {
    std::vector<Entry> entries; // oldest first
    MouseFilterHandle lastHandle = 0;
};

Chain &chain()
{
    static Chain instance;
    return instance;
}

bool isMouseEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

// Asks the filter at end - 1; its callNext asks the one before it.
bool ask(const std::vector<Entry> &entries, std::size_t end, QObject *watched, QMouseEvent *event)
{
    if (end == 0)
        return false;
    const std::function<bool()> callNext = [&entries, end, watched, event] {
        return ask(entries, end - 1, watched, event);
    };
    return (*entries[end - 1].filter)(watched, event, callNext);
}

class ChainDispatcher final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isMouseEvent(event->type()) || chain().entries.empty())
            return false;
        // Qt passes one user event first to the QWindow, then to the widget under the
        // pointer, and while nobody accepts it to the widget's parents as copies marked
        // not spontaneous. Only the spontaneous delivery to a widget is the user's event
        // as its receiver gets it, so each filter sees each event exactly once.
        if (!event->spontaneous() || !watched->isWidgetType())
            return false;
        // A copy, since a filter may install or remove filters while it runs.
        const std::vector<Entry> entries = chain().entries;
        bool withhold = false;
        reportErrors([&] { withhold = ask(entries, entries.size(), watched, static_cast<QMouseEvent *>(event)); });
        return withhold;
    }
};

void attachToApplication()
{
    static QPointer<ChainDispatcher> dispatcher;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || dispatcher)
        return;
    dispatcher = new ChainDispatcher(app);
    app->installEventFilter(dispatcher);
}

} // namespace

MouseFilterHandle installMouseFilter(MouseFilter filter)
{
    if (!filter)
        return 0;
    // Runs now when an application exists, and again for every application created later.
    static const bool registered = (qAddPreRoutine(attachToApplication), true);
    Q_UNUSED(registered);
    attachToApplication();

    Chain &c = chain();
    const MouseFilterHandle handle = ++c.lastHandle;
    c.entries.push_back({ handle, std::make_shared<const MouseFilter>(std::move(filter)) });
    return handle;
}

void removeMouseFilter(MouseFilterHandle handle)
{
    if (handle == 0)
        return;
    auto &entries = chain().entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [handle](const Entry &entry) { return entry.handle == handle; }),
                  entries.end());
}
