#include "text_codec.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <netinet/in.h>

namespace lumora::site {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the valid UTF-8 sequence at the start of `s`, 0 when it is not valid.
std::size_t validUtf8Length(std::string_view s, char32_t* codePoint = nullptr)
{
    if (s.empty()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        if (codePoint != nullptr) {
            *codePoint = b0;
        }
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    if (codePoint != nullptr) {
        *codePoint = cp;
    }
    return length;
}

// Runs iconv over `input`. `onError` is called at an unconvertible or incomplete sequence
// with the remaining input; it appends a substitute to the output and returns how many input
// bytes to skip (at least one).
template <typename OnError>
std::string convert(std::string_view input, const char* to, const char* from, OnError onError)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(input);
    }
    std::string out;
    out.reserve(input.size() * 2 + 16);
    std::string buffer(4096, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL: substitute and step over the offending bytes.
        const std::size_t skip = onError(std::string_view(in, inLeft), out);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::optional<std::string> normalizeCharset(std::string_view name)
{
    std::string lower;
    for (char c : name) {
        lower += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    if (lower == "gbk") {
        return std::string("GBK");
    }
    if (lower == "utf-8" || lower == "utf8") {
        return std::string("UTF-8");
    }
    return std::nullopt;
}

std::string encodeFromUtf8(std::string_view utf8, const std::string& charset)
{
    if (charset == "UTF-8") {
        return sanitizeUtf8(utf8);
    }
    return convert(utf8, charset.c_str(), "UTF-8", [](std::string_view rest, std::string& out) {
        char32_t cp = 0;
        const std::size_t length = validUtf8Length(rest, &cp);
        if (length == 0) {
            out += '?';
            return std::size_t{1};
        }
        out += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ";";
        return length;
    });
}

std::string decodeToUtf8(std::string_view bytes, const std::string& charset)
{
    if (charset == "UTF-8") {
        return sanitizeUtf8(bytes);
    }
    return convert(bytes, "UTF-8", charset.c_str(), [](std::string_view, std::string& out) {
        out += kReplacement;
        return std::size_t{1};
    });
}

std::string sanitizeUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = validUtf8Length(text);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseFormBytes(std::string_view body)
{
    std::vector<std::pair<std::string, std::string>> fields;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view item = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        if (item.empty()) {
            continue;
        }
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            fields.emplace_back(percentDecode(item), std::string());
        } else {
            fields.emplace_back(percentDecode(item.substr(0, eq)),
                                percentDecode(item.substr(eq + 1)));
        }
    }
    return fields;
}

std::optional<int> parseIndex(std::string_view text)
{
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string jsonString(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += kHex[u >> 4];
                out += kHex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

bool isLoopbackAddress(const std::string& address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) {
            return true;
        }
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

} // namespace lumora::site
