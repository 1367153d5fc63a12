#pragma once

// The soak's simulated time: 400 times faster than real time between the program's handlers, at
// real speed inside a study tick, and held while the engine needs real time (a page loading, a
// wait of the program's clock). The site, the program's clock and its study timer all read it.

#include "platform/clock.h"
#include "platform/event_gate.h"

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace lumora::bench {

inline constexpr std::int64_t kSpeedup = 400;
inline constexpr std::int64_t kMinute = 60'000; // simulated milliseconds
inline constexpr std::int64_t kHour = 60 * kMinute;

// Simulated time. Between the program's handlers it runs 400 times faster than real time; in a
// study tick's handler it runs at real speed, because the program's work there (its calls into
// the pages, the engine's own timeouts) takes as long as on a learner's machine; and a wait of
// the program's clock takes it to the wait's deadline at once and holds it there while the
// engine gets the real time it needs (see SimulatedClock). Study ticks follow this clock. Safe
// from any thread: the site reads it from its own.
class WorldClock
{
public:
    struct Pace
    {
        std::int64_t rate;     // simulated per real
        std::int64_t holdAtUs; // the clock goes no further
    };

    WorldClock();
    std::int64_t nowMs() const;
    // From now on `rate` simulated milliseconds a real one; returns the pace before.
    Pace setRate(std::int64_t rate);
    // Fast to `deadlineMs`, then held there until restore(); returns the pace before.
    Pace holdAt(std::int64_t deadlineMs);
    // Stops the clock until as many go() calls. Stops are counted apart from the pace, because
    // they overlap the paces that waits and ticks save and put back in any order (a page's load
    // held across a wait or a measurement): a saved pace put back would stop the clock for good.
    void stop();
    void go();
    void restore(Pace pace);

private:
    std::int64_t rateLocked() const { return m_stops > 0 ? 0 : m_pace.rate; }
    std::int64_t nowUsLocked() const;
    void rebaseLocked();

    mutable std::mutex m_mutex;
    std::int64_t m_baseUs = 0;
    std::int64_t m_baseRealUs = 0;
    Pace m_pace{kSpeedup, INT64_MAX};
    int m_stops = 0;
};

WorldClock& world();
std::int64_t simulatedNowMs();

class SimulatedClock final : public platform::Clock
{
public:
    std::chrono::milliseconds now() const override
    {
        return std::chrono::milliseconds(simulatedNowMs());
    }
    std::chrono::milliseconds wallNow() const override { return now() + slept; }
    // The program's longer waits are for a page to show what it needs; its short ones (a
    // twentieth of a second), for an answer: each gets at least the real time that takes.
    void processEventsUntil(std::chrono::milliseconds deadline) override;

    // How long the simulated machine has slept: the wall clock is that far ahead.
    std::chrono::milliseconds slept{0};
    // While the simulated machine sleeps, the study clock delivers no tick.
    bool asleep = false;
    int waits = 0;
    int lengthenedWaits = 0;
    std::int64_t realWaitMs = 0;
};

// The study clock: a tick every interval of simulated time; like a QTimer, one tick for a
// handler that ran late, and none while its own handler runs. Silent while the machine sleeps.
// A page still loading when a tick is due, or a player's video still starting, holds the world's
// clock (up to a second of real time) until it has loaded or started: on a learner's machine
// twenty seconds are plenty for either, fifty milliseconds are not. While an answer the site
// sends late may be on its way, a tick gives the engine a fifth of a second to deliver it: on a
// learner's machine an answer sent a few seconds before the tick is there, in the soak those
// seconds are a few milliseconds.
class SimulatedTimer final : public platform::Timer
{
public:
    static constexpr int kMaxLoadHoldRealMs = 1000;
    static constexpr int kAnswerHoldRealMs = 200;
    // Set once the program exists: its event gate, whether a view has a page loading, and
    // whether the site answers something late.
    inline static const platform::EventGate* gate = nullptr;
    inline static std::function<bool()> pageLoading;
    inline static std::function<bool()> answerOnItsWay;
    inline static int heldTicks = 0;
    inline static std::int64_t heldRealMs = 0;

    explicit SimulatedTimer(const SimulatedClock& clock);
    ~SimulatedTimer() override { endHold(); }
    Q_DISABLE_COPY_MOVE(SimulatedTimer)

    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_enabled; }

private:
    void onTimeout();
    void schedule();
    void endHold();

    const SimulatedClock& m_clock;
    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    std::int64_t m_dueMs = 0;
    bool m_hold = false; // the clock is stopped for a page loading
    QElapsedTimer m_held;
};

} // namespace lumora::bench
