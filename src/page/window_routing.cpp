#include "page/window_routing.h"

#include "platform/logging.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace lumora::page {

WindowRouting::WindowRouting(BrowserViews& views, platform::Clock& clock,
                             WindowFactory createWindow)
    : m_views(views), m_clock(clock), m_createWindow(std::move(createWindow))
{
    // The engine needs its answer at once, so this does not wait at the event gate.
    views.main().setNewWindowHandler([this] { return route(); });
    views.setPlayerExpectation([this](int playerLoad) { expectPlayer(playerLoad); });
    connect(&views.main(), &platform::BrowserControl::windowClosedByPage, this,
            &WindowRouting::pageClosedWindow);
}

WindowRouting::~WindowRouting()
{
    m_views.main().setNewWindowHandler(nullptr);
    m_views.setPlayerExpectation(nullptr);
}

void WindowRouting::expectPlayer(int playerLoad)
{
    m_expected = Expected{m_clock.now() + kPlayerWait, playerLoad};
}

std::vector<platform::BrowserControl*> WindowRouting::ownWindows() const
{
    std::vector<platform::BrowserControl*> open;
    for (const auto& window : m_windows)
        open.push_back(window.get());
    return open;
}

platform::BrowserControl* WindowRouting::route()
{
    const std::optional<Expected> expected = std::exchange(m_expected, std::nullopt);
    if (expected && m_clock.now() <= expected->until &&
        m_views.player().lastLoad().serial == expected->playerLoad)
        return &m_views.player();
    return openOwnWindow();
}

platform::BrowserControl* WindowRouting::openOwnWindow()
{
    if (m_windows.size() >= kMaxWindows || !m_createWindow) {
        qCInfo(lcPage) << "a new window of the main view was refused:" << m_windows.size()
                       << "windows of their own are open";
        return nullptr;
    }
    std::unique_ptr<platform::BrowserControl> browser = m_createWindow();
    if (!browser)
        return nullptr;
    platform::BrowserControl* shown = browser.get();
    // A box it raised would wait for the learner with the whole run behind it.
    shown->setSilent(true);
    connect(shown, &platform::BrowserControl::windowClosedByPage, this,
            [this, shown] { closeOwnWindow(shown); });
    QWidget* window = shown->widget();
    window->setWindowFlag(Qt::Window); // whatever its parent
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setWindowTitle(tr("网站的窗口"));
    window->resize(800, 600);
    window->installEventFilter(this);
    window->show();
    m_windows.push_back(std::move(browser));
    qCInfo(lcPage) << "a new window of the main view opens on its own, apart from the player";
    return shown;
}

bool WindowRouting::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        const auto closed = std::find_if(m_windows.begin(), m_windows.end(),
                                         [&](const auto& w) { return w->widget() == watched; });
        if (closed != m_windows.end())
            closeOwnWindow(closed->get());
    }
    return QObject::eventFilter(watched, event);
}

void WindowRouting::closeOwnWindow(const platform::BrowserControl* browser)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [&](const auto& w) { return w.get() == browser; });
    if (found == m_windows.end())
        return;
    platform::BrowserControl* closing = found->release();
    m_windows.erase(found);
    closing->widget()->hide();
    // Not at once: its own event or signal may be on the stack.
    closing->deleteLater();
}

} // namespace lumora::page
