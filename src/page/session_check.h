#pragma once

// Whether the site's session is alive, asked the way the site would see a learner's browser:
// the main view's page fetches its course frame's address again, with its own cookies. The
// site would not count that as study or as a lesson opened. The answer is the login page, or a
// redirect to it, when the session has ended.

#include "platform/browser_control.h"
#include "platform/clock.h"

#include <QUrl>
#include <chrono>

namespace lumora::page {

class SessionCheck
{
public:
    enum class Verdict
    {
        Unknown,  // nothing asked since the last verdict
        Alive,    // the course frame came back
        Ended,    // the login page came back
        NoAnswer, // no answer in time, or one that says nothing: no verdict on the session
    };

    // How long take() waits for an answer still on its way.
    static constexpr std::chrono::milliseconds kPatience{3000};

    SessionCheck(platform::BrowserControl& main, platform::Clock& clock, QUrl loginPage);

    // Asks once; a question still open is dropped (its answer would come too late).
    void ask();
    // The verdict on the last question, which is then closed: a verdict counts once. An answer
    // still on its way is waited for a little (other events wait meanwhile); a question not
    // answered then has NoAnswer.
    Verdict take();
    // Forgets the open question (its answer would be stale).
    void forget() { m_ticket = 0; }

private:
    platform::BrowserControl& m_main;
    platform::Clock& m_clock;
    QUrl m_loginPage;
    int m_ticket = 0;
    bool m_asked = false;
};

const char* verdictName(SessionCheck::Verdict verdict);

} // namespace lumora::page
