// The study driver, honest minutes, login retries and exit courseware on the fake engine and
// the fake clock: ticks are fired by hand, waits jump to their deadline.

#include "program_fixture.h"
#include "records/timetable.h"
#include "study/run_texts.h"
#include "window/study_status.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

using namespace lumora;
using namespace lumora::testing;
using platform::LoadOutcome;
using records::RunEventKind;
using study::LessonProgress;
using namespace std::chrono_literals;

class StudyDriverTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<RunFixture>(); }
    void start_runsItsStepsInOrder();
    void start_onTheLoginPage_thenLoggedInAgain_studies();
    void nextCategory_allOrNothing_triedAgainAtTheNextTick();
    void tick_equalMinutesCredited_onePastMovesOn_beyondTheTimetableTheLongest();
    void start_atTheFirstLessonLeft_doneOnesNeverOpened();
    void tick_heldWhileAWalkWaits_runsAfterIt_droppedAfterExit();
    void pastLastCategory_endsTheRunOnce_saysWhichLessonsWereSkipped();
    void exit_clicksEveryExitInput_stopsWhileLoadingOrWaiting();

private:
    std::unique_ptr<RunFixture> f;
};

void StudyDriverTest::start_runsItsStepsInOrder()
{
    f->catalogue().setCategory(2);
    f->listDelay = 4s; // a slow site: the lesson list comes 4 s after the course menu's click
    // and records the category's choice 3 s after its link's click: the first list is still the
    // category shown before, and the course menu is asked again.
    f->selectionDelay = 3s;
    QStringList seen;
    f->platform.fakeClock.duringWait = [&] {
        seen << QString("%1 (%2 lessons)")
                    .arg(f->main().clickLog.join(","))
                    .arg(f->catalogue().lessonCount());
        f->timer().fire(); // a tick while the opening waits: the opening is its work
    };
    f->pressStudy();
    seen.removeDuplicates();
    QCOMPARE(f->run().tickCount(), 0);
    // The run's lessons stay as they were until the list comes.
    QCOMPARE(seen, (QStringList{"category-2,course-menu (0 lessons)",
                                "category-2,course-menu,course-menu (0 lessons)"}));
    // Each list is taken at the first look after it came; the menu is asked again 1 s later.
    QCOMPARE(f->platform.fakeClock.now(), 1000ms + 2 * (4000ms + 250ms) + 1000ms);
    QVERIFY(f->main().clickLog.last() == "lesson-2-1" && f->catalogue().lessonCount() == 7);
    QVERIFY(f->player().widget()->isVisibleTo(&f->window()));
    QCOMPARE(f->player().widget()->geometry(), f->main().widget()->geometry()); // over the site
    QVERIFY(f->timer().isEnabled());
    QCOMPARE(f->platform.fakeDialogs.texts,
             QStringList{"学习结束后自己查询学习时间是否已达到要求！"});
    // The course page was looked at for the site's record, and this site has none.
    QCOMPARE(f->kinds(), (QList{RunEventKind::RunStarted, RunEventKind::CategoryOpened,
                                RunEventKind::NoSiteRecord, RunEventKind::LessonOpened}));
}

void StudyDriverTest::start_onTheLoginPage_thenLoggedInAgain_studies()
{
    // The site logged the learner out before any study; "连续学习" on its login page finds no
    // course page to scan.
    f = std::make_unique<RunFixture>(false);
    f->showInMain(makeLoginPage());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gave up at \"find the course page"));
    f->pressStudy();
    QVERIFY(f->catalogue().categoryLinkPositions().isEmpty());
    // The learner logs in again and starts again: the run studies.
    f->showCoursePage(f->site);
    f->pressStudy();
    QVERIFY(f->main().clickLog.last() == QString("lesson-0-1") && f->minute() == 1);
}

