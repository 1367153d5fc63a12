#include "platform/webengine/webengine_browser.h"

#include "platform/logging.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/walk_codec.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QWebEngineCertificateError>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace lumora::platform::webengine {

namespace {

// After this many renderer crashes without a successful load in between, the view stops
// reloading by itself (a page that kills its renderer every time).
constexpr int kMaxCrashReloads = 3;
// How long navigate() waits for the engine to report the load's start before trusting the
// engine's own loading flag (a navigation within the same document may never report one).
constexpr int kLoadStartTimeoutMs = 3000;

struct BusyScope
{
    explicit BusyScope(std::shared_ptr<BrowserEnvironment> environment)
        : env(std::move(environment))
    {
        ++env->busy;
    }
    ~BusyScope() { --env->busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    std::shared_ptr<BrowserEnvironment> env;
};

WalkResult failed(PageStatus status, const QString& error)
{
    WalkResult result;
    result.status = status;
    result.error = error;
    return result;
}

QString scriptSourceId(const char* scriptName)
{
    return QStringLiteral("userscript:") + QLatin1String(scriptName);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// BrowserPage

BrowserPage::BrowserPage(QWebEngineProfile* profile, WebEngineBrowser* owner)
    : QWebEnginePage(profile, owner), m_owner(owner)
{
}

bool BrowserPage::silent() const
{
    return m_owner && m_owner->silent();
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType)
{
    return m_owner ? m_owner->pageForNewWindow() : nullptr;
}

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (!silent())
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

// Silent: confirm() answers OK, as a user clicking through would; the engine also asks this
// for "leave this page?" on beforeunload, so leaving is never blocked.
bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    return silent() || QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

// Silent: prompt() is cancelled (the page gets null).
bool BrowserPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result)
{
    if (silent())
        return false;
    return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString& message, int lineNumber,
                                           const QString& sourceID)
{
    if (m_owner && m_owner->takeConsoleMessage(message, sourceID))
        return;
    // Silent: the page's script errors and logs are swallowed.
    if (!silent())
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes)
{
    if (silent())
        return {};
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

// ---------------------------------------------------------------------------------------------
// Waiting for the page

// State shared between a waiting call and the engine's callback, which may run late (after a
// timeout) or while the page is being destroyed; hence on the heap, and the loop by QPointer.
struct WebEngineBrowser::PendingCall
{
    bool finished = false;
    // Sent to a document still loading, or before a later load started: such a call may
    // have gone with the document it was sent to.
    int loadsStarted = 0;
    bool sentWhileLoading = false;
    PageStatus status = PageStatus::NoAnswer;
    QString text;
    QString error;
    QPointer<QEventLoop> loop;

    void finish(PageStatus newStatus, const QString& newText, const QString& newError)
    {
        if (finished)
            return;
        finished = true;
        status = newStatus;
        text = newText;
        error = newError;
        if (loop)
            loop->quit();
    }

    void answer(const QVariant& value)
    {
        // The engine hands over an empty value when the page is destroyed or the document
        // went away before the script finished; our scripts always answer with a string.
        if (value.typeId() == QMetaType::QString)
            finish(PageStatus::Ok, value.toString(), {});
        else
            finish(PageStatus::PageGone, {}, QStringLiteral("the document went away"));
    }
};

// ---------------------------------------------------------------------------------------------
// WebEngineBrowser

WebEngineBrowser::WebEngineBrowser(std::shared_ptr<BrowserEnvironment> environment,
                                   QWebEngineView* view)
    : m_env(std::move(environment)), m_view(view)
{
    m_startTimeout.setSingleShot(true);
    m_startTimeout.setInterval(kLoadStartTimeoutMs);
    connect(&m_startTimeout, &QTimer::timeout, this, [this] {
        if (!m_awaitingStart)
            return;
        m_awaitingStart = false;
        if (m_page && !m_page->isLoading())
            m_readyState = ReadyState::Complete;
    });
}

WebEngineBrowser::~WebEngineBrowser()
{
    detachPage();
    // The view is this control's widget; it goes with it (unless its parent already took it).
    delete m_view.data();
}

QWidget* WebEngineBrowser::widget()
{
    return m_view.data();
}

bool WebEngineBrowser::viewVisible() const
{
    return m_view && m_view->isVisible();
}

QUrl WebEngineBrowser::shownOrRequestedUrl() const
{
    const QUrl shown = url();
    return shown.isEmpty() ? m_requestedUrl : shown;
}

qint64 WebEngineBrowser::rendererProcessId() const
{
    return m_page ? m_page->renderProcessPid() : 0;
}

void WebEngineBrowser::attachPage(BrowserPage* page)
{
    BrowserPage* old = m_page;
    m_page = page;
    failPending(PageStatus::PageGone, QStringLiteral("the page was replaced"));
    m_hasDocument = false;
    m_readyState = ReadyState::Uninitialized;
    m_awaitingStart = false;
    m_startTimeout.stop();
    m_rendererGone = false;
    m_crashReloads = 0;
    m_unresponsive = false;
    m_reloadScheduled = false;
    m_navigationAfterCrash = QUrl();
    m_requestedUrl = QUrl();
    m_lastLoad = LoadInfo();
    m_closeReported = false;

    if (page) {
        page->setParent(this);
        connect(page, &QWebEnginePage::loadStarted, this, &WebEngineBrowser::onLoadStarted);
        connect(page, &QWebEnginePage::loadFinished, this, &WebEngineBrowser::onLoadFinished);
        connect(page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
        connect(page, &QWebEnginePage::renderProcessTerminated, this,
                &WebEngineBrowser::onRendererTerminated);
        connect(page, &QWebEnginePage::windowCloseRequested, this,
                &WebEngineBrowser::reportWindowClosing);
        connect(page, &QWebEnginePage::authenticationRequired, this,
                [this](const QUrl&, QAuthenticator* authenticator) {
                    // Silent: cancel (a null authenticator cancels the request).
                    if (m_silent && authenticator)
                        *authenticator = QAuthenticator();
                });
        connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
                [this](const QUrl&, QAuthenticator* authenticator, const QString&) {
                    if (m_silent && authenticator)
                        *authenticator = QAuthenticator();
                });
        connect(page, &QWebEnginePage::certificateError, this,
                [](const QWebEngineCertificateError& error) {
                    QWebEngineCertificateError copy = error;
                    copy.rejectCertificate();
                });
        connect(page, &QWebEnginePage::featurePermissionRequested, page,
                [page](const QUrl& origin, QWebEnginePage::Feature feature) {
                    page->setFeaturePermission(origin, feature,
                                               QWebEnginePage::PermissionDeniedByUser);
                });
        connect(page, &QWebEnginePage::fileSystemAccessRequested, page,
                [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
        if (m_view)
            m_view->setPage(page);
    }
    delete old;
}

void WebEngineBrowser::detachPage()
{
    BrowserPage* old = m_page;
    m_page = nullptr;
    failPending(PageStatus::PageGone, QStringLiteral("the page was closed"));
    delete old;
}

void WebEngineBrowser::navigate(const QUrl& url)
{
    if (!m_page)
        return;
    m_env->profileInUse = true;
    m_requestedUrl = url;
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_awaitingStart = true;
    m_startTimeout.start();
    if (m_rendererGone && m_reloadScheduled) {
        m_navigationAfterCrash = url; // the pending reload loads this instead
        return;
    }
    if (endUnresponsiveRenderer(url))
        return;
    // WORKAROUND: the engine reports no start for a load begun while another one is still
    // running (a frame still loading, a reload after a crash), only its end; such a load
    // counts as started at once, or that end would be taken for a stale one and ignored.
    const bool wasLoading = m_page->isLoading();
    m_page->load(url);
    if (wasLoading)
        onLoadStarted();
}

void WebEngineBrowser::refresh()
{
    if (!m_page || m_page->url().isEmpty())
        return;
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_awaitingStart = true;
    m_startTimeout.start();
    if ((m_rendererGone && m_reloadScheduled) || endUnresponsiveRenderer(m_page->url()))
        return;
    const bool wasLoading = m_page->isLoading(); // see navigate()
    m_page->triggerAction(QWebEnginePage::Reload);
    if (wasLoading)
        onLoadStarted();
}

// WORKAROUND: Qt 6.4 has no call that ends a hung renderer, and a navigation away from a page
// whose script never returns waits on that renderer indefinitely. End the process ourselves,
// as a browser's "kill page" does; the termination handler then loads `next`.
bool WebEngineBrowser::endUnresponsiveRenderer(const QUrl& next)
{
    if (!m_unresponsive || !m_page)
        return false;
    m_unresponsive = false;
#ifdef Q_OS_UNIX
    const qint64 pid = m_page->renderProcessPid();
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), SIGKILL) != 0)
        return false;
    qCWarning(lcEngine) << "ended the unresponsive renderer of" << url().toDisplayString();
    m_navigationAfterCrash = next;
    return true;
#else
    Q_UNUSED(next);
    return false;
#endif
}

QUrl WebEngineBrowser::url() const
{
    return m_page ? m_page->url() : QUrl();
}

void WebEngineBrowser::setNewWindowHandler(NewWindowHandler handler)
{
    m_newWindowHandler = std::move(handler);
}

WalkResult WebEngineBrowser::walk(const WalkRequest& request)
{
    return call(assembleCall(QStringLiteral("lumora.walk"), encodeWalkRequest(request)));
}

WalkResult WebEngineBrowser::resolve(const FramePath& frames)
{
    return call(assembleCall(QStringLiteral("lumora.resolve"), encodeFramePath(frames)));
}

WalkResult WebEngineBrowser::call(const QString& expression)
{
    if (expression.isEmpty())
        return failed(PageStatus::Missing, QStringLiteral("the call could not be built"));
    if (!m_page)
        return failed(PageStatus::PageGone, QStringLiteral("no page"));
    if (m_rendererGone)
        return failed(PageStatus::PageGone, QStringLiteral("the page's renderer has terminated"));
    if (!m_hasDocument)
        return failed(PageStatus::Missing, QStringLiteral("no document"));

    const QPointer<WebEngineBrowser> self(this);
    const std::shared_ptr<BrowserEnvironment> env = m_env;
    const QString script = answerAsJson(expression);
    ScriptAnswer answer = evaluate(script);
    if (answer.status != PageStatus::Ok)
        return failed(answer.status, answer.error);
    DecodedAnswer decoded = decodeWalkAnswer(answer.text);
    if (decoded.scriptMissing && self) {
        // WORKAROUND: a document the document-creation injection did not reach (an error page,
        // a document written before injection) lacks the page-side functions; install them
        // and make the call in one go.
        answer = evaluate(env->walkSource + QLatin1Char('\n') + script);
        if (answer.status != PageStatus::Ok)
            return failed(answer.status, answer.error);
        decoded = decodeWalkAnswer(answer.text);
    }
    return decoded.result;
}

WebEngineBrowser::ScriptAnswer WebEngineBrowser::evaluate(const QString& script)
{
    if (!m_page)
        return {PageStatus::PageGone, {}, QStringLiteral("no page")};

    const QPointer<WebEngineBrowser> self(this);
    const BusyScope busy(m_env);
    auto pending = std::make_shared<PendingCall>();
    pending->loadsStarted = m_loadsStarted;
    pending->sentWhileLoading = m_readyState != ReadyState::Complete;
    m_pending.push_back(pending);

    QEventLoop loop;
    pending->loop = &loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5% early
    const int timeoutMs = m_env->scriptTimeoutMs;
    connect(&timeout, &QTimer::timeout, &loop, [pending, timeoutMs] {
        pending->finish(PageStatus::NoAnswer, {},
                        QStringLiteral("no answer within %1 ms").arg(timeoutMs));
    });

    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                          [pending](const QVariant& value) { pending->answer(value); });
    timeout.start(timeoutMs);
    if (!pending->finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    pending->loop = nullptr;

    if (self) {
        m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                       [](const std::weak_ptr<PendingCall>& weak) {
                                           return weak.expired() || weak.lock()->finished;
                                       }),
                        m_pending.end());
    }
    if (!pending->finished) {
        // The loop was ended from outside (the application is quitting).
        pending->finish(PageStatus::NoAnswer, {}, QStringLiteral("the wait was interrupted"));
    }
    if (!self && pending->status == PageStatus::Ok)
        return {PageStatus::PageGone, {}, QStringLiteral("the view was destroyed")};
    if (self && m_page) {
        if (pending->status == PageStatus::NoAnswer)
            m_unresponsive = true;
        else if (pending->status == PageStatus::Ok)
            m_unresponsive = false;
    }
    return {pending->status, pending->text, pending->error};
}

