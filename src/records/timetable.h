#pragma once

// The lesson timetable: the required minutes of every lesson (constants) and the studied minutes
// of every lesson (records kept in the state file), both written as "lesson.minutes" pairs joined
// by ".". Only a pair's position gives its lesson; lesson numbers are never read. Everything past
// reading and writing a record works on whole minutes.

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace lumora::records {

inline constexpr int kCategoryCount = 4;

// The four category names, in the order that gives the category numbers 0 to 3.
QStringList categoryNames();
bool isCategory(int categoryIndex);

// Required minutes of every lesson of each category, as written in the timetable.
const std::array<QString, kCategoryCount>& requiredMinutesTables();
// The record a category with no record of its own starts from when a minute is credited.
const std::array<QString, kCategoryCount>& defaultStudiedRecords();

// The required minutes of each lesson of a table: its odd fields; an odd trailing field and a
// field that is not a whole number count as 0.
QList<int> requiredMinutes(const QString& table);

// One lesson's minutes, and the one rule for when it is done: a lesson is done one minute past
// its requirement.
struct LessonMinutes
{
    int required = 0;
    int studied = 0;

    int target() const { return required + 1; }
    bool done() const { return studied >= target(); }
    int stillNeeded() const { return studied < target() ? target() - studied : 0; }
};

// A studied-minutes record as one line of the state file holds it, read once into whole minutes.
// Writing it back changes only the minutes that were set: lesson numbers, fields past the
// timetable's lessons and anything else the line holds stay as they were.
class StudiedRecord
{
public:
    StudiedRecord() = default;
    explicit StudiedRecord(const QString& text);

    // The lesson's whole minutes; 0 where the record does not reach it or holds no whole number
    // (a damaged field must not stall its lesson for ever).
    int minutes(int lesson) const;
    // Sets the lesson's minutes, extending the record with "n.0" pairs up to it when it is short.
    void setMinutes(int lesson, int minutes);
    // The line to write.
    QString text() const { return m_fields.join(QLatin1Char('.')); }
    bool isEmpty() const { return m_fields.isEmpty(); }

private:
    QStringList m_fields;
};

// A whole number of minutes as records hold it: one to nine decimal digits.
bool isWholeMinutes(const QString& text);

// "第 3 课": a lesson as the learner reads it, from its position (0 for the first).
QString lessonName(int lesson);

// "3 小时 5 分" style rendering of a number of minutes, as the learner reads durations.
QString formatDuration(int minutes);

} // namespace lumora::records
