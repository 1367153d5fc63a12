#pragma once

// Memory of a process tree as Linux reports it (/proc), for the benchmarks.

#include <QStringList>

namespace lumora::bench {

// Proportional set size of one process, kB; 0 when it cannot be read.
long long pssKb(qint64 pid);

// Proportional set size of `root` and all its descendants (the engine's processes), kB;
// `detail`, when given, gets one "pid: kB" entry per process.
long long treePssKb(qint64 root, QStringList* detail = nullptr);

} // namespace lumora::bench
