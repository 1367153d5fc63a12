#pragma once

// Honest minutes: a tick credits its minute only while the lesson's player is really open, and
// a player that keeps failing is given up for the run rather than stalling it. A failure that
// repeats across two lessons in a row is the site's trouble (its video host down, say), not the
// lessons': nothing more is skipped, the lesson skipped just before is given back, and the run
// waits for the site. A credited minute ends the wait, but a site in trouble may play a minute
// now and then: the same failure again is the site's again, until a lesson that played is left
// behind. Pure logic: the study run observes the
// views and the site, this decides.

#include "platform/site_probe.h"

#include <QHashFunctions>

#include <optional>

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
    VideoStalled,     // the page is open but its video has not moved for two minutes
    LoginPage,  // the site's login page shows (in the player or the main view): the session ended
    LeftLesson, // the player left the lesson's page (moved on by itself) or its page closed it
};

// Which lesson a tick was about: its category and its position in the lesson list (-1: none
// selected).
struct LessonKey
{
    int category = -1;
    int lesson = -1;
    bool operator==(const LessonKey&) const = default;
    auto operator<=>(const LessonKey&) const = default;
};
inline size_t qHash(const LessonKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.category, key.lesson);
}

struct TickVerdict
{
    bool credit = false;       // this tick's minute may be credited
    bool reopen = false;       // open the lesson again
    bool skip = false;         // give the lesson up for this run and go on with the next
    bool sessionEnded = false; // log in again before anything else
    bool cannotPlay = false;   // this engine cannot play the site's lessons: the learner must act
    // The lesson's failures repeat those of the lesson before: the site's trouble. The lesson
    // is opened again, and the lesson skipped before for the same failure is given back.
    bool siteTrouble = false;
    std::optional<LessonKey> giveBack = std::nullopt;
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
    // A minute was credited: the lesson plays, and so does the site.
    void minuteCredited()
    {
        m_failures = 0;
        m_lessonPlayed = true;
        m_siteTrouble = false;
    }
    // Failures repeat across lessons: until a minute is credited, nothing is skipped.
    bool siteTrouble() const { return m_siteTrouble; }

    // Judges one tick about `lesson`.
    TickVerdict judge(LessonKey lesson, PlayerState player, platform::SiteProbe::Answer site);

    // The site check said "unreachable" while the engine kept loading the site's pages: until
    // the check next finds the site, only the engine's word counts.
    bool siteCheckDistrusted() const { return m_siteCheckDistrusted; }

private:
    // A tick found the lesson's player failing (`player`): open it again, skip it, or blame the
    // site.
    TickVerdict failed(LessonKey lesson, PlayerState player);

    // The failure that gave up the last lesson that gave up, and the lesson skipped for it and
    // not given back yet.
    struct Row
    {
        PlayerState cause;
        std::optional<LessonKey> skipped;
    };

    LessonKey m_lesson;
    int m_failures = 0; // the lesson's, until a minute is credited or another lesson is judged
    std::optional<Row> m_row;    // with no lesson played and left since
    bool m_lessonPlayed = false; // a minute was credited to the lesson being judged
    bool m_siteTrouble = false;
    int m_loadingTicks = 0;
    int m_ticksSinceClick = kTicksToOpen;
    int m_openWhileUnreachable = 0;
    bool m_siteCheckDistrusted = false;
};

} // namespace lumora::study
