#include "process_memory.h"

#include <QDir>
#include <QFile>
#include <map>
#include <unistd.h>

namespace lumora::bench {

namespace {

// The value of --type= on a process's command line, empty when there is none.
QString processType(qint64 pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& argument : cmdline.readAll().split('\0')) {
        if (argument.startsWith("--type="))
            return QString::fromLatin1(argument.mid(7));
    }
    return {};
}

// The proportional set size of a process and its parts, kB; zeros when it cannot be read.
ProcessPss rollup(qint64 pid)
{
    ProcessPss pss;
    pss.pid = pid;
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return pss;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon);
        const long long kb = line.mid(colon + 1).trimmed().split(' ').first().toLongLong();
        if (name == "Pss")
            pss.kb = kb;
        else if (name == "Pss_Anon")
            pss.anonKb = kb;
        else if (name == "Pss_File")
            pss.fileKb = kb;
        else if (name == "Pss_Shmem")
            pss.shmemKb = kb;
    }
    return pss;
}

// The fields of /proc/PID/stat after the command name (which may hold spaces), from the state on.
QList<QByteArray> statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Every process's children, by parent pid.
std::map<qint64, std::vector<qint64>> childrenByParent()
{
    std::map<qint64, std::vector<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        const QList<QByteArray> fields = numeric ? statFields(pid) : QList<QByteArray>();
        if (fields.size() > 1)
            children[fields.at(1).toLongLong()].push_back(pid);
    }
    return children;
}

} // namespace

long long pssKb(qint64 pid)
{
    return rollup(pid).kb;
}

std::vector<ProcessPss> treePss(qint64 root)
{
    std::map<qint64, std::vector<qint64>> children = childrenByParent();
    std::vector<ProcessPss> tree;
    // (pid, its parent's type)
    std::vector<std::pair<qint64, QString>> pending{{root, {}}};
    while (!pending.empty()) {
        const auto [pid, parentType] = pending.back();
        pending.pop_back();
        const QString type = pid == root ? QString() : processType(pid);
        QString role = pid == root ? QStringLiteral("program") : type;
        if (type == QLatin1String("zygote") && parentType == QLatin1String("zygote"))
            role = QStringLiteral("renderer");
        ProcessPss process = rollup(pid);
        process.role = role.isEmpty() ? QStringLiteral("other") : role;
        tree.push_back(process);
        for (const qint64 child : children[pid])
            pending.emplace_back(child, type);
    }
    return tree;
}

long long treePssKb(qint64 root, QStringList* detail)
{
    long long total = 0;
    for (const ProcessPss& process : treePss(root)) {
        total += process.kb;
        if (detail)
            detail->append(QStringLiteral("%1: %2 kB").arg(process.pid).arg(process.kb));
    }
    return total;
}

std::map<qint64, double> engineTreeCpuSeconds(qint64 root)
{
    std::map<qint64, std::vector<qint64>> children = childrenByParent();
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    std::map<qint64, double> seconds;
    std::vector<qint64> pending{root};
    while (!pending.empty()) {
        const qint64 pid = pending.back();
        pending.pop_back();
        if (pid != root && processType(pid).isEmpty())
            continue;
        // utime and stime: fields 14 and 15 of the whole line, 12 and 13 from the state on.
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > 12)
            seconds[pid] =
                static_cast<double>(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / tick;
        for (const qint64 child : children[pid])
            pending.push_back(child);
    }
    return seconds;
}

double cpuSecondsBetween(const std::map<qint64, double>& from, const std::map<qint64, double>& to)
{
    double used = 0;
    for (const auto& [pid, seconds] : to) {
        const auto before = from.find(pid);
        used += seconds - (before == from.end() ? 0.0 : before->second);
    }
    return used;
}

} // namespace lumora::bench
