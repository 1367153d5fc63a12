#pragma once

// The study run: "连续学习" opens the current category and its first lesson and starts the
// study clock; every 20 seconds a tick moves on from a finished lesson (to the next lesson, or
// to the next category after the last), looks after the lesson's player, and every third tick
// credits one minute to the lesson being studied and saves. A minute counts only while the
// lesson's player is really open and the site has just confirmed the session; a run whose
// session ends logs in again by itself; minutes that earn nothing are escalated and shown;
// "退出课件" ends the run. While a run is active the machine is kept from sleeping.
//
// Everything runs on the window's one thread. The run's own waits for a page let other events
// run meanwhile; nothing else does. A tick that arrives during them is dropped.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "page/session_check.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "records/run_event.h"
#include "records/state_keeper.h"
#include "session/site_session.h"
#include "study/lesson_navigator.h"
#include "study/login_budget.h"
#include "study/minute_tally.h"
#include "study/player_observation.h"
#include "study/player_watch.h"
#include "study/progress.h"
#include "study/run_phase.h"
#include "study/stall_watch.h"
#include "study/video_watch.h"

#include <QObject>
#include <QSet>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace lumora::study {

class StudyRun final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStudyTickMs = 20000;

    StudyRun(platform::Platform& platform, platform::EventGate& gate, page::BrowserViews& views,
             catalogue::Catalogue& catalogue, session::SiteSession& session,
             records::MinuteRecords& records, records::StateKeeper& state);
    ~StudyRun() override;
    Q_DISABLE_COPY_MOVE(StudyRun)

    // "连续学习": starts a run at the current category's first lesson (a running run starts its
    // category over).
    void startStudy();
    // A run started again after a restart: the learner read the start notice before it, and
    // nobody may be there to close it now.
    void skipStartNotice() { m_noticeShown = true; }
    // "退出课件": presses the site's own exit button, stops the study clock and brings the main
    // view back. Harmless when no run is active.
    void exitCourseware();
    // The learner chose a category in the category list: during a run it is opened as the run
    // opens one (all or nothing), else only on the site.
    void chooseCategory(int category);
    // The learner chose a lesson in the lesson list: its player opens, and minutes go to it.
    void openChosenLesson(int lesson);
    // Page time for lesson pages without a video (the learner's setting).
    void setPageTimeWithoutVideo(bool allowed) { m_videoWatch.setPageTimeWithoutVideo(allowed); }
    // The program is ending: a run under way is recorded as cut short, no tick comes any
    // more, and a wait under way ends at once.
    void shutDown();

    // What the run is doing; the clock runs in the phases of an active run.
    RunPhase phase() const { return m_phase; }
    bool running() const { return clockRuns(m_phase); }
    // Position in the lesson list of the lesson the run chose last.
    int lessonIndex() const { return m_navigator.lessonIndex(); }
    // Ticks of the minute under way (0, 1 or 2 between ticks).
    int tickCount() const { return m_tally.ticks(); }
    // Where the selected lesson stands.
    LessonProgress lessonProgress() const;

    // The state file could not be written (for the run record).
    void reportSaveFailure(const QString& path);

signals:
    void runEvent(const lumora::records::RunEvent& event);
    // The study panel's figures changed.
    void progressChanged(const lumora::study::StudySnapshot& snapshot);
    // What the run is doing besides studying (empty: nothing).
    void notice(const QString& text);
    // Something the learner has to read in the status line.
    void statusMessage(const QString& text);
    void runningChanged(bool running);
    // The player view is to lie over the main view and show the lesson, or to hide.
    void playerShown(bool shown);

