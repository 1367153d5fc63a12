#include "records/timetable.h"

#include <cmath>

namespace lumora::records {

QStringList categoryNames()
{
    return {QStringLiteral("个体辅导"), QStringLiteral("团体训练"), QStringLiteral("基础理论"),
            QStringLiteral("学校教育")};
}

const std::array<QString, kCategoryCount>& requiredMinutesTables()
{
    static const std::array<QString, kCategoryCount> tables = {
        QStringLiteral("1.50.2.46.3.49.4.54.5.50.6.48.7.42.8.48.9.53.10.50.11.49.12.50.13.51."
                       "14.46.15.44.16.46.17.55.18.47.19.49.20.53.21.55"),
        QStringLiteral("1.38.2.25.3.21.4.28.5.14.6.27.7.17.8.25.9.21"),
        // The third pair carries lesson number 2; numbers are not read, so this is lesson 3.
        QStringLiteral("1.45.2.47.2.50.4.43.5.44.6.47.7.53"),
        QStringLiteral("1.44.2.54.3.57.4.47.5.51.6.55.7.58.8.49"),
    };
    return tables;
}

const std::array<QString, kCategoryCount>& defaultStudiedRecords()
{
    static const std::array<QString, kCategoryCount> records = {
        QStringLiteral("1.0.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0.10.0.11.0.12.0.13.0.14.0.15.0.16.0."
                       "17.0.18.0.19.0.20.0.21.0"),
        QStringLiteral("1.0.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0"),
        QStringLiteral("1.0.2.0.3.0.4.0.5.0.6.0.7.0"),
        QStringLiteral("1.0.2.0.3.0.4.0.5.0.6.0.7.0.8.0"),
    };
    return records;
}

bool isCategory(int categoryIndex)
{
    return categoryIndex >= 0 && categoryIndex < kCategoryCount;
}

QStringList splitFields(const QString& text)
{
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('.'));
}

QStringList minutesOfLessons(const QString& table)
{
    const QStringList fields = splitFields(table);
    QStringList minutes;
    for (qsizetype k = 1; k < fields.size(); k += 2)
        minutes.append(fields.at(k));
    return minutes;
}

bool isWholeMinutes(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

LessonMinutes loadLessonMinutes(const QString& table, const QString& record)
{
    LessonMinutes lessons;
    lessons.required = minutesOfLessons(table);
    const QStringList studied = minutesOfLessons(record);
    for (qsizetype i = 0; i < lessons.required.size(); ++i) {
        const QString field = i < studied.size() ? studied.at(i) : QString();
        // A damaged or missing field would stall its lesson forever; count it as nothing studied.
        lessons.studied.append(isWholeMinutes(field) ? QString::number(field.toInt())
                                                     : QStringLiteral("0"));
    }
    return lessons;
}

QString buildStudiedRecord(const QStringList& studied)
{
    QString record;
    for (qsizetype i = 0; i < studied.size(); ++i)
        record += QString::number(i + 1) + QLatin1Char('.') + studied.at(i) + QLatin1Char('.');
    return record;
}

QString formatDuration(int minutes)
{
    if (minutes < 60)
        return QStringLiteral("%1 分钟").arg(minutes);
    return QStringLiteral("%1 小时 %2 分").arg(minutes / 60).arg(minutes % 60);
}

std::optional<long long> wholePart(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e15)
        return std::nullopt;
    return static_cast<long long>(std::floor(value));
}

} // namespace lumora::records
