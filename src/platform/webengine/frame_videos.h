#pragma once

// The latest report of each frame the top document cannot reach (js/frame_video.js), and how they
// join the top document's own media report. Plain data and a clock: no engine types.

#include "platform/page_request.h"

#include <QString>
#include <chrono>
#include <map>

namespace lumora::platform::webengine {

class FrameVideos
{
public:
    using Clock = std::chrono::steady_clock;
    // A frame reports every two seconds; one silent for longer than this has gone.
    static constexpr std::chrono::milliseconds kStaleAfter{6000};

    // Takes a frame's report (the JSON after the tag); false when it is not one.
    bool take(const QString& json, Clock::time_point now = Clock::now());
    // Forgets every frame: a new top-level document has none of them.
    void clear() { m_frames.clear(); }

    // Joins the fresh reports into `report`, the top document's own answer, in which
    // `reachedArea` is the on-screen area of the video it found: the lesson's medium is the
    // largest video shown across all frames (one reached by the top document wins a tie), else,
    // with no video anywhere, the first audio element that plays, else the first (the top
    // document's first); the error codes of every frame count, a frame's document shown makes a
    // document lesson when there is no medium, the first line of text comes from a frame
    // when the reached documents have none, and the controls of the frame whose medium is the
    // lesson's follow the reached ones (its question sits beside its video).
    void mergeInto(MediaReport& report, double reachedArea, Clock::time_point now = Clock::now());

    struct Lesson
    {
        QString frame; // empty when no fresh report has a medium
        VideoReport video;
        double area = 0;
        QList<PageControl> controls = {};
    };
    // The medium of the frames that is the lesson's unless the top document's is, for
    // replayVideo() and clickControl() (which weigh them against the top document's as
    // mergeInto() does).
    Lesson lesson(Clock::time_point now = Clock::now());

private:
    struct Frame
    {
        Clock::time_point at;
        qint64 order = 0; // when the frame first reported: earlier frames first
        VideoReport video;
        double area = 0;
        QList<int> codes;
        QString line;
        bool documentMedium = false;
        QList<PageControl> controls;
    };
    using Entry = std::map<QString, Frame>::value_type;
    // The frame whose medium is the lesson's, among the frames'; null for none.
    const Entry* lessonFrame() const;
    void dropStale(Clock::time_point now);

    std::map<QString, Frame> m_frames;
    qint64 m_nextOrder = 0;
};

} // namespace lumora::platform::webengine
