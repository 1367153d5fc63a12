#include "platform/webengine/frame_videos.h"

#include "platform/webengine/walk_codec.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lumora::platform::webengine {

bool FrameVideos::take(const QString& json, Clock::time_point now)
{
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
    const QString frame = object.value(QStringLiteral("frame")).toString();
    if (frame.isEmpty())
        return false;
    if (object.value(QStringLiteral("gone")).toBool()) {
        m_frames.erase(frame);
        return true;
    }
    const QJsonObject video = object.value(QStringLiteral("video")).toObject();
    const auto [it, added] = m_frames.try_emplace(frame);
    Frame& f = it->second;
    if (added)
        f.order = m_nextOrder++;
    f.at = now;
    f.video = readVideoReport(video);
    f.area = video.value(QStringLiteral("area")).toDouble();
    f.codes = readErrorCodes(object);
    f.line = object.value(QStringLiteral("line")).toString().trimmed().left(kFirstLineMax);
    return true;
}

void FrameVideos::dropStale(Clock::time_point now)
{
    std::erase_if(m_frames,
                  [now](const auto& entry) { return now - entry.second.at > kStaleAfter; });
}

void FrameVideos::mergeInto(MediaReport& report, double reachedArea, Clock::time_point now)
{
    dropStale(now);
    const Frame* lesson = nullptr;
    const Frame* speaking = nullptr; // the earliest frame with a line of text
    for (const auto& [id, frame] : m_frames) {
        report.errorCodes.append(frame.codes);
        if (frame.video.present && (!lesson || frame.area > lesson->area))
            lesson = &frame;
        if (!frame.line.isEmpty() && (!speaking || frame.order < speaking->order))
            speaking = &frame;
    }
    if (lesson && (!report.video.present || lesson->area > reachedArea))
        report.video = lesson->video;
    if (report.firstLine.isEmpty() && speaking)
        report.firstLine = speaking->line;
}

FrameVideos::Largest FrameVideos::largest(Clock::time_point now)
{
    dropStale(now);
    Largest found;
    for (const auto& [id, frame] : m_frames) {
        if (frame.video.present && (found.frame.isEmpty() || frame.area > found.area))
            found = {id, frame.area};
    }
    return found;
}

} // namespace lumora::platform::webengine
