// The whole window on the real engine (offscreen) against the stand-in site on loopback: login,
// housekeeping, the catalogue, a study run across a category boundary, honest minutes and
// session recovery. Every wait is on a condition with a generous timeout; study ticks are fired
// by hand. (Studying with the window minimised is tst_webengine_browser's.)

#include "app/program.h"
#include "engine_fixture.h"
#include "event_wait.h"
#include "headless_engine.h"
#include "page/login_form.h"
#include "page/session_check.h"
#include "platform/files.h"
#include "records/state_file.h"
#include "study/lesson_navigator.h"
#include "study/record_watch.h"
#include "window/study_status.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::LoadOutcome;
using platform::ReadyState;

class FlowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void login_refusedThenAccepted_unlocksStudyAndSavesCredentials();
    void fullClear_dropsSessionCookieAndLocalStorage_loginComesBack();
    void study_crossesIntoNextCategory_thenExits();
    void pageClosingItsWindow_endsTheProgramOnce();
    void honest_sessionEndedUnderOpenPlayer_loggedInAgain_siteCountCoversCredit();
    void honest_hungPlayer_noMinuteAndOpenedAgain();
    void honest_videoFormatNotPlayable_pausesTheRun();
    void honest_videoEnded_playedAgain();
    void honest_playerMovesOnOrShowsAMessage_earnsNothing();
    void honest_maintenance_nothingSkippedNothingCredited_shown();
    void recovery_refusedCredentials_pauseTheRun();
    void sessionCheck_aliveOrEnded_aSiteInTroubleNoVerdict();
    void siteRecord_foundReadAndMatched_asTheSiteKeepsIt();

private:
    void startWindow();
    void login(const QString& password);
    // Runs a handler the way an event does: through the gate.
    void dispatch(const std::function<void()>& handler) { program->gate().dispatch(handler); }
    window::MainWindow& window() { return program->window(); }
    platform::BrowserControl& mainView() { return program->window().mainView(); }
    platform::BrowserControl& playerView() { return program->window().playerView(); }
    // Runs the discovery scan on a loaded page; whether it listed that many links (lessons
    // -1: any number).
    bool scanFinds(int categoryLinks, int lessons);
    // The studied minutes of the current category's first lesson.
    int studiedFirst() const
    {
        return program->records().lesson(program->catalogue().category(), 0)->studied;
    }
    bool playerOpened(int category, int lesson) const;
    // Logs in and starts study at `category` with that category's studied record saved.
    void startStudy(int category, const QByteArray& record);
    // One study tick, then the page loads it started (ticks are 20 s apart in a real run).
    void tickAndSettle();
    bool shows(platform::BrowserControl& view, const QString& path) const
    {
        return view.url().path() == path && view.readyState() == ReadyState::Complete;
    }
    bool showsLoginPage(platform::BrowserControl& view) const
    {
        return shows(view, "/permission/loginAction.do");
    }
    // What the site's answer to a fetch of the course frame's address says of the session.
    page::SessionCheck::Verdict sessionVerdict()
    {
        const QUrl frame = program->session().courseFrameAddress();
        const int ticket = mainView().fetch(frame);
        platform::FetchAnswer answer;
        const auto answered = [&] {
            answer = mainView().fetchAnswer(ticket);
            return answer.status != platform::FetchAnswer::Status::Pending;
        };
        if (!waitUntil(answered))
            return page::SessionCheck::Verdict::Unknown;
        // Answered once: the page keeps no finished fetch for a night's checks to pile up.
        const auto forgotten = mainView().fetchAnswer(ticket).status;
        [&] { QCOMPARE(forgotten, platform::FetchAnswer::Status::Unknown); }();
        return page::sessionVerdict(answer, frame, program->session().loginPage());
    }
    QString text(const QString& script)
    {
        return platform::webengine::WebEngineHost::runScriptForText(mainView(), script)
            .value_or("");
    }

    std::unique_ptr<SiteFixture> site;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<EnginePlatform> platform;
    std::unique_ptr<app::Program> program;
};

