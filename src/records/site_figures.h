#pragma once

// What the training site's own study record said of each lesson: the seconds it counted, and
// when it was read. The learner is judged by the site's record, so where the site keeps one its
// figure is the truth and the program's minutes are a guess checked against it. The figures are
// kept in a file of their own in the data folder (site-record.txt), beside the state file, whose
// minutes they never change: files written by earlier versions and the learner rely on those.

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

namespace lumora::records {

// One lesson's figure in the site's record.
struct SiteFigure
{
    int seconds = 0;
    QDateTime readAt;
    int minutes() const { return seconds / 60; }
    friend bool operator==(const SiteFigure&, const SiteFigure&) = default;
};

// Whether the site has a record page for the program to read.
enum class RecordPlace
{
    Unknown, // not looked for yet
    Found,   // at address()
    None,    // the site has none that the program can find: its minutes cannot be checked
};

class SiteFigures
{
public:
    // Kept in `path`; with none, nothing is kept between runs.
    explicit SiteFigures(QString path = {});

    // The lesson's last figure; nothing when the site's record never gave one.
    std::optional<SiteFigure> lesson(int category, int lesson) const;
    void set(int category, int lesson, SiteFigure figure);
    // The figures read last, and when (invalid: never).
    QDateTime lastRead() const { return m_lastRead; }
    void setLastRead(const QDateTime& at) { m_lastRead = at; }
    int lessonCount() const { return static_cast<int>(m_figures.size()); }
    // Forgets every figure and where the record is (another site).
    void clear() { *this = SiteFigures(m_path); }

    RecordPlace place() const { return m_place; }
    const QUrl& address() const { return m_address; }
    void setPlace(RecordPlace place, const QUrl& address = {});

    // Reads the file: a missing one is no figures; a line that cannot be read is passed over
    // (logged). Whether a file was read.
    bool load();
    // Writes the file whole; false (logged) when it could not be written.
    bool save() const;

    static QString pathIn(const QString& dataFolder);
    const QString& path() const { return m_path; }

private:
    QString m_path;
    QMap<std::pair<int, int>, SiteFigure> m_figures;
    QDateTime m_lastRead;
    RecordPlace m_place = RecordPlace::Unknown;
    QUrl m_address;
};

} // namespace lumora::records
