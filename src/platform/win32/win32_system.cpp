#include "platform/win32/win32_system.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <limits>

namespace lumora::win32 {

namespace {

constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

bool fitsInt(std::size_t size)
{
    return size <= static_cast<std::size_t>((std::numeric_limits<int>::max)());
}

std::optional<std::wstring> decoded(std::string_view bytes, UINT codePage, DWORD flags)
{
    if (bytes.empty())
        return std::wstring();
    if (!fitsInt(bytes.size()))
        return std::nullopt;
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), size, text.data(), length) != length)
        return std::nullopt;
    return text;
}

} // namespace

std::wstring commandLine(const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty())
            line += L' ';
        if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
            line += argument;
            continue;
        }
        // Backslashes count only before a quote: doubled there, and one more escapes the quote.
        line += L'"';
        std::size_t backslashes = 0;
        for (const wchar_t c : argument) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
            line += c;
            backslashes = 0;
        }
        line.append(2 * backslashes, L'\\');
        line += L'"';
    }
    return line;
}

RestartLine restartLine(const std::vector<std::wstring>& arguments)
{
    RestartLine result{commandLine(arguments), {}};
    if (result.line.size() + 1 > kRestartLineLimit)
        result.refusal = "the restart command line has " + std::to_string(result.line.size()) +
                         " characters; Windows takes at most " +
                         std::to_string(kRestartLineLimit - 1);
    return result;
}

std::optional<std::string> registerRestart(const std::vector<std::wstring>& arguments)
{
    const RestartLine line = restartLine(arguments);
    if (!line.refusal.empty())
        return line.refusal;
    const HRESULT result = RegisterApplicationRestart(line.line.c_str(), 0);
    if (SUCCEEDED(result))
        return std::nullopt;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    return std::string("RegisterApplicationRestart failed (error ") + code + ")";
}

void unregisterRestart()
{
    UnregisterApplicationRestart();
}

unsigned systemCodePage()
{
    return GetACP();
}

std::optional<std::string> toCodePage(std::wstring_view text, unsigned codePage)
{
    if (text.empty())
        return std::string();
    if (!fitsInt(text.size()))
        return std::nullopt;
    const int size = static_cast<int>(text.size());
    // UTF-8 takes no best-fit flag but refuses a lone surrogate; the others may not say what
    // they replaced, so what is written must read back the same.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int length =
        WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, nullptr,
                            nullptr) != length)
        return std::nullopt;
    const std::optional<std::wstring> back = decoded(bytes, codePage, 0);
    if (!back || *back != text)
        return std::nullopt;
    return bytes;
}

std::wstring fromCodePage(std::string_view bytes, unsigned codePage)
{
    if (codePage == CP_UTF8) {
        if (std::optional<std::wstring> text = decoded(bytes, CP_UTF8, MB_ERR_INVALID_CHARS))
            return *text;
        if (std::optional<std::wstring> text = decoded(bytes, kGb18030, 0))
            return *text;
        // A system without GB18030 (Wine) still has GBK, which holds every Chinese character.
        if (std::optional<std::wstring> text = decoded(bytes, kGbk, 0))
            return *text;
    }
    return decoded(bytes, codePage, 0).value_or(std::wstring());
}

unsigned long keepSystemAwake(bool on)
{
    // The calling thread's state: the display may still turn off. Windows keeps no reason.
    const EXECUTION_STATE state = on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS;
    return SetThreadExecutionState(state) != 0 ? 0 : GetLastError();
}

} // namespace lumora::win32
