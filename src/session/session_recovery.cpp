#include "session/session_recovery.h"

#include "page/course_page.h"
#include "page/login_form.h"
#include "platform/logging.h"
#include "records/timetable.h"

#include <algorithm>

namespace lumora::session {

namespace {

QString waitText(std::chrono::milliseconds delay)
{
    if (delay < std::chrono::minutes(1))
        return SessionRecovery::tr("%1 秒").arg(delay.count() / 1000);
    return records::formatDuration(static_cast<int>(delay.count() / 60000));
}

} // namespace

SessionRecovery::SessionRecovery(page::BrowserViews& views, platform::Clock& clock,
                                 const QUrl& loginPage, SubmitSavedLogin submit,
                                 ReadRefusal readRefusal)
    : m_views(views), m_clock(clock), m_loginPage(loginPage), m_submit(std::move(submit)),
      m_readRefusal(std::move(readRefusal))
{
}

QString SessionRecovery::captchaText()
{
    return tr("该网站登录需要验证码，请在左侧网页上登录，然后按“连续学习”");
}

QString SessionRecovery::sliderText()
{
    return tr("该网站登录需要拖动滑块验证，请在左侧网页上登录，然后按“连续学习”");
}

void SessionRecovery::cancel()
{
    m_step = Step::Idle;
    m_failedAttempts = 0;
    m_nextAttemptAt = {};
    m_loadsAtStep = 0;
    m_ticksInStep = 0;
}

void SessionRecovery::stepTo(Step step)
{
    m_step = step;
    m_loadsAtStep = m_mainPageLoads;
    m_ticksInStep = 0;
}

RecoveryStep SessionRecovery::begin()
{
    cancel();
    stepTo(Step::Attempt);
    emit notice(tr("登录已失效，正在重新登录"));
    return proceed();
}

RecoveryStep SessionRecovery::proceed(Pace pace)
{
    if (m_clock.now() < m_nextAttemptAt)
        return {};
    platform::BrowserControl& main = m_views.main();
    const bool complete = main.readyState() == platform::ReadyState::Complete;
    const bool newPage = m_mainPageLoads > m_loadsAtStep;
    if (pace == Pace::PageLoaded) {
        // Only a page that plainly completes a step is acted on here; anything doubtful (a
        // failed load, the login page after the submit) is the tick's to judge.
        if (m_step == Step::Idle || m_step == Step::Attempt || !complete || !newPage ||
            main.lastLoad().outcome != platform::LoadOutcome::Succeeded)
            return {};
        if (page::showsCoursePage(main))
            return finish(RecoveryStep::Result::LoggedIn);
        if (m_step == Step::OpeningLoginPage && page::showsLoginPage(main))
            return submit();
        return {};
    }

    if (m_step == Step::Attempt) {
        // A page that came after an earlier attempt gave up may be the course page already.
        if (complete && newPage && page::showsCoursePage(main))
            return finish(RecoveryStep::Result::LoggedIn);
        if (complete && page::showsLoginPage(main))
            return submit();
        stepTo(Step::OpeningLoginPage);
        main.navigate(m_loginPage);
        return {};
    }
    // Judge only a page that arrived since the last step.
    if (!complete || !newPage) {
        if (++m_ticksInStep >= kPatienceTicks)
            return retryLater(QStringLiteral("no page arrived"));
        return {};
    }
    const platform::LoadInfo load = main.lastLoad();
    if (load.outcome != platform::LoadOutcome::Succeeded)
        return retryLater(load.error.isEmpty() ? QStringLiteral("the page failed to load")
                                               : load.error);
    if (page::showsCoursePage(main))
        return finish(RecoveryStep::Result::LoggedIn);
    if (!page::showsLoginPage(main))
        return retryLater(QStringLiteral("neither the login page nor the course page"));
    if (m_step == Step::OpeningLoginPage)
        return submit();
    return refused(m_readRefusal());
}

RecoveryStep SessionRecovery::submit()
{
    if (!m_submit())
        return finish(RecoveryStep::Result::Paused,
                      tr("登录已失效，且没有保存的用户名和密码，学习已暂停。"
                         "请登录后再按“连续学习”。"));
    stepTo(Step::LoginSubmitted);
    return {};
}

RecoveryStep SessionRecovery::refused(const page::Refusal& refusal)
{
    qCInfo(lcStudy) << "the site refused the saved login:"
                    << (refusal.words.isEmpty() ? QStringLiteral("(no words)") : refusal.words);
    switch (refusal.kind) {
    case page::RefusalKind::Credentials:
        return finish(RecoveryStep::Result::Paused,
                      tr("网站拒绝了保存的用户名或密码，学习已暂停。请检查后重新登录，"
                         "再按“连续学习”。"));
    case page::RefusalKind::Code:
        return finish(RecoveryStep::Result::Paused, captchaText());
    case page::RefusalKind::Slider:
        return finish(RecoveryStep::Result::Paused, sliderText());
    case page::RefusalKind::SiteTrouble:
        break;
    }
    // Telling the learner their password is wrong would stop the night for nothing: the site's
    // own trouble passes, and the next attempt may find it gone.
    return retryLater(refusal.words.isEmpty() ? QStringLiteral("refused without a reason")
                                              : refusal.words,
                      refusal.words);
}

RecoveryStep SessionRecovery::retryLater(const QString& why, const QString& siteSays)
{
    ++m_failedAttempts;
    const std::chrono::milliseconds delay = loginRetryDelay(m_failedAttempts);
    qCWarning(lcStudy).nospace() << "logging in again failed (" << why << "), attempt "
                                 << m_failedAttempts << "; next try in " << delay.count() / 1000
                                 << " s";
    m_step = Step::Attempt;
    m_nextAttemptAt = m_clock.now() + delay;
    if (siteSays.isEmpty()) {
        emit notice(tr("重新登录未成功，%1后重试").arg(waitText(delay)));
    } else {
        // Its words end a sentence of ours: without their own full stop.
        QString said = siteSays;
        while (!said.isEmpty() && QStringLiteral("。.！!").contains(said.back()))
            said.chop(1);
        emit notice(tr("网站暂时不能登录：%1。%2后重试").arg(said, waitText(delay)));
    }
    return {};
}

RecoveryStep SessionRecovery::finish(RecoveryStep::Result result, const QString& why)
{
    cancel();
    return {result, why};
}

std::chrono::milliseconds loginRetryDelay(int failedAttempts)
{
    using namespace std::chrono_literals;
    const int doublings = std::clamp(failedAttempts - 1, 0, 5);
    return std::min<std::chrono::milliseconds>(30s * (1 << doublings), 10min);
}

} // namespace lumora::session
