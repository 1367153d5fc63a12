// Honest minutes on the fake engine: a minute counts only while the lesson's player is open,
// answering and able to play, and the site has just confirmed the session; a run keeps the
// machine awake and notices when it slept; logging in again backs off.

#include "app/page_time_setting.h"
#include "program_fixture.h"
#include "records/timetable.h"
#include "window/study_status.h"
#include "window/tray_icon.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <ranges>

using namespace lumora;
using namespace lumora::testing;
using namespace std::chrono_literals;
using platform::LoadOutcome;
using records::RunEventKind;

// Each text the study panel shows has a place of its own.
static bool textsApart(window::StudyStatus& panel)
{
    panel.layout()->activate();
    QList<QLabel*> shown = panel.findChildren<QLabel*>();
    shown.removeIf(
        [](const QLabel* label) { return label->isHidden() || label->text().isEmpty(); });
    for (const QLabel* a : shown)
        for (const QLabel* b : shown)
            if (a != b && a->geometry().intersects(b->geometry()))
                return false;
    return shown.size() >= 3;
}

class HonestMinutesTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<RunFixture>(); }
    void player_notOpen_noMinute_reopenedThenSkipped_data();
    void player_notOpen_noMinute_reopenedThenSkipped();
    void player_siteDown_reopenedEveryTick_neverSkipped();
    void player_sameFailureThreeLessonsInARow_theSitesTrouble_waitedHalfAnHour();
    void player_leftItsLesson_earnsNothing_reopened();
    void player_openedInSteps_theLessonsPage_aPageLeavingBeforeAMinuteFails();
    void video_noMediumOnThePage_noMinute_skippedWithItsWords_pageTimeWhenAsked();
    void
    video_countsWhilePlaying_replayedWhenEnded_pausedWaits_reopenedWhenStill_unplayablePauses();
    void minute_onlyForTheLessonsOwnPlayer_openAllMinute();
    void minute_ofANewPlayer_isAMinuteOfItsOwnPlay();
    void minute_readShort_madeUpOnlyByPlayTheSiteCounted();
    void session_confirmedBeforeEveryMinute_aSlowSiteWaited_noLoginForAStall();
    void session_retriesBackOff_loggingInFollowsThePages_capped();
    void sleep_heldWhileRunning_releasedOnEveryWayOut_wakingUpRecorded();

private:
    std::unique_ptr<RunFixture> f;
};

void HonestMinutesTest::player_notOpen_noMinute_reopenedThenSkipped_data()
{
    QTest::addColumn<LoadOutcome>("load");
    QTest::addColumn<bool>("windowOpens");
    QTest::addColumn<bool>("hung");
    QTest::addColumn<int>("mediaError");
    QTest::addColumn<QStringList>("clicks");
    const QStringList again = {"lesson-2-1", "lesson-2-1", "lesson-2-2"};
    QTest::newRow("HTTP error") << LoadOutcome::HttpError << true << false << 0 << again;
    QTest::newRow("renderer died") << LoadOutcome::RendererGone << true << false << 0 << again;
    QTest::newRow("no window") << LoadOutcome::Succeeded << false << false << 0 << again;
    QTest::newRow("undecodable video") << LoadOutcome::Succeeded << true << false << 3 << again;
    // Code 4 is also a source that failed (a 404): only a type the engine cannot play pauses.
    QTest::newRow("source failed") << LoadOutcome::Succeeded << true << false << 4 << again;
    // A page that does not answer is loaded again, which ends its renderer (and the main
    // view's with it): the category is opened again at the next tick.
    const QStringList category = {"category-2", "course-menu", "lesson-2-1"};
    QTest::newRow("no answer") << LoadOutcome::Succeeded << true << true << 0
                               << category + category + QStringList{"lesson-2-2"};
}

