// The Windows calls of the platform room, without Qt: built with MSVC on Windows and with
// mingw-w64 under Wine (scripts/test-win32.sh), which keeps sharing modes, access lists as
// stored data, token groups and command-line parsing as Windows does. The last line of output
// is "N passed, M failed".

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <aclapi.h>
#include <cstdio>
#include <sddl.h>
#include <shellapi.h>
#include <tuple>
#include <utility>
#include <vector>

using namespace lumora::win32;

namespace {

int g_failed = 0;

#define CHECK(condition) check((condition), #condition, __LINE__)

void check(bool ok, const char* what, int line)
{
    if (!ok && ++g_failed)
        std::printf("  line %d: %s\n", line, what);
}

std::wstring g_dir; // a fresh folder under the temporary one

std::wstring fileIn(const wchar_t* name)
{
    return g_dir + L"\\" + name;
}

// A handle another program would hold: `share` as it opened the file.
HANDLE hold(const std::wstring& path, DWORD share)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

PSID sid(const wchar_t* text)
{
    PSID result = nullptr;
    ConvertStringSidToSidW(text, &result);
    return result; // freed with the process
}

void fileStates_heldReplaceRetried()
{
    const std::wstring path = fileIn(L"boot.txt");
    CHECK(readFile(fileIn(L"none.txt")).state == FileState::Missing);
    CHECK(readFile(fileIn(L"none\\boot.txt")).state == FileState::Missing);
    CHECK(readFile(g_dir).state == FileState::NotAFile);
    CHECK(writeReplacing(path, "old").error == 0);
    CHECK(readFile(path).bytes == "old");
    // A log or sync client that shares everything keeps no one out.
    HANDLE held = hold(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    CHECK(readFile(path).state == FileState::Read);
    CloseHandle(held);
    held = hold(path, 0);
    CHECK(readFile(path).state == FileState::LockedForNow);
    // Held through every attempt: the old file stays whole and the new one goes.
    const Written refused = writeReplacing(path, "new");
    CHECK(refused.error != 0 && refused.attempts == 4);
    CloseHandle(held);
    CHECK(readFile(path).bytes == "old");
    WIN32_FIND_DATAW found;
    CHECK(FindFirstFileW(fileIn(L"boot.txt.new-*").c_str(), &found) == INVALID_HANDLE_VALUE);
    // Let go while the replace is retried (sharing reading and writing, as a scanner does); a
    // wide window of attempts, so that a busy machine cannot make the close come too late.
    CHECK(writeReplacing(fileIn(L"next.txt"), "new").error == 0);
    held = hold(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    const auto closeLater = [](void* handle) -> DWORD { return Sleep(100), CloseHandle(handle); };
    CloseHandle(CreateThread(nullptr, 0, closeLater, held, 0, nullptr));
    const Replaced replaced = replaceFile(fileIn(L"next.txt"), path, 100, 20);
    CHECK(replaced.error == 0 && replaced.attempts > 1);
    CHECK(readFile(path).bytes == "new");
}

void accessList_ownerAlone()
{
    // Written: one entry, full control for this user, not inherited from the folder.
    const std::vector<unsigned char> descriptor = ownerOnlyDescriptor();
    const std::optional<AccessList> list = accessListOf(descriptor.data());
    const AccessEntry owner{currentUserSid(), FILE_ALL_ACCESS, true, false};
    CHECK(!owner.sid.empty() && list && list->isProtected && list->entries == std::vector{owner});
    // Read back from the file: no one else let in, where a plain file lets everyone read.
    const std::wstring plain = fileIn(L"plain.txt"), secret = fileIn(L"secret.txt");
    CloseHandle(CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    CHECK(checkOwnerOnly(plain) != 0);
    const Written written = writeReplacing(secret, "pw");
    CHECK(written.error == 0 && written.accessError == 0 && checkOwnerOnly(secret) == 0);
}

void owner_tokenGroupsCount_otherUsersDoNot()
{
    HANDLE token = nullptr;
    CHECK(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token));
    PSID administrators = sid(L"S-1-5-32-544");
    PSID other = sid(L"S-1-5-21-1004336348-1177238915-682003330-1001");
    PSID self = sid(currentUserSid().c_str());
    CHECK(tokenHolder(token, self) == Holder::User && tokenHolder(token, other) == Holder::None);
    CHECK(tokenHolder(token, administrators) == Holder::Group);
    // As UAC filters an administrator's token: Administrators there for deny only.
    SID_AND_ATTRIBUTES disabled{administrators, 0};
    HANDLE filtered = nullptr;
    CHECK(CreateRestrictedToken(token, 0, 1, &disabled, 0, nullptr, 0, nullptr, &filtered));
    CHECK(tokenHolder(filtered, administrators) == Holder::DenyOnlyGroup);
    CHECK(ownerFor(filtered, administrators) == Owner::ThisUser);
    CHECK(ownerFor(filtered, other) == Owner::OtherUser &&
          ownerFor(filtered, nullptr) == Owner::Unknown);
    CloseHandle(filtered);
    CloseHandle(token);
    // Wine keeps no owner but the file's own user; Windows also gives files to groups.
    const std::wstring path = fileIn(L"owned.txt");
    CHECK(writeReplacing(path, "x").error == 0);
    CHECK(fileOwner(path) == Owner::ThisUser);
    CHECK(fileOwner(fileIn(L"none.txt")) == Owner::Unknown);
}

void restartLine_readBackAsGiven_tooLongRefused()
{
    const std::vector<std::vector<std::wstring>> cases = {
        {L"--site", L"https://s.example/a b", L"--resume"},
        {L"C:\\My Files\\", L"say \"hi\"", L"", L"a\\\\\"b", L"tab\there"},
        {L"--state-file", L"D:\\学习 资料\\boot.txt", L"张三"},
    };
    for (const std::vector<std::wstring>& arguments : cases) {
        const RestartLine restart = restartLine(arguments);
        CHECK(restart.refusal.empty());
        int count = 0;
        const std::wstring line = L"\"C:\\Program Files\\Lumora\\lumora.exe\" " + restart.line;
        LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
        CHECK(split && std::vector<std::wstring>(split + 1, split + count) == arguments);
        LocalFree(split);
    }
    // The terminating null counts: 1,023 characters are taken, 1,024 refused with the reason.
    CHECK(restartLine({std::wstring(1023, L'a')}).refusal.empty());
    const std::string refusal = restartLine({L"--site", std::wstring(1017, L'a')}).refusal;
    CHECK(refusal.find("1024 characters") != std::string::npos);
    CHECK(registerRestart({std::wstring(2000, L'x')}).has_value());
}

void codePages_credentialsSurvive()
{
    // A credential, then whether code pages 936 and 1252 hold it. What neither holds is written
    // as UTF-8 behind its mark, which the reader takes as UTF-8 whatever the code page.
    const std::tuple<std::wstring, bool, bool> cases[] = {
        {L"abc 123", true, true},      {L"张三密码", true, false}, {L"naïve", false, true},
        {L"密码 naïve", false, false}, {L"한국어", false, false},  {L"pw\U0001F600", false, false},
    };
    for (const auto& [text, in936, in1252] : cases) {
        const std::pair<unsigned, bool> pages[] = {{936, in936}, {1252, in1252}, {CP_UTF8, true}};
        for (const auto& [page, holds] : pages) {
            const std::optional<std::string> bytes = toCodePage(text, page);
            CHECK(bytes.has_value() == holds);
            if (bytes)
                CHECK(fromCodePage(*bytes, page) == text);
        }
    }
    CHECK(!toCodePage(std::wstring(1, wchar_t(0xDC00)), CP_UTF8)); // a lone surrogate
    // Files written by earlier versions on a Chinese Windows, read where the code page is UTF-8.
    CHECK(fromCodePage("li \xD5\xC5\xC8\xFD 7", CP_UTF8) == L"li 张三 7");
    CHECK(fromCodePage("\xD5\xC5\xC8\xFD", 936) == L"张三");
    CHECK(fromCodePage("\xE5\xBC\xA0\xE4\xB8\x89", CP_UTF8) == L"张三");
}

} // namespace

int main()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_dir = std::wstring(temp) + L"tst_win32-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(g_dir.c_str(), nullptr);
#define CASE(name) std::make_pair(#name, &name)
    const std::pair<const char*, void (*)()> cases[] = {
        CASE(fileStates_heldReplaceRetried), CASE(accessList_ownerAlone),
        CASE(owner_tokenGroupsCount_otherUsersDoNot),
        CASE(restartLine_readBackAsGiven_tooLongRefused), CASE(codePages_credentialsSurvive)};
    int passed = 0, failed = 0;
    for (const auto& [name, run] : cases) {
        const int before = g_failed;
        run();
        const bool ok = g_failed == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", name);
        ++(ok ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
