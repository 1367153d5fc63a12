#include "page/housekeeping.h"

namespace lumora::page {

Housekeeping::Housekeeping(BrowserViews& views, platform::BrowsingData& data) : m_data(data)
{
    // Every new window of the main view, whatever its address, opens in the player view. The
    // engine needs its answer at once, so this does not wait at the event gate.
    views.main().setNewWindowHandler([player = &views.player()] { return player; });
    connect(&views.main(), &platform::BrowserControl::windowClosedByPage, this,
            &Housekeeping::pageClosedWindow);
}

} // namespace lumora::page
