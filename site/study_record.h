#pragma once

#include "watched_time.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace lumora::site {

// The site's own study record, counted as training sites count it: from the players' progress
// reports alone. A report credits what WatchedTime counts of the time since the player's
// previous report (since its page was served, for the first one), so the time after a player's
// last report is lost when its page goes away. With save-on-exit-only, a visit's credits are
// held per player and reach the record only with the last report its 退出学习 button sends. A
// daily cap stops the counting for the rest of a user's site day (days of a set length from
// the start, site clock). Every change is kept, so the record can be shown as it stood a while
// ago. Every member is safe to call from any thread.
class StudyRecord
{
public:
    using Clock = std::function<qint64()>; // the site clock
    using Totals = std::map<std::pair<int, int>, qint64>;

    explicit StudyRecord(Clock clock);

    void setSaveOnExitOnly(bool on);
    void setDailyCapMs(qint64 ms); // 0 or less: no cap
    void setDayMs(qint64 ms);      // at least 1

    // A player page was served: the visit counts from now.
    void open(const QString& player, const QString& user, int category, int lesson);
    // The page went away: what its visit held is lost.
    void close(const QString& player);

    enum class Outcome
    {
        Counted,
        Capped,  // the day's cap was reached: nothing counted
        Ended,   // the visit ended with its 退出学习 button
        Unknown, // no visit of that player, user and lesson
    };
    struct Progress
    {
        Outcome outcome = Outcome::Unknown;
        qint64 creditedMs = 0; // what this report moved into the record
        qint64 heldMs = 0;     // what the visit holds afterwards
        qint64 recordMs = 0;   // the lesson's record afterwards
    };
    // A progress report of `player` with what it sees; `exit`: the last one, sent by its
    // 退出学习 button, which moves what the visit holds into the record and ends the visit.
    Progress progress(const QString& player, const QString& user, int category, int lesson,
                      const QJsonObject& seen, bool exit);
    // A report refused for want of a session: the visit counts from now on. Returns the
    // player's user (empty for an unknown player).
    QString refused(const QString& player, const QJsonObject& seen);
    // Every visit counts from now on (the site was down meanwhile).
    void restartCounting();
    // Forgets the record and what visits hold; they count from now on.
    void reset();

    struct Entry
    {
        int category = 0;
        int lesson = 0;
        qint64 ms = 0;
        qint64 changedMs = 0; // when it last changed (site clock)
    };
    // The record of `user` as it stood at `atMs` (site clock): the lessons with time, in
    // category then lesson order.
    std::vector<Entry> entries(const QString& user, qint64 atMs) const;
    Totals totals(const QString& user) const; // now
    qint64 startMs() const { return m_startMs; }

private:
    struct Visit
    {
        QString user;
        int category = 0;
        int lesson = 0;
        qint64 lastReportMs = 0;
        WatchedTime watched{};
        qint64 heldMs = 0;
        bool exited = false;
    };
    struct Day
    {
        qint64 index = -1;
        qint64 countedMs = 0;
    };
    using History = std::vector<std::pair<qint64, qint64>>; // (when, total) per change

    // Moves `ms` into the lesson's record, as much as the cap leaves; returns how much.
    qint64 creditLocked(const Visit& visit, qint64 ms, qint64 now);
    qint64 recordLocked(const Visit& visit) const;

    const Clock m_clock;
    const qint64 m_startMs;
    mutable std::mutex m_mutex;
    bool m_saveOnExitOnly = false;
    qint64 m_capMs = 0;
    qint64 m_dayMs = 24 * 3600 * 1000LL;
    std::map<QString, Visit> m_visits;
    std::map<QString, std::map<std::pair<int, int>, History>> m_history;
    std::map<QString, Day> m_days;
};

} // namespace lumora::site