void FlowTest::initTestCase()
{
    site = std::make_unique<SiteFixture>();
}

void FlowTest::init()
{
    site->server.resetRecord();
    site->server.setSessionLifetimeMs(0);
    site->server.setEndedSessionKeepsPlayer(false);
    site->server.setPlayerMedia(site::PlayerMedia::Canvas);
    site->server.setPathDelay("/course/lessons", 0);
    site->server.setMaintenance(false);
    site->server.setVideoSeconds(0);
    site->server.setAutoNextAfter(0);
    site->server.setPlayerMessage({});
    site->server.setEndedSessionPage(site::EndedSessionPage::LoginForm);
    dir = std::make_unique<QTemporaryDir>();
    platform = std::make_unique<EnginePlatform>(dir->filePath("browser"));
}

void FlowTest::cleanup()
{
    program.reset();
    platform.reset();
    dir.reset();
}

void FlowTest::startWindow()
{
    app::AppConfig config;
    config.site = site->url();
    config.stateFilePath = dir->filePath("boot.txt");
    config.dataFolder = dir->path();
    platform->viewsWaitForStart = true; // as the program starts: the window, then the engine
    program = std::make_unique<app::Program>(*platform, config);
    program->start();
    window().resize(1440, 900);
    window().show();
    platform->host.start();
    WAIT_VERIFY(showsLoginPage(mainView()));
}

void FlowTest::login(const QString& password)
{
    window().userNameBox()->setText("demo");
    window().passwordBox()->setText(password);
    const qsizetype logins = site->events("login").size();
    window().loginButton()->click();
    WAIT_VERIFY(site->events("login").size() > logins);
    WAIT_VERIFY(mainView().readyState() == ReadyState::Complete);
}

bool FlowTest::scanFinds(int categoryLinks, int lessons)
{
    // The scan reloads a page that is still loading; polling it then would reload forever.
    if (mainView().readyState() != ReadyState::Complete)
        return false;
    dispatch([this] { program->catalogue().scanCoursePage(); });
    return program->catalogue().categoryLinkPositions().size() == categoryLinks &&
           (lessons < 0 || program->catalogue().lessonCount() == lessons);
}

// The site counts categories and lessons from 0, as the window's lists do.
bool FlowTest::playerOpened(int category, int lesson) const
{
    return std::ranges::any_of(site->events("player-open"), [&](const QJsonObject& e) {
        return e.value("category").toInt() == category && e.value("lesson").toInt() == lesson;
    });
}

void FlowTest::startStudy(int category, const QByteArray& record)
{
    QByteArray lines = "demo\r\ndemo123\r\n";
    for (int c = 0; c < 4; ++c)
        lines += (c == category ? record : QByteArray()) + "\r\n";
    QVERIFY(platform::writeFileAtomically(dir->filePath("boot.txt"), lines).written());
    startWindow();
    login("demo123");
    WAIT_VERIFY(scanFinds(4, -1));
    window().categoryList()->setCurrentRow(category);
    WAIT_VERIFY(!site->events("category").isEmpty());
    // Waits inside for each page the opening needs; held at the event gate first if a page's
    // handler is still running.
    window().studyButton()->click();
    WAIT_VERIFY(platform->timer->isEnabled());
    WAIT_VERIFY(playerOpened(category, 0) || !site->events("player-failed").isEmpty());
    // As in the 20 s before the first tick, the player has loaded and its video started.
    WAIT_VERIFY(playerView().lastLoad().outcome != LoadOutcome::Loading);
    if (playerView().lastLoad().outcome == LoadOutcome::Succeeded)
        WAIT_VERIFY(playerView().mediaErrors().video.currentTime > 0.2);
}

