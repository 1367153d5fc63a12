// The study driver, honest minutes, login retries and exit courseware on the fake engine and
// the fake clock: ticks are fired by hand, waits jump to their deadline.

#include "program_fixture.h"
#include "records/timetable.h"
#include "window/study_status.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::LoadOutcome;
using records::RunEventKind;
using study::LessonProgress;

namespace {

// Studied minutes that make every lesson of the category done (one past required).
QList<int> allDone(int category)
{
    QList<int> minutes;
    for (const QString& r :
         records::minutesOfLessons(records::requiredMinutesTables().at(category)))
        minutes.append(r.toInt() + 1);
    return minutes;
}

} // namespace

class StudyDriverTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void start_runsItsStepsInOrder();
    void start_emptyCategoryListSaysAllDone();
    void tick_equalMinutesAreCredited_onePastMovesOn();
    void tick_lastLessonDone_nextCategoryInTheSameTick();
    void tick_doneLessonChosenByHandAtTheLast_nextCategory();
    void tick_lessonBeyondTheTimetable_earnsNothing();
    void tick_heldWhileAWalkWaits_runsAfterIt_droppedAfterExit();
    void pastLastCategory_endsTheRunOnceAsExitDoes();
    void exit_clicksEveryExitInput_loadingPageStillStops();
    void player_notOpen_noMinute_reopenedThenSkipped_data();
    void player_notOpen_noMinute_reopenedThenSkipped();
    void player_siteDown_reopenedEveryTick_neverSkipped();
    void session_siteUnreachable_retriesBackOff();

private:
    void setStudied(int category, const QList<int>& minutes);
    void pressStudy()
    {
        f->dispatch([this] { f->run().startStudy(); });
    }
    void tick() { f->timer().fire(); }
    // The study ticks of one minute; how many minutes were credited in them.
    int minute();
    QList<RunEventKind> kinds() const;

    std::unique_ptr<ProgramFixture> f;
    CoursePage site;
    QList<records::RunEvent> events;
};

void StudyDriverTest::init()
{
    f = std::make_unique<ProgramFixture>();
    f->writeState("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n");
    f->start();
    site = makeCoursePage();
    f->showCoursePage(site);
    // A scan has run before (List1 holds the category links), so a category choice opens its
    // link on the site; on the very first run the site shows the first category anyway.
    f->catalogue().scanCoursePage();
    events.clear();
    QObject::connect(&f->run(), &study::StudyRun::runEvent, &f->run(),
                     [this](const records::RunEvent& e) { events.append(e); });
}

void StudyDriverTest::setStudied(int category, const QList<int>& minutes)
{
    QStringList texts;
    for (int m : minutes)
        texts.append(QString::number(m));
    f->records().setStudiedRecord(category, records::buildStudiedRecord(texts));
    if (f->catalogue().category() == category)
        f->records().load(category);
}

int StudyDriverTest::minute()
{
    const qsizetype before = kinds().count(RunEventKind::MinuteCredited);
    for (int i = 0; i < 3; ++i)
        tick();
    return static_cast<int>(kinds().count(RunEventKind::MinuteCredited) - before);
}

QList<RunEventKind> StudyDriverTest::kinds() const
{
    QList<RunEventKind> all;
    for (const records::RunEvent& e : events)
        all.append(e.kind);
    return all;
}

void StudyDriverTest::start_runsItsStepsInOrder()
{
    f->catalogue().setCategory(2);
    QStringList seen;
    f->platform.fakeClock.duringWait = [&] {
        seen << QString("wait: %1").arg(f->main().clickLog.join(","));
    };
    pressStudy();
    QCOMPARE(seen, (QStringList{"wait: category-2", "wait: category-2,course-menu",
                                "wait: category-2,course-menu"}));
    QCOMPARE(f->platform.fakeClock.now(), std::chrono::milliseconds(1000 + 3000));
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-1"));
    QCOMPARE(f->catalogue().lessonCount(), 7);
    QVERIFY(f->player().widget()->isVisibleTo(&f->window()));
    QVERIFY(f->timer().isEnabled());
    QCOMPARE(f->platform.fakeDialogs.texts(),
             QStringList{"学习结束后自己查询学习时间是否已达到要求！"});
    QCOMPARE(kinds(), (QList<RunEventKind>{RunEventKind::RunStarted, RunEventKind::CategoryOpened,
                                           RunEventKind::LessonOpened}));
}

