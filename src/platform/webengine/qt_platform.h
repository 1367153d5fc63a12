#pragma once

#include "platform/platform.h"
#include "platform/qt_services.h"
#include "platform/system_sleep_inhibitor.h"

#include <functional>
#include <memory>

namespace lumora::platform {

namespace webengine {
class WebEngineHost;
}

// Where the browser profile (with its cache) and the single-instance lock are kept.
struct EngineFolders
{
    // Machine-local data: on Windows it stays on the machine instead of roaming with the user's
    // profile (AppLocalDataLocation).
    QString local;
    // Where earlier versions kept them: the data that roams with the user's profile on Windows
    // (AppDataLocation); the same folder as `local` on Linux and macOS.
    QString roaming;
    static EngineFolders standard();
};

// The folder to keep the browser profile in: `local`, after moving there a profile found only
// in `roaming`. When that move fails, `roaming`, so that nothing stored is lost (logged). The run
// record, which is always kept in `local`, moves there too when only `roaming` has one; when that
// fails it stays where it was (logged).
QString settleProfileFolder(const EngineFolders& folders);

// The real platform: Qt WebEngine views on one on-disk profile, Qt's clock, timers and boxes.
class QtPlatform final : public Platform
{
public:
    explicit QtPlatform(const EngineFolders& folders = EngineFolders::standard());
    // Call before the QApplication is created: the engine's needs from the process.
    static void prepareProcess();
    ~QtPlatform() override;

    std::unique_ptr<BrowserControl> createBrowser(QWidget* parent) override;
    std::unique_ptr<Timer> createTimer() override;
    Clock& clock() override { return m_clock; }
    Dialogs& dialogs() override { return m_dialogs; }
    BrowsingData& browsingData() override;
    SiteProbe& siteProbe() override { return m_probe; }
    SleepInhibitor& sleepInhibitor() override { return m_sleep; }
    bool hasSystemTray() override;

    // Starts the engine: some 160 ms in which this thread does nothing else, so the window is
    // best drawn before. The views made until then (which wait for it, empty) get their pages,
    // and the loads they were asked for start. Anything that needs the engine earlier starts it.
    void startEngine();

    QtDialogs& qtDialogs() { return m_dialogs; }
    // Asks the engine whether it plays H.264 video with AAC sound (MP4 courses); `done` gets the
    // answer once, later, from the event loop. Not called when the engine gives none (logged).
    void checkH264Playback(std::function<void(bool canPlay)> done);

private:
    std::unique_ptr<webengine::WebEngineHost> m_engine;
    QtClock m_clock;
    QtDialogs m_dialogs;
    QtSiteProbe m_probe;
    SystemSleepInhibitor m_sleep;
};

} // namespace lumora::platform
