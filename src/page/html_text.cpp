#include "page/html_text.h"

#include "platform/logging.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <vector>

namespace lumora::page {

namespace {

// Elements open inside each other that are followed; no page nests deeper.
constexpr qsizetype kMaxOpen = 64;

int digitValue(QChar c, bool hex)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    const char16_t lower = c.unicode() | 0x20;
    return hex && lower >= u'a' && lower <= u'f' ? lower - u'a' + 10 : -1;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The '>' ending a tag whose attributes start at `from`, a quoted value's '>' passed over; -1
// when the page ends first (the tag then takes the rest of it, as in a browser).
qsizetype tagEnd(QStringView html, qsizetype from)
{
    for (qsizetype i = from; i < html.size(); ++i) {
        if (html[i] == u'>')
            return i;
        if (html[i] != u'=')
            continue;
        qsizetype j = i + 1;
        while (j < html.size() && html[j].isSpace())
            ++j;
        if (j < html.size() && (html[j] == u'"' || html[j] == u'\'')) {
            j = html.indexOf(html[j], j + 1);
            if (j < 0)
                return -1;
        }
        i = j - 1;
    }
    return -1;
}

// Elements whose content is raw text, never markup.
bool holdsRawText(const QString& name)
{
    return name == u"script" || name == u"style" || name == u"textarea" || name == u"title" ||
           name == u"noscript";
}

// Elements inside a line of text: the others part their text as a browser's line does.
bool isInline(const QString& name)
{
    static const QStringList names = {"a",      "span", "b",     "i",    "u",   "em",
                                      "strong", "font", "small", "big",  "sub", "sup",
                                      "label",  "abbr", "code",  "cite", "s",   "strike"};
    return names.contains(name);
}

// The rows of every table, innermost rows only: a row holding a table is left out.
class TableReader final : public HtmlReader
{
public:
    void startTag(const QString& name, QStringView) override
    {
        if (name == u"table") {
            if (m_open.size() >= kMaxOpen) {
                ++m_unfollowed;
                return;
            }
            if (Table* outer = current(); outer && outer->cellOpen)
                outer->rows.last().holdsTable = true;
            m_tables.emplace_back();
            m_open.append(qsizetype(m_tables.size()) - 1);
            return;
        }
        Table* table = current();
        if (!table)
            return;
        if (name == u"td" || name == u"th") {
            closeCell(*table);
            if (!table->rowOpen)
                openRow(*table);
            table->rows.last().cells.append(QString());
            table->rows.last().headerCells += name == u"th" ? 1 : 0;
            table->cellOpen = true;
        } else if (name == u"tr" || name == u"tbody" || name == u"thead" || name == u"tfoot") {
            closeCell(*table);
            table->rowOpen = false;
            if (name == u"tr")
                openRow(*table);
        } else if (table->cellOpen && !isInline(name)) {
            table->rows.last().cells.last() += u' ';
        }
    }

    void endTag(const QString& name) override
    {
        if (name == u"table" && m_unfollowed > 0) {
            --m_unfollowed;
        } else if (name == u"table" && !m_open.isEmpty()) {
            closeCell(*current());
            m_open.removeLast();
        } else if (Table* table = current()) {
            const bool row =
                name == u"tr" || name == u"tbody" || name == u"thead" || name == u"tfoot";
            if (row || name == u"td" || name == u"th")
                closeCell(*table);
            else if (table->cellOpen && !isInline(name))
                table->rows.last().cells.last() += u' ';
            table->rowOpen = table->rowOpen && !row;
        }
    }

    void text(QStringView written) override
    {
        if (Table* table = current(); table && table->cellOpen)
            table->rows.last().cells.last() += decodeEntities(written);
    }

    // Each table's rows, in the order the tables start.
    QList<QList<TableRow>> tables()
    {
        while (!m_open.isEmpty())
            endTag(QStringLiteral("table"));
        QList<QList<TableRow>> all;
        for (const Table& table : m_tables) {
            QList<TableRow> rows;
            for (const Row& row : table.rows) {
                if (!row.holdsTable)
                    rows.append({row.cells, row.headerCells == row.cells.size()});
            }
            all.append(rows);
        }
        return all;
    }

private:
    struct Row
    {
        QStringList cells;
        qsizetype headerCells = 0; // <th> cells
        bool holdsTable = false;
    };
    struct Table
    {
        QList<Row> rows;
        bool rowOpen = false;
        bool cellOpen = false;
    };