void FlowTest::tickAndSettle()
{
    site->advanceClock(std::chrono::seconds(20)); // the site's time moves as the program's does
    const double before = playerView().mediaErrors().video.currentTime;
    platform->timer->fire();
    WAIT_VERIFY(mainView().readyState() == ReadyState::Complete &&
                playerView().lastLoad().outcome != LoadOutcome::Loading);
    // As in the 20 s between two ticks, a video that plays moves on (from its start, if reloaded).
    WAIT_VERIFY([&] {
        const platform::VideoReport v = playerView().mediaErrors().video;
        return !v.present || v.paused || v.ended || v.errorCode != 0 ||
               v.currentTime > (v.currentTime < before ? 0 : before) + 0.3;
    }());
}

void FlowTest::login_refusedThenAccepted_unlocksStudyAndSavesCredentials()
{
    startWindow();
    login("wrong,pass");
    const QJsonObject refused = site->events("login").first();
    QVERIFY(!refused.value("ok").toBool());
    QCOMPARE(refused.value("fields").toObject().value("Password").toString(),
             QString("wrong,pass"));
    QVERIFY(window().loginButton()->isEnabled() && !window().studyButton()->isEnabled());
    QCOMPARE(records::readStateFile(dir->filePath("boot.txt"))->values.password,
             QString("wrong,pass"));

    login("demo123");
    WAIT_VERIFY(window().studyButton()->isEnabled());
    QVERIFY(!window().loginButton()->isEnabled());

    // The next start fills the boxes from the state file.
    program.reset();
    startWindow();
    QCOMPARE(window().userNameBox()->text(), QString("demo"));
    QCOMPARE(window().passwordBox()->text(), QString("demo123"));
}

void FlowTest::fullClear_dropsSessionCookieAndLocalStorage_loginComesBack()
{
    startWindow();
    login("demo123");
    const QString visits = "(document.getElementById('visits') || {}).textContent || ''";
    WAIT_VERIFY(text(visits).endsWith("1"));
    mainView().navigate(site->url("/course/main")); // a second visit counts 2
    WAIT_VERIFY(text(visits).endsWith("2"));
    QVERIFY(!window().loginButton()->isEnabled());

    window().clearCacheAction()->trigger();
    // The course page is reloaded without its cookie: the site's login page comes instead, and
    // "登录" is usable again.
    WAIT_VERIFY(window().loginButton()->isEnabled());
    QVERIFY(page::showsLoginPage(mainView()));
    // Logging in again starts the count afresh: local storage is gone too.
    login("demo123");
    WAIT_VERIFY(text(visits).endsWith("1"));
}

void FlowTest::study_crossesIntoNextCategory_thenExits()
{
    // Every lesson of "基础理论" needs one more minute; "学校教育" is untouched. The category is
    // picked by hand in the list, the course menu clicked and the lessons found by the scan.
    startStudy(2, "1.45.2.47.3.50.4.43.5.44.6.47.7.53.");
    // The player lies exactly over the main view.
    QCOMPARE(playerView().widget()->geometry(), mainView().widget()->geometry());
    // A slow site: the lesson list takes 4 s. The category switches only once it has come.
    site->server.setPathDelay("/course/lessons", 4000);
    // A lesson's player opened during a minute earns from the next whole one.
    for (int tick = 0; tick < 60 && program->catalogue().category() == 2; ++tick)
        tickAndSettle();
    QCOMPARE(program->catalogue().category(), 3);
    WAIT_VERIFY(playerOpened(3, 0));

    // The site saw every lesson's player in order, then the category switch.
    QList<int> order;
    for (const QJsonObject& e : site->events("player-open")) {
        const int lesson = e.value("category").toInt() * 100 + e.value("lesson").toInt();
        if (order.isEmpty() || order.last() != lesson)
            order.append(lesson);
    }
    QCOMPARE(order, (QList<int>{200, 201, 202, 203, 204, 205, 206, 300}));
    QCOMPARE(site->events("category").last().value("category").toInt(), 3);

    window().exitButton()->click();
    WAIT_VERIFY(!site->events("exit").isEmpty());
    QVERIFY(!platform->timer->isEnabled() && !playerView().widget()->isVisible());

    // A restart finds the credited minutes.
    program.reset();
    startWindow();
    QList<int> studied;
    for (int lesson = 0; lesson < 7; ++lesson)
        studied << program->records().lesson(2, lesson)->studied;
    QCOMPARE(studied, (QList<int>{46, 48, 51, 44, 45, 48, 54}));
}