private:
    void onStudyTick();
    // The wall clock jumped since the last tick: the machine slept.
    void checkForSleep();
    // Moves on from a lesson that is done: to the next lesson, or to the next category.
    void moveOnFromDoneLesson();
    void openNextCategory();
    // Opens `category` at `lesson` and shows the player: all or nothing. When the site does not
    // list the category in time, the run stays in the Opening phase and the next tick tries
    // again; the lesson's player watched so far earns nothing meanwhile.
    void openCategoryAt(int category, int lesson);
    // The category just opened lists as many lessons as the timetable, or the learner is told.
    void checkListedLessons();
    // The run's wait for a page (see LessonNavigator::WaitFor).
    LessonNavigator::Waited waitFor(std::chrono::milliseconds limit,
                                    const std::function<bool()>& ready);
    // A lesson's link was clicked (or not): what follows for the run.
    void lessonOpened(const catalogue::LessonOpening& opening);
    // Past the last category: the run ends, once.
    void finishAllStudy();
    // Closes the minute of the last three ticks; whether it was credited.
    bool closeMinute();
    void creditOneMinute();
    // Why the minute just closed earned nothing.
    StallCause stallCause(MinuteTally::Outcome outcome, page::SessionCheck::Verdict session) const;
    // A minute earned nothing: escalate when it is time, and tell the learner.
    void noteStall(StallCause cause);
    void escalate(StallWatch::Step step);
    // A tick while a category opening that gave up is pending: try it again, or first ask for
    // the course page anew.
    void retryOpening();
    // The verdict of the session check asked a tick ago, logged when it changes.
    page::SessionCheck::Verdict takeSessionVerdict();
    // The run ends: the clock stops, the players hide, and `phase` (Ended or Paused) is entered.
    void endRun(RunPhase phase, const QString& why = {});
    // The one door between phases: logs the change, runs the clock (and keeps the machine
    // awake) as the phase asks, and tells the panel.
    void enterPhase(RunPhase phase);
    // The Opening phase at `lesson` of `category`, not under way: the next tick opens it.
    void openAtNextTick(int category, int lesson);

    // What a tick does about the lesson's player (study_run_player.cpp): the load serial of the
    // player when its minute may count, else -1.
    int lookAfterPlayer();
    void actOn(const TickVerdict& verdict, const PlayerObservation& seen);
    // What the player's video calls for; the observation turns VideoStalled when it stopped.
    void lookAfterVideo(PlayerObservation& seen);
    void reopenLesson(PlayerState state);
    // Lesson after lesson fails the same way: nothing is skipped, `giveBack` is studied again.
    void siteVideosFailing(const std::optional<LessonKey>& giveBack, PlayerState state);
    void reportVideoFailure(const QList<int>& mediaErrors);
    void skipLesson();
    // The lessons skipped in this run, by name (empty: none).
    QString skippedNames() const;
    // The timetable's lessons not done, by name; those skipped in this run only when asked.
    QString unstudiedNames(bool skippedToo) const;
    // What the run record says of a run that ends: the lessons it leaves unstudied.
    QString runEndedDetail() const;
    // Logging in again after the session ended, and what each step came to.
    void beginRecovery();
    void follow(const session::RecoveryStep& step);
    void resumeRun();
    // The run stops until the learner starts it again; `logInAgain`: "登录" is needed first.
    void pauseRun(const QString& why, bool logInAgain);

    void report(records::RunEventKind kind, int lesson = -1, int minutes = 0,
                const QString& detail = {});
    void updateStatus();

    platform::Platform& m_platform;
    platform::EventGate& m_gate;
    page::BrowserViews& m_views;
    catalogue::Catalogue& m_catalogue;
    session::SiteSession& m_session;
    records::MinuteRecords& m_records;
    records::StateKeeper& m_state;
    std::unique_ptr<platform::Timer> m_timer;
    page::SessionCheck m_sessionCheck;
    LessonNavigator m_navigator;
    MinuteTally m_tally;
    PlayerWatch m_playerWatch;
    VideoWatch m_videoWatch;

    bool m_noticeShown = false;
    bool m_shuttingDown = false;
    RunPhase m_phase = RunPhase::Idle;
    int m_phaseEntries = 0; // counts the phases entered: a wait of a phase since left is dropped
    // The category being opened, in the Opening phase: at its lesson, while its waits are under
    // way or, when it gave up, tried again at each tick.
    struct Opening
    {
        int category = 0;
        int lesson = 0;
        bool underWay = false;
        bool reloadFirst = false; // it gave up more than once: the course page is loaded anew
    };
    Opening m_opening;
    int m_runMinutes = 0; // minutes credited since the run started
    page::SessionCheck::Verdict m_sessionVerdict = page::SessionCheck::Verdict::Unknown;
    std::chrono::milliseconds m_lastTickWall{0}; // the wall clock at the last tick
    LessonKey m_videoFailureReported;            // the lesson whose failed video is recorded
    QList<LessonKey> m_skipped;                  // lessons skipped in this run
    QSet<int> m_listsTold; // categories whose list, unlike the timetable, was told in this run
    StallWatch m_stall;
    StallCause m_tickCause = StallCause::None; // what the last tick found wanting
    QString m_pageSays; // a lesson page without a video: its first line, for the learner
    LoginBudget m_logins;
};

} // namespace lumora::study
