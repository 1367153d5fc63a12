#include "study/progress.h"

#include <QCoreApplication>

namespace lumora::study {

namespace {

// The context of this file's texts in the translations.
class ProgressTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::study::ProgressTexts)
};

} // namespace

LessonProgress lessonProgress(int selected, int lessonCount,
                              std::optional<records::LessonMinutes> minutes)
{
    if (selected < 0 || !minutes)
        return LessonProgress::Unknown;
    if (minutes->required > minutes->studied)
        return LessonProgress::StillStudying;
    if (!minutes->done())
        return LessonProgress::Unknown;
    return selected == lessonCount - 1 ? LessonProgress::NextCategory : LessonProgress::NextLesson;
}

QString whereText(const StudySnapshot& s)
{
    if (s.categoryName.isEmpty())
        return s.finished ? RunPhaseTexts::shown(RunPhase::Ended)
                          : RunPhaseTexts::shown(s.running ? s.phase : RunPhase::Idle);
    // A run paused or ended still says where it stopped.
    const QString state = RunPhaseTexts::shown(s.phase);
    if (s.lesson < 0)
        return ProgressTexts::tr("%1：%2").arg(state, s.categoryName);
    return ProgressTexts::tr("%1：%2 %3").arg(state, s.categoryName, records::lessonName(s.lesson));
}

StudySnapshot makeSnapshot(RunPhase phase, int category, int selectedLesson,
                           const records::MinuteRecords& records)
{
    StudySnapshot snapshot;
    snapshot.phase = phase;
    snapshot.running = clockRuns(phase);
    snapshot.finished = category >= records::kCategoryCount;
    if (!records::isCategory(category))
        return snapshot;
    snapshot.categoryName = records::categoryNames().at(category);
    snapshot.lessonCount = records.lessonCount(category);
    if (const std::optional<records::LessonMinutes> selected =
            records.lesson(category, selectedLesson)) {
        snapshot.lesson = selectedLesson;
        snapshot.studied = selected->studied;
        snapshot.target = selected->target();
    }
    for (int i = 0; i < snapshot.lessonCount; ++i)
        snapshot.lessonsDone += records.lesson(category, i)->done() ? 1 : 0;
    for (int later = category; later < records::kCategoryCount; ++later)
        snapshot.minutesLeft += records.minutesStillNeeded(later);
    return snapshot;
}

} // namespace lumora::study