void StudyDriverTest::nextCategory_allOrNothing_triedAgainAtTheNextTick()
{
    f->catalogue().setCategory(1);
    f->setStudied(1, allDone(1).mid(0, 8) << 0);
    f->pressStudy();
    for (int lesson = 1; lesson < 9; ++lesson)
        f->tick();
    f->setStudied(1, allDone(1));
    QCOMPARE(f->run().lessonIndex(), 8);
    // The site is slower than any wait: category 2's list never comes in this tick.
    f->listDelay = 1h;
    f->events.clear();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gave up at \"list the category's"));
    f->tick();
    QVERIFY(f->catalogue().category() == 1 && f->catalogue().lessonCount() == 9);
    QCOMPARE(f->run().lessonIndex(), 8);
    QCOMPARE(f->kinds(), (QList{RunEventKind::LessonDone, RunEventKind::CategoryFinished,
                                RunEventKind::PageFailed}));
    // Nor at the next try; the tick after that loads the course page anew instead of clicking.
    const int refreshes = f->main().refreshCount;
    f->tick();
    QCOMPARE(f->main().refreshCount, refreshes);
    f->main().clickLog.clear();
    f->tick();
    QVERIFY(f->main().refreshCount == refreshes + 1 && f->main().clickLog.isEmpty());
    // The old lesson's player earns nothing meanwhile; on the fresh page the list comes.
    f->listDelay = 0s;
    f->tick();
    QVERIFY(f->catalogue().category() == 2 && f->main().clickLog.last() == QString("lesson-2-1"));
    QCOMPARE(f->studied(1, 8), allDone(1).at(8));
    QVERIFY(f->kinds().contains(RunEventKind::CategoryOpened));
    // The learner's choice of a category during the run goes the same way, all or nothing.
    f->listDelay = 1h;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("gave up at \"list the category's"));
    f->window().categoryList()->setCurrentRow(3);
    QVERIFY(f->catalogue().category() == 2 && f->catalogue().lessonCount() == 7);
    // A list loaded with no lesson yet, its script adding them 2 s later, is not the list.
    *f->site.listLoad = [this](const std::function<void(bool)>& fill) {
        fill(false);
        const FakeElements links = std::exchange(f->site.lessons->elements(), {});
        f->platform.later(2s, [this, links] { f->site.lessons->elements() = links; });
    };
    f->window().categoryList()->setCurrentRow(0);
    QVERIFY(f->catalogue().category() == 0 && f->catalogue().lessonCount() == 21);
    QCOMPARE(f->main().clickLog.last(), QString("lesson-0-1"));
}

void StudyDriverTest::tick_equalMinutesCredited_onePastMovesOn_beyondTheTimetableTheLongest()
{
    f->catalogue().setCategory(2);
    f->setStudied(2, {45, 0, 0, 0, 0, 0, 0});
    f->pressStudy();
    QVERIFY(f->run().lessonProgress() == LessonProgress::Unknown && f->minute() == 1);
    QCOMPARE(f->studied(2, 0), 46);
    // Saved at once; the site is asked once a tick whether it answers, at its root (no action).
    QVERIFY(f->readState().contains("\r\n1.46.2.0.3.0."));
    QCOMPARE(f->platform.fakeProbe.checks, 3);
    QCOMPARE(f->platform.fakeProbe.lastUrl, QUrl("http://training.example:8080/"));
    // Done by the minute's credit, the lesson is left in the same tick: the next lesson's player
    // opens before the next minute starts, and that minute counts whole.
    QVERIFY(f->catalogue().selectedLesson() == 1 && f->run().lessonIndex() == 1);
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-2"));
    QCOMPARE(f->run().lessonProgress(), LessonProgress::StillStudying);
    QVERIFY(f->kinds().contains(RunEventKind::LessonDone));
    // A save that failed is tried again at the next tick, with no minute to credit.
    QVERIFY(QFile::remove(f->statePath()) && QDir().mkpath(f->statePath()));
    QCOMPARE(f->minute(), 1);
    QVERIFY(QDir().rmdir(f->statePath()));
    f->tick();
    QVERIFY(f->readState().contains("\r\n1.46.2.1.3.0."));
    // The study panel follows.
    QCOMPARE(f->window().findChild<QWidget*>("StudyLessonProgress")->property("value"), 1);
    f = std::make_unique<RunFixture>();
    // The site lists eight lessons of "基础理论"; the timetable knows seven.
    f->site = makeCoursePage({21, 9, 8, 8});
    f->showCoursePage(f->site);
    f->catalogue().setCategory(2);
    f->setStudied(2, allDone(2));
    QSignalSpy notices(&f->run(), &study::StudyRun::notice);
    const auto told = [&notices] {
        return std::count_if(notices.cbegin(), notices.cend(), [](const QList<QVariant>& notice) {
            return notice.value(0).toString().contains("课程列表有 8 课");
        });
    };
    f->pressStudy();
    f->window().lessonList()->setCurrentRow(7);
    const QString record = f->records().recordText(2);
    QVERIFY(f->minute() == 1 && f->studied(2, 7) == 1);
    QCOMPARE(f->run().lessonProgress(), LessonProgress::StillStudying);
    QCOMPARE(f->records().lesson(2, 7)->required, 53); // the category's longest
    QCOMPARE(f->records().recordText(2), record);      // the state file holds the timetable's only
    // Told once a run, and again in the next.
    QCOMPARE(told(), 1);
    f->dispatch([&] { f->run().exitCourseware(); });
    f->pressStudy();
    QCOMPARE(told(), 2);
}

