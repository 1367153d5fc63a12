// The site's own count as pure rules: the record's rows matched to lessons, the figures kept
// between runs, and whether the site still counts what the program credits.

#include "records/site_figures.h"
#include "study/record_watch.h"
#include "study/site_count.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using namespace std::chrono_literals;
using study::LessonKey;
using study::SiteCount;

class SiteCountTest : public QObject
{
    Q_OBJECT
private slots:
    void match_byNormalizedTitleWithinCategory_unreadableIsNoVerdict_data();
    void match_byNormalizedTitleWithinCategory_unreadableIsNoVerdict();
    void figures_keptInAFileOfTheirOwn_damagedLinesPassedOver();
    void judge_growthAgainstCredits_data();
    void judge_growthAgainstCredits();
    void judge_fromTheReadingNearTheWindowsStart();
};

using Titles = std::array<QStringList, records::kCategoryCount>;
using Figures = SiteCount::Figures;

static page::RecordRow row(const QStringList& cells, std::optional<int> seconds)
{
    return {cells, seconds, cells.join(" | ")};
}

void SiteCountTest::match_byNormalizedTitleWithinCategory_unreadableIsNoVerdict_data()
{
    QTest::addColumn<QList<page::RecordRow>>("rows");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<Figures>("expected");
    QTest::addColumn<int>("unreadable");
    const QList<page::RecordRow> record = {
        row({"1", "基础理论", "第１课　心理学概论", "12分0秒"}, 720),
        row({"2", "基础理论", "第2课 发展", "3:00"}, 180),
        row({"3", "基础理论", "第2课 发展", "1:00"}, 60), // a second visit adds up
        row({"4", "学校教育", "第1课 班会", "--"}, std::nullopt),
        row({"5", "基础理论", "不在计划中的课", "9分钟"}, 540),
    };
    // Category 2 matched: its lessons without a row have nothing on the site, when every page
    // was read. Category 3's one row cannot be read: no verdict, never zero. Category 0 is not
    // named at all: its titles may be written otherwise there.
    QTest::newRow("complete") << record << true
                              << Figures{{{2, 0}, 720}, {{2, 1}, 240}, {{2, 2}, 0}} << 1;
    QTest::newRow("read in part") << record << false << Figures{{{2, 0}, 720}, {{2, 1}, 240}} << 1;
    // The same title in two categories: the row's category decides; a row naming neither is
    // none of them, and one naming a category is none of another's.
    const QList<page::RecordRow> shared = {row({"学校教育", "第1课 班会"}, 60),
                                           row({"无类别", "第1课 班会"}, 99),
                                           row({"团体训练", "第1课 心理学概论"}, 7)};
    QTest::newRow("shared title") << shared << false << Figures{{{3, 0}, 60}} << 0;
}

void SiteCountTest::match_byNormalizedTitleWithinCategory_unreadableIsNoVerdict()
{
    QFETCH(QList<page::RecordRow>, rows);
    QFETCH(bool, complete);
    Titles titles;
    titles.at(0) = QStringList{"第1课 概论"};
    titles.at(2) = QStringList{"第1课 心理学概论", "第2课 发展", "第3课 人格"};
    titles.at(3) = QStringList{"第1课 班会"};
    titles.at(1) = QStringList{"第1课 班会"};
    QStringList unreadable;
    QTEST(study::matchRecord(rows, complete, titles, &unreadable), "expected");
    QTEST(int(unreadable.size()), "unreadable");
}

