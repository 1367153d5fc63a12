#pragma once

#include <chrono>
#include <functional>

namespace lumora::platform {

// Monotonic time and the one way a handler may let other events run: waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock; never wraps, never goes back.
    virtual std::chrono::milliseconds now() const = 0;
    // Processes pending window events until `deadline` (on now()'s scale) or until nothing is
    // left to do for a while; may return early. Other handlers, browser events and timer
    // ticks may run inside.
    virtual void processEventsUntil(std::chrono::milliseconds deadline) = 0;
};

// A repeating timer with an enabled flag and an interval, like the window's study clock.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    // Called on every tick while enabled.
    std::function<void()> onTick;
};

} // namespace lumora::platform
