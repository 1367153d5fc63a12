#pragma once

// The lesson timetable: required minutes per lesson (constants) and studied minutes per lesson
// (records kept in the state file), both as strings of "lesson.minutes" pairs joined by ".".
// Only a pair's position gives its lesson; lesson numbers are never read.

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace lumora::records {

inline constexpr int kCategoryCount = 4;

// The four category names, in the order that gives the category numbers 0 to 3.
QStringList categoryNames();

// Required minutes of every lesson of each category.
const std::array<QString, kCategoryCount>& requiredMinutesTables();
// The record put into an empty studied record when progress is saved.
const std::array<QString, kCategoryCount>& defaultStudiedRecords();

bool isCategory(int categoryIndex);

// Splits at every "."; an empty string gives no fields at all.
QStringList splitFields(const QString& text);

// Minutes of each lesson, read from the odd positions; an odd trailing field is ignored.
QStringList minutesOfLessons(const QString& table);

struct LessonMinutes
{
    QStringList required; // one entry per lesson of the table
    QStringList studied;  // same length as `required`
};

// Pairs the table's required minutes with the record's studied minutes, lesson by lesson.
// An empty record means nothing studied. Fields past the table's lessons are ignored; a lesson
// the record does not reach, or whose field is not a whole number, counts as 0 minutes.
LessonMinutes loadLessonMinutes(const QString& table, const QString& record);

// "1.<m1>.2.<m2>. ... n.<mn>." from the studied minutes in lesson order (empty for none).
QString buildStudiedRecord(const QStringList& studied);

// A whole number of minutes: decimal digits only.
bool isWholeMinutes(const QString& text);

// "3 小时 5 分" style rendering of a number of minutes, as the learner reads durations.
QString formatDuration(int minutes);

// The whole part of a number written as text (the largest whole number not above it);
// nothing when the text is not a number.
std::optional<long long> wholePart(const QString& text);

} // namespace lumora::records
