#include "records/timetable.h"

#include <QCoreApplication>

#include <algorithm>

namespace lumora::records {

QStringList categoryNames()
{
    return {QStringLiteral("个体辅导"), QStringLiteral("团体训练"), QStringLiteral("基础理论"),
            QStringLiteral("学校教育")};
}

bool isCategory(int categoryIndex)
{
    return categoryIndex >= 0 && categoryIndex < kCategoryCount;
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

bool isWholeMinutes(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

namespace {

int wholeMinutesOf(const QString& field)
{
    return isWholeMinutes(field) ? field.toInt() : 0;
}

} // namespace

QList<int> requiredMinutes(const QString& table)
{
    const QStringList fields = table.isEmpty() ? QStringList() : table.split(QLatin1Char('.'));
    QList<int> minutes;
    for (qsizetype k = 1; k < fields.size(); k += 2)
        minutes.append(wholeMinutesOf(fields.at(k)));
    return minutes;
}

StudiedRecord::StudiedRecord(const QString& text)
    : m_fields(text.isEmpty() ? QStringList() : text.split(QLatin1Char('.')))
{
}

int StudiedRecord::minutes(int lesson) const
{
    const qsizetype field = 2 * qsizetype(lesson) + 1;
    return lesson >= 0 && field < m_fields.size() ? wholeMinutesOf(m_fields.at(field)) : 0;
}

void StudiedRecord::setMinutes(int lesson, int minutes)
{
    if (lesson < 0)
        return;
    const qsizetype field = 2 * qsizetype(lesson) + 1;
    // A record written with a closing "." ends in an empty field: it stays the last one.
    const bool closingDot =
        !m_fields.isEmpty() && m_fields.size() % 2 == 1 && m_fields.constLast().isEmpty();
    if (closingDot && field >= m_fields.size() - 1)
        m_fields.removeLast();
    while (m_fields.size() <= field) {
        if (m_fields.size() % 2 == 0)
            m_fields.append(QString::number(m_fields.size() / 2 + 1));
        else
            m_fields.append(QStringLiteral("0"));
    }
    m_fields[field] = QString::number(minutes);
    if (closingDot && m_fields.size() % 2 == 0)
        m_fields.append(QString());
}

QString lessonName(int lesson)
{
    return QStringLiteral("第 %1 课").arg(lesson + 1);
}

// Durations are only shown, never written to the run record, so they follow the learner's
// language; lesson names are part of the record's lines and stay as they are.
class DurationTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::records::DurationTexts)
};

QString formatDuration(int minutes)
{
    if (minutes < 60)
        return DurationTexts::tr("%1 分钟").arg(minutes);
    return DurationTexts::tr("%1 小时 %2 分").arg(minutes / 60).arg(minutes % 60);
}

} // namespace lumora::records
