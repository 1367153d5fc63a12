// Start-up, the window's controls and the save, on the fake platform.

#include "form_fixture.h"
#include "shell/state_file.h"
#include "study/study_status.h"
#include "study/timetable.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

namespace {

const QByteArray kFullState =
    "demo\r\nde,mo123\r\n1.5.2.0.\r\n\r\n1.46.2.3.3.0.4.0.5.0.6.0.7.0.\r\n\r\n";

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void controls_asTheWindowDefinesThem();
    void firstRun_noStateFile_opensLoginQuietly();
    void fullStateFile_restoresBoxesRecordsAndTimetable();
    void shortStateFile_stopsAtTheMissingLine();
    void secondCopy_isToldAndStartsAnyway();
    void save_writesTheWholeFile();
    void save_failure_keepsRunningAndTellsOnce();
    void saveStudiedMinutes_fillsDefaults_data();
    void saveStudiedMinutes_fillsDefaults();
    void resize_laysOutColumnAndCoversBrowser();
};

void StartupTest::controls_asTheWindowDefinesThem()
{
    FormFixture f;
    shell::Form1& w = *f.form;
    QCOMPARE(w.windowTitle(), QString("Lumora自动学习型浏览器v1.5"));
    struct Expect
    {
        QWidget* widget;
        const char* name;
        QString accessible;
        bool visible;
        bool enabled;
        QRect rect;
    };
    const QList<Expect> expected = {
        {w.WebBrowser1->widget(), "WebBrowser1", "网页", true, true, {8, 8, 1209, 817}},
        {w.WebBrowser2->widget(), "WebBrowser2", "课件", false, true, {232, 264, 393, 417}},
        {w.Frame1, "Frame1", "登录", true, true, {1232, 544, 185, 129}},
        {w.Text3, "Text3", "用户名", true, true, {72, 16, 97, 25}},
        {w.Text2, "Text2", "密  码", true, true, {72, 48, 97, 25}},
        {w.Text1, "Text1", "", false, true, {72, 80, 97, 27}},
        {w.Command3, "Command3", "登录", true, true, {}},
        {w.Command2, "Command2", "连续学习", true, false, {1232, 448, 185, 41}},
        {w.Command16, "Command16", "退出课件", true, true, {1232, 496, 185, 41}},
        {w.Frame3, "Frame3", "学习进度", true, true, {1232, 680, 185, 161}},
        {w.Frame2, "Frame2", "注意", true, true, {1232, 224, 185, 217}},
        {w.List3->widget(), "List3", "课程类别", true, false, {}},
        {w.List2->widget(), "List2", "课程列表", true, true, {}},
        {w.List1->widget(), "List1", "类别链接", true, true, {}},
        {w.List7->widget(), "List7", "", false, true, {}},
        {w.List4->widget(), "List4", "", false, true, {}},
        {w.List5->widget(), "List5", "", false, true, {}},
        {w.Label8, "Label8", "验证码", false, true, {}},
    };
    for (const Expect& e : expected) {
        QCOMPARE(e.widget->objectName(), QString(e.name));
        QCOMPARE(e.widget->accessibleName(), e.accessible);
        QCOMPARE(e.widget->isVisibleTo(&w), e.visible);
        QCOMPARE(e.widget->isEnabled(), e.enabled);
        if (!e.rect.isNull())
            QCOMPARE(e.widget->geometry(), e.rect);
    }
    QCOMPARE(w.Text1->text(), QString("ok"));
    QCOMPARE(w.Text2->echoMode(), QLineEdit::Password);
    QCOMPARE(w.Label9->text(), QString("密  码"));
    QCOMPARE(w.Label7->text(), QString("建议分辨率：1440*900以上"));
    QCOMPARE(w.Label1->text(), QString("欢迎免费定制远程培训软件"));
    QCOMPARE(w.clearhc->text(), QString("清除缓存"));
    QCOMPARE(f.timer().interval(), 20000);
    QVERIFY(!f.timer().isEnabled());
    QCOMPARE(w.categoryIndex, qint16(0));
    QCOMPARE(w.tickCount, qint16(0));
    QVERIFY(!w.noticeShown);
}

void StartupTest::firstRun_noStateFile_opensLoginQuietly()
{
    FormFixture f;
    f.start();
    QCOMPARE(
        f.main().navigations,
        QList<QUrl>{QUrl("http://training.example:8080/permission/loginAction.do?method=init")});
    QCOMPARE(f.main().silent, std::optional<bool>(true));
    QCOMPARE(f.player().silent, std::optional<bool>(true));
    QCOMPARE(f.platform.fakeData.cacheClears, 1);
    QCOMPARE(f.platform.fakeData.fullClears, 0);
    QCOMPARE(f.entries(*f.form->List3),
             (QStringList{"个体辅导", "团体训练", "基础理论", "学校教育"}));
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty());
    QVERIFY(f.form->Text3->text().isEmpty());
    QVERIFY(f.form->Text2->text().isEmpty());
    // The timetable is not loaded when start-up ends early.
    QCOMPARE(f.form->List5->count(), 0);
    QCOMPARE(f.form->List4->count(), 0);
    QVERIFY(!QFile::exists(f.statePath()));
}

