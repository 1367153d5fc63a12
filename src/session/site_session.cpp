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
      m_recovery(views, clock, m_loginPage, [this] { return submitSavedLogin(); })
{
    connect(&m_recovery, &SessionRecovery::notice, this, &SiteSession::notice);
    connect(&m_views.main(), &platform::BrowserControl::alertShown, this,
            [this](const QString& text) { m_alert = text; });
}

QString SiteSession::captchaText()
{
    return tr("该网站登录需要验证码，请在左侧网页上登录，然后按“连续学习”");
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

void SiteSession::tellRefusal()
{
    m_submittedAtLoad = -1;
    QString said = m_alert.trimmed();
    if (said.isEmpty())
        said = page::refusalIn(m_views.main().pageText(kMaxPageText));
    m_captcha = page::blamesCaptcha(said);
    qCInfo(lcPage) << "the site refused the login:" << said;
    emit loginTrouble(m_captcha        ? captchaText()
                      : said.isEmpty() ? tr("网站没有接受登录，请检查用户名和密码。")
                                       : tr("网站没有接受登录：%1").arg(said));
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
