#include "page/session_check.h"

#include "page/login_form.h"
#include "page/page_access.h"
#include "platform/logging.h"

#include <algorithm>

namespace lumora::page {

SessionCheck::SessionCheck(platform::BrowserControl& main, platform::Clock& clock, QUrl loginPage)
    : m_main(main), m_clock(clock), m_loginPage(std::move(loginPage))
{
}

void SessionCheck::ask()
{
    m_asked = true;
    m_ticket = m_main.fetchAgain(kCourseFrame);
    if (m_ticket == 0)
        qCDebug(lcPage) << "the main view could not ask for its course frame again";
}

SessionCheck::Verdict SessionCheck::take()
{
    if (!std::exchange(m_asked, false))
        return Verdict::Unknown;
    if (m_ticket == 0)
        return Verdict::NoAnswer;
    const int ticket = std::exchange(m_ticket, 0);
    platform::FetchAnswer answer = m_main.fetchAnswer(ticket);
    const std::chrono::milliseconds deadline = m_clock.now() + kPatience;
    while (answer.status == platform::FetchAnswer::Status::Pending && m_clock.now() < deadline) {
        m_clock.processEventsUntil(
            std::min(m_clock.now() + std::chrono::milliseconds(50), deadline));
        answer = m_main.fetchAnswer(ticket);
    }
    if (answer.status != platform::FetchAnswer::Status::Answered) {
        qCDebug(lcPage) << "no answer about the session:" << int(answer.status) << answer.error;
        return Verdict::NoAnswer;
    }
    const bool atLoginPage = answer.url.path() == m_loginPage.path();
    if ((answer.redirected && atLoginPage) || isLoginPageHtml(answer.body))
        return Verdict::Ended;
    // An error status is the site's, not the session's: no verdict.
    return answer.httpStatus >= 200 && answer.httpStatus < 400 ? Verdict::Alive : Verdict::NoAnswer;
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
