#include "study/video_watch.h"

#include <algorithm>

namespace lumora::study {

VideoWatch::Call VideoWatch::tick(int player, const VideoSample& video, double now)
{
    const bool newPlayer = player != m_player;
    if (newPlayer) {
        // A new player's video started at its beginning when the page opened.
        m_player = player;
        m_lastTime = 0;
        m_stillTicks = 0;
    }
    if (!video.present)
        return {};
    m_sawVideo = true;
    double moved = video.currentTime - m_lastTime;
    if (moved < 0) // played again, or sought back: it moved from the beginning
        moved = video.currentTime;
    moved = std::clamp(moved, 0.0, kMostPerTick);
    // When a new player's page opened is not known: its video is taken to have played since.
    const double passed = newPlayer ? moved : std::max(0.0, now - m_lastAt);
    m_played += moved;
    m_passed += passed;
    m_lastTime = video.currentTime;
    m_lastAt = now;

    Call call;
    m_stillTicks = moved <= passed / 4 ? m_stillTicks + 1 : 0;
    if (video.ended) {
        call.replay = true;
        m_lastTime = 0;
        m_stillTicks = 0;
    } else if (m_stillTicks >= kStillTicksBeforeReopen) {
        call.reopen = true;
        m_stillTicks = 0;
    }
    call.waitsForLearner = video.paused && !video.ended;
    return call;
}

bool VideoWatch::closeMinute()
{
    const bool counts = !m_sawVideo || (m_played > 0 && m_played >= kPlayedShare * m_passed);
    m_played = 0;
    m_passed = 0;
    m_sawVideo = false;
    return counts;
}

} // namespace lumora::study
