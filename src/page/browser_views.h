#pragma once

// The window's two browser views: the main view of the site, where every page automation
// works, and the player view, which receives the new window the lesson's link opens (the
// lesson player). Where they lie and whether they show is the window's business.

#include "platform/browser_control.h"

#include <functional>

namespace lumora::page {

class BrowserViews
{
public:
    BrowserViews(platform::BrowserControl& main, platform::BrowserControl& player)
        : m_main(main), m_player(player)
    {
    }

    platform::BrowserControl& main() const { return m_main; }
    platform::BrowserControl& player() const { return m_player; }

    // The lesson's link is about to be clicked while the player's last load is `playerLoad`:
    // the main view's next new window is the lesson's player (where new windows go is
    // WindowRouting's, which sets the expectation's hook).
    void expectPlayerWindow(int playerLoad) const
    {
        if (m_expectPlayer)
            m_expectPlayer(playerLoad);
    }
    void setPlayerExpectation(std::function<void(int)> hook) { m_expectPlayer = std::move(hook); }

private:
    platform::BrowserControl& m_main;
    platform::BrowserControl& m_player;
    std::function<void(int)> m_expectPlayer;
};

} // namespace lumora::page
