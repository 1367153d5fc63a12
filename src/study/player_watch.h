#pragma once

// Honest minutes: a tick credits its minute only while the lesson's player is really open, and
// a player that keeps failing is given up for the run rather than stalling it. Pure logic: the
// study run observes the views and the site, this decides.

#include "platform/site_probe.h"

namespace lumora::study {

// What a tick found of the current lesson's player.
enum class PlayerState
{
    Open,        // a window opened for the lesson, loaded, and is not the site's login page
    Loading,     // the lesson's window is still loading
    NotOpened,   // no window has opened since the lesson's link was clicked
    Failed,      // the load ended with an HTTP error, or the page's renderer died
    Unreadable,  // the page loaded but does not answer the program (a hung script), or says nothing
    VideoFailed, // the lesson's video reports a media error: its source failed, or it cannot play
    VideoUnsupported, // ... whose source is of a type this browser engine cannot play
    SiteDown,         // the site could not be reached
    SiteTrouble,      // the site answered with a server error (maintenance, an outage)
    LoginPage, // the site's login page shows (in the player or the main view): the session ended
};

// Which lesson a tick was about: its category and its position in the lesson list (-1: none
// selected).
struct LessonKey
{
    int category = -1;
    int lesson = -1;
    bool operator==(const LessonKey&) const = default;
};

struct TickVerdict
{
    bool credit = false;       // this tick's minute may be credited
    bool reopen = false;       // open the lesson again
    bool skip = false;         // give the lesson up for this run and go on with the next
    bool sessionEnded = false; // log in again before anything else
    bool cannotPlay = false;   // this engine cannot play the site's lessons: the learner must act
};

class PlayerWatch
{
public:
    static constexpr int kFailuresBeforeSkip = 3;
    // Ticks a clicked lesson's window may take to start loading, and ticks a load may take
    // before it counts as failed (a page that never finishes: about three minutes).
    static constexpr int kTicksToOpen = 2;
    static constexpr int kTicksToLoad = 10;

    // A new run: forget everything.
    void reset() { *this = PlayerWatch(); }
    // The lesson's link was clicked (opened or reopened): its window may still be on its way.
    void lessonClicked() { m_ticksSinceClick = 0; }

    // Judges one tick about `lesson`.
    TickVerdict judge(LessonKey lesson, PlayerState player, platform::SiteProbe::Answer site);

    // The site check said "unreachable" while the engine kept loading the site's pages: until
    // the check next finds the site, only the engine's word counts.
    bool siteCheckDistrusted() const { return m_siteCheckDistrusted; }

private:
    LessonKey m_lesson;
    int m_failures = 0;
    int m_loadingTicks = 0;
    int m_ticksSinceClick = kTicksToOpen;
    int m_openWhileUnreachable = 0;
    bool m_siteCheckDistrusted = false;
};

} // namespace lumora::study
