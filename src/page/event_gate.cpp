#include "page/event_gate.h"

#include <algorithm>

namespace lumora::page {

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
    deliverHeld();
    wait();
    m_running = wasRunning;
}

void EventGate::runNow(const std::function<void()>& handler)
{
    m_running = true;
    try {
        handler();
    } catch (...) {
        // A handler's failure ends that handler only; the program keeps running.
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

} // namespace lumora::page
