#include "process_memory.h"

#include <QDir>
#include <QFile>
#include <map>
#include <vector>

namespace lumora::bench {

long long pssKb(qint64 pid)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

long long treePssKb(qint64 root, QStringList* detail)
{
    std::map<qint64, std::vector<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        // The parent's pid is the second field after the command name, which may hold spaces.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toLongLong()].push_back(pid);
    }
    long long total = 0;
    std::vector<qint64> pending{root};
    while (!pending.empty()) {
        const qint64 pid = pending.back();
        pending.pop_back();
        const long long pss = pssKb(pid);
        total += pss;
        if (detail)
            detail->append(QStringLiteral("%1: %2 kB").arg(pid).arg(pss));
        for (const qint64 child : children[pid])
            pending.push_back(child);
    }
    return total;
}

} // namespace lumora::bench
