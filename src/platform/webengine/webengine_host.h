#pragma once

#include "platform/browser_control.h"
#include "platform/browsing_data.h"
#include "platform/process.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace lumora::platform::webengine {

class WebEngineBrowser;

// Owns the one on-disk browser profile shared by every view, creates the views, and clears
// the profile's data. Storage lives under `storageRoot` and is kept between runs. The profile is
// made by start(), which starts the engine; views made before it wait for it.
//
// Layout: <storageRoot>/generation names the profile generation in use, whose data is in
// <storageRoot>/gen-<N>/. A full clear moves to a new generation; older ones are deleted (at
// once when possible, else at the next start).
class WebEngineHost : public QObject, public BrowsingData
{
    Q_OBJECT
public:
    // Ends a process by its id; true when the system took the order.
    using ProcessEnder = std::function<bool(qint64 pid)>;

    // `endProcess` ends a renderer that stopped answering, when a view must leave its page.
    explicit WebEngineHost(const QString& storageRoot, int scriptTimeoutMs = 5000,
                           ProcessEnder endProcess = platform::endProcess);
    ~WebEngineHost() override;

    // To be called before the QApplication is constructed: sets what the engine needs from
    // the application (shared OpenGL contexts), adds to QTWEBENGINE_CHROMIUM_FLAGS the
    // Chromium switches that keep pages' timers and media running at full rate while the
    // window is in the background, and (with glibc) keeps the heap from growing over a night.
    static void prepareProcess();

    // Makes the profile, which starts the engine (some 160 ms in which this thread does nothing
    // else), then gives each view made so far its page and starts the load it was asked for.
    // Once; later calls, and those below that need the profile before it, do nothing more.
    void start();
    // A new view on the shared profile, started first if it was not; its widget gets `parent`.
    std::unique_ptr<BrowserControl> createBrowser(QWidget* parent);
    // The same without starting: before start() its widget may be shown (empty) and what it is
    // asked to load waits for its page; the first document it then loads goes without the
    // isolated world's scripts, which join after it.
    std::unique_ptr<BrowserControl> createWaitingBrowser(QWidget* parent);

    // Asks a page of the profile whether it can play `mimeType` (HTMLMediaElement.canPlayType):
    // `done` gets true for "probably" or "maybe", false for no. It is not called at all when the
    // engine gives no answer (logged on lcEngine).
    void canPlayType(const QString& mimeType, std::function<void(bool)> done);

    void clearCache() override;
    void clearEverything() override;

    int scriptTimeoutMs() const;
    // The directory of the profile generation now in use.
    QString profilePath() const;
    // The operating-system id of the renderer process showing `control`'s page; 0 when there
    // is none or `control` is not one of this layer's.
    static qint64 rendererProcessId(const BrowserControl& control);
    // Runs `script` as it is in the page's isolated world and waits for it like walk() does;
    // its value if it is a string. For measurements and diagnostics, not for handlers.
    static std::optional<QString> runScriptForText(BrowserControl& control, const QString& script);

signals:
    // A full clear has moved the views to a fresh profile.
    void everythingCleared();

private:
    friend class WebEngineBrowser;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace lumora::platform::webengine
