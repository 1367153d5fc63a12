#include "platform/single_instance.h"

#include "platform/logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace lumora::platform {

namespace {

constexpr QByteArrayView kShow("show\n");
constexpr QByteArrayView kShown("shown\n");

} // namespace

SingleInstance::SingleInstance(const QString& lockPath)
    : m_socketName(socketName(lockPath)), m_lock(std::make_unique<QLockFile>(lockPath))
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    // A lock whose owner died is stale and taken over by tryLock(). Only a lock held by a live
    // copy counts; a lock that cannot be written at all says nothing about other copies.
    m_anotherCopy = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
    if (!m_anotherCopy)
        listen();
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketName(const QString& lockPath)
{
    const QByteArray key = QFileInfo(lockPath).absoluteFilePath().toUtf8();
    return QStringLiteral("lumora-") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // This copy holds the lock: a socket left under the name is a crashed copy's.
    QLocalServer::removeServer(m_socketName);
    if (!m_server->listen(m_socketName)) {
        qCWarning(lcState) << "a later copy cannot reach this one:" << m_server->errorString();
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeRequest);
}

void SingleInstance::takeRequest()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kShow) {
                socket->write(kShown.data(), kShown.size());
                emit showRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::askRunningCopyToShow(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kShow.data(), kShow.size());
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine() == kShown;
}

} // namespace lumora::platform
