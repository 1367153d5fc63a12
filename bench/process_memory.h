#pragma once

// Memory and CPU time of a process tree as Linux reports it (/proc), for the benchmarks.

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace lumora::bench {

// Proportional set size of one process, kB; 0 when it cannot be read.
long long pssKb(qint64 pid);

// One process of a tree and what it does: "program" for the root (which also runs the engine's
// browser process and, in the soak, the site), else the engine's process type ("zygote",
// "renderer", "gpu-process", "utility"...): a renderer forked from a zygote keeps the zygote's
// command line, so a zygote's child counts as a renderer.
struct ProcessPss
{
    qint64 pid = 0;
    QString role;
    long long kb = 0;
    // The parts of kb: anonymous memory (heaps), file-backed pages (code and data of the
    // libraries, as much as has been touched) and shared memory (between the engine's processes).
    long long anonKb = 0;
    long long fileKb = 0;
    long long shmemKb = 0;
};

// Proportional set size of `root` and all its descendants (the engine's processes), kB;
// `detail`, when given, gets one "pid: kB" entry per process.
long long treePssKb(qint64 root, QStringList* detail = nullptr);

// The same, one entry per process, the root first.
std::vector<ProcessPss> treePss(qint64 root);

// The CPU time (user and system, seconds) used so far by `root` and by each of its descendants
// that is one of the engine's processes (a --type= on its command line), by pid: the program
// and its QtWebEngineProcess children, not other programs it started.
std::map<qint64, double> engineTreeCpuSeconds(qint64 root);
// The CPU time used between two readings of the same tree; a process new in `to` counts whole.
double cpuSecondsBetween(const std::map<qint64, double>& from, const std::map<qint64, double>& to);

} // namespace lumora::bench
