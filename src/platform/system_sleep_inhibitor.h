#pragma once

// The real SleepInhibitor: the ways this system offers to stay awake, tried in order.

#include "platform/sleep_inhibitor.h"

#include <memory>
#include <vector>

namespace lumora::platform {

// One way of keeping the system awake.
class SleepBlocker
{
public:
    virtual ~SleepBlocker() = default;
    // For the log: "logind", "screen saver" ...
    virtual QString name() const = 0;
    // Starts keeping the system awake, giving `why` where the system shows it; false when this
    // way is not available here, with the system's words in `reason`.
    virtual bool block(const QString& why, QString& reason) = 0;
    // Ends what a successful block() started.
    virtual void unblock() = 0;
};

// The ways this system offers, best first. Windows: the GUI thread's execution state. Linux:
// logind's sleep and idle inhibitor lock on the system bus, then the desktop's screen saver
// inhibition on the session bus; a bus that does not answer within 1.5 s counts as absent, so the
// window never hangs on it.
std::vector<std::unique_ptr<SleepBlocker>> systemSleepBlockers();

// At each hold, tries its blockers in order and keeps the first that blocks until release (or
// destruction). Call from the GUI thread: Windows ties the execution state to the calling thread.
class SystemSleepInhibitor final : public SleepInhibitor
{
public:
    explicit SystemSleepInhibitor(
        std::vector<std::unique_ptr<SleepBlocker>> blockers = systemSleepBlockers());
    ~SystemSleepInhibitor() override;
    SystemSleepInhibitor(const SystemSleepInhibitor&) = delete;
    SystemSleepInhibitor& operator=(const SystemSleepInhibitor&) = delete;

    void hold(const QString& why) override;
    void release() override;
    bool held() const override { return m_held; }

private:
    std::vector<std::unique_ptr<SleepBlocker>> m_blockers;
    SleepBlocker* m_active = nullptr; // the blocker that holds now; none when nothing could
    bool m_held = false;
    bool m_toldNoWay = false;
};

} // namespace lumora::platform
