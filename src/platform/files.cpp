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
#include <limits>
#include <string>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h> // <windows.h> without the min and max macros
#include <aclapi.h>
#include <vector>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumora::platform {

namespace {

constexpr int kReplaceAttempts = 4;
constexpr unsigned long kReplacePauseMs = 50;

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

bool localCodePageIsUtf8()
{
#ifdef Q_OS_WIN
    return GetACP() == CP_UTF8;
#else
    return true; // Qt 6 reads and writes local 8-bit text as UTF-8 on every other system
#endif
}

// Qt's Windows builds may come without ICU, and with it without GB18030; Windows has its own.
std::optional<QString> fromGb18030(const QByteArray& bytes)
{
#ifdef Q_OS_WIN
    constexpr UINT kGb18030 = 54936;
    if (bytes.size() > (std::numeric_limits<int>::max)())
        return std::nullopt;
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(kGb18030, 0, bytes.constData(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    QString text(length, Qt::Uninitialized);
    if (MultiByteToWideChar(kGb18030, 0, bytes.constData(), size,
                            reinterpret_cast<wchar_t*>(text.data()), length) != length)
        return std::nullopt;
    return text;
#else
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder.decode(bytes));
#endif
}

#ifdef Q_OS_WIN

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

ReadStatus readStatusOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ReadStatus::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ReadStatus::Locked;
    case ERROR_ACCESS_DENIED:
        return ReadStatus::Denied;
    default:
        return ReadStatus::Failed;
    }
}

ReadResult readFailure(DWORD error)
{
    return {readStatusOf(error), {}, qt_error_string(static_cast<int>(error))};
}

// TOKEN_USER, TOKEN_OWNER and the like of this process; empty when the system would not say.
std::vector<BYTE> tokenInformation(TOKEN_INFORMATION_CLASS kind)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
        buffer.clear();
    CloseHandle(token);
    return buffer;
}

// An access list with one entry, full control for the current user, not inherited from the
// folder: the owner alone reads the file. The reason when it could not be set.
std::optional<QString> restrictToOwner(const QString& path)
{
    std::vector<BYTE> user = tokenInformation(TokenUser);
    if (user.empty())
        return qt_error_string(static_cast<int>(GetLastError()));
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = FILE_ALL_ACCESS;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    BuildTrusteeWithSidW(&access.Trustee, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    PACL acl = nullptr;
    DWORD error = SetEntriesInAclW(1, &access, nullptr, &acl);
    if (error != ERROR_SUCCESS)
        return qt_error_string(static_cast<int>(error));
    std::wstring native = nativePath(path);
    error = SetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    if (error != ERROR_SUCCESS)
        return qt_error_string(static_cast<int>(error));
    return std::nullopt;
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

// QSaveFile does not name its new file, so the access list is set on the file once it replaced
// the old one. A drive that keeps no access lists (FAT) refuses it: said once.
void ownerOnly(const QString& path)
{
#ifdef Q_OS_WIN
    const std::optional<QString> refused = restrictToOwner(path);
    if (!refused)
        return;
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        qCWarning(lcState).noquote() << QStringLiteral("%1 may be readable by other users: %2")
                                            .arg(QDir::toNativeSeparators(path), *refused);
#else
    Q_UNUSED(path) // the new file's mode already is owner-only
#endif
}

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
    QByteArray bytes;
    char buffer[8192];
#ifdef Q_OS_WIN
    // Shared for everything, so that only a program that shares nothing keeps us out.
    const HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return readFailure(GetLastError());
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, static_cast<DWORD>(sizeof buffer), &got, nullptr)) {
            const DWORD error = GetLastError(); // a range another program locked
            CloseHandle(file);
            return readFailure(error);
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    CloseHandle(file);
#else
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
#endif
    return {ReadStatus::Read, bytes, {}};
}

Ownership fileOwnership(const QString& path)
{
#ifdef Q_OS_WIN
    std::wstring native = nativePath(path);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return Ownership::Unknown;
    Ownership ownership = Ownership::Unknown;
    std::vector<BYTE> user = tokenInformation(TokenUser);
    std::vector<BYTE> creator = tokenInformation(TokenOwner);
    if (owner && IsValidSid(owner) && !user.empty()) {
        const bool mine = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) ||
                          (!creator.empty() &&
                           EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(creator.data())->Owner));
        ownership = mine ? Ownership::ThisUser : Ownership::OtherUser;
    }
    LocalFree(descriptor);
    return ownership;
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
        if (file.commit()) {
            ownerOnly(path);
            return {WriteStatus::Written, {}};
        }
        if (attempt == kReplaceAttempts)
            return failure(path, file);
        qCDebug(lcState).noquote() << QStringLiteral("replacing %1 failed (%2); trying again")
                                          .arg(QDir::toNativeSeparators(path), file.errorString());
        QThread::msleep(kReplacePauseMs);
    }
}

bool replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

QByteArray toSystemCodePage(const QString& text)
{
    return text.toLocal8Bit();
}

bool systemCodePageHolds(const QString& text)
{
    return QString::fromLocal8Bit(text.toLocal8Bit()) == text;
}

QString fromSystemCodePage(const QByteArray& bytes)
{
    if (!localCodePageIsUtf8() || bytes.isValidUtf8())
        return QString::fromLocal8Bit(bytes);
    if (std::optional<QString> text = fromGb18030(bytes))
        return *text;
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        qCWarning(lcState) << "no GB18030 decoder here: text that is not UTF-8 is read as UTF-8";
    return QString::fromLocal8Bit(bytes);
}

} // namespace lumora::platform
