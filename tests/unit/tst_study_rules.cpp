// The study's pure rules: the timetable's records, the progress test of a lesson, the study
// panel's figures, and what a tick does about the lesson's player.

#include "study/player_watch.h"
#include "study/progress.h"
#include "study/timetable.h"

#include <QTest>

using namespace lumora::study;
using Answer = lumora::platform::SiteProbe::Answer;

class StudyRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void tables_categoryTwoHasSevenLessons_defaultsAreZeroWithoutFullStop();
    void loadLessonMinutes_records_data();
    void loadLessonMinutes_records();
    void progress_data();
    void progress();
    void snapshot_countsDoneLessonsAndTimeLeft();
    void playerWatch_verdicts_data();
    void playerWatch_verdicts();
    void loginRetryDelay_doublesUpToTenMinutes();
};

void StudyRulesTest::tables_categoryTwoHasSevenLessons_defaultsAreZeroWithoutFullStop()
{
    // Its third pair is numbered 2; lesson numbers are never read, so that is lesson 3.
    QCOMPARE(minutesOfLessons(requiredMinutesTables().at(2)),
             (QStringList{"45", "47", "50", "43", "44", "47", "53"}));
    int lessons = 0;
    for (int c = 0; c < kCategoryCount; ++c) {
        const QString& record = defaultStudiedRecords().at(c);
        QVERIFY(!record.endsWith('.'));
        const QStringList studied = minutesOfLessons(record);
        QCOMPARE(studied, QStringList(minutesOfLessons(requiredMinutesTables().at(c)).size(), "0"));
        lessons += static_cast<int>(studied.size());
    }
    QCOMPARE(lessons, 45);
}

void StudyRulesTest::loadLessonMinutes_records_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("studied");
    const QStringList saved = {"3", "0", "12", "0", "0", "0", "51"};
    QTest::newRow("empty record: nothing studied") << "" << QStringList(7, "0");
    QTest::newRow("saved record, final full stop") << "1.3.2.0.3.12.4.0.5.0.6.0.7.51." << saved;
    QTest::newRow("same without the full stop") << "1.3.2.0.3.12.4.0.5.0.6.0.7.51" << saved;
    QTest::newRow("lesson numbers are not read")
        << "1.1.1.2.1.3.1.4.1.5.1.6.1.7" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
    QTest::newRow("more pairs than the table")
        << "1.1.2.2.3.3.4.4.5.5.6.6.7.7.8.8.9.9" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
    QTest::newRow("fewer pairs: the rest is 0")
        << "1.9.2.8." << QStringList{"9", "8", "0", "0", "0", "0", "0"};
    QTest::newRow("damaged fields load as 0") << "1.x.2.-4.3..4. 7.5.99999999999.6.08.7.3"
                                              << QStringList{"0", "0", "0", "0", "0", "8", "3"};
}

void StudyRulesTest::loadLessonMinutes_records()
{
    QFETCH(QString, record);
    QFETCH(QStringList, studied);
    const LessonMinutes lessons = loadLessonMinutes(requiredMinutesTables().at(2), record);
    QCOMPARE(lessons.studied, studied);
    // What the save writes loads back the same.
    QCOMPARE(loadLessonMinutes(requiredMinutesTables().at(2), buildStudiedRecord(studied)).studied,
             studied);
}

void StudyRulesTest::progress_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("studied");
    QTest::addColumn<QString>("code");
    QTest::newRow("still studying") << 0 << "50"
                                    << "49"
                                    << "qjx";
    QTest::newRow("equal is not done") << 0 << "50"
                                       << "50"
                                       << "";
    QTest::newRow("one past: next lesson") << 0 << "50"
                                           << "51"
                                           << "qqh";
    QTest::newRow("last lesson done: next category") << 6 << "53"
                                                     << "54"
                                                     << "xyx";
    QTest::newRow("last lesson equal") << 6 << "53"
                                       << "53"
                                       << "";
    QTest::newRow("whole part of a fraction") << 0 << "50.9"
                                              << "50.2"
                                              << "";
    QTest::newRow("nothing selected") << -1 << "50"
                                      << "60"
                                      << "";
    QTest::newRow("not a number") << 0 << "50"
                                  << "abc"
                                  << "";
}

