#pragma once

#include <QString>
#include <chrono>
#include <deque>
#include <functional>

namespace lumora::platform {

class Clock;

// Keeps the program's handlers from running inside one another.
//
// Every event that starts a handler (a button, a list selection by the user, a timer tick, a
// browser event) enters through dispatch(). While a handler runs, and in particular while it
// waits for a page script's answer, events that arrive are held and delivered in order after
// it returns. The one exception is wait(), with which the study run waits for a page: inside it
// held and new events run at once. Timer ticks are coalesced: at most one waits.
//
// A handler that fails ends there and the program goes on: a page that is not there
// (platform::NotThere) ends it quietly, as the handlers' failure policies expect; anything else
// is a fault and is logged at critical level.
class EventGate
{
public:
    enum class Kind
    {
        Ordinary,
        TimerTick
    };

    // Runs `handler` now when no handler is running, else holds it.
    void dispatch(std::function<void()> handler, Kind kind = Kind::Ordinary);

    // Runs `wait` with the gate open: held events are delivered first, then every event that
    // arrives during `wait` runs at once. The gate closes again afterwards.
    void waitWithEventsOpen(const std::function<void()>& wait);
    // Waits `duration` on `clock` with the gate open; ends early once `stop` holds.
    void wait(Clock& clock, std::chrono::milliseconds duration, const std::function<bool()>& stop);

    bool handlerRunning() const { return m_running; }

private:
    struct Held
    {
        std::function<void()> handler;
        Kind kind;
    };
    void runNow(const std::function<void()>& handler);
    void deliverHeld();

    std::deque<Held> m_held;
    bool m_running = false;
};

} // namespace lumora::platform
