#pragma once

// Honest minutes: a tick credits its minute only while the lesson's player is really open, and
// a player that keeps failing is given up for the run rather than stalling it. A failure that
// repeats across three lessons in a row is the site's trouble (its video host down, say), not the
// lessons': nothing more is skipped, the two lessons skipped just before are given back (each
// once in a run), and the run waits for the site, opening the lesson again every two minutes. A
// credited minute ends the wait, but a site in trouble may play a minute now and then: the same
// failure again is the site's again, until a lesson that played is left behind. A wait of half
// an hour is a broken chapter, not an outage: the lesson is skipped and the run goes on. Pure
// logic: the study run observes the views and the site, this decides.

#include "platform/site_probe.h"

#include <QHashFunctions>
#include <QList>
#include <QSet>

#include <chrono>
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
    NoMedium,   // the page has shown no video or audio for five minutes (a message, a document)
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
    // The lesson's failures repeat those of the lessons before: the site's trouble. The lessons
    // skipped before for the same failure are given back (when `reopen`, the lesson is opened
    // again).
    bool siteTrouble = false;
    QList<LessonKey> giveBack = {};
    bool troubleTooLong = false; // with `skip`: the site's trouble lasted too long for the lesson
};

class PlayerWatch
{
public:
    static constexpr int kFailuresBeforeSkip = 3;
    // Lessons in a row given up for the same failure before it is the site's trouble.
    static constexpr int kLessonsInARow = 3;
    // While the site is in trouble: how often the lesson is opened again, and for how long.
    static constexpr std::chrono::minutes kReopenInTroubleEvery{2};
    static constexpr std::chrono::minutes kTroubleAtMost{30};
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
        m_playedSinceLeft = true;
        m_siteTrouble = false;
    }
    // Failures repeat across lessons: until a minute is credited, nothing is skipped.
    bool siteTrouble() const { return m_siteTrouble; }

    // Judges one tick about `lesson` at `now` (the run's clock).
    TickVerdict judge(LessonKey lesson, PlayerState player, platform::SiteProbe::Answer site,
                      std::chrono::milliseconds now);

    // The site check said "unreachable" while the engine kept loading the site's pages: until
    // the check next finds the site, only the engine's word counts.
    bool siteCheckDistrusted() const { return m_siteCheckDistrusted; }

private:
    // A tick found the lesson's player failing (`player`): open it again, skip it, or blame the
    // site.
    TickVerdict failed(LessonKey lesson, PlayerState player, std::chrono::milliseconds now);
    // The lesson failed once too often: skip it, or blame the site when the lessons before it
    // were given up for the same failure.
    TickVerdict giveUp(LessonKey lesson, PlayerState player, std::chrono::milliseconds now);

    // The failure that gave up the last lessons that gave up, the lessons skipped for it in a row
    // and not given back, and whether the site was blamed for it already.
    struct Row
    {
        PlayerState cause;
        QList<LessonKey> skipped;
        bool sitesTrouble = false;
    };

    LessonKey m_lesson;
    int m_failures = 0; // the lesson's, until a minute is credited or another lesson is judged
    std::optional<Row> m_row;       // with no lesson played and left since
    bool m_lessonPlayed = false;    // a minute was credited to the lesson being judged
    bool m_playedSinceLeft = false; // ... since its player last left it
    bool m_siteTrouble = false;
    std::chrono::milliseconds m_troubleSince{0};
    std::chrono::milliseconds m_reopenedAt{0}; // while the site is in trouble
    QSet<LessonKey> m_givenBack;               // in this run: never given back twice
    int m_loadingTicks = 0;
    int m_ticksSinceClick = kTicksToOpen;
    int m_openWhileUnreachable = 0;
    bool m_siteCheckDistrusted = false;
};

} // namespace lumora::study
