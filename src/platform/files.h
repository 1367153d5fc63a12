#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace lumora::platform {

// Reads a whole file; nothing when it is missing or unreadable.
std::optional<QByteArray> readWholeFile(const QString& path);

enum class ReadStatus
{
    Read,
    Missing,
    // There, but held by another program for now: a virus scanner, a backup or a sync client
    // (Windows: a sharing or lock violation). Worth asking again shortly.
    Locked,
    // There, but this user may not read it: another user's file.
    Denied,
    // There, but unreadable for another reason (a device error).
    Failed,
};

struct ReadResult
{
    ReadStatus status = ReadStatus::Failed;
    QByteArray bytes;
    QString reason; // the system's words, for the log; empty when read
};

// Reads a whole file and tells a missing file from one that is there but cannot be read now.
ReadResult readFile(const QString& path);

enum class Ownership
{
    ThisUser,
    OtherUser,
    Unknown, // no owner to compare (a FAT drive) or none this user may see
};

// Whose the file at `path` is. Windows: its owner against the current user and every group of
// its token, deny-only ones too (c:\boot.txt, made by an elevated program, belongs to
// Administrators, which a learner's UAC-filtered token holds for deny only); POSIX: its uid.
Ownership fileOwnership(const QString& path);

enum class WriteStatus
{
    Written,
    // The place does not let this user create the file or replace the one there: its folder
    // takes no new file (or cannot be made), or the file is read-only.
    Refused,
    // No room left on the drive.
    DiskFull,
    // Another program kept the file blocked through every retry (Windows: an editor, a virus
    // scanner, a backup holding it open).
    Held,
    // Anything else: a folder standing at the path, a device error.
    Failed,
};

// Why a write failed, in the learner's words ("磁盘已满" ...); empty for Written.
QString writeFailureText(WriteStatus status);
// Asked after a write of `path` failed: which failure it was, as far as the place tells.
WriteStatus writeFailureAt(const QString& path);

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
// readable and writable by its owner only: on Windows through an access list naming the current
// user alone, not inherited from the folder (c:\ lets every user read what it holds). On
// failure the old file stays whole.
WriteResult writeFileAtomically(const QString& path, const QByteArray& data);

// Replaces `to` with `from` in one step (a rename over it): `to` is the old file or the new one,
// never missing. False when the system refused, both files then as they were.
bool replaceFile(const QString& from, const QString& to);

// Text in the system's 8-bit code page (UTF-8 on Linux).
QByteArray toSystemCodePage(const QString& text);
// Whether that code page holds every character of `text` (written and read back the same).
bool systemCodePageHolds(const QString& text);
// Where that code page is UTF-8 (Linux; Windows with its system-wide UTF-8 option), bytes that
// are not valid UTF-8 are read as GB18030 instead: state files written by earlier versions on a
// Chinese Windows hold the user name and password in GBK, which GB18030 contains.
QString fromSystemCodePage(const QByteArray& bytes);

// The files of the learner's state as the system keeps them: the seam that tests replace to
// give files another user owns or another program holds.
class Files
{
public:
    struct Facts
    {
        QDateTime modified;
        Ownership owner = Ownership::Unknown;
    };
    virtual ~Files() = default;
    // Nothing when no file stands at `path`.
    virtual std::optional<Facts> facts(const QString& path) = 0;
    virtual ReadResult read(const QString& path) = 0;
    virtual WriteResult write(const QString& path, const QByteArray& data) = 0;
};

// The system's own: fileOwnership, readFile and writeFileAtomically.
Files& systemFiles();

} // namespace lumora::platform
