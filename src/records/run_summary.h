#pragma once

// What the learner reads in the morning, worked out from the run record and the minutes: the
// figures of each run (when it started and ended, the minutes it credited, the lessons it
// finished and skipped, its longest stall, its recoveries), the history of the last runs, and
// the values of the timetable's picture. Plain data, no widgets.

#include "records/minute_records.h"
#include "records/record_reader.h"
#include "records/site_figures.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace lumora::records {

enum class RunEnd
{
    Open,        // no end recorded: still running, or the program was cut off (power, crash)
    Finished,    // "退出课件" or every lesson done
    Paused,      // stopped for the learner (why: pauseReason)
    ProgramQuit, // the program ended in the middle of it, and was not started again to go on
};

struct LessonKey
{
    int category = -1;
    int lesson = -1;
    friend bool operator==(const LessonKey&, const LessonKey&) = default;
    friend auto operator<=>(const LessonKey&, const LessonKey&) = default;
};

struct SkippedLesson
{
    LessonKey lesson;
    QString why; // the last failure recorded for the lesson in the run
};

struct RunSummary
{
    QDateTime started;
    QDateTime ended; // the time of the run's last event
    RunEnd end = RunEnd::Open;
    QString pauseReason;
    std::array<int, kCategoryCount> minutes{}; // credited, by category
    QList<LessonKey> lessonsDone;
    QList<SkippedLesson> skipped;
    int longestStall = 0; // minutes in a row that earned nothing
    QString stallCause;   // why, as the record says at its longest
    int recoveries = 0;   // the session ended and the program logged in again
    int restarts = 0;     // the program was started again and the run went on
    int sleptMinutes = 0;
    int saveFailures = 0;
    QDateTime siteStoppedAt; // the site stopped counting (invalid: it did not)
    QString siteStopped;     // why, as the run told it

    int totalMinutes() const;
};

// The runs of a run record, fed event by event in the order written. A run begins with
// "开始连续学习" and ends with its end, a pause or the program's quitting; a run the program
// quit in the middle of and then went on with after a restart is one run. Events outside a run
// are passed over.
class RunHistory
{
public:
    static constexpr int kKept = 30;

    void add(const RecordedEvent& recorded);
    void addText(const QString& recordText);
    void clear() { *this = RunHistory(); }

    // The last kKept runs, newest first.
    QList<RunSummary> runs() const;

private:
    RunSummary* openRun();

    QList<RunSummary> m_runs; // oldest first
    // A restart starts its run within a few seconds; one that starts none (nothing left to
    // study) leaves the next run a new one.
    static constexpr int kRestartSeconds = 10;
    QDateTime m_restartedAt;
    QMap<LessonKey, QString> m_lastFailure; // in the open run
};

// One bar of the timetable's picture: a lesson's studied minutes against the minutes that make
// it done; by the site's record where it gave a figure, else by the program's count.
struct LessonBar
{
    int studied = 0; // the program's count
    int needed = 0;  // what makes it done by the program's count: one minute past its requirement
    std::optional<int> site = std::nullopt; // the site's figure, in minutes
    // The site's figure is the truth: its requirement met is done.
    bool done() const { return site ? *site >= needed - 1 : studied >= needed; }
    int shown() const { return site.value_or(studied); }
    int left() const
    {
        return site ? std::max(0, needed - 1 - *site) : std::max(0, needed - studied);
    }
    friend bool operator==(const LessonBar&, const LessonBar&) = default;
};

struct CategoryBars
{
    QString name;
    QList<LessonBar> lessons; // the timetable's, in order
    int minutesLeft = 0;
};

// The bars of every lesson; with `figures` of a site whose record was found, the site's figure
// where it gave one.
std::array<CategoryBars, kCategoryCount> timetableBars(const MinuteRecords& records,
                                                       const SiteFigures* figures = nullptr);

// The site's record beside the program's count, for the morning's summary.
struct SiteSummary
{
    RecordPlace place = RecordPlace::Unknown;
    int lessons = 0;        // lessons the record gave a figure for
    int siteMinutes = 0;    // the record's minutes for them
    int programMinutes = 0; // the program's for the same lessons
    QDateTime lastRead;
};
SiteSummary siteSummary(const MinuteRecords& records, const SiteFigures* figures);

} // namespace lumora::records
