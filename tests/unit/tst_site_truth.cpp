// The site's own record as the run's truth, on the fake engine: a run starts where the record
// says the work is, leaves a lesson only when the record shows it (or after a while, to come
// back), notices a site that stops counting and waits for it, and ends when the record agrees;
// its phases follow.

#include "app/record_settings.h"
#include "program_fixture.h"
#include "records/timetable.h"
#include "window/study_status.h"

#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using namespace std::chrono_literals;
using records::RunEventKind;
using study::RunPhase;

namespace {

const QUrl kRecord(QStringLiteral("http://training.example:8080/course/records"));

// The site's study record as its page shows it: a row per lesson with time on it, the
// category's name and the lesson's title as the site writes them, the time in minutes and
// seconds. The course frame links it, after the places the catalogue reads.
struct SiteRecord
{
    QMap<study::LessonKey, int> seconds;
    // Seconds the record grows by in each tick's twenty that a lesson's player shows (20: the
    // site counts all of its play; 0: none).
    int growth = 20;

    QString page() const
    {
        QString rows;
        for (auto it = seconds.begin(); it != seconds.end(); ++it)
            rows += QStringLiteral("<tr><td>%1</td><td>第%2课</td><td>%3分%4秒</td></tr>")
                        .arg(records::categoryNames().at(it.key().category))
                        .arg(it.key().lesson + 1)
                        .arg(it.value() / 60)
                        .arg(it.value() % 60);
        return "<table><tr><th>课程类别</th><th>课程名称</th><th>学习时长</th></tr>" + rows +
               "</table>";
    }
};

struct TruthFixture : RunFixture
{
    TruthFixture()
    {
        main().answerFetch = [this](const QUrl& url) -> std::optional<platform::FetchAnswer> {
            // The course frame as the session has it, with the link to the record.
            if (url == kCourseFrameUrl && linked) {
                platform::FetchAnswer frame = *main().fetchReply;
                frame.body += "<a href='/course/records'>学习记录</a>";
                return frame;
            }
            if (url != kRecord)
                return std::nullopt;
            using Status = platform::FetchAnswer::Status;
            return platform::FetchAnswer{
                Status::Answered, recordStatus, url, false, false, record.page(), {}};
        };
        // The site counts what its open player plays, whatever the program credits.
        QObject::connect(&timer(), &platform::Timer::tick, &run(), [this] {
            if (player().url() != QUrl("about:blank") && catalogue().selectedLesson() >= 0)
                record.seconds[{catalogue().category(), catalogue().selectedLesson()}] +=
                    record.growth;
        });
        QObject::connect(&run(), &study::StudyRun::progressChanged, &run(),
                         [this](const study::StudySnapshot& s) {
                             if (phases.isEmpty() || phases.last() != s.phase)
                                 phases << s.phase;
                         });
        playerDocument->add({"button", {}, {}, {}, "退出学习", {}, "exit-study", {}});
    }
    int required(int category, int lesson) { return records().lesson(category, lesson)->required; }
    qsizetype readings() { return main().fetchedUrls.count(kRecord); }
    // Ticks until `done` holds, at most `limit` of them.
    void ticksUntil(const std::function<bool()>& done, int limit = 200)
    {
        for (int i = 0; i < limit && !done(); ++i)
            tick();
    }

    SiteRecord record;
    int recordStatus = 200;
    bool linked = true;
    QList<RunPhase> phases;
};

} // namespace

class SiteTruthTest : public QObject
{
    Q_OBJECT
private slots:
    void start_whereTheRecordSaysTheWorkIs_stateFileNeverLowered();
    void leave_whenTheRecordShowsTheMinutes_orAfterTheBound_thenComeBack();
    void leave_afterALogin_neverPastTheOwnCount_soonerWhereTheSiteIsAhead();
    void leave_aRecordThatCannotBeRead_goneOnAndComeBack();
    void siteStopsCounting_noticedWaitedFor_goesOnWhenItCountsAgain_data();
    void siteStopsCounting_noticedWaitedFor_goesOnWhenItCountsAgain();
    void siteStopsCounting_sessionsEndingMeanwhile_loggedInAndLookedAgain();
    void end_whenTheRecordAgrees_elseNamesBothFigures();
    void noRecordPage_theProgramsOwnFiguresSaidSo_orTheLearnersAddressRead();
    void recordFailing_lookedForAgainAtTheNextOpening();
    void learnersAddress_givenWhileTheLinkIsLookedFor_readAtOnce();
    void phases_data();
    void phases();
};

