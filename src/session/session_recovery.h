#pragma once

// Logging in again when the site's session ends during a run: the main view is sent to the
// login page, the saved user name and password are submitted through the same fill as "登录",
// and the course page coming back means the run can resume where it was. Attempts that fail
// back off (30 s, 1 min, 2 min ... 10 min), and so does a refusal for the site's own trouble
// (maintenance, a login elsewhere, too many tries), told in its words; a refusal only the
// learner can answer (the credentials, a picture's code, a slider) ends the attempt, and the
// run pauses instead. Each step follows the page it waited for as soon as it arrives; the
// study ticks start attempts, judge failures and give up on pages that do not come.

#include "page/browser_views.h"
#include "page/login_form.h"
#include "platform/clock.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

namespace lumora::session {

// What a step of the recovery came to.
struct RecoveryStep
{
    enum class Result
    {
        Working,  // nothing to do for the run yet (a refused attempt waits to try again)
        LoggedIn, // the course page is back: resume the run
        Paused,   // the learner has to act: pause the run, telling why
    };
    Result result = Result::Working;
    QString why; // for Paused, in the learner's words
};

class SessionRecovery final : public QObject
{
    Q_OBJECT
public:
    // Fills and submits the login form with the saved credentials; false when none are saved.
    using SubmitSavedLogin = std::function<bool()>;
    // What the site says now, the login page back after a submit: why it refused.
    using ReadRefusal = std::function<page::Refusal()>;

    // Ticks to wait for a page after a step before the attempt counts as failed (about three
    // minutes of ticks).
    static constexpr int kPatienceTicks = 10;

    // `loginPage` is the session's, which changes with the site's address.
    SessionRecovery(page::BrowserViews& views, platform::Clock& clock, const QUrl& loginPage,
                    SubmitSavedLogin submit, ReadRefusal readRefusal);

    // What the learner reads when the site asks at login for what only they can give: a
    // picture's code, or a slider to drag.
    static QString captchaText();
    static QString sliderText();

    bool active() const { return m_step != Step::Idle; }
    // Starts over at the first step and takes it at once.
    RecoveryStep begin();
    enum class Pace
    {
        Tick,       // a study tick: any step whose time has come, failures judged
        PageLoaded, // a main-view page arrived: only a step that page completes
    };
    // Takes the next step whose time has come.
    RecoveryStep proceed(Pace pace = Pace::Tick);
    // Forgets the attempt (the run started again, paused or ended).
    void cancel();
    // A document finished loading in the main view.
    void countMainPage() { ++m_mainPageLoads; }

signals:
    // What the study panel says about it (empty: nothing).
    void notice(const QString& text);

private:
    enum class Step
    {
        Idle,
        Attempt,          // at the next tick whose time has come: log in
        OpeningLoginPage, // the main view was sent to the login page
        LoginSubmitted,   // the saved credentials were submitted
    };
    void stepTo(Step step);
    RecoveryStep submit();
    // The login page came back after the submit: the site refused, for `refusal`'s reason.
    RecoveryStep refused(const page::Refusal& refusal);
    // Logged as `why`; the notice gives `siteSays` when the site said why.
    RecoveryStep retryLater(const QString& why, const QString& siteSays = {});
    RecoveryStep finish(RecoveryStep::Result result, const QString& why = {});

    page::BrowserViews& m_views;
    platform::Clock& m_clock;
    const QUrl& m_loginPage;
    SubmitSavedLogin m_submit;
    ReadRefusal m_readRefusal;
    Step m_step = Step::Idle;
    int m_failedAttempts = 0;
    std::chrono::milliseconds m_nextAttemptAt{0};
    int m_mainPageLoads = 0; // documents completed in the main view so far
    int m_loadsAtStep = 0;   // ... when the step began
    int m_ticksInStep = 0;
};

// How long to wait before the next attempt to log in again after `failedAttempts` failed ones:
// 30 s, 1 min, 2 min, 4 min ... at most 10 min.
std::chrono::milliseconds loginRetryDelay(int failedAttempts);

} // namespace lumora::session
