#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumora::platform {

// Reads a whole file; nothing when it is missing or unreadable.
std::optional<QByteArray> readWholeFile(const QString& path);

enum class WriteStatus
{
    Written,
    // The place does not let this user create the file or replace the one there: its folder
    // takes no new file (or cannot be made), or the file is read-only.
    Refused,
    // Anything else: a full disk, a folder standing at the path, a replace that another program
    // kept blocked through every retry.
    Failed,
};

struct WriteResult
{
    WriteStatus status = WriteStatus::Failed;
    QString reason; // the system's words, for the log; empty when written
    bool written() const { return status == WriteStatus::Written; }
};

// Writes `data` to a new file beside `path` and then replaces `path` with it, so that a crash,
// a kill or a full disk never leaves `path` empty or truncated. Windows refuses to replace a file
// another program holds open (an editor, a virus scanner, a backup), so a failed replace is tried
// again a few times, 50 ms apart; the caller is blocked meanwhile. On POSIX systems the file is
// readable and writable by its owner only. On failure the old file stays whole.
WriteResult writeFileAtomically(const QString& path, const QByteArray& data);

// Replaces `to` with `from` in one step (a rename over it): `to` is the old file or the new one,
// never missing. False when the system refused, both files then as they were.
bool replaceFile(const QString& from, const QString& to);

// Text in the system's 8-bit code page (UTF-8 on Linux).
QByteArray toSystemCodePage(const QString& text);
// Where that code page is UTF-8 (Linux; Windows with its system-wide UTF-8 option), bytes that
// are not valid UTF-8 are read as GB18030 instead: state files written by earlier versions on a
// Chinese Windows hold the user name and password in GBK, which GB18030 contains.
QString fromSystemCodePage(const QByteArray& bytes);

} // namespace lumora::platform
