#include "platform/files.h"

#include "platform/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QThread>
#include <atomic>
#include <string>

#ifdef Q_OS_WIN
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumora::platform {

namespace {

#ifndef Q_OS_WIN // win32_files.cpp has its own
constexpr int kReplaceAttempts = 4;
constexpr unsigned long kReplacePauseMs = 50;
#endif

// Asked after a write failed: whether this user lacks the right to create or replace `path`,
// rather than meeting a passing obstacle. A new file in the folder is the step the write could
// not take; trying it is the one check that holds for POSIX modes and Windows ACLs alike.
bool refusedToThisUser(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir() && !info.isWritable())
        return true;
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.lumora-probe-XXXXXX"));
    return !probe.open();
}

// What the failed write's own error says, before the place is asked.
WriteResult failure(const QString& path, const QFileDevice& file)
{
    if (file.error() == QFileDevice::ResourceError)
        return {WriteStatus::DiskFull, file.errorString()};
    const WriteStatus found = writeFailureAt(path);
    // A replace refused by a file this user may write: another program holds it.
    if (found == WriteStatus::Failed && file.error() == QFileDevice::RenameError)
        return {WriteStatus::Held, file.errorString()};
    return {found, file.errorString()};
}

#ifndef Q_OS_WIN
// Qt's Linux builds read GB18030 through ICU; without it, nothing.
std::optional<QString> fromGb18030(const QByteArray& bytes)
{
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder.decode(bytes));
}
#endif

#ifdef Q_OS_WIN

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

ReadStatus readStatusOf(win32::FileState state)
{
    switch (state) {
    case win32::FileState::Read:
        return ReadStatus::Read;
    case win32::FileState::Missing:
        return ReadStatus::Missing;
    case win32::FileState::LockedForNow:
        return ReadStatus::Locked;
    case win32::FileState::Denied:
        return ReadStatus::Denied;
    case win32::FileState::NotAFile: // as on Linux: no lock to wait out
    case win32::FileState::Failed:
        break;
    }
    return ReadStatus::Failed;
}

QString systemWords(unsigned long error)
{
    return qt_error_string(static_cast<int>(error));
}

#else

ReadStatus readStatusOf(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return ReadStatus::Missing;
    if (error == EACCES || error == EPERM)
        return ReadStatus::Denied;
    // A mandatory lock or a busy device: there, and likely readable shortly.
    if (error == EAGAIN || error == EWOULDBLOCK || error == EBUSY || error == ETXTBSY)
        return ReadStatus::Locked;
    return ReadStatus::Failed;
}

ReadResult readFailure(int error)
{
    return {readStatusOf(error), {}, qt_error_string(error)};
}

#endif

class SystemFiles final : public Files
{
public:
    std::optional<Facts> facts(const QString& path) override
    {
        const QFileInfo info(path);
        if (!info.isFile())
            return std::nullopt;
        return Facts{info.lastModified(), fileOwnership(path)};
    }
    ReadResult read(const QString& path) override { return readFile(path); }
    WriteResult write(const QString& path, const QByteArray& data) override
    {
        return writeFileAtomically(path, data);
    }
};

} // namespace

ReadResult readFile(const QString& path)
{
#ifdef Q_OS_WIN
    win32::FileRead read = win32::readFile(nativePath(path));
    if (read.state != win32::FileState::Read)
        return {readStatusOf(read.state), {}, systemWords(read.error)};
    return {ReadStatus::Read, QByteArray::fromStdString(read.bytes), {}};
#else
    QByteArray bytes;
    char buffer[8192];
    const QByteArray name = QFile::encodeName(path);
    int file = -1;
    do
        file = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    while (file < 0 && errno == EINTR);
    if (file < 0)
        return readFailure(errno);
    for (;;) {
        const ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(file);
            return readFailure(error);
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(file);
    return {ReadStatus::Read, bytes, {}};
#endif
}

Ownership fileOwnership(const QString& path)
{
#ifdef Q_OS_WIN
    switch (win32::fileOwner(nativePath(path))) {
    case win32::Owner::ThisUser:
        return Ownership::ThisUser;
    case win32::Owner::OtherUser:
        return Ownership::OtherUser;
    case win32::Owner::Unknown:
        break;
    }
    return Ownership::Unknown;
#else
    struct stat facts
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0)
        return Ownership::Unknown;
    return facts.st_uid == ::geteuid() ? Ownership::ThisUser : Ownership::OtherUser;
#endif
}