void HonestMinutesTest::player_notOpen_noMinute_reopenedThenSkipped()
{
    QFETCH(LoadOutcome, load);
    QFETCH(bool, windowOpens);
    QFETCH(bool, hung);
    QFETCH(int, mediaError);
    f->playerLoad = load;
    if (!windowOpens)
        *f->site.openPlayer = nullptr;
    if (mediaError) // the video that reports it is the lesson's
        f->playerDocument->video.errorCode =
            f->playerDocument->mediaErrors.emplace_back(mediaError);
    f->player().hung = hung;
    f->catalogue().setCategory(2);
    f->pressStudy();
    f->main().clickLog.clear();
    // No minute counts; the lesson is opened again twice, then given up for the next one.
    for (int ticks = 0; ticks < 12 && !f->kinds().contains(RunEventKind::LessonSkipped); ++ticks)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 0);
    QTEST(f->main().clickLog, "clicks");
    QCOMPARE(f->kinds().count(RunEventKind::PageFailed), 2);
    QCOMPARE(f->player().refreshCount, hung ? 2 : 0);
    QCOMPARE(f->kinds().count(RunEventKind::LessonSkipped), 1);
    QCOMPARE(f->kinds().count(RunEventKind::VideoFailed), mediaError ? 1 : 0); // once a lesson
    QVERIFY(f->window().studyStatus()->notice().contains("跳过") && f->run().lessonIndex() == 1);

    // The next lesson's player opens: its minutes count again, and the notice goes.
    f->playerLoad = LoadOutcome::Succeeded;
    f->player().hung = false;
    f->playerDocument->mediaErrors.clear();
    f->playerDocument->video.errorCode = 0;
    f->showCoursePage(f->site);
    f->dispatch([this] { f->run().openChosenLesson(1); }); // as the learner chooses it
    f->tick();
    QCOMPARE(f->minute(), 1);
    QCOMPARE(f->studied(2, 1), f->kinds().count(RunEventKind::MinuteCredited));
    QVERIFY(f->window().studyStatus()->notice().isEmpty());
}

void HonestMinutesTest::player_siteDown_reopenedEveryTick_neverSkipped()
{
    f->catalogue().setCategory(2);
    f->pressStudy();
    // The player loaded, then the site went away: the check finds no site, the lesson is opened
    // again and fails to load; no minute counts however long it lasts, and nothing is skipped.
    f->platform.fakeProbe.site = platform::SiteProbe::Answer::Unreachable;
    f->playerLoad = LoadOutcome::NetworkError;
    QCOMPARE(f->minute() + f->minute() + f->minute(), 0);
    // The check's answer comes a tick late: every tick after the first opens the lesson again.
    QVERIFY(f->playersOpened == 1 + 8 && f->kinds().count(RunEventKind::LessonSkipped) == 0);
    QVERIFY(f->window().studyStatus()->notice().contains("无法连接"));
    QVERIFY(textsApart(*f->window().studyStatus()));
    // The site is back: the player opened again starts a minute, credited at its third tick.
    f->platform.fakeProbe.site = platform::SiteProbe::Answer::Reachable;
    f->playerLoad = LoadOutcome::Succeeded;
    f->tick();
    QVERIFY(f->minute() == 1 && f->run().lessonIndex() == 0);
}

