// The morning view: the run record read back, the figures of its runs, the timetable's bars,
// and the "学习记录" window that shows and exports them.

#include "fake_files.h"
#include "fake_platform.h"
#include "records/morning_report.h"
#include "records/study_log.h"
#include "window/morning_view.h"
#include "window/record_window.h"
#include "window/timetable_picture.h"

#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using namespace lumora::records;
using Kind = RunEventKind;

namespace {

const char* const kStamp = "yyyy-MM-dd HH:mm:ss";

RunEvent ev(Kind kind, int category = -1, int lesson = -1, int minutes = 0, QString detail = {})
{
    return {kind, category, lesson, minutes, detail};
}

QString line(const QString& at, const RunEvent& event)
{
    return at + "  " + describeRunEvent(event) + '\n';
}

bool write(const QString& path, const QString& text)
{
    return platform::writeFileAtomically(path, text.toUtf8()).written();
}

// A night the program quit in the middle of and went on with after a restart, paused at the end.
// clang-format off
const QString kNight =
    line("2024-05-01 22:00:00", ev(Kind::RunStarted, 0)) + line("2024-05-01 22:01:00", ev(Kind::MinuteCredited, 0, 0, 50)) +
    line("2024-05-01 22:01:00", ev(Kind::LessonDone, 0, 0)) + line("2024-05-01 22:02:00", ev(Kind::MinuteCredited, 1, 2, 5)) +
    line("2024-05-01 22:03:00", ev(Kind::PageFailed, 1, 3, 0, "服务器错误（500）")) +
    line("2024-05-01 22:04:00", ev(Kind::PageFailed, 1, 3, 0, "页面超时")) + line("2024-05-01 22:05:00", ev(Kind::LessonSkipped, 1, 3)) +
    line("2024-05-01 22:09:00", ev(Kind::Stalled, 1, 4, 7, "无法连接培训网站，重新登录")) +
    line("2024-05-01 22:10:00", ev(Kind::SessionRecovered, 1, 4)) + line("2024-05-01 22:40:00", ev(Kind::Resumed, 1, 4, 25)) +
    line("2024-05-01 23:00:00", ev(Kind::ProgramQuit, -1, -1, 2)) + line("2024-05-02 06:00:00", ev(Kind::RunRestarted, 1)) +
    line("2024-05-02 06:00:00", ev(Kind::RunStarted, 1)) + line("2024-05-02 06:01:00", ev(Kind::MinuteCredited, 1, 4, 6)) +
    line("2024-05-02 06:02:00", ev(Kind::Stalled, 1, 4, 4, "课程视频没有播放")) +
    line("2024-05-02 06:30:00", ev(Kind::RunPaused, 1, 4, 3, "密码错误")) +
    line("2024-05-02 06:31:00", ev(Kind::MinuteCredited, 1, 4, 7)); // outside a run
// A run cut short whose restart found nothing left to study: the night's is a new one.
const QString kEarlierRun = line("2024-04-30 21:00:00", ev(Kind::RunStarted, 2)) + line("2024-04-30 21:30:00", ev(Kind::ProgramQuit)) + line("2024-04-30 21:40:00", ev(Kind::RunRestarted, 4));
// clang-format on

} // namespace

class MorningTest : public QObject
{
    Q_OBJECT
private slots:
    void record_everyKindReadBack();
    void history_figuresOfANight();
    void bars_studiedAgainstNeeded();
    void window_showsFollowsAndExports();
    void window_soakRecord_keepsLast30();

private:
    testing::FakeDialogs dialogs;
    testing::FakeFiles files;
};

void MorningTest::record_everyKindReadBack()
{
    // Each event as its line carries it: what describeRunEvent leaves out is not read back.
    // clang-format off
    QList<RunEvent> events = {
        ev(Kind::RunStarted, 2), ev(Kind::CategoryOpened, 3), ev(Kind::LessonOpened, 1, 0),
        ev(Kind::MinuteCredited, 0, 20, 45), ev(Kind::LessonDone, 3, 7),
        ev(Kind::LessonSkipped, 1, 3, 0, "课件（播放页）打不开"), ev(Kind::CategoryFinished, 3),
        ev(Kind::SaveFailed, -1, -1, 0, "/tmp/boot.txt"), ev(Kind::PageFailed, 0, 1, 0, "超时"),
        ev(Kind::SessionRecovered, 1, 2), ev(Kind::RunPaused), ev(Kind::RunPaused, -1, -1, 0, "密码错误"),
        ev(Kind::RunEnded, -1, -1, 130), ev(Kind::RunEnded, -1, -1, 7, "基础理论第 3 课"),
        ev(Kind::VideoFailed, 0, 1, 0, "x"), ev(Kind::Resumed, -1, -1, 33),
        ev(Kind::ProgramQuit, -1, -1, 9), ev(Kind::RunRestarted, 2),
        ev(Kind::Stalled, 3, 0, 12, "无法连接培训网站，重新登录")};
    // clang-format on
    QTemporaryDir dir;
    StudyLog log(dir.path());
    for (const RunEvent& event : events)
        log.record(event);
    QString text = QString::fromUtf8(platform::readWholeFile(log.path()).value());
    text += "2024-05-01 22:00:00  未知的一行\nunstamped\n2024-05-01 22:00"; // passed over
    // A failed save in the words of files written by earlier versions.
    text += "\n2024-05-01 22:01:00  无法保存学习记录：磁盘已满\n";
    events.append(ev(Kind::SaveFailed, -1, -1, 0, "磁盘已满"));
    // The texts show every field these events have: equal texts, equal events.
    QStringList read, written;
    for (const RecordedEvent& r : readRecordText(text)) // times: see history_figuresOfANight
        read << describeRunEvent(r.event);
    for (const RunEvent& e : events)
        written << describeRunEvent(e);
    QCOMPARE(read, written);
}

