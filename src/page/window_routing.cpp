#include "page/window_routing.h"

namespace lumora::page {

WindowRouting::WindowRouting(BrowserViews& views)
{
    // The engine needs its answer at once, so this does not wait at the event gate.
    views.main().setNewWindowHandler([player = &views.player()] { return player; });
    connect(&views.main(), &platform::BrowserControl::windowClosedByPage, this,
            &WindowRouting::pageClosedWindow);
}

} // namespace lumora::page
