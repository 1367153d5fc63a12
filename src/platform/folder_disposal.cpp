#include "platform/folder_disposal.h"

#include "platform/logging.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace lumora::platform {

FolderDisposal::~FolderDisposal()
{
    for (std::thread& worker : m_workers)
        worker.join();
}

QString FolderDisposal::asidePrefix(const QString& path)
{
    return QFileInfo(path).fileName() + QStringLiteral(".old-");
}

void FolderDisposal::dispose(const QString& path)
{
    const QFileInfo info(path);
    const QDir parent = info.absoluteDir();
    const QString aside = parent.filePath(
        asidePrefix(path) + QString::number(QRandomGenerator::global()->generate(), 16));
    if (info.isDir() && !QDir().rename(path, aside)) {
        qCWarning(lcEngine) << "could not set" << path << "aside; deleting it before going on";
        QDir(path).removeRecursively();
    }
    const QStringList found = parent.entryList({asidePrefix(path) + QLatin1Char('*')},
                                               QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    if (found.isEmpty())
        return;
    QStringList paths;
    for (const QString& name : found)
        paths << parent.filePath(name);
    m_workers.emplace_back([paths] {
        for (const QString& folder : paths) {
            if (!QDir(folder).removeRecursively())
                qCWarning(lcEngine) << "could not delete" << folder << "- tried again next start";
        }
    });
}

} // namespace lumora::platform
