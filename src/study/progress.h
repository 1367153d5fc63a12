#pragma once

// Pure study bookkeeping: the progress test of the selected lesson and the figures the study
// panel shows.

#include "records/minute_records.h"
#include "study/run_phase.h"

#include <QString>
#include <optional>

namespace lumora::study {

// Where the selected lesson stands.
enum class LessonProgress
{
    Unknown,       // studied equals required, or the lesson has no minutes: the tick does nothing
    StillStudying, // required > studied
    NextCategory,  // the last lesson of the category is done
    NextLesson,    // a lesson before the last is done
};

// The progress of the lesson at `selected` among `lessonCount` listed lessons, from its minutes
// (nothing: the timetable does not list it).
LessonProgress lessonProgress(int selected, int lessonCount,
                              std::optional<records::LessonMinutes> minutes);

struct StudySnapshot
{
    RunPhase phase = RunPhase::Idle;
    bool running = false;  // the clock runs: the phase is one of an active run
    bool finished = false; // past the last category
    QString categoryName;  // empty before a run and past the last category
    int lesson = -1;       // position of the selected lesson; -1 when none
    int lessonCount = 0;
    int studied = 0;
    int target = 0;      // the minutes that make the selected lesson done
    int lessonsDone = 0; // lessons of the category that are done
    int minutesLeft = 0; // this category from now on and all later ones
    QString stall;       // "N 分钟未能计时：…" while the run earns nothing for a while
    bool siteUnchecked = false; // the site has no record: the figures are the program's own
};

// Where a run stands, in one line for the study panel and the tray, its phase first:
// "正在学习：基础理论 第 3 课".
QString whereText(const StudySnapshot& snapshot);

// Figures for the study panel, from the minutes of `category` and the categories after it.
StudySnapshot makeSnapshot(RunPhase phase, int category, int selectedLesson,
                           const records::MinuteRecords& records);

} // namespace lumora::study
