// Session recovery: when the site's session ends during a run (its login page shows in either
// view), the program logs in again with the saved user name and password, through the same
// fill and submit as "登录", waits for the course page and resumes the run at the same category
// and lesson. Attempts that fail back off (30 s, 1 min, 2 min ... 10 min); credentials the site
// refuses pause the run instead. Driven by the study ticks; no minute is credited meanwhile.

#include "page/page_access.h"
#include "platform/logging.h"
#include "shell/main_window.h"
#include "study/study_status.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

namespace lumora::shell {

namespace {

// Ticks to wait for a page after a step before the attempt counts as failed (about 3 minutes).
constexpr int kPatienceTicks = 10;

} // namespace

void Form1::beginRecovery()
{
    qCWarning(lcStudy).nospace() << "the site's session ended during category " << categoryIndex
                                 << ", lesson " << lessonIndex + 1 << ": logging in again";
    m_recovery = {};
    m_recovery.step = Recovery::Step::Attempt;
    m_recovery.mainLoadsAtStep = m_mainPageLoads;
    showPlayer(false);
    WebBrowser1->widget()->show();
    setStudyNotice(QStringLiteral("登录已失效，正在重新登录"));
    continueRecovery();
}

void Form1::continueRecovery()
{
    Recovery& r = m_recovery;
    if (m_platform.clock().now() < r.nextAttemptAt)
        return;
    const auto stepTo = [&](Recovery::Step step) {
        r.step = step;
        r.mainLoadsAtStep = m_mainPageLoads;
        r.ticksInStep = 0;
    };
    page::PageAccess main = mainPage();

    if (r.step == Recovery::Step::Attempt) {
        // A page that came after an earlier attempt gave up may be the course page already.
        if (main.complete() && m_mainPageLoads > r.mainLoadsAtStep && coursePageShown())
            return resumeRun();
        if (main.complete() && page::showsLoginPage(*WebBrowser1))
            return submitSavedLogin();
        stepTo(Recovery::Step::OpeningLoginPage);
        WebBrowser1->navigate(m_config.loginPage());
        return;
    }
    // Judge only a page that arrived since the last step.
    if (!main.complete() || m_mainPageLoads == r.mainLoadsAtStep) {
        if (++r.ticksInStep >= kPatienceTicks)
            retryRecoveryLater(QStringLiteral("no page arrived"));
        return;
    }
    const platform::LoadInfo load = WebBrowser1->lastLoad();
    if (load.outcome != platform::LoadOutcome::Succeeded)
        return retryRecoveryLater(load.error.isEmpty() ? QStringLiteral("the page failed to load")
                                                       : load.error);
    if (coursePageShown())
        return resumeRun();
    if (!page::showsLoginPage(*WebBrowser1))
        return retryRecoveryLater(QStringLiteral("neither the login page nor the course page"));
    if (r.step == Recovery::Step::OpeningLoginPage)
        return submitSavedLogin();
    pauseRun(QStringLiteral("网站拒绝了保存的用户名或密码，学习已暂停。请检查后重新登录，"
                            "再按“连续学习”。"));
}

void Form1::submitSavedLogin()
{
    if (Text3->text().isEmpty() || Text2->text().isEmpty())
        return pauseRun(QStringLiteral("登录已失效，且没有保存的用户名和密码，学习已暂停。"
                                       "请登录后再按“连续学习”。"));
    qCInfo(lcPage) << "logging in again as" << Text3->text();
    page::guarded([this] { fillLoginForm(); });
    m_recovery.step = Recovery::Step::LoginSubmitted;
    m_recovery.mainLoadsAtStep = m_mainPageLoads;
    m_recovery.ticksInStep = 0;
}

void Form1::retryRecoveryLater(const QString& why)
{
    Recovery& r = m_recovery;
    ++r.failedAttempts;
    const std::chrono::milliseconds delay = study::loginRetryDelay(r.failedAttempts);
    qCWarning(lcStudy).nospace() << "logging in again failed (" << why << "), attempt "
                                 << r.failedAttempts << "; next try in " << delay.count() / 1000
                                 << " s";
    r.step = Recovery::Step::Attempt;
    r.nextAttemptAt = m_platform.clock().now() + delay;
    const QString wait = delay < std::chrono::minutes(1)
                             ? QStringLiteral("%1 秒").arg(delay.count() / 1000)
                             : study::formatDuration(static_cast<int>(delay.count() / 60000));
    setStudyNotice(QStringLiteral("重新登录未成功，%1后重试").arg(wait));
}

void Form1::resumeRun()
{
    qCInfo(lcStudy).nospace() << "logged in again; resuming category " << categoryIndex
                              << " at lesson " << lessonIndex + 1;
    m_recovery = {};
    report(study::RunEventKind::SessionRecovered, lessonIndex);
    setStudyNotice({});
    openCategoryAt(lessonIndex);
}

void Form1::pauseRun(const QString& why)
{
    qCWarning(lcStudy) << "run paused:" << why;
    m_recovery = {};
    Timer1->setEnabled(false);
    showPlayer(false);
    WebBrowser1->widget()->show();
    Command3->setEnabled(true);
    statusBar()->showMessage(why);
    setStudyNotice(why);
    report(study::RunEventKind::RunPaused, lessonIndex, m_runMinutes, why);
    updateStudyStatus();
}

} // namespace lumora::shell
