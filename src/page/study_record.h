#pragma once

// The site's study record ("学习记录", "课程学习记录", "我的学时"): the time the site counted per
// lesson, as its page lists it in a table. The page's HTML is read as text, without the engine:
// the program fetches it and compares the site's count with its own. Whatever the page holds
// (malformed, huge, not HTML at all) gives an answer in bounded time; what cannot be read is
// left empty, never guessed: a cell that is no time has no seconds, never zero. The lessons' titles
// compare through normalizedTitle, and the record page is found by linkTo (html_links.h).

#include "page/html_links.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace lumora::page {

// One row of a study record as its page lists it.
struct RecordRow
{
    QStringList cells;          // each cell's visible text, white space collapsed, in order
    std::optional<int> seconds; // the time the site counted; nothing when it cannot be read
    QString text;               // the cells joined by " | ", for the log
};

struct RecordPage
{
    // The rows that are lessons: header rows and empty rows left out. When a table with a column
    // of studied time was found, only the rows of such tables (not the page's layout or pager).
    QList<RecordRow> rows;
    QUrl nextPage; // the "下一页" link resolved against the page's address; or empty
    bool hasTimeColumn = false; // a table with a column of studied time was found
};

struct RecordReading
{
    std::optional<double> minutesPerXueshi; // how long a 学时 is, when the learner's settings say
};

// What a bare number ("35") in a time column counts, as the column's header says: "学习时长（秒）"
// seconds, "(分钟)" minutes, "(小时)" hours, "学时" 学时. Without one a bare number is no time.
enum class BareNumberUnit
{
    None,
    Seconds,
    Minutes,
    Hours,
    Xueshi,
};

// The page's rows, its studied-time column chosen by its header (or, without a usable header,
// the one column of times written with units or colons), and its next page.
RecordPage parseRecordPage(const QString& html, const QUrl& base, const RecordReading& reading);

// Seconds in one of the forms sites write studied time ("1小时5分3秒", "12.5分钟", "75:03",
// "1:02:03", "2学时" with the setting, "0"); nothing when `text` is none of them (a date, "已完成",
// "100%", "--"). Full-width digits and colons and white space are allowed.
std::optional<int> parseStudyTime(const QString& text, const RecordReading& reading,
                                  BareNumberUnit bareNumbers = BareNumberUnit::None);

// The unit a column's header gives its bare numbers ("学习时长(秒)" gives seconds).
BareNumberUnit bareNumberUnit(const QString& header);

} // namespace lumora::page