void StudyDriverTest::start_atTheFirstLessonLeft_doneOnesNeverOpened()
{
    // A category done, and the next one's first lesson: its second is the first one opened.
    f->catalogue().setCategory(2);
    f->setStudied(2, allDone(2));
    f->setStudied(3, {45, 0, 0, 0, 0, 0, 0, 0});
    f->pressStudy();
    QCOMPARE(f->main().clickLog,
             (QStringList{"category-2", "course-menu", "category-3", "course-menu", "lesson-3-2"}));
    QCOMPARE(f->run().lessonIndex(), 1);
    QVERIFY(f->kinds().contains(RunEventKind::CategoryFinished));
    // Twenty done lessons: the last one opens at once, and nothing stalls.
    f = std::make_unique<RunFixture>();
    f->setStudied(0, allDone(0).mid(0, 20) << 0);
    f->pressStudy();
    QVERIFY(f->main().clickLog.last() == "lesson-0-21" && f->minute() == 1);
    QVERIFY(f->window().studyStatus()->stallText().isEmpty() && f->main().refreshCount == 0);
    // The learner picks a done lesson: the run counts on from its own lesson, the category's
    // last, and goes on to the next category.
    f = std::make_unique<RunFixture>();
    f->catalogue().setCategory(2);
    f->setStudied(2, allDone(2).mid(0, 6) << 0);
    f->pressStudy();
    QCOMPARE(f->run().lessonIndex(), 6);
    f->window().lessonList()->setCurrentRow(0);
    f->events.clear();
    f->tick();
    QCOMPARE(f->catalogue().category(), 3);
    QCOMPARE(f->kinds().mid(0, 3),
             (QList<RunEventKind>{RunEventKind::LessonDone, RunEventKind::CategoryFinished,
                                  RunEventKind::CategoryOpened}));
}

void StudyDriverTest::tick_heldWhileAWalkWaits_runsAfterIt_droppedAfterExit()
{
    f->catalogue().setCategory(2);
    f->pressStudy();
    const auto tickDuringNextWalk = [this] {
        f->main().duringWalk = [this, before = f->run().tickCount()] {
            f->main().duringWalk = nullptr;
            f->tick(); // arrives while the walk waits for the page
            f->tick(); // and another: coalesced with the first
            QCOMPARE(f->run().tickCount(), before);
        };
    };
    tickDuringNextWalk();
    f->dispatch([this] { f->catalogue().openCourseMenu(); });
    QCOMPARE(f->run().tickCount(), 1);

    // Exit courseware stops the clock while the tick waits: the held tick never runs.
    tickDuringNextWalk();
    f->window().exitButton()->click();
    QCOMPARE(f->run().tickCount(), 1);
}

