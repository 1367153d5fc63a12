#pragma once

#include <QtGlobal>

namespace lumora::platform {

// Ends the process with id `pid` at once, giving it no chance to clean up (as a task manager's
// "end task" does). True when the system took the order; the process may take a moment to go.
bool endProcess(qint64 pid);

} // namespace lumora::platform
