#pragma once

// Pure study bookkeeping: the progress test of the selected lesson and the figures the study
// panel shows.

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace lumora::study {

// Progress codes.
inline const QString kStillStudying = QStringLiteral("qjx"); // required > studied
inline const QString kNextCategory = QStringLiteral("xyx");  // last lesson done
inline const QString kNextLesson = QStringLiteral("qqh");    // a lesson before the last done

// The whole part of a number written as text (the largest whole number not above it);
// nothing when the text is not a number.
std::optional<long long> wholePart(const QString& text);

// The progress code of the lesson at `selected` among `lessonCount` listed lessons, from its
// required and studied minutes. A lesson is done only when studied exceeds required. Any value
// that cannot be read gives the empty code.
QString lessonProgressCode(int selected, int lessonCount, const QString& required,
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
