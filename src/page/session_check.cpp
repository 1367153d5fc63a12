#include "page/session_check.h"

#include "page/course_page.h"
#include "page/login_form.h"
#include "platform/logging.h"

#include <QRegularExpression>
#include <algorithm>

namespace lumora::page {

using Verdict = SessionCheck::Verdict;

SessionCheck::SessionCheck(platform::BrowserControl& main, QUrl loginPage,
                           std::function<QUrl()> address)
    : m_main(main), m_loginPage(std::move(loginPage)), m_address(std::move(address))
{
}

void SessionCheck::ask()
{
    m_questioned = true;
    m_asked = m_address ? m_address() : QUrl();
    m_ticket = m_asked.isValid() ? m_main.fetch(m_asked) : 0;
    if (m_ticket == 0)
        qCDebug(lcPage) << "the session could not be asked at" << m_asked.toDisplayString();
}

Verdict SessionCheck::take()
{
    if (!std::exchange(m_questioned, false))
        return Verdict::Unknown;
    if (m_ticket == 0)
        return Verdict::NoAnswer;
    const platform::FetchAnswer answer = m_main.fetchAnswer(std::exchange(m_ticket, 0));
    const Verdict verdict = sessionVerdict(answer, m_asked, m_loginPage);
    if (verdict == Verdict::NoAnswer)
        qCDebug(lcPage) << "no verdict on the session:" << int(answer.status) << answer.httpStatus
                        << answer.url.toDisplayString() << answer.error;
    return verdict;
}

namespace {

bool sameHost(const QUrl& a, const QUrl& b)
{
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0;
}

bool isLoginAddress(const QUrl& url, const QUrl& site, const QUrl& loginPage)
{
    return (url.host().isEmpty() || sameHost(url, site)) &&
           url.path().compare(loginPage.path(), Qt::CaseInsensitive) == 0;
}

} // namespace

Verdict sessionVerdict(const platform::FetchAnswer& answer, const QUrl& asked,
                       const QUrl& loginPage)
{
    if (answer.status != platform::FetchAnswer::Status::Answered)
        return Verdict::NoAnswer;
    // A sign-on on another host: the engine shows neither its address nor its text.
    if (answer.leftOrigin || (answer.redirected && !sameHost(answer.url, asked)))
        return Verdict::Ended;
    // The site's trouble, not the session's.
    if (answer.httpStatus >= 500)
        return Verdict::NoAnswer;
    if (answer.redirected && isLoginAddress(answer.url, asked, loginPage))
        return Verdict::Ended;
    if (answer.httpStatus >= 200 && answer.httpStatus < 300 && holdsCourseFrame(answer.body))
        return Verdict::Alive;
    const QUrl base = answer.url.isEmpty() ? asked : answer.url;
    if (isLoginPageHtml(answer.body) || sendsToLoginPage(answer.body, base, loginPage))
        return Verdict::Ended;
    return Verdict::NoAnswer;
}

bool holdsCourseFrame(const QString& html)
{
    // What a browser would not make elements of: comments, scripts, styles.
    static const QRegularExpression inert(
        QStringLiteral(R"(<!--.*?-->|<script\b.*?</script\s*>|<style\b.*?</style\s*>)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    // A link's text runs to its end tag or to the next link.
    static const QRegularExpression link(QStringLiteral(R"(<a\b[^>]*>(.*?)(?=</a\s*>|<a\b|$))"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString visible = html;
    visible.remove(inert);
    QStringList texts;
    for (QRegularExpressionMatchIterator it = link.globalMatch(visible); it.hasNext();)
        texts.append(it.next().captured(1).remove(tag));
    const QList<int> table = categoryLinkTable();
    return std::all_of(table.begin(), table.end(), [&](int at) {
        return at < texts.size() && texts.at(at).contains(categoryLinkText());
    });
}

bool sendsToLoginPage(const QString& html, const QUrl& base, const QUrl& loginPage)
{
    static const QRegularExpression navigates(
        QStringLiteral(R"(\blocation\b|http-equiv\s*=\s*["']?refresh)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!navigates.match(html).hasMatch())
        return false;
    // Every quoted address and every refresh target: one of them is the login page's.
    static const QRegularExpression address(
        QStringLiteral(R"re((["'])([^"'\s<>]{1,2048})\1|\burl\s*=\s*["']?([^"'\s<>;]+))re"),
        QRegularExpression::CaseInsensitiveOption);
    // A refresh's whole content may be quoted: "0;url=/login".
    static const QRegularExpression refreshDelay(QStringLiteral(R"(^\d*\s*[;,]\s*url\s*=\s*)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    for (QRegularExpressionMatchIterator it = address.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString written = m.captured(2) + m.captured(3);
        const QUrl target = base.resolved(QUrl(written.remove(refreshDelay)));
        if (isLoginAddress(target, base, loginPage))
            return true;
    }
    return false;
}

const char* verdictName(SessionCheck::Verdict verdict)
{
    switch (verdict) {
    case SessionCheck::Verdict::Unknown:
        return "unknown";
    case SessionCheck::Verdict::Alive:
        return "alive";
    case SessionCheck::Verdict::Ended:
        return "ended";
    case SessionCheck::Verdict::NoAnswer:
        return "no answer";
    }
    return "?";
}

} // namespace lumora::page
