// The timetable's pure functions and the progress test of a lesson.

#include "study/progress.h"
#include "study/timetable.h"

#include <QTest>

using namespace lumora::study;

class TimetableTest : public QObject
{
    Q_OBJECT
private slots:
    void requiredTables_lessonCountsAndMinutes_data();
    void requiredTables_lessonCountsAndMinutes();
    void defaultRecords_matchTheirTables();
    void loadLessonMinutes_records_data();
    void loadLessonMinutes_records();
    void buildRecord_endsWithFullStop_andRoundTrips();
    void progressCode_data();
    void progressCode();
    void snapshot_countsDoneLessonsAndTimeLeft();
};

void TimetableTest::requiredTables_lessonCountsAndMinutes_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QStringList>("minutes");
    QTest::newRow("个体辅导") << 0 << QStringList{"50", "46", "49", "54", "50", "48", "42",
                                                  "48", "53", "50", "49", "50", "51", "46",
                                                  "44", "46", "55", "47", "49", "53", "55"};
    QTest::newRow("团体训练") << 1
                              << QStringList{"38", "25", "21", "28", "14", "27", "17", "25", "21"};
    // The third pair is numbered 2; lesson numbers are never read, so it is the third lesson.
    QTest::newRow("基础理论") << 2 << QStringList{"45", "47", "50", "43", "44", "47", "53"};
    QTest::newRow("学校教育") << 3 << QStringList{"44", "54", "57", "47", "51", "55", "58", "49"};
}

void TimetableTest::requiredTables_lessonCountsAndMinutes()
{
    QFETCH(int, category);
    QFETCH(QStringList, minutes);
    QCOMPARE(minutesOfLessons(requiredMinutesTables().at(category)), minutes);
}

void TimetableTest::defaultRecords_matchTheirTables()
{
    for (int c = 0; c < kCategoryCount; ++c) {
        const QString& record = defaultStudiedRecords().at(c);
        QVERIFY2(!record.endsWith('.'), "default records carry no final full stop");
        const QStringList studied = minutesOfLessons(record);
        QCOMPARE(studied.size(), minutesOfLessons(requiredMinutesTables().at(c)).size());
        QVERIFY(
            std::all_of(studied.begin(), studied.end(), [](const QString& m) { return m == "0"; }));
    }
    QCOMPARE(categoryNames(), (QStringList{"个体辅导", "团体训练", "基础理论", "学校教育"}));
}

void TimetableTest::loadLessonMinutes_records_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("studied");
    const QStringList zeros(7, "0");
    QTest::newRow("empty record: nothing studied") << "" << zeros;
    QTest::newRow("saved record, final full stop")
        << "1.3.2.0.3.12.4.0.5.0.6.0.7.51." << QStringList{"3", "0", "12", "0", "0", "0", "51"};
    QTest::newRow("same record without the full stop")
        << "1.3.2.0.3.12.4.0.5.0.6.0.7.51" << QStringList{"3", "0", "12", "0", "0", "0", "51"};
    QTest::newRow("lesson numbers are not read")
        << "1.1.1.2.1.3.1.4.1.5.1.6.1.7" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
    QTest::newRow("more pairs than the table")
        << "1.1.2.2.3.3.4.4.5.5.6.6.7.7.8.8.9.9" << QStringList{"1", "2", "3", "4", "5", "6", "7"};
    QTest::newRow("fewer pairs: the rest is 0")
        << "1.9.2.8." << QStringList{"9", "8", "0", "0", "0", "0", "0"};
    QTest::newRow("odd trailing field ignored")
        << "1.9.2" << QStringList{"9", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("damaged fields load as 0") << "1.x.2.-4.3..4. 7.5.99999999999.6.08.7.3"
                                              << QStringList{"0", "0", "0", "0", "0", "8", "3"};
}

void TimetableTest::loadLessonMinutes_records()
{
    QFETCH(QString, record);
    QFETCH(QStringList, studied);
    const LessonMinutes lessons = loadLessonMinutes(requiredMinutesTables().at(2), record);
    QCOMPARE(lessons.required, (QStringList{"45", "47", "50", "43", "44", "47", "53"}));
    QCOMPARE(lessons.studied, studied);
}

void TimetableTest::buildRecord_endsWithFullStop_andRoundTrips()
{
    const QStringList studied = {"3", "0", "0", "0", "0", "0", "0", "0", "0"};
    const QString record = buildStudiedRecord(studied);
    QCOMPARE(record, QString("1.3.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0."));
    QCOMPARE(loadLessonMinutes(requiredMinutesTables().at(1), record).studied, studied);
    QCOMPARE(buildStudiedRecord({}), QString());
}

void TimetableTest::progressCode_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("studied");
    QTest::addColumn<QString>("code");
    QTest::newRow("still studying") << 0 << 7 << "50"
                                    << "49"
                                    << "qjx";
    QTest::newRow("equal is not done") << 0 << 7 << "50"
                                       << "50"
                                       << "";
    QTest::newRow("one past: next lesson") << 0 << 7 << "50"
                                           << "51"
                                           << "qqh";
    QTest::newRow("last lesson done: next category") << 6 << 7 << "53"
                                                     << "54"
                                                     << "xyx";
    QTest::newRow("last lesson equal") << 6 << 7 << "53"
                                       << "53"
                                       << "";
    QTest::newRow("whole part of a fraction") << 0 << 7 << "50.9"
                                              << "50.2"
                                              << "";
    QTest::newRow("nothing selected") << -1 << 7 << "50"
                                      << "60"
                                      << "";
    QTest::newRow("not a number") << 0 << 7 << "50"
                                  << "abc"
                                  << "";
    QTest::newRow("empty text") << 0 << 7 << ""
                                << "3"
                                << "";
}

void TimetableTest::progressCode()
{
    QFETCH(int, selected);
    QFETCH(int, count);
    QFETCH(QString, required);
    QFETCH(QString, studied);
    QFETCH(QString, code);
    QCOMPARE(lessonProgressCode(selected, count, required, studied), code);
}

void TimetableTest::snapshot_countsDoneLessonsAndTimeLeft()
{
    std::array<QString, 4> records;
    records[3] = "1.45.2.55.3.58.4.48.5.52.6.56.7.59.8.50."; // category 3 all done
    const QStringList required = {"45", "47", "50", "43", "44", "47", "53"};
    const QStringList studied = {"46", "47", "0", "0", "0", "0", "0"};
    const StudySnapshot s =
        makeSnapshot(true, 2, 1, required, studied, requiredMinutesTables(), records);
    QCOMPARE(s.categoryName, QString("基础理论"));
    QCOMPARE(s.lesson, 2);
    QCOMPARE(s.required, 47);
    QCOMPARE(s.studied, 47);
    QCOMPARE(s.lessonsDone, 1);
    // Lesson 2 needs 1 more, lessons 3-7 need required+1 each; category 3 needs nothing.
    QCOMPARE(s.minutesLeft, 1 + 51 + 44 + 45 + 48 + 54);
    QVERIFY(makeSnapshot(true, 4, 0, required, studied, requiredMinutesTables(), records)
                .categoryName.isEmpty());
}

QTEST_GUILESS_MAIN(TimetableTest)
#include "tst_timetable.moc"
