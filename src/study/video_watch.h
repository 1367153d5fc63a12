#pragma once

// Whether the lesson's medium plays. Sites count watched time, not page time: a minute counts
// only when the player's video (or, on a page without one, its audio) advanced through most of it
// (of the time the run's clock saw pass between the ticks that looked at it), or through a third
// of it when the lesson's video had played the rest before, uncredited. Minutes each played a
// little short would add up to a minute the site never counted: the lesson keeps an account of
// the time its credited minutes lacked, and a minute that would take that past one tick's time
// does not count.
//
// The lesson's medium, once found, stays the lesson's: a clip under a minute long that ends and
// gives way to a longer one is a pre-roll whose time never counts (the site does not count it
// either), another medium after the lesson's first credited minute spoils the minute under way,
// and a position that goes back is a seek, not play from the beginning (unless it wrapped round
// the end, as a looping clip does). A medium that ended before the lesson's minutes are met is
// played again, as a learner would press replay. A medium paused that has not ended waits: for
// the page's own continue control, which the run presses when its text is one the learner's
// settings name, else for the learner, who is told what the page asks. Only a medium that
// neither plays nor is paused for ten minutes (stalled while buffering, say) is the lesson's
// failure. A page with no medium at all earns nothing (a message page, a quiz, a document),
// unless the learner's site has lessons that are documents and asks for page time; after five
// minutes of it the lesson is given up. Pure logic: the study run tells it what each tick saw and
// which minutes it credited.

#include "platform/page_request.h"
#include "study/player_watch.h"

#include <QStringList>

namespace lumora::study {

// What a tick saw of the player's medium.
struct VideoSample
{
    bool present = false;   // the page has a video (or an audio element)
    double currentTime = 0; // seconds
    bool paused = false;
    bool ended = false;
    double duration = 0; // seconds; 0 when unknown (a stream)
    QString source = {}; // what it plays; empty when not known
    // The page's controls: what a paused medium may wait for.
    QList<platform::PageControl> controls = {};
};

class VideoWatch
{
public:
    // The share of the minute's time the video must have played: most of it.
    static constexpr double kPlayedShare = 2.0 / 3.0;
    // The least share it must have played when earlier play makes up the rest: one tick's time.
    static constexpr double kSeenShare = 1.0 / 3.0;
    // How long a medium may neither play nor be paused before the player is opened again.
    static constexpr double kStillFor = 10 * 60;
    // How long a page may show no medium before the lesson is given up.
    static constexpr double kNoMediumFor = 5 * 60;
    // A medium shorter than this that gives way to a longer one is not the lesson's.
    static constexpr double kShortMedium = 60;
    // The most the lesson's credited minutes may lack of what its video played, in seconds.
    static constexpr double kMostOwed = 20;
    // What a newly opened player must have played, since its page opened, before its first
    // minute counts at its third tick: the site counts it from there, and three ticks span only
    // 40 s. Failing that, the minute spans a fourth tick, a minute of the clock after the page
    // was first seen, and most of it played, as any minute.
    static constexpr double kPlayerMinute = 60;
    static constexpr int kPlayerMinuteTicks = 4;

    // What a tick calls for.
    struct Call
    {
        bool replay = false;          // play the medium again from its beginning
        bool reopen = false;          // the medium has neither played nor been paused for long
        bool noMedium = false;        // the page has shown no medium for five minutes
        bool pressContinue = false;   // paused, with a continue control of the settings shown
        bool waitsForLearner = false; // paused, with nothing the program may press
        QString pageAsks = {};        // ... the page's own words around its first control
    };

