#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumora::site {

// Builds the members of a JSON object, `"key":value,...`, without the braces.
class JsonFields
{
public:
    JsonFields& addString(std::string_view key, std::string_view value);
    JsonFields& addInt(std::string_view key, std::int64_t value);
    JsonFields& addBool(std::string_view key, bool value);
    JsonFields& addRaw(std::string_view key, std::string_view json);
    const std::string& text() const { return m_text; }

private:
    void addKey(std::string_view key);
    std::string m_text;
};

struct SessionInfo
{
    std::string user;
    int category = -1; // selected category, -1 before the first selection
};

struct RecordedEvent
{
    std::int64_t seq = 0;
    std::string kind;
    std::string user;
    std::string json; // the whole event object
};

// Everything the site remembers: accounts, sessions, open players, study time and the event
// record. All members are safe to call from the server's worker threads.
//
// Study time rule: a player instance is created when its page is served. Each heartbeat of
// that instance credits the wall time since the previous heartbeat (or since the page was
// served, for the first one) to its user and lesson. Heartbeats of an instance ended by the
// exit button, or of an unknown instance, credit nothing.
class SiteState
{
public:
    using Clock = std::function<std::int64_t()>; // monotonic milliseconds

    SiteState(std::map<std::string, std::string> users, Clock clock);

    bool checkPassword(const std::string& user, const std::string& password) const;
    bool hasUser(const std::string& user) const;

    std::string createSession(const std::string& user);
    std::optional<SessionInfo> session(const std::string& id) const;
    void endSession(const std::string& id);
    // Selects a category for the session and records a "category" event.
    void selectCategory(const std::string& sessionId, int category);

    // Creates a player instance, records "player-open" and returns the instance id.
    std::string openPlayer(const std::string& user, int category, int lesson);

    enum class BeatStatus
    {
        Counted,
        Ended,
        Unknown
    };
    struct Beat
    {
        BeatStatus status = BeatStatus::Unknown;
        std::int64_t creditedMs = 0;
        std::int64_t lessonSeconds = 0; // the user's total for the lesson afterwards
    };
    Beat heartbeat(const std::string& user, const std::string& playerId, int category, int lesson);

    // Records "player-close" for a known instance of `user`; returns whether it was known.
    bool closePlayer(const std::string& user, const std::string& playerId);

    struct Exit
    {
        int category = -1; // lesson of the most recently opened active player, -1 if none
        int lesson = -1;
        int endedPlayers = 0;
    };
    // Ends every active player of `user` and records "exit".
    Exit exitCourse(const std::string& user);

    void record(std::string_view kind, const std::string& user, const JsonFields& fields);

    std::string eventsJson() const;
    std::vector<RecordedEvent> events() const;
    // user -> "category-lesson" -> milliseconds
    std::map<std::string, std::map<std::string, std::int64_t>> studyMilliseconds() const;
    // Forgets events and study time; sessions and open players stay.
    void reset();

private:
    struct Player
    {
        std::string user;
        int category = 0;
        int lesson = 0;
        std::int64_t openedMs = 0;
        std::int64_t lastSeenMs = 0;
        bool ended = false;
    };

    void recordLocked(std::string_view kind, const std::string& user, const JsonFields& fields);
    std::string randomHex(std::size_t bytes);
    std::int64_t nowMs() const;

    const std::map<std::string, std::string> m_users;
    const Clock m_clock;
    const std::int64_t m_startMs;

    mutable std::mutex m_mutex;
    std::mt19937_64 m_random;
    std::map<std::string, SessionInfo> m_sessions;
    std::deque<std::string> m_sessionOrder;
    std::map<std::string, Player> m_players;
    std::deque<RecordedEvent> m_events;
    std::int64_t m_nextSeq = 1;
    std::map<std::string, std::map<std::string, std::int64_t>> m_studyMs;
};

} // namespace lumora::site
