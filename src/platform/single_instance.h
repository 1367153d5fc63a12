#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace lumora::platform {

// Detects another running copy of the program through a lock file that the first copy holds
// for as long as it runs (a lock left by a crashed copy is taken over).
class SingleInstance
{
public:
    explicit SingleInstance(const QString& lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another copy held the lock when this one started.
    bool anotherCopyRunning() const { return m_anotherCopy; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_anotherCopy = false;
};

} // namespace lumora::platform
