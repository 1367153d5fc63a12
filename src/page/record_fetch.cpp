#include "page/record_fetch.h"

#include "page/login_form.h"
#include "platform/logging.h"

namespace lumora::page {

void RecordFetch::start(const QUrl& address, const RecordReading& reading)
{
    m_reading = reading;
    m_rows.clear();
    m_seen.clear();
    m_pages = 0;
    m_complete = false;
    m_state = State::Reading;
    ask(address);
}

void RecordFetch::ask(const QUrl& address)
{
    m_asked = address;
    m_seen.insert(address);
    ++m_pages;
    m_ticket = m_main.fetch(address);
    if (m_ticket == 0)
        fail(QStringLiteral("the page could not ask for it"));
}

RecordFetch::State RecordFetch::fail(const QString& why)
{
    m_failure = QStringLiteral("%1 (page %2, %3)").arg(why).arg(m_pages).arg(m_asked.toString());
    m_state = State::Failed;
    return m_state;
}

RecordFetch::State RecordFetch::poll()
{
    if (m_state != State::Reading)
        return m_state;
    const platform::FetchAnswer answer = m_main.fetchAnswer(m_ticket);
    switch (answer.status) {
    case platform::FetchAnswer::Status::Pending:
        return m_state;
    case platform::FetchAnswer::Status::NoAnswer:
        return fail(QStringLiteral("no answer: ") + answer.error);
    case platform::FetchAnswer::Status::Unknown:
        return fail(QStringLiteral("the page that asked is gone"));
    case platform::FetchAnswer::Status::Answered:
        break;
    }
    // A record behind a sign-on elsewhere, an error, or the login page: no figures at all.
    if (answer.leftOrigin)
        return fail(QStringLiteral("sent to another site"));
    if (answer.httpStatus < 200 || answer.httpStatus >= 300)
        return fail(QStringLiteral("HTTP %1").arg(answer.httpStatus));
    if (isLoginPageHtml(answer.body))
        return fail(QStringLiteral("the login page came instead"));
    const QUrl base = answer.url.isEmpty() ? m_asked : answer.url;
    const RecordPage page = parseRecordPage(answer.body, base, m_reading);
    if (!page.hasTimeColumn) {
        if (m_pages == 1)
            return fail(QStringLiteral("no table of studied time on the page"));
        // A later page that lists no time: the record ends there, read in part.
        qCWarning(lcPage) << "page" << m_pages
                          << "of the study record lists no time:" << base.toString();
        m_state = State::Read;
        return m_state;
    }
    m_rows += page.rows;
    if (page.nextPage.isEmpty()) {
        m_complete = true;
        m_state = State::Read;
    } else if (m_pages >= kMaxPages || m_seen.contains(page.nextPage)) {
        qCWarning(lcPage) << "the study record goes on past page" << m_pages
                          << "; what follows is not read";
        m_state = State::Read;
    } else {
        ask(page.nextPage);
    }
    return m_state;
}

} // namespace lumora::page
