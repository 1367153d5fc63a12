// The run record on the fake engine and its failures, the "学习记录" window, and what
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
#include <QSystemTrayIcon>
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
    void record_failuresTold_oneLinePerEvent();
    void summary_countsDoneLessonsAndMinutes();
    void tray_toolTipNotificationsAndMenu();
};

void StudyLogTest::run_recordsCreditLessonChangeAndEnd_windowFollows()
{
    RunFixture f;
    const records::StudyLog log(f.program->config().dataFolder); // the program's own record
    f.window().openStudyRecord(); // open during the run: it follows the record
    f.catalogue().setCategory(3);
    f.records().setRecordText(3, "1.44.2.0.3.0.");
    f.pressStudy();
    QCoreApplication::processEvents(); // the window shows the start, then follows again
    for (int i = 0; i < 4; ++i) // the third credits lesson 1 past its 44; the fourth moves on
        f.tick();
    f.run().exitCourseware();
    QCOMPARE(recordLines(log.path()),
             (QStringList{
                 "开始连续学习：学校教育", "打开类别：学校教育",
                 "没有找到网站的学习记录页，学习时间无法与网站核对", "打开课程：学校教育 第 1 课",
                 "记入 1 分钟：学校教育 第 1 课，本课已学 45 分钟", "本课学完：学校教育 第 1 课",
                 "打开课程：学校教育 第 2 课", "学习结束，本次共学习 1 分钟", ""}));
    const QString file = QString::fromUtf8(platform::readWholeFile(log.path()).value_or(""));
    for (int reopen = 0; reopen < 2; ++reopen) { // followed, then read again on reopening
        QCoreApplication::processEvents();
        QCOMPARE(f.window().recordWindow()->recordText() + '\n', file);
        f.window().recordWindow()->hide();
        f.window().openStudyRecord();
    }
    // A record that cannot be opened for a while leaves what is shown as it was.
    QVERIFY(QFile::rename(log.path(), log.path() + ".away"));
    f.window().recordWindow()->followRun();
    QCoreApplication::processEvents();
    QCOMPARE(f.window().recordWindow()->recordText() + '\n', file);
    QVERIFY(QFile::rename(log.path() + ".away", log.path()));
    // A record too long to show whole: its last lines, each whole.
    f.window().recordWindow()->hide();
    const QByteArray longRecord = QByteArray(2 * log.kRotateBytes, 'x') + "\nlast\n";
    QVERIFY(platform::writeFileAtomically(log.path(), longRecord).written());
    f.window().openStudyRecord();
    QCOMPARE(f.window().recordWindow()->recordText(), QString("last"));
    QVERIFY(f.window().recordWindow()->isVisible());
}

void StudyLogTest::record_failuresTold_oneLinePerEvent()
{
    // A full record whose rotation is refused (a folder in the way) grows on; a file where the
    // data folder should be drops the line; each is told. Once that file is gone the record
    // goes on.
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    records::StudyLog log(folder);
    QVERIFY(
        platform::writeFileAtomically(log.path(), QByteArray(log.kRotateBytes, '\n')).written());
    QVERIFY(QDir().mkpath(log.previousPath() + "/in-the-way"));
    const records::RunEvent paused{Kind::RunPaused, 0, -1, 0, "密码错误\r\n请\x1b重新输入"};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot rotate the run record"));
    log.record(paused);
    QVERIFY(QDir(folder).removeRecursively() &&
            platform::writeFileAtomically(folder, "").written());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the run record"));
    log.record(paused);
    QVERIFY(QFile::remove(folder));
    log.record(paused);
    QCOMPARE(recordLines(log.path()), (QStringList{"学习暂停（密码错误 请 重新输入）", ""}));
}

