#include "site_state.h"

#include "catalogue.h"
#include "text_codec.h"

#include <algorithm>
#include <chrono>

namespace lumora::site {

namespace {

// Bounds that keep a long demo or a misbehaving client from growing memory without limit.
constexpr std::size_t kMaxEvents = 50000;
constexpr std::size_t kMaxSessions = 2000;
constexpr std::size_t kMaxPlayers = 2000;

std::string lessonKey(int category, int lesson)
{
    return std::to_string(category) + "-" + std::to_string(lesson);
}

} // namespace

JsonFields& JsonFields::addString(std::string_view key, std::string_view value)
{
    return addRaw(key, jsonString(sanitizeUtf8(value)));
}

JsonFields& JsonFields::addInt(std::string_view key, std::int64_t value)
{
    return addRaw(key, std::to_string(value));
}

JsonFields& JsonFields::addBool(std::string_view key, bool value)
{
    return addRaw(key, value ? "true" : "false");
}

JsonFields& JsonFields::addRaw(std::string_view key, std::string_view json)
{
    addKey(key);
    m_text += json;
    return *this;
}

void JsonFields::addKey(std::string_view key)
{
    if (!m_text.empty()) {
        m_text += ',';
    }
    m_text += jsonString(key);
    m_text += ':';
}

SiteState::SiteState(std::map<std::string, std::string> users, Clock clock)
    : m_users(std::move(users)), m_clock(clock ? std::move(clock) : Clock([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      })),
      m_startMs(m_clock()), m_random(std::random_device{}())
{
}

std::int64_t SiteState::nowMs() const
{
    return m_clock();
}

bool SiteState::checkPassword(const std::string& user, const std::string& password) const
{
    const auto it = m_users.find(user);
    return it != m_users.end() && it->second == password;
}

bool SiteState::hasUser(const std::string& user) const
{
    return m_users.count(user) != 0;
}

std::string SiteState::randomHex(std::size_t bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    while (out.size() < bytes * 2) {
        std::uint64_t value = m_random();
        for (int i = 0; i < 16 && out.size() < bytes * 2; ++i) {
            out += kHex[value & 0xF];
            value >>= 4;
        }
    }
    return out;
}

std::string SiteState::createSession(const std::string& user)
{
    std::lock_guard lock(m_mutex);
    std::string id = randomHex(16);
    m_sessions[id] = SessionInfo{user, -1};
    m_sessionOrder.push_back(id);
    while (m_sessionOrder.size() > kMaxSessions) {
        m_sessions.erase(m_sessionOrder.front());
        m_sessionOrder.pop_front();
    }
    return id;
}

std::optional<SessionInfo> SiteState::session(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SiteState::endSession(const std::string& id)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) {
        return;
    }
    recordLocked("logout", it->second.user, JsonFields());
    m_sessions.erase(it);
    m_sessionOrder.erase(std::remove(m_sessionOrder.begin(), m_sessionOrder.end(), id),
                         m_sessionOrder.end());
}

void SiteState::selectCategory(const std::string& sessionId, int category)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(sessionId);
    if (it == m_sessions.end()) {
        return;
    }
    it->second.category = category;
    recordLocked("category", it->second.user,
                 JsonFields()
                     .addInt("category", category)
                     .addString("name", catalogue()[static_cast<std::size_t>(category)].name));
}

std::string SiteState::openPlayer(const std::string& user, int category, int lesson)
{
    std::lock_guard lock(m_mutex);
    if (m_players.size() >= kMaxPlayers) {
        const auto oldest =
            std::min_element(m_players.begin(), m_players.end(), [](const auto& a, const auto& b) {
                return a.second.lastSeenMs < b.second.lastSeenMs;
            });
        m_players.erase(oldest);
    }
    std::string id = randomHex(8);
    const std::int64_t now = nowMs();
    m_players[id] = Player{user, category, lesson, now, now, false};
    recordLocked("player-open", user,
                 JsonFields()
                     .addInt("category", category)
                     .addInt("lesson", lesson)
                     .addString("title", lessonTitle(category, lesson))
                     .addString("player", id));
    return id;
}

