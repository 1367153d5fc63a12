// Fuzzes the decoding of a page's answer to a walk: the page is outside input, hostile or broken.

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
    const DecodedAnswer answer = decodeWalkAnswer(json);
    // A failure always says why; missing page scripts are always a failure.
    if (!answer.result.ok() && answer.result.error.isEmpty())
        std::abort();
    if (answer.scriptMissing && answer.result.ok())
        std::abort();
    return 0;
}
