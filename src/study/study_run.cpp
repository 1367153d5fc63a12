#include "study/study_run.h"

#include "page/page_access.h"
#include "platform/logging.h"
#include "study/run_texts.h"

#include <QScopeGuard>
#include <algorithm>
#include <chrono>

namespace lumora::study {

using records::RunEventKind;

StudyRun::StudyRun(platform::Platform& platform, platform::EventGate& gate,
                   page::BrowserViews& views, catalogue::Catalogue& catalogue,
                   session::SiteSession& session, records::MinuteRecords& records,
                   records::StateKeeper& state, records::SiteFigures& figures)
    : m_platform(platform), m_gate(gate), m_views(views), m_catalogue(catalogue),
      m_session(session), m_records(records), m_state(state), m_figures(figures),
      m_timer(platform.createTimer()), m_followUp(platform.createTimer()),
      m_sessionCheck(views.main(), session.loginPage(),
                     [&session] { return session.courseFrameAddress(); }),
      m_navigator(catalogue, views, platform.clock(),
                  [this](std::chrono::milliseconds limit, const std::function<bool()>& ready) {
                      return waitFor(limit, ready);
                  }),
      m_record(views, catalogue, figures, platform.clock())
{
    // Logging in again goes at the pace of its pages, not of the ticks.
    connect(&m_session, &session::SiteSession::recoveryPageArrived, this, [this] {
        m_gate.dispatch([this] {
            if (m_phase == RunPhase::Recovering && m_session.recovering())
                follow(m_session.continueRecoveryOnPage());
        });
    });
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
    // A reading of the site's record goes at the pace of its answers, between ticks; as an
    // ordinary event, never coalesced with a tick.
    m_followUp->setInterval(kFollowUpMs);
    m_followUp->setEnabled(false);
    connect(m_followUp.get(), &platform::Timer::tick, this,
            [this] { m_gate.dispatch([this] { followTheRecord(); }); });
}

StudyRun::~StudyRun()
{
    // A tick must not reach a half-destroyed run.
    m_timer->disconnect(this);
    m_followUp->disconnect(this);
    if (running())
        m_platform.sleepInhibitor().release();
}

LessonProgress StudyRun::lessonProgress() const
{
    const int selected = m_catalogue.selectedLesson();
    return study::lessonProgress(selected, m_catalogue.lessonCount(),
                                 m_records.lesson(m_catalogue.category(), selected));
}

void StudyRun::startStudy()
{
    if (m_shuttingDown)
        return;
    if (!m_noticeShown) {
        m_platform.dialogs().message(RunTexts::startNotice(), RunTexts::startNoticeTitle(),
                                     platform::MessageIcon::Information);
        m_noticeShown = true;
    }
    // Past the last category (a run that ended with lessons left): the first category with
    // work left, by what is known before its list is read.
    int category = m_catalogue.category();
    if (!records::isCategory(category)) {
        category = 0;
        const auto workLeft = [this](int c) {
            for (int lesson = 0; lesson < m_records.lessonCount(c); ++lesson) {
                if (needsStudy(c, lesson))
                    return true;
            }
            return false;
        };
        while (records::isCategory(category) && !workLeft(category))
            ++category;
        if (!records::isCategory(category))
            return finishAllStudy();
        m_catalogue.setCategory(category);
    }
    if (!running()) {
        m_runMinutes = 0;
        m_playerWatch.reset();
        m_tally.reset();
        m_videoWatch.reset();
        m_stall.reset();
        m_siteCount.reset();
        m_siteWait = {};
        m_skipped.clear();
        m_leftShort.clear();
        m_listsTold.clear();
        m_logins.reset();
        report(RunEventKind::RunStarted);
    }
    m_session.cancelRecovery();
    // The clock runs from here: a category the site does not list in time is tried again at
    // the next tick.
    openCategoryAt(category, std::nullopt);
}

void StudyRun::openCategoryAt(int category, std::optional<int> lesson)
{
    if (m_phase == RunPhase::Opening && m_opening.underWay)
        return;
    const bool again = m_phase == RunPhase::Opening && m_opening.category == category &&
                       m_opening.lesson == lesson;
    m_opening = {category, lesson, true, false, false};
    enterPhase(RunPhase::Opening);
    const int entry = m_phaseEntries;
    bool listed = false;
    {
        // No way out of the waits may leave the opening under way: every later tick would be
        // dropped.
        const auto openingEnded = qScopeGuard([this] { m_opening.underWay = false; });
        listed = m_navigator.openCategory(category);
    }
    // "退出课件" (or a new start) during the waits: what it did stands.
    if (entry != m_phaseEntries || m_shuttingDown)
        return;
    if (!listed) {
        // A course page that failed twice is unlikely to answer a third time as it is (its
        // renderer may have been restarted without the site's scripts): it is loaded anew first.
        m_opening.reloadFirst = again;
        m_tickCause = StallCause::NoCoursePage;
        emit notice(RunTexts::categoryLate());
        report(RunEventKind::PageFailed, lesson.value_or(0), 0, RunTexts::categoryLateRecord());
        updateStatus();
        return;
    }
    report(RunEventKind::CategoryOpened);
    checkListedLessons();
    categoryListed();
}

void StudyRun::categoryListed()
{
    if (m_record.place() == records::RecordPlace::Unknown) {
        m_record.find();
        m_followUp->setEnabled(m_record.reading());
    }
    if (m_record.place() == records::RecordPlace::None)
        tellNoRecord();
    if (m_siteWait.active()) {
        // Opened again (after a login, say) to look whether the site counts again: the look
        // starts over with a new player; the old one shows what the old session left.
        enterPhase(RunPhase::WaitingForSite);
        m_siteWait.lookingSince = {};
        m_siteWait.nextLookAt = m_platform.clock().now();
        return waitingTick();
    }
    if (m_opening.lesson)
        return startLesson(*m_opening.lesson);
    // Which lessons are left is the site's to say: its record is read first, unless it was read
    // a moment ago.
    const std::chrono::milliseconds asked = m_record.lastAsked();
    const bool fresh = asked > std::chrono::milliseconds::zero() &&
                       m_platform.clock().now() - asked < kRecordFreshFor;
    if ((!fresh || m_record.reading()) && m_record.ask()) {
        m_opening.awaitsRecord = true;
        m_followUp->setEnabled(true);
        updateStatus();
        return;
    }
    studyFirstLessonLeft();
}

void StudyRun::studyFirstLessonLeft()
{
    m_opening.awaitsRecord = false;
    const int category = m_catalogue.category();
    for (int lesson = 0; lesson < m_catalogue.lessonCount(); ++lesson) {
        if (needsStudy(category, lesson))
            return startLesson(lesson);
    }
    qCInfo(lcStudy) << "nothing is left to study in category" << category;
    if (const std::optional<LessonKey> back = lessonToGoBackTo(category, false))
        return startLesson(back->lesson);
    report(RunEventKind::CategoryFinished);
    openNextCategory();
}

void StudyRun::startLesson(int lesson)
{
    enterPhase(RunPhase::Studying);
    const LessonKey key{m_catalogue.category(), lesson};
    // The same lesson opened again (after a login, say) goes on with its visit: the figure kept
    // may be older than the minutes credited since.
    if (key != m_visit.lesson)
        beginVisit(key);
    lessonOpened(m_navigator.openRunLesson(lesson));
    emit playerShown(true);
    updateStatus();
}

void StudyRun::openAtNextTick(int category, std::optional<int> lesson)
{
    m_opening = {category, lesson, false, false, false};
    enterPhase(RunPhase::Opening);
}

void StudyRun::openNextCategory()
{
    const int next = m_catalogue.category() + 1;
    if (!records::isCategory(next)) {
        m_catalogue.setCategory(next);
        return finishAllStudy();
    }
    openCategoryAt(next, std::nullopt);
}

void StudyRun::enterPhase(RunPhase phase)
{
    ++m_phaseEntries;
    const RunPhase before = std::exchange(m_phase, phase);
    const bool ran = clockRuns(before);
    const bool runs = clockRuns(phase);
    m_timer->setEnabled(runs);
    if (before == phase)
        return;
    qCInfo(lcStudy) << "the run:" << phaseName(before) << "->" << phaseName(phase);
    // The run record tells the other phases by their own events (a category opened, a lesson
    // opened, the site stopped, the run paused or ended).
    if (phase == RunPhase::LeavingLesson || phase == RunPhase::Recovering) {
        records::RunEvent event{RunEventKind::PhaseChanged, m_catalogue.category(),
                                m_catalogue.selectedLesson(), 0, RunPhaseTexts::recorded(phase)};
        event.shownDetail = RunPhaseTexts::shown(phase);
        emit runEvent(event);
    }
    if (ran != runs) {
        // A run keeps the machine awake; a run paused or ended lets it sleep.
        if (runs) {
            m_lastTickWall = m_platform.clock().wallNow();
            m_platform.sleepInhibitor().hold(QStringLiteral("Lumora is studying a lesson"));
        } else {
            m_platform.sleepInhibitor().release();
            m_followUp->setEnabled(false);
        }
        emit runningChanged(runs);
    }
    updateStatus();
}

LessonNavigator::Waited StudyRun::waitFor(std::chrono::milliseconds limit,
                                          const std::function<bool()>& ready)
{
    using Waited = LessonNavigator::Waited;
    constexpr std::chrono::milliseconds kPoll{250};
    const int entry = m_phaseEntries;
    const auto dropped = [this, entry] { return m_shuttingDown || entry != m_phaseEntries; };
    // A monotonic clock: a wait across midnight lasts as long as any other.
    platform::Clock& clock = m_platform.clock();
    const std::chrono::milliseconds deadline = clock.now() + limit;
    for (;;) {
        if (dropped())
            return Waited::Dropped;
        if (ready())
            return Waited::Ready;
        const std::chrono::milliseconds left = deadline - clock.now();
        if (left <= std::chrono::milliseconds::zero())
            return Waited::TimedOut;
        m_gate.wait(clock, std::min(left, kPoll), dropped);
    }
}

void StudyRun::checkListedLessons()
{
    const int category = m_catalogue.category();
    const int listed = m_catalogue.lessonCount();
    const int timetable = m_records.lessonCount(category);
    // Told once a run: the category is opened again after every recovery.
    if (listed == timetable || m_listsTold.contains(category))
        return;
    m_listsTold.insert(category);
    // Lessons the site does not list are never reached, and the end of the run names them; ones
    // past the timetable are studied with the category's longest requirement.
    qCWarning(lcStudy).nospace() << "the site lists " << listed << " lessons of category "
                                 << category << ", the timetable " << timetable;
    const QString text =
        RunTexts::listDiffers(records::categoryNames().value(category), listed, timetable);
    emit notice(text);
    report(RunEventKind::ListDiffers, -1, listed, text);
}

void StudyRun::chooseCategory(int category)
{
    // During a run, the learner's choice is opened as the run opens a category: all or nothing.
    if (running())
        return openCategoryAt(category, std::nullopt);
    m_catalogue.openCategory(category);
}

void StudyRun::beginVisit(const LessonKey& key)
{
    std::optional<int> siteMinutes;
    if (const auto figure = m_figures.lesson(key.category, key.lesson);
        figure && m_record.place() == records::RecordPlace::Found)
        siteMinutes = figure->minutes();
    m_visit = {key, siteMinutes, 0};
}

void StudyRun::openChosenLesson(int lesson)
{
    lessonOpened(m_navigator.openLesson(lesson));
    // Minutes go to the chosen lesson from now on.
    const LessonKey key{m_catalogue.category(), m_catalogue.selectedLesson()};
    if (key != m_visit.lesson)
        beginVisit(key);
    if (m_phase == RunPhase::LeavingLesson)
        enterPhase(RunPhase::Studying);
    updateStatus();
}

void StudyRun::lessonOpened(const catalogue::LessonOpening& opening)
{
    if (!opening.clicked)
        return;
    m_playerWatch.lessonClicked();
    report(RunEventKind::LessonOpened, m_catalogue.selectedLesson());
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
    StudySnapshot snapshot =
        makeSnapshot(m_phase, m_catalogue.category(), m_catalogue.selectedLesson(), m_records);
    snapshot.stall = running() ? m_stall.text() : QString();
    snapshot.siteUnchecked = m_record.place() == records::RecordPlace::None;
    emit progressChanged(snapshot);
}

} // namespace lumora::study