    Table* current() { return m_open.isEmpty() ? nullptr : &m_tables[size_t(m_open.last())]; }
    static void openRow(Table& table)
    {
        table.rows.append(Row());
        table.rowOpen = true;
    }
    static void closeCell(Table& table)
    {
        if (std::exchange(table.cellOpen, false))
            table.rows.last().cells.last() = shownText(table.rows.last().cells.last());
    }

    std::vector<Table> m_tables;
    QList<qsizetype> m_open;
    int m_unfollowed = 0;
};

} // namespace

QStringView readablePart(const QString& html)
{
    if (html.size() > kReadLimit)
        qCDebug(lcPage) << "a page of" << html.size() << "characters read to" << kReadLimit;
    return QStringView(html).left(kReadLimit);
}

void readHtml(QStringView html, HtmlReader& reader)
{
    qsizetype i = 0;
    while (i < html.size()) {
        qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0)
            lt = html.size();
        if (lt > i)
            reader.text(html.mid(i, lt - i));
        if (lt == html.size())
            return;
        const QStringView rest = html.mid(lt);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", lt + 4);
            if (end < 0)
                return;
            i = end + 3;
            continue;
        }
        const bool closing = rest.startsWith(u"</");
        const qsizetype nameAt = lt + (closing ? 2 : 1);
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
            const qsizetype end = html.indexOf(u'>', lt);
            if (end < 0)
                return;
            i = end + 1;
            continue;
        }
        if (nameAt >= html.size() || !isAsciiLetter(html[nameAt])) {
            reader.text(html.mid(lt, 1));
            i = lt + 1;
            continue;
        }
        qsizetype nameEnd = nameAt;
        while (nameEnd < html.size() &&
               (isAsciiLetter(html[nameEnd]) || digitValue(html[nameEnd], false) >= 0))
            ++nameEnd;
        const qsizetype end = tagEnd(html, nameEnd);
        if (end < 0)
            return;
        const QString name = html.mid(nameAt, nameEnd - nameAt).toString().toLower();
        i = end + 1;
        if (closing) {
            reader.endTag(name);
            continue;
        }
        reader.startTag(name, html.mid(lt, i - lt));
        if (holdsRawText(name)) {
            // Its end tag is read as any other.
            const qsizetype close =
                html.indexOf(QString(QStringLiteral("</") + name), i, Qt::CaseInsensitive);
            if (close < 0)
                return;
            i = close;
        }
    }
}

QString decodeEntities(QStringView text)
{
    static const QHash<QString, char16_t> named = {
        {"nbsp", 0xA0},     {"amp", '&'},       {"lt", '<'},        {"gt", '>'},
        {"quot", '"'},      {"apos", '\''},     {"ensp", 0x2002},   {"emsp", 0x2003},
        {"thinsp", 0x2009}, {"middot", 0xB7},   {"laquo", 0xAB},    {"raquo", 0xBB},
        {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"hellip", 0x2026}, {"mdash", 0x2014},
        {"ndash", 0x2013},  {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"times", 0xD7}};
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        out += text.mid(i, amp < 0 ? -1 : amp - i);
        if (amp < 0)
            break;
        i = amp + 1;
        if (i < text.size() && text[i] == u'#') {
            const bool hex = i + 1 < text.size() && (text[i + 1].unicode() | 0x20) == u'x';
            qsizetype j = i + (hex ? 2 : 1);
            char32_t code = 0;
            const qsizetype first = j;
            for (int d = 0; j < text.size() && (d = digitValue(text[j], hex)) >= 0; ++j)
                code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(d), 0x110000);
            if (j > first) {
                if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                    code = 0xFFFD;
                out += QString::fromUcs4(&code, 1);
                i = j < text.size() && text[j] == u';' ? j + 1 : j;
                continue;
            }
        } else {
            qsizetype j = i;
            while (j < text.size() && j - i < 8 && isAsciiLetter(text[j]))
                ++j;
            const auto it = j < text.size() && text[j] == u';'
                                ? named.constFind(text.mid(i, j - i).toString())
                                : named.constEnd();
            if (it != named.constEnd()) {
                out += QChar(*it);
                i = j + 1;
                continue;
            }
        }
        out += u'&';
    }
    return out;
}

QString shownText(QString text)
{
    text.removeIf(isZeroWidth);
    return text.simplified();
}

bool isZeroWidth(QChar c)
{
    return c == QChar(0x200B) || c == QChar(0x200C) || c == QChar(0x200D) || c == QChar(0x2060) ||
           c == QChar(0xFEFF);
}

QList<QList<TableRow>> readTables(const QString& html)
{
    TableReader reader;
    readHtml(readablePart(html), reader);
    return reader.tables();
}

} // namespace lumora::page