SiteState::Beat SiteState::heartbeat(const std::string& user, const std::string& playerId,
                                     int category, int lesson)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    if (it == m_players.end() || it->second.user != user || it->second.category != category ||
        it->second.lesson != lesson) {
        return Beat{BeatStatus::Unknown, 0, 0};
    }
    Player& player = it->second;
    const std::string key = lessonKey(category, lesson);
    if (player.ended) {
        const auto userIt = m_studyMs.find(user);
        std::int64_t total = 0;
        if (userIt != m_studyMs.end() && userIt->second.count(key) != 0) {
            total = userIt->second.at(key);
        }
        return Beat{BeatStatus::Ended, 0, total / 1000};
    }
    const std::int64_t now = nowMs();
    const std::int64_t credited = std::max<std::int64_t>(0, now - player.lastSeenMs);
    player.lastSeenMs = now;
    std::int64_t& total = m_studyMs[user][key];
    total += credited;
    recordLocked("heartbeat", user,
                 JsonFields()
                     .addInt("category", category)
                     .addInt("lesson", lesson)
                     .addString("player", playerId)
                     .addInt("creditedMs", credited)
                     .addInt("lessonSeconds", total / 1000));
    return Beat{BeatStatus::Counted, credited, total / 1000};
}

bool SiteState::closePlayer(const std::string& user, const std::string& playerId)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    if (it == m_players.end() || it->second.user != user) {
        return false;
    }
    recordLocked("player-close", user,
                 JsonFields()
                     .addInt("category", it->second.category)
                     .addInt("lesson", it->second.lesson)
                     .addString("player", playerId));
    m_players.erase(it);
    return true;
}

SiteState::Exit SiteState::exitCourse(const std::string& user)
{
    std::lock_guard lock(m_mutex);
    Exit exit;
    std::int64_t latestOpen = -1;
    for (auto& [id, player] : m_players) {
        if (player.user != user || player.ended) {
            continue;
        }
        player.ended = true;
        ++exit.endedPlayers;
        if (player.openedMs >= latestOpen) {
            latestOpen = player.openedMs;
            exit.category = player.category;
            exit.lesson = player.lesson;
        }
    }
    recordLocked("exit", user,
                 JsonFields()
                     .addInt("category", exit.category)
                     .addInt("lesson", exit.lesson)
                     .addInt("endedPlayers", exit.endedPlayers));
    return exit;
}

void SiteState::record(std::string_view kind, const std::string& user, const JsonFields& fields)
{
    std::lock_guard lock(m_mutex);
    recordLocked(kind, user, fields);
}

void SiteState::recordLocked(std::string_view kind, const std::string& user,
                             const JsonFields& fields)
{
    RecordedEvent event;
    event.seq = m_nextSeq++;
    event.kind = std::string(kind);
    event.user = sanitizeUtf8(user);
    JsonFields head;
    head.addInt("seq", event.seq)
        .addInt("ms", nowMs() - m_startMs)
        .addString("kind", kind)
        .addString("user", event.user);
    event.json = "{" + head.text() + (fields.text().empty() ? "" : ",") + fields.text() + "}";
    m_events.push_back(std::move(event));
    while (m_events.size() > kMaxEvents) {
        m_events.pop_front();
    }
}

std::string SiteState::eventsJson() const
{
    std::lock_guard lock(m_mutex);
    std::string out = "{\"events\":[";
    bool first = true;
    for (const auto& event : m_events) {
        if (!first) {
            out += ',';
        }
        first = false;
        out += event.json;
    }
    out += "]";
    for (const bool seconds : {true, false}) {
        out += seconds ? ",\"studySeconds\":{" : ",\"studyMilliseconds\":{";
        bool firstUser = true;
        for (const auto& [user, lessons] : m_studyMs) {
            out += firstUser ? "" : ",";
            firstUser = false;
            JsonFields perLesson;
            for (const auto& [key, ms] : lessons) {
                perLesson.addInt(key, seconds ? ms / 1000 : ms);
            }
            out += jsonString(sanitizeUtf8(user)) + ":{" + perLesson.text() + "}";
        }
        out += "}";
    }
    out += "}";
    return out;
}

std::vector<RecordedEvent> SiteState::events() const
{
    std::lock_guard lock(m_mutex);
    return {m_events.begin(), m_events.end()};
}

std::map<std::string, std::map<std::string, std::int64_t>> SiteState::studyMilliseconds() const
{
    std::lock_guard lock(m_mutex);
    return m_studyMs;
}

void SiteState::reset()
{
    std::lock_guard lock(m_mutex);
    m_events.clear();
    m_nextSeq = 1;
    m_studyMs.clear();
    // Open players start counting afresh, so no time from before the reset is credited.
    const std::int64_t now = nowMs();
    for (auto& [id, player] : m_players) {
        player.lastSeenMs = now;
    }
}

} // namespace lumora::site
