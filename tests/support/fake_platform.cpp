#include "fake_platform.h"

namespace lumora::testing {

void FakeClock::processEventsUntil(std::chrono::milliseconds deadline)
{
    ++waits;
    if (duringWait)
        duringWait();
    if (m_now < deadline)
        m_now = deadline;
}

QStringList FakeDialogs::texts() const
{
    QStringList all;
    for (const Shown& s : shown)
        all.append(s.text);
    return all;
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
    timer = created.get();
    return created;
}

} // namespace lumora::testing