void StudyDriverTest::pastLastCategory_endsTheRunOnce_saysWhichLessonsWereSkipped()
{
    f->site.top->input("", "button", "退出课件").id = "exit";
    for (int category = 0; category < 4; ++category)
        f->setStudied(category, allDone(category));
    f->catalogue().setCategory(3);
    f->run().skipStartNotice(); // the box below is the end's
    const QByteArray beforeEnd = f->readState();
    // The run has ended before the message shows (it may wait till morning): no tick is
    // delivered under it, the machine may sleep, the players are hidden and the end recorded.
    f->platform.fakeDialogs.whileOpen = [this] {
        f->tick();
        QVERIFY(!f->timer().isEnabled() && !f->platform.fakeSleep.held());
        QVERIFY(!f->player().widget()->isVisibleTo(&f->window()));
        QCOMPARE(f->events.last().kind, RunEventKind::RunEnded);
    };
    f->pressStudy(); // every lesson is done: past the last category at once
    QCOMPARE(f->catalogue().category(), 4);
    QCOMPARE(f->platform.fakeDialogs.texts.count("学习已结束!"), 1);
    // The panel too, with no figures of a category left over.
    const QString panel = f->window().studyStatus()->summaryText();
    QVERIFY(panel.startsWith("学习已结束") && !panel.contains("已完成") && !panel.contains("剩余"));
    // The category's list was read, and the site's exit button pressed (its players stop
    // reporting): no lesson clicked.
    QCOMPARE(f->main().clickLog, (QStringList{"category-3", "course-menu", "exit"}));
    QCOMPARE(f->readState(), beforeEnd);
    QCOMPARE(f->kinds().mid(3), (QList{RunEventKind::CategoryFinished, RunEventKind::RunEnded}));
    // "连续学习" again finds nothing left, and says so again.
    f->pressStudy();
    QCOMPARE(f->platform.fakeDialogs.texts.count("学习已结束!"), 2);

    // The site lists 7 of the category's 8 lessons, and the 7th's page is missing (404): the
    // end names the one skipped and the one never reached.
    f = std::make_unique<RunFixture>();
    f->site = makeCoursePage({21, 9, 7, 7});
    f->showCoursePage(f->site);
    for (int category = 0; category < 3; ++category)
        f->setStudied(category, allDone(category));
    f->setStudied(3, allDone(3).mid(0, 6) << 0 << 0);
    f->catalogue().setCategory(3);
    f->playerLoad = LoadOutcome::HttpError;
    f->pressStudy();
    QCOMPARE(f->events.at(2).kind, RunEventKind::ListDiffers);
    QVERIFY(f->window().studyStatus()->notice().contains("有 7 课，学习计划有 8 课"));
    for (int tick = 0; tick < 30 && f->timer().isEnabled(); ++tick)
        f->tick();
    const QString name = records::categoryNames().at(3);
    const QString end = "学习已结束，但还有课没有学完。以下课的页面多次无法打开，本次跳过：" +
                        name + "第 7 课。以下课没有学够：" + name +
                        "第 8 课。请稍后再按“连续学习”补学。";
    QCOMPARE(f->platform.fakeDialogs.texts.last(), end);
    QCOMPARE(f->window().studyStatus()->notice(), end);
    QCOMPARE(f->events.last().kind, RunEventKind::RunEnded);
    QCOMPARE(f->events.last().detail, name + "第 7 课、" + name + "第 8 课");
    // A lesson never reached with none skipped is not the end of the timetable either.
    QVERIFY(study::RunTexts::ended({}, name + "第 8 课").startsWith("学习已结束，但"));
}

void StudyDriverTest::exit_clicksEveryExitInput_stopsWhileLoadingOrWaiting()
{
    f->site.top->input("", "button", "退出课件").id = "exit-1";
    f->site.top->input("", "button", "退出课件 ").id = "blank-after";
    f->site.top->input("", "button", "退出课件").id = "exit-2";
    f->pressStudy();
    f->main().clickLog.clear();
    f->window().exitButton()->click();
    QVERIFY(f->main().clickLog == (QStringList{"exit-1", "exit-2"}) && !f->timer().isEnabled());

    f->pressStudy();
    f->main().setReadyState(platform::ReadyState::Loading);
    f->main().clickLog.clear();
    f->window().exitButton()->click();
    QVERIFY(f->main().clickLog.isEmpty() && !f->timer().isEnabled());
    QVERIFY(!f->player().widget()->isVisibleTo(&f->window()));
    f = std::make_unique<RunFixture>();
    f->catalogue().setCategory(2);
    f->listDelay = 4s;
    f->platform.fakeClock.duringWait = [this] {
        f->platform.fakeClock.duringWait = nullptr;
        f->window().exitButton()->click();
    };
    f->pressStudy();
    QVERIFY(!f->timer().isEnabled() && !f->platform.fakeSleep.held());
    QVERIFY(!f->main().clickLog.contains("lesson-2-1"));
    QVERIFY(!f->player().widget()->isVisibleTo(&f->window()));
    QCOMPARE(f->kinds().last(), RunEventKind::RunEnded);
}

QTEST_MAIN(StudyDriverTest)
#include "tst_study_driver.moc"
