#pragma once

// Whether the lesson's video plays. Sites count watched time, not page time: a minute counts
// only when the player's video advanced through most of it (of the time the run's clock saw pass
// between the ticks that looked at it), or through a third of it when the lesson's video had
// played the rest before, uncredited. A video that ended before the lesson's minutes are met is
// played again, as a learner would press replay; one that has not moved for two whole minutes
// (paused by the page, stalled) is opened again; one paused that has not ended waits for the
// learner (a question the page asks is theirs to answer). A player page without a video earns
// nothing (a message page, a quiz, a blank page), unless the learner's site has lessons that are
// documents and asks for page time. Minutes each played a little short would add up to a minute
// the site never counted: the lesson keeps an account of the time its credited minutes lacked,
// and a minute that would take that past one tick's time does not count. Pure logic: the study
// run tells it what each tick saw and which minutes it credited.

#include "study/player_watch.h"

namespace lumora::study {

// What a tick saw of the player's video.
struct VideoSample
{
    bool present = false;   // the page has a video
    double currentTime = 0; // seconds
    bool paused = false;
    bool ended = false;
};

class VideoWatch
{
public:
    // The share of the minute's time the video must have played: most of it.
    static constexpr double kPlayedShare = 2.0 / 3.0;
    // The least share it must have played when earlier play makes up the rest: one tick's time.
    static constexpr double kSeenShare = 1.0 / 3.0;
    // Ticks without the video moving before the player is opened again: two minutes.
    static constexpr int kStillTicksBeforeReopen = 6;
    // The most the lesson's credited minutes may lack of what its video played, in seconds.
    static constexpr double kMostOwed = 20;

    // What a tick calls for.
    struct Call
    {
        bool replay = false;          // play the video again from its beginning
        bool reopen = false;          // the video has not moved for two minutes
        bool waitsForLearner = false; // paused by the page, not ended
    };

    // A tick at `now` (the run's clock, seconds) saw the video of `lesson`'s player whose load
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
    void setPageTimeWithoutVideo(bool allowed) { m_pageTimeAllowed = allowed; }
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
    void minuteCredited() { m_owed += m_lastMinute.passed - m_lastMinute.played; }
    // It was not: `forTheVideo` when only for the video's sake (the session confirmed, the same
    // player open throughout), and so the site counted what played in it; otherwise that play
    // may not have counted (a session that had ended), and is not taken to make up for later.
    void minuteNotCredited(bool forTheVideo)
    {
        if (forTheVideo)
            m_owed -= m_lastMinute.played;
    }
    // A new run, or the lesson's player opened again (the learner's setting stays).
    void reset() { *this = VideoWatch(m_pageTimeAllowed); }

    VideoWatch() = default;

private:
    explicit VideoWatch(bool pageTimeAllowed) : m_pageTimeAllowed(pageTimeAllowed) {}

    // The most a video can move between two ticks (20 s) with some slack; a page that starts
    // its video at a remembered place does not earn that place.
    static constexpr double kMostPerTick = 25;
    // The most a tick may make up of what the video fell behind the clock before it.
    static constexpr double kMostBehind = 20;

    LessonKey m_lesson;
    double m_owed = 0; // seconds the lesson's credited minutes lack of what its video played
    Figures m_lastMinute;
    int m_player = -1;
    double m_lastTime = 0; // the video's time at the last tick
    double m_lastAt = 0;   // the clock then
    double m_played = 0;   // seconds played in the minute so far
    double m_passed = 0;   // seconds the clock moved over the same ticks
    double m_behind = 0;   // seconds the video fell behind the clock since its player opened
    bool m_sawVideo = false;
    int m_stillTicks = 0;
    bool m_pageTimeAllowed = false;
};

} // namespace lumora::study