void SiteTruthTest::start_whereTheRecordSaysTheWorkIs_stateFileNeverLowered()
{
    TruthFixture f;
    f.catalogue().setCategory(2);
    f.site.top->url = QUrl("http://training.example:8080/"); // looked at first: no link there
    // The state file calls lessons 1 and 2 done; the site has lesson 1 done but 2 short, and
    // counts lesson 3 done though the program credited it nothing.
    f.setStudied(2, QList<int>{allDone(2).at(0), allDone(2).at(1)});
    f.record.seconds = {
        {{2, 0}, f.required(2, 0) * 60}, {{2, 1}, 10 * 60}, {{2, 2}, f.required(2, 2) * 60 + 5}};
    const QString before = f.records().recordText(2);
    f.pressStudy();
    QCOMPARE(f.main().clickLog.last(), "lesson-2-2");
    QCOMPARE(f.phases, (QList{RunPhase::Opening, RunPhase::Studying}));
    // Studied for what the site lacks, not for the program's own count (no margin: the record
    // shows when the site has it): then lesson 3 is passed over.
    f.ticksUntil([&] { return f.main().clickLog.last() != "lesson-2-2"; });
    QCOMPARE(f.main().clickLog.last(), "lesson-2-4");
    QCOMPARE(f.kinds().count(RunEventKind::MinuteCredited), f.required(2, 1) - 10);
    // Raised, never lowered, and the record's text with it.
    QVERIFY(f.studied(2, 1) > allDone(2).at(1) && f.records().recordText(2) != before);
    // The site's figures are kept apart, with when they were read.
    records::SiteFigures kept(records::SiteFigures::pathIn(f.dir.path()));
    QVERIFY(kept.load() && kept.place() == records::RecordPlace::Found);
    QVERIFY(kept.lesson(2, 2)->readAt.isValid() &&
            kept.lesson(2, 2)->minutes() == f.required(2, 2));
}

void SiteTruthTest::leave_whenTheRecordShowsTheMinutes_orAfterTheBound_thenComeBack()
{
    TruthFixture f;
    f.catalogue().setCategory(3);
    const QList<int> required = records::requiredMinutes(records::requiredMinutesTables().at(3));
    // Both last lessons the site has a minute short of their requirement.
    f.setStudied(3, allDone(3));
    for (int lesson = 0; lesson < 8; ++lesson)
        f.record.seconds[{3, lesson}] = 60 * (required.at(lesson) - (lesson < 6 ? 0 : 1));
    f.record.growth = 0; // the site saves later than the program credits
    f.pressStudy();
    QCOMPARE(f.main().clickLog.last(), "lesson-3-7");
    QCOMPARE(f.minute(), 1); // what the site lacked
    QCOMPARE(f.run().phase(), RunPhase::LeavingLesson);
    // It stays, earning nothing, until the site's record shows the minutes; each reading is
    // followed as soon as it is asked, not at the next tick.
    const qsizetype asked = f.readings();
    for (int i = 0; i < 3 && f.readings() == asked; ++i) {
        f.platform.fakeClock.advance(20s);
        f.timer().fire();
    }
    QVERIFY(f.readings() > asked && f.platform.timers.at(1)->isEnabled());
    QCOMPARE(f.minute(), 0);
    f.record.seconds[{3, 6}] = 60 * required.at(6);
    f.minute();
    QCOMPARE(f.main().clickLog.last(), "lesson-3-8");
    QCOMPARE(f.player().clickLog, QStringList{"exit-study"}); // its own exit pressed first
    QCOMPARE(f.run().phase(), RunPhase::Studying);
    // The next one's record does not show it: left after ten minutes, and come back to once
    // at the end of the timetable, when the site counts again.
    f.ticksUntil([&] { return f.kinds().contains(RunEventKind::LessonLeftShort); });
    QCOMPARE(f.main().clickLog.count("lesson-3-8"), 2);
    QCOMPARE(f.player().clickLog.count("exit-study"), 2); // pressed once a visit
    f.record.growth = 20;
    f.ticksUntil([&] { return !f.run().running(); }, 400);
    QCOMPARE(f.kinds().count(RunEventKind::LessonLeftShort), 1);
    QVERIFY(f.record.seconds.value({3, 7}) >= 60 * required.at(7));
}

