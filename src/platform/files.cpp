#include "platform/files.h"

#include "platform/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>

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
    return QString::fromLocal8Bit(bytes);
}

} // namespace lumora::platform
