#include "site_state.h"

#include "catalogue.h"

#include <QJsonDocument>

#include <algorithm>
#include <chrono>

namespace lumora::site {

namespace {

// Bounds that keep a long demo or a misbehaving client from growing memory without limit.
constexpr std::size_t kMaxEvents = 50000;
constexpr std::size_t kMaxSessions = 2000;
constexpr std::size_t kMaxPlayers = 2000;

QString lessonKey(int category, int lesson)
{
    return QStringLiteral("%1-%2").arg(category).arg(lesson);
}

QJsonObject lessonFields(int category, int lesson)
{
    return {{QStringLiteral("category"), category}, {QStringLiteral("lesson"), lesson}};
}

QJsonObject heartbeatFields(QJsonObject seen, int category, int lesson, const QString& player,
                            bool session, qint64 creditedMs, qint64 lessonSeconds,
                            qint64 watchedMs = 0)
{
    seen.insert(QStringLiteral("watchedMs"), watchedMs);
    seen.insert(QStringLiteral("category"), category);
    seen.insert(QStringLiteral("lesson"), lesson);
    seen.insert(QStringLiteral("player"), player);
    seen.insert(QStringLiteral("session"), session);
    seen.insert(QStringLiteral("creditedMs"), creditedMs);
    seen.insert(QStringLiteral("lessonSeconds"), lessonSeconds);
    return seen;
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SiteState::SiteState(std::map<QString, QString> users, Clock clock)
    : m_users(std::move(users)), m_clock(clock ? std::move(clock) : Clock(steadyMs)),
      m_startMs(m_clock()), m_random(std::random_device{}())
{
}

qint64 SiteState::nowMs() const
{
    return m_clock();
}

bool SiteState::checkPassword(const QString& user, const QString& password) const
{
    const auto it = m_users.find(user);
    return it != m_users.end() && it->second == password;
}

QString SiteState::randomHex(int bytes)
{
    QString out;
    while (out.size() < bytes * 2) {
        out += QStringLiteral("%1").arg(m_random(), 16, 16, QLatin1Char('0')).toUpper();
    }
    return out.left(bytes * 2);
}

QString SiteState::createSession(const QString& user)
{
    std::lock_guard lock(m_mutex);
    QString id = randomHex(16);
    m_sessions[id] = SessionInfo{user, -1, nowMs()};
    m_sessionOrder.push_back(id);
    while (m_sessionOrder.size() > kMaxSessions) {
        m_sessions.erase(m_sessionOrder.front());
        m_sessionOrder.pop_front();
    }
    return id;
}

std::optional<SessionInfo> SiteState::session(const QString& id)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) {
        return std::nullopt;
    }
    if (m_sessionLifetimeMs > 0 && nowMs() - it->second.loginMs >= m_sessionLifetimeMs) {
        recordLocked(QStringLiteral("session-expired"), it->second.user, {});
        m_sessions.erase(it);
        std::erase(m_sessionOrder, id);
        return std::nullopt;
    }
    return it->second;
}

void SiteState::endSession(const QString& id)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) {
        return;
    }
    recordLocked(QStringLiteral("logout"), it->second.user, {});
    m_sessions.erase(it);
    std::erase(m_sessionOrder, id);
}

int SiteState::endAllSessions()
{
    std::lock_guard lock(m_mutex);
    const qint64 now = nowMs();
    const auto open = std::ranges::count_if(m_sessions, [&](const auto& entry) {
        return m_sessionLifetimeMs <= 0 || now - entry.second.loginMs < m_sessionLifetimeMs;
    });
    m_sessions.clear();
    m_sessionOrder.clear();
    recordLocked(QStringLiteral("sessions-ended"), {},
                 {{QStringLiteral("sessions"), qint64(open)}});
    return static_cast<int>(open);
}

void SiteState::selectCategory(const QString& sessionId, int category)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(sessionId);
    if (it == m_sessions.end()) {
        return;
    }
    it->second.category = category;
    recordLocked(
        QStringLiteral("category"), it->second.user,
        {{QStringLiteral("category"), category}, {QStringLiteral("name"), categoryName(category)}});
}

void SiteState::setSessionLifetimeMs(qint64 ms)
{
    std::lock_guard lock(m_mutex);
    m_sessionLifetimeMs = ms;
}

void SiteState::setPlayerFailureRate(double fraction, std::uint64_t seed)
{
    std::lock_guard lock(m_mutex);
    m_loadFailure.rate = std::clamp(fraction, 0.0, 1.0);
    m_loadFailure.random.seed(seed);
}

void SiteState::failNextPlayerLoads(int count)
{
    std::lock_guard lock(m_mutex);
    m_loadFailure.next = std::max(count, 0);
}

void SiteState::setPlayerHangRate(double fraction, std::uint64_t seed)
{
    std::lock_guard lock(m_mutex);
    m_playerHang.rate = std::clamp(fraction, 0.0, 1.0);
    m_playerHang.random.seed(seed);
}

void SiteState::hangNextPlayers(int count)
{
    std::lock_guard lock(m_mutex);
    m_playerHang.next = std::max(count, 0);
}

