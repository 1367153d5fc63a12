// The loads of a WebEngineBrowser: navigation and reloads, how each top-level load ends, and the
// recovery of a renderer that hung or crashed.

#include "platform/logging.h"
#include "platform/webengine/browser_page.h"
#include "platform/webengine/webengine_browser.h"

#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScriptCollection>

namespace lumora::platform::webengine {

namespace {

// How the engine says a top-level load ended, in the seam's terms. Qt 6.4.2 reports the HTTP
// status in the HttpStatusCodeDomain for every load that got an answer, 200 included, and a
// 4xx or 5xx answer as a failed load whether or not it had a body; a refused connection and an
// unknown host come in the ConnectionErrorDomain (net::ERR_CONNECTION_REFUSED -102,
// net::ERR_NAME_NOT_RESOLVED -105). Its errorString for HTTP statuses is an unfilled template.
// Chromium's net error codes: -7 and -118 timed out, -106 no network, -200 to -299 certificates.
NoAnswer noAnswerOf(const QWebEngineLoadingInfo& info)
{
    using Info = QWebEngineLoadingInfo;
    const int code = info.errorCode();
    if (info.errorDomain() == Info::CertificateErrorDomain || (code <= -200 && code > -300))
        return NoAnswer::Certificate;
    if (info.errorDomain() == Info::DnsErrorDomain)
        return NoAnswer::NoSuchHost;
    switch (code) {
    case -102:
        return NoAnswer::Refused;
    case -105:
    case -106:
    case -137:
        return NoAnswer::NoSuchHost;
    case -7:
    case -118:
        return NoAnswer::TimedOut;
    default:
        return NoAnswer::Other;
    }
}

LoadInfo outcomeOf(const QWebEngineLoadingInfo& info)
{
    using Info = QWebEngineLoadingInfo;
    const int httpStatus = info.errorDomain() == Info::HttpStatusCodeDomain ? info.errorCode() : 0;
    if (info.status() == Info::LoadSucceededStatus)
        return {LoadOutcome::Succeeded, httpStatus, {}, info.url()};
    if (httpStatus >= 400)
        return {LoadOutcome::HttpError, httpStatus, QStringLiteral("HTTP %1").arg(httpStatus),
                info.url()};
    QString error = info.errorString();
    if (error.isEmpty())
        error = info.status() == Info::LoadStoppedStatus ? QStringLiteral("the load was stopped")
                                                         : QStringLiteral("the load failed");
    return {LoadOutcome::NetworkError,
            0,
            QStringLiteral("%1 (%2)").arg(error).arg(info.errorCode()),
            info.url(),
            0,
            noAnswerOf(info)};
}

} // namespace

void WebEngineBrowser::navigate(const QUrl& url)
{
    if (!m_page) {
        m_waitingUrl = url; // WebEngineHost::start() loads it
        return;
    }
    m_env->profileInUse = true;
    const bool loadNow = m_load.loadRequested(url);
    m_startTimeout.start();
    if (loadNow && !endUnresponsiveRenderer(url))
        startLoad(url);
}

void WebEngineBrowser::refresh()
{
    if (!m_page || m_page->url().isEmpty())
        return;
    const QUrl shown = m_page->url();
    const bool loadNow = m_load.loadRequested(shown);
    m_startTimeout.start();
    if (loadNow && !endUnresponsiveRenderer(shown))
        startLoad({});
}

void WebEngineBrowser::startLoad(const QUrl& url)
{
    // WORKAROUND (Qt 6.4.2): the engine reports no start for a load begun while another one is
    // still running (a frame still loading, a load superseding a slow one), only its end; such
    // a load counts as started at once, or that end would be taken for a stale one and ignored.
    // Harmless where the start is reported: it is then counted twice.
    const bool wasLoading = m_page->isLoading();
    if (url.isEmpty())
        m_page->triggerAction(QWebEnginePage::Reload);
    else
        m_page->load(url);
    if (wasLoading) {
        m_load.loadStarted(url);
        m_startTimeout.stop();
    }
}

void WebEngineBrowser::startTimeoutElapsed()
{
    m_load.startTimedOut(m_page && m_page->isLoading());
}

// WORKAROUND (Qt 6.4.2, re-check on upgrade): Qt has no call that ends a hung renderer, and a
// navigation away from a page whose script never returns waits on that renderer indefinitely.
// End the process ourselves, as a browser's "kill page" does; the termination handler then
// loads `next`.
bool WebEngineBrowser::endUnresponsiveRenderer(const QUrl& next)
{
    if (!m_load.unresponsive() || !m_page || !m_env->endProcess)
        return false;
    const qint64 pid = m_page->renderProcessPid();
    if (pid <= 0 || !m_env->endProcess(pid))
        return false;
    qCWarning(lcEngine) << "ended the unresponsive renderer of" << url().toDisplayString();
    m_load.rendererEnded(next);
    return true;
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (!m_page)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        m_frameVideos.clear(); // the frames that reported go with the document
        m_env->profileInUse = true;
        m_load.loadStarted(info.url());
        m_startTimeout.stop();
        return;
    }
    insertHeldScripts();
    const LoadInfo outcome = outcomeOf(info);
    if (!m_load.loadFinished(outcome, m_page->isLoading()))
        return; // it ended an older load, or one a newer load superseded
    if (outcome.outcome != LoadOutcome::Succeeded)
        qCWarning(lcEngine).nospace()
            << "load failed: " << outcome.url.toDisplayString() << ": " << outcome.error;
    else
        qCDebug(lcEngine) << "loaded" << outcome.url.toDisplayString();
    // WORKAROUND (Qt 6.4.2): a script sent while the top document was being replaced can go
    // with the old document without the engine ever calling back; by the time the new one has
    // loaded, any answer would have come. Fail such calls now rather than let them wait out the
    // timeout.
    m_calls.failStale(m_load.loadsStarted());
    // Nobody goes back in these views; a history of a day's lessons would only keep earlier
    // pages (and the engine's cached copies of them) in memory.
    m_page->history()->clear();
    const QUrl shown = m_page->url();
    post([this, shown] { emit documentLoaded(shown); });
}

