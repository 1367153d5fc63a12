#include "study/video_watch.h"

#include <algorithm>

namespace lumora::study {

VideoWatch::Call VideoWatch::tick(const LessonKey& lesson, int player, const VideoSample& video,
                                  double now)
{
    if (lesson != m_lesson) {
        m_lesson = lesson;
        m_owed = 0;
    }
    const bool newPlayer = player != m_player;
    if (newPlayer) {
        // A new player's video started at its beginning when the page opened.
        m_player = player;
        m_lastTime = 0;
        m_stillTicks = 0;
        m_behind = 0;
    }
    if (!video.present)
        return {};
    m_sawVideo = true;
    double moved = video.currentTime - m_lastTime;
    if (moved < 0) // played again, or sought back: it moved from the beginning
        moved = video.currentTime;
    // The video's time is read a moment after the clock, and a page that is busy answers late:
    // a tick that saw the video behind is made up by the next that sees it caught up, up to one
    // tick's time, never more.
    moved = std::clamp(moved, 0.0, kMostPerTick + m_behind);
    // When a new player's page opened is not known: its video is taken to have played since.
    // A tick held up (a page that loaded slowly, a machine that slept) lets no more time pass
    // than one that came on time: the video could not have earned more.
    const double passed = newPlayer ? moved : std::clamp(now - m_lastAt, 0.0, kMostPerTick);
    m_played += moved;
    m_passed += passed;
    m_behind = std::clamp(m_behind + passed - moved, 0.0, kMostBehind);
    m_lastTime = video.currentTime;
    m_lastAt = now;

    Call call;
    m_stillTicks = moved <= passed / 4 ? m_stillTicks + 1 : 0;
    if (video.ended) {
        call.replay = true;
        m_lastTime = 0;
        m_stillTicks = 0;
        m_behind = 0;
    } else if (m_stillTicks >= kStillTicksBeforeReopen) {
        call.reopen = true;
        m_stillTicks = 0;
    }
    call.waitsForLearner = video.paused && !video.ended;
    return call;
}

VideoWatch::Minute VideoWatch::closeMinute()
{
    // What the lesson's credited minutes would lack of what its video played, with this one.
    const double owedAfter = m_owed + m_passed - m_played;
    // A minute the video played less of (read late, started slowly) still counts when what the
    // lesson's video played before, uncredited, makes up for it: the site counted every second
    // the lesson is then credited with. The video must still be seen playing a tick's time.
    const bool madeUp = owedAfter <= 0 && m_played >= kSeenShare * m_passed;
    const bool played =
        m_played > 0 && owedAfter <= kMostOwed && (m_played >= kPlayedShare * m_passed || madeUp);
    const Minute minute = played                             ? Minute::Played
                          : !m_sawVideo && m_pageTimeAllowed ? Minute::Played
                          : m_sawVideo                       ? Minute::NotPlayed
                                                             : Minute::NoVideo;
    m_lastMinute = {m_played, m_passed, m_owed};
    m_played = 0;
    m_passed = 0;
    m_sawVideo = false;
    return minute;
}

} // namespace lumora::study
