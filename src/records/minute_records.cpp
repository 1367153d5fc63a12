#include "records/minute_records.h"

namespace lumora::records {

MinuteRecords::MinuteRecords()
{
    for (int category = 0; category < kCategoryCount; ++category)
        m_required.at(category) = requiredMinutes(requiredMinutesTables().at(category));
}

int MinuteRecords::lessonCount(int category) const
{
    return isCategory(category) ? static_cast<int>(m_required.at(category).size()) : 0;
}

std::optional<LessonMinutes> MinuteRecords::lesson(int category, int lesson) const
{
    if (lesson < 0 || lesson >= lessonCount(category))
        return std::nullopt;
    return LessonMinutes{m_required.at(category).at(lesson),
                         m_studied.at(category).minutes(lesson)};
}

std::optional<int> MinuteRecords::credit(int category, int lesson)
{
    const std::optional<LessonMinutes> minutes = this->lesson(category, lesson);
    if (!minutes)
        return std::nullopt;
    StudiedRecord& record = m_studied.at(category);
    if (record.isEmpty())
        record = StudiedRecord(defaultStudiedRecords().at(category));
    record.setMinutes(lesson, minutes->studied + 1);
    return minutes->studied + 1;
}

int MinuteRecords::minutesStillNeeded(int category) const
{
    int minutes = 0;
    for (int i = 0; i < lessonCount(category); ++i)
        minutes += lesson(category, i)->stillNeeded();
    return minutes;
}

StudySummary MinuteRecords::summary() const
{
    StudySummary summary;
    const QStringList names = categoryNames();
    for (int category = 0; category < kCategoryCount; ++category) {
        CategorySummary& figures = summary.at(category);
        figures.name = names.at(category);
        figures.lessonCount = lessonCount(category);
        for (int i = 0; i < figures.lessonCount; ++i) {
            const LessonMinutes minutes = *lesson(category, i);
            figures.minutesRequired += minutes.required;
            figures.minutesStudied += minutes.studied;
            if (minutes.done())
                ++figures.lessonsDone;
        }
    }
    return summary;
}

} // namespace lumora::records