bool SiteState::LoadFault::hits(QString& cause)
{
    if (next > 0) {
        --next;
        cause = QStringLiteral("next");
        return true;
    }
    if (rate <= 0) {
        return false;
    }
    // 53 random bits as a fraction in [0, 1): the same on every standard library.
    const double draw = static_cast<double>(random() >> 11) * 0x1.0p-53;
    cause = QStringLiteral("rate");
    return draw < rate;
}

std::optional<SiteState::OpenedPlayer> SiteState::openPlayer(const QString& user, int category,
                                                             int lesson)
{
    std::lock_guard lock(m_mutex);
    QString cause;
    if (m_loadFailure.hits(cause)) {
        QJsonObject fields = lessonFields(category, lesson);
        fields.insert(QStringLiteral("cause"), cause);
        recordLocked(QStringLiteral("player-failed"), user, fields);
        return std::nullopt;
    }
    if (m_players.size() >= kMaxPlayers) {
        m_players.erase(
            std::min_element(m_players.begin(), m_players.end(), [](const auto& a, const auto& b) {
                return a.second.lastSeenMs < b.second.lastSeenMs;
            }));
    }
    OpenedPlayer opened{randomHex(8), m_playerHang.hits(cause)};
    const qint64 now = nowMs();
    m_players[opened.id] = Player{user, category, lesson, now, now};
    QJsonObject fields = lessonFields(category, lesson);
    fields.insert(QStringLiteral("player"), opened.id);
    QJsonObject open = fields;
    open.insert(QStringLiteral("title"), lessonTitle(category, lesson));
    recordLocked(QStringLiteral("player-open"), user, open);
    if (opened.hangs) {
        fields.insert(QStringLiteral("cause"), cause);
        recordLocked(QStringLiteral("player-hung"), user, fields);
    }
    return opened;
}

qint64 SiteState::totalLocked(const QString& user, const QString& key) const
{
    const auto userIt = m_studyMs.find(user);
    if (userIt == m_studyMs.end()) {
        return 0;
    }
    const auto it = userIt->second.find(key);
    return it == userIt->second.end() ? 0 : it->second;
}

SiteState::Beat SiteState::heartbeat(const QString& user, const QString& playerId, int category,
                                     int lesson, const QJsonObject& seen)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    if (it == m_players.end() || it->second.user != user || it->second.category != category ||
        it->second.lesson != lesson) {
        return Beat{BeatStatus::Unknown, 0, 0};
    }
    Player& player = it->second;
    const QString key = lessonKey(category, lesson);
    if (player.ended) {
        return Beat{BeatStatus::Ended, 0, totalLocked(user, key) / 1000};
    }
    const qint64 now = nowMs();
    // The time a pre-roll plays is not the lesson's.
    const bool preroll = seen.value(QStringLiteral("preroll")).toBool();
    const qint64 credited = preroll ? 0 : std::max<qint64>(0, now - player.lastSeenMs);
    player.lastSeenMs = now;
    const qint64 watched = player.watched.count(seen, credited);
    qint64& total = m_studyMs[user][key];
    total += credited;
    m_watchedMs[user][key] += watched;
    m_lastCountedMs[user][key] = now;
    recordLocked(
        QStringLiteral("heartbeat"), user,
        heartbeatFields(seen, category, lesson, playerId, true, credited, total / 1000, watched));
    return Beat{BeatStatus::Counted, credited, total / 1000, watched};
}

void SiteState::restartCounting()
{
    std::lock_guard lock(m_mutex);
    restartCountingLocked();
}

void SiteState::restartCountingLocked()
{
    const qint64 now = nowMs();
    for (auto& [id, player] : m_players) {
        player.lastSeenMs = now;
    }
}

void SiteState::heartbeatWithoutSession(const QString& playerId, int category, int lesson,
                                        const QJsonObject& seen)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    const QString user = it == m_players.end() ? QString() : it->second.user;
    if (it != m_players.end()) {
        // The time without a session is not credited when a new one takes the player's reports.
        it->second.lastSeenMs = nowMs();
        it->second.watched.count(seen, 0);
    }
    recordLocked(QStringLiteral("heartbeat"), user,
                 heartbeatFields(seen, category, lesson, playerId, false, 0,
                                 totalLocked(user, lessonKey(category, lesson)) / 1000));
}

qint64 SiteState::lastCountedMs(const QString& user, int category, int lesson) const
{
    std::lock_guard lock(m_mutex);
    const auto userIt = m_lastCountedMs.find(user);
    if (userIt == m_lastCountedMs.end()) {
        return -1;
    }
    const auto it = userIt->second.find(lessonKey(category, lesson));
    return it == userIt->second.end() ? -1 : it->second;
}

SiteState::PlayerStatus SiteState::playerStatus(const QString& user, const QString& playerId,
                                                int category, int lesson) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    if (it == m_players.end() || it->second.user != user || it->second.category != category ||
        it->second.lesson != lesson) {
        return PlayerStatus::Unknown;
    }
    return it->second.ended ? PlayerStatus::Ended : PlayerStatus::Open;
}

