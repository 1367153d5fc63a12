#pragma once

// The real engine for integration tests: Qt WebEngine views on a profile in a temporary folder,
// the real clock, recorded (non-blocking) message boxes and a study timer the test fires by hand
// (the program's other timers are real), plus the stand-in site served in-process on a free
// loopback port.

#include "fake_platform.h"
#include "platform/qt_services.h"
#include "platform/webengine/webengine_host.h"
#include "site_server.h"

#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <chrono>

namespace lumora::testing {

// The fake platform with the real engine, clock and site check in it.
class EnginePlatform final : public FakePlatform
{
public:
    explicit EnginePlatform(const QString& storageRoot) : host(storageRoot) {}

    std::unique_ptr<platform::BrowserControl> createBrowser(QWidget* parent) override
    {
        return viewsWaitForStart ? host.createWaitingBrowser(parent) : host.createBrowser(parent);
    }
    platform::Clock& clock() override { return realClock; }
    // The first timer is the study run's tick, fired by hand; the others run as in the program.
    std::unique_ptr<platform::Timer> createTimer() override
    {
        if (!timer)
            return FakePlatform::createTimer();
        return std::make_unique<platform::QtTimer>();
    }
    platform::BrowsingData& browsingData() override { return host; }
    platform::SiteProbe& siteProbe() override { return probe; }

    platform::webengine::WebEngineHost host;
    // As in the program (QtPlatform): the views wait for host.start(), empty until then.
    bool viewsWaitForStart = false;
    platform::QtClock realClock;
    platform::QtSiteProbe probe;
};

class SiteFixture
{
public:
    SiteFixture();
    // Moves the site's clock on (its study time, session lifetimes, event stamps): a test that
    // fires study ticks by hand gives the site the same time as the program's count.
    void advanceClock(std::chrono::milliseconds by) { m_skewMs += by.count(); }
    QUrl url(const QString& pathAndQuery = {}) const;
    // Everything the site recorded, in order; with a kind, only the events of that kind.
    QList<QJsonObject> events(const QString& kind = {}) const;

private:
    std::atomic<std::int64_t> m_skewMs{0}; // before the server, which reads it

public:
    site::SiteServer server;
    int port = -1;
};

} // namespace lumora::testing
