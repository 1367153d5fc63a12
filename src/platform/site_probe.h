#pragma once

#include <QUrl>

namespace lumora::platform {

// Whether the training site answers at all, asked apart from the browser views: a player page
// that loaded before the site went down looks as open as ever while the site counts nothing.
class SiteProbe
{
public:
    enum class Answer
    {
        Unknown,     // no check has finished yet
        Reachable,   // the site answered with a status below 500
        Unreachable, // no HTTP answer: refused, timed out, not found ...
        Troubled,    // answered with a 5xx status: the site is there but not serving
    };

    virtual ~SiteProbe() = default;
    // Starts one check of `url` and returns at once; while a check still runs (it gives up
    // after 15 s), nothing new is started. The request runs no action on the site (a HEAD, and
    // the caller asks an address such as the site's root, never a form's action).
    virtual void check(const QUrl& url) = 0;
    // What the last finished check found.
    virtual Answer lastAnswer() const = 0;
};

} // namespace lumora::platform