void StudyRulesTest::progress()
{
    QFETCH(int, selected);
    QFETCH(QString, required);
    QFETCH(QString, studied);
    QFETCH(QString, code);
    QCOMPARE(progressCode(lessonProgress(selected, 7, required, studied)), code);
}

void StudyRulesTest::snapshot_countsDoneLessonsAndTimeLeft()
{
    std::array<QString, 4> records;
    records[3] = "1.45.2.55.3.58.4.48.5.52.6.56.7.59.8.50."; // category 3 all done
    const QStringList required = {"45", "47", "50", "43", "44", "47", "53"};
    const QStringList studied = {"46", "47", "0", "0", "0", "0", "0"};
    const StudySnapshot s =
        makeSnapshot(true, 2, 1, required, studied, requiredMinutesTables(), records);
    QCOMPARE(s.categoryName, QString("基础理论"));
    QCOMPARE(s.lesson, 2);
    QCOMPARE(s.studied, 47);
    QCOMPARE(s.lessonsDone, 1);
    // Lesson 2 needs 1 more, lessons 3-7 need required+1 each; category 3 needs nothing.
    QCOMPARE(s.minutesLeft, 1 + 51 + 44 + 45 + 48 + 54);
    QVERIFY(makeSnapshot(true, 4, 0, required, studied, requiredMinutesTables(), records)
                .categoryName.isEmpty());
}

// Each row: what successive ticks on one lesson found, and what they decided, one letter a
// tick: c credit, r reopen, s skip, e session ended, - nothing. A '*' before a state means the
// lesson's link was clicked just before that tick; '!' means the site check found no site.
void StudyRulesTest::playerWatch_verdicts_data()
{
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("verdicts");
    QTest::newRow("open player counts") << "O O"
                                        << "cc";
    QTest::newRow("three failures skip") << "F F F"
                                         << "rrs";
    QTest::newRow("an open tick resets the count") << "F F O F F"
                                                   << "rrcrr";
    QTest::newRow("no window: two ticks of grace after a click") << "*N N N *N N N" << "--r--r";
    QTest::newRow("slow loading is waited for") << "L L L L L L O" << "------c";
    QTest::newRow("a load that never ends fails") << "L L L L L L L L L L" << "---------r";
    QTest::newRow("site down never skips") << "D D D D O"
                                           << "rrrrc";
    QTest::newRow("login page ends the session") << "O P"
                                                 << "ce";
    QTest::newRow("site check: reopen until the site answers") << "!O D !O O"
                                                               << "rrrc";
    QTest::newRow("site check wrong three times: engine wins") << "!O !O !O !O"
                                                               << "rrcc";
}

void StudyRulesTest::playerWatch_verdicts()
{
    QFETCH(QString, ticks);
    QFETCH(QString, verdicts);
    PlayerWatch watch;
    QString decided;
    for (QString tick : ticks.split(' ')) {
        if (tick.startsWith('*')) {
            watch.lessonClicked();
            tick.remove(0, 1);
        }
        const Answer site = tick.startsWith('!') ? Answer::Unreachable : Answer::Reachable;
        const QChar state = tick.back();
        const PlayerState player = state == 'O'   ? PlayerState::Open
                                   : state == 'F' ? PlayerState::Failed
                                   : state == 'N' ? PlayerState::NotOpened
                                   : state == 'L' ? PlayerState::Loading
                                   : state == 'D' ? PlayerState::SiteDown
                                                  : PlayerState::LoginPage;
        const TickVerdict v = watch.judge(7, player, site);
        decided += v.credit ? 'c' : v.skip ? 's' : v.sessionEnded ? 'e' : v.reopen ? 'r' : '-';
    }
    QCOMPARE(decided, verdicts);
}

void StudyRulesTest::loginRetryDelay_doublesUpToTenMinutes()
{
    using namespace std::chrono_literals;
    QCOMPARE(loginRetryDelay(1), 30s);
    QCOMPARE(loginRetryDelay(2), 60s);
    QCOMPARE(loginRetryDelay(5), 8min);
    QCOMPARE(loginRetryDelay(6), 10min);
    QCOMPARE(loginRetryDelay(60), 10min);
}

QTEST_GUILESS_MAIN(StudyRulesTest)
#include "tst_study_rules.moc"
