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

WalkResult failure(const QString& error)
{
    WalkResult result;
    result.status = PageStatus::Missing;
    result.error = error;
    return result;
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

DecodedAnswer decodeWalkAnswer(const QString& json)
{
    DecodedAnswer answer;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        answer.result = failure(QStringLiteral("unreadable answer from the page"));
        return answer;
    }
    const QJsonObject object = doc.object();
    if (object.value(QStringLiteral("noscript")).toBool()) {
        answer.scriptMissing = true;
        answer.result = failure(QStringLiteral("page scripts missing in the document"));
        return answer;
    }
    const QJsonValue ok = object.value(QStringLiteral("ok"));
    if (!ok.isBool()) {
        answer.result = failure(QStringLiteral("unreadable answer from the page"));
        return answer;
    }

    WalkResult& result = answer.result;
    result.status = ok.toBool() ? PageStatus::Ok : PageStatus::Missing;
    result.error = object.value(QStringLiteral("error")).toString();
    result.length = object.value(QStringLiteral("length")).toInt();
    result.clicks = object.value(QStringLiteral("clicks")).toInt();
    const QJsonArray positions = object.value(QStringLiteral("positions")).toArray();
    result.positions.reserve(positions.size());
    for (const QJsonValue& position : positions)
        result.positions.append(position.toInt());
    if (!result.ok() && result.error.isEmpty())
        result.error = QStringLiteral("the page reported a failure without a reason");
    return answer;
}

} // namespace lumora::platform::webengine
