// The study run's tick: what each phase does at it, and the minute it closes (credited or not,
// and why). The machine waking from sleep is noticed here too, by the gap between two ticks.

#include "platform/logging.h"
#include "study/run_texts.h"
#include "study/study_run.h"

#include <chrono>

namespace lumora::study {

using records::RunEventKind;

void StudyRun::onStudyTick()
{
    // A tick that came while a category opens waits for a page: that opening is this tick's work.
    if (m_phase == RunPhase::Opening && m_opening.underWay) {
        qCInfo(lcStudy) << "a tick came while a category opens: the opening is its work";
        return;
    }
    checkForSleep();
    followTheRecord();
    int openPlayer = -1;
    m_tickCause = StallCause::None;
    switch (m_phase) {
    case RunPhase::Recovering:
        // No progress and no minutes while the program logs in again.
        follow(m_session.continueRecovery());
        break;
    case RunPhase::Opening:
        // A record that is late: the lessons left are judged on what is known.
        if (m_opening.awaitsRecord)
            studyFirstLessonLeft();
        else
            retryOpening();
        break;
    case RunPhase::Studying:
        if (visitDone())
            leaveLesson();
        if (m_phase == RunPhase::Studying)
            openPlayer = lookAfterPlayer();
        break;
    case RunPhase::LeavingLesson:
        leavingTick();
        break;
    case RunPhase::WaitingForSite:
        // Nothing plays that the site would not count; no minute closes meanwhile.
        waitingTick();
        askForTheRecordWhenDue();
        return updateStatus();
    case RunPhase::Idle:
    case RunPhase::Paused:
    case RunPhase::Ended:
        break;
    }
    // Past the last category the run has ended: nothing is left to watch or save.
    if (!running())
        return;
    m_tally.tick(openPlayer);
    // The session is asked at the minute's first tick: its answer may take most of the minute,
    // and the minute counts only on it.
    if (m_tally.asksSession() && m_phase != RunPhase::Recovering)
        m_sessionCheck.ask();
    // A lesson that this minute's credit made done is left at once: its successor's player
    // opens before the next minute starts, and that minute can count whole.
    if (m_tally.closesMinute() && m_videoWatch.playerYoung() && m_tally.holdOpen())
        qCDebug(lcStudy) << "the minute waits a tick: its player has not played a minute yet";
    if (m_tally.closesMinute() && closeMinute() && visitDone())
        leaveLesson();
    askForTheRecordWhenDue();
    // A save that failed is tried again at every tick until one succeeds.
    if (m_state.lastSaveFailed())
        m_state.save();
    // The answer is read at the next tick.
    if (running() && m_phase != RunPhase::Recovering)
        m_platform.siteProbe().check(m_session.siteRoot());
    updateStatus();
}

void StudyRun::checkForSleep()
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
    // minute under way waits for an answer asked after it. The site's record of the old player
    // may have lapsed too: the lesson is opened again.
    m_sessionCheck.forget();
    if (m_tally.ticks() > 0 && m_phase != RunPhase::Recovering)
        m_sessionCheck.ask();
    if ((m_phase == RunPhase::Studying || m_phase == RunPhase::LeavingLesson) &&
        m_catalogue.selectedLesson() >= 0)
        lessonOpened(m_navigator.openLesson(m_catalogue.selectedLesson()));
}

bool StudyRun::closeMinute()
{
    const page::SessionCheck::Verdict session = takeSessionVerdict();
    const MinuteTally::Outcome outcome =
        m_tally.close(session == page::SessionCheck::Verdict::Alive, m_session.recovering(),
                      m_videoWatch.closeMinute());
    // Only a lesson being studied earns minutes; one being left plays for the site alone.
    const bool credit = outcome == MinuteTally::Outcome::Credit && m_phase == RunPhase::Studying;
    if (credit) {
        // The site's own words that it counts no more come before the minute.
        if (const QString cap = capWordsOnThePlayer(); !cap.isEmpty()) {
            siteStoppedCounting(RunTexts::siteSaysStopped(cap));
            return false;
        }
        creditOneMinute();
        m_videoWatch.minuteCredited();
        m_playerWatch.minuteCredited();
        m_stall.reset();
        m_logins.reset();
    } else if (outcome != MinuteTally::Outcome::Credit) {
        qCInfo(lcStudy) << "minute not credited:" << outcomeReason(outcome);
        // Only then did the site count what played: its session answered, the player stayed.
        m_videoWatch.minuteNotCredited(outcome == MinuteTally::Outcome::VideoNotPlayed &&
                                       session == page::SessionCheck::Verdict::Alive);
        if (outcome == MinuteTally::Outcome::VideoNotPlayed) {
            const VideoWatch::Figures figures = m_videoWatch.lastMinute();
            qCInfo(lcStudy).nospace()
                << "  the video played " << figures.played << " s of " << figures.passed
                << " s; the lesson's minutes lacked " << figures.owed << " s before";
        }
    }
    if (session == page::SessionCheck::Verdict::Ended && running() &&
        m_phase != RunPhase::Recovering)
        beginRecovery();
    else if (outcome != MinuteTally::Outcome::Credit && m_phase != RunPhase::LeavingLesson &&
             running())
        noteStall(stallCause(outcome, session));
    return credit;
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
    const std::optional<int> studied = m_records.credit(m_catalogue.category(), lesson);
    if (!studied)
        return;
    ++m_runMinutes;
    const LessonKey key{m_catalogue.category(), lesson};
    if (key != m_visit.lesson)
        m_visit = {key, std::nullopt, 0};
    ++m_visit.credits;
    m_siteCount.credited(key, m_platform.clock().now());
    report(RunEventKind::MinuteCredited, lesson, *studied);
    m_state.save();
}

} // namespace lumora::study
