#include "platform/webengine/frame_videos.h"

#include "platform/webengine/walk_codec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <vector>

namespace lumora::platform::webengine {

namespace {

bool playing(const VideoReport& medium)
{
    return !medium.paused && !medium.ended;
}

// Whether `other`, a frame's medium, is the lesson's rather than `reached`: a video rather than an
// audio element, the larger video (a tie goes to `reached`), an audio element that plays rather
// than one that does not. js/media.js weighs them the same way (otherIsLesson).
bool isLesson(const VideoReport& other, double otherArea, const VideoReport& reached,
              double reachedArea)
{
    if (!reached.present)
        return other.present;
    if (other.audio != reached.audio)
        return reached.audio;
    if (!other.audio)
        return otherArea > reachedArea;
    return playing(other) && !playing(reached);
}

} // namespace

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
    f.documentMedium = readDocumentMedium(object);
    f.controls = readControls(object);
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
    const Frame* speaking = nullptr; // the earliest frame with a line of text
    bool document = report.documentMedium;
    for (const auto& [id, frame] : m_frames) {
        report.errorCodes.append(frame.codes);
        if (!frame.line.isEmpty() && (!speaking || frame.order < speaking->order))
            speaking = &frame;
        document = document || frame.documentMedium;
    }
    const Entry* lesson = lessonFrame();
    if (lesson && isLesson(lesson->second.video, lesson->second.area, report.video, reachedArea)) {
        report.video = lesson->second.video;
        for (const PageControl& control : lesson->second.controls) {
            if (report.controls.size() == MediaReport::kMaxControls)
                break;
            report.controls.append(control);
        }
    }
    report.documentMedium = document && !report.video.present;
    if (report.firstLine.isEmpty() && speaking)
        report.firstLine = speaking->line;
}

const FrameVideos::Entry* FrameVideos::lessonFrame() const
{
    // In the order the frames first reported, for "the first audio element".
    std::vector<const Entry*> frames;
    for (const Entry& entry : m_frames)
        if (entry.second.video.present)
            frames.push_back(&entry);
    std::sort(frames.begin(), frames.end(),
              [](const Entry* a, const Entry* b) { return a->second.order < b->second.order; });
    const Entry* lesson = nullptr;
    for (const Entry* entry : frames) {
        if (!lesson || isLesson(entry->second.video, entry->second.area, lesson->second.video,
                                lesson->second.area))
            lesson = entry;
    }
    return lesson;
}

FrameVideos::Lesson FrameVideos::lesson(Clock::time_point now)
{
    dropStale(now);
    const Entry* found = lessonFrame();
    if (!found)
        return {};
    return {found->first, found->second.video, found->second.area, found->second.controls};
}

} // namespace lumora::platform::webengine