void MorningTest::history_figuresOfANight()
{
    RunHistory history;
    // The next run's skip of the same lesson gives no reason: not the night's "页面超时".
    history.addText(kEarlierRun + kNight + line("2024-05-02 09:00:00", ev(Kind::RunStarted, 1)) +
                    line("2024-05-02 09:01:00", ev(Kind::LessonSkipped, 1, 3)));
    const QList<RunSummary> runs = history.runs();
    const RunSummary& night = runs.at(1); // newest first; the restart goes on with the night's run
    QVERIFY(runs.size() == 3 && runs.at(2).end == RunEnd::ProgramQuit &&
            night.end == RunEnd::Paused && runs.at(0).skipped.at(0).why.isEmpty());
    QCOMPARE(night.minutes, (std::array<int, kCategoryCount>{1, 2, 0, 0}));
    QCOMPARE(MorningReport::period(night), "2024-05-01 22:00 至 2024-05-02 06:30（8 小时 30 分）");
    QCOMPARE(
        MorningReport::details(night),
        (QStringList{"学完的课（1 课）：个体辅导 第 1 课", "跳过的课：团体训练 第 4 课（页面超时）",
                     "最长一次未能计时：7 分钟（无法连接培训网站，重新登录）",
                     "登录失效后重新登录：1 次", "程序重新启动后继续学习：1 次",
                     "电脑休眠：25 分钟，其间不计学习时间"}));
    // A run without recoveries, restarts or sleep says nothing of them.
    QCOMPARE(MorningReport::details(runs.at(2)).size(), 3);
    QCOMPARE(MorningReport::historyCells(night).join('|'),
             "2024-05-01 22:00|2024-05-02 06:30|3 分钟|1 课|1 课|7 分钟|1 次|学习暂停");
}

void MorningTest::bars_studiedAgainstNeeded()
{
    MinuteRecords minutes;
    minutes.setRecordText(2, "1.46.2.20.3.x.4.99");
    const auto bars = timetableBars(minutes);
    // Needed: one minute past the requirement (45, 47, 50, 43, ...); unreadable minutes are 0.
    QCOMPARE(bars[2].lessons.mid(0, 4), (QList<LessonBar>{{46, 46}, {20, 48}, {0, 51}, {99, 44}}));
    QCOMPARE(bars[2].minutesLeft, 28 + 51 + 45 + 48 + 54);
    // The category's line of the summary: what this night credited, lessons done, time left.
    const QStringList cells = MorningReport::categoryCells(bars[2], 7);
    QCOMPARE(cells.mid(1), (QStringList{"7 分钟", "2 / 7 课", "3 小时 46 分"}));
    QCOMPARE(MorningReport::categoryCells({"学校教育", {{46, 46}}, 0}, 0).at(3), "全部学完");
}

