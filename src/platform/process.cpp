#include "platform/process.h"

#include <limits>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h>
#else
#include <signal.h>
#include <sys/types.h>
#endif

namespace lumora::platform {

bool endProcess(qint64 pid)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_WIN
    if (pid > static_cast<qint64>((std::numeric_limits<DWORD>::max)()))
        return false;
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool ended = TerminateProcess(process, 1) != 0;
    CloseHandle(process);
    return ended;
#else
    if (pid > static_cast<qint64>((std::numeric_limits<pid_t>::max)()))
        return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
#endif
}

} // namespace lumora::platform
