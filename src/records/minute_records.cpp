#include "records/minute_records.h"

#include "platform/logging.h"

#include <algorithm>

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
    if (!isCategory(category) || lesson < 0)
        return std::nullopt;
    const QList<int>& required = m_required.at(category);
    if (lesson >= required.size()) {
        // Never left without a requirement (the run would stop moving); never one shorter than
        // any the category has.
        if (required.isEmpty())
            return std::nullopt;
        return LessonMinutes{*std::max_element(required.begin(), required.end()),
                             m_unlisted.at(category).value(lesson)};
    }
    return LessonMinutes{required.at(lesson), m_studied.at(category).minutes(lesson)};
}

std::optional<int> MinuteRecords::credit(int category, int lesson)
{
    const std::optional<LessonMinutes> minutes = this->lesson(category, lesson);
    if (!minutes)
        return std::nullopt;
    if (lesson >= lessonCount(category)) {
        if (minutes->studied == 0)
            qCWarning(lcState).nospace()
                << "lesson " << lesson + 1 << " of category " << category
                << " is not in the timetable: it is studied for " << minutes->required
                << " minutes, kept until the program ends";
        return m_unlisted.at(category)[lesson] = minutes->studied + 1;
    }
    // Minutes are saved with every category's record written out: an empty one (nothing
    // studied) is given its category's default record, which readers of the file expect.
    for (int c = 0; c < kCategoryCount; ++c) {
        if (m_studied.at(c).isEmpty())
            m_studied.at(c) = StudiedRecord(defaultStudiedRecords().at(c));
    }
    m_studied.at(category).setMinutes(lesson, minutes->studied + 1);
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
