#pragma once

// The soak's night of faults: what the stand-in site and the machine do to the program, each at
// its hour of simulated time after the run's start.

#include "site_server.h"
#include "soak_clock.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace lumora::bench {

inline constexpr std::int64_t kSessionLifetime = 3 * kHour;
inline constexpr std::pair<int, int> kMissingVideo{1, 4}; // (category, lesson) answering 404
inline constexpr std::pair<int, int> kAudioLesson{0, 7};  // an <audio> lesson, all night
inline constexpr int kEntryPageCategory = 3;              // its links open an entry page first
inline constexpr int kCrossOriginCategory = 2; // its players play their video in another origin

// One fault, at a simulated time after the run's start. `act` returns false when it could not
// happen yet (it is tried again).
struct Fault
{
    // Whether it begins or ends a time in which the site cannot count (the site is down, the
    // machine asleep, no login is taken).
    enum Window
    {
        None,
        Begins,
        Ends
    };
    std::int64_t atMs;
    QString what;
    std::function<bool()> act;
    Window window = None;
    std::int64_t firedMs = -1;
};

// The night's faults, in order: each waits for the one before it. `woke` is called when the
// machine wakes from its sleep.
std::vector<Fault> faultSchedule(site::SiteServer& site, SimulatedClock& clock,
                                 std::function<void()> woke);

// Whether the course frame, which the program fetches to check its session, answers late now.
bool courseFrameLate();

// The windows in which the site could not count, begin to end, on the site clock: the fired
// faults' times plus `runStartMs` (where the run began on the site clock).
std::vector<std::pair<std::int64_t, std::int64_t>> excusedWindows(const std::vector<Fault>& faults,
                                                                  std::int64_t runStartMs);

} // namespace lumora::bench
