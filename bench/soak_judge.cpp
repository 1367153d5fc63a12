#include "soak_judge.h"

#include "soak_clock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace lumora::bench {

namespace {

// How much later than the site the soak may see a change: the site is polled every few
// simulated seconds between the program's handlers.
constexpr std::int64_t kPollSlackMs = 15'000;

} // namespace

std::int64_t lessonMs(const site::LessonTotals& totals, Lesson lesson)
{
    const auto found = totals.find(lesson);
    return found == totals.end() ? 0 : found->second;
}

void CountSeries::poll(std::int64_t atMs, const site::LessonTotals& totals)
{
    std::int64_t total = 0;
    for (const auto& [lesson, ms] : totals) {
        total += ms;
        std::int64_t& seen = m_last[lesson];
        if (ms <= seen)
            continue;
        m_growth[lesson].push_back(atMs);
        for (std::int64_t minute = seen / kMinute; minute < ms / kMinute; ++minute)
            m_minutes.push_back(atMs);
        seen = ms;
    }
    // A site day counts what its reports moved into the record, from its first one on.
    if (const std::int64_t day = atMs / m_dayMs; day != m_day) {
        m_day = day;
        m_dayStartTotalMs = m_totalMs;
    }
    m_totalMs = total;
    if (m_capMs > 0 && m_capReachedMs < 0 && m_totalMs - m_dayStartTotalMs >= m_capMs)
        m_capReachedMs = atMs;
}

bool CountSeries::grew(Lesson lesson, std::int64_t fromMs, std::int64_t toMs) const
{
    const auto found = m_growth.find(lesson);
    if (found == m_growth.end())
        return false;
    const auto at = std::lower_bound(found->second.begin(), found->second.end(), fromMs);
    return at != found->second.end() && *at <= toMs;
}

SiteLog readSiteLog(const QByteArray& json, std::int64_t dayMs)
{
    SiteLog log;
    const QJsonArray events =
        QJsonDocument::fromJson(json).object().value(QStringLiteral("events")).toArray();
    log.events = events.size();
    log.complete =
        events.isEmpty() || events.first().toObject().value(QStringLiteral("seq")).toInteger() == 1;
    for (const QJsonValue& value : events) {
        const QJsonObject event = value.toObject();
        const QString kind = event.value(QStringLiteral("kind")).toString();
        const std::int64_t ms = event.value(QStringLiteral("ms")).toInteger();
        if (kind == QLatin1String("login")) {
            if (event.value(QStringLiteral("ok")).toBool())
                log.logins.push_back(ms);
            else if (event.value(QStringLiteral("reason")).toString() == QLatin1String("refused"))
                ++log.refusedLogins;
        } else if (kind == QLatin1String("session-expired") ||
                   (kind == QLatin1String("sessions-ended") &&
                    event.value(QStringLiteral("sessions")).toInt() > 0)) {
            log.sessionEnds.push_back(ms);
        } else if (kind == QLatin1String("progress")) {
            const int code = event.value(QStringLiteral("code")).toInt();
            if (code == -1) {
                if (log.firstCappedMs < 0)
                    log.firstCappedMs = ms;
                log.cappedDays.insert(ms / dayMs);
            } else if (code == 0) {
                log.progressCreditedMs += event.value(QStringLiteral("creditedMs")).toInteger();
            }
        }
    }
    return log;
}

Stalls longestStall(const std::vector<std::int64_t>& minutes, std::int64_t fromMs,
                    std::int64_t toMs, const Windows& excused)
{
    Stalls stalls;
    std::int64_t previous = fromMs;
    for (std::size_t i = 0; i <= minutes.size(); ++i) {
        const std::int64_t next = i < minutes.size() ? minutes[i] : toMs;
        std::int64_t overlap = 0;
        for (const auto& [begin, end] : excused)
            overlap += std::max<std::int64_t>(0, std::min(end, next) - std::max(begin, previous));
        if (next - previous - overlap > stalls.longest) {
            stalls.longest = next - previous - overlap;
            stalls.longestFromMs = previous;
        }
        if (overlap > 0)
            stalls.longestExcused = std::max(stalls.longestExcused, next - previous);
        previous = std::max(previous, next);
    }
    return stalls;
}

bool isShort(const LessonFacts& facts, std::int64_t LessonFacts::*count)
{
    return facts.*count < facts.required * kMinute;
}

LessonVerdicts judgeLessons(const std::vector<LessonFacts>& lessons,
                            std::int64_t LessonFacts::*count)
{
    LessonVerdicts verdicts;
    for (const LessonFacts& facts : lessons) {
        const bool counted = !isShort(facts, count);
        verdicts.done += counted ? 1 : 0;
        verdicts.shortInRun += facts.doneInRun && !counted ? 1 : 0;
        verdicts.siteShort += facts.programDone && !counted ? 1 : 0;
        verdicts.overCredited +=
            std::max(0, facts.credited - static_cast<int>(facts.*count / kMinute) - 1);
    }
    return verdicts;
}

NotCounted creditedWhileNotCounting(const std::vector<Credit>& credits, const CountSeries& record,
                                    std::pair<std::int64_t, std::int64_t> capWait)
{
    NotCounted counted;
    for (const Credit& credit : credits) {
        if (credit.atMs >= capWait.first && credit.atMs < capWait.second)
            ++counted.inCapWait;
        else if (!record.grew(credit.lesson, credit.atMs - kMinute,
                              credit.atMs + kMinute + kPollSlackMs))
            ++counted.recordStill;
    }
    return counted;
}

} // namespace lumora::bench
