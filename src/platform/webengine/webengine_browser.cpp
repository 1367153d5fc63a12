// The view and its page: script calls, new windows and the page's console messages.
// Loads and renderer recovery are in webengine_browser_loads.cpp, the lesson's medium and the
// page's controls in webengine_browser_media.cpp.

#include "platform/webengine/webengine_browser.h"

#include "platform/logging.h"
#include "platform/webengine/browser_page.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/walk_codec.h"

#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <utility>

namespace lumora::platform::webengine {

namespace {

// How long navigate() waits for the engine to report the load's start before trusting the
// engine's own loading flag (a navigation within the same document never reports one).
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

DecodedEnvelope failed(PageStatus status, const QString& error)
{
    DecodedEnvelope envelope;
    envelope.status = status;
    envelope.error = error;
    return envelope;
}

QString scriptSourceId(const char* scriptName)
{
    return QStringLiteral("userscript:") + QLatin1String(scriptName);
}

} // namespace

// A view that may be shown before its page exists: Qt's view, shown or hidden without a page,
// makes one of the engine's default profile, which would start the engine there. Until its page
// comes it stays empty and takes no drops (Qt's view would hand them to the page).
class PageView final : public QWebEngineView
{
public:
    explicit PageView(QWidget* parent) : QWebEngineView(parent) { setAcceptDrops(false); }
    Q_DISABLE_COPY_MOVE(PageView)

