#pragma once

// Where the main view's new windows go. The lesson's player is the window that the lesson's
// link opened: the one new window asked for after the run clicked it goes into the player view.
// Any other (a notice, a survey) opens in a window of its own, which the learner may read and
// close; it never replaces the player nor counts as the lesson. A page in the main view that
// closes its own window ends the program.

#include "page/browser_views.h"
#include "platform/clock.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumora::page {

class WindowRouting final : public QObject
{
    Q_OBJECT
public:
    // Makes a browser for a window of its own (its widget without a parent).
    using WindowFactory = std::function<std::unique_ptr<platform::BrowserControl>()>;

    // How long after the lesson's click its window is awaited in the player view.
    static constexpr std::chrono::seconds kPlayerWait{60};
    // Windows of their own open at once; a page opening more gets none.
    static constexpr std::size_t kMaxWindows = 3;

    WindowRouting(BrowserViews& views, platform::Clock& clock, WindowFactory createWindow);
    ~WindowRouting() override;

    // The next new window of the main view is the lesson's player: unless it comes too late, or
    // the player view has loaded a page meanwhile (the lesson's link reused the window it had).
    void expectPlayer(int playerLoad);
    // The windows of their own open now, oldest first.
    std::vector<platform::BrowserControl*> ownWindows() const;

signals:
    // A page in the main view closed its own window: the program ends, with no question and
    // no save (the state file keeps what the last save wrote).
    void pageClosedWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Expected
    {
        std::chrono::milliseconds until;
        int playerLoad; // the player view's last load when the lesson's link was clicked
    };
    platform::BrowserControl* route();
    platform::BrowserControl* openOwnWindow();
    void closeOwnWindow(const platform::BrowserControl* browser);

    BrowserViews& m_views;
    platform::Clock& m_clock;
    WindowFactory m_createWindow;
    std::optional<Expected> m_expected;
    std::vector<std::unique_ptr<platform::BrowserControl>> m_windows;
};

} // namespace lumora::page