bool SiteState::closePlayer(const QString& user, const QString& playerId)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_players.find(playerId);
    if (it == m_players.end() || it->second.user != user) {
        return false;
    }
    QJsonObject fields = lessonFields(it->second.category, it->second.lesson);
    fields.insert(QStringLiteral("player"), playerId);
    recordLocked(QStringLiteral("player-close"), user, fields);
    m_players.erase(it);
    return true;
}

SiteState::Exit SiteState::exitCourse(const QString& user)
{
    std::lock_guard lock(m_mutex);
    Exit exit;
    qint64 latestOpen = -1;
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
    QJsonObject fields = lessonFields(exit.category, exit.lesson);
    fields.insert(QStringLiteral("endedPlayers"), exit.endedPlayers);
    recordLocked(QStringLiteral("exit"), user, fields);
    return exit;
}

void SiteState::record(const QString& kind, const QString& user, const QJsonObject& fields)
{
    std::lock_guard lock(m_mutex);
    recordLocked(kind, user, fields);
}

void SiteState::recordLocked(const QString& kind, const QString& user, QJsonObject fields)
{
    const qint64 seq = m_nextSeq++;
    fields.insert(QStringLiteral("seq"), seq);
    fields.insert(QStringLiteral("ms"), nowMs() - m_startMs);
    fields.insert(QStringLiteral("kind"), kind);
    fields.insert(QStringLiteral("user"), user);
    const QByteArray text = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    m_events.push_back({seq, kind, user, m_eventTexts.size(), text.size()});
    m_eventTexts += text;
    if (m_events.size() > kMaxEvents) {
        // The oldest tenth at once: each drop moves every text left.
        const auto kept = m_events.begin() + qsizetype(kMaxEvents / 10);
        const qsizetype dropped = kept->offset;
        m_events.erase(m_events.begin(), kept);
        m_eventTexts.remove(0, dropped);
        for (EventPlace& place : m_events) {
            place.offset -= dropped;
        }
    }
}

QByteArray SiteState::eventsJson() const
{
    std::lock_guard lock(m_mutex);
    QJsonObject seconds;
    QJsonObject milliseconds;
    QJsonObject watched;
    for (const auto& [user, lessons] : m_studyMs) {
        QJsonObject s;
        QJsonObject ms;
        QJsonObject w;
        for (const auto& [key, total] : lessons) {
            s.insert(key, total / 1000);
            ms.insert(key, total);
            w.insert(key, m_watchedMs.at(user).at(key));
        }
        seconds.insert(user, s);
        milliseconds.insert(user, ms);
        watched.insert(user, w);
    }
    // The events are kept serialised; the totals object is spliced in after them.
    const QByteArray totals =
        QJsonDocument(QJsonObject{{QStringLiteral("studySeconds"), seconds},
                                  {QStringLiteral("studyMilliseconds"), milliseconds},
                                  {QStringLiteral("watchedMilliseconds"), watched}})
            .toJson(QJsonDocument::Compact);
    QByteArray out = "{\"events\":[";
    for (const EventPlace& event : m_events) {
        out += QByteArrayView(m_eventTexts).sliced(event.offset, event.length);
        out += ',';
    }
    if (!m_events.empty()) {
        out.chop(1);
    }
    out += "],";
    out += totals.mid(1);
    return out;
}

std::vector<RecordedEvent> SiteState::events() const
{
    std::lock_guard lock(m_mutex);
    std::vector<RecordedEvent> events;
    events.reserve(m_events.size());
    for (const EventPlace& event : m_events) {
        events.push_back(
            {event.seq, event.kind, event.user, m_eventTexts.mid(event.offset, event.length)});
    }
    return events;
}

std::map<QString, std::map<QString, qint64>> SiteState::studyMilliseconds() const
{
    std::lock_guard lock(m_mutex);
    return m_studyMs;
}

std::map<std::pair<int, int>, qint64> SiteState::lessonMilliseconds(const QString& user) const
{
    std::lock_guard lock(m_mutex);
    return lessonTotalsLocked(m_studyMs, user);
}

std::map<std::pair<int, int>, qint64>
SiteState::lessonWatchedMilliseconds(const QString& user) const
{
    std::lock_guard lock(m_mutex);
    return lessonTotalsLocked(m_watchedMs, user);
}

std::map<std::pair<int, int>, qint64> SiteState::lessonTotalsLocked(const Totals& totals,
                                                                    const QString& user) const
{
    std::map<std::pair<int, int>, qint64> out;
    const auto it = totals.find(user);
    if (it != totals.end()) {
        for (const auto& [key, ms] : it->second) {
            // The keys are lessonKey()'s "category-lesson".
            out[{key.section(u'-', 0, 0).toInt(), key.section(u'-', 1, 1).toInt()}] = ms;
        }
    }
    return out;
}

void SiteState::reset()
{
    std::lock_guard lock(m_mutex);
    m_events = {};
    m_eventTexts = {};
    m_nextSeq = 1;
    m_studyMs.clear();
    m_watchedMs.clear();
    m_lastCountedMs.clear();
    // Open players start counting afresh, so no time from before the reset is credited.
    restartCountingLocked();
}

} // namespace lumora::site
