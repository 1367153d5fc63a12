#pragma once

#include <QJsonObject>

namespace lumora::site {

// The watched-time rule, for one player's reports: of the interval a report covers, it counts as
// much as the video's currentTime moved since the previous report, while the report says the
// video plays or has ended, at most the interval plus what a playing video lagged behind in the
// intervals just before (up to a minute; its clock moves in steps). A paused, stalled or failed
// video counts nothing, a seek ahead no more than the interval, a replay (back to the start)
// nothing for that interval, and a pre-roll (a clip before the lesson) nothing at all.
class WatchedTime
{
public:
    // What a report with `seen` (the player's JSON report) counts of `intervalMs`; notes its
    // video time for the next one.
    qint64 count(const QJsonObject& seen, qint64 intervalMs);

private:
    qint64 m_videoMs = 0; // the video's currentTime at the last report
    qint64 m_lagMs = 0;   // how far its reports lagged behind the time that passed
};

} // namespace lumora::site
