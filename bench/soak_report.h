#pragma once

// The soak's summary: the night judged by the site's record (soak_judge.h), printed with its
// diagnostics and the last line.

#include "records/minute_records.h"
#include "soak_faults.h"
#include "soak_judge.h"
#include "soak_memory.h"
#include "soak_run_log.h"

#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumora::bench {

// The record's cap a site day, and the site's day (its default). The run's record grows about 55
// minutes an hour between the site's faults, which take about two of the first 24 hours: the
// first day counts some 1,200 minutes, so the cap is met around 21 h; the rest of the timetable's
// 2,040 minutes (about 950) fits the second day.
inline constexpr int kDailyCapMinutes = 1100;
inline constexpr std::int64_t kSiteDay = 24 * kHour;

// The first lesson the program left done: when (hours of the run), its minutes by the program,
// and the record's then.
struct FirstDone
{
    double hour = 0;
    int studied = 0;
    std::int64_t recordMs = 0;
};

struct NightMemory
{
    std::vector<ProcessPss> first; // after the first lesson
    std::vector<ProcessPss> end;   // at the end, the site's record dropped
    std::vector<ProcessPss> beforeReset;
    long long heapBeforeResetKb = 0;
    long long heapAfterResetKb = 0;
    QStringList series; // a line a sample
};

// What the program's clock and timer did for the engine.
struct EngineWaits
{
    int waits = 0;
    int lengthened = 0;
    std::int64_t realWaitMs = 0;
    int heldTicks = 0;
    std::int64_t heldRealMs = 0;
};

// Everything the night left, times on the site clock.
struct Night
{
    const std::vector<Fault>& faults;
    const RunLog& log;
    const CountSeries& record;
    const CountSeries& watched;
    const SiteLog& siteLog;
    const site::LessonTotals& pageTime;
    const records::MinuteRecords& minutesKept;
    std::optional<FirstDone> firstDone;
    NightMemory memory;
    EngineWaits engine;
    std::int64_t runMs = 0;
    std::int64_t runEndMs = 0;
    std::int64_t wokeAtMs = -1; // -1: the machine did not wake
    std::int64_t realMs = 0;
};

// Judges the night, prints the summary ending with the "soak: ..." line; whether every target
// was met.
bool reportNight(const Night& night);

} // namespace lumora::bench
