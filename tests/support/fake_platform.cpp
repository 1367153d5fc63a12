#include "fake_platform.h"

namespace lumora::testing {

std::unique_ptr<platform::BrowserControl> FakePlatform::createBrowser(QWidget* parent)
{
    auto browser = std::make_unique<FakeBrowser>(parent);
    browsers.append(browser.get());
    return browser;
}

std::unique_ptr<platform::Timer> FakePlatform::createTimer()
{
    auto created = std::make_unique<FakeTimer>();
    timer = created.get();
    return created;
}

} // namespace lumora::testing
