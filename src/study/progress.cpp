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
        return s.finished ? ProgressTexts::tr("学习已结束") : ProgressTexts::tr("未在学习");
    const QString state = s.running ? ProgressTexts::tr("正在学习") : ProgressTexts::tr("未在学习");
    if (s.lesson < 0)
        return ProgressTexts::tr("%1：%2").arg(state, s.categoryName);
    return ProgressTexts::tr("%1：%2 %3").arg(state, s.categoryName, records::lessonName(s.lesson));
}

StudySnapshot makeSnapshot(bool running, int category, int selectedLesson,
                           const records::MinuteRecords& records)
{
    StudySnapshot snapshot;
    snapshot.running = running;
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