void SiteTruthTest::leave_afterALogin_neverPastTheOwnCount_soonerWhereTheSiteIsAhead()
{
    // The session ends a while after the record was last read, and the lesson is opened again
    // after the login. A site that counts less than the program credits is waited for, never
    // studied past the program's own count; one that counts more (it counted minutes not
    // credited) is taken at its word.
    for (const int growth : {12, 20}) {
        TruthFixture f;
        f.record.growth = growth;
        f.main().pages[f.session().loginPage()].document->elements()[3].onClick = [&f](auto&) {
            f.main().startLoad({f.site.top});
        };
        f.pressStudy();
        f.ticksUntil([&] { return f.kinds().count(RunEventKind::MinuteCredited) == 15; });
        const std::shared_ptr<FakeDocument> player = f.playerDocument;
        f.playerDocument = makeLoginPage();
        f.ticksUntil([&] { return f.kinds().contains(RunEventKind::SessionRecovered); });
        f.playerDocument = player;
        f.ticksUntil([&] { return f.catalogue().selectedLesson() == 1; }, 400);
        QVERIFY(f.records().lesson(0, 0)->studied <= f.required(0, 0));
        // Left within a minute of the site having it (the record is read each minute meanwhile).
        QVERIFY(growth < 20 || f.record.seconds.value({0, 0}) <= 60 * (f.required(0, 0) + 1));
    }
}

void SiteTruthTest::leave_aRecordThatCannotBeRead_goneOnAndComeBack()
{
    // The site stalls while a category's last lesson is left: its record cannot be read, so the
    // run goes on at once and comes back to the lesson when the record, read again a while
    // later, has it short: not at the category's end, whose reading may only be late.
    TruthFixture f;
    f.catalogue().setCategory(2);
    for (const int category : {2, 3}) {
        f.setStudied(category, allDone(category));
        for (int lesson = 0; lesson < f.records().lessonCount(category); ++lesson)
            f.record.seconds[{category, lesson}] = 60 * f.required(category, lesson);
    }
    const int last = f.records().lessonCount(2) - 1;
    f.record.seconds[{2, last}] -= 60;
    f.record.growth = 0;
    f.pressStudy();
    f.ticksUntil([&] { return f.run().phase() == RunPhase::LeavingLesson; });
    f.recordStatus = 500;
    f.ticksUntil([&] { return f.kinds().contains(RunEventKind::LessonLeftShort); }, 9);
    QCOMPARE(f.kinds().count(RunEventKind::LessonLeftShort), 1);
    f.recordStatus = 200;
    f.record.growth = 20;
    f.ticksUntil([&] { return !f.run().running(); }, 400);
    const QString link = QString("lesson-2-%1").arg(last + 1);
    QCOMPARE(f.main().clickLog.count(link), 2);
    QVERIFY(f.main().clickLog.lastIndexOf(link) > f.main().clickLog.indexOf("category-3"));
    QVERIFY(f.record.seconds.value({2, last}) >= 60 * f.required(2, last));
}

void SiteTruthTest::siteStopsCounting_noticedWaitedFor_goesOnWhenItCountsAgain_data()
{
    QTest::addColumn<bool>("pageSaysSo");
    QTest::newRow("only the record tells") << false;
    QTest::newRow("the player says so") << true;
}

