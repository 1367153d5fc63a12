#pragma once

// Where the main view's new windows go: every one (the lesson player, whatever its address) opens
// in the player view, and a page that closes its own window ends the program.

#include "page/browser_views.h"

#include <QObject>

namespace lumora::page {

class WindowRouting final : public QObject
{
    Q_OBJECT
public:
    explicit WindowRouting(BrowserViews& views);

signals:
    // A page in the main view closed its own window: the program ends, with no question and
    // no save (the state file keeps what the last save wrote).
    void pageClosedWindow();
};

} // namespace lumora::page
