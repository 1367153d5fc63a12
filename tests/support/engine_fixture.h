#pragma once

// The real engine for integration tests: Qt WebEngine views on a profile in a temporary folder,
// the real clock, recorded (non-blocking) message boxes and a timer the test fires by hand,
// plus the stand-in site served in-process on a free loopback port.

#include "fake_platform.h"
#include "platform/qt_services.h"
#include "platform/webengine/webengine_host.h"
#include "site_server.h"

#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>

namespace lumora::testing {

class EnginePlatform final : public platform::Platform
{
public:
    explicit EnginePlatform(const QString& storageRoot) : host(storageRoot) {}

    std::unique_ptr<platform::BrowserControl> createBrowser(QWidget* parent) override
    {
        return host.createBrowser(parent);
    }
    std::unique_ptr<platform::Timer> createTimer() override;
    platform::Clock& clock() override { return realClock; }
    platform::Dialogs& dialogs() override { return recordedDialogs; }
    platform::BrowsingData& browsingData() override { return host; }
    platform::SiteProbe& siteProbe() override { return probe; }
    bool anotherCopyRunning() const override { return false; }

    platform::webengine::WebEngineHost host;
    platform::QtClock realClock;
    FakeDialogs recordedDialogs;
    platform::QtSiteProbe probe;
    FakeTimer* timer = nullptr;
};

class SiteFixture
{
public:
    SiteFixture();
    QUrl url(const QString& pathAndQuery = {}) const;
    // Everything the site recorded, in order; with a kind, only the events of that kind.
    QList<QJsonObject> events(const QString& kind = {}) const;

    site::SiteServer server;
    int port = -1;
};

} // namespace lumora::testing
