#include "platform/event_gate.h"

#include "platform/clock.h"
#include "platform/logging.h"
#include "platform/page_request.h"

#include <QScopeGuard>
#include <algorithm>

namespace lumora::platform {

void EventGate::dispatch(std::function<void()> handler, Kind kind)
{
    if (m_running) {
        const bool tickAlreadyHeld =
            kind == Kind::TimerTick && std::any_of(m_held.begin(), m_held.end(), [](const Held& h) {
                return h.kind == Kind::TimerTick;
            });
        if (!tickAlreadyHeld)
            m_held.push_back({std::move(handler), kind});
        return;
    }
    runNow(handler);
    deliverHeld();
}

void EventGate::waitWithEventsOpen(const std::function<void()>& wait)
{
    const bool wasRunning = m_running;
    m_running = false;
    // Whatever way the wait ends, the handler that waited is running again.
    const auto restore = qScopeGuard([&] { m_running = wasRunning; });
    deliverHeld();
    wait();
}

void EventGate::wait(Clock& clock, std::chrono::milliseconds duration,
                     const std::function<bool()>& stop)
{
    const std::chrono::milliseconds deadline = clock.now() + duration;
    waitWithEventsOpen([&] {
        while (clock.now() < deadline && !stop())
            clock.processEventsUntil(deadline);
    });
}

void EventGate::runNow(const std::function<void()>& handler)
{
    m_running = true;
    try {
        handler();
    } catch (const platform::NotThere& missing) {
        // Each room answers with results; a page that ends a handler here is a fault to see.
        qCWarning(lcPage) << "handler ended: page not there:" << missing.what();
    } catch (const std::exception& fault) {
        qCCritical(lcPage) << "handler failed:" << fault.what();
    } catch (...) {
        qCCritical(lcPage) << "handler failed with an unknown exception";
    }
    m_running = false;
}

void EventGate::deliverHeld()
{
    while (!m_running && !m_held.empty()) {
        Held next = std::move(m_held.front());
        m_held.pop_front();
        runNow(next.handler);
    }
}

} // namespace lumora::platform
