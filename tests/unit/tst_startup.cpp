// Start-up, the site address, a start after a restart (--resume) and the save, on the fake
// platform.

#include "app/first_drawing.h"
#include "app/site_address.h"
#include "app/translations.h"
#include "fake_files.h"
#include "program_fixture.h"
#include "records/study_log.h"
#include "study/progress.h"
#include "study/stall_watch.h"
#include "window/study_status.h"
#include "window/tray_icon.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QWindow>

using namespace lumora;
using namespace lumora::testing;

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void start_restoresTheStateFile_studyLocked_data();
    void start_restoresTheStateFile_studyLocked();
    void siteAddress_givenSavedBuiltInOrAskedUntilUsable();
    void start_siteNotAnswering_toldAndRetriedUntilTheLoginPage();
    void start_windowAtOnce_engineOnceItIsDrawn();
    void resume_logsInAndGoesOn_registeredOnlyWhileRunning();
    void save_failureToldOnce_refusalMovesToTheFallback();
    void translations_followTheSystemLanguage_data();
    void translations_followTheSystemLanguage();
};

void StartupTest::start_restoresTheStateFile_studyLocked_data()
{
    QTest::addColumn<QByteArray>("bytes");   // null: no file
    QTest::addColumn<QStringList>("boxes");  // user name, password, the second category's record
    QTest::addColumn<QList<int>>("studied"); // the first category's first three lessons
    const QByteArray head = "demo\r\nde,mo123\r\n1.5.2.0.\r\n1.4.";
    const QStringList restored = {"demo", "de,mo123", "1.4."};
    QTest::newRow("no file") << QByteArray() << QStringList{"", "", ""} << QList<int>{0, 0, 0};
    QTest::newRow("two lines") << QByteArray("demo\r\nde,mo123")
                               << restored.mid(0, 2) + QStringList{""} << QList<int>{0, 0, 0};
    QTest::newRow("short file") << head + "\r\n" << restored << QList<int>{5, 0, 0};
    QTest::newRow("whole file") << head + "\r\n\r\n\r\n" << restored << QList<int>{5, 0, 0};
    QTest::newRow("damaged record") << QByteArray("demo\r\n\r\n1.x.2.7\r\n\r\n\r\n\r\n")
                                    << QStringList{"demo", "", ""} << QList<int>{0, 7, 0};
}

void StartupTest::start_restoresTheStateFile_studyLocked()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, studied);
    ProgramFixture f;
    if (!bytes.isNull())
        f.writeState(bytes);
    f.start();
    window::MainWindow& w = f.window();
    QCOMPARE(
        f.main().navigations,
        QList<QUrl>{QUrl("http://training.example:8080/permission/loginAction.do?method=init")});
    QVERIFY(f.main().silent.value_or(false) && f.player().silent.value_or(false));
    QCOMPARE(f.platform.fakeData.cacheClears, 1);
    QVERIFY(!f.timer().isEnabled() && f.timer().interval() == 20000); // the study tick, stopped
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty());
    QTEST(
        (QStringList{w.userNameBox()->text(), w.passwordBox()->text(), f.records().recordText(1)}),
        "boxes");
    QCOMPARE((QList<int>{f.studied(0, 0), f.studied(0, 1), f.studied(0, 2)}), studied);
    QCOMPARE(f.readState(), bytes); // start-up writes nothing
    QVERIFY(!w.studyButton()->isEnabled() && !w.playerView().widget()->isVisibleTo(&w));
    QCOMPARE(w.passwordBox()->displayText(), QString(w.passwordBox()->text().size(), '*'));
    QCOMPARE(f.entries(w.categoryList()), records::categoryNames());
    QCOMPARE(w.categoryList()->currentRow(), -1); // none chosen yet
}

