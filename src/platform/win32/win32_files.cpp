#include "platform/win32/win32_files.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <aclapi.h>
#include <atomic>
#include <sddl.h>

namespace lumora::win32 {

namespace {

constexpr int kReplaceAttempts = 4;
constexpr DWORD kReplacePauseMs = 50;

// Closes a handle or frees a system allocation when the scope ends.
struct Handle
{
    HANDLE value = nullptr;
    ~Handle()
    {
        if (value && value != INVALID_HANDLE_VALUE)
            CloseHandle(value);
    }
};

struct LocalMemory
{
    HLOCAL value = nullptr;
    ~LocalMemory() { LocalFree(value); }
};

// TOKEN_USER, TOKEN_GROUPS and the like; empty when the system would not say.
std::vector<BYTE> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
        buffer.clear();
    return buffer;
}

std::vector<BYTE> processTokenInformation(TOKEN_INFORMATION_CLASS kind)
{
    Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.value))
        return {};
    return tokenInformation(token.value, kind);
}

std::wstring sidText(PSID sid)
{
    LocalMemory text;
    if (!sid || !ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(&text.value)))
        return {};
    return static_cast<const wchar_t*>(text.value);
}

bool retried(DWORD error)
{
    // A scanner or a backup holding the old file shows as a sharing violation, or as a denial
    // while a deletion of it is pending.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

} // namespace

FileState classifyFailure(unsigned long error, const std::wstring& path)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FileState::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileState::LockedForNow;
    case ERROR_ACCESS_DENIED: {
        // Windows denies opening a folder as a file, too.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FileState::NotAFile;
        return FileState::Denied;
    }
    default:
        return FileState::Failed;
    }
}

FileRead readFile(const std::wstring& path)
{
    Handle file{CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.value == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {classifyFailure(error, path), {}, error};
    }
    FileRead result{FileState::Read, {}, 0};
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.value, buffer, static_cast<DWORD>(sizeof buffer), &got, nullptr)) {
            const DWORD error = GetLastError(); // a range another program locked
            return {classifyFailure(error, path), {}, error};
        }
        if (got == 0)
            return result;
        result.bytes.append(buffer, got);
    }
}

Holder tokenHolder(void* token, void* sid)
{
    if (!sid || !IsValidSid(sid))
        return Holder::None;
    const std::vector<BYTE> user = tokenInformation(token, TokenUser);
    if (!user.empty() && EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid))
        return Holder::User;
    const std::vector<BYTE> owner = tokenInformation(token, TokenOwner);
    if (!owner.empty() && EqualSid(sid, reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner))
        return Holder::Owner;
    const std::vector<BYTE> groups = tokenInformation(token, TokenGroups);
    if (groups.empty())
        return Holder::None;
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i) {
        if (EqualSid(sid, list->Groups[i].Sid))
            return (list->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) ? Holder::DenyOnlyGroup
                                                                             : Holder::Group;
    }
    return Holder::None;
}

Owner ownerFor(void* token, void* owner)
{
    if (!owner || !IsValidSid(owner))
        return Owner::Unknown;
    return tokenHolder(token, owner) != Holder::None ? Owner::ThisUser : Owner::OtherUser;
}

Owner fileOwner(const std::wstring& path)
{
    PSID owner = nullptr;
    LocalMemory descriptor;
    if (GetNamedSecurityInfoW(
            path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
            nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(&descriptor.value)) != ERROR_SUCCESS)
        return Owner::Unknown;
    Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.value))
        return Owner::Unknown;
    return ownerFor(token.value, owner);
}

