#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Text helpers of the site: charset conversion through iconv, form decoding, escaping.
namespace lumora::site {

// Maps a user-given charset name ("gbk", "GBK", "utf-8", "utf8") to the name the site uses in
// headers and for iconv ("GBK" or "UTF-8"); nullopt for anything else.
std::optional<std::string> normalizeCharset(std::string_view name);

// Encodes UTF-8 text in `charset`. A character the charset lacks becomes an HTML numeric
// character reference, as a browser does when it submits a form; a broken UTF-8 sequence
// becomes '?'.
std::string encodeFromUtf8(std::string_view utf8, const std::string& charset);

// Decodes bytes in `charset` to UTF-8; undecodable bytes become U+FFFD.
std::string decodeToUtf8(std::string_view bytes, const std::string& charset);

// Returns `text` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view text);

// Percent-decodes one component of a query or form body; '+' becomes a space. A '%' not
// followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text);

// Splits an application/x-www-form-urlencoded body (or a query) into name/value pairs of raw,
// percent-decoded bytes, in order.
std::vector<std::pair<std::string, std::string>> parseFormBytes(std::string_view body);

// Parses a non-negative decimal index (at most six digits, nothing else).
std::optional<int> parseIndex(std::string_view text);

std::string htmlEscape(std::string_view text);

// Returns `text` as a quoted JSON string; `text` must be valid UTF-8.
std::string jsonString(std::string_view text);

// True for 127.0.0.0/8, ::1 and IPv4-mapped 127.0.0.0/8 addresses in textual form.
bool isLoopbackAddress(const std::string& address);

} // namespace lumora::site