void StartupTest::siteAddress_givenSavedBuiltInOrAskedUntilUsable()
{
    ProgramFixture f;
    FakeDialogs& dialogs = f.platform.fakeDialogs;
    app::SiteAddressSetting setting(f.dir.path());
    const QUrl given("https://given.example/x"), builtIn("https://built.example");
    // --site wins for its run and is not kept; a build for one site asks nothing.
    QCOMPARE(app::siteOfThisRun(given, setting, "", dialogs), given);
    QCOMPARE(app::siteOfThisRun({}, setting, builtIn.toString(), dialogs), builtIn);
    QVERIFY(dialogs.asked.isEmpty() && setting.saved().isEmpty());
    // A first start without one asks until the address can be used (http or https with a host;
    // a bare host means http), or the learner cancels.
    QCOMPARE(app::siteOfThisRun({}, setting, "", dialogs), QUrl());
    dialogs.answers = {"ftp://site.example", "http://", " site.example:8080 "};
    QCOMPARE(app::siteOfThisRun({}, setting, "", dialogs), QUrl("http://site.example:8080"));
    QCOMPARE(dialogs.asked, (QStringList{"", "", "ftp://site.example", "http://"}));
    QCOMPARE(dialogs.shown.size(), 2); // why each was refused
    // Kept for the next starts, ahead of the built-in one; "网站地址…" shows it and changes it.
    app::SiteAddressSetting next(f.dir.path());
    QCOMPARE(app::siteOfThisRun({}, next, builtIn.toString(), dialogs),
             QUrl("http://site.example:8080"));
    // "网站地址…" shows it and changes it: saved, and its login page loads at once.
    dialogs.answers = {"https://new.example"};
    f.start();
    f.main().pages[QUrl("https://new.example/permission/loginAction.do?method=init")] = {
        makeLoginPage()};
    f.window().siteAddressAction()->trigger();
    QCOMPARE(dialogs.asked.last(), "http://training.example:8080/");
    QVERIFY(next.saved() == QUrl("https://new.example") && dialogs.texts.last().contains("已保存"));
    QVERIFY(f.main().navigations.last() == f.session().loginPage() &&
            f.session().loginPage().host() == "new.example");
    // The same address again, or a cancel: nothing is saved, said or loaded.
    const qsizetype said = dialogs.texts.size(), loads = f.main().navigations.size();
    dialogs.answers = {"https://new.example"};
    f.window().siteAddressAction()->trigger();
    f.window().siteAddressAction()->trigger();
    QVERIFY(dialogs.texts.size() == said && f.main().navigations.size() == loads);
    // A file edited by hand holds what --site would refuse: not used.
    QSettings(f.dir.filePath("lumora.ini"), QSettings::IniFormat).setValue("site", "file:///x");
    QVERIFY(next.saved().isEmpty());
    // A folder that cannot hold the settings: the box says why, and the address serves all the
    // same; during a run the address stays.
    QVERIFY(next.save(QUrl("https://new.example")).isEmpty());
    ProgramFixture g;
    QVERIFY(QDir(g.dir.path()).removeRecursively() &&
            QFile(g.dir.path()).open(QIODevice::WriteOnly));
    g.platform.fakeDialogs.answers = {"https://x.example"};
    g.start();
    g.window().siteAddressAction()->trigger();
    QVERIFY(g.platform.fakeDialogs.texts.last().startsWith("未能保存：没有写入权限"));
    QCOMPARE(g.main().navigations.last().host(), "x.example");
    g.window().setRunActive(true);
    QVERIFY(!g.window().siteAddressAction()->isEnabled());
    QFile::remove(g.dir.path());
}

void StartupTest::start_siteNotAnswering_toldAndRetriedUntilTheLoginPage()
{
    ProgramFixture f;
    const QUrl login = f.session().loginPage();
    const auto failing = [&](platform::NoAnswer why) {
        f.main().pages[login] = {std::make_shared<FakeDocument>(),
                                 {platform::LoadOutcome::NetworkError, 0, "x", {}, 0, why}};
    };
    failing(platform::NoAnswer::Refused);
    f.start();
    const auto told = [&f] { return f.window().noticePanel()->trouble(); };
    QVERIFY(told().contains("training.example:8080") && told().contains("网站拒绝连接") &&
            told().contains("请检查网络或网站地址"));
    // Every 30 s, saying each time why, until the login page shows; then nothing more.
    FakeTimer& retry = *f.platform.timers.last();
    QVERIFY(retry.isEnabled() && retry.interval() == 30000);
    const std::pair<platform::NoAnswer, const char*> reasons[] = {
        {platform::NoAnswer::NoSuchHost, "找不到这个网站"},
        {platform::NoAnswer::TimedOut, "长时间没有响应"},
        {platform::NoAnswer::Certificate, "安全证书"}};
    for (const auto& [why, words] : reasons) {
        failing(why);
        retry.fire();
        f.platform.runEventLoop();
        QVERIFY2(told().contains(words), qPrintable(told()));
    }
    f.main().pages[login] = {makeLoginPage()};
    retry.fire();
    f.platform.runEventLoop();
    QVERIFY(told().isEmpty() && !retry.isEnabled() && f.main().navigations.size() == 5);
    failing(platform::NoAnswer::Refused); // later pages failing are not the start's to tell
    f.main().navigate(login);
    f.platform.runEventLoop();
    QVERIFY(told().isEmpty() && !retry.isEnabled());
}

