#include "watched_time.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lumora::site {

qint64 WatchedTime::count(const QJsonObject& seen, qint64 intervalMs)
{
    if (seen.value(QLatin1StringView("preroll")).toBool()) {
        // The lesson has not begun: its time starts when the pre-roll's ends.
        m_videoMs = 0;
        m_lagMs = 0;
        return 0;
    }
    const QJsonValue time = seen.value(QLatin1StringView("videoTime"));
    if (!time.isDouble()) {
        return 0;
    }
    const qint64 position = std::llround(time.toDouble() * 1000);
    const qint64 moved = position - std::exchange(m_videoMs, position);
    // A seek forward is no more watched than the time that passed; one back (a replay), none.
    // What a playing video lagged behind an interval (a report taken between two steps of its
    // clock) may be made up in the next ones, up to a minute.
    const bool played = seen.value(QLatin1StringView("videoPlaying")).toBool() ||
                        seen.value(QLatin1StringView("videoEnded")).toBool();
    if (!played) {
        m_lagMs = 0;
        return 0;
    }
    const qint64 allowed = intervalMs + m_lagMs;
    const qint64 watched = std::clamp<qint64>(moved, 0, allowed);
    m_lagMs = std::min<qint64>(allowed - watched, 60000);
    return watched;
}

} // namespace lumora::site
