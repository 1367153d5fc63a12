#pragma once

// The program's other Windows calls, free of Qt so that tst_win32 runs them under Wine: the
// restart registration's command line, the code pages of the state file and staying awake.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::win32 {

// RESTART_MAX_CMD_LINE: RegisterApplicationRestart's limit, the terminating null included.
constexpr std::size_t kRestartLineLimit = 1024;

// `arguments` as one command line, each quoted so that CommandLineToArgvW (and the C runtime)
// reads it back as given.
std::wstring commandLine(const std::vector<std::wstring>& arguments);

struct RestartLine
{
    std::wstring line;
    std::string refusal; // why the line cannot be registered; empty when it can
};

// The line RegisterApplicationRestart is given for `arguments` (the program's path is its own).
RestartLine restartLine(const std::vector<std::wstring>& arguments);

// Registers the program to be started again with `arguments`; the reason when it was not.
std::optional<std::string> registerRestart(const std::vector<std::wstring>& arguments);
void unregisterRestart();

// The system's ANSI code page: 936 on a Chinese Windows, 1252 on a western one, 65001 with the
// system-wide UTF-8 option.
unsigned systemCodePage();

// `text` in `codePage`; nothing when that code page cannot hold every character of it (no
// "best fit" stand-ins: a password must come back as it was).
std::optional<std::string> toCodePage(std::wstring_view text, unsigned codePage);

// `bytes` read in `codePage`. Where that is UTF-8, bytes that are not valid UTF-8 are read as
// GB18030: state files written by earlier versions on a Chinese Windows hold GBK, which GB18030
// contains.
std::wstring fromCodePage(std::string_view bytes, unsigned codePage);

// Asks that the system not sleep while `on`; the system's error, 0 when it took the request.
unsigned long keepSystemAwake(bool on);

} // namespace lumora::win32
