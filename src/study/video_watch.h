#pragma once

// Whether the lesson's video plays. Sites count watched time, not page time: a minute counts
// only when the player's video advanced through most of it. A video that ended before the
// lesson's minutes are met is played again, as a learner would press replay; one that has not
// moved for two whole minutes (paused by the page, stalled) is opened again; one paused that has
// not ended waits for the learner (a question the page asks is theirs to answer). A player page
// without a video keeps the page's rule. Pure logic: the study run tells it what each tick saw.

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
    // Seconds of video a credited minute needs: most of it.
    static constexpr double kSecondsPerMinute = 40;
    // Ticks without the video moving before the player is opened again: two minutes.
    static constexpr int kStillTicksBeforeReopen = 6;

    // What a tick calls for.
    struct Call
    {
        bool replay = false;          // play the video again from its beginning
        bool reopen = false;          // the video has not moved for two minutes
        bool waitsForLearner = false; // paused by the page, not ended
    };

    // A tick saw the video of the player whose load serial is `player`.
    Call tick(int player, const VideoSample& video);
    // The minute closes: whether it may count as far as the video goes (true when no video was
    // seen in it). The next minute starts.
    bool closeMinute();
    // A new run, or the lesson's player opened again.
    void reset() { *this = VideoWatch(); }

private:
    // The most a video can move between two ticks (20 s) with some slack; a page that starts
    // its video at a remembered place does not earn that place.
    static constexpr double kMostPerTick = 25;

    int m_player = -1;
    double m_lastTime = 0; // the video's time at the last tick
    double m_advance = 0;  // seconds played in the minute so far
    bool m_sawVideo = false;
    int m_stillTicks = 0;
};

} // namespace lumora::study
