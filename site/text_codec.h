#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <string>
#include <utility>

// The site's text at its edges: page charsets (iconv, since Qt 6.4 has no GBK converter),
// form and query decoding, index parsing.
namespace lumora::site {

// "GBK" or "UTF-8" for a user-given name ("gbk", "utf-8", "utf8", any case); nullopt otherwise.
std::optional<QByteArray> normalizeCharset(const QByteArray& name);

// Encodes `text` in `charset`. A character the charset lacks becomes an HTML numeric
// character reference, as a browser does when it submits a form.
QByteArray encodeText(const QString& text, const QByteArray& charset);

// Decodes bytes in `charset`; undecodable bytes become U+FFFD.
QString decodeText(const QByteArray& bytes, const QByteArray& charset);

// Splits an application/x-www-form-urlencoded body (or a query) into name/value pairs of
// percent-decoded bytes, in order; '+' is a space, a '%' without two hex digits stays as it is.
QList<std::pair<QByteArray, QByteArray>> parseFormBytes(const QByteArray& body);

// A non-negative decimal index (at most six digits, nothing else).
std::optional<int> parseIndex(const QString& text);

// True for 127.0.0.0/8, ::1 and IPv4-mapped 127.0.0.0/8 addresses in textual form.
bool isLoopbackAddress(const std::string& address);

} // namespace lumora::site
