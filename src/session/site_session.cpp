#include "session/site_session.h"

#include "page/course_page.h"
#include "page/login_form.h"
#include "platform/logging.h"

namespace lumora::session {

SiteSession::SiteSession(page::BrowserViews& views, records::StateKeeper& state,
                         platform::Dialogs& dialogs, platform::Clock& clock, QUrl loginPage)
    : m_views(views), m_state(state), m_dialogs(dialogs), m_loginPage(std::move(loginPage)),
      m_recovery(views, clock, m_loginPage, [this] { return submitSavedLogin(); })
{
    connect(&m_recovery, &SessionRecovery::notice, this, &SiteSession::notice);
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
        return refuse(QStringLiteral("用户名不能为空！"));
    if (credentials.password.isEmpty())
        return refuse(QStringLiteral("密码不能为空！"));

    fillLoginForm();
    m_state.save();
}

bool SiteSession::submitSavedLogin()
{
    const records::Credentials& credentials = m_state.credentials();
    if (credentials.userName.isEmpty() || credentials.password.isEmpty())
        return false;
    qCInfo(lcPage) << "logging in again as" << credentials.userName;
    fillLoginForm();
    return true;
}

void SiteSession::fillLoginForm()
{
    // A page that cannot be walked (no document yet) fills nothing.
    const records::Credentials& credentials = m_state.credentials();
    page::guarded([&] {
        page::PageAccess main(m_views.main());
        page::fillLoginForm(main, {credentials.userName, credentials.password,
                                   // the site's verification-code field takes any text
                                   QStringLiteral("ok")});
    });
}

void SiteSession::onMainPageLoaded()
{
    m_recovery.countMainPage();
    if (m_recovery.active())
        emit recoveryPageArrived();
    if (page::showsCoursePage(m_views.main())) {
        recordCourseFrame();
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
