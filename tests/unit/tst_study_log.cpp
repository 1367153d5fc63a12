// The run record on the fake engine, its rotation and failures, the "学习记录" window, and what
// the tray says.

#include "platform/files.h"
#include "program_fixture.h"
#include "records/study_log.h"
#include "study/progress.h"
#include "window/record_window.h"
#include "window/tray_icon.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using Kind = records::RunEventKind;

namespace {

// The record's lines without their date and time (a line without them is marked); the line
// end of the last line leaves an empty last entry.
QStringList recordLines(const QString& path)
{
    const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  )");
    QStringList lines;
    const QString text = QString::fromUtf8(platform::readWholeFile(path).value_or(""));
    for (const QString& line : text.split('\n')) {
        const QRegularExpressionMatch m = stamp.match(line);
        lines << (m.hasMatch() || line.isEmpty() ? line.mid(m.capturedLength())
                                                 : "unstamped: " + line);
    }
    return lines;
}

} // namespace

class StudyLogTest : public QObject
{
    Q_OBJECT
private slots:
    void run_recordsCreditLessonChangeAndEnd_windowFollows();
    void record_rotatesAtTheLimit_survivesAnUnwritableFolder();
    void summary_countsDoneLessonsAndMinutes();
    void tray_toolTipAndNotifications();
    void tray_menuWorksTheWindowsButtons();
};

void StudyLogTest::run_recordsCreditLessonChangeAndEnd_windowFollows()
{
    RunFixture f;
    const records::StudyLog log(f.program->config().dataFolder); // the program's own record
    f.window().openStudyRecord(); // open during the run: it follows the record
    f.catalogue().setCategory(3);
    f.records().setStudiedRecord(3, records::buildStudiedRecord({"44", "0", "0"}));
    f.dispatch([&f] { f.run().startStudy(); });
    QCoreApplication::processEvents(); // the window shows the start, then follows again
    for (int i = 0; i < 4; ++i) // the third credits lesson 1 past its 44; the fourth moves on
        f.timer().fire();
    f.run().exitCourseware();
    QCOMPARE(recordLines(log.path()),
             (QStringList{
                 "开始连续学习：学校教育", "打开类别：学校教育", "打开课程：学校教育 第 1 课",
                 "记入 1 分钟：学校教育 第 1 课，本课已学 45 分钟", "本课学完：学校教育 第 1 课",
                 "打开课程：学校教育 第 2 课", "学习结束，本次共学习 1 分钟", ""}));
    const QString file = QString::fromUtf8(platform::readWholeFile(log.path()).value_or(""));
    for (int reopen = 0; reopen < 2; ++reopen) { // followed, then read again on reopening
        QCoreApplication::processEvents();
        QCOMPARE(f.window().recordWindow()->recordText() + '\n', file);
        f.window().recordWindow()->hide();
        f.window().openStudyRecord();
    }
}

void StudyLogTest::record_rotatesAtTheLimit_survivesAnUnwritableFolder()
{
    QTemporaryDir dir;
    records::StudyLog log(dir.path());
    const records::RunEvent ended{Kind::RunEnded, 4, -1, 7, {}};
    const qint64 lineBytes = 22 + records::describeRunEvent(ended).toUtf8().size();
    // A last line cut short (no line end) gets one before the next line.
    QByteArray full(records::StudyLog::kRotateBytes - lineBytes - 1, 'x');
    QVERIFY(platform::writeFileAtomically(log.previousPath(), "oldest\n").written());
    QVERIFY(platform::writeFileAtomically(log.path(), full).written());
    log.record(ended); // fills the file exactly: no rotation
    QCOMPARE(QFile(log.path()).size(), records::StudyLog::kRotateBytes);
    QCOMPARE(recordLines(log.path()).mid(1), (QStringList{"学习结束，本次共学习 7 分钟", ""}));
    log.record(ended); // would pass the limit: rotates first
    QCOMPARE(recordLines(log.path()), (QStringList{"学习结束，本次共学习 7 分钟", ""}));
    QCOMPARE(QFile(log.previousPath()).size(), records::StudyLog::kRotateBytes);
    // A rotation that fails (a folder in the way) leaves the record growing where it is.
    QVERIFY(QFile::remove(log.previousPath()) && QDir().mkpath(log.previousPath() + "/in-the-way"));
    QVERIFY(platform::writeFileAtomically(log.path(), full + 'x').written()); // full, cut short
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot rotate the run record"));
    records::StudyLog(dir.path()).record(ended);
    QCOMPARE(recordLines(log.path()).mid(1), (QStringList{"学习结束，本次共学习 7 分钟", ""}));

    // A file where the folder should be: told once; once it is gone the record goes on.
    const QString folder = dir.filePath("data");
    QVERIFY(platform::writeFileAtomically(folder, "a file where the folder should be").written());
    records::StudyLog elsewhere(folder);
    const records::RunEvent paused{Kind::RunPaused, 0, -1, 0, "密码错误\r\n请\x1b重新输入"};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the run record"));
    QTest::failOnWarning(QRegularExpression("cannot write the run record"));
    elsewhere.record(paused);
    elsewhere.record(paused);
    QVERIFY(QFile::remove(folder));
    elsewhere.record(paused);
    QCOMPARE(recordLines(elsewhere.path()), (QStringList{"学习暂停（密码错误 请 重新输入）", ""}));
}

