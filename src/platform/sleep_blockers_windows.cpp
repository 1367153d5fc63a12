// Staying awake on Windows.

#include "platform/system_sleep_inhibitor.h"

#include <QtCore/qt_windows.h>

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
        if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0)
            return true;
        reason = QStringLiteral("SetThreadExecutionState failed (error %1)").arg(GetLastError());
        return false;
    }
    void unblock() override { SetThreadExecutionState(ES_CONTINUOUS); }
};

} // namespace

std::vector<std::unique_ptr<SleepBlocker>> systemSleepBlockers()
{
    std::vector<std::unique_ptr<SleepBlocker>> blockers;
    blockers.push_back(std::make_unique<ExecutionStateBlocker>());
    return blockers;
}

} // namespace lumora::platform