    // A tick at `now` (the run's clock, seconds) saw the medium of `lesson`'s player whose load
    // serial is `player`.
    Call tick(const LessonKey& lesson, int player, const VideoSample& video, double now);
    // What a minute came to as far as the video goes.
    enum class Minute
    {
        Played,    // the video played through most of it (or page time is allowed without one)
        NotPlayed, // a video was there, but did not play through most of it
        NoVideo,   // no video was seen in it
    };
    // Page time for a player page without a video (the learner's setting; off by default).
    void setPageTimeWithoutVideo(bool allowed) { m_settings.pageTimeAllowed = allowed; }
    // The texts of the page's controls that may be pressed to let a paused medium go on, first
    // wanted first (the learner's settings).
    void setContinueControls(const QStringList& texts) { m_settings.continueControls = texts; }
    const QStringList& continueControls() const { return m_settings.continueControls; }
    static QStringList defaultContinueControls();
    // The minute starts again at the last tick: what the ticks before it saw is dropped.
    void restartMinute();
    // None of the player's minutes was credited, and its first is not one yet (kPlayerMinute).
    bool playerYoung() const
    {
        return m_sawVideo && !m_playerCredited && m_playerPlayed < kPlayerMinute &&
               m_playerTicks < kPlayerMinuteTicks;
    }
    // The minute closes; the next minute starts.
    Minute closeMinute();
    // What the minute just closed came to, for the log: seconds played and passed, and what the
    // lesson's credited minutes lacked before it.
    struct Figures
    {
        double played = 0, passed = 0, owed = 0;
    };
    Figures lastMinute() const { return m_lastMinute; }
    // The minute just closed was credited to the lesson.
    void minuteCredited()
    {
        m_owed += m_lastMinute.passed - m_lastMinute.played;
        m_lessonCredited = true;
        m_playerCredited = true;
    }
    // It was not: `forTheVideo` when only for the video's sake (the session confirmed, the same
    // player open throughout), and so the site counted what played in it; otherwise that play
    // may not have counted (a session that had ended), and is not taken to make up for later.
    void minuteNotCredited(bool forTheVideo)
    {
        if (forTheVideo)
            m_owed -= m_lastMinute.played;
    }
    // A new run, or the lesson's player opened again (the learner's settings stay).
    void reset() { *this = VideoWatch(m_settings); }

    VideoWatch() = default;

private:
    struct Settings
    {
        bool pageTimeAllowed = false;
        QStringList continueControls = defaultContinueControls();
    };
    explicit VideoWatch(Settings settings) : m_settings(std::move(settings)) {}

    // How far the medium moved since the last tick, `elapsed` seconds of the clock before, as
    // far as it can be told; what a tick in the short clip played is held.
    double movedSince(const VideoSample& video, double elapsed);
    // What a paused medium waits for.
    void pausedFor(const VideoSample& video, Call& call) const;

    // How much later than the clock a medium's time may be read.
    static constexpr double kReadLate = 5;
    // The most a video can move between two ticks (20 s) with that slack; a page that starts
    // its video at a remembered place does not earn that place.
    static constexpr double kMostPerTick = 20 + kReadLate;
    // The most a tick may make up of what the video fell behind the clock before it.
    static constexpr double kMostBehind = 20;

    Settings m_settings;
    LessonKey m_lesson;
    double m_owed = 0; // seconds the lesson's credited minutes lack of what its video played
    bool m_lessonCredited = false;
    bool m_playerCredited = false; // a minute of the player open now was credited
    double m_playerPlayed = 0;     // seconds its medium played since its page opened
    int m_playerTicks = 0;         // ticks that saw it open
    Figures m_lastMinute;
    int m_player = -1;
    QString m_source;          // what the player's medium played at the last tick
    double m_duration = 0;     // ... and how long it was
    double m_lastTime = 0;     // the medium's time at the last tick
    double m_lastAt = 0;       // the clock then
    double m_played = 0;       // seconds played in the minute so far
    double m_passed = 0;       // seconds the clock moved over the same ticks
    double m_held = 0;         // seconds played of a short clip that may be a pre-roll
    bool m_shortEnded = false; // ... until it ended or wrapped round with nothing else after it
    double m_behind = 0;       // seconds the video fell behind the clock since its player opened
    bool m_sawVideo = false;
    bool m_spoiled = false; // the lesson's medium gave way to another in this minute
    // This tick's share of the minute, for restartMinute().
    double m_tickPlayed = 0, m_tickPassed = 0;
    bool m_tickSawVideo = false, m_tickSpoiled = false;
    double m_stillSince = -1; // the clock when the medium last played or was paused
    double m_noMediumSince =
        -1; // the clock when the page last showed a medium (or the lesson began)
};

} // namespace lumora::study
