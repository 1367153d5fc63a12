#include "platform/webengine/walk_codec.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace lumora::platform::webengine {

namespace {

QString fieldName(Field field)
{
    switch (field) {
    case Field::TagName:
        return QStringLiteral("tagName");
    case Field::Name:
        return QStringLiteral("name");
    case Field::Type:
        return QStringLiteral("type");
    case Field::Value:
        return QStringLiteral("value");
    case Field::InnerText:
        return QStringLiteral("innerText");
    case Field::OnClick:
        return QStringLiteral("onclick");
    case Field::Href:
        return QStringLiteral("href");
    }
    return {};
}

QString compareName(Compare compare)
{
    switch (compare) {
    case Compare::Exact:
        return QStringLiteral("exact");
    case Compare::LowerCase:
        return QStringLiteral("lower");
    case Compare::Contains:
        return QStringLiteral("contains");
    }
    return {};
}

QString actionName(Action action)
{
    switch (action) {
    case Action::Click:
        return QStringLiteral("click");
    case Action::SetValue:
        return QStringLiteral("set");
    case Action::Collect:
        return QStringLiteral("collect");
    case Action::ReadText:
        return QStringLiteral("read");
    }
    return {};
}

QJsonArray encodeTests(const std::vector<ElementTest>& tests)
{
    QJsonArray out;
    for (const ElementTest& test : tests) {
        out.append(QJsonObject{{QStringLiteral("field"), fieldName(test.field)},
                               {QStringLiteral("compare"), compareName(test.compare)},
                               {QStringLiteral("text"), test.text}});
    }
    return out;
}

// The first `count` characters of `text`, as the page counts them (a surrogate pair is one).
QString leftCharacters(const QString& text, int count)
{
    qsizetype end = 0;
    for (int seen = 0; seen < count && end < text.size(); ++seen)
        end += text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
    return text.left(end);
}

} // namespace

QJsonArray encodeFramePath(const FramePath& frames)
{
    QJsonArray out;
    for (int index : frames)
        out.append(index);
    return out;
}

QJsonObject encodeWalkRequest(const WalkRequest& request)
{
    QJsonArray rules;
    for (const WalkRule& rule : request.rules) {
        rules.append(QJsonObject{{QStringLiteral("when"), encodeTests(rule.when)},
                                 {QStringLiteral("action"), actionName(rule.action)},
                                 {QStringLiteral("value"), rule.value}});
    }
    return QJsonObject{{QStringLiteral("frames"), encodeFramePath(request.frames)},
                       {QStringLiteral("tag"), request.tag},
                       {QStringLiteral("filter"), encodeTests(request.filter)},
                       {QStringLiteral("rules"), rules},
                       {QStringLiteral("onlyIndex"), request.onlyIndex}};
}

DecodedEnvelope decodeEnvelope(const QString& json)
{
    DecodedEnvelope envelope;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &parseError);
    envelope.object = doc.object();
    const QJsonValue ok = envelope.object.value(QStringLiteral("ok"));
    if (envelope.object.value(QStringLiteral("noscript")).toBool()) {
        envelope.scriptMissing = true;
        envelope.status = PageStatus::Missing;
        envelope.error = QStringLiteral("page scripts missing in the document");
    } else if (parseError.error != QJsonParseError::NoError || !doc.isObject() || !ok.isBool()) {
        envelope.status = PageStatus::Missing;
        envelope.error = QStringLiteral("unreadable answer from the page");
    } else if (!ok.toBool()) {
        envelope.status = PageStatus::Missing;
        envelope.error = envelope.object.value(QStringLiteral("error")).toString();
        if (envelope.error.isEmpty())
            envelope.error = QStringLiteral("the page reported a failure without a reason");
    }
    return envelope;
}

