#pragma once

// Qt WebEngine behind BrowserControl. Internal to src/platform/: the rest of the program sees
// only BrowserControl and WebEngineHost.

#include "platform/browser_control.h"

#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class QWebEngineProfile;
class QWebEngineView;

namespace lumora::platform::webengine {

// What the views need from their host. Shared, so that a view outliving its host stays safe.
struct BrowserEnvironment
{
    int scriptTimeoutMs = 5000;
    QString frameEventTag;  // tag of frame-load console messages
    QString windowCloseTag; // tag of window.close() console messages
    QString walkSource;     // the page-side walk functions, for a document that missed them
    // Above zero while some view waits for a page or runs outside code (a handler connected
    // to its signals); pages must not be deleted then.
    int busy = 0;
    // Whether a page of the current profile has started loading anything yet.
    bool profileInUse = false;
};

inline constexpr auto kWalkScriptName = "lumora-walk";
inline constexpr auto kFrameEventsScriptName = "lumora-frame-events";
inline constexpr auto kWindowCloseScriptName = "lumora-window-close";

class WebEngineBrowser;

// The page of one view: routes the engine's questions (dialogs, new windows, console) to it.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    BrowserPage(QWebEngineProfile* profile, WebEngineBrowser* owner);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

private:
    bool silent() const;
    QPointer<WebEngineBrowser> m_owner;
};

class WebEngineBrowser : public BrowserControl
{
    Q_OBJECT
public:
    WebEngineBrowser(std::shared_ptr<BrowserEnvironment> environment, QWebEngineView* view);
    ~WebEngineBrowser() override;

    QWidget* widget() override;
    bool hasDocument() const override { return m_hasDocument; }
    ReadyState readyState() const override { return m_readyState; }
    LoadInfo lastLoad() const override { return m_lastLoad; }
    void navigate(const QUrl& url) override;
    void refresh() override;
    void setSilent(bool silent) override { m_silent = silent; }
    QUrl url() const override;
    WalkResult walk(const WalkRequest& request) override;
    WalkResult resolve(const FramePath& frames) override;
    void setNewWindowHandler(NewWindowHandler handler) override;

    // Shows `page` from now on (taking ownership) and deletes the page shown so far; the
    // view starts over without a document.
    void attachPage(BrowserPage* page);
    // Deletes the page; later calls fail as PageGone. Used when the host goes away first.
    void detachPage();
    BrowserPage* page() const { return m_page; }
    bool silent() const { return m_silent; }
    bool viewVisible() const;
    // The page shown, or the one navigate() asked for while it has not appeared yet.
    QUrl shownOrRequestedUrl() const;
    qint64 rendererProcessId() const;
    // One raw round trip of `script` in the isolated world; its value when it is a string.
    std::optional<QString> evaluateText(const QString& script);

private:
    friend class BrowserPage;
    struct PendingCall;
    struct ScriptAnswer
    {
        PageStatus status = PageStatus::Ok;
        QString text;
        QString error;
    };

    WalkResult call(const QString& expression);
    ScriptAnswer evaluate(const QString& script);
    void failPending(PageStatus status, const QString& error);

    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onRendererTerminated();
    void reloadAfterCrash();
    // Ends the page's renderer when it stopped answering; true when it was ended.
    bool endUnresponsiveRenderer(const QUrl& next);
    void reportWindowClosing();
    void reportFrameLoaded(const QUrl& url);
    // Runs `emission` from the event loop, never from inside an engine callback.
    void post(std::function<void()> emission);

    // Engine callbacks from BrowserPage.
    QWebEnginePage* pageForNewWindow();
    bool takeConsoleMessage(const QString& message, const QString& sourceID);

    std::shared_ptr<BrowserEnvironment> m_env;
    QPointer<QWebEngineView> m_view;
    BrowserPage* m_page = nullptr;
    NewWindowHandler m_newWindowHandler;
    std::vector<std::weak_ptr<PendingCall>> m_pending;
    QTimer m_startTimeout;
    bool m_hasDocument = false;
    ReadyState m_readyState = ReadyState::Uninitialized;
    LoadInfo m_lastLoad;
    int m_loadSerial = 0;
    int m_loadsStarted = 0;
    QUrl m_requestedUrl;
    bool m_awaitingStart = false;
    bool m_silent = false;
    bool m_rendererGone = false;
    int m_crashReloads = 0;
    bool m_reloadScheduled = false;
    bool m_unresponsive = false; // the last call got no answer
    QUrl m_navigationAfterCrash; // loaded instead of reloading once the renderer is gone
    bool m_closeReported = false;
};

} // namespace lumora::platform::webengine
