#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lumora::platform {

std::optional<QByteArray> readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeFileAtomically(const QString& path, const QByteArray& data,
                         WriteInterruption interruption)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    QSaveFile file(path);
    // Never fall back to writing the target in place: that is what could tear it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The file holds a password: owner only. Set on the new file before it replaces the old one.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    if (interruption == WriteInterruption::BeforeReplace)
        return false; // the unfinished new file is discarded with `file`
    return file.commit();
}

QByteArray toSystemCodePage(const QString& text)
{
    return text.toLocal8Bit();
}

QString fromSystemCodePage(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes);
}

} // namespace lumora::platform
