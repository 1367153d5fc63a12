// The study driver and exit courseware on the fake engine and the fake clock: ticks are fired
// by hand, waits jump to their deadline.

#include "form_fixture.h"
#include "shell/state_file.h"
#include "study/study_status.h"
#include "study/timetable.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

namespace {

// Studied minutes that make every lesson of the category done (one past required).
QList<int> allDone(int category)
{
    QList<int> minutes;
    for (const QString& r : study::minutesOfLessons(study::requiredMinutesTables().at(category)))
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
    void start_noticeOnlyOnTheFirstClick();
    void start_emptyCategoryList_saysAllDone();
    void start_exitDuringTheWaits_startStillFinishes();
    void tick_equalMinutesAreCredited_onePastMovesOn();
    void tick_nothingSelected_creditsFirstLesson();
    void tick_lastLessonDone_nextCategoryInTheSameTick();
    void tick_nextLessonAtLastPosition_goesToNextCategory();
    void tick_handPickedLessonGetsTheMinutes();
    void tick_countCarriesAcrossLessonChange();
    void tick_everyTickRewritesTheStateFile();
    void tick_heldWhileAWalkWaits_runsAfterIt();
    void pastLastCategory_messageOnceAndRunEnds();
    void exit_loadingPage_stillStopsAndSwitches();
    void exit_clicksEveryExitInputInOrder();
    void status_showsLessonProgressAndTimeLeft();

private:
    void setStudied(int category, const QList<int>& minutes);
    void pressStudy()
    {
        f->form->gate().dispatch([this] { f->form->Command2_Click(); });
    }
    void tick() { f->timer().fire(); }
    QString selectedLesson() const { return f->form->List2->text(f->form->List2->listIndex()); }

    std::unique_ptr<FormFixture> f;
    CoursePage site;
};

void StudyDriverTest::init()
{
    f = std::make_unique<FormFixture>();
    f->writeState("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n");
    f->start();
    site = makeCoursePage();
    f->main().setDocument(site.top);
    f->main().setReadyState(platform::ReadyState::Complete);
    f->main().completeDocument();
    // A scan has run before (List1 holds the category links), so a category choice opens its
    // link on the site; on the very first run the site shows the first category anyway.
    f->form->Command15_Click();
}

void StudyDriverTest::setStudied(int category, const QList<int>& minutes)
{
    QStringList texts;
    for (int m : minutes)
        texts.append(QString::number(m));
    f->form->studiedMinutesRecord[category] = study::buildStudiedRecord(texts);
    if (f->form->categoryIndex == category)
        f->form->Command12_Click();
}

void StudyDriverTest::start_runsItsStepsInOrder()
{
    f->form->categoryIndex = 2;
    QStringList seen;
    f->platform.fakeClock.duringWait = [&] {
        seen << QString("wait: %1").arg(f->main().clickLog.join(","));
    };
    pressStudy();
    QCOMPARE(seen, (QStringList{"wait: category-2", "wait: category-2,course-menu",
                                "wait: category-2,course-menu"}));
    QCOMPARE(f->platform.fakeClock.now(), std::chrono::milliseconds(1000 + 3000));
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-1"));
    QCOMPARE(f->form->List2->count(), 7);
    QCOMPARE(f->form->List2->listIndex(), 0);
    QCOMPARE(f->form->lessonIndex, qint16(0));
    QVERIFY(f->player().widget()->isVisibleTo(f->form.get()));
    QVERIFY(f->timer().isEnabled());
    const auto& notice = f->platform.fakeDialogs.shown.first();
    QCOMPARE(notice.text, QString("学习结束后自己查询学习时间是否已达到要求！"));
    QCOMPARE(notice.title, QString("欢迎免费合作订制各类网络培训软件"));
    QCOMPARE(notice.icon, platform::MessageIcon::Information);
}

void StudyDriverTest::start_noticeOnlyOnTheFirstClick()
{
    pressStudy();
    pressStudy();
    f->form->categoryIndex = 1;
    pressStudy();
    QCOMPARE(f->platform.fakeDialogs.shown.size(), 1);
    QVERIFY(f->form->noticeShown);
}

void StudyDriverTest::start_emptyCategoryList_saysAllDone()
{
    f->form->List3->clear();
    f->timer().setEnabled(false);
    pressStudy();
    QCOMPARE(f->platform.fakeDialogs.texts().last(), QString("已全部学习好！"));
    QCOMPARE(f->platform.fakeDialogs.shown.last().title, f->form->windowTitle());
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(f->main().clickLog.isEmpty());
}

void StudyDriverTest::start_exitDuringTheWaits_startStillFinishes()
{
    bool exited = false;
    f->platform.fakeClock.duringWait = [&] {
        if (!exited) {
            exited = true;
            // The user presses "退出课件" while the start waits: it runs inside the wait.
            f->form->Command16->click();
            QVERIFY(!f->timer().isEnabled());
        }
    };
    pressStudy();
    QVERIFY(exited);
    QVERIFY(f->timer().isEnabled());
    QVERIFY(f->player().widget()->isVisibleTo(f->form.get()));
}

void StudyDriverTest::tick_equalMinutesAreCredited_onePastMovesOn()
{
    f->form->categoryIndex = 2;
    setStudied(2, {45, 0, 0, 0, 0, 0, 0});
    pressStudy();
    QCOMPARE(f->form->checkLessonProgress(), QString());
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(f->form->List4->text(0), QString("46"));
    QCOMPARE(f->form->List2->listIndex(), 0); // moved only at the next tick
    QCOMPARE(f->form->checkLessonProgress(), QString("qqh"));
    tick();
    QCOMPARE(f->form->List2->listIndex(), 1);
    QCOMPARE(f->form->lessonIndex, qint16(1));
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-2"));
    QCOMPARE(f->form->checkLessonProgress(), QString("qjx"));
}

void StudyDriverTest::tick_nothingSelected_creditsFirstLesson()
{
    f->form->categoryIndex = 1;
    f->form->Command12_Click();
    f->timer().setEnabled(true);
    QCOMPARE(f->form->List2->listIndex(), -1);
    QCOMPARE(f->form->checkLessonProgress(), QString());
    for (int i = 0; i < 6; ++i)
        tick();
    QCOMPARE(f->form->List4->text(0), QString("2"));
    QCOMPARE(f->form->studiedMinutesRecord[1], QString("1.2.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0."));
    QVERIFY(f->main().clickLog.isEmpty());
}

void StudyDriverTest::tick_lastLessonDone_nextCategoryInTheSameTick()
{
    f->form->categoryIndex = 2;
    pressStudy();
    // The driver reached the last lesson, which is done; the next category's first is done too.
    QList<int> minutes = allDone(2);
    setStudied(2, minutes);
    setStudied(3, {45, 0, 0, 0, 0, 0, 0, 0});
    f->form->lessonIndex = 6;
    f->form->List2->select(6);
    QCOMPARE(f->form->checkLessonProgress(), QString("xyx"));
    f->main().clickLog.clear();
    tick();
    QCOMPARE(f->form->categoryIndex, qint16(3));
    // Category 3 was opened, and its done first lesson was left for the second in this tick.
    QCOMPARE(f->main().clickLog,
             (QStringList{"category-3", "course-menu", "lesson-3-1", "lesson-3-2"}));
    QCOMPARE(f->form->lessonIndex, qint16(1));
    QCOMPARE(f->form->List5->count(), 8);
}

void StudyDriverTest::tick_nextLessonAtLastPosition_goesToNextCategory()
{
    f->form->categoryIndex = 0;
    setStudied(0, allDone(0));
    pressStudy();
    f->form->lessonIndex = 20; // the driver's own position is the last lesson
    f->form->List2->select(3); // the user is on an earlier, done lesson
    QCOMPARE(f->form->checkLessonProgress(), QString("qqh"));
    tick();
    QCOMPARE(f->form->categoryIndex, qint16(1));
    QCOMPARE(f->form->lessonIndex, qint16(0));
}

void StudyDriverTest::tick_handPickedLessonGetsTheMinutes()
{
    f->form->categoryIndex = 2;
    setStudied(2, {0, 0, 0, 0, 0, 0, 0});
    pressStudy();
    f->form->List2->widget()->setCurrentRow(4); // the user picks lesson 5
    QCOMPARE(f->main().clickLog.last(), QString("lesson-2-5"));
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(f->form->List4->text(4), QString("1"));
    QCOMPARE(f->form->List4->text(0), QString("0"));
    // When it is done, the driver goes on from its own position, not the user's.
    setStudied(2, {0, 0, 0, 0, 45, 0, 0});
    tick();
    QCOMPARE(f->form->List2->listIndex(), 1);
    QCOMPARE(f->form->lessonIndex, qint16(1));
}

void StudyDriverTest::tick_countCarriesAcrossLessonChange()
{
    f->form->categoryIndex = 2;
    setStudied(2, {46, 10, 0, 0, 0, 0, 0});
    pressStudy();
    f->form->tickCount = 2;
    tick(); // moves to lesson 2 and is the third tick: the minute goes to the new lesson
    QCOMPARE(f->form->List2->listIndex(), 1);
    QCOMPARE(f->form->List4->text(1), QString("11"));
    QCOMPARE(f->form->List4->text(0), QString("46"));
    QCOMPARE(f->form->tickCount, qint16(0));
}

void StudyDriverTest::tick_everyTickRewritesTheStateFile()
{
    f->form->categoryIndex = 1;
    pressStudy();
    QFile::remove(f->statePath());
    tick(); // credits nothing
    const std::optional<shell::LoadedState> saved = shell::readStateFile(f->statePath());
    QVERIFY(saved && saved->complete());
    QCOMPARE(saved->values.userName, QString("demo"));
    QCOMPARE(saved->values.studiedRecords[1], QString("1.0.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0."));
    // The other empty records became their defaults.
    QCOMPARE(saved->values.studiedRecords[0], study::defaultStudiedRecords()[0]);
    QFile::remove(f->statePath());
    tick();
    QVERIFY(QFile::exists(f->statePath()));
}

void StudyDriverTest::tick_heldWhileAWalkWaits_runsAfterIt()
{
    f->form->categoryIndex = 2;
    pressStudy();
    int ticksInsideWalk = -1;
    f->main().duringWalk = [&] {
        f->main().duringWalk = nullptr;
        tick(); // arrives while the walk waits for the page
        tick(); // and another: coalesced with the first
        ticksInsideWalk = f->form->tickCount;
    };
    f->form->gate().dispatch([this] { f->form->Command17_Click(); });
    QCOMPARE(ticksInsideWalk, 0);
    QCOMPARE(f->form->tickCount, qint16(1));
}

void StudyDriverTest::pastLastCategory_messageOnceAndRunEnds()
{
    f->form->categoryIndex = 3;
    setStudied(3, allDone(3));
    pressStudy();
    for (int lesson = 1; lesson < 8; ++lesson) {
        tick();
        QCOMPARE(f->form->lessonIndex, qint16(lesson));
    }
    const QByteArray beforeEnd = f->readState();
    tick(); // the last lesson is done: past the last category
    QCOMPARE(f->form->categoryIndex, qint16(4));
    QCOMPARE(f->platform.fakeDialogs.texts().count("学习已结束!"), 1);
    const auto& ended = f->platform.fakeDialogs.shown.last();
    QCOMPARE(ended.title, QString("欢迎免费合作订制各类自动学习软件"));
    QCOMPARE(ended.icon, platform::MessageIcon::Information);
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(!f->player().widget()->isVisibleTo(f->form.get()));
    QVERIFY(f->main().widget()->isVisibleTo(f->form.get()));
    // The records of the four categories are saved as they were.
    QCOMPARE(f->readState(), beforeEnd);
    tick();
    QCOMPARE(f->platform.fakeDialogs.texts().count("学习已结束!"), 1);
    QVERIFY(f->form->studyStatus()->summaryText().contains("学习已结束"));
}

void StudyDriverTest::exit_loadingPage_stillStopsAndSwitches()
{
    site.top->input("", "button", "退出课件").id = "exit";
    pressStudy();
    f->main().setReadyState(platform::ReadyState::Loading);
    f->main().clickLog.clear();
    f->form->Command16->click();
    QVERIFY(f->main().clickLog.isEmpty());
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(!f->player().widget()->isVisibleTo(f->form.get()));
    QVERIFY(f->main().widget()->isVisibleTo(f->form.get()));
}

void StudyDriverTest::exit_clicksEveryExitInputInOrder()
{
    site.top->input("", "button", "退出课件").id = "exit-1";
    site.top->input("", "button", "退出课件 ").id = "blank-after";
    site.top->input("", "button", "退出课件").id = "exit-2";
    pressStudy();
    f->main().clickLog.clear();
    f->form->Command16->click();
    QCOMPARE(f->main().clickLog, (QStringList{"exit-1", "exit-2"}));
    QVERIFY(!f->timer().isEnabled());
    // Without a document at all the run still ends.
    pressStudy();
    f->main().setNoDocument();
    f->form->Command16->click();
    QVERIFY(!f->timer().isEnabled());
    QVERIFY(!f->player().widget()->isVisibleTo(f->form.get()));
}

void StudyDriverTest::status_showsLessonProgressAndTimeLeft()
{
    f->form->categoryIndex = 3;
    setStudied(3, {40, 0, 0, 0, 0, 0, 0, 0});
    pressStudy();
    for (int i = 0; i < 3; ++i)
        tick();
    const study::StudyStatus& status = *f->form->studyStatus();
    QCOMPARE(status.progressValue(), 41);
    QCOMPARE(status.progressMaximum(), 45);
    QVERIFY(status.summaryText().contains("学校教育"));
    QVERIFY(status.summaryText().contains("第 1 课"));
    QVERIFY(status.summaryText().contains("已完成 0/8 课"));
    // 4 more for lesson 1, required+1 for the seven others.
    const int left = 4 + 55 + 58 + 48 + 52 + 56 + 59 + 50;
    QVERIFY2(status.summaryText().contains(study::formatDuration(left)),
             qPrintable(status.summaryText()));
    f->form->Command16->click();
    QVERIFY(status.summaryText().contains("未在学习"));
}

QTEST_MAIN(StudyDriverTest)
#include "tst_study_driver.moc"
