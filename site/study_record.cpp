#include "study_record.h"

#include <algorithm>

namespace lumora::site {

namespace {

// Bounds that keep a long run or a misbehaving client from growing memory without limit.
constexpr std::size_t kMaxVisits = 2000;
constexpr std::size_t kMaxChanges = 20000; // per lesson; the oldest go first

} // namespace

StudyRecord::StudyRecord(Clock clock) : m_clock(std::move(clock)), m_startMs(m_clock()) {}

void StudyRecord::setSaveOnExitOnly(bool on)
{
    std::lock_guard lock(m_mutex);
    m_saveOnExitOnly = on;
}

void StudyRecord::setDailyCapMs(qint64 ms)
{
    std::lock_guard lock(m_mutex);
    m_capMs = std::max<qint64>(ms, 0);
}

void StudyRecord::setDayMs(qint64 ms)
{
    std::lock_guard lock(m_mutex);
    m_dayMs = std::max<qint64>(ms, 1);
}

void StudyRecord::open(const QString& player, const QString& user, int category, int lesson)
{
    std::lock_guard lock(m_mutex);
    if (m_visits.size() >= kMaxVisits) {
        m_visits.erase(std::ranges::min_element(
            m_visits, {}, [](const auto& entry) { return entry.second.lastReportMs; }));
    }
    m_visits[player] = Visit{user, category, lesson, m_clock()};
}

void StudyRecord::close(const QString& player)
{
    std::lock_guard lock(m_mutex);
    m_visits.erase(player);
}

StudyRecord::Progress StudyRecord::progress(const QString& player, const QString& user,
                                            int category, int lesson, const QJsonObject& seen,
                                            bool exit)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_visits.find(player);
    if (it == m_visits.end() || it->second.user != user || it->second.category != category ||
        it->second.lesson != lesson) {
        return {};
    }
    Visit& visit = it->second;
    if (visit.exited) {
        return {Outcome::Ended, 0, 0, recordLocked(visit)};
    }
    const qint64 now = m_clock();
    const qint64 watched = visit.watched.count(seen, std::max<qint64>(0, now - visit.lastReportMs));
    visit.lastReportMs = now;
    visit.exited = exit;
    Day& day = m_days[user];
    if (day.index != (now - m_startMs) / m_dayMs) {
        day = {(now - m_startMs) / m_dayMs, 0};
    }
    if (m_capMs > 0 && day.countedMs >= m_capMs) {
        return {Outcome::Capped, 0, 0, recordLocked(visit)};
    }
    visit.heldMs += watched;
    qint64 credited = 0;
    if (!m_saveOnExitOnly || exit) {
        credited = creditLocked(visit, std::exchange(visit.heldMs, 0), now);
    }
    return {Outcome::Counted, credited, visit.heldMs, recordLocked(visit)};
}

qint64 StudyRecord::creditLocked(const Visit& visit, qint64 ms, qint64 now)
{
    Day& day = m_days[visit.user];
    if (m_capMs > 0) {
        ms = std::min(ms, m_capMs - day.countedMs);
    }
    if (ms <= 0) {
        return 0;
    }
    day.countedMs += ms;
    History& history = m_history[visit.user][{visit.category, visit.lesson}];
    const qint64 total = history.empty() ? 0 : history.back().second;
    history.emplace_back(now, total + ms);
    if (history.size() > kMaxChanges) {
        history.erase(history.begin());
    }
    return ms;
}

qint64 StudyRecord::recordLocked(const Visit& visit) const
{
    const auto user = m_history.find(visit.user);
    if (user == m_history.end()) {
        return 0;
    }
    const auto lesson = user->second.find({visit.category, visit.lesson});
    return lesson == user->second.end() ? 0 : lesson->second.back().second;
}

QString StudyRecord::refused(const QString& player, const QJsonObject& seen)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_visits.find(player);
    if (it == m_visits.end()) {
        return {};
    }
    it->second.lastReportMs = m_clock();
    it->second.watched.count(seen, 0);
    return it->second.user;
}

void StudyRecord::restartCounting()
{
    std::lock_guard lock(m_mutex);
    const qint64 now = m_clock();
    for (auto& [id, visit] : m_visits) {
        visit.lastReportMs = now;
    }
}

void StudyRecord::reset()
{
    std::lock_guard lock(m_mutex);
    m_history.clear();
    m_days.clear();
    const qint64 now = m_clock();
    for (auto& [id, visit] : m_visits) {
        visit.lastReportMs = now;
        visit.heldMs = 0;
    }
}

std::vector<StudyRecord::Entry> StudyRecord::entries(const QString& user, qint64 atMs) const
{
    std::lock_guard lock(m_mutex);
    std::vector<Entry> out;
    const auto it = m_history.find(user);
    if (it == m_history.end()) {
        return out;
    }
    for (const auto& [lesson, history] : it->second) {
        // The last change at or before `atMs`.
        const auto after = std::ranges::upper_bound(history, atMs, {}, &History::value_type::first);
        if (after != history.begin()) {
            out.push_back(
                {lesson.first, lesson.second, std::prev(after)->second, std::prev(after)->first});
        }
    }
    return out;
}

StudyRecord::Totals StudyRecord::totals(const QString& user) const
{
    std::lock_guard lock(m_mutex);
    Totals out;
    if (const auto it = m_history.find(user); it != m_history.end()) {
        for (const auto& [lesson, history] : it->second) {
            out[lesson] = history.back().second;
        }
    }
    return out;
}

} // namespace lumora::site