void FlowTest::pageClosingItsWindow_endsTheProgramOnce()
{
    startWindow();
    QSignalSpy unloaded(&window(), &window::MainWindow::windowUnloaded);
    mainView().navigate(site->url("/test/close-self"));
    WAIT_VERIFY(unloaded.count() == 1);
    QVERIFY(!window().isVisible());
    emit mainView().windowClosedByPage(); // a second request changes nothing
    QCoreApplication::processEvents();
    QCOMPARE(unloaded.count(), 1);
}

void FlowTest::honest_sessionEndedUnderOpenPlayer_loggedInAgain_siteCountCoversCredit()
{
    // The site ends the session and leaves the player on its page, refusing its reports.
    site->server.setEndedSessionKeepsPlayer(true);
    startStudy(2, {});
    // A new player's first minute spans a fourth tick unless it played a minute in three.
    for (int i = 0; i < 4 && studiedFirst() == 0; ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), 1);
    site->server.endAllSessions();
    const qsizetype opened = site->events("player-open").size();
    for (int i = 0; i < 3 && !program->session().recovering() && site->events("login").size() < 2;
         ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), 1); // nothing for the lost time
    // Logged in again at the pace of the pages, with no tick after the verdict, and the same
    // lesson's player open again.
    WAIT_VERIFY(site->events("login").size() == 2 && !program->session().recovering() &&
                site->events("player-open").size() > opened);
    QCOMPARE(program->run().lessonIndex(), 0);
    for (int i = 0; i < 6 && studiedFirst() == 1; ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), 2);
    // What the site counted covers what was credited, within the minute a lesson runs over.
    const qsizetype beats = site->events("heartbeat").size();
    WAIT_VERIFY(site->events("heartbeat").size() > beats + 1);
    const std::int64_t counted = site->server.studyMilliseconds("demo")[{2, 0}];
    QVERIFY2(2 <= counted / 60000 + 1, qPrintable(QString("counted %1 ms").arg(counted)));
}

void FlowTest::honest_hungPlayer_noMinuteAndOpenedAgain()
{
    startStudy(3, {});
    tickAndSettle();
    tickAndSettle(); // the next tick is the one that credits
    // The player is loaded again, and this time its script runs on and on: it answers nothing.
    site->server.hangNextPlayers(1);
    playerView().refresh();
    WAIT_VERIFY(playerView().walk({{}, "input", {}, {}, -1}).status ==
                platform::PageStatus::NoAnswer);
    const qsizetype opened = site->events("player-open").size();
    tickAndSettle();
    QCOMPARE(studiedFirst(), 0);
    // Opened again (its category too, if the renderer took the main view's page): it counts.
    for (int i = 0; i < 12 && studiedFirst() == 0; ++i)
        tickAndSettle();
    QVERIFY(site->events("player-open").size() > opened && studiedFirst() == 1);
}