void WebEngineBrowser::onRendererTerminated()
{
    qCWarning(lcEngine) << "renderer terminated:" << url().toDisplayString();
    m_calls.failAll(PageStatus::PageGone, QStringLiteral("the page's renderer has terminated"));
    m_frameVideos.clear();
    if (!m_load.rendererTerminated()) {
        qCWarning(lcEngine) << "not reloading" << url().toDisplayString() << "after"
                            << kMaxCrashReloads << "renderer crashes in a row";
        return;
    }
    // Reloading directly from the termination handler is not supported; defer it.
    QTimer::singleShot(0, this, &WebEngineBrowser::reloadAfterCrash);
}

void WebEngineBrowser::reloadAfterCrash()
{
    const std::optional<QUrl> next = m_load.reloadDue();
    if (!next || !m_page)
        return;
    // WORKAROUND (Qt 6.4.2): the renderer started after a crash now and then misses the page's
    // scripts for good (3 of 20 reloads here); inserting them anew first makes it rarer (3 of
    // 100), not impossible. The walk installs its own functions where they are missing.
    insertHeldScripts();
    const QList<QWebEngineScript> scripts = m_page->scripts().toList();
    m_page->scripts().clear();
    m_page->scripts().insert(scripts);
    if (next->isEmpty()) {
        m_page->triggerAction(QWebEnginePage::Reload);
        return;
    }
    m_startTimeout.start();
    m_page->load(*next);
}

void WebEngineBrowser::insertScriptsAfterLoad(QList<QWebEngineScript> scripts)
{
    m_heldScripts = std::move(scripts);
}

void WebEngineBrowser::insertHeldScripts()
{
    if (m_heldScripts.isEmpty() || !m_page)
        return;
    m_page->scripts().insert(std::exchange(m_heldScripts, {}));
    m_loadsWithoutHeldScripts = m_load.loadsStarted();
}

} // namespace lumora::platform::webengine
