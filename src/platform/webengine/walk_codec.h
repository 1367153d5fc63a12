#pragma once

// Plain-data translation between walk requests/results and the JSON the page-side script
// (js/walk.js) speaks. No engine types: testable on its own.

#include "platform/page_request.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace lumora::platform::webengine {

QJsonArray encodeFramePath(const FramePath& frames);
QJsonObject encodeWalkRequest(const WalkRequest& request);

struct DecodedAnswer
{
    // The page-side functions were not installed in the document (injection missed it).
    bool scriptMissing = false;
    WalkResult result;
};

// Reads the page's answer envelope {ok, error, length, positions, clicks}. An answer that is
// not such an envelope is a failure (Missing) that says so; it never throws.
DecodedAnswer decodeWalkAnswer(const QString& json);

} // namespace lumora::platform::webengine
