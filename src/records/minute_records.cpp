#include "records/minute_records.h"

namespace lumora::records {

StudySummary summarizeStudy(const std::array<QString, kCategoryCount>& tables,
                            const std::array<QString, kCategoryCount>& records)
{
    StudySummary summary;
    const QStringList names = categoryNames();
    for (int category = 0; category < kCategoryCount; ++category) {
        CategorySummary& figures = summary.at(category);
        figures.name = names.at(category);
        const LessonMinutes lessons = loadLessonMinutes(tables.at(category), records.at(category));
        figures.lessonCount = static_cast<int>(lessons.required.size());
        for (qsizetype i = 0; i < lessons.required.size(); ++i) {
            const long long required = wholePart(lessons.required.at(i)).value_or(0);
            const long long studied = wholePart(lessons.studied.at(i)).value_or(0);
            figures.minutesRequired += required;
            figures.minutesStudied += studied;
            if (studied > required)
                ++figures.lessonsDone;
        }
    }
    return summary;
}

bool MinuteRecords::load(int category)
{
    if (!isCategory(category))
        return false;
    LessonMinutes lessons = loadLessonMinutes(m_tables.at(category), m_records.at(category));
    m_required = std::move(lessons.required);
    m_studied = std::move(lessons.studied);
    return true;
}

std::optional<long long> MinuteRecords::credit(int lesson)
{
    if (lesson < 0 || lesson >= m_studied.size())
        return std::nullopt;
    const std::optional<long long> studied = wholePart(m_studied.at(lesson));
    if (!studied)
        return std::nullopt;
    m_studied[lesson] = QString::number(*studied + 1);
    return *studied + 1;
}

void MinuteRecords::store(int category)
{
    const QString record = buildStudiedRecord(m_studied);
    const auto& defaults = defaultStudiedRecords();
    for (int c = 0; c < kCategoryCount; ++c) {
        if (m_records.at(c).isEmpty())
            m_records.at(c) = defaults.at(c);
    }
    if (isCategory(category))
        m_records.at(category) = record;
}

} // namespace lumora::records
