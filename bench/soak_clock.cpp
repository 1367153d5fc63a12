#include "soak_clock.h"

#include <QEventLoop>
#include <algorithm>

namespace lumora::bench {

namespace {

constexpr std::int64_t kMinRealWaitMs = 300; // a page load, whatever the clock says
constexpr std::int64_t kMinRealPollMs = 10;  // an answer from the page

std::int64_t realUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

WorldClock::WorldClock() : m_baseRealUs(realUs()) {}

std::int64_t WorldClock::nowMs() const
{
    const std::lock_guard lock(m_mutex);
    return nowUsLocked() / 1000;
}

WorldClock::Pace WorldClock::setRate(std::int64_t rate)
{
    const std::lock_guard lock(m_mutex);
    rebaseLocked();
    const Pace before = m_pace;
    m_pace.rate = rate;
    return before;
}

WorldClock::Pace WorldClock::holdAt(std::int64_t deadlineMs)
{
    const std::lock_guard lock(m_mutex);
    rebaseLocked();
    const Pace before = m_pace;
    m_pace = {kSpeedup, std::max(deadlineMs * 1000, m_baseUs)};
    return before;
}

void WorldClock::stop()
{
    const std::lock_guard lock(m_mutex);
    rebaseLocked();
    ++m_stops;
}

void WorldClock::go()
{
    const std::lock_guard lock(m_mutex);
    rebaseLocked();
    --m_stops;
}

void WorldClock::restore(Pace pace)
{
    const std::lock_guard lock(m_mutex);
    rebaseLocked();
    // An inner wait may have taken the clock past an outer one's deadline: never back.
    pace.holdAtUs = std::max(pace.holdAtUs, m_baseUs);
    m_pace = pace;
}

std::int64_t WorldClock::nowUsLocked() const
{
    return std::min(m_baseUs + (realUs() - m_baseRealUs) * rateLocked(), m_pace.holdAtUs);
}

void WorldClock::rebaseLocked()
{
    const std::int64_t real = realUs();
    m_baseUs = std::min(m_baseUs + (real - m_baseRealUs) * rateLocked(), m_pace.holdAtUs);
    m_baseRealUs = real;
}

WorldClock& world()
{
    static WorldClock clock;
    return clock;
}

std::int64_t simulatedNowMs()
{
    return world().nowMs();
}

void SimulatedClock::processEventsUntil(std::chrono::milliseconds deadline)
{
    const std::int64_t asked = (deadline - now()).count();
    const std::int64_t scaled = asked / kSpeedup;
    const std::int64_t floor = asked >= 500 ? kMinRealWaitMs : kMinRealPollMs;
    ++waits;
    lengthenedWaits += scaled < floor ? 1 : 0;
    QElapsedTimer waited;
    waited.start();
    const WorldClock::Pace before = world().holdAt(deadline.count());
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::max(scaled, floor)), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
    world().restore(before);
    realWaitMs += waited.elapsed();
}

SimulatedTimer::SimulatedTimer(const SimulatedClock& clock) : m_clock(clock)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimulatedTimer::onTimeout);
}

void SimulatedTimer::setEnabled(bool enabled)
{
    if (enabled && !m_enabled) {
        m_dueMs = simulatedNowMs() + m_interval;
        schedule();
    } else if (!enabled) {
        m_timer.stop();
        endHold();
    }
    m_enabled = enabled;
}

void SimulatedTimer::onTimeout()
{
    const std::int64_t now = simulatedNowMs();
    // A tick that comes while another handler runs waits for it here rather than at the gate, so
    // that it runs in the real-speed bracket below.
    if (now >= m_dueMs && !(gate && gate->handlerRunning())) {
        const bool loading = pageLoading && pageLoading();
        if (!m_clock.asleep && (loading || (answerOnItsWay && answerOnItsWay()))) {
            if (!m_hold) {
                m_hold = true;
                world().stop();
                m_held.start();
            }
            if (m_held.elapsed() < (loading ? kMaxLoadHoldRealMs : kAnswerHoldRealMs)) {
                m_timer.start(2);
                return;
            }
        }
        endHold();
        m_dueMs += m_interval;
        if (m_dueMs <= now)
            m_dueMs = now + m_interval;
        if (!m_clock.asleep) {
            const WorldClock::Pace before = world().setRate(1);
            emit tick();
            world().restore(before);
        }
    }
    if (m_enabled)
        schedule();
}

void SimulatedTimer::schedule()
{
    const std::int64_t left = m_dueMs - simulatedNowMs();
    m_timer.start(static_cast<int>(std::max<std::int64_t>(1, left / kSpeedup)));
}

void SimulatedTimer::endHold()
{
    if (!m_hold)
        return;
    ++heldTicks;
    heldRealMs += m_held.elapsed();
    m_hold = false;
    world().go();
}

} // namespace lumora::bench
