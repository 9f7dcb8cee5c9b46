#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

class QKeyEvent;
class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineUrlRequestJob;

// The browser view that shows article pages.
//
// A page is handed over as one text and served to the engine from memory
// through a scheme of our own, so its size has no limit (setHtml stops at
// 2 MB). Every page gets a fresh address, so a new load always starts and a
// page requested earlier can never replace a later one.
class TEmbeddedWB : public QWebEngineView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TEmbeddedWB)

public:
    // Restarts of a killed render process per page before the view gives up.
    static constexpr int maxRestoreAttempts = 3;
    // A load that shows no progress for this long is started again, twice
    // at most, then reported as failed.
    static constexpr int stallTimeoutMs = 10'000;
    static constexpr int maxStallRetries = 2;

    // Must run before the QApplication is created; later calls do nothing.
    static void registerUrlScheme();

    explicit TEmbeddedWB(QWidget *parent = nullptr);
    ~TEmbeddedWB() override;

    // Replaces the view's whole content with page. Returns at once;
    // pageShown reports the outcome.
    void showHtml(const QString &page);
    // The page last given to showHtml.
    const QString &currentPage() const { return m_page; }

    // A page has been loaded at least once.
    bool hasDocument() const { return m_hasDocument; }
    // Shows the empty page and waits, handling events, until the view has
    // a document or 10 s have passed. Returns hasDocument().
    bool primeEmptyPage();

    // With a document: keyboard focus into the page, and the view becomes
    // its window's focus widget.
    void setFocusToDoc();

    // The plain text of the page's selection; empty when there is none.
    QString selectedText() const;

    // Ctrl+N without Shift never reaches the engine.
    static bool isWithheldKey(const QKeyEvent &event);

Q_SIGNALS:
    // The page last requested has finished loading (ok) or failed (!ok).
    void pageShown(bool ok);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TEmbeddedWBSchemeHandler;

    void requestLoad();
    void startLoad();
    void endLoad(bool ok);
    void onLoadStalled();
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onRenderProcessTerminated(int status);
    void restorePage();
    void adoptChild(QObject *child);
    void serve(QWebEngineUrlRequestJob *job, quint64 serial) const;
    void reportShown(bool ok);

    QString m_page;
    // The address of the page last requested, and of the load in flight
    // (empty when none): one load at a time, as the engine can drop a load
    // that is started while another is about to commit.
    QUrl m_currentUrl;
    QUrl m_inflightUrl;
    QTimer *m_watchdog = nullptr;
    quint64 m_id = 0;
    quint64 m_serial = 0;
    int m_restoreAttempts = 0;
    int m_stallRetries = 0;
    bool m_hasDocument = false;
    bool m_reportOwed = false;
    bool m_pageOnShow = false;
};
