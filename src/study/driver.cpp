// The study driver: Command2_Click starts a run (and moves to the next category), Timer1_Timer
// does the bookkeeping every 20 seconds, checkLessonProgress tests the selected lesson, and
// TimeDelay waits while letting other events run.
//
// A tick credits its minute only while the lesson's player is really open (PlayerWatch); a
// player that is not open is opened again, and one that keeps failing is skipped for the run.
// When the site's session ends, the run logs in again by itself (session_recovery.cpp).

#include "page/page_access.h"
#include "platform/logging.h"
#include "shell/main_window.h"
#include "study/study_status.h"

#include <chrono>

namespace lumora::shell {

using study::PlayerState;

study::LessonProgress Form1::checkLessonProgress()
{
    const int selected = List2->listIndex();
    if (selected < 0 || selected >= List5->count() || selected >= List4->count())
        return study::LessonProgress::Unknown;
    return study::lessonProgress(selected, List2->count(), List5->text(selected),
                                 List4->text(selected));
}

void Form1::TimeDelay(float seconds)
{
    // A monotonic clock: a wait across midnight lasts as long as any other.
    platform::Clock& clock = m_platform.clock();
    const auto deadline = clock.now() + std::chrono::milliseconds(qRound(seconds * 1000.0f));
    m_gate.waitWithEventsOpen([&] {
        while (clock.now() < deadline && !m_unloaded)
            clock.processEventsUntil(deadline);
    });
}

void Form1::Command2_Click()
{
    if (!noticeShown) {
        m_platform.dialogs().message(QStringLiteral("学习结束后自己查询学习时间是否已达到要求！"),
                                     QStringLiteral("欢迎免费合作订制各类网络培训软件"),
                                     platform::MessageIcon::Information);
        noticeShown = true;
    }
    if (List3->count() == 0) {
        m_platform.dialogs().message(QStringLiteral("已全部学习好！"), windowTitle(),
                                     platform::MessageIcon::None);
        return;
    }
    if (!Timer1->isEnabled()) {
        m_runMinutes = 0;
        m_playerWatch.reset();
        report(study::RunEventKind::RunStarted);
    }
    m_recovery = {};
    openCategoryAt(0);
}

void Form1::openCategoryAt(int lesson)
{
    List3->selectByText(List3->text(categoryIndex));
    report(study::RunEventKind::CategoryOpened);
    TimeDelay(1);
    Command17_Click();
    TimeDelay(1);
    Command15_Click();
    TimeDelay(1);
    lessonIndex = static_cast<qint16>(lesson);
    List2->selectByText(List2->text(lessonIndex));
    showPlayer(true);
    Timer1->setEnabled(true);
    updateStudyStatus();
}

void Form1::Timer1_Timer()
{
    study::TickVerdict verdict;
    if (recovering()) {
        // No progress and no minutes while the program logs in again.
        continueRecovery();
    } else {
        if (checkLessonProgress() == study::LessonProgress::NextCategory) {
            report(study::RunEventKind::LessonDone, List2->listIndex());
            report(study::RunEventKind::CategoryFinished);
            categoryIndex += 1;
            Command2_Click();
        }
        if (checkLessonProgress() == study::LessonProgress::NextLesson) {
            report(study::RunEventKind::LessonDone, List2->listIndex());
            if (lessonIndex >= List2->count() - 1)
                report(study::RunEventKind::CategoryFinished);
            goToNextLesson();
        }
        verdict = watchPlayer();
    }
    tickCount += 1;
    Command12_Click();
    if (tickCount % 3 == 0) {
        tickCount = 0;
        if (verdict.credit)
            creditOneMinute();
        else
            qCInfo(lcStudy) << "minute not credited:"
                            << (recovering() ? "logging in again"
                                             : "the lesson's player is not open");
    }
    saveStudiedMinutes();
    // The answer is read at the next tick.
    if (Timer1->isEnabled() && !recovering())
        m_platform.siteProbe().check(m_config.loginPage());
    updateStudyStatus();
}

void Form1::goToNextLesson()
{
    if (lessonIndex < List2->count() - 1) {
        lessonIndex += 1;
        List2->selectByText(List2->text(lessonIndex));
    } else {
        categoryIndex += 1;
        Command2_Click();
    }
}

PlayerState Form1::observePlayer()
{
    if (page::showsLoginPage(*WebBrowser1))
        return PlayerState::LoginPage;
    const platform::LoadInfo load = WebBrowser2->lastLoad();
    if (load.serial == m_playerLoadAtClick)
        return PlayerState::NotOpened;
    switch (load.outcome) {
    case platform::LoadOutcome::NotLoaded:
    case platform::LoadOutcome::Loading:
        return PlayerState::Loading;
    case platform::LoadOutcome::NetworkError:
        return PlayerState::SiteDown;
    case platform::LoadOutcome::HttpError:
    case platform::LoadOutcome::RendererGone:
        return PlayerState::Failed;
    case platform::LoadOutcome::Succeeded:
        break;
    }
    return page::showsLoginPage(*WebBrowser2) ? PlayerState::LoginPage : PlayerState::Open;
}

study::TickVerdict Form1::watchPlayer()
{
    const PlayerState state = observePlayer();
    const study::TickVerdict verdict = m_playerWatch.judge(
        categoryIndex * 1000 + List2->listIndex(), state, m_platform.siteProbe().lastAnswer());
    if (verdict.sessionEnded)
        beginRecovery();
    else if (verdict.skip)
        skipLesson();
    else if (verdict.reopen)
        reopenLesson(state);
    else if (verdict.credit)
        setStudyNotice({});
    return verdict;
}

void Form1::reopenLesson(PlayerState state)
{
    const int lesson = List2->listIndex();
    const QString why = state == PlayerState::SiteDown ? QStringLiteral("the site is unreachable")
                        : state == PlayerState::Open
                            ? QStringLiteral("the site check found no site")
                            : QStringLiteral("the player did not open");
    const platform::LoadInfo load = WebBrowser2->lastLoad();
    qCInfo(lcStudy).nospace() << "opening lesson " << lesson + 1 << " of category " << categoryIndex
                              << " again: " << why << " (player state " << int(state)
                              << ", last load " << int(load.outcome) << " " << load.httpStatus
                              << " " << load.error << ")";
    report(study::RunEventKind::PageFailed, lesson, 0, why);
    setStudyNotice(
        state == PlayerState::SiteDown || state == PlayerState::Open
            ? QStringLiteral("无法连接培训网站，本分钟不计学习时间，正在重新打开课程页面")
            : QStringLiteral("课程页面没有打开，正在重新打开"));
    // A lesson list the scan missed (the site was slow) is found by opening the category again.
    if (lesson < 0 || lesson >= List2->count())
        openCategoryAt(lessonIndex);
    else
        List2->select(lesson);
}

void Form1::skipLesson()
{
    const int lesson = List2->listIndex();
    qCWarning(lcStudy).nospace() << "skipping lesson " << lesson + 1 << " of category "
                                 << categoryIndex << " for this run: its player kept failing";
    report(study::RunEventKind::LessonSkipped, lesson);
    setStudyNotice(QStringLiteral("第 %1 课的页面多次无法打开，本次学习跳过该课").arg(lesson + 1));
    goToNextLesson();
}

void Form1::creditOneMinute()
{
    // The minute goes to the selected lesson, or to the first one when none is selected.
    const int lesson = List2->listIndex() < 0 ? 0 : List2->listIndex();
    const std::optional<long long> studied = study::wholePart(List4->text(lesson));
    // A lesson the timetable does not list has nowhere to keep its minute.
    if (lesson < List4->count() && studied) {
        List4->setText(lesson, QString::number(*studied + 1));
        ++m_runMinutes;
        report(study::RunEventKind::MinuteCredited, lesson, static_cast<int>(*studied + 1));
    }
}

void Form1::endStudyRun()
{
    if (Timer1->isEnabled())
        report(study::RunEventKind::RunEnded, -1, m_runMinutes);
    Timer1->setEnabled(false);
    m_recovery = {};
    showPlayer(false);
    WebBrowser1->widget()->show();
    setStudyNotice({});
    updateStudyStatus();
}

void Form1::report(study::RunEventKind kind, int lesson, int minutes, const QString& detail)
{
    emit runEvent({kind, categoryIndex, lesson, minutes, detail});
}

void Form1::setStudyNotice(const QString& text)
{
    m_studyStatus->setNotice(text);
}

void Form1::updateStudyStatus()
{
    QStringList required;
    QStringList studied;
    for (int i = 0; i < List5->count(); ++i)
        required.append(List5->text(i));
    for (int i = 0; i < List4->count(); ++i)
        studied.append(List4->text(i));
    const study::StudySnapshot snapshot =
        study::makeSnapshot(Timer1->isEnabled(), categoryIndex, List2->listIndex(), required,
                            studied, requiredMinutesTable, studiedMinutesRecord);
    m_studyStatus->display(snapshot);
    emit progressChanged(snapshot);
}

} // namespace lumora::shell
