#pragma once

#include "watched_time.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace lumora::site {

struct SessionInfo
{
    QString user;
    int category = -1; // selected category, -1 before the first selection
    qint64 loginMs = 0;
};

struct RecordedEvent
{
    qint64 seq = 0;
    QString kind;
    QString user;
    QByteArray json; // the whole event object, compact
};

// Everything the site remembers: accounts, sessions, open players, study time, the fault
// modes and the event record. Every member is safe to call from any thread.
//
// Study time rule: a player instance is created when its page is served. Each heartbeat of
// that instance with a valid session credits the time since the previous heartbeat (or since
// the page was served, for the first one) to its user and lesson. Heartbeats of an instance
// ended by the exit button, of an unknown instance, or without a valid session credit nothing,
// and neither does the time until the next heartbeat of the instance after one without a
// session, or after restartCounting() (the site was down).
//
// A heartbeat taken while the player's pre-roll plays (a clip before the lesson) credits
// nothing. Watched time rule: of that interval, a heartbeat credits what WatchedTime counts.
class SiteState
{
public:
    using Clock = std::function<qint64()>; // monotonic milliseconds

    SiteState(std::map<QString, QString> users, Clock clock);

    qint64 nowMs() const; // the site clock
    bool checkPassword(const QString& user, const QString& password) const;

    QString createSession(const QString& user);
    // The session, or nullopt when unknown or ended. A session past its lifetime ends here
    // and is recorded as "session-expired".
    std::optional<SessionInfo> session(const QString& id);
    // Ends the session (recorded as "logout"); unknown ids are ignored.
    void endSession(const QString& id);
    // Ends every open session now (recorded as "sessions-ended"); returns how many.
    int endAllSessions();
    // Selects a category for the session and records a "category" event.
    void selectCategory(const QString& sessionId, int category);

    // Sessions end `ms` after their login; 0 or less: only on logout.
    void setSessionLifetimeMs(qint64 ms);
    // Each player load fails with probability `fraction` (0..1), drawn from a generator
    // seeded with `seed`, so a run with the same seed fails the same loads.
    void setPlayerFailureRate(double fraction, std::uint64_t seed);
    // The next `count` player loads fail, before any drawn at random.
    void failNextPlayerLoads(int count);
    // Likewise for player pages served to hang (loads that fail are not drawn for this).
    void setPlayerHangRate(double fraction, std::uint64_t seed);
    void hangNextPlayers(int count);

    struct OpenedPlayer
    {
        QString id;
        bool hangs = false; // its page is to stop answering shortly after load
    };
    // Creates a player instance, records "player-open" (then "player-hung" when its page is to
    // hang) and returns it; when the load is to fail, records "player-failed" instead and
    // returns nullopt.
    std::optional<OpenedPlayer> openPlayer(const QString& user, int category, int lesson);

    enum class BeatStatus
    {
        Counted,
        Ended,
        Unknown
    };
    struct Beat
    {
        BeatStatus status = BeatStatus::Unknown;
        qint64 creditedMs = 0;
        qint64 lessonSeconds = 0; // the user's total for the lesson afterwards
        qint64 watchedMs = 0;     // the part of creditedMs the video played
    };
    // `seen` is what the player reported; a counted heartbeat is recorded with it.
    Beat heartbeat(const QString& user, const QString& playerId, int category, int lesson,
                   const QJsonObject& seen);
    // Records a heartbeat that came without a valid session; it credits nothing.
    void heartbeatWithoutSession(const QString& playerId, int category, int lesson,
                                 const QJsonObject& seen);
    // Open players count from now on: the time since their last heartbeat is never credited.
    void restartCounting();
    // The site clock when a heartbeat of that user and lesson was last counted, or -1.
    qint64 lastCountedMs(const QString& user, int category, int lesson) const;

    enum class PlayerStatus
    {
        Open,
        Ended,   // by the exit button
        Unknown, // not an instance of that user and lesson
    };
    PlayerStatus playerStatus(const QString& user, const QString& playerId, int category,
                              int lesson) const;

    // Records "player-close" for a known instance of `user`; returns whether it was known.
    bool closePlayer(const QString& user, const QString& playerId);

    struct Exit
    {
        int category = -1; // lesson of the most recently opened active player, -1 if none
        int lesson = -1;
        int endedPlayers = 0;
    };
    // Ends every active player of `user` and records "exit".
    Exit exitCourse(const QString& user);

    void record(const QString& kind, const QString& user, const QJsonObject& fields = {});

    // The record as GET /_site/events answers it.
    QByteArray eventsJson() const;
    std::vector<RecordedEvent> events() const;
    // user -> "category-lesson" -> milliseconds
    std::map<QString, std::map<QString, qint64>> studyMilliseconds() const;
    // The totals of one user: (category, lesson) -> milliseconds of study, or of watched time.
    std::map<std::pair<int, int>, qint64> lessonMilliseconds(const QString& user) const;
    std::map<std::pair<int, int>, qint64> lessonWatchedMilliseconds(const QString& user) const;
    // Forgets events and study time; sessions and open players stay.
    void reset();

private:
    struct Player
    {
        QString user;
        int category = 0;
        int lesson = 0;
        qint64 openedMs = 0;
        qint64 lastSeenMs = 0;
        WatchedTime watched{};
        bool ended = false;
    };
    using Totals = std::map<QString, std::map<QString, qint64>>; // user -> lesson key -> ms

    // Which player loads a fault hits: the next N, then a seeded fraction of the others.
    struct LoadFault
    {
        int next = 0;
        double rate = 0;
        std::mt19937_64 random;
        // Whether it hits this load, and why: "next" or "rate".
        bool hits(QString& cause);
    };

    void recordLocked(const QString& kind, const QString& user, QJsonObject fields);
    qint64 totalLocked(const QString& user, const QString& key) const;
    void restartCountingLocked();
    std::map<std::pair<int, int>, qint64> lessonTotalsLocked(const Totals& totals,
                                                             const QString& user) const;
    QString randomHex(int bytes);

    const std::map<QString, QString> m_users;
    const Clock m_clock;
    const qint64 m_startMs;

    mutable std::mutex m_mutex;
    std::mt19937_64 m_random;
    std::map<QString, SessionInfo> m_sessions;
    std::deque<QString> m_sessionOrder;
    std::map<QString, Player> m_players;
    // The events' texts in one buffer, indexed: a night's tens of thousands of small blocks
    // would stay in the allocator's arenas after a reset, inside a measured program's memory
    // when this site shares its process.
    struct EventPlace
    {
        qint64 seq = 0;
        QString kind;
        QString user;
        qsizetype offset = 0;
        qsizetype length = 0;
    };
    std::vector<EventPlace> m_events;
    QByteArray m_eventTexts;
    qint64 m_nextSeq = 1;
    Totals m_studyMs;
    Totals m_watchedMs;
    std::map<QString, std::map<QString, qint64>> m_lastCountedMs;

    qint64 m_sessionLifetimeMs = 0;
    LoadFault m_loadFailure;
    LoadFault m_playerHang;
};

} // namespace lumora::site
