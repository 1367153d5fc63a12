#pragma once

// The minutes of every lesson: required (the constant timetable) and studied (one record per
// category, read from and written to the state file), as whole minutes by category and lesson.

#include "records/timetable.h"

#include <QMap>
#include <QString>
#include <array>
#include <optional>

namespace lumora::records {

struct CategorySummary
{
    QString name;
    int lessonsDone = 0;
    int lessonCount = 0;
    long long minutesStudied = 0;
    long long minutesRequired = 0;
};

using StudySummary = std::array<CategorySummary, kCategoryCount>;

class MinuteRecords
{
public:
    MinuteRecords();

    // How many lessons the timetable lists for `category` (0 for no such category).
    int lessonCount(int category) const;
    // The minutes of one lesson; nothing for no such category or position. A lesson the site
    // lists past the timetable's has the category's longest requirement, and its minutes are
    // kept for this program run only (the state file holds the timetable's lessons).
    std::optional<LessonMinutes> lesson(int category, int lesson) const;
    // Adds one minute to the lesson: its new studied minutes, or nothing for no such lesson.
    // Every empty record (of any category) gets its category's default record first.
    std::optional<int> credit(int category, int lesson);

    // Minutes still needed to finish every lesson of `category`.
    int minutesStillNeeded(int category) const;
    StudySummary summary() const;

    // The state file's record lines.
    QString recordText(int category) const { return m_studied.at(category).text(); }
    void setRecordText(int category, const QString& text)
    {
        m_studied.at(category) = StudiedRecord(text);
    }

private:
    std::array<QList<int>, kCategoryCount> m_required;
    std::array<StudiedRecord, kCategoryCount> m_studied;
    std::array<QMap<int, int>, kCategoryCount> m_unlisted; // studied minutes past the timetable
};

} // namespace lumora::records