void StudyLogTest::summary_countsDoneLessonsAndMinutes()
{
    // Done only past the requirement; unreadable minutes count 0; fields past the table ignored.
    const std::array<QString, 4> tables = {"1.10.2.20", "1.5", "", "1.3.2.4"};
    const std::array<QString, 4> studied = {"1.11.2.20", "1.x", "1.9", "1.4.2.5.3.9"};
    QList<QList<long long>> figures;
    for (const records::CategorySummary& s : records::summarizeStudy(tables, studied))
        figures.append({s.lessonsDone, s.lessonCount, s.minutesStudied, s.minutesRequired});
    QCOMPARE(figures,
             (QList<QList<long long>>{{1, 2, 31, 30}, {0, 1, 0, 5}, {0, 0, 0, 0}, {2, 2, 9, 7}}));
}

void StudyLogTest::tray_toolTipAndNotifications()
{
    study::StudySnapshot s{true, false, "学校教育", 2, 8, 12, 45, 0, 95};
    QCOMPARE(window::trayToolTip(s), "Lumora\n正在学习：学校教育 第 2 课\n本课 12 / 46 分钟\n"
                                     "预计剩余 1 小时 35 分");
    s.lesson = 0; // no lesson selected: no lesson figures
    QCOMPARE(window::trayToolTip(s), "Lumora\n正在学习：学校教育\n预计剩余 1 小时 35 分");
    // Kind and category of an event, then the notification's text ("" for none) and whether
    // the learner has to act.
    const std::tuple<Kind, int, QString, QString, bool> cases[] = {
        {Kind::CategoryFinished, 1, "", "团体训练的课程已全部学完。", false},
        {Kind::RunEnded, 4, "", "全部课程已学完，本次共学习 7 分钟。", false},
        {Kind::RunPaused, 0, " 密码错误 ", "密码错误\n请回到窗口处理。", true},
        {Kind::LessonOpened, 0, "", "", false}};
    for (const auto& [kind, category, detail, text, warning] : cases) {
        const auto n = window::trayNotificationFor({kind, category, 0, 7, detail});
        QCOMPARE(n ? n->text : QString(), text);
        QCOMPARE(n && n->warning, warning);
    }
}

void StudyLogTest::tray_menuWorksTheWindowsButtons()
{
    ProgramFixture f;
    f.start();
    QMenu* menu = f.program->tray().menu();
    const auto action = [menu](const QString& text) {
        const QList<QAction*> all = menu->actions();
        return *std::find_if(all.begin(), all.end(), [&](QAction* a) { return a->text() == text; });
    };
    // Usable exactly when the window's own buttons are.
    QVERIFY(!action("连续学习")->isEnabled() && action("退出课件")->isEnabled());
    CoursePage site = makeCoursePage();
    f.showCoursePage(site);
    QVERIFY(action("连续学习")->isEnabled());
    f.window().exitButton()->setEnabled(false);
    QVERIFY(!action("退出课件")->isEnabled());
    action("连续学习")->trigger(); // as the button does: a run starts
    QVERIFY(f.timer().isEnabled());
}

QTEST_MAIN(StudyLogTest)
#include "tst_study_log.moc"