void HonestMinutesTest::player_sameFailureThreeLessonsInARow_theSitesTrouble_waitedHalfAnHour()
{
    f->catalogue().setCategory(2);
    f->setStudied(2, {44}); // of 45: one minute more after this one, and it is done
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    // The site's video host answers 404 for every lesson from now on.
    platform::VideoReport& video = f->playerDocument->video;
    const auto hostDown = [&](bool down) {
        f->playerDocument->mediaErrors = down ? QList<int>{4} : QList<int>{};
        video.errorCode = down ? 4 : 0;
    };
    hostDown(true);
    for (int tick = 0; tick < 30 && !f->kinds().contains(RunEventKind::LessonGivenBack); ++tick)
        f->tick();
    // Two lessons are skipped; the third fails the same way: both are given back, the first is
    // studied first, and nothing more is skipped.
    QCOMPARE(f->kinds().count(RunEventKind::LessonSkipped), 2);
    QVERIFY(f->kinds().count(RunEventKind::LessonGivenBack) == 2 && f->run().lessonIndex() == 0);
    // Opened in the category shown, with no click on its link again.
    QVERIFY(f->main().clickLog.last() == "lesson-2-1" &&
            f->main().clickLog.count("category-2") == 1);
    // Meanwhile the lesson is opened again every two minutes, and no reload mends the site.
    const int players = f->playersOpened;
    for (int tick = 0; tick < 3 * 6 + 1; ++tick)
        f->tick();
    QCOMPARE(f->playersOpened, players + 3);
    QVERIFY(f->window().studyStatus()->notice().startsWith("网站的视频暂时无法播放"));
    QVERIFY(f->window().studyStatus()->stallText().contains("网站的视频暂时无法播放"));
    QVERIFY(f->main().refreshCount == 0 && !f->session().recovering());
    // The host is back: the lesson's minute counts within 90 s of its video playing again, and
    // the run moves on.
    hostDown(false);
    const std::chrono::milliseconds back = f->platform.fakeClock.now();
    while (f->studied(2, 0) == 45 && f->platform.fakeClock.now() - back < 3min)
        f->tick();
    QVERIFY(f->platform.fakeClock.now() - back <= 90s);
    QCOMPARE(f->studied(2, 0), 46);
    QCOMPARE(f->run().lessonIndex(), 1);
    // Down again for good: lessons 2 and 3 are skipped, the fourth fails the same way; lesson 3
    // is given back (lesson 2 was before), waits half an hour for the site, and is skipped again,
    // saying why.
    hostDown(true);
    for (int tick = 0; tick < 150 && f->kinds().count(RunEventKind::LessonSkipped) < 5; ++tick)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::LessonGivenBack), 3);
    QCOMPARE(f->events.last().kind, RunEventKind::LessonOpened);
    const auto skipped = std::ranges::find(f->events | std::views::reverse,
                                           RunEventKind::LessonSkipped, &records::RunEvent::kind);
    QVERIFY(skipped->lesson == 2 && skipped->detail == "网站的视频 30 分钟一直无法播放");
    QCOMPARE(f->window().studyStatus()->notice(), "第 3 课本次学习跳过：" + skipped->detail);
}

void HonestMinutesTest::player_leftItsLesson_earnsNothing_reopened()
{
    f->catalogue().setCategory(2);
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    // The player goes on to the next lesson by itself: the minute is not the clicked lesson's.
    int opened = f->playersOpened;
    f->tick();
    f->player().startLoad({f->playerDocument, {LoadOutcome::Succeeded, 200, {}, {}}});
    f->tick();
    f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 1);
    QCOMPARE(f->playersOpened, opened + 1);
    QCOMPARE(f->events.at(f->events.size() - 2).kind, RunEventKind::LessonReopened);
    QCOMPARE(f->events.at(f->events.size() - 2).detail, "课件页面自己转到了别处");
    QCOMPARE(f->minute(), 1);
    // So does a page that closes the player's window.
    opened = f->playersOpened;
    emit f->player().windowClosedByPage();
    QVERIFY(f->minute() == 0 && f->playersOpened == opened + 1);
    QCOMPARE(f->minute(), 1);
    QCOMPARE(f->kinds().count(RunEventKind::LessonSkipped), 0);
    QVERIFY(!f->kinds().contains(RunEventKind::PageFailed));
}

