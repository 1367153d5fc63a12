#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace lumora::platform {

// One copy of the program at a time. The first copy holds a lock file for as long as it runs (a
// lock left by a crashed copy is taken over) and listens on a local socket named after that
// file; a later copy finds the lock held and asks the first, through the socket, to show its
// window. Two copies would share the browser profile and overwrite each other's state file.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& lockPath);
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // True when another copy held the lock when this one started.
    bool anotherCopyRunning() const { return m_anotherCopy; }
    // Asks the copy that holds the lock to show its window, waiting up to `timeoutMs` for it to
    // take the request. False when it could not be reached.
    bool askRunningCopyToShow(int timeoutMs = 3000);

    // The local socket's name for a lock file: the same for every copy of one user.
    static QString socketName(const QString& lockPath);

signals:
    // A later copy asked this one to show its window.
    void showRequested();

private:
    void listen();
    void takeRequest();

    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_anotherCopy = false;
};

} // namespace lumora::platform
