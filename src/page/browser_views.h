#pragma once

// The window's two browser views: the main view of the site, where every page automation
// works, and the player view, which receives every new window the main view's pages open (the
// lesson player) and lies exactly over the main view.

#include "platform/browser_control.h"

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

    // Shows the player view over the main view, or hides it.
    void showPlayer(bool visible);
    void showMain();
    // Gives the player view the main view's rectangle.
    void placePlayerOverMain();

private:
    platform::BrowserControl& m_main;
    platform::BrowserControl& m_player;
};

} // namespace lumora::page