void HonestMinutesTest::player_openedInSteps_theLessonsPage_aPageLeavingBeforeAMinuteFails()
{
    // What the lesson's link opens first (none: the player), what the page loads after it and
    // when, what the medium does before each of the first three ticks, and whether that first
    // minute counts, as it does where the player opens at once.
    auto entry = std::make_shared<FakeDocument>();
    entry->firstLine = "正在进入课件…";
    using Medium = std::function<void(platform::VideoReport&, int)>;
    const Medium plays = [](platform::VideoReport&, int) {};
    const std::vector<std::tuple<const char*, std::shared_ptr<FakeDocument>, bool, Medium, int>>
        shapes = {
            {"the player at once", nullptr, false, plays, 1},
            {"an entry page that forwards", entry, true, plays, 1},
            {"a frame of another origin: a load of its own, its report late", nullptr, true,
             [](platform::VideoReport& video, int tick) { video.present = tick > 0; }, 1},
            {"a pre-roll before the lesson", nullptr, false,
             [](platform::VideoReport& video, int tick) {
                 if (tick == 0)
                     video = {.present = true, .duration = 30, .source = "ad"};
                 if (tick == 1)
                     video = {
                         .present = true, .currentTime = -5, .duration = 600, .source = "lesson"};
             },
             0},
        };
    const auto openWith = [this](std::shared_ptr<FakeDocument> first, bool forwards,
                                 std::chrono::seconds after) {
        *f->site.openPlayer = [this, first, forwards, after](int, int) {
            if (f->main().requestNewWindow() != &f->player())
                return;
            ++f->playersOpened;
            f->player().startLoad({first ? first : f->playerDocument});
            if (forwards)
                f->platform.later(after, [this] {
                    f->player().startLoad({framedPage(f->playerDocument, 1, 0)});
                    f->player().finishLoad();
                });
        };
    };
    for (const auto& [name, first, forwards, medium, counted] : shapes) {
        f = std::make_unique<RunFixture>();
        // The page's next document comes 2 s after the click (a form posted to the video host,
        // a frame the engine reports as a load of the page).
        openWith(first, forwards, 2s);
        f->pressStudy();
        f->platform.runEventLoop(); // the first load ends
        f->platform.fakeClock.advance(2s);
        f->platform.runEventLoop(); // the next one, as the page has it
        // A report seen late counts from its page's opening, as its own play allows: a tick late.
        for (int tick = 0; tick < 4; ++tick) {
            medium(f->playerDocument->video, tick);
            f->tick();
        }
        QVERIFY2(f->playersOpened == 1, name);
        QVERIFY2(!f->kinds().contains(RunEventKind::PageFailed) &&
                     !f->kinds().contains(RunEventKind::LessonReopened),
                 name);
        QVERIFY2(f->kinds().count(RunEventKind::MinuteCredited) == counted, name);
    }
    // A page that goes elsewhere a minute after the click, before a minute counted, is the lesson
    // failing to open: three times, and it is skipped with its reason.
    f = std::make_unique<RunFixture>();
    openWith(entry, true, 60s);
    f->pressStudy();
    for (int tick = 0; tick < 20 && !f->kinds().contains(RunEventKind::LessonSkipped); ++tick)
        f->tick();
    QVERIFY(f->playersOpened == 3 + 1 && f->kinds().count(RunEventKind::LessonReopened) == 2);
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 0);
    const auto skipped =
        std::ranges::find(f->events, RunEventKind::LessonSkipped, &records::RunEvent::kind);
    QCOMPARE(skipped->detail, "课件页面自己转到了别处");
    QCOMPARE(f->window().studyStatus()->notice(), "第 1 课本次学习跳过：课件页面自己转到了别处");
}

void HonestMinutesTest::video_noMediumOnThePage_noMinute_skippedWithItsWords_pageTimeWhenAsked()
{
    // A page without a video or audio, and one that shows a document instead.
    for (const bool document : {false, true}) {
        f = std::make_unique<RunFixture>();
        f->playerDocument->video.present = false;
        f->playerDocument->documentMedium = document;
        f->playerDocument->firstLine = "今日学时已满，请明天再来学习";
        f->pressStudy();
        const QString says =
            (document ? "第 1 课的页面是文档，没有视频或音频：" : "第 1 课的页面上没有找到视频：") +
            f->playerDocument->firstLine;
        QCOMPARE(f->minute() + f->minute() + f->minute(), 0);
        QCOMPARE(f->window().studyStatus()->notice(), says);
        QCOMPARE(f->window().studyStatus()->stallText(), "3 分钟未能计时：" + says);
        // Five minutes of it: the lesson is skipped with its reason and the page's words; no
        // reload or login was tried for it.
        for (int tick = 0; tick < 9 && !f->kinds().contains(RunEventKind::LessonSkipped); ++tick)
            f->tick();
        QVERIFY(f->main().refreshCount == 0 && !f->session().recovering());
        const QString why =
            (document ? "课件是文档，没有视频或音频：" : "页面上没有找到视频或音频：") +
            f->playerDocument->firstLine;
        QCOMPARE(std::ranges::find(f->events, RunEventKind::LessonSkipped, &records::RunEvent::kind)
                     ->detail,
                 why);
        QCOMPARE(f->window().studyStatus()->notice(), "第 1 课本次学习跳过：" + why);
        QVERIFY(!f->kinds().contains(RunEventKind::PageFailed));
    }
    // A site whose lessons are documents: the learner asks for page time, kept for later starts.
    f = std::make_unique<RunFixture>();
    f->playerDocument->video.present = false;
    f->window().pageTimeAction()->trigger();
    f->pressStudy();
    for (int minute = 0; minute < 6; ++minute)
        QCOMPARE(f->minute(), 1);
    QVERIFY(app::PageTimeSetting(f->program->config().dataFolder).enabled());
}