void StartupTest::start_windowAtOnce_engineOnceItIsDrawn()
{
    // The window shows at once; the engine's start (some 160 ms of the thread) waits until it
    // has been drawn, or at the latest for a window that is not drawn (shown minimised).
    ProgramFixture f;
    window::MainWindow& w = f.window();
    w.showOnFirstPage(window::FirstShow::kAtOnce);
    QVERIFY(w.isVisible());
    QList<bool> startsDrawn;
    const app::AfterFirstDrawing engineStart(
        w, [&] { startsDrawn.append(w.windowHandle()->isExposed()); }, 60000);
    QVERIFY(startsDrawn.isEmpty());
    QTRY_COMPARE(startsDrawn, QList<bool>{true});
    QWidget minimised;
    const app::AfterFirstDrawing late(
        minimised, [&] { startsDrawn.append(false); }, 50);
    QTRY_COMPARE(startsDrawn, QList<bool>({true, false}));
}

void StartupTest::resume_logsInAndGoesOn_registeredOnlyWhileRunning()
{
    ProgramFixture f(true);
    // The first category studied through: the run goes on at the second.
    const QString done = recordText(allDone(0));
    f.writeState("demo\r\ndemo123\r\n" + done.toUtf8() + "\r\n\r\n\r\n\r\n");
    // The network is not up yet: the login page is asked for again a while later.
    f.main().pages[f.session().loginPage()] = {std::make_shared<FakeDocument>(),
                                               {platform::LoadOutcome::NetworkError, 0, {}, {}}};
    f.start();
    f.main().pages[f.session().loginPage()] = {makeLoginPage()};
    f.platform.timers.last()->fire();
    QCOMPARE(f.main().navigations.size(), 2);
    f.platform.runEventLoop();
    QVERIFY(f.main().clickLog == QStringList{"login-submit"} && !f.run().running());
    CoursePage site = makeCoursePage();
    f.showCoursePage(site);
    QCOMPARE(f.main().clickLog.mid(1), (QStringList{"category-1", "course-menu", "lesson-1-1"}));
    QCOMPARE(f.platform.fakeRestart.held, QStringList{"--resume"});
    QCOMPARE(app::argumentsToResume({"--resume", "-x"}), (QStringList{"-x", "--resume"}));
    f.showCoursePage(site); // once only
    const QString record = platform::readWholeFile(records::StudyLog::pathIn(f.dir.path())).value();
    QCOMPARE(record.count("程序重新启动，继续被中断的学习：团体训练"), 1);
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty()); // the start notice waits for nobody
    // Withdrawn when the run ends; kept when the program is ended in the middle of one.
    f.dispatch([&f] { f.run().exitCourseware(); });
    QVERIFY(!f.platform.fakeRestart.held);
    f.dispatch([&f] { f.run().startStudy(); });
    f.program->quit();
    QVERIFY(f.platform.fakeRestart.held);

    // Everything studied meanwhile: the run comes back only to end.
    ProgramFixture all(true);
    QByteArray state = "demo\r\ndemo123\r\n";
    for (int category = 0; category < 4; ++category)
        state += recordText(allDone(category)).toUtf8() + "\r\n";
    all.writeState(state);
    all.start();
    all.platform.runEventLoop();
    all.showCoursePage(site);
    const QString told =
        platform::readWholeFile(records::StudyLog::pathIn(all.dir.path())).value_or("");
    QVERIFY2(told.contains("程序重新启动，继续被中断的学习\n"), qPrintable(told));
    QVERIFY(!all.run().running() && !all.main().clickLog.contains("lesson-1-1"));
}