void FlowTest::honest_videoFormatNotPlayable_pausesTheRun()
{
    // The lesson's video as the program sees it: it plays, its time moving on.
    startStudy(1, {});
    const auto video = [this] { return playerView().mediaErrors().video; };
    const double started = video().currentTime;
    WAIT_VERIFY(video().currentTime > started + 1 && !video().paused && !video().ended);
    // A source that answers 404 is the lesson's failure, not the engine's: no pause.
    site->server.setPlayerMedia(site::PlayerMedia::Missing);
    playerView().refresh();
    WAIT_VERIFY(video().errorCode != 0);
    QVERIFY(!video().typeUnplayable);
    tickAndSettle();
    QVERIFY(platform->timer->isEnabled());
    site->server.setPlayerMedia(site::PlayerMedia::Unsupported);
    playerView().refresh();
    WAIT_VERIFY(video().errorCode == 4 && video().typeUnplayable);
    WAIT_VERIFY(std::ranges::any_of(site->events("heartbeat"), [](const QJsonObject& beat) {
        return beat.value("videoError").toInt() == 4;
    }));
    for (int i = 0; i < 3 && platform->timer->isEnabled(); ++i)
        tickAndSettle();
    QVERIFY(!platform->timer->isEnabled());
    QVERIFY(window().statusBar()->currentMessage().contains("无法播放") && studiedFirst() == 0);
}

void FlowTest::honest_videoEnded_playedAgain()
{
    site->server.setVideoSeconds(2);
    startStudy(1, {});
    const auto video = [this] { return playerView().mediaErrors().video; };
    WAIT_VERIFY(video().ended);
    tickAndSettle(); // the tick finds it ended and presses replay
    WAIT_VERIFY(!video().ended && video().currentTime > 0.5);
}

void FlowTest::honest_playerMovesOnOrShowsAMessage_earnsNothing()
{
    // The player goes on to the next lesson by itself once the lesson's opening is over (an
    // entry page forwarding before then is part of it): that time is not the clicked lesson's,
    // and the clicked lesson is opened again.
    site->server.setAutoNextAfter(int(study::LessonNavigator::kOpeningFor.count()) + 1);
    startStudy(3, {});
    QVERIFY(waitUntil([this] { return playerOpened(3, 1); }, 90'000));
    for (int i = 0; i < 4; ++i)
        tickAndSettle();
    const auto opened = [this](int lesson) {
        return std::ranges::count_if(site->events("player-open"), [&](const QJsonObject& e) {
            return e.value("category").toInt() == 3 && e.value("lesson").toInt() == lesson;
        });
    };
    QVERIFY(opened(0) >= 2 && studiedFirst() == 0);
    QCOMPARE(program->records().lesson(3, 1)->studied, 0);
    // A message page in place of the player: no video, no minute, and the page's words shown.
    site->server.setAutoNextAfter(0);
    site->server.setPlayerMessage("今日学时已满");
    // The lesson opened again moves on again (as the site's page would, at once); the run opens
    // it once more, and the site answers with its message page.
    WAIT_VERIFY(playerOpened(3, 0));
    playerView().navigate(site->url("/player/play?cat=3&lesson=1"));
    for (int i = 0; i < 6 && site->events("player-message").isEmpty(); ++i)
        tickAndSettle();
    WAIT_VERIFY(!site->events("player-message").isEmpty() &&
                playerView().lastLoad().outcome == LoadOutcome::Succeeded);
    const int before = studiedFirst();
    for (int i = 0; i < 6 && !window().studyStatus()->notice().contains("今日学时已满"); ++i)
        tickAndSettle();
    QCOMPARE(window().studyStatus()->notice(), "第 1 课的页面上没有找到视频：今日学时已满");
    for (int i = 0; i < 3; ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), before);
}

void FlowTest::honest_maintenance_nothingSkippedNothingCredited_shown()
{
    startStudy(1, {});
    for (int i = 0; i < 4 && studiedFirst() == 0; ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), 1);
    site->server.setMaintenance(true);
    const int before = studiedFirst();
    for (int i = 0; i < 12; ++i)
        tickAndSettle();
    QCOMPARE(studiedFirst(), before);
    QCOMPARE(program->run().lessonIndex(), 0); // nothing skipped
    QVERIFY(platform->timer->isEnabled());
    QVERIFY(window().studyStatus()->stallText().contains("分钟未能计时"));
    // The site is back: the same lesson goes on earning.
    site->server.setMaintenance(false);
    for (int i = 0; i < 12 && studiedFirst() == before; ++i)
        tickAndSettle();
    QVERIFY(studiedFirst() == before + 1 && program->run().lessonIndex() == 0);
}

