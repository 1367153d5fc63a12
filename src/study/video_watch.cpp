#include "study/video_watch.h"

#include <algorithm>

namespace lumora::study {

VideoWatch::Call VideoWatch::tick(int player, const VideoSample& video)
{
    if (player != m_player) {
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
    m_advance += moved;
    m_lastTime = video.currentTime;

    Call call;
    m_stillTicks = moved < 1 ? m_stillTicks + 1 : 0;
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
    const bool counts = !m_sawVideo || m_advance >= kSecondsPerMinute;
    m_advance = 0;
    m_sawVideo = false;
    return counts;
}

} // namespace lumora::study
