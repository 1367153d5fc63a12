#pragma once

// Keeping the browsers serviceable around the automation: every new window the main view's
// pages open goes into the player view, a page that closes its own window ends the program,
// and the learner can clear everything the browsers store.

#include "page/browser_views.h"
#include "platform/browsing_data.h"

#include <QObject>

namespace lumora::page {

class Housekeeping final : public QObject
{
    Q_OBJECT
public:
    Housekeeping(BrowserViews& views, platform::BrowsingData& data);

    // The start-up clear: the HTTP cache only.
    void clearCache() { m_data.clearCache(); }
    // "清除缓存": cache, cookies, history and site storage.
    void clearEverything() { m_data.clearEverything(); }

signals:
    // A page in the main view closed its own window: the program ends, with no question and
    // no save (the state file keeps what the last save wrote).
    void pageClosedWindow();

private:
    platform::BrowsingData& m_data;
};

} // namespace lumora::page
