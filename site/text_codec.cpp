#include "text_codec.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <cerrno>
#include <iconv.h>

namespace lumora::site {

namespace {

// Runs iconv over `input`. At an unconvertible or incomplete sequence `onError` gets the rest
// of the input, appends a substitute to the output and returns how many bytes to skip (>= 1).
template <typename OnError>
QByteArray convert(const QByteArray& input, const char* to, const char* from, OnError onError)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        qWarning("lumora-site: iconv cannot convert %s to %s", from, to);
        return input;
    }
    QByteArray out;
    out.reserve(input.size() * 2 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(input.constData());
    std::size_t inLeft = static_cast<std::size_t>(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL: substitute and step over the offending bytes.
        const std::size_t skip = onError(QByteArrayView(in, static_cast<qsizetype>(inLeft)), out);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::optional<QByteArray> normalizeCharset(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    if (lower == "gbk") {
        return QByteArray("GBK");
    }
    if (lower == "utf-8" || lower == "utf8") {
        return QByteArray("UTF-8");
    }
    return std::nullopt;
}

QByteArray encodeText(const QString& text, const QByteArray& charset)
{
    if (charset == "UTF-8") {
        return text.toUtf8();
    }
    // toUtf8() gives valid UTF-8, so an error is a whole character the charset lacks.
    return convert(text.toUtf8(), charset.constData(), "UTF-8",
                   [](QByteArrayView rest, QByteArray& out) {
                       const auto lead = static_cast<unsigned char>(rest.front());
                       const qsizetype length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
                       const char32_t cp = QString::fromUtf8(rest.first(length)).toUcs4().value(0);
                       out += "&#" + QByteArray::number(static_cast<quint32>(cp)) + ';';
                       return static_cast<std::size_t>(length);
                   });
}

QString decodeText(const QByteArray& bytes, const QByteArray& charset)
{
    if (charset == "UTF-8") {
        return QString::fromUtf8(bytes);
    }
    return QString::fromUtf8(
        convert(bytes, "UTF-8", charset.constData(), [](QByteArrayView, QByteArray& out) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            return std::size_t{1};
        }));
}

QList<std::pair<QByteArray, QByteArray>> parseFormBytes(const QByteArray& body)
{
    // fromPercentEncoding() decodes "%zz" into a byte as well; such a '%' stays a '%'.
    static const QRegularExpression strayPercent(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    const auto decode = [](QByteArray part) {
        part.replace('+', ' ');
        if (part.contains('%')) {
            part =
                QString::fromLatin1(part).replace(strayPercent, QStringLiteral("%25")).toLatin1();
        }
        return QByteArray::fromPercentEncoding(part);
    };
    QList<std::pair<QByteArray, QByteArray>> fields;
    for (const QByteArray& item : body.split('&')) {
        if (item.isEmpty()) {
            continue;
        }
        const qsizetype eq = item.indexOf('=');
        fields.emplace_back(decode(item.left(eq < 0 ? item.size() : eq)),
                            eq < 0 ? QByteArray() : decode(item.mid(eq + 1)));
    }
    return fields;
}

std::optional<int> parseIndex(const QString& text)
{
    static const QRegularExpression digits(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,6}")));
    if (!digits.match(text).hasMatch()) {
        return std::nullopt;
    }
    return text.toInt();
}

bool isLoopbackAddress(const std::string& address)
{
    QHostAddress host;
    return host.setAddress(QString::fromStdString(address)) && host.isLoopback();
}

} // namespace lumora::site
