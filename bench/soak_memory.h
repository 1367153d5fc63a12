#pragma once

// The memory of the program's process tree over the soak: proportional set sizes by role and by
// process, measured once the pages' garbage is collected.

#include "process_memory.h"
#include "window/main_window.h"

#include <QString>
#include <map>
#include <vector>

namespace lumora::bench {

// PSS of a role ("program", "renderer", "zygote" ...) or of all ("total"), kB.
struct RolePss
{
    long long kb = 0, anonKb = 0, fileKb = 0, shmemKb = 0;
};
std::map<QString, RolePss> pssByRole(const std::vector<ProcessPss>& tree);

QString megabytes(long long kb);

// "program 120.3 MB (anon 80.1, file 38.0, shmem 2.2), ..."
QString describe(const std::map<QString, RolePss>& roles);
// The same per process, "renderer 4711 80.1 MB (anon ...)", the program first.
QString describeProcesses(const std::vector<ProcessPss>& tree);

// The process tree's memory once the pages' garbage is collected: the median of five samples
// (a sample taken while a process comes or goes misses it).
std::vector<ProcessPss> settledPss(window::MainWindow& mainWindow);

// What this process's malloc has handed out and not taken back, kB.
long long heapInUseKb();
// Freed and kept by the allocator: free chunks the system could not be given back.
long long heapFreeKb();

} // namespace lumora::bench