void HonestMinutesTest::
    video_countsWhilePlaying_replayedWhenEnded_pausedWaits_reopenedWhenStill_unplayablePauses()
{
    platform::VideoReport& video = f->playerDocument->video;
    video = {.present = true, .duration = 50};
    QTest::failOnWarning(QRegularExpression("did not take the replay"));
    f->pressStudy();
    // The video ends at 50 s and is played again (and takes it); its player has not played a
    // minute yet, so the minute waits for the replay's first tick.
    QVERIFY(f->minute() == 0 && f->player().replays == 1);
    f->tick();
    QVERIFY(f->kinds().count(RunEventKind::MinuteCredited) == 1 && f->minute() == 1);
    // Paused behind the site's own question: its continue control is pressed as a learner would,
    // never its exit, and the minutes count again.
    f->player().clickLog.clear();
    video = {.present = true, .paused = true};
    FakeElement& exit = f->playerDocument->add({"button", {}, {}, {}, "退出学习", {}, "exit", {}});
    exit.context = "正在播放 退出学习";
    FakeElement& go = f->playerDocument->add({"button", {}, {}, {}, "继续学习", {}, "go", {}});
    go.context = "继续学习? 继续学习";
    go.onClick = [&video](FakeDocument&) { video.paused = false; };
    f->minute();
    QCOMPARE(f->player().clickLog, QStringList{"go"});
    QCOMPARE(f->minute(), 1);
    // A question the settings do not name is the learner's, told in the page's words; the lesson
    // waits for them, however long: it is not opened again, nor skipped, nor mended by a reload.
    go.innerText = "我在学习";
    go.context = "您还在学习吗？ 我在学习";
    video.paused = true;
    const int opened = f->playersOpened;
    for (int minute = 0; minute < 12; ++minute)
        QCOMPARE(f->minute(), 0);
    QVERIFY(f->window().studyStatus()->notice().contains("您还在学习吗？ 我在学习"));
    QCOMPARE(f->player().clickLog, QStringList{"go"});
    QVERIFY(f->playersOpened == opened && f->main().refreshCount == 0);
    // A video that neither plays nor is paused (stalled while buffering) is opened again after
    // ten minutes, not two, and the record says why.
    video = {.present = true, .currentTime = 100};
    for (int tick = 0; tick < 29; ++tick) {
        video.currentTime = 80; // the tick adds 20: it stands still
        f->tick();
    }
    QCOMPARE(f->playersOpened, opened);
    for (int tick = 0; tick < 3 && f->playersOpened == opened; ++tick) {
        video.currentTime = 80;
        f->tick();
    }
    QCOMPARE(f->playersOpened, opened + 1);
    QVERIFY(std::ranges::any_of(f->events, [](const records::RunEvent& e) {
        return e.kind == RunEventKind::LessonReopened && e.detail.contains("10 分钟");
    }));
    // The learner's settings name other words for going on: those are pressed, from the start.
    f = std::make_unique<RunFixture>(
        true, QVariantMap{{"study/continueControls", QStringList{"我在学习"}}});
    f->playerDocument->add({"button", {}, {}, {}, "我在学习", {}, "mine", {}}).onClick =
        [this](FakeDocument&) { f->playerDocument->video.paused = false; };
    f->playerDocument->video.paused = true;
    // A media error of another element than the lesson's video stops nothing.
    f->playerDocument->mediaErrors = {4};
    f->pressStudy();
    f->tick();
    QCOMPARE(f->player().clickLog, QStringList{"mine"});
    QCOMPARE(f->minute(), 1); // a minute of play since the press
    f->playerDocument->video.errorCode = 4;
    f->playerDocument->video.typeUnplayable = true;
    QVERIFY(f->minute() == 0 && !f->timer().isEnabled());
    QVERIFY(f->window().statusBar()->currentMessage().contains("无法播放"));
    QCOMPARE(f->kinds().count(RunEventKind::RunPaused), 1);
    QCOMPARE(f->kinds().count(RunEventKind::VideoFailed), 1);
    // Nothing for the learner to log in to.
    QVERIFY(!f->window().loginButton()->isEnabled());
}

