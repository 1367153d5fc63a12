#include "session/site_session.h"

#include "page/course_page.h"
#include "page/login_form.h"
#include "platform/logging.h"

namespace lumora::session {

namespace {
// Enough of a login page's text to hold its answer.
constexpr int kMaxPageText = 4000;
} // namespace

SiteSession::SiteSession(page::BrowserViews& views, records::StateKeeper& state,
                         platform::Dialogs& dialogs, platform::Clock& clock, QUrl loginPage)
    : m_views(views), m_state(state), m_dialogs(dialogs), m_loginPage(std::move(loginPage)),
      m_recovery(
          views, clock, m_loginPage, [this] { return submitSavedLogin(); },
          [this] { return readRefusal(); })
{
    connect(&m_recovery, &SessionRecovery::notice, this, &SiteSession::notice);
    connect(&m_views.main(), &platform::BrowserControl::alertShown, this,
            [this](const QString& text) { m_alert = text; });
}

void SiteSession::setLoginPage(const QUrl& loginPage)
{
    m_recovery.cancel();
    m_loginPage = loginPage;
    m_captcha = false;
    m_submittedAtLoad = -1;
    m_courseFrame.clear();
    setLoginAvailable(true);
    emit loginTrouble({});
}

void SiteSession::logIn()
{
    // Blanks are content: only a box with no character at all is empty.
    const auto refuse = [this](const QString& text) {
        m_dialogs.message(text, QString::fromUtf8(platform::kProgramTitle),
                          platform::MessageIcon::None);
    };
    const records::Credentials& credentials = m_state.credentials();
    if (credentials.userName.isEmpty())
        return refuse(tr("用户名不能为空！"));
    if (credentials.password.isEmpty())
        return refuse(tr("密码不能为空！"));

    if (m_captcha)
        emit loginTrouble(captchaText());
    fillLoginForm();
    m_state.save();
}

bool SiteSession::submitSavedLogin()
{
    const records::Credentials& credentials = m_state.credentials();
    if (credentials.userName.isEmpty() || credentials.password.isEmpty() || m_captcha)
        return false;
    qCInfo(lcPage) << "logging in again as" << credentials.userName;
    fillLoginForm();
    return true;
}

void SiteSession::fillLoginForm()
{
    // A page that cannot be walked (no document yet) fills nothing.
    const records::Credentials& credentials = m_state.credentials();
    if (!m_captcha) {
        m_alert.clear();
        m_submittedAtLoad = m_views.main().lastLoad().serial;
    }
    page::guarded([&] {
        page::PageAccess main(m_views.main());
        page::fillLoginForm(main, {credentials.userName, credentials.password,
                                   // the usual site's verification-code field takes any text
                                   QStringLiteral("ok"), !m_captcha});
    });
}

page::Refusal SiteSession::readRefusal()
{
    return page::readRefusal(m_alert, m_views.main().pageText(kMaxPageText));
}

void SiteSession::tellRefusal()
{
    m_submittedAtLoad = -1;
    const page::Refusal refusal = readRefusal();
    m_captcha = refusal.kind == page::RefusalKind::Code;
    qCInfo(lcPage) << "the site refused the login:" << refusal.words;
    QString text;
    switch (refusal.kind) {
    case page::RefusalKind::Code:
        text = captchaText();
        break;
    case page::RefusalKind::Slider:
        text = sliderText();
        break;
    case page::RefusalKind::SiteTrouble:
        if (m_recovery.active())
            return; // the recovery tries again later, and its notice says why
        [[fallthrough]];
    case page::RefusalKind::Credentials:
        text = refusal.words.isEmpty() ? tr("网站没有接受登录，请检查用户名和密码。")
                                       : tr("网站没有接受登录：%1").arg(refusal.words);
        break;
    }
    emit loginTrouble(text);
}

RecoveryStep SiteSession::reworded(RecoveryStep step) const
{
    if (m_captcha && step.result == RecoveryStep::Result::Paused)
        step.why = captchaText();
    return step;
}

void SiteSession::onMainPageLoaded()
{
    // The answer to a submit is a later load than the one the submit was made on.
    if (m_submittedAtLoad >= 0 && m_views.main().lastLoad().serial > m_submittedAtLoad &&
        page::showsLoginPage(m_views.main()))
        tellRefusal();
    m_recovery.countMainPage();
    if (m_recovery.active())
        emit recoveryPageArrived();
    if (page::showsCoursePage(m_views.main())) {
        recordCourseFrame();
        m_submittedAtLoad = -1;
        emit loginTrouble({});
        emit coursePageRecognised();
        setLoginAvailable(false);
        return;
    }
    // Outside a run, the site's login page back in place of the course page (an ended session,
    // a cleared profile) makes "登录" usable again; during a run the study tick logs in itself.
    if (!m_loginAvailable && !m_runActive && page::showsLoginPage(m_views.main()))
        setLoginAvailable(true);
}

void SiteSession::recordCourseFrame()
{
    const int load = m_views.main().lastLoad().serial;
    if (load == m_courseFrameLoad)
        return; // the frame may have moved on since: its first address stays
    const QUrl frame = m_views.main().document(page::kCourseFrame).url;
    if (!frame.isValid() || !frame.scheme().startsWith(QLatin1String("http")))
        return; // not a document the site sent (about:blank, no answer)
    m_courseFrame = frame.adjusted(QUrl::RemoveFragment);
    m_courseFrameLoad = load;
    qCDebug(lcPage) << "the course frame is at" << m_courseFrame.toDisplayString();
}

void SiteSession::setLoginAvailable(bool available)
{
    m_loginAvailable = available;
    emit loginAvailableChanged(available);
}

} // namespace lumora::session
