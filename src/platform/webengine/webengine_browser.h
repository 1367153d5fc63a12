#pragma once

// Qt WebEngine behind BrowserControl. Internal to src/platform/: the rest of the program sees
// only BrowserControl and WebEngineHost.

#include "platform/browser_control.h"
#include "platform/webengine/frame_videos.h"
#include "platform/webengine/load_state.h"
#include "platform/webengine/page_call.h"
#include "platform/webengine/walk_codec.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>
#include <memory>
#include <optional>
#include <utility>

class QWebEngineLoadingInfo;

namespace lumora::platform::webengine {

class BrowserPage;
class PageView;

// What the views need from their host. Shared, so that a view outliving its host stays safe.
struct BrowserEnvironment
{
    int scriptTimeoutMs = 5000;
    QString frameEventTag;  // tag of frame-load console messages
    QString frameVideoTag;  // tag of the video reports of frames out of the top document's reach
    QString windowCloseTag; // tag of window.close() console messages
    QString walkSource;     // the page-side functions, for a document that missed them
    // Above zero while some view waits for a page or runs outside code (a handler connected
    // to its signals); pages must not be deleted then.
    int busy = 0;
    // Whether a page of the current profile has started loading anything yet.
    bool profileInUse = false;
    // Ends a renderer that stopped answering (platform::endProcess, or a test's stand-in).
    std::function<bool(qint64 pid)> endProcess;
};

inline constexpr auto kWalkScriptName = "lumora-walk";
inline constexpr auto kFrameEventsScriptName = "lumora-frame-events";
inline constexpr auto kFrameVideoScriptName = "lumora-frame-video";
inline constexpr auto kWindowCloseScriptName = "lumora-window-close";
inline constexpr auto kForegroundScriptName = "lumora-foreground";
inline constexpr auto kOpenShadowScriptName = "lumora-open-shadow";

class WebEngineBrowser final : public BrowserControl
{
    Q_OBJECT
public:
    explicit WebEngineBrowser(std::shared_ptr<BrowserEnvironment> environment);
    ~WebEngineBrowser() override;

    QWidget* widget() override;
    bool hasDocument() const override { return m_load.hasDocument(); }
    ReadyState readyState() const override { return m_load.readyState(); }
    LoadInfo lastLoad() const override { return m_load.lastLoad(); }
    void navigate(const QUrl& url) override;
    void refresh() override;
    void setSilent(bool silent) override;
    QUrl url() const override;
    WalkResult walk(const WalkRequest& request) override;
    WalkResult resolve(const FramePath& frames) override;
    DocumentInfo document(const FramePath& frames) override;
    int fetch(const QUrl& url) override;
    FetchAnswer fetchAnswer(int ticket) override;
    MediaReport mediaErrors() override;
    bool replayVideo() override;
    QString clickControl(const QStringList& texts) override;
    QString pageText(int maxChars) override;
    void setNewWindowHandler(NewWindowHandler handler) override;

    // Shows `page` from now on (taking ownership) and deletes the page shown so far; the
    // view starts over without a document.
    void attachPage(BrowserPage* page);
    // Deletes the page; later calls fail as PageGone. Used when the host goes away first.
    void detachPage();
    // `scripts` join the page's own when the load under way ends; documents of the loads
    // started until then go without them.
    void insertScriptsAfterLoad(QList<QWebEngineScript> scripts);
    bool viewVisible() const;
    // Gives the browser its view, in `parent`, showing the page it has, loaded or loading; one
    // without a page yet stays empty until attachPage().
    void showIn(QWidget* parent);
    // What navigate() asked for while there was no page, which is forgotten here.
    QUrl takeWaitingUrl() { return std::exchange(m_waitingUrl, QUrl()); }
    // The page shown, or the one navigate() asked for while it has not appeared yet.
    QUrl shownOrRequestedUrl() const;
    qint64 rendererProcessId() const;
    // One raw round trip of `script` in the isolated world; its value when it is a string.
    std::optional<QString> evaluateText(const QString& script);

private:
    DecodedEnvelope call(const QString& expression);
    ScriptAnswer evaluate(const QString& script);
    void reportWindowClosedByPage();
    // Runs `emission` from the event loop, never from inside an engine callback.
    void post(std::function<void()> emission);

    // Engine callbacks through the page's hooks.
    QWebEnginePage* pageForNewWindow();
    QWebEnginePage* adoptNewWindow();
    bool takeConsoleMessage(const QString& message, const QString& sourceId);

    // Loads and renderer recovery (webengine_browser_loads.cpp).
    // Loads `url` (or reloads, for an empty one) and counts it as started at once when the
    // engine will not report the start.
    void startLoad(const QUrl& url);
    void startTimeoutElapsed();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onRendererTerminated();
    void reloadAfterCrash();
    void insertHeldScripts();
    // Ends the page's renderer when it stopped answering; true when it was ended.
    bool endUnresponsiveRenderer(const QUrl& next);

    std::shared_ptr<BrowserEnvironment> m_env;
    QPointer<PageView> m_view;
    BrowserPage* m_page = nullptr;
    NewWindowHandler m_newWindowHandler;
    PendingCalls m_calls;
    FrameVideos m_frameVideos; // of the document shown now
    LoadState m_load;
    QTimer m_startTimeout;
    bool m_silent = false;
    QUrl m_waitingUrl;                     // asked for before there was a page
    QList<QWebEngineScript> m_heldScripts; // insertScriptsAfterLoad()'s, until then
    int m_loadsWithoutHeldScripts = 0;     // the loads started before they joined
};

} // namespace lumora::platform::webengine