void StudyDriverTest::start_emptyCategoryListSaysAllDone()
{
    pressStudy();
    f->window().categoryList().clear();
    f->timer().setEnabled(false);
    f->main().clickLog.clear();
    pressStudy(); // no notice a second time
    QCOMPARE(f->platform.fakeDialogs.texts(),
             (QStringList{"学习结束后自己查询学习时间是否已达到要求！", "已全部学习好！"}));
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(f->main().clickLog.isEmpty());
}

void StudyDriverTest::tick_equalMinutesAreCredited_onePastMovesOn()
{
    f->catalogue().setCategory(2);
    setStudied(2, {45, 0, 0, 0, 0, 0, 0});
    pressStudy();
    QCOMPARE(f->run().lessonProgress(), LessonProgress::Unknown);
    QCOMPARE(minute(), 1);
    QCOMPARE(f->records().studied().at(0), QString("46"));
    QCOMPARE(f->window().studyStatus()->progressValue(), 46); // the study panel follows
    // Saved at once; the site is asked once a tick whether its login page answers.
    QVERIFY(f->readState().contains("\r\n1.46.2.0.3.0."));
    QCOMPARE(f->platform.fakeProbe.checks, 3);
    QCOMPARE(f->platform.fakeProbe.lastUrl.path(), QString("/permission/loginAction.do"));
    QCOMPARE(f->catalogue().selectedLesson(), 0); // moved only at the next tick
    QCOMPARE(f->run().lessonProgress(), LessonProgress::NextLesson);
    tick();
    QCOMPARE(f->catalogue().selectedLesson(), 1);
    QCOMPARE(f->run().lessonIndex(), 1);
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-2"));
    QCOMPARE(f->run().lessonProgress(), LessonProgress::StillStudying);
    QVERIFY(kinds().contains(RunEventKind::LessonDone));
}

void StudyDriverTest::tick_lastLessonDone_nextCategoryInTheSameTick()
{
    f->catalogue().setCategory(2);
    setStudied(2, allDone(2));
    setStudied(3, {45, 0, 0, 0, 0, 0, 0, 0});
    pressStudy();
    // Each tick leaves one done lesson, up to the last one; the next category's first is done too.
    for (int lesson = 1; lesson < 7; ++lesson)
        tick();
    QCOMPARE(f->run().lessonIndex(), 6);
    QCOMPARE(f->run().lessonProgress(), LessonProgress::NextCategory);
    f->main().clickLog.clear();
    tick();
    QCOMPARE(f->catalogue().category(), 3);
    QCOMPARE(f->main().clickLog,
             (QStringList{"category-3", "course-menu", "lesson-3-1", "lesson-3-2"}));
    QCOMPARE(f->run().lessonIndex(), 1);
    QVERIFY(kinds().contains(RunEventKind::CategoryFinished));
}

void StudyDriverTest::tick_doneLessonChosenByHandAtTheLast_nextCategory()
{
    f->catalogue().setCategory(2);
    setStudied(2, allDone(2).mid(0, 6) << 0);
    pressStudy();
    for (int lesson = 1; lesson < 7; ++lesson)
        tick();
    QCOMPARE(f->run().lessonIndex(), 6); // the last lesson, still to study
    // The learner picks the first, done, lesson: the run counts on from its own last lesson.
    f->catalogue().selectLessonAt(0);
    events.clear();
    tick();
    QCOMPARE(f->catalogue().category(), 3);
    QCOMPARE(kinds().mid(0, 3),
             (QList<RunEventKind>{RunEventKind::LessonDone, RunEventKind::CategoryFinished,
                                  RunEventKind::CategoryOpened}));
}

