#pragma once

// Whether a study minute is credited. A minute is three ticks, which counts only when one and the
// same player of the lesson was open at each of them (the site counts a player from its opening,
// not from the minute's start), its video played through most of the minute, and the site
// confirmed the session during it. A tick that finds a player open where the tick before found
// none, or another, starts a minute: a lesson opened again, or whose video plays again, earns a
// whole minute three ticks later rather than waiting for the next minute's first tick; a tick
// later when the new player's medium has not yet played a minute of its own.
// Pure logic: the study run tells it what each tick found.

#include "study/video_watch.h"

namespace lumora::study {

class MinuteTally
{
public:
    static constexpr int kTicksPerMinute = 3;

    enum class Outcome
    {
        Credit,
        Recovering,         // logging in again
        PlayerNotOpen,      // the lesson's player was not open at one of the minute's ticks
        SessionUnconfirmed, // the site did not confirm the session
        VideoNotPlayed,     // the lesson's video did not play through most of the minute
        NoVideo,            // no video was seen on the lesson's page
    };

    // A new run: the next tick starts a minute.
    void reset() { *this = MinuteTally(); }
    // One tick: the load serial of the lesson's player when it was open, or -1.
    void tick(int openPlayer);
    // Whether a tick that finds `openPlayer` open starts a minute (before tick() is told).
    bool startsMinute(int openPlayer) const
    {
        return openPlayer >= 0 && openPlayer != m_openAtLastTick;
    }
    // Whether this tick is the minute's first, when the session is asked: a slow site's answer
    // has most of the minute to come.
    bool asksSession() const { return m_ticks == 1; }
    // Whether this tick closes the minute: close() it then.
    bool closesMinute() const { return m_ticks == kTicksPerMinute; }
    // The minute closes a tick later (a player newer than the minute has not played one yet),
    // at most kMostLateTicks times; false when it may not, and it is judged on what played.
    bool holdOpen();
    static constexpr int kMostLateTicks = 1;
    // `video`: what the lesson's video came to over the minute.
    Outcome close(bool sessionConfirmed, bool recovering, VideoWatch::Minute video);
    // Ticks of the minute under way (0 to 2 between ticks).
    int ticks() const { return m_ticks; }

private:
    int m_ticks = 0;
    int m_late = 0;            // ticks the minute under way was held open
    int m_player = -1;         // the player open at every tick of this minute so far, or -1
    int m_openAtLastTick = -1; // the player open at the last tick, or -1
};

const char* outcomeReason(MinuteTally::Outcome outcome);

} // namespace lumora::study
