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

// Any answer envelope {ok, error, ...} as the page gave it. An answer that is not such an
// envelope is a failure (Missing) that says so; it never throws.
struct DecodedEnvelope
{
    // The page-side functions were not installed in the document (injection missed it).
    bool scriptMissing = false;
    PageStatus status = PageStatus::Ok; // Missing when the page said no, or said nothing usable
    QString error;
    QJsonObject object;
    bool ok() const { return status == PageStatus::Ok; }
};
DecodedEnvelope decodeEnvelope(const QString& json);

// The answers of walk(), fetchAnswer() and mediaErrors() from their envelopes.
WalkResult readWalkResult(const DecodedEnvelope& envelope);
FetchAnswer readFetchAnswer(const DecodedEnvelope& envelope);
MediaReport readMediaReport(const DecodedEnvelope& envelope);
// The parts of a media report: a medium {present, currentTime, ...}, an object's "codes" and
// whether it says the page shows a document ("documentMedium").
VideoReport readVideoReport(const QJsonObject& video);
QList<int> readErrorCodes(const QJsonObject& object);
bool readDocumentMedium(const QJsonObject& object);
// The controls a page or frame reported, within MediaReport's limits.
QList<PageControl> readControls(const QJsonObject& object);
// The longest first line of a page's text a report carries.
inline constexpr int kFirstLineMax = 40;

} // namespace lumora::platform::webengine
