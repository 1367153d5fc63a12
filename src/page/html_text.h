#pragma once

// What a browser would read of a page's HTML, from its text alone (pages the program fetches,
// which the engine never shows): its tags, its visible text and its tables. Any text (malformed,
// huge, not HTML at all) is read in time linear in its length; past kReadLimit it is not read.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace lumora::page {

// More than any page the program reads holds.
inline constexpr qsizetype kReadLimit = 2 * 1024 * 1024;

// `html` up to kReadLimit (a longer page is logged).
QStringView readablePart(const QString& html);

// Told what a page holds, in document order.
class HtmlReader
{
public:
    virtual ~HtmlReader() = default;
    // `name` lower-cased; `tag` the start tag's whole text, attributes as written.
    virtual void startTag(const QString& name, QStringView tag) = 0;
    virtual void endTag(const QString& name) = 0;
    // Text as written: decodeEntities gives what it shows (most text is nobody's concern, and
    // is left as it is).
    virtual void text(QStringView written) = 0;
};

// Reads `html` as a browser's tokenizer does, closely enough for tables and links: nothing of
// comments, declarations, scripts, styles and other raw text reaches `reader`; a quoted
// attribute value may hold '>'; a tag or comment left open takes the rest of the page.
void readHtml(QStringView html, HtmlReader& reader);

// `text` with its character references decoded (&nbsp; &amp; &#12288; &#x3000; ...).
QString decodeEntities(QStringView text);
// Text as shown: white space collapsed and trimmed, zero-width spaces gone.
QString shownText(QString text);
// Zero-width spaces and joiners, which show nothing and are no white space to Qt.
bool isZeroWidth(QChar c);

struct TableRow
{
    QStringList cells;   // each cell's text as shown, in order
    bool header = false; // made of <th> cells
};
// The rows of each table of `html`, tables in the order they start. Only innermost rows count: a
// row holding a table is left out, the nested table's rows are its own.
QList<QList<TableRow>> readTables(const QString& html);

} // namespace lumora::page