std::wstring currentUserSid()
{
    const std::vector<BYTE> user = processTokenInformation(TokenUser);
    return user.empty() ? std::wstring()
                        : sidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

std::vector<unsigned char> ownerOnlyDescriptor()
{
    const std::vector<BYTE> user = processTokenInformation(TokenUser);
    if (user.empty())
        return {};
    PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    std::vector<BYTE> acl(aclSize);
    auto* list = reinterpret_cast<PACL>(acl.data());
    SECURITY_DESCRIPTOR absolute;
    if (!InitializeAcl(list, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&absolute, TRUE, list, FALSE) ||
        !SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return {};
    DWORD size = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &size);
    std::vector<unsigned char> descriptor(size);
    if (size == 0 || !MakeSelfRelativeSD(&absolute, descriptor.data(), &size))
        descriptor.clear();
    return descriptor;
}

std::optional<AccessList> accessListOf(const void* descriptor)
{
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    auto* self = const_cast<void*>(descriptor);
    if (!descriptor || !GetSecurityDescriptorDacl(self, &present, &acl, &defaulted) || !present ||
        !acl)
        return std::nullopt;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(self, &control, &revision);
    AccessList list{(control & SE_DACL_PROTECTED) != 0, {}};
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace))
            return std::nullopt;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        const bool allowed = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        if (!allowed && header->AceType != ACCESS_DENIED_ACE_TYPE) {
            list.entries.push_back({L"?", 0, false, false}); // a kind this program never writes
            continue;
        }
        // Allowed and denied entries share their layout.
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&entry->SidStart);
        list.entries.push_back(
            {sidText(sid), entry->Mask, allowed, (header->AceFlags & INHERITED_ACE) != 0});
    }
    return list;
}

std::optional<AccessList> accessList(const std::wstring& path)
{
    LocalMemory descriptor;
    if (GetNamedSecurityInfoW(
            path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
            nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(&descriptor.value)) != ERROR_SUCCESS)
        return std::nullopt;
    return accessListOf(descriptor.value);
}

unsigned long checkOwnerOnly(const std::wstring& path)
{
    const std::optional<AccessList> list = accessList(path);
    const std::wstring user = currentUserSid();
    if (!list || user.empty())
        return ERROR_INVALID_SECURITY_DESCR;
    bool userIn = false;
    for (const AccessEntry& entry : list->entries) {
        userIn |= entry.allowed && entry.sid == user;
        // The system itself reads every file; Wine names it where the file's mode lets the
        // group in.
        if (entry.allowed && entry.sid != user && entry.sid != L"S-1-5-18")
            return ERROR_INVALID_SECURITY_DESCR;
    }
    return userIn ? ERROR_SUCCESS : ERROR_INVALID_SECURITY_DESCR;
}

Replaced replaceFile(const std::wstring& from, const std::wstring& to, int attempts,
                     unsigned long pauseMs)
{
    Replaced result;
    for (;;) {
        ++result.attempts;
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            result.error = 0;
            return result;
        }
        result.error = GetLastError();
        if (result.attempts >= attempts || !retried(result.error))
            return result;
        Sleep(pauseMs);
    }
}

Written writeReplacing(const std::wstring& path, const std::string& bytes)
{
    static std::atomic<unsigned> serial{0};
    const std::wstring fresh =
        path + L".new-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++);
    Written result;
    {
        // Owner-only from its making: the password is never readable by others.
        std::vector<unsigned char> descriptor = ownerOnlyDescriptor();
        SECURITY_ATTRIBUTES security{sizeof security,
                                     descriptor.empty() ? nullptr : descriptor.data(), FALSE};
        Handle file{CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.value == INVALID_HANDLE_VALUE) {
            result.error = GetLastError();
            return result;
        }
        DWORD written = 0;
        const bool whole = bytes.size() <= MAXDWORD &&
                           WriteFile(file.value, bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &written, nullptr) &&
                           written == bytes.size() && FlushFileBuffers(file.value);
        if (!whole) {
            const DWORD error = GetLastError();
            result.error = error != 0 ? error : ERROR_WRITE_FAULT;
        }
    }
    if (result.error == 0) {
        // A drive may take the list and keep nothing: it counts once it reads back.
        result.accessError = checkOwnerOnly(fresh);
        const Replaced replaced = replaceFile(fresh, path, kReplaceAttempts, kReplacePauseMs);
        result.error = replaced.error;
        result.attempts = replaced.attempts;
    }
    if (result.error != 0)
        DeleteFileW(fresh.c_str());
    return result;
}

} // namespace lumora::win32