void StudyDriverTest::tick_lessonBeyondTheTimetable_earnsNothing()
{
    // The site lists eight lessons of "基础理论"; the timetable knows seven.
    site = makeCoursePage({21, 9, 8, 8});
    f->showCoursePage(site);
    f->catalogue().setCategory(2);
    pressStudy();
    f->catalogue().selectLessonAt(7);
    QCOMPARE(minute(), 0);
    QCOMPARE(f->run().lessonProgress(), LessonProgress::Unknown);
    QCOMPARE(f->records().studied(), QStringList(7, "0"));
    QVERIFY(f->timer().isEnabled());
}

void StudyDriverTest::tick_heldWhileAWalkWaits_runsAfterIt_droppedAfterExit()
{
    f->catalogue().setCategory(2);
    pressStudy();
    const auto tickDuringNextWalk = [this] {
        f->main().duringWalk = [this, before = f->run().tickCount()] {
            f->main().duringWalk = nullptr;
            tick(); // arrives while the walk waits for the page
            tick(); // and another: coalesced with the first
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

void StudyDriverTest::pastLastCategory_endsTheRunOnceAsExitDoes()
{
    site.top->input("", "button", "退出课件").id = "exit";
    f->catalogue().setCategory(3);
    setStudied(3, allDone(3));
    pressStudy();
    for (int lesson = 1; lesson < 8; ++lesson)
        tick();
    QCOMPARE(f->run().lessonIndex(), 7);
    const QByteArray beforeEnd = f->readState();
    // A tick that comes while the message is open is not delivered, as with a real timer.
    f->platform.fakeDialogs.whileOpen = [this] { tick(); };
    tick(); // the last lesson is done: past the last category
    QCOMPARE(f->catalogue().category(), 4);
    QCOMPARE(f->platform.fakeDialogs.texts().count("学习已结束!"), 1);
    QVERIFY(!f->timer().isEnabled());
    QCOMPARE(f->main().clickLog.last(), QString("exit")); // the site's players stop reporting
    QVERIFY(!f->player().widget()->isVisibleTo(&f->window()));
    QCOMPARE(f->readState(), beforeEnd);
    QVERIFY(kinds().contains(RunEventKind::RunEnded));
}

void StudyDriverTest::exit_clicksEveryExitInput_loadingPageStillStops()
{
    site.top->input("", "button", "退出课件").id = "exit-1";
    site.top->input("", "button", "退出课件 ").id = "blank-after";
    site.top->input("", "button", "退出课件").id = "exit-2";
    pressStudy();
    f->main().clickLog.clear();
    f->window().exitButton()->click();
    QCOMPARE(f->main().clickLog, (QStringList{"exit-1", "exit-2"}));
    QVERIFY(!f->timer().isEnabled());

    pressStudy();
    f->main().setReadyState(platform::ReadyState::Loading);
    f->main().clickLog.clear();
    f->window().exitButton()->click();
    QVERIFY(f->main().clickLog.isEmpty());
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(!f->player().widget()->isVisibleTo(&f->window()));
}

void StudyDriverTest::player_notOpen_noMinute_reopenedThenSkipped_data()
{
    QTest::addColumn<LoadOutcome>("load");
    QTest::addColumn<bool>("windowOpens");
    QTest::newRow("HTTP error") << LoadOutcome::HttpError << true;
    QTest::newRow("renderer died") << LoadOutcome::RendererGone << true;
    QTest::newRow("no window") << LoadOutcome::Succeeded << false;
}

void StudyDriverTest::player_notOpen_noMinute_reopenedThenSkipped()
{
    QFETCH(LoadOutcome, load);
    QFETCH(bool, windowOpens);
    f->playerLoad = load;
    if (!windowOpens)
        *site.openPlayer = nullptr;
    f->catalogue().setCategory(2);
    pressStudy();
    f->main().clickLog.clear();
    // No minute counts; the lesson is opened again twice, then given up for the next one.
    for (int ticks = 0; ticks < 9 && !kinds().contains(RunEventKind::LessonSkipped); ++ticks)
        tick();
    QCOMPARE(kinds().count(RunEventKind::MinuteCredited), 0);
    QCOMPARE(f->main().clickLog, (QStringList{"lesson-2-1", "lesson-2-1", "lesson-2-2"}));
    QCOMPARE(kinds().count(RunEventKind::PageFailed), 2);
    QCOMPARE(kinds().count(RunEventKind::LessonSkipped), 1);
    QVERIFY(f->window().studyStatus()->notice().contains("跳过"));
    QCOMPARE(f->run().lessonIndex(), 1);

    // The next lesson's player opens: its minutes count again, and the notice goes.
    f->playerLoad = LoadOutcome::Succeeded;
    f->showCoursePage(site);
    f->catalogue().selectLessonAt(1);
    tick();
    QCOMPARE(minute(), 1);
    QCOMPARE(f->records().studied().at(1), QString("1"));
    QVERIFY(f->window().studyStatus()->notice().isEmpty());
}

void StudyDriverTest::player_siteDown_reopenedEveryTick_neverSkipped()
{
    f->catalogue().setCategory(2);
    pressStudy();
    // The player loaded, then the site went away: the check finds no site, the lesson is opened
    // again and fails to load; no minute counts however long it lasts, and nothing is skipped.
    f->platform.fakeProbe.site = platform::SiteProbe::Answer::Unreachable;
    f->playerLoad = LoadOutcome::NetworkError;
    QCOMPARE(minute() + minute() + minute(), 0);
    // The check's answer comes a tick late: every tick after the first opens the lesson again.
    QCOMPARE(f->playersOpened, 1 + 8);
    QCOMPARE(kinds().count(RunEventKind::LessonSkipped), 0);
    QVERIFY(f->window().studyStatus()->notice().contains("无法连接"));
    // The site is back.
    f->platform.fakeProbe.site = platform::SiteProbe::Answer::Reachable;
    f->playerLoad = LoadOutcome::Succeeded;
    tick();
    QCOMPARE(minute(), 1);
    QCOMPARE(f->run().lessonIndex(), 0);
}

void StudyDriverTest::session_siteUnreachable_retriesBackOff()
{
    using namespace std::chrono_literals;
    pressStudy();
    f->player().setDocument(makeLoginPage());
    // Each attempt sends the main view to the login page; the engine's error page comes instead.
    QList<std::chrono::milliseconds> attempts;
    for (int second = 0; second < 6 * 60 && attempts.size() < 4; second += 20) {
        const qsizetype before = f->main().navigations.size();
        tick();
        if (f->main().navigations.size() > before) {
            attempts.append(f->platform.fakeClock.now());
            f->main().setDocument(std::make_shared<FakeDocument>());
            f->main().setLastLoad({LoadOutcome::NetworkError, 0, "refused", {}});
            f->main().completeDocument();
        }
        f->platform.fakeClock.advance(20s);
    }
    QCOMPARE(attempts.size(), 4);
    // A failed attempt shows at the next tick (20 s); then the wait doubles from 30 s, each
    // rounded up to a tick: 20 + 30 -> 60, 20 + 60 -> 80, 20 + 120 -> 140.
    QCOMPARE(attempts[1] - attempts[0], 60s);
    QCOMPARE(attempts[2] - attempts[1], 80s);
    QCOMPARE(attempts[3] - attempts[2], 140s);
    QVERIFY(f->timer().isEnabled());
    QCOMPARE(kinds().count(RunEventKind::MinuteCredited), 0);
}

QTEST_MAIN(StudyDriverTest)
#include "tst_study_driver.moc"