void MorningTest::window_showsFollowsAndExports()
{
    QTemporaryDir dir;
    const QString path = StudyLog::pathIn(dir.path());
    QVERIFY(write(StudyLog::previousPathIn(dir.path()), kEarlierRun) && write(path, kNight));
    MinuteRecords minutes;
    minutes.setRecordText(3, "1.45.2.3");
    // The site's record has the second lesson of 学校教育, at more than the program credited.
    SiteFigures figures;
    const QDateTime read(QDate(2024, 5, 2), QTime(6, 40));
    figures.setPlace(RecordPlace::Found, QUrl("http://site.example/records"));
    figures.set(3, 1, {40 * 60 + 59, read});
    figures.setLastRead(read);
    window::RecordWindow shown({path, &minutes, &figures, &dialogs, &files});
    shown.show();
    window::MorningView* view = shown.morningView();
    QCOMPARE(view->headline(),
             "上次学习：2024-05-01 22:00 至 2024-05-02 06:30（8 小时 30 分），学习暂停：密码错误");
    QCOMPARE(view->history()->rowCount(), 2); // the previous file's run too
    QCOMPARE(view->findChild<QTableWidget*>("RecordSummary")->findItems("学校教育", {}).size(), 1);
    QCOMPARE(view->picture()->bars()[3].lessons.mid(0, 2),
             (QList<LessonBar>{{45, 45}, {3, 55, 40}}));
    QCOMPARE(view->picture()->bars()[3].minutesLeft, (54 - 40) + 58 + 48 + 52 + 56 + 59 + 50);
    // Drawn on the base colour, as the tables around it are.
    QCOMPARE(view->picture()->grab().toImage().pixelColor(0, 0), view->palette().base().color());
    QVERIFY(view->siteLine().startsWith(
        "网站的学习记录（2024-05-02 06:40 读取）：1 课共 40 分钟，本程序对这些课记了 3 分钟。"));

    // "导出…": cancelled, refused, then saved; the summary above the whole record.
    shown.exportRecord();
    dialogs.answers = QStringList{"/out/a.txt", "/out/b.txt"};
    files.files["/out/a.txt"].readAs = platform::ReadStatus::Locked;
    shown.exportRecord();
    QVERIFY(dialogs.texts.value(0).startsWith("未能导出：无法写入")); // held, not refused
    shown.exportRecord();
    QVERIFY(files.writes == 2 && dialogs.asked.value(0).endsWith(".txt"));
    const QString text = QString::fromUtf8(files.files["/out/b.txt"].bytes);
    QVERIFY(files.files["/out/b.txt"].bytes.startsWith("\xEF\xBB\xBF") &&
            text.endsWith("【学习记录】\n" + kEarlierRun + kNight));
    for (const char* expected :
         {"2024-05-01 22:00 至 2024-05-02 06:30（8 小时 30 分），学习暂停：密码错误\n",
          "跳过的课：团体训练 第 4 课（页面超时）\n",
          "学校教育 各课已学 / 需学分钟：45/45 3/55(网站40) 0/58 ",
          "\n2024-04-30 21:00  2024-04-30 21:30  0 分"})
        QVERIFY2(text.contains(expected), qPrintable(expected));

    // A new run in the record shows once control returns to the event loop.
    QVERIFY(write(path, kNight + line("2024-05-02 07:00:00", ev(Kind::RunStarted, 1))));
    shown.followRun();
    QTRY_COMPARE(view->history()->rowCount(), 3);
    QVERIFY(view->headline().endsWith("没有结束的记录（仍在学习，或程序意外中断）"));
    const QWidget* details = view->findChild<QWidget*>("LastRunDetails"); // long lines wrapped
    QVERIFY(details->hasHeightForWidth() && !details->property("text").toString().isEmpty());
    view->showRuns({}, {}); // a record emptied: nothing of its last run stays
    QVERIFY(details->property("text").toString().isEmpty());
}

void MorningTest::window_soakRecord_keepsLast30()
{
    // Forty nights of a soak: stalls, a skipped lesson now and then, recoveries; most of the
    // timetable done. With LUMORA_MORNING_SHOT set, the view is saved there as a picture.
    QString text;
    QDateTime night(QDate(2024, 4, 1), QTime(22, 0));
    for (int n = 0; n < 40; ++n, night = night.addDays(1)) {
        const auto at = [&](int m) { return night.addSecs(60 * m).toString(kStamp); };
        text += line(at(0), ev(Kind::RunStarted, n % 4));
        for (int minute = 1; minute <= 400 + n; minute += 3) {
            text += line(at(minute), ev(Kind::MinuteCredited, n % 4, minute / 50, minute % 50));
            if (minute % 50 == 49)
                text += line(at(minute), ev(Kind::LessonDone, n % 4, minute / 50));
        }
        text += line(at(90), ev(Kind::Stalled, n % 4, 1, 3 + n % 11, "无法连接培训网站，重新登录"));
        for (int i = 0; i < (n + 1) % 3; ++i)
            text += line(at(120 + i), ev(Kind::SessionRecovered, n % 4, 2));
        if (n % 5 == 4) // a lesson skipped, and why
            text += line(at(200), ev(Kind::PageFailed, n % 4, 5, 0, "培训网站暂时无法服务")) +
                    line(at(201), ev(Kind::LessonSkipped, n % 4, 5));
        text += line(at(460), ev(Kind::RunEnded, -1, -1, 400 + n));
    }
    QTemporaryDir dir;
    QVERIFY(write(StudyLog::pathIn(dir.path()), text));
    MinuteRecords minutes;
    minutes.setRecordText(3, "1.45.2.55.3.58.4.48.5.20");
    for (int category = 0; category < 3; ++category)
        for (int lesson = 0; lesson < minutes.lessonCount(category); ++lesson)
            while (!minutes.lesson(category, lesson)->done())
                minutes.credit(category, lesson);
    SiteFigures none;
    none.setPlace(RecordPlace::None);
    window::RecordWindow shown({StudyLog::pathIn(dir.path()), &minutes, &none, &dialogs, &files});
    shown.show();
    QTableWidget* history = shown.morningView()->history();
    QCOMPARE(history->rowCount(), RunHistory::kKept); // newest first
    QCOMPARE(history->model()->headerData(0, Qt::Horizontal).toString() +
                 history->item(0, 0)->text() + history->item(29, 0)->text(),
             "开始2024-05-10 22:002024-04-11 22:00");
    QCoreApplication::processEvents(); // laid out for the texts shown
    if (const QString shot = qEnvironmentVariable("LUMORA_MORNING_SHOT"); !shot.isEmpty())
        QVERIFY(shown.grab().save(shot));
}

QTEST_MAIN(MorningTest)
#include "tst_morning.moc"