void SiteTruthTest::siteStopsCounting_noticedWaitedFor_goesOnWhenItCountsAgain()
{
    QFETCH(bool, pageSaysSo);
    TruthFixture f;
    f.pressStudy();
    f.ticksUntil([&] { return f.kinds().count(RunEventKind::MinuteCredited) == 12; });
    // The day's cap: the record stops growing while the video plays on.
    f.record.growth = 0;
    if (pageSaysSo)
        f.playerDocument->link("今日学时已满").id = "cap";
    const qsizetype credited = f.kinds().count(RunEventKind::MinuteCredited);
    f.ticksUntil([&] { return f.run().phase() == RunPhase::WaitingForSite; });
    const qsizetype afterStop = f.kinds().count(RunEventKind::MinuteCredited) - credited;
    QVERIFY2(afterStop <= (pageSaysSo ? 0 : 12), qPrintable(QString::number(afterStop)));
    const QString notice = f.window().studyStatus()->notice();
    QVERIFY(notice.startsWith("网站已停止") && notice.contains(pageSaysSo ? "今日学时" : "近 "));
    // The player's own exit pressed before it goes.
    QVERIFY(f.player().navigations.last() == QUrl("about:blank") && f.platform.fakeSleep.held() &&
            f.player().clickLog.contains("exit-study"));
    // Nothing plays and nothing is credited for half an hour; then a look of five minutes.
    const qsizetype clicks = f.main().clickLog.size();
    for (int i = 0; i < 89; ++i)
        f.tick();
    QVERIFY(f.main().clickLog.size() == clicks && f.run().phase() == RunPhase::WaitingForSite);
    // A new day: the site counts again, and the run goes on by itself.
    f.record.growth = 20;
    if (pageSaysSo)
        f.playerDocument->elements().removeAt(f.playerDocument->elements().size() - 1);
    f.ticksUntil([&] { return f.run().phase() == RunPhase::Studying; }, 30);
    QCOMPARE(f.main().clickLog.size(), clicks + 1);
    QCOMPARE(f.minute() + f.minute(), 2);
    QCOMPARE(f.phases.mid(1),
             (QList{RunPhase::Studying, RunPhase::WaitingForSite, RunPhase::Studying}));
    QVERIFY(f.kinds().contains(RunEventKind::SiteStopped) &&
            f.kinds().contains(RunEventKind::SiteCountsAgain));
}

void SiteTruthTest::siteStopsCounting_sessionsEndingMeanwhile_loggedInAndLookedAgain()
{
    TruthFixture f;
    f.main().pages[f.session().loginPage()].document->elements()[3].onClick = [&f](auto&) {
        f.main().startLoad({f.site.top});
    };
    f.pressStudy();
    f.ticksUntil([&] { return f.kinds().count(RunEventKind::MinuteCredited) == 12; });
    f.record.growth = 0;
    f.playerDocument->link("今日学时已满").id = "cap";
    f.ticksUntil([&] { return f.run().phase() == RunPhase::WaitingForSite; });
    // The session ends before each look, hour after hour: each look logs in again, then looks
    // with a new player; the waiting goes on, never taken for logins that fail at once.
    const std::shared_ptr<FakeDocument> player = f.playerDocument;
    for (int look = 1; look <= 4; ++look) {
        f.playerDocument = makeLoginPage();
        f.ticksUntil([&] { return f.kinds().count(RunEventKind::SessionRecovered) == look; });
        f.playerDocument = player;
        const qsizetype closed = f.player().navigations.count(QUrl("about:blank"));
        f.ticksUntil([&] { return f.player().navigations.count(QUrl("about:blank")) > closed; });
        QCOMPARE(f.run().phase(), RunPhase::WaitingForSite);
    }
    QVERIFY(!f.kinds().contains(RunEventKind::RunPaused));
}

void SiteTruthTest::end_whenTheRecordAgrees_elseNamesBothFigures()
{
    for (const bool agrees : {true, false}) {
        TruthFixture f;
        f.run().skipStartNotice();
        for (int category = 0; category < 4; ++category) {
            f.setStudied(category, allDone(category));
            for (int lesson = 0; lesson < f.records().lessonCount(category); ++lesson)
                f.record.seconds[{category, lesson}] = 60 * f.required(category, lesson);
        }
        // The program calls the last lesson done; the site has it three minutes short, and
        // counts nothing more of it.
        if (!agrees) {
            f.record.seconds[{3, 7}] -= 3 * 60;
            f.record.growth = 0;
        }
        f.catalogue().setCategory(3);
        f.pressStudy();
        f.ticksUntil([&] { return !f.run().running(); }, 400);
        const QString end = f.platform.fakeDialogs.texts.last();
        if (agrees) {
            QCOMPARE(end, "学习已结束!");
            QCOMPARE(f.main().clickLog.filter("lesson").size(), 0);
            continue;
        }
        // Studied for what the site lacked, left, gone back to once: then named.
        QCOMPARE(f.main().clickLog.count("lesson-3-8"), 2);
        QVERIFY2(end.contains(QString("学校教育第 8 课（网站记了 %1 分钟，本程序记了 %2 分钟）")
                                  .arg(f.required(3, 7) - 3)
                                  .arg(f.studied(3, 7))),
                 qPrintable(end));
    }
}

