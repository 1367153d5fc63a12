#include "pages.h"

#include "catalogue.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>

// The record page (/course/records): the user's study record as training sites show it, with
// the differences from their own lesson lists that trip a naive reader.
namespace lumora::site::pages {

using namespace Qt::StringLiterals;

namespace {

constexpr int kRowsPerPage = 10;

QString recordTime(qint64 ms, RecordTimeForm form)
{
    const qint64 s = ms / 1000;
    const auto two = [](qint64 n) { return u"%1"_s.arg(n, 2, 10, QLatin1Char('0')); };
    switch (form) {
    case RecordTimeForm::Hms:
        return u"%1:%2:%3"_s.arg(s / 3600).arg(two(s / 60 % 60), two(s % 60));
    case RecordTimeForm::MmSs:
        return two(s / 60) + u':' + two(s % 60);
    case RecordTimeForm::Minutes:
        return u"%1分钟"_s.arg(s / 60);
    case RecordTimeForm::Seconds:
        return QString::number(s);
    case RecordTimeForm::Xueshi: { // 45 minutes a 学时, in tenths rounded down
        const qint64 tenths = ms / (45 * 60000 / 10);
        return u"%1.%2学时"_s.arg(tenths / 10).arg(tenths % 10);
    }
    case RecordTimeForm::MinSec:
        break;
    }
    return u"%1分%2秒"_s.arg(s / 60).arg(s % 60);
}

QString timeHeader(RecordTimeForm form)
{
    return form == RecordTimeForm::Seconds  ? u"学习时长(秒)"_s
           : form == RecordTimeForm::Xueshi ? u"学时"_s
                                            : u"学习时长"_s;
}

// "第3课 倾听技术", or "第３课　倾听技术" with full-width digits and space.
QString recordTitle(int category, int lesson, RecordTitles titles)
{
    QString title = lessonTitle(category, lesson);
    if (titles == RecordTitles::Fullwidth) {
        for (QChar& c : title) {
            if (c >= u'0' && c <= u'9') {
                c = QChar(0xFF10 + (c.unicode() - u'0'));
            } else if (c == u' ') {
                c = QChar(0x3000);
            }
        }
    }
    return title;
}

// A site-clock time as a date and time of day: the site "opened" on a fixed morning.
QString recordDate(qint64 ms)
{
    static const QDateTime opened(QDate(2026, 12, 9), QTime(8, 0), QTimeZone::utc());
    return opened.addMSecs(ms).toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

QString pageLink(bool exists, int page, const QString& text)
{
    return exists ? fill(u"page_link.html"_s,
                         {{"HREF", u"/course/records?page=%1"_s.arg(page)}, {"TEXT", text}})
                  : fill(u"page_disabled.html"_s, {{"TEXT", text}});
}

} // namespace

QString records(const QByteArray& charset, const QString& user,
                const std::vector<StudyRecord::Entry>& entries, int page, const RecordPage& style,
                qint64 startMs)
{
    const int count = static_cast<int>(entries.size());
    const int pages = std::max(1, (count + kRowsPerPage - 1) / kRowsPerPage);
    page = std::clamp(page, 1, pages);
    QString rows;
    for (int i = (page - 1) * kRowsPerPage; i < std::min(count, page * kRowsPerPage); ++i) {
        const StudyRecord::Entry& entry = entries[static_cast<std::size_t>(i)];
        rows += fill(u"record_row.html"_s,
                     {{"N", QString::number(i + 1)},
                      {"CATEGORY", categoryName(entry.category)},
                      {"TITLE", recordTitle(entry.category, entry.lesson, style.titles)},
                      {"TIME", recordTime(entry.ms, style.timeForm)},
                      {"WHEN", recordDate(entry.changedMs - startMs)}});
    }
    if (rows.isEmpty()) {
        rows = fill(u"records_empty.html"_s);
    }
    return document(
        charset, u"学习记录"_s,
        fill(u"records.html"_s, {{"USER", user},
                                 {"TIME_HEADER", timeHeader(style.timeForm)},
                                 {"ROWS", rows},
                                 {"COUNT", QString::number(count)},
                                 {"PAGE", QString::number(page)},
                                 {"PAGES", QString::number(pages)},
                                 {"PREVIOUS", pageLink(page > 1, page - 1, u"上一页"_s)},
                                 {"NEXT", pageLink(page < pages, page + 1, u"下一页"_s)}}),
        u"frame"_s);
}

} // namespace lumora::site::pages
