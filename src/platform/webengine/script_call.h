#pragma once

// Building script text for the page without ever pasting raw values into it: every value goes
// in as a JSON literal, with the characters that could end a string or a script escaped.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>

namespace lumora::platform::webengine {

// JSON text of the values, comma-separated, safe inside any script: '<' and '>' are written as
// \u003c / \u003e (so "</script>" or "<!--" never appears) and U+2028/U+2029, which older
// JavaScript does not accept inside string literals, as \u2028 / \u2029. Those characters can
// only occur inside JSON strings, so replacing them in the whole text is exact.
inline QString scriptLiterals(const QJsonArray& values)
{
    const QByteArray json = QJsonDocument(values).toJson(QJsonDocument::Compact);
    // Strip the array's own brackets: "[a,b]" -> "a,b".
    QString text = QString::fromUtf8(json.mid(1, json.size() - 2));
    text.replace(QChar(0x2028), QStringLiteral("\\u2028"));
    text.replace(QChar(0x2029), QStringLiteral("\\u2029"));
    text.replace(QLatin1Char('<'), QStringLiteral("\\u003c"));
    text.replace(QLatin1Char('>'), QStringLiteral("\\u003e"));
    return text;
}

inline QString scriptLiteral(const QJsonValue& value)
{
    return scriptLiterals(QJsonArray{value});
}

// Whether `name` is a plain dotted identifier path such as "lumora.walk".
inline bool isScriptFunctionName(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*(\\.[A-Za-z_$][A-Za-z0-9_$]*)*$"));
    return pattern.match(name).hasMatch();
}

// "name(arg1,arg2,...)" with every argument as an escaped JSON literal. A name that is not a
// plain identifier path gives an empty string, which callers treat as a failed call.
template <typename... Args> QString assembleCall(const QString& functionName, const Args&... args)
{
    if (!isScriptFunctionName(functionName))
        return {};
    return functionName + QLatin1Char('(') + scriptLiterals(QJsonArray{QJsonValue(args)...}) +
           QLatin1Char(')');
}

// Wraps an expression so that the page always answers with JSON text: the expression's value
// through JSON.stringify, or {"ok":false,"error":...} when it throws, or {"noscript":true} when
// the page-side functions were never installed in this document. A plain string can never be
// confused with undefined, a DOM node or an exception this way.
inline QString answerAsJson(const QString& expression)
{
    return QStringLiteral("(function(){try{"
                          "if(typeof lumora!=='object'||lumora===null)return '{\"noscript\":true}';"
                          "return JSON.stringify(") +
           expression +
           QStringLiteral(");}catch(e){var m;try{m=String(e);}catch(_){m='exception';}"
                          "return JSON.stringify({ok:false,error:'script failed: '+m});}})()");
}

} // namespace lumora::platform::webengine
