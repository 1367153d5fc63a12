#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumora::platform {

// Reads a whole file; nothing when it is missing or unreadable.
std::optional<QByteArray> readWholeFile(const QString& path);

// Where an atomic write may be cut short on purpose; used by tests to stand in for a crash.
enum class WriteInterruption
{
    None,
    BeforeReplace
};

// Writes `data` to a new file beside `path` and then replaces `path` with it, so that a crash,
// a kill or a full disk never leaves `path` empty or truncated. On POSIX systems the file is
// readable and writable by its owner only. Returns false (and leaves the old file whole) when
// any step fails.
bool writeFileAtomically(const QString& path, const QByteArray& data,
                         WriteInterruption interruption = WriteInterruption::None);

// Text in the system's 8-bit code page (UTF-8 on Linux).
QByteArray toSystemCodePage(const QString& text);
QString fromSystemCodePage(const QByteArray& bytes);

} // namespace lumora::platform
