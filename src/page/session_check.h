#pragma once

// Whether the site's session is alive, asked the way the site would see a learner's browser:
// the main view's page fetches the course frame's address again, with its own cookies. The
// address is one the program itself loaded with GET (the course frame as it came after the
// login), never one the frame reached since: a form's answer or a one-time link would repeat
// an action. The site would not count that fetch as study or as a lesson opened.

#include "platform/browser_control.h"

#include <QUrl>
#include <chrono>
#include <functional>

namespace lumora::page {

class SessionCheck
{
public:
    enum class Verdict
    {
        Unknown, // nothing asked since the last verdict
        Alive,   // the course frame came back, its category links where the catalogue reads them
        Ended,   // the login page, a redirect to it or to another host, a page sending itself there
        NoAnswer, // no answer in time, or one that says nothing: no verdict on the session
    };

    // `address` gives the address to ask at each question (empty: none known yet, no verdict).
    SessionCheck(platform::BrowserControl& main, QUrl loginPage, std::function<QUrl()> address);

    // Asks once; a question still open is dropped (its answer would come too late).
    void ask();
    // The verdict on the last question, which is then closed: a verdict counts once. Nothing is
    // waited for: a question not answered yet has NoAnswer (asked most of a minute before, a
    // site that slow gives no verdict).
    Verdict take();
    // Forgets the open question (its answer would be stale).
    void forget() { m_ticket = 0; }

private:
    platform::BrowserControl& m_main;
    QUrl m_loginPage;
    std::function<QUrl()> m_address;
    QUrl m_asked;
    int m_ticket = 0;
    bool m_questioned = false;
};

// What the site's answer to a fetch of `asked` says of the session.
SessionCheck::Verdict sessionVerdict(const platform::FetchAnswer& answer, const QUrl& asked,
                                     const QUrl& loginPage);
// Whether the HTML text `html` holds the course frame: its category links at the places the
// catalogue clicks them.
bool holdsCourseFrame(const QString& html);
// Whether the HTML text `html` sends the browser to `loginPage` (resolved against `base`) by
// script or by a refresh.
bool sendsToLoginPage(const QString& html, const QUrl& base, const QUrl& loginPage);

const char* verdictName(SessionCheck::Verdict verdict);

} // namespace lumora::page