WriteStatus writeFailureAt(const QString& path)
{
    if (refusedToThisUser(path))
        return WriteStatus::Refused;
    const QStorageInfo drive(QFileInfo(path).absolutePath());
    if (drive.isValid() && drive.isReady() && drive.bytesAvailable() == 0)
        return WriteStatus::DiskFull;
    return WriteStatus::Failed;
}

Files& systemFiles()
{
    static SystemFiles files;
    return files;
}

std::optional<QByteArray> readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

WriteResult writeFileAtomically(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return {writeFailureAt(path),
                QStringLiteral("cannot make the folder %1").arg(info.absolutePath())};

#ifdef Q_OS_WIN
    const win32::Written written = win32::writeReplacing(nativePath(path), data.toStdString());
    if (written.error != 0)
        return failure(path, systemWords(written.error));
    if (written.attempts > 1)
        qCDebug(lcState).noquote() << QStringLiteral("%1 replaced at attempt %2")
                                          .arg(QDir::toNativeSeparators(path))
                                          .arg(written.attempts);
    // A drive that keeps no access lists (FAT): said once.
    static std::atomic<bool> told{false};
    if (written.accessError != 0 && !told.exchange(true))
        qCWarning(lcState).noquote()
            << QStringLiteral("%1 may be readable by other users: %2")
                   .arg(QDir::toNativeSeparators(path), systemWords(written.accessError));
    return {WriteStatus::Written, {}};
#else
    for (int attempt = 1;; ++attempt) {
        QSaveFile file(path);
        // Never fall back to writing the target in place: that is what could tear it.
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly))
            return failure(path, file);
        // The file holds a password: owner only. Set on the new file before it replaces the old.
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (file.write(data) != data.size()) {
            const WriteResult written = failure(path, file);
            file.cancelWriting();
            return written;
        }
        if (file.commit())
            return {WriteStatus::Written, {}};
        if (attempt == kReplaceAttempts)
            return failure(path, file);
        qCDebug(lcState).noquote() << QStringLiteral("replacing %1 failed (%2); trying again")
                                          .arg(QDir::toNativeSeparators(path), file.errorString());
        QThread::msleep(kReplacePauseMs);
    }
#endif
}

bool replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return win32::replaceFile(nativePath(from), nativePath(to)).error == 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

#ifdef Q_OS_WIN

QByteArray toSystemCodePage(const QString& text)
{
    const std::optional<std::string> bytes =
        win32::toCodePage(text.toStdWString(), win32::systemCodePage());
    return bytes ? QByteArray::fromStdString(*bytes) : text.toLocal8Bit();
}

bool systemCodePageHolds(const QString& text)
{
    return win32::toCodePage(text.toStdWString(), win32::systemCodePage()).has_value();
}

QString fromSystemCodePage(const QByteArray& bytes)
{
    return QString::fromStdWString(win32::fromCodePage(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        win32::systemCodePage()));
}

#else

QByteArray toSystemCodePage(const QString& text)
{
    return text.toLocal8Bit();
}

bool systemCodePageHolds(const QString& text)
{
    return QString::fromLocal8Bit(text.toLocal8Bit()) == text;
}

// Qt 6 reads and writes local 8-bit text as UTF-8 here.
QString fromSystemCodePage(const QByteArray& bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    if (std::optional<QString> text = fromGb18030(bytes))
        return *text;
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        qCWarning(lcState) << "no GB18030 decoder here: text that is not UTF-8 is read as UTF-8";
    return QString::fromUtf8(bytes);
}

#endif

} // namespace lumora::platform
