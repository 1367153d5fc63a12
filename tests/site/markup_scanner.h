#pragma once

#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Finds elements in served markup the way a browser numbers them: start tags in document
// order, skipping comments and the contents of <script> and <style>. Enough HTML for pages
// whose wanted elements are closed explicitly.
namespace markup {

using namespace Qt::StringLiterals;

struct Element
{
    QString tag;
    QMap<QString, QString> attributes;
    QString text; // text content, tags removed, entities decoded
};

inline QString decodeEntities(QString text)
{
    return text.replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&#39;"_s, u"'"_s)
        .replace(u"&amp;"_s, u"&"_s);
}

// Returns the elements named in `tags` (lower case), in the order of their start tags.
inline QList<Element> scan(const QString& html, const QStringList& tags)
{
    static const QRegularExpression token(
        uR"re(<!--.*?-->|<(script|style)\b.*?</\1\s*>|<(/?)([a-z][a-z0-9-]*)((?:[^>"']|"[^"]*"|'[^']*')*)>)re"_s,
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(
        uR"re(([^\s=/>]+)(?:\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))?)re"_s);
    QList<Element> found;
    QList<qsizetype> open; // indices into `found` whose end tag is pending
    qsizetype textStart = 0;
    for (auto tokens = token.globalMatch(html); tokens.hasNext();) {
        const QRegularExpressionMatch match = tokens.next();
        const QString text = decodeEntities(html.mid(textStart, match.capturedStart() - textStart));
        for (const qsizetype index : open) {
            found[index].text += text;
        }
        textStart = match.capturedEnd();
        const QString name = match.captured(3).toLower();
        if (name.isEmpty() || (match.captured(2).isEmpty() && !tags.contains(name))) {
            continue; // a comment, script, style or an element not asked for
        }
        if (!match.captured(2).isEmpty()) { // an end tag closes the innermost open namesake
            for (qsizetype i = open.size() - 1; i >= 0; --i) {
                if (found[open[i]].tag == name) {
                    open.remove(i);
                    break;
                }
            }
            continue;
        }
        Element element{name, {}, {}};
        for (auto it = attribute.globalMatch(match.captured(4)); it.hasNext();) {
            const QRegularExpressionMatch pair = it.next();
            element.attributes.insert(
                pair.captured(1).toLower(),
                decodeEntities(pair.captured(2) + pair.captured(3) + pair.captured(4)));
        }
        found.append(element);
        open.append(found.size() - 1);
    }
    return found;
}

} // namespace markup