void FlowTest::recovery_refusedCredentials_pauseTheRun()
{
    startStudy(1, {});
    window().passwordBox()->setText("changed-on-the-site"); // what the program would submit now
    site->server.setSessionLifetimeMs(1);
    WAIT_VERIFY(showsLoginPage(playerView()));
    // The changed password goes as soon as the login page comes; the site refuses it with a new
    // login page, which a tick then judges.
    for (int i = 0; i < 5 && platform->timer->isEnabled(); ++i)
        tickAndSettle();
    QVERIFY(!platform->timer->isEnabled() && window().loginButton()->isEnabled());
    QVERIFY(window().statusBar()->currentMessage().contains("拒绝"));
    QCOMPARE(site->events("login").size(), 2); // no retries against a refusing site
}

void FlowTest::sessionCheck_aliveOrEnded_aSiteInTroubleNoVerdict()
{
    using Verdict = page::SessionCheck::Verdict;
    startWindow();
    login("demo123");
    WAIT_VERIFY(window().studyButton()->isEnabled());
    QCOMPARE(program->session().courseFrameAddress(), site->url("/course/frame/course"));
    QCOMPARE(sessionVerdict(), Verdict::Alive); // its links read in the page's own charset
    // Maintenance: no verdict on the session, and the site check finds the site in trouble.
    site->server.setMaintenance(true);
    QCOMPARE(sessionVerdict(), Verdict::NoAnswer);
    platform->probe.check(program->session().siteRoot());
    WAIT_VERIFY(platform->probe.lastAnswer() == platform::SiteProbe::Answer::Troubled);
    site->server.setMaintenance(false);
    // The session ended: answered with "会话已超时" (200) or with the login page.
    site->server.setEndedSessionPage(site::EndedSessionPage::TimeoutPage);
    site->server.endAllSessions();
    QCOMPARE(sessionVerdict(), Verdict::Ended);
    site->server.setEndedSessionPage(site::EndedSessionPage::LoginForm);
    QCOMPARE(sessionVerdict(), Verdict::Ended);
}

void FlowTest::siteRecord_foundReadAndMatched_asTheSiteKeepsIt()
{
    // The site's players save every second; its record, in GBK, writes titles with full-width
    // digits and spaces, the time as "M分S秒", linked from the course page's header frame.
    site->server.setProgressSeconds(1);
    startStudy(2, {});
    WAIT_VERIFY((site->server.recordMilliseconds("demo")[{2, 0}] >= 3000));
    tickAndSettle(); // the player's page goes on; its record grows
    study::RecordWatch watch(program->views(), program->catalogue(), program->siteFigures(),
                             platform->clock());
    QCOMPARE(watch.place(), records::RecordPlace::Found); // found at the run's start
    QVERIFY(watch.ask());
    std::optional<study::SiteReading> reading;
    WAIT_VERIFY((reading = watch.poll()).has_value());
    QVERIFY2(reading->ok, qPrintable(reading->failure));
    // What the page shows of the lesson, to the second; the others of its category have none.
    const int seconds = reading->figures.value({2, 0});
    const qint64 kept = site->server.recordMilliseconds("demo")[{2, 0}] / 1000;
    QVERIFY2(seconds >= 3 && seconds <= kept, qPrintable(QString("%1 %2").arg(seconds).arg(kept)));
    QCOMPARE(reading->figures.value({2, 6}, -1), 0);
    QCOMPARE(program->siteFigures().lesson(2, 0)->seconds, seconds);
}

int main(int argc, char* argv[])
{
    prepareHeadlessEngine();
    QApplication app(argc, argv);
    // The window closing by a page's request must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    FlowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flow.moc"