void SiteTruthTest::noRecordPage_theProgramsOwnFiguresSaidSo_orTheLearnersAddressRead()
{
    TruthFixture f;
    f.linked = false;
    f.pressStudy();
    QVERIFY(f.minute() == 1 && f.window().studyStatus()->summaryText().contains("未与网站核对"));
    QCOMPARE(f.kinds().count(RunEventKind::NoSiteRecord), 1);
    f.dispatch([&f] { f.run().exitCourseware(); });
    f.pressStudy();
    QCOMPARE(f.kinds().count(RunEventKind::NoSiteRecord), 1); // told once
    // The learner gives the record's address in the settings (two refused first): kept, and
    // read at the next start.
    f.dispatch([&f] { f.run().exitCourseware(); });
    f.platform.fakeDialogs.answers = {"records", "ftp://a.example/r", kRecord.toString()};
    f.window().recordAddressAction()->trigger();
    QCOMPARE(f.platform.fakeDialogs.texts.last(), "不是网站地址：ftp://a.example/r");
    QCOMPARE(app::readRecordSettings(f.dir.path()).address, kRecord);
    f.record.seconds[{0, 0}] = 60 * f.required(0, 0); // the site has the first lesson done
    f.pressStudy();
    QCOMPARE(f.main().clickLog.last(), "lesson-0-2");
}

void SiteTruthTest::learnersAddress_givenWhileTheLinkIsLookedFor_readAtOnce()
{
    TruthFixture f; // its course frame so slow that the look for the link lasts
    f.main().fetchReply->status = platform::FetchAnswer::Status::Pending;
    f.pressStudy();
    f.platform.fakeDialogs.answers = {kRecord.toString()};
    f.window().recordAddressAction()->trigger();
    f.ticksUntil([&] { return !f.main().clickLog.filter("lesson").isEmpty(); }, 10);
    QVERIFY(f.readings() == 1 && !f.kinds().contains(RunEventKind::NoSiteRecord));
}

void SiteTruthTest::recordFailing_lookedForAgainAtTheNextOpening()
{
    // Three readings failed in a row: the page may have moved, and no more is asked of it until
    // the course page is looked at again.
    TruthFixture f;
    f.pressStudy();
    QCOMPARE(f.readings(), 1);
    f.recordStatus = 500;
    f.ticksUntil([&] { return f.readings() == 5; }, 3 * 45);
    QCOMPARE(f.readings(), 4);
    f.recordStatus = 200;
    f.dispatch([&f] { f.run().exitCourseware(); });
    f.pressStudy();
    QCOMPARE(f.readings(), 5);
}

// Each way a run goes, as the phases it passes through (shown by the panel and the tray).
using Drive = std::function<void(TruthFixture&)>;
Q_DECLARE_METATYPE(Drive)

void SiteTruthTest::phases_data()
{
    QTest::addColumn<Drive>("drive");
    QTest::addColumn<QList<RunPhase>>("phases");
    using P = RunPhase;
    QTest::newRow("studies, is left to the record, goes on") << Drive([](TruthFixture& f) {
        f.setStudied(0, {50});
        f.record.seconds[{0, 0}] = 49 * 60;
        f.record.growth = 0;
        f.pressStudy();
        f.minute();
        f.minute();
        f.record.seconds[{0, 0}] = 50 * 60;
        f.minute();
    }) << QList{P::Opening, P::Studying, P::LeavingLesson, P::Studying};
    QTest::newRow("the session ends, logged in again") << Drive([](TruthFixture& f) {
        f.pressStudy();
        f.minute();
        f.answerSessionChecks(false);
        f.minute();
        f.showCoursePage(f.site);
        f.tick();
    }) << QList{P::Opening, P::Studying, P::Recovering, P::Opening, P::Studying};
    QTest::newRow("paused, then ended") << Drive([](TruthFixture& f) {
        f.pressStudy();
        f.playerDocument->video.typeUnplayable = true;
        f.playerDocument->video.errorCode = 4;
        f.tick();
        f.pressStudy();
        f.dispatch([&f] { f.run().exitCourseware(); });
    }) << QList{P::Opening, P::Studying, P::Paused, P::Opening, P::Studying, P::Ended};
}

void SiteTruthTest::phases()
{
    QFETCH(Drive, drive);
    TruthFixture f;
    drive(f);
    QTEST(f.phases, "phases");
}

QTEST_MAIN(SiteTruthTest)
#include "tst_site_truth.moc"
