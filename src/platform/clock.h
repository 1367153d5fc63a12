#pragma once

#include <QObject>
#include <chrono>

namespace lumora::platform {

// Monotonic time and the one way a handler may let other events run: waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock; never wraps, never goes back. It may stand still while
    // the machine sleeps.
    virtual std::chrono::milliseconds now() const = 0;
    // The wall clock (milliseconds since 1970): it moves on while the machine sleeps.
    virtual std::chrono::milliseconds wallNow() const = 0;
    // Processes pending events (input, browser signals, timer ticks) until `deadline` (on
    // now()'s scale) or until nothing is left to do for a while; may return early. Other
    // handlers may run inside.
    virtual void processEventsUntil(std::chrono::milliseconds deadline) = 0;
};

// A repeating timer with an enabled flag and an interval: the study run's one-tick-a-second
// clock, faked in tests so that a minute passes at once. Like a QTimer, it never ticks again while
// a handler of its own tick still runs (also when that handler waits, shows a box or processes
// events).
class Timer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Timer() override = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

signals:
    // Every interval while enabled.
    void tick();
};

} // namespace lumora::platform
