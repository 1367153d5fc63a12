#include "fake_platform.h"

namespace lumora::testing {

FakePlatform::FakePlatform(bool systemTray) : systemTray(systemTray)
{
    fakeClock.eventLoopRuns = [this] { runEventLoop(); };
}

void FakePlatform::runEventLoop()
{
    for (FakeBrowser* browser : std::as_const(browsers))
        browser->finishLoad();
    fakeProbe.deliver();
    for (qsizetype i = 0; i < m_later.size();) {
        if (m_later.at(i).first > fakeClock.now()) {
            ++i;
            continue;
        }
        const std::function<void()> action = m_later.takeAt(i).second;
        action();
    }
}

std::unique_ptr<platform::BrowserControl> FakePlatform::createBrowser(QWidget* parent)
{
    auto browser = std::make_unique<FakeBrowser>(parent);
    browsers.append(browser.get());
    return browser;
}

std::unique_ptr<platform::Timer> FakePlatform::createTimer()
{
    auto created = std::make_unique<FakeTimer>();
    created->eventLoopRuns = [this] { runEventLoop(); };
    timers.append(created.get());
    if (!timer)
        timer = created.get();
    return created;
}

} // namespace lumora::testing
