#include "view/embedded_wb.h"

#include <QBuffer>
#include <QChildEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <algorithm>
#include <utility>

#include "platform/url_opener.h"

using namespace Qt::StringLiterals;

namespace {

// Addresses look like "glossa-page:<view id>/<page serial>".
const QByteArray pageScheme = QByteArrayLiteral("glossa-page");
constexpr int primeTimeoutMs = 10'000;

QHash<quint64, TEmbeddedWB *> &liveViews()
{
    static QHash<quint64, TEmbeddedWB *> views;
    return views;
}

} // namespace

// One handler per profile serves the pages of every view on that profile.
class TEmbeddedWBSchemeHandler final : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QStringList parts = job->requestUrl().path().split(u'/');
        bool idOk = false;
        bool serialOk = false;
        const quint64 id = parts.size() == 2 ? parts[0].toULongLong(&idOk) : 0;
        const quint64 serial = parts.size() == 2 ? parts[1].toULongLong(&serialOk) : 0;
        TEmbeddedWB *view = idOk && serialOk ? liveViews().value(id) : nullptr;
        if (!view) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        view->serve(job, serial);
    }
};

// Pages stay in the view: a link to the web opens in the user's browser, and
// nothing else takes the view away from the article.
class ArticleWebPage final : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        const QString scheme = url.scheme();
        if (scheme == QLatin1String(pageScheme) || url.toString() == u"about:blank"_s)
            return true;
        static const QStringList external = {u"http"_s, u"https"_s, u"mailto"_s, u"ftp"_s};
        if (type == NavigationTypeLinkClicked && isMainFrame && external.contains(scheme))
            openUrl(url);
        return false;
    }
};

void TEmbeddedWB::registerUrlScheme()
{
    if (QWebEngineUrlScheme::schemeByName(pageScheme).name() == pageScheme)
        return;
    if (QCoreApplication::instance())
        qWarning("TEmbeddedWB::registerUrlScheme: called after the application object was created");
    QWebEngineUrlScheme scheme(pageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                    | QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}

TEmbeddedWB::TEmbeddedWB(QWidget *parent)
    : QWebEngineView(parent)
{
    static quint64 lastId = 0;
    m_id = ++lastId;
    liveViews().insert(m_id, this);
    setPage(new ArticleWebPage(this));

    // White from the first frame: no grey or dark flash before or between pages.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    page()->setBackgroundColor(Qt::white);

    // The host's own menu is shown by whoever listens to customContextMenuRequested.
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Clicks focus the view; Tab from other controls never does.
    setFocusPolicy(Qt::ClickFocus);

    settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    // A failed page is reported through pageShown, not replaced by an engine page.
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // An article is data from a file: its markup may not read other files
    // or reach the network.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);

    QWebEngineProfile *profile = page()->profile();
    if (!profile->urlSchemeHandler(pageScheme))
        profile->installUrlSchemeHandler(pageScheme, new TEmbeddedWBSchemeHandler(profile));

    m_watchdog = new QTimer(this);
    m_watchdog->setSingleShot(true);
    m_watchdog->setInterval(stallTimeoutMs);
    connect(m_watchdog, &QTimer::timeout, this, &TEmbeddedWB::onLoadStalled);

    connect(page(), &QWebEnginePage::loadingChanged, this, &TEmbeddedWB::onLoadingChanged);
    connect(page(), &QWebEnginePage::loadProgress, this, [this] {
        if (!m_inflightUrl.isEmpty())
            m_watchdog->start();
    });
    connect(page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                onRenderProcessTerminated(status);
            });

    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children)
        adoptChild(child);
}

TEmbeddedWB::~TEmbeddedWB()
{
    liveViews().remove(m_id);
}

void TEmbeddedWB::showHtml(const QString &page)
{
    m_page = page;
    m_restoreAttempts = 0;
    requestLoad();
}

void TEmbeddedWB::requestLoad()
{
    ++m_serial;
    m_currentUrl = QUrl(QString::fromLatin1(pageScheme) + u':' + QString::number(m_id) + u'/'
                        + QString::number(m_serial));
    m_reportOwed = true;
    m_stallRetries = 0;
    // With a load in flight, the newest page follows when it ends; pages
    // requested in between are skipped.
    if (m_inflightUrl.isEmpty())
        startLoad();
}

void TEmbeddedWB::startLoad()
{
    m_inflightUrl = m_currentUrl;
    m_watchdog->start();
    load(m_inflightUrl);
}