std::optional<QString> WebEngineBrowser::evaluateText(const QString& script)
{
    if (!m_page || m_rendererGone || !m_hasDocument)
        return std::nullopt;
    const ScriptAnswer answer = evaluate(script);
    if (answer.status != PageStatus::Ok)
        return std::nullopt;
    return answer.text;
}

void WebEngineBrowser::failPending(PageStatus status, const QString& error)
{
    // Copy first: finishing quits loops, which never runs code here, but stay safe anyway.
    const auto pending = m_pending;
    for (const auto& weak : pending) {
        if (const auto call = weak.lock())
            call->finish(status, {}, error);
    }
}

void WebEngineBrowser::onLoadStarted()
{
    m_env->profileInUse = true;
    ++m_loadsStarted;
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_awaitingStart = false;
    m_startTimeout.stop();
    m_rendererGone = false;
    m_unresponsive = false;
    m_closeReported = false;
}

void WebEngineBrowser::onLoadFinished(bool ok)
{
    if (!m_page || m_awaitingStart)
        return; // a load that ended before the one navigate() asked for began
    if (!ok && m_page->isLoading())
        return; // superseded by a newer load
    m_readyState = ReadyState::Complete;
    if (ok)
        m_crashReloads = 0;
    // WORKAROUND: a script sent while the top document was being replaced can go with the old
    // document without the engine ever calling back; by the time the new one has loaded, any
    // answer would have come. Fail such calls now rather than let them wait out the timeout.
    const auto pending = m_pending;
    for (const auto& weak : pending) {
        const auto call = weak.lock();
        if (call && (call->sentWhileLoading || call->loadsStarted < m_loadsStarted))
            call->finish(PageStatus::PageGone, {},
                         QStringLiteral("the document was replaced before answering"));
    }
    const QUrl url = m_page->url();
    post([this, url] { emit documentComplete(url); });
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    using Info = QWebEngineLoadingInfo;
    const bool statusDomain = info.errorDomain() == Info::HttpStatusCodeDomain;
    switch (info.status()) {
    case Info::LoadStartedStatus:
        m_lastLoad = {LoadOutcome::Loading, 0, {}, info.url(), ++m_loadSerial};
        return;
    case Info::LoadSucceededStatus:
        m_lastLoad.outcome = LoadOutcome::Succeeded;
        m_lastLoad.httpStatus = statusDomain ? info.errorCode() : 0;
        m_lastLoad.url = info.url();
        return;
    case Info::LoadStoppedStatus:
    case Info::LoadFailedStatus:
        if (m_page && m_page->isLoading())
            return; // superseded by a newer load, which reports for itself
        m_lastLoad.outcome = statusDomain && info.errorCode() >= 400 ? LoadOutcome::HttpError
                                                                     : LoadOutcome::NetworkError;
        m_lastLoad.httpStatus = statusDomain ? info.errorCode() : 0;
        m_lastLoad.error = info.errorString();
        m_lastLoad.url = info.url();
        qCWarning(lcEngine).nospace() << "load failed: " << info.url().toDisplayString() << ": "
                                      << info.errorString() << " (" << info.errorCode() << ")";
        return;
    }
}