void StudyLogTest::summary_countsDoneLessonsAndMinutes()
{
    // Done only past the requirement; unreadable minutes count 0; fields past the table ignored.
    records::MinuteRecords minutes;
    minutes.setRecordText(0, "1.51.2.46.3.x");
    minutes.setRecordText(1, "1.x");
    minutes.setRecordText(2, "1.46.2.48.3.51.4.44.5.45.6.48.7.54.8.99");
    QList<QList<long long>> figures;
    for (const records::CategorySummary& s : minutes.summary())
        figures.append({s.lessonsDone, s.lessonCount, s.minutesStudied, s.minutesRequired});
    QCOMPARE(figures, (QList<QList<long long>>{
                          {1, 21, 97, 1035}, {0, 9, 0, 216}, {7, 7, 336, 329}, {0, 8, 0, 415}}));
}

void StudyLogTest::tray_toolTipNotificationsAndMenu()
{
    study::StudySnapshot s{study::RunPhase::Studying, true, false, "学校教育", 1, 8, 12, 46, 0, 95,
                           "4 分钟未能计时：x"};
    QCOMPARE(window::trayToolTip(s), "Lumora · 正在学习：学校教育 第 2 课（本课 12 / 46 分钟），"
                                     "4 分钟未能计时：x，预计剩余 1 小时 35 分");
    s.stall = QString(200, 'x'); // one line, cut short for the tray
    QVERIFY(window::trayToolTip(s).size() == 120 && window::trayToolTip(s).endsWith(u'…'));
    s.stall.clear();
    s.lesson = -1; // no lesson selected: no lesson figures
    QCOMPARE(window::trayToolTip(s), "Lumora · 正在学习：学校教育，预计剩余 1 小时 35 分");
    // Kind and category of an event, then the notification's text ("" for none) and whether
    // the learner has to act.
    const std::tuple<Kind, int, QString, QString, bool> cases[] = {
        {Kind::CategoryFinished, 1, "", "团体训练的课已全部学完。", false},
        {Kind::RunEnded, 4, "", "全部课已学完，本次共学习 7 分钟。", false},
        {Kind::RunEnded, 4, "基础理论第 3 课", "本次共学习 7 分钟。", false}, // lessons skipped
        {Kind::Stalled, 0, "无法连接培训网站", "已有 7 分钟未能计时：无法连接培训网站", true},
        {Kind::RunPaused, 0, " 密码错误 ", "密码错误\n请回到窗口处理。", true},
        {Kind::LessonOpened, 0, "", "", false}};
    for (const auto& [kind, category, detail, text, warning] : cases) {
        const auto n = window::trayNotificationFor({kind, category, 0, 7, detail});
        QCOMPARE(n ? n->text : QString(), text);
        QCOMPARE(n && n->warning, warning);
    }
    ProgramFixture f(false, true);
    f.start();
    QMenu* menu = f.program->tray().menu();
    auto* icon = f.program->tray().findChild<QSystemTrayIcon*>(); // the window's icon, its menu
    QVERIFY(icon->isVisible() && icon->contextMenu() == menu && !icon->icon().isNull());
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
    // The first entry, or a click on the icon, hides the window in view and shows it again; a
    // click on a note shows it.
    f.window().show();
    action("隐藏窗口")->trigger();
    QVERIFY(f.window().isHidden());
    emit icon->messageClicked();
    emit icon->activated(QSystemTrayIcon::Trigger);
    QVERIFY(f.window().isHidden());
    action("显示窗口")->trigger();
    QVERIFY(f.window().isVisible());
    action("连续学习")->trigger(); // as the button does: a run starts
    QVERIFY(f.timer().isEnabled() && icon->toolTip().contains("正在打开课程：个体辅导"));
    // The program ends, the run with it, once the learner says so (of three answers).
    f.platform.fakeDialogs.choices = {1};
    action("退出程序")->trigger();
    QCOMPARE(f.platform.fakeDialogs.offered.first(), QString("继续在托盘中学习"));
    QVERIFY(f.window().unloaded() && !f.timer().isEnabled());
}

QTEST_MAIN(StudyLogTest)
#include "tst_study_log.moc"
