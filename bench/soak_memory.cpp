#include "soak_memory.h"

#include "platform/webengine/webengine_host.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <malloc.h>
#include <utility>

namespace lumora::bench {

std::map<QString, RolePss> pssByRole(const std::vector<ProcessPss>& tree)
{
    std::map<QString, RolePss> roles;
    for (const ProcessPss& process : tree) {
        for (const QString& role : {process.role, QStringLiteral("total")}) {
            RolePss& sum = roles[role];
            sum.kb += process.kb;
            sum.anonKb += process.anonKb;
            sum.fileKb += process.fileKb;
            sum.shmemKb += process.shmemKb;
        }
    }
    return roles;
}

QString megabytes(long long kb)
{
    return QString::number(static_cast<double>(kb) / 1024, 'f', 1);
}

namespace {

QString described(const QString& name, const RolePss& pss)
{
    return QStringLiteral("%1 %2 MB (anon %3, file %4, shmem %5)")
        .arg(name, megabytes(pss.kb), megabytes(pss.anonKb), megabytes(pss.fileKb),
             megabytes(pss.shmemKb));
}

} // namespace

QString describe(const std::map<QString, RolePss>& roles)
{
    QStringList parts;
    for (const auto& [role, pss] : roles)
        parts << described(role, pss);
    return parts.join(QStringLiteral(", "));
}

QString describeProcesses(const std::vector<ProcessPss>& tree)
{
    QStringList parts;
    for (const ProcessPss& process : tree)
        parts << described(QStringLiteral("%1 %2").arg(process.role).arg(process.pid),
                           {process.kb, process.anonKb, process.fileKb, process.shmemKb});
    return parts.join(QStringLiteral(", "));
}

std::vector<ProcessPss> settledPss(window::MainWindow& mainWindow)
{
    for (platform::BrowserControl* view : {&mainWindow.mainView(), &mainWindow.playerView()})
        platform::webengine::WebEngineHost::runScriptForText(
            *view, QStringLiteral("typeof gc === 'function' ? (gc(), 'collected') : 'no gc'"));
    malloc_trim(0); // what this process freed goes back to the system, as garbage does above
    std::vector<std::pair<long long, std::vector<ProcessPss>>> samples;
    for (int sample = 0; sample < 5; ++sample) {
        QEventLoop pause;
        QTimer::singleShot(200, &pause, &QEventLoop::quit);
        pause.exec();
        std::vector<ProcessPss> tree = treePss(QCoreApplication::applicationPid());
        const long long kb = pssByRole(tree)[QStringLiteral("total")].kb;
        samples.emplace_back(kb, std::move(tree));
    }
    std::sort(samples.begin(), samples.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return samples.at(samples.size() / 2).second;
}

long long heapInUseKb()
{
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long long>((heap.uordblks + heap.hblkhd) / 1024);
}

long long heapFreeKb()
{
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long long>(heap.fordblks / 1024);
}

} // namespace lumora::bench
