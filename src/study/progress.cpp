#include "study/progress.h"

#include "records/timetable.h"

namespace lumora::study {

using records::wholePart;

LessonProgress lessonProgress(int selected, int lessonCount, const QString& required,
                              const QString& studied)
{
    if (selected < 0)
        return LessonProgress::Unknown;
    const std::optional<long long> r = wholePart(required);
    const std::optional<long long> s = wholePart(studied);
    if (!r || !s)
        return LessonProgress::Unknown;
    if (*r > *s)
        return LessonProgress::StillStudying;
    if (selected == lessonCount - 1 && *r < *s)
        return LessonProgress::NextCategory;
    if (*r < *s)
        return LessonProgress::NextLesson;
    return LessonProgress::Unknown;
}

int minutesStillNeeded(const QStringList& required, const QStringList& studied)
{
    int minutes = 0;
    for (qsizetype i = 0; i < required.size(); ++i) {
        const long long r = wholePart(required.at(i)).value_or(0);
        const long long s = i < studied.size() ? wholePart(studied.at(i)).value_or(0) : 0;
        if (r + 1 > s)
            minutes += static_cast<int>(r + 1 - s);
    }
    return minutes;
}

StudySnapshot makeSnapshot(bool running, int categoryIndex, int selectedLesson,
                           const QStringList& required, const QStringList& studied,
                           const std::array<QString, 4>& tables,
                           const std::array<QString, 4>& records)
{
    StudySnapshot snapshot;
    snapshot.running = running;
    snapshot.finished = categoryIndex >= records::kCategoryCount;
    if (!records::isCategory(categoryIndex))
        return snapshot;
    snapshot.categoryName = records::categoryNames().at(categoryIndex);
    snapshot.lessonCount = static_cast<int>(required.size());
    if (selectedLesson >= 0 && selectedLesson < required.size()) {
        snapshot.lesson = selectedLesson + 1;
        snapshot.required = static_cast<int>(wholePart(required.at(selectedLesson)).value_or(0));
        if (selectedLesson < studied.size())
            snapshot.studied = static_cast<int>(wholePart(studied.at(selectedLesson)).value_or(0));
    }
    for (qsizetype i = 0; i < required.size() && i < studied.size(); ++i) {
        if (wholePart(studied.at(i)).value_or(0) > wholePart(required.at(i)).value_or(0))
            ++snapshot.lessonsDone;
    }
    snapshot.minutesLeft = minutesStillNeeded(required, studied);
    for (int later = categoryIndex + 1; later < records::kCategoryCount; ++later) {
        const records::LessonMinutes lessons =
            records::loadLessonMinutes(tables.at(later), records.at(later));
        snapshot.minutesLeft += minutesStillNeeded(lessons.required, lessons.studied);
    }
    return snapshot;
}

} // namespace lumora::study
