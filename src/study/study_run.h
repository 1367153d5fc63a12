#pragma once

// The study run: "连续学习" opens the current category at its first lesson with work left and
// starts the study clock; every 20 seconds a tick looks after the lesson's player, and every
// third tick credits one minute to the lesson being studied and saves. A minute counts only
// while the lesson's player is really open and the site has just confirmed the session; a run
// whose session ends logs in again by itself; minutes that earn nothing are escalated and
// shown; "退出课件" ends the run. While a run is active the machine is kept from sleeping.
//
// Where the site keeps a study record, it is the truth (study_run_site.cpp): a lesson the site
// counts done is not opened, one it counts short is studied, a lesson whose minutes are done
// stays open until the record shows them, a site that stops counting is noticed and waited
// for, and the night ends when the record agrees.
//
// Everything runs on the window's one thread. The run's own waits for a page let other events
// run meanwhile; nothing else does. A tick that arrives during them is dropped.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "page/session_check.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "records/run_event.h"
#include "records/site_figures.h"
#include "records/state_keeper.h"
#include "session/site_session.h"
#include "study/lesson_navigator.h"
#include "study/login_budget.h"
#include "study/minute_tally.h"
#include "study/player_observation.h"
#include "study/player_watch.h"
#include "study/progress.h"
#include "study/record_watch.h"
#include "study/run_phase.h"
#include "study/run_texts.h"
#include "study/site_count.h"
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
    // How often a reading of the site's record under way is looked at between ticks.
    static constexpr int kFollowUpMs = 250;
    // The site's record: a reading this young is not asked again to choose a lesson; it is read
    // every ten minutes while a lesson is studied, each minute while one is left.
    static constexpr std::chrono::minutes kRecordFreshFor{2};
    static constexpr std::chrono::minutes kRecordEvery{10};
    static constexpr std::chrono::minutes kRecordWhileLeaving{1};
    // A lesson whose minutes are done stays open at most this long for the site to show them;
    // one whose figure has not moved at all by then is helped by its own exit control first.
    static constexpr std::chrono::minutes kLeaveAtMost{10};
    static constexpr std::chrono::minutes kExitWhenStill{3};
    // A lesson left short is gone back to once the record, read this long after, still has it
    // short (at the end of the timetable, whatever the time).
    static constexpr std::chrono::minutes kGoBackAfter{10};
    // While the site does not count: every half hour its lesson is opened for five minutes, to
    // see whether the record grows again.
    static constexpr std::chrono::minutes kLookEvery{30};
    static constexpr std::chrono::minutes kLookFor{5};

    StudyRun(platform::Platform& platform, platform::EventGate& gate, page::BrowserViews& views,
             catalogue::Catalogue& catalogue, session::SiteSession& session,
             records::MinuteRecords& records, records::StateKeeper& state,
             records::SiteFigures& figures);
    ~StudyRun() override;
    Q_DISABLE_COPY_MOVE(StudyRun)

    // "连续学习": starts a run at the current category's first lesson with work left (a running
    // run starts its category over); past the last category, at the first category with work
    // left.
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
    // The texts of a page's controls the run presses to let a paused medium go on (the
    // learner's setting).
    void setContinueControls(const QStringList& texts) { m_videoWatch.setContinueControls(texts); }
    // Where the site's study record is and how to read it (the learner's settings).
    void setRecordSettings(RecordWatch::Settings settings)
    {
        m_record.setSettings(std::move(settings));
    }
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
    // Where the selected lesson stands by the program's own minutes.
    LessonProgress lessonProgress() const;
    // Whether the lesson has work left: by the site's record where it gave a verdict, else by
    // the program's minutes.
    bool needsStudy(int category, int lesson) const;

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

    // Opening a category and choosing its lesson.
    // Opens `category` and then its `lesson`, or without one the first lesson with work left
    // (once the site's record has been read, when the site has one), and shows the player: all
    // or nothing. When the site does not list the category in time, the run stays in the
    // Opening phase and the next tick tries again; the old player earns nothing meanwhile.
    void openCategoryAt(int category, std::optional<int> lesson);
    // The Opening phase at `lesson` of `category`, not under way: the next tick opens it.
    void openAtNextTick(int category, std::optional<int> lesson);
    // The category's list is open: the lesson to study is chosen, or the record awaited first.
    void categoryListed();
    // Opens the first lesson of the category with work left, else goes on to the next.
    void studyFirstLessonLeft();
    // Makes `lesson` the run's and opens it: the Studying phase.
    void startLesson(int lesson);
    void openNextCategory();
    // The category just opened lists as many lessons as the timetable, or the learner is told.
    void checkListedLessons();
    // The run's wait for a page (see LessonNavigator::WaitFor).
    LessonNavigator::Waited waitFor(std::chrono::milliseconds limit,
                                    const std::function<bool()>& ready);
    // A lesson's link was clicked (or not): what follows for the run.
    void lessonOpened(const catalogue::LessonOpening& opening);
    // A tick while a category opening that gave up is pending: try it again, or first ask for
    // the course page anew.
    void retryOpening();

    // Minutes (study_run.cpp).
    // Closes the minute of the last three ticks; whether it was credited.
    bool closeMinute();
    void creditOneMinute();
    // The verdict of the session check asked at the minute's first tick, logged when it changes.
    page::SessionCheck::Verdict takeSessionVerdict();

    // The site's count (study_run_site.cpp).
    // The lesson's minutes are done by the program's count (with what the site had when it was
    // opened): it is left, once the site has them where it keeps a record.
    bool visitDone() const;
    // A lesson whose minutes are done: the LeavingLesson phase, or straight on without a record.
    void leaveLesson();
    // A tick while leaving: the record asked each minute; left after the bound.
    void leavingTick();
    // Goes on from a lesson that is done: its player's exit control pressed, then goOn().
    void moveOn();
    // Opens the next lesson with work left (a lesson left short gone back to once), else the
    // next category.
    void goOn();
    // The next lesson of the category with work left after the run's; nothing after the last.
    std::optional<int> nextLessonLeft() const;
    // A lesson left short to go back to now, once: of `category` only, or of any when `atEnd`.
    std::optional<LessonKey> lessonToGoBackTo(int category, bool atEnd);
    // Reads of the record: asked when due (every ten minutes, each minute while leaving, after
    // ten credits), followed between ticks, and acted on.
    void askForTheRecordWhenDue();
    void followTheRecord();
    void onSiteReading(const SiteReading& reading);
    // The lesson being left goes on short of the site's record, to be gone back to once.
    void leaveShort(const QString& why);
    // The lesson's visit starts: from the site's figure for it, where the record has one.
    void beginVisit(const LessonKey& key);
    // The site stopped counting: no player, the learner told, the record asked now and then.
    void siteStoppedCounting(const QString& why);
    void waitingTick();
    void siteCountsAgain();
    // Words of the player's page that say the site no longer counts ("今日学时已满"), or empty.
    QString capWordsOnThePlayer();
    // Presses the player's own exit or save control before its page goes.
    void pressPlayerExit();
    // The player's page closed: nothing plays and reports to the site any more.
    void closePlayer();
    // The site has no record page: told once.
    void tellNoRecord();

    // Why the minute just closed earned nothing.
    StallCause stallCause(MinuteTally::Outcome outcome, page::SessionCheck::Verdict session) const;
    // A minute earned nothing: escalate when it is time, and tell the learner.
    void noteStall(StallCause cause);
    void escalate(StallWatch::Step step);

    // The run's ends (study_run_end.cpp).
    // Past the last category: lessons left short are gone back to, else the run ends, once.
    void finishAllStudy();
    // The run ends: the clock stops, the players close, and `phase` (Ended or Paused) is
    // entered.
    void endRun(RunPhase phase, const QString& why = {});
    // The one door between phases: logs the change, runs the clock (and keeps the machine
    // awake) as the phase asks, records it, and tells the panel.
    void enterPhase(RunPhase phase);

    // What a tick does about the lesson's player (study_run_player.cpp): the load serial of the
    // player when its minute may count, else -1.
    int lookAfterPlayer();
    void actOn(const TickVerdict& verdict, const PlayerObservation& seen);
    // What the player's medium calls for; the observation turns VideoStalled when it stopped,
    // NoMedium when the page has had none for long.
    void lookAfterVideo(PlayerObservation& seen);
    void reopenLesson(PlayerState state);
    // Lesson after lesson fails the same way: nothing is skipped, the verdict's lessons given back
    // are studied again.
    void siteVideosFailing(const TickVerdict& verdict, PlayerState state);
    void reportVideoFailure(const QList<int>& mediaErrors);
    // The lesson is skipped for this run, for `why` when the run can tell.
    void skipLesson(const std::optional<RunTexts::Reason>& why = std::nullopt);
    std::optional<RunTexts::Reason> skipReason(const TickVerdict& verdict,
                                               const PlayerObservation& seen) const;
    // Why a player found `state` is opened again, when its page did open.
    static std::optional<RunTexts::Reason> reopenReason(PlayerState state);
    // The lessons skipped in this run, by name (empty: none).
    QString skippedNames() const;
    // The timetable's lessons not done, by name (with the site's figure and the program's where
    // the site keeps a record); those skipped in this run only when asked.
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
    void report(records::RunEventKind kind, int lesson, const RunTexts::Reason& why);
    void updateStatus();

    platform::Platform& m_platform;
    platform::EventGate& m_gate;
    page::BrowserViews& m_views;
    catalogue::Catalogue& m_catalogue;
    session::SiteSession& m_session;
    records::MinuteRecords& m_records;
    records::StateKeeper& m_state;
    records::SiteFigures& m_figures;
    std::unique_ptr<platform::Timer> m_timer;
    // Follows a reading of the record between ticks, while one is under way.
    std::unique_ptr<platform::Timer> m_followUp;
    page::SessionCheck m_sessionCheck;
    LessonNavigator m_navigator;
    MinuteTally m_tally;
    PlayerWatch m_playerWatch;
    VideoWatch m_videoWatch;
    RecordWatch m_record;
    SiteCount m_siteCount;

    bool m_noticeShown = false;
    bool m_shuttingDown = false;
    bool m_noRecordTold = false;
    RunPhase m_phase = RunPhase::Idle;
    int m_phaseEntries = 0; // counts the phases entered: a wait of a phase since left is dropped
    // The category being opened, in the Opening phase: at its lesson (none: the first with work
    // left), while its waits are under way or, when it gave up, tried again at each tick.
    struct Opening
    {
        int category = 0;
        std::optional<int> lesson;
        bool underWay = false;
        bool reloadFirst = false;  // it gave up more than once: the course page is loaded anew
        bool awaitsRecord = false; // listed: the lesson is chosen once the record is read
    };
    Opening m_opening;
    // The lesson being studied: what the site had counted when it was opened (none: no verdict,
    // or no record) and the minutes credited to it since.
    struct Visit
    {
        LessonKey lesson;
        std::optional<int> siteMinutes;
        int credits = 0;
    };
    Visit m_visit;
    // In the LeavingLesson phase: since when, the lesson's figure then, and whether its exit
    // control was pressed already.
    struct Leaving
    {
        std::chrono::milliseconds since{0};
        std::optional<int> secondsBefore;
        bool exitPressed = false;
    };
    Leaving m_leaving;
    // Lessons left before the site had their minutes, to go back to once.
    struct LeftShort
    {
        LessonKey lesson;
        std::chrono::milliseconds at{0};
        bool wentBack = false;
    };
    QList<LeftShort> m_leftShort;
    // From the site's stop until it counts again (a recovery meanwhile comes back to it): why,
    // and the looks at whether it counts again, each with the lesson's player open a while.
    struct SiteWait
    {
        QString why;
        std::chrono::milliseconds since{0}; // 0: the site counts
        bool active() const { return since > std::chrono::milliseconds::zero(); }
        std::chrono::milliseconds nextLookAt{0};
        std::chrono::milliseconds lookingSince{0}; // 0: no player open to look
        int secondsBefore = 0;                     // the lesson's figure when the look began
    };
    SiteWait m_siteWait;
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
