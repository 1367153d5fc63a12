#include "study/study_run.h"

#include "page/login_form.h"
#include "page/page_access.h"
#include "platform/logging.h"

#include <chrono>

namespace lumora::study {

using records::RunEventKind;

StudyRun::StudyRun(platform::Platform& platform, platform::EventGate& gate,
                   page::BrowserViews& views, catalogue::Catalogue& catalogue,
                   session::SiteSession& session, records::MinuteRecords& records,
                   records::StateKeeper& state)
    : m_platform(platform), m_gate(gate), m_views(views), m_catalogue(catalogue),
      m_session(session), m_records(records), m_state(state), m_timer(platform.createTimer()),
      m_sessionCheck(views.main(), platform.clock(), session.loginPage())
{
    m_timer->setInterval(kStudyTickMs);
    m_timer->setEnabled(false);
    // A tick held at the gate while another handler ran is dropped if the clock was stopped
    // meanwhile (exit courseware during a walk): a stopped study clock never ticks.
    connect(m_timer.get(), &platform::Timer::tick, this, [this] {
        m_gate.dispatch(
            [this] {
                if (running())
                    onStudyTick();
            },
            platform::EventGate::Kind::TimerTick);
    });
    connect(&m_catalogue, &catalogue::Catalogue::lessonOpened, this,
            [this](int lesson, int playerLoadBefore) {
                // The player loaded after this click is this lesson's.
                m_playerLoadAtClick = playerLoadBefore;
                m_playerWatch.lessonClicked();
                report(RunEventKind::LessonOpened, lesson);
            });
}

StudyRun::~StudyRun()
{
    // A tick must not reach a half-destroyed run.
    m_timer->disconnect(this);
    if (running())
        m_platform.sleepInhibitor().release();
}

LessonProgress StudyRun::lessonProgress() const
{
    const int selected = m_catalogue.selectedLesson();
    const QStringList& required = m_records.required();
    const QStringList& studied = m_records.studied();
    if (selected < 0 || selected >= required.size() || selected >= studied.size())
        return LessonProgress::Unknown;
    return study::lessonProgress(selected, m_catalogue.lessonCount(), required.at(selected),
                                 studied.at(selected));
}

void StudyRun::waitSeconds(float seconds)
{
    // A monotonic clock: a wait across midnight lasts as long as any other.
    m_gate.wait(m_platform.clock(), std::chrono::milliseconds(qRound(seconds * 1000.0f)),
                [this] { return m_shuttingDown; });
}

void StudyRun::startStudy()
{
    if (m_shuttingDown)
        return;
    if (!m_noticeShown) {
        m_platform.dialogs().message(QStringLiteral("学习结束后自己查询学习时间是否已达到要求！"),
                                     QStringLiteral("欢迎免费合作订制各类网络培训软件"),
                                     platform::MessageIcon::Information);
        m_noticeShown = true;
    }
    if (m_catalogue.categoryCount() == 0) {
        m_platform.dialogs().message(QStringLiteral("已全部学习好！"),
                                     QString::fromUtf8(platform::kProgramTitle),
                                     platform::MessageIcon::None);
        return;
    }
    if (!records::isCategory(m_catalogue.category()))
        return finishAllStudy();
    if (!running()) {
        m_runMinutes = 0;
        m_playerWatch.reset();
        report(RunEventKind::RunStarted);
    }
    m_session.cancelRecovery();
    openCategoryAt(0);
}

void StudyRun::openCategoryAt(int lesson)
{
    m_catalogue.chooseCurrentCategory();
    report(RunEventKind::CategoryOpened);
    waitSeconds(1);
    m_catalogue.openCourseMenu();
    waitSeconds(1);
    m_catalogue.scanCoursePage();
    waitSeconds(1);
    m_lessonIndex = lesson;
    disownPlayer();
    m_catalogue.chooseLesson(m_lessonIndex);
    m_views.showPlayer(true);
    setClockRunning(true);
    updateStatus();
}

void StudyRun::onStudyTick()
{
    noticeSleep();
    TickVerdict verdict;
    if (m_session.recovering()) {
        // No progress and no minutes while the program logs in again.
        follow(m_session.continueRecovery());
    } else {
        if (lessonProgress() == LessonProgress::NextCategory) {
            report(RunEventKind::LessonDone, m_catalogue.selectedLesson());
            report(RunEventKind::CategoryFinished);
            m_catalogue.setCategory(m_catalogue.category() + 1);
            startStudy();
        }
        if (lessonProgress() == LessonProgress::NextLesson) {
            report(RunEventKind::LessonDone, m_catalogue.selectedLesson());
            if (m_lessonIndex >= m_catalogue.lessonCount() - 1)
                report(RunEventKind::CategoryFinished);
            goToNextLesson();
        }
        // Past the last category the run has ended: nothing is left to watch or save.
        if (!running())
            return;
        verdict = watchPlayer();
    }
    m_tickCount += 1;
    // The minute is the player's only when one and the same player was open at each of its
    // ticks: the site counts a player from its opening, not from the minute's start.
    const int openPlayer = verdict.credit ? m_views.player().lastLoad().serial : -1;
    if (m_tickCount == 1)
        m_minutePlayer = openPlayer;
    else if (openPlayer != m_minutePlayer)
        m_minutePlayer = -1;
    reloadMinutes();
    // The session is asked the tick before the minute, and the minute counts only on its answer.
    if (m_tickCount % 3 == 2 && !m_session.recovering())
        m_sessionCheck.ask();
    if (m_tickCount % 3 == 0) {
        m_tickCount = 0;
        const page::SessionCheck::Verdict session = takeSessionVerdict();
        const bool confirmed = session == page::SessionCheck::Verdict::Alive;
        const bool wholeMinute = verdict.credit && m_minutePlayer >= 0;
        if (wholeMinute && confirmed)
            creditOneMinute();
        else
            qCInfo(lcStudy) << "minute not credited:"
                            << (m_session.recovering() ? "logging in again"
                                : !verdict.credit      ? "the lesson's player is not open"
                                : !wholeMinute ? "the lesson's player opened during the minute"
                                               : "the site did not confirm the session");
        if (session == page::SessionCheck::Verdict::Ended && running() && !m_session.recovering())
            beginRecovery();
    }
    saveStudiedMinutes();
    // The answer is read at the next tick.
    if (running() && !m_session.recovering())
        m_platform.siteProbe().check(m_session.loginPage());
    updateStatus();
}

void StudyRun::goToNextLesson()
{
    if (m_lessonIndex < m_catalogue.lessonCount() - 1) {
        m_lessonIndex += 1;
        disownPlayer();
        m_catalogue.chooseLesson(m_lessonIndex);
    } else {
        m_catalogue.setCategory(m_catalogue.category() + 1);
        startStudy();
    }
}

void StudyRun::disownPlayer()
{
    // Until the link is clicked (Catalogue::lessonOpened), no load so far is the lesson's: a
    // click that never happens must not leave the last lesson's player credited to this one.
    m_playerLoadAtClick = m_views.player().lastLoad().serial;
}

void StudyRun::reloadMinutes()
{
    m_records.load(m_catalogue.category());
}

void StudyRun::finishAllStudy()
{
    m_platform.dialogs().message(QStringLiteral("学习已结束!"),
                                 QStringLiteral("欢迎免费合作订制各类自动学习软件"),
                                 platform::MessageIcon::Information);
    // Nothing is left to study: the run ends here, once, as exit courseware ends it (the
    // site's exit button too, so that the last player stops reporting), with no category
    // opened again and no lesson clicked.
    exitCourseware();
}

void StudyRun::noticeSleep()
{
    using namespace std::chrono_literals;
    const std::chrono::milliseconds wall = m_platform.clock().wallNow();
    const std::chrono::milliseconds gap = wall - std::exchange(m_lastTickWall, wall);
    if (gap <= 2min)
        return;
    const int minutes = static_cast<int>(gap / 1min);
    qCInfo(lcStudy) << "resumed after" << minutes << "minutes";
    report(RunEventKind::Resumed, m_catalogue.selectedLesson(), minutes);
    // The session may have ended meanwhile: what was known before the sleep is stale, and the
    // next minute waits for an answer asked after it.
    m_sessionCheck.forget();
}

page::SessionCheck::Verdict StudyRun::takeSessionVerdict()
{
    const page::SessionCheck::Verdict verdict = m_sessionCheck.take();
    if (verdict != m_sessionVerdict)
        qCInfo(lcStudy) << "the site's session:" << page::verdictName(verdict);
    m_sessionVerdict = verdict;
    return verdict;
}

void StudyRun::creditOneMinute()
{
    // The minute goes to the selected lesson, or to the first one when none is selected; a
    // lesson the timetable does not list has nowhere to keep it.
    const int lesson = qMax(0, m_catalogue.selectedLesson());
    if (const std::optional<long long> studied = m_records.credit(lesson)) {
        ++m_runMinutes;
        report(RunEventKind::MinuteCredited, lesson, static_cast<int>(*studied));
    }
}

void StudyRun::saveStudiedMinutes()
{
    m_records.store(m_catalogue.category());
    m_state.save();
}

void StudyRun::exitCourseware()
{
    page::PageAccess page(m_views.main());
    if (page.complete()) {
        // A failing walk still lets the run end below.
        page::guarded([&] {
            const int clicked =
                page.clickEachMatch(page::kTopDocument, QStringLiteral("input"),
                                    page::exactly(page::Field::Value, QStringLiteral("退出课件")));
            // The views are switched after each click; switching is idempotent, so once is the
            // same as once per click.
            if (clicked > 0) {
                m_views.showPlayer(false);
                m_views.showMain();
            }
        });
    }
    endRun();
}

void StudyRun::endRun()
{
    if (running())
        report(RunEventKind::RunEnded, -1, m_runMinutes);
    setClockRunning(false);
    m_session.cancelRecovery();
    m_views.showPlayer(false);
    m_views.showMain();
    emit notice({});
    updateStatus();
}

void StudyRun::shutDown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    if (running())
        report(RunEventKind::ProgramQuit, -1, m_runMinutes);
    setClockRunning(false);
}

void StudyRun::setClockRunning(bool run)
{
    const bool changed = running() != run;
    m_timer->setEnabled(run);
    if (!changed)
        return;
    // A run keeps the machine awake; a run paused or ended lets it sleep.
    if (run) {
        m_lastTickWall = m_platform.clock().wallNow();
        m_platform.sleepInhibitor().hold(QStringLiteral("Lumora is studying a lesson"));
    } else {
        m_platform.sleepInhibitor().release();
    }
    emit runningChanged(run);
}

void StudyRun::reportSaveFailure(const QString& path)
{
    report(RunEventKind::SaveFailed, -1, 0, path);
}

void StudyRun::report(RunEventKind kind, int lesson, int minutes, const QString& detail)
{
    emit runEvent({kind, m_catalogue.category(), lesson, minutes, detail});
}

void StudyRun::updateStatus()
{
    emit progressChanged(makeSnapshot(
        running(), m_catalogue.category(), m_catalogue.selectedLesson(), m_records.required(),
        m_records.studied(), m_records.requiredTables(), m_records.studiedRecords()));
}

} // namespace lumora::study
