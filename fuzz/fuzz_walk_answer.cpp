// Fuzzes the decoding of a page's answers to a walk and to a media report: the page is outside
// input, hostile or broken.

#include "platform/webengine/walk_codec.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lumora::platform;
using namespace lumora::platform::webengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString json =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const DecodedEnvelope envelope = decodeEnvelope(json);
    const WalkResult walk = readWalkResult(envelope);
    // A failure always says why; missing page scripts are always a failure.
    if (!walk.ok() && walk.error.isEmpty())
        std::abort();
    if (envelope.scriptMissing && walk.ok())
        std::abort();
    // A media report keeps its limits whatever the page sent (a character is at most two UTF-16
    // units), and a page with a medium is no document lesson.
    const MediaReport report = readMediaReport(envelope);
    if (report.controls.size() > MediaReport::kMaxControls ||
        (report.documentMedium && report.video.present))
        std::abort();
    for (const PageControl& control : report.controls) {
        if (control.text.isEmpty() || control.text.size() > 2 * PageControl::kMaxText ||
            control.context.size() > 2 * PageControl::kMaxContext)
            std::abort();
    }
    return 0;
}
