#include "platform/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace lumora::platform {

SingleInstance::SingleInstance(const QString& lockPath)
    : m_lock(std::make_unique<QLockFile>(lockPath))
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    // A lock whose owner died is stale and taken over by tryLock(). Only a lock held by a live
    // copy counts; a lock that cannot be written at all says nothing about other copies.
    m_anotherCopy = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
}

SingleInstance::~SingleInstance() = default;

} // namespace lumora::platform