    void showPage(QWebEnginePage* page)
    {
        m_hasPage = true;
        setAcceptDrops(true);
        setPage(page);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        m_hasPage ? QWebEngineView::showEvent(event) : QWidget::showEvent(event);
    }
    void hideEvent(QHideEvent* event) override
    {
        m_hasPage ? QWebEngineView::hideEvent(event) : QWidget::hideEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        m_hasPage ? QWebEngineView::closeEvent(event) : QWidget::closeEvent(event);
    }

private:
    bool m_hasPage = false;
};

WebEngineBrowser::WebEngineBrowser(std::shared_ptr<BrowserEnvironment> environment)
    : m_env(std::move(environment))
{
    m_startTimeout.setSingleShot(true);
    m_startTimeout.setInterval(kLoadStartTimeoutMs);
    connect(&m_startTimeout, &QTimer::timeout, this, &WebEngineBrowser::startTimeoutElapsed);
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
    return shown.isEmpty() ? m_load.requestedUrl() : shown;
}

qint64 WebEngineBrowser::rendererProcessId() const
{
    return m_page ? m_page->renderProcessPid() : 0;
}

void WebEngineBrowser::attachPage(BrowserPage* page)
{
    BrowserPage* old = m_page;
    m_page = page;
    m_calls.failAll(PageStatus::PageGone, QStringLiteral("the page was replaced"));
    m_frameVideos.clear();
    m_load.pageAttached();
    m_startTimeout.stop();
    m_heldScripts.clear(); // a new page comes with its scripts
    m_loadsWithoutHeldScripts = 0;
    if (page) {
        page->setParent(this);
        page->setSilent(m_silent);
        page->setHooks(
            {[this] { return pageForNewWindow(); },
             [this](const QString& message, const QString& sourceId) {
                 return takeConsoleMessage(message, sourceId);
             },
             [this](const QString& text) { post([this, text] { emit alertShown(text); }); }});
        connect(page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
        connect(page, &QWebEnginePage::renderProcessTerminated, this,
                &WebEngineBrowser::onRendererTerminated);
        connect(page, &QWebEnginePage::windowCloseRequested, this,
                &WebEngineBrowser::reportWindowClosedByPage);
        if (m_view)
            m_view->showPage(page);
    }
    delete old;
}

void WebEngineBrowser::detachPage()
{
    BrowserPage* old = m_page;
    m_page = nullptr;
    m_calls.failAll(PageStatus::PageGone, QStringLiteral("the page was closed"));
    delete old;
}

void WebEngineBrowser::setSilent(bool silent)
{
    m_silent = silent;
    if (m_page)
        m_page->setSilent(silent);
}

void WebEngineBrowser::showIn(QWidget* parent)
{
    Q_ASSERT(!m_view);
    m_view = new PageView(parent);
    if (m_page)
        m_view->showPage(m_page);
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
    return readWalkResult(
        call(assembleCall(QStringLiteral("lumora.walk"), encodeWalkRequest(request))));
}

WalkResult WebEngineBrowser::resolve(const FramePath& frames)
{
    return readWalkResult(
        call(assembleCall(QStringLiteral("lumora.resolve"), encodeFramePath(frames))));
}

DocumentInfo WebEngineBrowser::document(const FramePath& frames)
{
    const DecodedEnvelope answer =
        call(assembleCall(QStringLiteral("lumora.documentInfo"), encodeFramePath(frames)));
    if (!answer.ok())
        return {};
    const QJsonObject& o = answer.object;
    return {QUrl(o.value(QStringLiteral("url")).toString()),
            o.value(QStringLiteral("identity")).toString(),
            o.value(QStringLiteral("complete")).toBool()};
}

int WebEngineBrowser::fetch(const QUrl& url)
{
    const DecodedEnvelope answer =
        call(assembleCall(QStringLiteral("lumora.fetchUrl"), url.toString(QUrl::FullyEncoded)));
    return answer.ok() ? answer.object.value(QStringLiteral("ticket")).toInt() : 0;
}

FetchAnswer WebEngineBrowser::fetchAnswer(int ticket)
{
    return readFetchAnswer(call(assembleCall(QStringLiteral("lumora.fetchAnswer"), ticket)));
}

QString WebEngineBrowser::pageText(int maxChars)
{
    // The isolated world sees the page's own DOM: innerText as the page lays it out.
    const QString script =
        QStringLiteral("(document.body ? String(document.body.innerText) : '').slice(0, %1)")
            .arg(qMax(0, maxChars));
    return evaluateText(script).value_or(QString());
}

DecodedEnvelope WebEngineBrowser::call(const QString& expression)
{
    if (expression.isEmpty())
        return failed(PageStatus::Missing, QStringLiteral("the call could not be built"));
    if (!m_page)
        return failed(PageStatus::PageGone, QStringLiteral("no page"));
    if (m_load.rendererGone())
        return failed(PageStatus::PageGone, QStringLiteral("the page's renderer has terminated"));
    if (!m_load.hasDocument())
        return failed(PageStatus::Missing, QStringLiteral("no document"));

    const QPointer<WebEngineBrowser> self(this);
    const std::shared_ptr<BrowserEnvironment> env = m_env;
    const QString script = answerAsJson(expression);
    ScriptAnswer answer = evaluate(script);
    if (answer.status != PageStatus::Ok)
        return failed(answer.status, answer.error);
    DecodedEnvelope decoded = decodeEnvelope(answer.text);
    if (decoded.scriptMissing && self) {
        // WORKAROUND (Qt 6.4.2): a document the injection at its creation missed, as happens
        // now and then in a renderer started after a crash (error pages, script-written pop-ups
        // and about:blank do get it). Install the page-side functions and call in one go.
        if (m_load.loadsStarted() > m_loadsWithoutHeldScripts)
            qCInfo(lcPage) << "page script missing in" << url().toDisplayString() << "- installing";
        else
            qCDebug(lcPage) << "installing the page script in" << url().toDisplayString();
        answer = evaluate(env->walkSource + QLatin1Char('\n') + script);
        if (answer.status != PageStatus::Ok)
            return failed(answer.status, answer.error);
        decoded = decodeEnvelope(answer.text);
    }
    return decoded;
}

ScriptAnswer WebEngineBrowser::evaluate(const QString& script)
{
    if (!m_page)
        return {PageStatus::PageGone, {}, QStringLiteral("no page")};
    const QPointer<WebEngineBrowser> self(this);
    const BusyScope busy(m_env);
    const auto pending =
        m_calls.add(m_load.loadsStarted(), m_load.readyState() != ReadyState::Complete);
    const ScriptAnswer answer = runAndWait(*m_page, script, pending, m_env->scriptTimeoutMs);
    if (!self) {
        if (answer.status == PageStatus::Ok)
            return {PageStatus::PageGone, {}, QStringLiteral("the view was destroyed")};
        return answer;
    }
    m_calls.prune();
    if (m_page)
        m_load.callEnded(answer.status);
    return answer;
}

std::optional<QString> WebEngineBrowser::evaluateText(const QString& script)
{
    if (!m_page || m_load.rendererGone() || !m_load.hasDocument())
        return std::nullopt;
    const ScriptAnswer answer = evaluate(script);
    if (answer.status != PageStatus::Ok)
        return std::nullopt;
    return answer.text;
}

void WebEngineBrowser::reportWindowClosedByPage()
{
    // Both the tagged message and the engine's own close request may report one close.
    if (m_load.closeRequested())
        post([this] { emit windowClosedByPage(); });
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
    if (!chosen)
        return nullptr; // refused on purpose
    auto* target = qobject_cast<WebEngineBrowser*>(chosen);
    if (!target || target == this || !target->m_page || !m_page ||
        target->m_page->profile() != m_page->profile()) {
        qCWarning(lcEngine) << "a new window from" << url().toDisplayString()
                            << "cannot be shown in the view chosen for it";
        return nullptr;
    }
    return target->adoptNewWindow();
}

QWebEnginePage* WebEngineBrowser::adoptNewWindow()
{
    // The new window replaces whatever this view showed; it starts as a load under way.
    m_calls.failAll(PageStatus::PageGone, QStringLiteral("replaced by a new window"));
    m_frameVideos.clear();
    m_load.newWindowRoutedIn();
    m_startTimeout.stop();
    return m_page;
}

bool WebEngineBrowser::takeConsoleMessage(const QString& message, const QString& sourceId)
{
    if (sourceId == scriptSourceId(kFrameEventsScriptName)) {
        const QString prefix = m_env->frameEventTag + QLatin1Char(' ');
        if (message.startsWith(prefix)) {
            const QUrl frame(message.mid(prefix.size()));
            post([this, frame] { emit documentLoaded(frame); });
            return true;
        }
    } else if (sourceId == scriptSourceId(kFrameVideoScriptName)) {
        const QString prefix = m_env->frameVideoTag + QLatin1Char(' ');
        if (message.startsWith(prefix))
            return m_frameVideos.take(message.mid(prefix.size()));
    } else if (sourceId == scriptSourceId(kWindowCloseScriptName)) {
        if (message == m_env->windowCloseTag) {
            reportWindowClosedByPage();
            return true;
        }
    }
    return false;
}

} // namespace lumora::platform::webengine
