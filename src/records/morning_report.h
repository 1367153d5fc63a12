#pragma once

// The morning's figures in the learner's words: the lines the "学习记录" window shows and the
// text "导出…" saves. No widgets.

#include "records/run_summary.h"

#include <QCoreApplication>
#include <QStringList>

namespace lumora::records {

class MorningReport
{
    Q_DECLARE_TR_FUNCTIONS(MorningReport)
public:
    // "2024-05-02 22:00 至 2024-05-03 06:12（8 小时 12 分）"; the end's date only when it differs.
    static QString period(const RunSummary& run);
    // How the run ended: "学习结束", "学习暂停：<why>", ...
    static QString ending(const RunSummary& run);
    // The run's lessons finished and skipped, longest stall, recoveries and other troubles:
    // one line each, those with nothing to tell left out except the first three.
    static QStringList details(const RunSummary& run);
    // A category's minutes: credited in the run against what is still needed.
    static QStringList categoryCells(const CategoryBars& bars, int creditedMinutes);
    static QStringList categoryHeaders();
    // A run of the history: start, end, minutes, lessons finished, skipped, longest stall,
    // recoveries, how it ended.
    static QStringList historyCells(const RunSummary& run);
    static QStringList historyHeaders();
    // "基础理论 第 3 课".
    static QString lessonText(const LessonKey& lesson);
    // What the site's own record says beside the program's count, and when it was read; or
    // that the program's figures cannot be checked against the site.
    static QString siteLine(const SiteSummary& site);

    // The whole summary as text: the last run, the site's record, the timetable (each lesson by
    // both counts where the site gave one), the history, then the record.
    static QString exportText(const QList<RunSummary>& runs,
                              const std::array<CategoryBars, kCategoryCount>& bars,
                              const SiteSummary& site, const QString& record, const QDateTime& now);
};

} // namespace lumora::records