void HonestMinutesTest::minute_ofANewPlayer_isAMinuteOfItsOwnPlay()
{
    // The video starts 5 s after its page opened: three ticks see 55 s of it, and the minute
    // waits a tick rather than credit what the site has not counted.
    f->playerDocument->video.currentTime = -5; // each tick adds 20
    f->pressStudy();
    for (int tick = 0; tick < 3; ++tick)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 0);
    f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 1);
    // Its next minutes are three ticks each again.
    QCOMPARE(f->minute(), 1);
}

void HonestMinutesTest::minute_onlyForTheLessonsOwnPlayer_openAllMinute()
{
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    // The player failed and was opened again during the minute: the site counted less than a
    // minute of it, so the minute is not credited. The new page starts a minute of its own, in
    // which its video, playing at half speed, is not made up by what the old page played.
    f->tick();
    f->player().setLastLoad({LoadOutcome::HttpError, 500, {}, {}});
    f->tick();
    platform::VideoReport& video = f->playerDocument->video;
    video.currentTime = 0;
    for (int tick = 0; tick < 3; ++tick) {
        video.currentTime -= 10; // the tick adds 20
        f->tick();
    }
    QVERIFY(f->kinds().count(RunEventKind::MinuteCredited) == 1 && f->minute() == 1);
    // The first lesson is done, and the next lesson's link cannot be clicked: the first
    // lesson's player still plays, and none of its minutes go to the next lesson. The course page
    // is no fault of the lesson: the category is opened again, and the lesson with it.
    f->setStudied(0, {allDone(0).at(0)});
    f->site.lessons->elements().clear();
    f->events.clear();
    for (int ticks = 0; ticks < 6 && !f->kinds().contains(RunEventKind::CategoryOpened); ++ticks)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 0);
    QVERIFY(!f->kinds().contains(RunEventKind::LessonSkipped));
    QCOMPARE(f->main().clickLog.last(), QString("lesson-0-2"));
}

void HonestMinutesTest::minute_readShort_madeUpOnlyByPlayTheSiteCounted()
{
    // A minute whose video played 35 s is refused; the next plays 30 s and counts only when the
    // 35 s were counted by the site: its session answered alive in that minute.
    for (const bool answered : {true, false}) {
        f = std::make_unique<RunFixture>();
        f->pressStudy();
        QCOMPARE(f->minute(), 1);
        platform::VideoReport& video = f->playerDocument->video;
        const auto minuteMoving = [&](std::initializer_list<double> seconds) {
            const int before = f->studied(0, 0);
            for (const double moved : seconds) {
                video.currentTime -= 20 - moved; // the tick adds 20
                f->tick();
            }
            return f->studied(0, 0) - before;
        };
        if (!answered)
            f->main().fetchReply->status = platform::FetchAnswer::Status::Pending;
        QCOMPARE(minuteMoving({20, 15, 0}), 0);
        f->answerSessionChecks(true);
        QCOMPARE(minuteMoving({20, 10, 0}), answered ? 1 : 0);
    }
}

