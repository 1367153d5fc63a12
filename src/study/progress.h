#pragma once

// Pure study bookkeeping: the progress test of the selected lesson and the figures the study
// panel shows.

#include <QString>
#include <QStringList>
#include <array>

namespace lumora::study {

// Where the selected lesson stands. A lesson is done only when studied exceeds required.
enum class LessonProgress
{
    Unknown,       // studied equals required, or a value cannot be read: the tick does nothing
    StillStudying, // required > studied
    NextCategory,  // the last lesson of the category is done
    NextLesson,    // a lesson before the last is done
};

// The progress of the lesson at `selected` among `lessonCount` listed lessons, from its
// required and studied minutes. Any value that cannot be read gives Unknown.
LessonProgress lessonProgress(int selected, int lessonCount, const QString& required,
                              const QString& studied);

// Study still needed in whole minutes: every lesson needs its required minutes plus one.
int minutesStillNeeded(const QStringList& required, const QStringList& studied);

struct StudySnapshot
{
    bool running = false;
    bool finished = false; // past the last category
    QString categoryName;  // empty before a run and past the last category
    int lesson = 0;        // 1-based position of the selected lesson; 0 when none
    int lessonCount = 0;
    int studied = 0;
    int required = 0;
    int lessonsDone = 0; // lessons of the category whose studied minutes exceed required
    int minutesLeft = 0; // this category from now on and all later ones
};

// Figures for the study panel. `required` and `studied` are the current category's lists;
// `tables` and `records` give the later categories.
StudySnapshot makeSnapshot(bool running, int categoryIndex, int selectedLesson,
                           const QStringList& required, const QStringList& studied,
                           const std::array<QString, 4>& tables,
                           const std::array<QString, 4>& records);

} // namespace lumora::study
