#pragma once

// The state file's Windows calls, free of Qt so that tst_win32 runs them under Wine (built with
// mingw-w64) as well as on Windows; files.cpp adapts them to the platform room's interface.
// Paths are UTF-16, as Windows takes them; file contents are bytes as stored.

#include <optional>
#include <string>
#include <vector>

namespace lumora::win32 {

enum class FileState
{
    Read,
    Missing,
    // Another program opened it sharing nothing, or locked a range (a virus scanner, a backup,
    // a sync client): worth asking again shortly.
    LockedForNow,
    Denied,
    NotAFile, // a folder stands at the path
    Failed,
};

// What a failed open or read of `path` with the system's `error` means.
FileState classifyFailure(unsigned long error, const std::wstring& path);

struct FileRead
{
    FileState state = FileState::Failed;
    std::string bytes;
    unsigned long error = 0; // the system's, for its words in the log
};

// Opened sharing everything, so that only a program that shares nothing keeps us out.
FileRead readFile(const std::wstring& path);

enum class Owner
{
    ThisUser,
    OtherUser,
    Unknown, // no owner kept (a FAT drive) or none this user may see
};

enum class Holder
{
    None,
    User,
    Owner, // the owner the token gives what it creates
    Group,
    DenyOnlyGroup,
};

// How `token` holds `sid`: as its user, the owner it gives new files or one of its groups.
// Deny-only groups count: a learner's token filtered by UAC holds Administrators for deny only,
// and Administrators owns what an elevated program of theirs made (c:\boot.txt).
Holder tokenHolder(void* token, void* sid);

// Whose a file owned by `owner` is, for `token`: this user's when the token holds the owner.
Owner ownerFor(void* token, void* owner);
// The owner of the file at `path` against this process's token.
Owner fileOwner(const std::wstring& path);

// The SID of this process's user, as text (S-1-5-21-...); empty when the system would not say.
std::wstring currentUserSid();

struct AccessEntry
{
    std::wstring sid;
    unsigned long mask = 0;
    bool allowed = false;
    bool inherited = false;
    bool operator==(const AccessEntry&) const = default;
};

struct AccessList
{
    bool isProtected = false; // not inherited from the folder
    std::vector<AccessEntry> entries;
};

// A security descriptor whose access list has one entry, full control for this user, not
// inherited from the folder (c:\ lets every user read what it holds); empty when the system would
// not say who this user is. Self-relative: the bytes are the whole descriptor.
std::vector<unsigned char> ownerOnlyDescriptor();

// The access list of a descriptor, or of the file at `path` as the system reports it; nothing
// when there is none (a FAT drive keeps none) or it cannot be read.
std::optional<AccessList> accessListOf(const void* descriptor);
std::optional<AccessList> accessList(const std::wstring& path);

// 0 when the file at `path` lets no one but this user (and the system itself) in; else why not.
unsigned long checkOwnerOnly(const std::wstring& path);

struct Replaced
{
    unsigned long error = 0; // of the last attempt; 0 when replaced
    int attempts = 0;
};

// Replaces `to` with `from` in one step, `to` never missing. Windows refuses while another
// program holds `to` open without sharing its deletion (an editor, a virus scanner, a backup):
// such a refusal is tried again, `attempts` times in all, `pauseMs` apart.
Replaced replaceFile(const std::wstring& from, const std::wstring& to, int attempts = 1,
                     unsigned long pauseMs = 0);

struct Written
{
    unsigned long error = 0; // 0 when written
    int attempts = 0;        // of the replace
    // Set when the new file's access list could not be made owner-only (a FAT drive keeps
    // none); the file was written all the same.
    unsigned long accessError = 0;
};

// Writes `bytes` to a new file beside `path`, made owner-only, then replaces
// `path` with it (4 attempts, 50 ms apart): a crash or a full disk never leaves `path` torn.
Written writeReplacing(const std::wstring& path, const std::string& bytes);

} // namespace lumora::win32
