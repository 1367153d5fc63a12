#pragma once

// The window's two browser views: the main view of the site, where every page automation
// works, and the player view, which receives every new window the main view's pages open (the
// lesson player). Where they lie and whether they show is the window's business.

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

private:
    platform::BrowserControl& m_main;
    platform::BrowserControl& m_player;
};

} // namespace lumora::page
