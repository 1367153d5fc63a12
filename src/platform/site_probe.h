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
        Reachable,   // the site answered with some HTTP status
        Unreachable, // no HTTP answer: refused, timed out, not found ...
    };

    virtual ~SiteProbe() = default;
    // Starts one check of `url` and returns at once; while a check still runs (it gives up
    // after 15 s), nothing new is started.
    virtual void check(const QUrl& url) = 0;
    // What the last finished check found.
    virtual Answer lastAnswer() const = 0;
};

} // namespace lumora::platform
