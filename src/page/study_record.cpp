#include "page/study_record.h"

#include "page/html_text.h"
#include "platform/logging.h"

#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

namespace lumora::page {

namespace {

// A time written longer than this is none of the forms read (white space left out).
constexpr qsizetype kMaxTimeText = 48;
// About three years: more is no lesson's studied time.
constexpr double kMaxSeconds = 1e8;

// Headers of studied time, the more telling first; and of other times: required, the video's
// own length, dates.
constexpr QStringView kStudiedWords[] = {u"学习时长", u"已学时长", u"累计时长",
                                         u"观看时长", u"有效时长", u"已学",
                                         u"学时",     u"时长",     u"学习时间"};
constexpr QStringView kOtherTimeWords[] = {u"要求",     u"应学",     u"规定",   u"需学",
                                           u"课程时长", u"视频时长", u"总时长", u"开始",
                                           u"结束",     u"最后",     u"日期"};
// Besides those, what a record's header names.
constexpr QStringView kColumnWords[] = {u"序号", u"编号", u"课程", u"名称", u"标题",
                                        u"章节", u"课件", u"状态", u"进度", u"操作",
                                        u"类型", u"类别", u"姓名", u"时间"};

template <std::size_t N> bool containsAny(const QString& text, const QStringView (&words)[N])
{
    return std::any_of(std::begin(words), std::end(words),
                       [&](QStringView word) { return text.contains(word); });
}

// A time as compared with the forms: full-width digits and colons folded, white space gone.
QString foldedTime(const QString& text)
{
    // Longer, with white space in it or not, it is no time: not worth folding.
    return text.size() > kMaxTimeText * 4 ? QString() : normalizedTitle(text);
}

bool isBareNumber(const QString& folded)
{
    static const QRegularExpression number(QStringLiteral(R"(^[0-9]+(?:\.[0-9]+)?$)"));
    return number.match(folded).hasMatch();
}

std::optional<int> seconds(double value)
{
    if (value < 0 || value > kMaxSeconds)
        return std::nullopt;
    return qRound(value);
}

std::optional<int> readTime(const QString& folded, const RecordReading& reading,
                            BareNumberUnit bareNumbers)
{
    // Every form has a digit; most cells (titles, states) have none.
    if (folded.size() > kMaxTimeText ||
        std::none_of(folded.begin(), folded.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    static const QRegularExpression units(QStringLiteral(
        R"(^(?:([0-9]+(?:\.[0-9]+)?)小?时)?(?:([0-9]+(?:\.[0-9]+)?)分钟?)?(?:([0-9]+(?:\.[0-9]+)?)秒钟?)?$)"));
    static const QRegularExpression clock(
        QStringLiteral(R"(^(?:([0-9]{1,6}):([0-5][0-9])|([0-9]{1,7})):([0-5][0-9])$)"));
    static const QRegularExpression xueshi(QStringLiteral(R"(^([0-9]+(?:\.[0-9]+)?)学时$)"));
    if (const QRegularExpressionMatch m = units.match(folded); m.hasMatch()) {
        double total = 0;
        bool larger = false; // a larger unit came before: this one is whole
        for (int group = 1; group <= 3; ++group) {
            const QString number = m.captured(group);
            if (number.isEmpty())
                continue;
            if (larger && number.contains(u'.'))
                return std::nullopt;
            larger = true;
            total += number.toDouble() * (group == 1 ? 3600 : group == 2 ? 60 : 1);
        }
        return seconds(total);
    }
    if (const QRegularExpressionMatch m = clock.match(folded); m.hasMatch()) {
        const double hours = m.captured(1).toDouble();
        const double minutes = m.captured(2).toDouble() + m.captured(3).toDouble();
        return seconds(hours * 3600 + minutes * 60 + m.captured(4).toDouble());
    }
    const double perXueshi = reading.minutesPerXueshi.value_or(0) * 60;
    if (const QRegularExpressionMatch m = xueshi.match(folded); m.hasMatch())
        return perXueshi > 0 ? seconds(m.captured(1).toDouble() * perXueshi) : std::nullopt;
    if (!isBareNumber(folded))
        return std::nullopt;
    const double value = folded.toDouble();
    switch (bareNumbers) {
    case BareNumberUnit::Seconds:
        return seconds(value);
    case BareNumberUnit::Minutes:
        return seconds(value * 60);
    case BareNumberUnit::Hours:
        return seconds(value * 3600);
    case BareNumberUnit::Xueshi:
        return perXueshi > 0 || value == 0 ? seconds(value * perXueshi) : std::nullopt;
    case BareNumberUnit::None:
        break;
    }
    return value == 0 ? std::optional<int>(0) : std::nullopt;
}

// How telling a header is of studied time: the index of its first studied word; -1 for a
// header of another time or of none.
int studiedRank(const QString& header)
{
    const QString name = normalizedTitle(header);
    if (containsAny(name, kOtherTimeWords))
        return -1;
    for (std::size_t rank = 0; rank < std::size(kStudiedWords); ++rank) {
        if (name.contains(kStudiedWords[rank]))
            return int(rank);
    }
    return -1;
}

// Whether a row names the columns: short texts without digits, one of them a column's name.
bool namesColumns(const QStringList& cells)
{
    bool named = false;
    for (const QString& cell : cells) {
        if (cell.size() > 20 ||
            std::any_of(cell.begin(), cell.end(), [](QChar c) { return c.isDigit(); }))
            return false;
        const QString name = normalizedTitle(cell);
        named = named || containsAny(name, kStudiedWords) || containsAny(name, kOtherTimeWords) ||
                containsAny(name, kColumnWords);
    }
    return named;
}

// What the rows of one column hold.
struct ColumnCount
{
    int filled = 0;      // cells not empty, nor a dash for nothing yet
    int times = 0;       // cells read as a time, bare numbers in the header's unit
    int written = 0;     // cells read as a time written with units or colons
    bool others = false; // a filled cell that is no time at all
};

struct TimeColumn
{
    qsizetype index = -1;
    BareNumberUnit unit = BareNumberUnit::None;
};

// The column of studied time: the most telling header whose cells mostly are times; without
// one, the only column all of whose cells are times written with units or colons.
TimeColumn findTimeColumn(const QStringList& header, const QList<QStringList>& rows,
                          const RecordReading& reading)
{
    QList<BareNumberUnit> units;
    for (const QString& name : header)
        units.append(bareNumberUnit(name));
    std::vector<ColumnCount> counts;
    for (const QStringList& row : rows) {
        counts.resize(std::max(counts.size(), size_t(row.size())));
        for (qsizetype column = 0; column < row.size(); ++column) {
            const QString folded = foldedTime(row.at(column));
            if (folded.isEmpty() || std::all_of(folded.begin(), folded.end(), [](QChar c) {
                    return c == u'-' || c == u'—' || c == u'/';
                }))
                continue;
            ColumnCount& count = counts[size_t(column)];
            ++count.filled;
            const bool time = readTime(folded, reading, BareNumberUnit::None).has_value();
            const bool bare = isBareNumber(folded);
            count.written += time && !bare ? 1 : 0;
            count.others = count.others || !time;
            count.times += time || (bare && readTime(folded, reading, units.value(column))) ? 1 : 0;
        }
    }
    QList<std::pair<int, qsizetype>> named; // (rank, column)
    for (qsizetype column = 0; column < header.size(); ++column) {
        if (const int rank = studiedRank(header.at(column)); rank >= 0)
            named.append({rank, column});
    }
    std::sort(named.begin(), named.end());
    for (const auto& [rank, column] : named) {
        const ColumnCount count =
            column < qsizetype(counts.size()) ? counts[size_t(column)] : ColumnCount();
        // A column of nothing yet is a record with no lesson studied in it ("暂无学习记录").
        if (count.filled == 0 || count.times * 2 > count.filled)
            return {column, units.at(column)};
    }
    TimeColumn found;
    for (qsizetype column = 0; column < qsizetype(counts.size()); ++column) {
        const ColumnCount& count = counts[size_t(column)];
        if (count.written == 0 || count.others ||
            (column < header.size() &&
             containsAny(normalizedTitle(header.at(column)), kOtherTimeWords)))
            continue;
        if (found.index >= 0)
            return {}; // two such columns: which one the site counted is not told
        found.index = column;
    }
    return found;
}

} // namespace

RecordPage parseRecordPage(const QString& html, const QUrl& base, const RecordReading& reading)
{
    RecordPage page;
    page.nextPage = nextPageLink(html, base);
    QList<RecordRow> untimed; // rows of tables without a time column: a layout's, a pager's
    for (const QList<TableRow>& table : readTables(html)) {
        // Header rows: <th> rows, and rows naming the columns before the first lesson.
        QStringList header;
        QList<QStringList> lessons;
        for (const TableRow& row : table) {
            if (std::all_of(row.cells.begin(), row.cells.end(), std::mem_fn(&QString::isEmpty)))
                continue;
            if (row.header || (lessons.isEmpty() && namesColumns(row.cells))) {
                if (row.cells.size() >= header.size())
                    header = row.cells;
                continue;
            }
            lessons.append(row.cells);
        }
        const TimeColumn column = findTimeColumn(header, lessons, reading);
        page.hasTimeColumn = page.hasTimeColumn || column.index >= 0;
        for (const QStringList& cells : lessons) {
            RecordRow row{cells, std::nullopt, cells.join(QStringLiteral(" | "))};
            if (column.index >= 0)
                row.seconds = parseStudyTime(cells.value(column.index), reading, column.unit);
            (column.index >= 0 ? page.rows : untimed).append(row);
        }
    }
    if (!page.hasTimeColumn) {
        page.rows = untimed;
        qCDebug(lcPage) << "no column of studied time among" << untimed.size() << "rows";
    }
    return page;
}

std::optional<int> parseStudyTime(const QString& text, const RecordReading& reading,
                                  BareNumberUnit bareNumbers)
{
    return readTime(foldedTime(text), reading, bareNumbers);
}

BareNumberUnit bareNumberUnit(const QString& header)
{
    // The unit closes the header, in brackets, after a slash or a colon, or alone.
    static const QRegularExpression unit(
        QStringLiteral(R"((?:^|[\s(/:])(?:单位:)?(秒|分钟|分|小时|学时)\)?$)"));
    const QString folded = header.left(64).normalized(QString::NormalizationForm_KC).simplified();
    const QString word = unit.match(folded).captured(1);
    if (word == u"秒")
        return BareNumberUnit::Seconds;
    if (word.startsWith(u'分'))
        return BareNumberUnit::Minutes;
    if (word == u"小时")
        return BareNumberUnit::Hours;
    return word == u"学时" ? BareNumberUnit::Xueshi : BareNumberUnit::None;
}

} // namespace lumora::page