WalkResult readWalkResult(const DecodedEnvelope& envelope)
{
    WalkResult result;
    result.status = envelope.status;
    result.error = envelope.error;
    const QJsonObject& object = envelope.object;
    // A failed walk still tells what it did before it failed.
    result.length = object.value(QStringLiteral("length")).toInt();
    result.clicks = object.value(QStringLiteral("clicks")).toInt();
    const QJsonArray positions = object.value(QStringLiteral("positions")).toArray();
    result.positions.reserve(positions.size());
    for (const QJsonValue& position : positions)
        result.positions.append(position.toInt());
    const QJsonArray texts = object.value(QStringLiteral("texts")).toArray();
    for (const QJsonValue& text : texts)
        result.texts.append(text.toString());
    return result;
}

FetchAnswer readFetchAnswer(const DecodedEnvelope& envelope)
{
    using Status = FetchAnswer::Status;
    FetchAnswer answer;
    const QJsonObject& o = envelope.object;
    answer.error = envelope.ok() ? o.value(QStringLiteral("error")).toString() : envelope.error;
    if (!envelope.ok())
        return answer; // Unknown: nothing can be said of the request
    const QString status = o.value(QStringLiteral("status")).toString();
    answer.status = status == QLatin1String("pending")    ? Status::Pending
                    : status == QLatin1String("answered") ? Status::Answered
                    : status == QLatin1String("noanswer") ? Status::NoAnswer
                                                          : Status::Unknown;
    answer.httpStatus = o.value(QStringLiteral("httpStatus")).toInt();
    answer.url = QUrl(o.value(QStringLiteral("url")).toString());
    answer.redirected = o.value(QStringLiteral("redirected")).toBool();
    answer.leftOrigin = o.value(QStringLiteral("leftOrigin")).toBool();
    answer.body = o.value(QStringLiteral("body")).toString();
    return answer;
}

VideoReport readVideoReport(const QJsonObject& video)
{
    VideoReport v;
    v.present = video.value(QStringLiteral("present")).toBool();
    v.currentTime = video.value(QStringLiteral("currentTime")).toDouble();
    v.duration = video.value(QStringLiteral("duration")).toDouble();
    v.paused = video.value(QStringLiteral("paused")).toBool();
    v.ended = video.value(QStringLiteral("ended")).toBool();
    v.readyState = video.value(QStringLiteral("readyState")).toInt();
    v.errorCode = video.value(QStringLiteral("errorCode")).toInt();
    v.typeUnplayable = video.value(QStringLiteral("typeUnplayable")).toBool();
    v.audio = video.value(QStringLiteral("audio")).toBool();
    v.source = video.value(QStringLiteral("source")).toString();
    return v;
}

bool readDocumentMedium(const QJsonObject& object)
{
    return object.value(QStringLiteral("documentMedium")).toBool();
}

QList<int> readErrorCodes(const QJsonObject& object)
{
    QList<int> codes;
    const QJsonArray array = object.value(QStringLiteral("codes")).toArray();
    for (const QJsonValue& code : array)
        codes.append(code.toInt());
    return codes;
}

MediaReport readMediaReport(const DecodedEnvelope& envelope)
{
    MediaReport report;
    report.status = envelope.status;
    report.error = envelope.error;
    report.errorCodes = readErrorCodes(envelope.object);
    report.video = readVideoReport(envelope.object.value(QStringLiteral("video")).toObject());
    // The page cuts it already; a page-side script of another build may not have.
    report.firstLine =
        envelope.object.value(QStringLiteral("firstLine")).toString().trimmed().left(kFirstLineMax);
    report.documentMedium = readDocumentMedium(envelope.object) && !report.video.present;
    report.controls = readControls(envelope.object);
    return report;
}

QList<PageControl> readControls(const QJsonObject& object)
{
    // The limits hold whatever the page sent.
    QList<PageControl> read;
    const QJsonArray controls = object.value(QStringLiteral("controls")).toArray();
    for (const QJsonValue& value : controls) {
        const QJsonObject control = value.toObject();
        const QString text = control.value(QStringLiteral("text")).toString().trimmed();
        if (text.isEmpty() || leftCharacters(text, PageControl::kMaxText) != text)
            continue;
        read.append({text, leftCharacters(control.value(QStringLiteral("context")).toString(),
                                          PageControl::kMaxContext)});
        if (read.size() == MediaReport::kMaxControls)
            break;
    }
    return read;
}

} // namespace lumora::platform::webengine
