#pragma once

// What one view knows about the page it shows: whether there is a document, its ready state,
// how the last top-level load ended, and the recovery under way after its renderer went.
// Plain data with named transitions; WebEngineBrowser feeds them from the engine's signals and
// does what they return.

#include "platform/browser_control.h"

#include <QUrl>
#include <optional>
#include <utility>

namespace lumora::platform::webengine {

// After this many renderer crashes without a successful load in between, the view stops
// reloading by itself (a page that kills its renderer every time).
inline constexpr int kMaxCrashReloads = 3;

class LoadState
{
public:
    LoadState() = default;
    bool hasDocument() const { return m_hasDocument; }
    ReadyState readyState() const { return m_readyState; }
    const LoadInfo& lastLoad() const { return m_lastLoad; }
    // How many top-level loads the engine reported as started; calls remember it when sent.
    int loadsStarted() const { return m_loadsStarted; }
    // The page's renderer has terminated and no load has started since.
    bool rendererGone() const { return m_rendererGone; }
    // navigate() or refresh() asked for a load whose start the engine has not reported yet.
    bool awaitingStart() const { return m_awaitingStart; }
    // The last call into the page got no answer: the renderer is presumed hung.
    bool unresponsive() const { return m_unresponsive; }
    const QUrl& requestedUrl() const { return m_requestedUrl; }

    // A new page is shown: nothing loaded, nothing pending.
    void pageAttached() { *this = LoadState(std::exchange(m_serial, 0)); }
    // navigate() or refresh() asked for `url`: Loading from now on. False when the load is to
    // wait for the reload already scheduled after a crash, which then loads `url` instead.
    bool loadRequested(const QUrl& url);
    // The engine began a top-level load, asked for or begun by the page itself.
    void loadStarted(const QUrl& url);
    // The engine ended a top-level load with `outcome`. False when the report is to be ignored:
    // it ends a load older than the one asked for, one superseded by a load still running, or
    // the load the renderer died in.
    bool loadFinished(const LoadInfo& outcome, bool engineStillLoading);
    // The load asked for never reported its start (a navigation within the same document, a
    // load the engine dropped): the page shown stays as it was.
    void startTimedOut(bool engineLoading);
    // The renderer crashed or was killed. True when the view is to reload (deferred): always
    // when a navigation waits for it, else up to kMaxCrashReloads times in a row.
    bool rendererTerminated();
    // The deferred reload is due: nothing to do when a load has started since the crash, else
    // the address to load, empty for a plain reload.
    std::optional<QUrl> reloadDue();
    // An unresponsive renderer is being ended on purpose; `next` loads once it is gone.
    void rendererEnded(const QUrl& next);
    // A page in another view opened a window that this view shows from now on.
    void newWindowRoutedIn();
    // A call into the page came back (or not).
    void callEnded(PageStatus status);
    // A close of the window by the page's script; true only for the first one per document.
    bool closeRequested() { return !std::exchange(m_closeReported, true); }

private:
    // A new page goes on numbering loads where the old one stopped.
    explicit LoadState(int serial) : m_serial(serial) {}

    bool m_hasDocument = false;
    ReadyState m_readyState = ReadyState::Uninitialized;
    LoadInfo m_lastLoad;
    LoadInfo m_beforeRequest; // what a request that never starts leaves shown
    int m_loadsStarted = 0;
    int m_serial = 0; // numbers the loads for LoadInfo::serial
    QUrl m_requestedUrl;
    bool m_awaitingStart = false;
    bool m_rendererGone = false;
    bool m_reloadScheduled = false;
    int m_crashReloads = 0;
    QUrl m_afterCrash; // loaded instead of the automatic reload
    bool m_unresponsive = false;
    bool m_closeReported = false;
};

} // namespace lumora::platform::webengine
