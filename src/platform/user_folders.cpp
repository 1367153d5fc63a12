#include "platform/user_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace lumora::platform {

namespace {

QString bootFileIn(QStandardPaths::StandardLocation location, const QString& subfolder = {})
{
    const QDir folder(QStandardPaths::writableLocation(location));
    return folder.filePath(subfolder.isEmpty() ? QStringLiteral("boot.txt")
                                               : subfolder + QStringLiteral("/boot.txt"));
}

} // namespace

StateFilePlaces defaultStateFilePlaces()
{
#ifdef Q_OS_WIN
    // GenericDataLocation is %LOCALAPPDATA% itself; AppLocalDataLocation is the program's own
    // folder inside it.
    return {QStringLiteral("c:\\boot.txt"),
            bootFileIn(QStandardPaths::AppLocalDataLocation),
            {bootFileIn(QStandardPaths::GenericDataLocation, QStringLiteral("VirtualStore"))}};
#else
    return {bootFileIn(QStandardPaths::AppDataLocation), {}, {}};
#endif
}

} // namespace lumora::platform