void WebEngineBrowser::onRendererTerminated()
{
    qCWarning(lcEngine) << "renderer terminated:" << url().toDisplayString();
    m_lastLoad.outcome = LoadOutcome::RendererGone;
    m_rendererGone = true;
    m_unresponsive = false;
    m_readyState = ReadyState::Loading;
    failPending(PageStatus::PageGone, QStringLiteral("the page's renderer has terminated"));
    if (m_navigationAfterCrash.isEmpty()) {
        if (m_crashReloads >= kMaxCrashReloads)
            return;
        ++m_crashReloads;
    }
    // Reloading directly from the termination handler is not supported; defer it.
    m_reloadScheduled = true;
    QTimer::singleShot(0, this, &WebEngineBrowser::reloadAfterCrash);
}

void WebEngineBrowser::reloadAfterCrash()
{
    m_reloadScheduled = false;
    if (!m_page || !m_rendererGone)
        return;
    const QUrl next = std::exchange(m_navigationAfterCrash, QUrl());
    if (next.isEmpty()) {
        m_page->triggerAction(QWebEnginePage::Reload);
        return;
    }
    m_awaitingStart = true;
    m_startTimeout.start();
    m_page->load(next);
}

void WebEngineBrowser::reportWindowClosing()
{
    // Both the tagged message and the engine's own close request may report one close.
    if (m_closeReported)
        return;
    m_closeReported = true;
    post([this] { emit windowClosing(); });
}

