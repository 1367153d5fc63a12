#pragma once

// The soak's judge: the program is judged by the site's own study record (what its record page
// shows, counted from the players' progress reports), as a learner's training is, never by the
// program's own events. Times are site-clock milliseconds since the site started.

#include "site_server.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace lumora::bench {

using Lesson = std::pair<int, int>; // (category, lesson), from 0
using Windows = std::vector<std::pair<std::int64_t, std::int64_t>>;

// A lesson's count in `totals` (0 when it has none).
std::int64_t lessonMs(const site::LessonTotals& totals, Lesson lesson);

// A minute the program credited: when, and to which lesson.
struct Credit
{
    std::int64_t atMs;
    Lesson lesson;
};

// A count the site keeps per lesson (its record, or the heartbeats' watched time), as polled over
// the run: when each lesson's count grew, when each whole minute of it was counted, and when the
// site day's count reached `capMs` (0: no cap) for the first time.
class CountSeries
{
public:
    CountSeries(std::int64_t dayMs, std::int64_t capMs) : m_dayMs(dayMs), m_capMs(capMs) {}

    void poll(std::int64_t atMs, const site::LessonTotals& totals);
    // When a whole minute of some lesson was counted, ascending.
    const std::vector<std::int64_t>& minutes() const { return m_minutes; }
    // Whether the lesson's count grew at a poll in [fromMs, toMs].
    bool grew(Lesson lesson, std::int64_t fromMs, std::int64_t toMs) const;
    // When a site day's count first reached the cap (-1: never).
    std::int64_t capReachedMs() const { return m_capReachedMs; }
    const site::LessonTotals& last() const { return m_last; }
    std::int64_t totalMs() const { return m_totalMs; }

private:
    const std::int64_t m_dayMs;
    const std::int64_t m_capMs;
    site::LessonTotals m_last;
    std::map<Lesson, std::vector<std::int64_t>> m_growth;
    std::vector<std::int64_t> m_minutes;
    std::int64_t m_totalMs = 0;
    std::int64_t m_day = 0;
    std::int64_t m_dayStartTotalMs = 0;
    std::int64_t m_capReachedMs = -1;
};

// What the site's event record says of the run.
struct SiteLog
{
    std::vector<std::int64_t> logins; // accepted
    std::vector<std::int64_t> sessionEnds;
    int refusedLogins = 0; // refused while logins were refused (maintenance)
    // The first progress report answered "今日学时已满" (-1: none), and the site days with one.
    std::int64_t firstCappedMs = -1;
    std::set<std::int64_t> cappedDays;
    std::int64_t progressCreditedMs = 0; // what the progress reports moved into the record
    qsizetype events = 0;
    bool complete = false; // it holds every event since the start (the site keeps the last 50000)
};
SiteLog readSiteLog(const QByteArray& json, std::int64_t dayMs);

// The longest gap between `minutes` (ascending, from `fromMs` to `toMs`), less the parts of it in
// `excused` windows, and where it began; and the longest raw gap that overlapped one.
struct Stalls
{
    std::int64_t longest = 0;
    std::int64_t longestFromMs = 0;
    std::int64_t longestExcused = 0;
};
Stalls longestStall(const std::vector<std::int64_t>& minutes, std::int64_t fromMs,
                    std::int64_t toMs, const Windows& excused);

// One lesson at the end of the run.
struct LessonFacts
{
    Lesson lesson;
    int required = 0;
    bool programDone = false; // by the program's own minutes at the end
    bool doneInRun = false;   // the program's credits in this run took it to done
    int credited = 0;         // minutes the program credited in this run
    std::int64_t recordMs = 0;
    std::int64_t watchedMs = 0;
};
struct LessonVerdicts
{
    int done = 0;         // the site counts the required minutes
    int shortInRun = 0;   // credited to done in this run, counted short by the site
    int overCredited = 0; // minutes credited beyond the site's minutes plus one
    int siteShort = 0;    // done by the program's minutes, counted short by the site
};
// By the site's record, or by the heartbeats' watched time for the comparison.
LessonVerdicts judgeLessons(const std::vector<LessonFacts>& lessons,
                            std::int64_t LessonFacts::*count);
bool isShort(const LessonFacts& facts, std::int64_t LessonFacts::*count);

// Minutes the program credited while the site did not count them: in the day's cap's wait, or
// outside it with the record of their lesson still from a minute before them to a minute after
// (a progress report comes each minute; a minute played reaches the record at the next one).
struct NotCounted
{
    int inCapWait = 0;
    int recordStill = 0;
    int total() const { return inCapWait + recordStill; }
};
NotCounted creditedWhileNotCounting(const std::vector<Credit>& credits, const CountSeries& record,
                                    std::pair<std::int64_t, std::int64_t> capWait);

} // namespace lumora::bench