void SiteCountTest::figures_keptInAFileOfTheirOwn_damagedLinesPassedOver()
{
    QTemporaryDir dir;
    const QString path = records::SiteFigures::pathIn(dir.path());
    const QDateTime at = QDateTime::fromString("2026-12-09T08:00:00", Qt::ISODate);
    {
        records::SiteFigures figures(path);
        QVERIFY(!figures.load()); // no file yet: no figures
        figures.setPlace(records::RecordPlace::Found, QUrl("http://site.example/course/records"));
        figures.set(2, 6, {1234, at});
        figures.setLastRead(at);
        QVERIFY(figures.save());
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("lesson\t1\tx\t5\t2026-12-09T08:00:00\nlesson\t1\t2\t-5\tnow\ngarbage\n");
    file.close();
    records::SiteFigures read(path);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("3 lines .* could not be read"));
    QVERIFY(read.load());
    QCOMPARE(read.lesson(2, 6), (records::SiteFigure{1234, at}));
    QVERIFY(read.lessonCount() == 1 && read.place() == records::RecordPlace::Found);
    QCOMPARE(read.address(), QUrl("http://site.example/course/records"));
    QCOMPARE(read.lastRead(), at);
    read.setPlace(records::RecordPlace::None);
    QVERIFY(read.save());
    records::SiteFigures none(path);
    none.load();
    QVERIFY(none.place() == records::RecordPlace::None && none.address().isEmpty());
}

// A night: one minute credited to lesson (0,0) every minute from minute 1; the record read every
// ten minutes (and when a judgement is due) shows what the site counted up to `stopsAt` minutes,
// `lagging` minutes late, saved every `savesEvery` minutes; `listed`: whether the record lists
// the lesson at all. The first judgement that says the site stopped, as the minute it came at
// (-1: never).
void SiteCountTest::judge_growthAgainstCredits_data()
{
    QTest::addColumn<int>("stopsAt");
    QTest::addColumn<int>("lagging");
    QTest::addColumn<int>("savesEvery");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<int>("noticedAt");
    QTest::newRow("counting") << 999 << 0 << 1 << true << -1;
    QTest::newRow("saved every five minutes") << 999 << 0 << 5 << true << -1;
    QTest::newRow("a few minutes late") << 999 << 4 << 1 << true << -1;
    // Noticed within about ten credited minutes of the stop, whenever it falls.
    QTest::newRow("stops after a reading") << 31 << 0 << 1 << true << 40;
    QTest::newRow("stops before a reading") << 39 << 0 << 1 << true << 50;
    QTest::newRow("not listed") << 20 << 0 << 1 << false << -1;
}

void SiteCountTest::judge_growthAgainstCredits()
{
    QFETCH(int, stopsAt);
    QFETCH(int, lagging);
    QFETCH(int, savesEvery);
    QFETCH(bool, listed);
    SiteCount count;
    const LessonKey lesson{0, 0};
    int noticedAt = -1;
    int lastRead = -100;
    for (int minute = 1; minute <= 90 && noticedAt < 0; ++minute) {
        count.credited(lesson, std::chrono::minutes(minute));
        if (minute - lastRead < 10 && !count.judgementDue())
            continue;
        lastRead = minute;
        const int shown = std::min(std::max(0, minute - lagging), stopsAt);
        const Figures figures =
            listed ? Figures{{lesson, shown / savesEvery * savesEvery * 60}} : Figures{};
        const auto judged = count.read(std::chrono::minutes(minute), figures);
        if (judged && !judged->counting)
            noticedAt = minute;
    }
    QTEST(noticedAt, "noticedAt");
}

void SiteCountTest::judge_fromTheReadingNearTheWindowsStart()
{
    // Read at minutes 5 and 20: 5 is a quarter inside the long window, so the long window
    // judges, over the 15 minutes credited since that reading.
    SiteCount count;
    const LessonKey lesson{1, 2};
    std::optional<SiteCount::Judgement> judged;
    for (int minute = 1; minute <= 20; ++minute) {
        count.credited(lesson, std::chrono::minutes(minute));
        if (minute == 5 || minute == 20)
            judged = count.read(std::chrono::minutes(minute), {{lesson, 60 * minute}});
    }
    QVERIFY(judged && judged->counting && judged->window == SiteCount::kWindow);
    QVERIFY(judged->credited == 15 && judged->counted == 15);
}

QTEST_GUILESS_MAIN(SiteCountTest)
#include "tst_site_count.moc"