void HonestMinutesTest::session_confirmedBeforeEveryMinute_aSlowSiteWaited_noLoginForAStall()
{
    f->pressStudy();
    QCOMPARE(f->main().fetches, 1); // the course page looked at for the site's record
    QCOMPARE(f->minute(), 1);       // asked at the minute's first tick, confirmed alive
    QCOMPARE(f->main().fetches, 2);
    // No answer by the minute: no verdict on the session, no minute; the next minute asks anew.
    f->main().fetchReply->status = platform::FetchAnswer::Status::Pending;
    QCOMPARE(f->minute(), 0);
    f->answerSessionChecks(true);
    QCOMPARE(f->minute(), 1);
    QCOMPARE(f->main().fetches, 4); // one question a minute
    QVERIFY(!f->session().recovering());
    // The session ended under the open player: no minute, and the run logs in again.
    f->answerSessionChecks(false);
    QVERIFY(f->minute() == 0 && f->session().recovering());
    QCOMPARE(f->studied(0, 0), 2);
    // The login sent, its answer slower than a minute: waited for, not taken as refused.
    QVERIFY(f->minute() == 0 && f->timer().isEnabled() && f->session().recovering());
    f->dispatch([this] { f->run().exitCourseware(); }); // which "退出课件" ends with the run
    QVERIFY(!f->session().recovering());
    f = std::make_unique<RunFixture>();
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    // The site stops answering the session check: no verdict, no minute; from the third such
    // minute the site is called slow. It is waited for: no reload and no login mend it.
    f->main().fetchReply->status = platform::FetchAnswer::Status::Pending;
    f->minute();
    f->minute();
    QVERIFY(f->window().studyStatus()->stallText().isEmpty());
    f->minute();
    QCOMPARE(f->window().studyStatus()->stallText(), "3 分钟未能计时：网站响应很慢");
    QVERIFY(f->window().studyStatus()->notice().startsWith("网站响应很慢"));
    QVERIFY(textsApart(*f->window().studyStatus()));
    QCOMPARE(f->events.last().kind, RunEventKind::Stalled);
    QVERIFY(window::trayNotificationFor(f->events.last())->warning);
    for (int minute = 0; minute < 8; ++minute)
        QVERIFY(f->minute() == 0 && !f->session().recovering());
    QCOMPARE(f->main().refreshCount, 0);
    QVERIFY(f->platform.fakeSleep.held()); // still trying
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 1);
    // A lesson list that never comes is reloaded for and opened again, never logged in for.
    f = std::make_unique<RunFixture>();
    *f->site.listLoad = [](const std::function<void(bool)>&) {};
    f->pressStudy();
    for (int tick = 0; tick < 8 * 3; ++tick) {
        f->tick();
        QVERIFY(!f->session().recovering());
    }
    QVERIFY(f->main().refreshCount > 0 && f->timer().isEnabled());
}

void HonestMinutesTest::session_retriesBackOff_loggingInFollowsThePages_capped()
{
    f->playerDocument = makeLoginPage();
    f->pressStudy();
    // Each attempt sends the main view to the login page; the engine's error page comes instead.
    f->main().pages[f->session().loginPage()] = {std::make_shared<FakeDocument>(),
                                                 {LoadOutcome::NetworkError, 0, "refused", {}}};
    QList<std::chrono::milliseconds> attempts;
    for (int second = 0; second < 6 * 60 && attempts.size() < 4; second += 20) {
        const qsizetype before = f->main().navigations.size();
        f->tick();
        if (f->main().navigations.size() > before)
            attempts.append(f->platform.fakeClock.now());
    }
    QCOMPARE(attempts.size(), 4);
    QVERIFY(f->window().studyStatus()->notice().startsWith("重新登录未成功"));
    // A failed attempt shows at the next tick (20 s); then the wait doubles from 30 s, each
    // rounded up to a tick: 20 + 30 -> 60, 20 + 60 -> 80, 20 + 120 -> 140.
    QCOMPARE(attempts[1] - attempts[0], 60s);
    QCOMPARE(attempts[2] - attempts[1], 80s);
    QCOMPARE(attempts[3] - attempts[2], 140s);
    QVERIFY(f->timer().isEnabled());
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 0);
    f = std::make_unique<RunFixture>();
    // The site takes the saved login at once and shows the course page again.
    f->main().pages[f->session().loginPage()].document->elements()[3].onClick = [this](auto&) {
        f->main().startLoad({f->site.top});
    };
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    // A login followed by a credited minute: the logins count afresh after it.
    f->answerSessionChecks(false);
    QCOMPARE(f->minute(), 0);
    f->answerSessionChecks(true);
    for (int tick = 0; tick < 6 && f->kinds().count(RunEventKind::MinuteCredited) < 2; ++tick)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 2);
    f->answerSessionChecks(false); // and yet every session check finds it ended
    for (int login = 1; login <= study::LoginBudget::kMaxPerLesson; ++login) {
        const int opened = f->playersOpened;
        QCOMPARE(f->minute(), 0);
        // From the verdict to the player open again with no tick between: at the pages' pace.
        f->platform.runEventLoop();
        f->platform.runEventLoop();
        QVERIFY(f->kinds().count(RunEventKind::SessionRecovered) == login + 1 &&
                f->playersOpened == opened + 1);
    }
    // One login too many within the lesson: the run pauses for the learner.
    QVERIFY(f->minute() == 0 && !f->timer().isEnabled());
    QVERIFY(f->window().statusBar()->currentMessage().contains("登录后很快又失效"));
    QVERIFY(!f->player().widget()->isVisibleTo(&f->window())); // the site shows, to log in
    QVERIFY(f->window().loginButton()->isEnabled());
}