void WebEngineBrowser::reportFrameLoaded(const QUrl& url)
{
    post([this, url] { emit documentComplete(url); });
}

void WebEngineBrowser::post(std::function<void()> emission)
{
    const std::shared_ptr<BrowserEnvironment> env = m_env;
    QMetaObject::invokeMethod(
        this,
        [env, emission = std::move(emission)] {
            const BusyScope busy(env);
            emission();
        },
        Qt::QueuedConnection);
}

QWebEnginePage* WebEngineBrowser::pageForNewWindow()
{
    if (!m_newWindowHandler || !m_page)
        return nullptr;
    BrowserControl* chosen = nullptr;
    {
        const QPointer<WebEngineBrowser> self(this);
        const BusyScope busy(m_env);
        try {
            chosen = m_newWindowHandler();
        } catch (...) {
            chosen = nullptr; // a failing handler refuses the window
        }
        if (!self)
            return nullptr;
    }
    auto* target = qobject_cast<WebEngineBrowser*>(chosen);
    if (!target || target == this || !target->m_page || !m_page ||
        target->m_page->profile() != m_page->profile())
        return nullptr;
    // The new window replaces whatever the target showed.
    target->failPending(PageStatus::PageGone, QStringLiteral("replaced by a new window"));
    target->m_hasDocument = true;
    target->m_readyState = ReadyState::Loading;
    target->m_awaitingStart = false;
    target->m_startTimeout.stop();
    target->m_rendererGone = false;
    target->m_closeReported = false;
    target->m_lastLoad = {LoadOutcome::Loading, 0, {}, {}, ++target->m_loadSerial};
    return target->m_page;
}

bool WebEngineBrowser::takeConsoleMessage(const QString& message, const QString& sourceID)
{
    if (sourceID == scriptSourceId(kFrameEventsScriptName)) {
        const QString prefix = m_env->frameEventTag + QLatin1Char(' ');
        if (message.startsWith(prefix)) {
            reportFrameLoaded(QUrl(message.mid(prefix.size())));
            return true;
        }
    } else if (sourceID == scriptSourceId(kWindowCloseScriptName)) {
        if (message == m_env->windowCloseTag) {
            reportWindowClosing();
            return true;
        }
    }
    return false;
}

} // namespace lumora::platform::webengine