void StartupTest::fullStateFile_restoresBoxesRecordsAndTimetable()
{
    FormFixture f;
    f.writeState(kFullState);
    f.start();
    QCOMPARE(f.form->Text3->text(), QString("demo"));
    QCOMPARE(f.form->Text2->text(), QString("de,mo123"));
    QCOMPARE(f.form->studiedMinutesRecord[2], QString("1.46.2.3.3.0.4.0.5.0.6.0.7.0."));
    QCOMPARE(f.form->List5->count(), 21);
    QCOMPARE(f.form->List5->text(20), QString("55"));
    QCOMPARE(f.form->List4->text(0), QString("5"));
    QCOMPARE(f.form->List4->text(2), QString("0"));
    QCOMPARE(f.form->List4->count(), 21);
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty());
}

void StartupTest::shortStateFile_stopsAtTheMissingLine()
{
    FormFixture f;
    f.writeState("demo\r\nsecret\r\n1.5.2.0.\r\n");
    f.start();
    QCOMPARE(f.form->Text2->text(), QString("secret"));
    QCOMPARE(f.form->studiedMinutesRecord[0], QString("1.5.2.0."));
    QVERIFY(f.form->studiedMinutesRecord[1].isEmpty());
    QCOMPARE(f.form->List5->count(), 0);
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty());
}

void StartupTest::secondCopy_isToldAndStartsAnyway()
{
    FormFixture f;
    f.platform.anotherCopy = true;
    f.writeState(kFullState);
    f.start();
    QCOMPARE(f.platform.fakeDialogs.texts(), QStringList{"程序正在运行，请检查窗口是否被最小化。"});
    QCOMPARE(f.platform.fakeDialogs.shown.first().title, f.form->windowTitle());
    QCOMPARE(f.main().navigations.size(), 1);
    QCOMPARE(f.form->List5->count(), 21);
}

void StartupTest::save_writesTheWholeFile()
{
    FormFixture f;
    f.start();
    f.form->Text3->setText(" 学员 ");
    f.form->Text2->setText("p");
    f.form->studiedMinutesRecord[1] = "1.3.";
    f.form->Command11_Click();
    QCOMPARE(f.readState(), QString(" 学员 \r\np\r\n\r\n1.3.\r\n\r\n\r\n").toUtf8());
    QVERIFY(!f.form->lastSaveFailed());
}

void StartupTest::save_failure_keepsRunningAndTellsOnce()
{
    FormFixture f;
    f.start();
    QVERIFY(QDir().mkpath(f.statePath() + "/blocked")); // a folder stands where the file goes
    f.form->Command11_Click();
    f.form->Command11_Click();
    QVERIFY(f.form->lastSaveFailed());
    QVERIFY(f.form->studyStatus()->saveFailureVisible());
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty()); // no modal box, ever
    QVERIFY(f.form->statusBar()->currentMessage().contains("无法保存"));
    // Once the folder is gone the next save works and the warning goes away.
    QVERIFY(QDir(f.statePath()).removeRecursively());
    f.form->Command11_Click();
    QVERIFY(!f.form->lastSaveFailed());
    QVERIFY(!f.form->studyStatus()->saveFailureVisible());
}

void StartupTest::saveStudiedMinutes_fillsDefaults_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<bool>("emptyList");
    QTest::addColumn<QString>("expected"); // the current category's record afterwards
    QTest::newRow("category 1, minutes listed")
        << 1 << false << "1.3.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0.";
    QTest::newRow("category 1, empty List4") << 1 << true << "";
    QTest::newRow("past the last category") << 4 << false << "";
}

void StartupTest::saveStudiedMinutes_fillsDefaults()
{
    QFETCH(int, category);
    QFETCH(bool, emptyList);
    QFETCH(QString, expected);
    FormFixture f;
    f.start();
    f.form->categoryIndex = 1;
    f.form->Command12_Click();
    f.form->List4->setText(0, "3");
    if (emptyList)
        f.form->List4->clear();
    f.form->categoryIndex = static_cast<qint16>(category);
    f.form->saveStudiedMinutes();

    const std::optional<shell::LoadedState> saved = shell::readStateFile(f.statePath());
    QVERIFY(saved && saved->complete()); // the file is written in every case
    for (int c = 0; c < 4; ++c) {
        const QString record = saved->values.studiedRecords[c];
        QCOMPARE(record, c == category ? expected : study::defaultStudiedRecords()[c]);
    }
}

void StartupTest::resize_laysOutColumnAndCoversBrowser()
{
    FormFixture f;
    f.start();
    f.form->show();
    f.form->resize(1440, 900);
    QTRY_COMPARE(f.form->centralWidget()->width(), 1440);
    const QWidget* browser = f.form->WebBrowser1->widget();
    // 21600 twips inside: a browser of 18625 twips (1242 px held), the column 130 twips on.
    QCOMPARE(browser->width(), 1242);
    QCOMPARE(f.form->Frame1->x(), qRound((1242 * 15 + 130) / 15.0));
    QCOMPARE(f.form->Command16->x(), f.form->Frame1->x());
    QCOMPARE(f.form->Frame2->y(), 224); // vertical positions stay
    QCOMPARE(browser->height(), qRound((f.form->frameGeometry().height() * 15 - 600) / 15.0));
    QCOMPARE(f.form->WebBrowser2->widget()->geometry(), browser->geometry());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