void HonestMinutesTest::sleep_heldWhileRunning_releasedOnEveryWayOut_wakingUpRecorded()
{
    // Each way out of a run, and what it records.
    const std::vector<std::tuple<const char*, std::function<void(RunFixture&)>, RunEventKind>>
        ways = {
            {"exit courseware", [](RunFixture& r) { r.window().exitButton()->click(); },
             RunEventKind::RunEnded},
            {"video cannot play",
             [](RunFixture& r) {
                 r.playerDocument->video = {true, 0, 0, false, false, 0, 4, true};
                 r.tick();
             },
             RunEventKind::RunPaused},
            {"past the last category",
             [](RunFixture& r) {
                 r.setStudied(0, allDone(0));
                 for (const int category : {1, 2, 3})
                     r.setStudied(category, QList<int>(9, 99));
                 for (int tick = 0; tick < 60 && r.timer().isEnabled(); ++tick)
                     r.tick();
             },
             RunEventKind::RunEnded},
            {"program quits", [](RunFixture& r) { r.program->quit(); }, RunEventKind::ProgramQuit},
            {"the window is closed: 结束学习并退出",
             [](RunFixture& r) {
                 r.platform.fakeDialogs.choices = {0};
                 r.window().close();
             },
             RunEventKind::ProgramQuit},
            {"a page closes the window", [](RunFixture& r) { emit r.main().windowClosedByPage(); },
             RunEventKind::ProgramQuit},
        };
    for (const auto& [name, wayOut, recorded] : ways) {
        RunFixture r;
        r.pressStudy();
        r.minute();
        QVERIFY2(r.platform.fakeSleep.held(), name);
        wayOut(r);
        QVERIFY2(!r.platform.fakeSleep.held() && !r.timer().isEnabled(), name);
        // One line ends the run, with its minutes.
        QCOMPARE(r.kinds().count(recorded), 1);
        const auto ending =
            std::find_if(r.events.begin(), r.events.end(),
                         [&](const records::RunEvent& e) { return e.kind == recorded; });
        QCOMPARE(ending->minutes, r.kinds().count(RunEventKind::MinuteCredited));
        // A new run holds it again, unless there is nothing left to study or no program.
        const bool canStudy =
            !r.window().unloaded() && records::isCategory(r.catalogue().category());
        r.pressStudy();
        QVERIFY2(r.platform.fakeSleep.held() == canStudy, name);
    }
    f->pressStudy();
    QCOMPARE(f->minute(), 1);
    f->tick();
    // The machine sleeps for half an hour; the site ends the session meanwhile.
    f->platform.fakeClock.sleep(30min);
    f->answerSessionChecks(false);
    f->tick();
    // Recorded, and the lesson opened again: the site's record of the old player may have lapsed.
    QCOMPARE(f->events.at(f->events.size() - 2).kind, RunEventKind::Resumed);
    QCOMPARE(f->events.at(f->events.size() - 2).minutes, 30);
    QCOMPARE(f->events.last().kind, RunEventKind::LessonOpened);
    // The lesson's player, opened again, starts a minute: the session is asked at its first tick
    // and found ended at its last.
    for (int tick = 0; tick < 3; ++tick)
        f->tick();
    QCOMPARE(f->kinds().count(RunEventKind::MinuteCredited), 1);
    QVERIFY(f->session().recovering());
}

QTEST_MAIN(HonestMinutesTest)
#include "tst_honest_minutes.moc"
