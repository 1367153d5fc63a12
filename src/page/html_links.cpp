#include "page/html_links.h"

#include "page/html_text.h"
#include "page/login_form.h"

#include <QRegularExpression>

namespace lumora::page {

namespace {

// Links and menu items open inside each other that are followed; no page nests deeper.
constexpr qsizetype kMaxOpen = 64;
// A link's text longer than this is no menu item's nor a pager's.
constexpr qsizetype kMaxLinkText = 200;

// A pager's "next" as sites write it, arrows and brackets left out.
const QStringList& nextPageWords()
{
    static const QStringList words = {"下一页", "下页", "后一页", "后页", "next"};
    return words;
}

// A link's or menu item's text as compared; a pager's without its arrows and brackets.
QString comparedText(const QString& text, bool pager)
{
    QString compared = normalizedTitle(text);
    if (pager)
        compared.removeIf([](QChar c) { return QStringView(u"<>«»‹›→[]【】").contains(c); });
    return compared;
}

// An address a click would go to: not an anchor in the page, not a script.
bool isUsableAddress(const QString& address)
{
    return !address.isEmpty() && !address.startsWith(u'#') &&
           !address.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive);
}

// The address an onclick handler goes to: its first quoted text that looks like one.
QString quotedAddress(const QString& script)
{
    static const QRegularExpression quoted(QStringLiteral(R"re((["'])([^"'\s<>]{1,2048})\1)re"));
    for (const QRegularExpressionMatch& m : quoted.globalMatch(script)) {
        const QString text = m.captured(2);
        if (isUsableAddress(text) &&
            (text.contains(u'/') || text.contains(u'.') || text.contains(u'=')))
            return text;
    }
    return {};
}

// Elements that hold nothing and have no end tag.
bool isVoid(const QString& name)
{
    static const QStringList names = {"input", "img",   "br",  "hr",     "area",  "meta", "link",
                                      "wbr",   "embed", "col", "source", "track", "base", "param"};
    return names.contains(name);
}

// The first element in document order, among those a click on would go to an address, whose
// text is one of the wanted ones. A pager's next page is an <a href> only, not marked disabled,
// and not the page itself.
class LinkFinder final : public HtmlReader
{
public:
    enum class Kind
    {
        LinkOrMenuItem,
        NextPage,
    };

    LinkFinder(QUrl base, const QStringList& texts, Kind kind)
        : m_base(std::move(base)), m_kind(kind)
    {
        for (const QString& text : texts) {
            if (const QString compared = comparedText(text, kind == Kind::NextPage);
                !compared.isEmpty())
                m_texts.append(compared);
        }
    }

    void startTag(const QString& name, QStringView tag) override
    {
        ++m_order;
        if (name == u"a") // a link ends any link still open, as in a browser
            finishFrom(innermost(name));
        const QString address = addressOf(name, tag);
        if (isVoid(name)) {
            // Nothing inside it: a button input shows its value.
            if (name == u"input" && !address.isEmpty())
                judge({name, address,
                       decodeEntities(attributeValue(tag.toString(), QStringLiteral("value"))),
                       m_order});
        } else if (!address.isEmpty() && m_open.size() < kMaxOpen) {
            m_open.append({name, address, {}, m_order});
        } else if (const qsizetype at = innermost(name); at >= 0) {
            ++m_open[at].depth;
        }
    }

    void endTag(const QString& name) override
    {
        const qsizetype at = innermost(name);
        if (at >= 0 && m_open[at].depth > 0)
            --m_open[at].depth;
        else
            finishFrom(at);
    }

    void text(QStringView written) override
    {
        if (m_open.isEmpty())
            return;
        const QString shown = decodeEntities(written).simplified().left(kMaxLinkText + 1);
        for (Open& open : m_open) {
            if (open.text.size() <= kMaxLinkText)
                open.text += shown;
        }
    }

    QUrl found()
    {
        finishFrom(0);
        return m_found;
    }

private:
    struct Open
    {
        QString name;
        QString address;
        QString text;
        qsizetype order = 0;
        int depth = 0; // elements of its name open inside it
    };

    QString addressOf(const QString& name, QStringView tagText) const
    {
        const bool onclick =
            m_kind == Kind::LinkOrMenuItem && tagText.contains(u"onclick", Qt::CaseInsensitive);
        if (name != u"a" && !onclick)
            return {};
        const QString tag = tagText.toString();
        if (name == u"a") {
            QString href = decodeEntities(attributeValue(tag, QStringLiteral("href"))).trimmed();
            href.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });
            if (m_kind == Kind::NextPage) {
                const bool disabled =
                    attributeValue(tag, QStringLiteral("class"))
                        .contains(u"disabled", Qt::CaseInsensitive) ||
                    attributeValue(tag, QStringLiteral("aria-disabled")) == u"true";
                return isUsableAddress(href) && !disabled ? href : QString();
            }
            if (isUsableAddress(href))
                return href;
        }
        return onclick
                   ? quotedAddress(decodeEntities(attributeValue(tag, QStringLiteral("onclick"))))
                   : QString();
    }

    qsizetype innermost(const QString& name) const
    {
        for (qsizetype at = m_open.size() - 1; at >= 0; --at) {
            if (m_open[at].name == name)
                return at;
        }
        return -1;
    }

    void finishFrom(qsizetype at)
    {
        if (at < 0)
            return;
        while (m_open.size() > at)
            judge(m_open.takeLast());
    }

    void judge(const Open& open)
    {
        if ((m_found.isValid() && open.order > m_foundOrder) || open.text.size() > kMaxLinkText ||
            !m_texts.contains(comparedText(open.text, m_kind == Kind::NextPage)))
            return;
        const QUrl target = m_base.resolved(QUrl(open.address));
        if (!target.isValid() ||
            (m_kind == Kind::NextPage &&
             target.adjusted(QUrl::RemoveFragment) == m_base.adjusted(QUrl::RemoveFragment)))
            return;
        m_found = target;
        m_foundOrder = open.order;
    }

    QUrl m_base;
    Kind m_kind;
    QStringList m_texts;
    QList<Open> m_open;
    qsizetype m_order = 0;
    QUrl m_found;
    qsizetype m_foundOrder = 0;
};

} // namespace

QString normalizedTitle(const QString& title)
{
    QString normalized = title.left(kReadLimit).normalized(QString::NormalizationForm_KC);
    normalized.removeIf([](QChar c) { return c.isSpace() || isZeroWidth(c); });
    return normalized.toCaseFolded();
}

QUrl linkTo(const QString& html, const QUrl& base, const QStringList& texts)
{
    LinkFinder finder(base, texts, LinkFinder::Kind::LinkOrMenuItem);
    readHtml(readablePart(html), finder);
    return finder.found();
}

QUrl nextPageLink(const QString& html, const QUrl& base)
{
    LinkFinder finder(base, nextPageWords(), LinkFinder::Kind::NextPage);
    readHtml(readablePart(html), finder);
    return finder.found();
}

} // namespace lumora::page
