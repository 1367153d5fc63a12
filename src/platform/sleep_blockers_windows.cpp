// Staying awake on Windows.

#include "platform/system_sleep_inhibitor.h"

#include "platform/win32/win32_system.h"

namespace lumora::platform {

namespace {

// The calling thread's execution state: the system does not sleep while it asks for the system
// to be required, and the display may still turn off. Windows keeps no reason with it.
class ExecutionStateBlocker final : public SleepBlocker
{
public:
    QString name() const override { return QStringLiteral("the thread execution state"); }
    bool block(const QString& why, QString& reason) override
    {
        Q_UNUSED(why);
        const unsigned long error = win32::keepSystemAwake(true);
        if (error == 0)
            return true;
        reason = QStringLiteral("SetThreadExecutionState failed (error %1)").arg(error);
        return false;
    }
    void unblock() override { win32::keepSystemAwake(false); }
};

} // namespace

std::vector<std::unique_ptr<SleepBlocker>> systemSleepBlockers()
{
    std::vector<std::unique_ptr<SleepBlocker>> blockers;
    blockers.push_back(std::make_unique<ExecutionStateBlocker>());
    return blockers;
}

} // namespace lumora::platform
