#include "platform/files.h"

#include "platform/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QThread>
#include <atomic>
#include <limits>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h>
#else
#include <cstdio>
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

WriteResult failure(const QString& path, const QString& reason)
{
    return {refusedToThisUser(path) ? WriteStatus::Refused : WriteStatus::Failed, reason};
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

} // namespace

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
        return failure(path, QStringLiteral("cannot make the folder %1").arg(info.absolutePath()));

    for (int attempt = 1;; ++attempt) {
        QSaveFile file(path);
        // Never fall back to writing the target in place: that is what could tear it.
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly))
            return failure(path, file.errorString());
        // The file holds a password: owner only. Set on the new file before it replaces the old.
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (file.write(data) != data.size()) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return {WriteStatus::Failed, reason};
        }
        if (file.commit())
            return {WriteStatus::Written, {}};
        if (attempt == kReplaceAttempts)
            return failure(path, file.errorString());
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
