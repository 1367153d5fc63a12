#pragma once

// The timetable and minute records: the required minutes of every lesson (constant tables),
// the studied minutes of every lesson (one record per category, kept in the state file), and
// the minutes of the current category's lessons, loaded as two plain lists that the study run
// compares and credits.

#include "records/timetable.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace lumora::records {

struct CategorySummary
{
    QString name;
    int lessonsDone = 0; // lessons whose studied minutes exceed their required minutes
    int lessonCount = 0;
    long long minutesStudied = 0;
    long long minutesRequired = 0;
};

using StudySummary = std::array<CategorySummary, kCategoryCount>;

// The summary of the four categories from their required-minutes tables and studied records.
StudySummary summarizeStudy(const std::array<QString, kCategoryCount>& tables,
                            const std::array<QString, kCategoryCount>& records);

class MinuteRecords
{
public:
    // Puts the constant tables in place (done at every start).
    void useRequiredTables() { m_tables = requiredMinutesTables(); }
    const std::array<QString, kCategoryCount>& requiredTables() const { return m_tables; }

    const std::array<QString, kCategoryCount>& studiedRecords() const { return m_records; }
    void setStudiedRecord(int category, const QString& record) { m_records.at(category) = record; }

    // Loads the required and studied minutes of `category`'s lessons. False, with the lists
    // left as they were, when there is no such category (the run went past the last one).
    bool load(int category);
    // The loaded lists: entry i belongs to lesson i + 1 of the loaded category.
    const QStringList& required() const { return m_required; }
    const QStringList& studied() const { return m_studied; }

    // Adds one minute to the loaded lesson at `lesson`: its new studied minutes, or nothing
    // when the lesson is not in the list or its minutes are not a number.
    std::optional<long long> credit(int lesson);

    // Writes the loaded studied minutes back into `category`'s record (no record changes for
    // a category past the last), after putting the default record into every empty one.
    void store(int category);

    StudySummary summary() const { return summarizeStudy(m_tables, m_records); }

private:
    std::array<QString, kCategoryCount> m_tables;
    std::array<QString, kCategoryCount> m_records;
    QStringList m_required;
    QStringList m_studied;
};

} // namespace lumora::records
