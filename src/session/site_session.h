#pragma once

// The site session: logging in with the learner's user name and password, recognising the
// site's course page (logged in) and its login page (logged out), and logging in again by
// itself when the session ends during a run.

#include "page/browser_views.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "records/state_keeper.h"
#include "session/session_recovery.h"

#include <QObject>
#include <QUrl>

namespace lumora::session {

class SiteSession final : public QObject
{
    Q_OBJECT
public:
    SiteSession(page::BrowserViews& views, records::StateKeeper& state, platform::Dialogs& dialogs,
                platform::Clock& clock, QUrl loginPage);

    // The site's login page: where the main view starts, and where logging in again begins.
    const QUrl& loginPage() const { return m_loginPage; }
    // Another site from now on ("网站地址…"): what was learnt of the old one is forgotten.
    void setLoginPage(const QUrl& loginPage);
    // What the learner sees when the site asks for a picture's code at login, or a slider.
    static QString captchaText() { return SessionRecovery::captchaText(); }
    static QString sliderText() { return SessionRecovery::sliderText(); }
    // The site's root: what asking whether the site is there runs no action on.
    QUrl siteRoot() const { return m_loginPage.resolved(QUrl(QStringLiteral("/"))); }
    // The course frame's address as the course page brought it (loaded with GET by the page
    // itself, once per load of the course page, so never a form's answer or a link followed
    // inside the frame since); empty before the course page showed.
    const QUrl& courseFrameAddress() const { return m_courseFrame; }

    // The credentials as the learner types them; they are saved with the state.
    void setUserName(const QString& userName)
    {
        m_state.setCredentials({userName, m_state.credentials().password});
    }
    void setPassword(const QString& password)
    {
        m_state.setCredentials({m_state.credentials().userName, password});
    }

    // "登录": checks that the boxes are filled, fills and submits the site's login form on the
    // page now shown, and saves the credentials, whether or not the site will take them. A site
    // known to ask for a picture's code gets the boxes filled, and the learner does the rest.
    void logIn();
    // A paused run needs the learner to log in.
    void offerLogin() { setLoginAvailable(true); }
    // Whether a study run is active (a login page then means logging in again, not "登录").
    void setRunActive(bool active) { m_runActive = active; }

    // A document finished loading in the main view, the top-level one or a frame's.
    void onMainPageLoaded();

    // Logging in again after the session ended during a run. A refusal pauses the run only
    // when the learner can answer it, naming what the site asks; a pause never blames the
    // password when the site asks for a picture's code.
    bool recovering() const { return m_recovery.active(); }
    RecoveryStep beginRecovery() { return reworded(m_recovery.begin()); }
    RecoveryStep continueRecovery() { return reworded(m_recovery.proceed()); }
    // A page arrived in the main view while logging in again: the step it completes.
    RecoveryStep continueRecoveryOnPage()
    {
        return reworded(m_recovery.proceed(SessionRecovery::Pace::PageLoaded));
    }
    void cancelRecovery() { m_recovery.cancel(); }

signals:
    // The course page showed: study and the category list may be used, "登录" may not.
    void coursePageRecognised();
    void loginAvailableChanged(bool available);
    // What the study panel says about logging in again (empty: nothing).
    void notice(const QString& text);
    // A page arrived in the main view while logging in again (continueRecoveryOnPage()).
    void recoveryPageArrived();
    // Why the site refused the last login, in its own words, or that it asks for a picture's
    // code or a slider; empty once logged in. A refusal for the site's own trouble while
    // logging in again is not told here: the run tries again by itself and says so.
    void loginTrouble(const QString& text);

private:
    // Whether "登录" is usable: until the course page shows, and again when the login page
    // comes back outside a run or a run pauses for the learner.
    void setLoginAvailable(bool available);
    void fillLoginForm();
    // Keeps the course frame's address, the first time the course page of a load shows.
    void recordCourseFrame();
    // Fills and submits the login form with the saved credentials; false when there are none,
    // or when the site asks for a picture's code.
    bool submitSavedLogin();
    // The site's refusal, the login page back after a submit: its alert or its page's words.
    page::Refusal readRefusal();
    // The login page came back after a submit: tells the site's answer.
    void tellRefusal();
    RecoveryStep reworded(RecoveryStep step) const;

    page::BrowserViews& m_views;
    records::StateKeeper& m_state;
    platform::Dialogs& m_dialogs;
    QUrl m_loginPage;
    bool m_loginAvailable = true;
    bool m_runActive = false;
    QUrl m_courseFrame;
    int m_courseFrameLoad = -1; // the main view's load whose course frame m_courseFrame is
    QString m_alert;            // the last alert() of the main view since a submit
    int m_submittedAtLoad = -1; // the main view's load a submit left; -1: no answer awaited
    bool m_captcha = false;     // the site asks for a picture's code
    SessionRecovery m_recovery;
};

} // namespace lumora::session
