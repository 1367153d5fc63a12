#pragma once

#include "platform/browser_control.h"
#include "platform/browsing_data.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/restart_registration.h"
#include "platform/site_probe.h"
#include "platform/sleep_inhibitor.h"

#include <memory>

class QWidget;

namespace lumora::platform {

// Everything the program needs from the machine, handed to app::Program at construction and
// passed on to the roles that use it. The real set is built by QtPlatform; unit tests hand in
// fakes, so that the whole program runs without an engine, real time or a desktop.
class Platform
{
public:
    virtual ~Platform() = default;
    // Creates one of the two browser controls; its widget gets `parent`.
    virtual std::unique_ptr<BrowserControl> createBrowser(QWidget* parent) = 0;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    virtual Clock& clock() = 0;
    virtual Dialogs& dialogs() = 0;
    virtual BrowsingData& browsingData() = 0;
    virtual SiteProbe& siteProbe() = 0;
    virtual SleepInhibitor& sleepInhibitor() = 0;
    // Registering for a restart: the system's own unless the platform brings one (the fakes).
    virtual RestartRegistration& restartRegistration() { return systemRestartRegistration(); }
    // The file system the state file lives in: the system's unless the platform brings one.
    virtual Files& files() { return systemFiles(); }
    // Whether the desktop has a tray to show the program's icon in.
    virtual bool hasSystemTray() = 0;
};

} // namespace lumora::platform