void TEmbeddedWB::serve(QWebEngineUrlRequestJob *job, quint64 serial) const
{
    // A request for a page that has been replaced meanwhile gets nothing.
    if (serial != m_serial) {
        job->fail(QWebEngineUrlRequestJob::RequestAborted);
        return;
    }
    // The engine reads the buffer on its own thread until the job ends;
    // parented to the job, it lives exactly as long.
    auto *buffer = new QBuffer(job);
    buffer->setData(m_page.toUtf8());
    buffer->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
}

void TEmbeddedWB::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    // Only the end of our own load counts; the engine reports loads of other
    // addresses (a link the user followed) too.
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || m_inflightUrl.isEmpty()
        || info.url() != m_inflightUrl)
        return;
    endLoad(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !info.isErrorPage());
}

void TEmbeddedWB::endLoad(bool ok)
{
    m_watchdog->stop();
    const QUrl finished = std::exchange(m_inflightUrl, QUrl());
    if (finished != m_currentUrl) {
        startLoad();
        return;
    }
    if (ok) {
        m_hasDocument = true;
        // Each page is a new address; without this, Back would lead to
        // addresses whose pages are gone.
        history()->clear();
    }
    reportShown(ok);
}

void TEmbeddedWB::onLoadStalled()
{
    m_inflightUrl.clear();
    if (m_stallRetries < maxStallRetries) {
        ++m_stallRetries;
        startLoad();
        return;
    }
    reportShown(false);
}

void TEmbeddedWB::reportShown(bool ok)
{
    if (!m_reportOwed)
        return;
    m_reportOwed = false;
    m_pageOnShow = ok;
    Q_EMIT pageShown(ok);
}

void TEmbeddedWB::onRenderProcessTerminated(int status)
{
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    // Whatever was loading died with the renderer.
    m_watchdog->stop();
    m_inflightUrl.clear();
    // A page that kills its renderer every time must not loop for ever.
    if (m_restoreAttempts >= maxRestoreAttempts) {
        if (m_reportOwed || m_pageOnShow) {
            m_reportOwed = true;
            reportShown(false);
        }
        return;
    }
    ++m_restoreAttempts;
    // Not from inside the engine's own notification.
    QTimer::singleShot(0, this, &TEmbeddedWB::restorePage);
}

void TEmbeddedWB::restorePage()
{
    // A page requested since the renderer died is already on its way.
    if (m_inflightUrl.isEmpty())
        requestLoad();
}

bool TEmbeddedWB::primeEmptyPage()
{
    showHtml(QString());
    const QDeadlineTimer deadline(primeTimeoutMs);
    QPointer<TEmbeddedWB> alive(this);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &TEmbeddedWB::pageShown, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    while (alive && !m_hasDocument && !deadline.hasExpired()) {
        timer.start(std::max<qint64>(deadline.remainingTime(), 1));
        loop.exec();
    }
    return alive && m_hasDocument;
}

void TEmbeddedWB::setFocusToDoc()
{
    if (!m_hasDocument)
        return;
    // Through the focus proxy, the engine's widget takes the keyboard focus
    // and becomes the window's focus widget.
    setFocus(Qt::OtherFocusReason);
}

QString TEmbeddedWB::selectedText() const
{
    return page()->selectedText();
}

bool TEmbeddedWB::isWithheldKey(const QKeyEvent &event)
{
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::ShortcutOverride)
        return false;
    const Qt::KeyboardModifiers mods = event.modifiers();
    return event.key() == Qt::Key_N && (mods & Qt::ControlModifier) && !(mods & Qt::ShiftModifier);
}

bool TEmbeddedWB::event(QEvent *event)
{
    // The engine puts its input widget in as a child, and replaces it after
    // a renderer restart: every one gets the key filter and the focus policy.
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)
        adoptChild(static_cast<QChildEvent *>(event)->child());
    return QWebEngineView::event(event);
}

void TEmbeddedWB::adoptChild(QObject *child)
{
    auto *widget = qobject_cast<QWidget *>(child);
    if (!widget)
        return;
    widget->installEventFilter(this);
    // Not a Tab stop, but still focused by a click. During ChildAdded the
    // child's own constructor has not run yet; ChildPolished comes after it.
    if (widget->focusPolicy() != Qt::NoFocus)
        widget->setFocusPolicy(Qt::ClickFocus);
}

bool TEmbeddedWB::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        && isWithheldKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QWebEngineView::eventFilter(watched, event);
}
