#pragma once

#include "platform/platform.h"
#include "platform/qt_services.h"
#include "platform/single_instance.h"

#include <memory>

namespace lumora::platform {

namespace webengine {
class WebEngineHost;
}

// The real platform: Qt WebEngine views on one on-disk profile, Qt's clock, timers and boxes.
class QtPlatform final : public Platform
{
public:
    // `dataFolder` holds the browser profile and the single-instance lock.
    explicit QtPlatform(const QString& dataFolder);
    // Call before the QApplication is created: the engine's needs from the process.
    static void prepareProcess();
    ~QtPlatform() override;

    std::unique_ptr<BrowserControl> createBrowser(QWidget* parent) override;
    std::unique_ptr<Timer> createTimer() override;
    Clock& clock() override { return m_clock; }
    Dialogs& dialogs() override { return m_dialogs; }
    BrowsingData& browsingData() override;
    bool anotherCopyRunning() const override { return m_instance.anotherCopyRunning(); }

    QtDialogs& qtDialogs() { return m_dialogs; }

private:
    SingleInstance m_instance;
    std::unique_ptr<webengine::WebEngineHost> m_engine;
    QtClock m_clock;
    QtDialogs m_dialogs;
};

} // namespace lumora::platform
