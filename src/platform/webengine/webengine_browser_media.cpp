// The lesson's medium and the page's controls: the top document's answer joined with what the
// frames of other origins reported of themselves (frame_videos.h).

#include "platform/webengine/webengine_browser.h"

#include "platform/logging.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/walk_codec.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace lumora::platform::webengine {

MediaReport WebEngineBrowser::mediaErrors()
{
    const DecodedEnvelope answer = call(QStringLiteral("lumora.mediaErrors()"));
    MediaReport report = readMediaReport(answer);
    if (report.ok()) {
        const QJsonObject video = answer.object.value(QStringLiteral("video")).toObject();
        m_frameVideos.mergeInto(report, video.value(QStringLiteral("area")).toDouble());
    }
    return report;
}

bool WebEngineBrowser::replayVideo()
{
    // The top document replays its own medium, or asks the frame whose medium is the lesson's.
    const FrameVideos::Lesson other = m_frameVideos.lesson();
    const QJsonObject described{
        {QStringLiteral("frame"), other.frame},
        {QStringLiteral("area"), other.area},
        {QStringLiteral("audio"), other.video.audio},
        {QStringLiteral("playing"), !other.video.paused && !other.video.ended}};
    return call(assembleCall(QStringLiteral("lumora.replayVideo"), described)).ok();
}

QString WebEngineBrowser::clickControl(const QStringList& texts)
{
    // Where the reached documents have none, the frame of another origin that plays the lesson
    // is asked to press the first wanted control its last report showed.
    const FrameVideos::Lesson other = m_frameVideos.lesson();
    const auto shown = std::find_if(texts.begin(), texts.end(), [&other](const QString& text) {
        return std::any_of(other.controls.begin(), other.controls.end(),
                           [&text](const PageControl& c) { return c.text == text; });
    });
    const QString inFrame = shown == texts.end() ? QString() : *shown;
    const QJsonObject frame{{QStringLiteral("frame"), inFrame.isEmpty() ? QString() : other.frame},
                            {QStringLiteral("text"), inFrame}};
    const DecodedEnvelope answer = call(assembleCall(QStringLiteral("lumora.clickControl"),
                                                     QJsonArray::fromStringList(texts), frame));
    if (!answer.ok()) {
        qCDebug(lcPage) << "no control pressed in" << url().toDisplayString() << answer.error;
        return {};
    }
    const QString clicked = answer.object.value(QStringLiteral("clicked")).toString();
    return texts.contains(clicked) ? clicked : QString();
}

} // namespace lumora::platform::webengine