void StartupTest::save_failureToldOnce_refusalMovesToTheFallback()
{
    QTemporaryDir dir;
    app::AppConfig config;
    config.stateFilePath = dir.filePath("c/boot.txt");
    config.stateFileFallback = dir.filePath("local/boot.txt");
    FakePlatform platform;
    app::Program program(platform, config);
    program.start();
    window::MainWindow& w = program.window();
    const auto save = [&] {
        w.statusBar()->clearMessage();
        program.state().save();
        return w.statusBar()->currentMessage();
    };
    QList<records::RunEvent> events;
    QObject::connect(&program.run(), &study::StudyRun::runEvent,
                     [&events](const records::RunEvent& event) { events.append(event); });
    // A folder where the file goes is no refusal: the save fails, once told with its reason (in
    // the status line, the notice panel, the run record and the tray), and nothing moves.
    QVERIFY(QDir().mkpath(config.stateFilePath + "/blocked"));
    QVERIFY(save().contains("无法保存学习进度（无法写入文件）") && save().isEmpty());
    QVERIFY(program.state().lastSaveFailed() && w.studyStatus()->saveFailureVisible());
    QVERIFY(w.noticePanel()->trouble().startsWith("学习进度未能保存（无法写入文件）"));
    QCOMPARE(events.size(), 1);
    QCOMPARE(records::describeRunEvent(events[0]),
             "无法保存学习进度：无法写入文件：" + QDir::toNativeSeparators(config.stateFilePath));
    QCOMPARE(window::trayNotificationFor(events[0])->text, events[0].detail);
    QVERIFY(platform.fakeDialogs.shown.isEmpty() && !QFile::exists(config.stateFileFallback));
    // Once it is gone the whole file is written and the warning goes away.
    QVERIFY(QDir(dir.filePath("c")).removeRecursively() && save().isEmpty());
    QCOMPARE(platform::readWholeFile(config.stateFilePath), "\r\n\r\n\r\n\r\n\r\n\r\n");
    QVERIFY(!program.state().lastSaveFailed() && !w.studyStatus()->saveFailureVisible());
    QVERIFY(w.noticePanel()->trouble().isEmpty());
    // A place that takes no file (a file stands for its folder): saves move, and say so once.
    QVERIFY(QFile::remove(config.stateFilePath) && QDir().rmdir(dir.filePath("c")));
    QVERIFY(QFile(dir.filePath("c")).open(QIODevice::WriteOnly));
    QCOMPARE(save(), "学习进度改存于：" + QDir::toNativeSeparators(config.stateFileFallback));
    QVERIFY(!program.state().lastSaveFailed() && w.noticePanel()->trouble().isEmpty());
    QVERIFY(save().isEmpty() && !program.state().lastSaveFailed() &&
            QFile::exists(config.stateFileFallback));
    // Held by another program at start: marked as not saving while it cannot be read.
    FakeFiles files;
    files.files[config.stateFilePath].readAs = platform::ReadStatus::Locked;
    FakePlatform heldPlatform;
    heldPlatform.fileSystem = &files;
    app::Program held(heldPlatform, config);
    held.start();
    QVERIFY(held.state().savesHeld() && held.window().studyStatus()->saveFailureVisible());
    // Let go: read again at the retry's tick.
    files.files[config.stateFilePath].readAs = platform::ReadStatus::Read;
    emit heldPlatform.timers[2]->tick();
    QVERIFY(!held.state().savesHeld() && !held.window().studyStatus()->saveFailureVisible());
}

void StartupTest::translations_followTheSystemLanguage_data()
{
    QTest::addColumn<QLocale>("locale");
    // Qt's OK button, the window's texts, texts built later
    QTest::addColumn<QStringList>("texts");
    const QStringList chinese = {
        "确定",         "连续学习",         "注意",     "该网站登录需要验证码",
        "1 小时 15 分", "无法连接培训网站", "未在学习", "网站响应很慢"};
    const QStringList english = {"OK",           "Study continuously",
                                 "Notice",       "This site asks for a verification code",
                                 "1 h 15 min",   "cannot reach the training site",
                                 "Not studying", "The site is answering very slowly"};
    QTest::newRow("Chinese") << QLocale(QLocale::Chinese, QLocale::China) << chinese;
    QTest::newRow("Chinese, Taiwan") << QLocale(QLocale::Chinese, QLocale::Taiwan) << chinese;
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << english;
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << english;
}

void StartupTest::translations_followTheSystemLanguage()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, texts);
    app::Translations translations;
    translations.use(QLocale(QLocale::German)); // replaced by the next call
    translations.use(locale);
    const QDialogButtonBox buttons(QDialogButtonBox::Ok);
    QCOMPARE(buttons.button(QDialogButtonBox::Ok)->text(), texts[0]);
    ProgramFixture f;
    QCOMPARE(f.program->window().studyButton()->text(), texts[1]);
    QCOMPARE(f.program->window().noticePanel()->title(), texts[2]);
    QVERIFY(session::SiteSession::captchaText().startsWith(texts[3]));
    QCOMPARE(records::formatDuration(75), texts[4]);
    // Why minutes went uncounted: in the learner's words, and in Chinese for the run record.
    const QString cause = study::stallCauseText(study::StallCause::SiteDown);
    QVERIFY(study::shownText(cause) == texts[5] && cause == "无法连接培训网站");
    QCOMPARE(study::whereText({}), texts[6]);
    // A stall's cause as the tray shows it, from a run: the site too slow to tell the session.
    RunFixture run;
    run.pressStudy();
    run.main().fetchReply->status = platform::FetchAnswer::Status::Pending;
    for (int minute = 0; minute < 3; ++minute)
        run.minute();
    QVERIFY(run.events.last().shownDetail == texts[7] &&
            run.events.last().detail == "网站响应很慢");
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
