// Tests of the stand-in training site over loopback HTTP: in-process with a clock the test
// moves, and the lumora-site program.

#include "site_client.h"
#include "site_server.h"
#include "site_structure.h"

#include <QProcess>
#include <QTest>

#include <chrono>
#include <future>
#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;
using namespace lumora::site;
using namespace lumora::site::test;

class SiteTest : public QObject
{
    Q_OBJECT

private slots:
    void login_acceptedOrRefusedWithFormsInPageCharset()
    {
        Site site({.extraUsers = {{"张三", "密码"}}});
        // Forms come in the page charset (GBK); the record keeps what was typed.
        QStringEncoder gbk("GBK");
        for (const auto& [user, password, code, reason] :
             {std::tuple{u"张三"_s, u"密码"_s, "OK", ""},
              {u"demo"_s, u"demo12"_s, "ok", "bad-credentials"},
              {u"demo"_s, u"demo123"_s, "ko", "bad-code"},
              {QString(), u"x"_s, "ok", "missing-user"}}) {
            QCOMPARE(site.login(gbk(user), gbk(password), code), !*reason);
            const QJsonObject event = site.events("login").last();
            QVERIFY(event["user"] == user && event["fields"]["Password"] == password);
            QCOMPARE(event["reason"].toString(), QLatin1StringView(reason));
            // Only a session opens the course page; without one it answers with the login page.
            QCOMPARE(site.get("/course/main").text().contains(u"退出课件"_s), !*reason);
        }
    }

    void pages_holdWhatTheProgramLooksForWhereTheHeaderSays()
    {
        using namespace structure;
        Site site;
        site.login();
        const char* course = "/course/frame/course";
        const QString frame = site.get(course).text();
        const auto frames = elements(site.get("/course/main").text(), "iframe");
        QVERIFY(frames.value(kCourseFrame).first.contains(course));
        QVERIFY(elements(frame, "iframe").value(kLessonFrame).first.contains("lessonFrame"));
        // The functions that links call are defined before any link (in the head).
        QVERIFY(frame.section("<a ", 0, 0).contains("function showLessons("));

        // Category K's link, and no other, is a "…学习课程" link; it selects K.
        const auto links = elements(frame, "a");
        for (int i = 0; i < links.size(); ++i) {
            const auto k = std::ranges::find(kCategoryLinks, i) - kCategoryLinks.begin();
            QCOMPARE(links[i].second.contains(u"学习课程"_s), k < 4);
            QVERIFY(k == 4 || links[i].first.contains(u"return selectCategory(%1)"_s.arg(k)));
        }
        const auto items = elements(frame, "li");
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items[i].second.contains(u"课程学习"_s), i == kCourseMenuItem);
        QVERIFY(items.value(kCourseMenuItem).first.contains("onclick=\"showLessons()\""));

        // The selected category's list: lesson M's link opens its player; no other link does.
        for (const auto& [category, lessons] : {std::pair{0, 21}, {1, 9}, {2, 7}, {3, 8}}) {
            site.send(true, u"/course/select?cat=%1"_s.arg(category));
            const QString html = site.get("/course/lessons").text();
            QVERIFY(html.section("<a ", 0, 0).contains("function openMax("));
            const auto list = elements(html, "a");
            int m = 0;
            for (int i = 0; i < list.size(); ++i)
                if (list[i].first.contains("openMax("))
                    QVERIFY(i == lessonLink(m) && list[i].first.contains(u"lesson=%1'"_s.arg(m++)));
            QCOMPARE(m, lessons);
        }
    }

    void heartbeats_creditTimeSinceTheLastAndRecordWhatThePlayerSees()
    {
        Site site;
        site.login();
        const QString first = site.play(2, 1).player();
        QCOMPARE(site.server->lastCountedHeartbeatMs("demo", 2, 1), -1);

        // Each counted heartbeat credits the time since the previous one (or the page) and is
        // recorded with what the player saw; what it left out or mistyped is null.
        const QByteArray seen =
            R"({"visibility":"visible","focus":false,"videoPlaying":true,"videoTime":3.5,"videoError":4})";
        site.now += 4000;
        QCOMPARE(site.beat(2, 1, first, seen.toStdString()).json("creditedMs"), 4000);
        site.now += 6500;
        QCOMPARE(site.beat(2, 1, first, R"({"visibility":7})").json("seconds"), 10);
        QCOMPARE(site.server->lastCountedHeartbeatMs("demo", 2, 1), site.now.load());
        QCOMPARE(site.server->studyMilliseconds("demo"), (LessonTotals{{{2, 1}, 10500}}));
        const QList<QJsonObject> beats = site.events("heartbeat");
        for (const QString& key : QJsonDocument::fromJson(seen).object().keys())
            QVERIFY(beats[0][key] == QJsonDocument::fromJson(seen)[key] && beats[1][key].isNull());
        QCOMPARE(beats[0]["session"], true);

        // Reports that are not of an open player of this lesson credit nothing.
        QCOMPARE(site.beat(2, 2, first).status, 404);

        // The exit button ends every open player of the user and names the latest.
        const QString second = site.play(0, 20).player();
        const Reply exit = site.send(true, "/course/exit");
        QVERIFY(exit.json("endedPlayers") == 2 && exit.json("lesson") == 20);
        QVERIFY(site.beat(0, 20, second).json("ended").toBool());
        QCOMPARE(site.events("heartbeat").size(), 2);
    }

    void courseFrame_answersPerSessionAndCountsNoStudy()
    {
        Site site;
        site.login();
        const QString player = site.play(1, 2).player();
        site.now += 3000;
        QCOMPARE(site.beat(1, 2, player).status, 200);
        const auto before = site.server->studyMilliseconds("demo");
        // Fetched again and again, as the program asks whether its session is alive: the frame
        // with a session, the login page without one; each fetch is recorded, nothing else.
        for (const auto& [session, logout] : {std::pair{true, false}, {false, true}}) {
            if (logout)
                site.get("/permission/loginAction.do?method=logout");
            for (int i = 0; i < 3; ++i) {
                site.now += 20000;
                const QString html = site.get("/course/frame/course").text();
                QCOMPARE(html.contains(u"学习课程"_s), session);
                QCOMPARE(html.contains("name=\"userName\"") && html.contains("name=\"Password\""),
                         !session);
                QCOMPARE(site.events("course-frame").last()["session"].toBool(), session);
            }
        }
        QCOMPARE(site.events("course-frame").size(), 6);
        for (const char* kind : {"course-menu", "category"})
            QVERIFY(site.events(kind).isEmpty());
        QCOMPARE(site.server->studyMilliseconds("demo"), before);
    }

    void sessionLifetime_endsSessionsAfterLogin()
    {
        Site site({.sessionLifetimeMs = 5000});
        site.login();
        const QString player = site.play(1, 0).player();
        site.now += 4999;
        QCOMPARE(site.beat(1, 0, player).status, 200);
        site.now += 1;
        // Pages answer with the login page, JSON with 401; the heartbeat is kept, uncredited.
        QVERIFY(site.get("/course/main").text().contains("name=\"userName\""));
        QCOMPARE(site.send(true, "/course/select?cat=1").status, 401);
        QCOMPARE(site.beat(1, 0, player).status, 401);
        const QJsonObject last = site.events("heartbeat").last();
        QVERIFY(last["session"] == false && last["creditedMs"] == 0 && last["user"] == "demo"_L1 &&
                site.events("session-expired").size() == 1);
    }

    void endedSessions_refuseReportsAndTellThePlayerWhetherToStay_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("login") << false;
        QTest::newRow("stay") << true;
    }
    void endedSessions_refuseReportsAndTellThePlayerWhetherToStay()
    {
        QFETCH(bool, keep);
        Site site;
        site.login();
        const QString player = site.play(0, 3).player();
        site.server->setEndedSessionKeepsPlayer(keep);
        site.now += 2000;
        QCOMPARE(site.beat(0, 3, player).status, 200);
        const LessonTotals counted = site.server->studyMilliseconds("demo");

        QCOMPARE(site.server->endAllSessions(), 1);
        QCOMPARE(site.events("sessions-ended").last()["sessions"], 1);
        // Every report after that is refused, says whether the page stays, and credits nothing.
        for (int i = 0; i < 2; ++i) {
            site.now += 5000;
            const Reply refused = site.beat(0, 3, player);
            QVERIFY(refused.status == 401 && refused.json("keepPage") == keep);
            QCOMPARE(site.events("heartbeat").last()["session"], false);
        }
        QCOMPARE(site.server->studyMilliseconds("demo"), counted);
        QVERIFY(site.get("/course/main").text().contains("name=\"userName\""));
    }

    void faults_playerLoadsFailOrHang_outagesRefuseConnections()
    {
        Site site;
        site.login();
        const auto served = [&](int loads) {
            QString pattern; // x: failed, h: served to hang, .: served to play
            for (int i = 0; i < loads; ++i) {
                const Reply r = site.play(0, i);
                pattern += r.status == 500 ? 'x' : r.text().contains("data-hang=\"1\"") ? 'h' : '.';
            }
            return pattern;
        };
        site.server->failNextPlayerLoads(2);
        site.server->hangNextPlayers(2);
        QCOMPARE(served(5), "xxhh.");
        // A failed load creates no player; a hung one is named in the record.
        const QList<QJsonObject> hung = site.events("player-hung");
        const QList<QJsonObject> opened = site.events("player-open");
        QVERIFY(site.events("player-failed").size() == 2 && opened.size() == 3);
        QVERIFY(hung.size() == 2 && hung[1]["lesson"] == 3 && hung[1]["cause"] == "next"_L1);
        QCOMPARE(hung[1]["player"], opened[1]["player"]);
        // A page that hangs sends no report, so its time is never credited.
        site.now += 60000;
        QVERIFY(site.server->studyMilliseconds("demo").empty());

        // Rates fail or hang about that share of loads, the same ones for the same seed.
        site.server->setPlayerFailureRate(0.5, 7);
        const QString failing = served(20);
        QVERIFY2(failing.count('x') > 3 && failing.count('x') < 17, qPrintable(failing));
        site.server->setPlayerFailureRate(0, 7);
        site.server->setPlayerHangRate(0.5, 11);
        const QString drawn = served(20);
        QVERIFY2(drawn.count('h') > 3 && drawn.count('h') < 17, qPrintable(drawn));
        site.server->setPlayerHangRate(0.5, 11);
        QCOMPARE(served(20), drawn);

        QVERIFY(site.server->beginOutage() && !site.server->beginOutage());
        QCOMPARE(site.get("/").status, 0); // refused
        // The same port serves again, and the session survives.
        QVERIFY(site.server->endOutage() && site.send(true, "/course/exit").status == 200);
        QCOMPARE(site.events("outage-begin").size() + site.events("outage-end").size(), 2);
    }

    void faults_slowPagesMaintenanceAndTheTimeoutPage()
    {
        using namespace std::chrono_literals;
        std::mutex arrivedMutex;
        std::vector<std::string> arrived;
        Site site({.requestArrived = [&](const std::string& method, const std::string& path) {
            const std::lock_guard lock(arrivedMutex);
            arrived.push_back(method + ' ' + path);
        }});
        const auto hasArrived = [&](const std::string& request) {
            const std::lock_guard lock(arrivedMutex);
            return std::ranges::find(arrived, request) != arrived.end();
        };
        site.login();
        // A slow page waits for the site clock, on a worker of its own; its request is seen as
        // it arrives, not when it is answered.
        site.server->setPathDelay("/course/lessons", 5000);
        auto slow = std::async(std::launch::async, [&] { return site.get("/course/lessons"); });
        QCOMPARE(site.get("/course/main").status, 200);
        QTRY_VERIFY_WITH_TIMEOUT(site.events("slow-answer").size() == 1, 20000);
        QVERIFY(slow.wait_for(0s) == std::future_status::timeout);
        QVERIFY(hasArrived("POST /permission/loginAction.do") && hasArrived("GET /course/lessons"));
        site.now += 5000;
        QVERIFY(slow.wait_for(30s) == std::future_status::ready && slow.get().status == 200);
        site.server->setPathDelay("/course/lessons", 0);

        // Maintenance refuses everything, reports included, and its time is never credited.
        const QString player = site.play(1, 1).player();
        site.now += 2000;
        QCOMPARE(site.beat(1, 1, player).status, 200);
        site.server->setMaintenance(true);
        for (const char* path : {"/course/main", "/player/media/lesson.mp4", "/"})
            QVERIFY(site.get(path).status == 503 &&
                    site.get(path).text().contains(u"系统维护中，请稍后再访问"_s) &&
                    hasArrived(std::string("GET ") + path));
        site.now += 60000;
        QCOMPARE(site.beat(1, 1, player).status, 503);
        site.server->setMaintenance(false);
        site.now += 1000;
        QCOMPARE(site.beat(1, 1, player).json("creditedMs"), 1000);
        QCOMPARE(site.server->studyMilliseconds("demo"), (LessonTotals{{{1, 1}, 3000}}));

        // An ended session: 200 and a page that sends the top window to log in, not a form.
        site.server->setEndedSessionPage(EndedSessionPage::TimeoutPage);
        site.server->endAllSessions();
        for (const char* path :
             {"/course/main", "/course/frame/course", "/player/play?cat=0&lesson=0"}) {
            const Reply r = site.get(path);
            QVERIFY(r.status == 200 && r.text().contains(u"<title>会话已超时</title>"_s));
            QVERIFY(
                r.text().contains("top.location.href = '/permission/loginAction.do?method=init'") &&
                !r.text().contains("userName"));
        }
        QCOMPARE(site.send(true, "/course/select?cat=1").status, 401);
    }

    void watchedTime_isWhatTheVideoPlayedBesideThePageTime()
    {
        Site site({.timeScale = 400});
        site.login();
        // One lesson's video link is broken; every page's video follows the site clock.
        site.server->setLessonMedia(3, 3, PlayerMedia::Missing);
        const QString broken = site.play(3, 3).text();
        QVERIFY(broken.contains("data-media=\"missing\"") &&
                broken.contains("data-time-scale=\"400\"") &&
                site.play(3, 4).text().contains("data-media=\"canvas\""));
        QCOMPARE(site.get("/player/media/missing.mp4").status, 404);
        const QString player = site.play(3, 2).player();
        const auto report = [&](qint64 after, const char* seen) {
            site.now += after;
            return site.beat(3, 2, player, seen).json("creditedMs").toInteger();
        };
        QCOMPARE(report(4000, R"({"videoPlaying":true,"videoTime":4})"), 4000);
        report(5000, R"({"videoPlaying":false,"videoTime":4})");  // paused: none
        report(2000, R"({"videoPlaying":true,"videoTime":100})"); // sought ahead: 2 s
        report(3000, R"({"videoPlaying":true,"videoTime":1})");   // replayed: none
        report(3000, R"({"videoEnded":true,"videoTime":3})");     // ended in the interval: 2 s
        report(3000, R"({"videoPlaying":false,"videoTime":9})");  // moved while paused: none
        QCOMPARE(site.events("heartbeat").last()["watchedMs"], 0);
        QCOMPARE(site.server->watchedMilliseconds("demo"), (LessonTotals{{{3, 2}, 8000}}));
        QCOMPARE(site.server->studyMilliseconds("demo"), (LessonTotals{{{3, 2}, 20000}}));
        QVERIFY(QByteArray::fromStdString(site.server->eventsJson())
                    .contains(R"("watchedMilliseconds":{"demo":{"3-2":8000}})"));

        // The time a player reported without a session is not credited to the next one.
        site.server->setEndedSessionKeepsPlayer(true);
        site.server->endAllSessions();
        report(30000, R"({"videoPlaying":true,"videoTime":39})");
        site.login();
        QCOMPARE(report(1000, R"({"videoPlaying":true,"videoTime":40})"), 1000);
        // A report that lagged behind its interval is made up by the next one.
        report(2000, R"({"videoPlaying":true,"videoTime":41})");
        QCOMPARE(report(2000, R"({"videoPlaying":true,"videoTime":44})"), 2000);
        QCOMPARE(site.server->watchedMilliseconds("demo"), (LessonTotals{{{3, 2}, 13000}}));
    }

    void faults_whatAPlayerShowsAndWhereItsVideoComesFrom()
    {
        Site site;
        site.login();
        const int host = site.server->videoHostPort();
        QVERIFY(host > 0 && host != site.port);
        // A video of another origin: the player frames the video host's page, which plays it.
        site.server->setCrossOriginVideo(true, 2);
        const QString framed = site.play(2, 0).text();
        const QString frameUrl = u"http://127.0.0.1:%1/player/video?cat=2&amp;lesson=0"_s.arg(host);
        QVERIFY(framed.contains(frameUrl) && !framed.contains("<video"));
        QVERIFY(site.play(1, 0).text().contains("<video")); // other categories as they were
        const QString frame = Site(host).get("/player/video?cat=2&lesson=0").text();
        QVERIFY(frame.contains("<video") && frame.contains("playerVideo"));
        // A 200 message page in place of a lesson's player, or of every one; no player opens.
        site.server->setPlayerMessage(u"请按顺序学习"_s, 0, 3);
        site.server->setPlayerMessage(u"今日学时已满"_s);
        for (const auto& [lesson, message] :
             {std::pair{3, u"请按顺序学习"_s}, {4, u"今日学时已满"_s}}) {
            const Reply r = site.play(0, lesson);
            QVERIFY(r.status == 200 && r.text().contains(message) && !r.text().contains("<video"));
            QCOMPARE(site.events("player-message").last()["message"], message);
        }
        QVERIFY(site.events("player-open").size() == 2);
        site.server->setPlayerMessage({});
        // A player that goes on to the next lesson by itself; the last lesson's stays.
        site.server->setAutoNextAfter(30);
        QVERIFY(site.play(0, 5).text().contains(
            "data-auto-next=\"30\" data-next=\"/player/play?cat=0&amp;lesson=6\""));
        QVERIFY(site.play(1, 8).text().contains("data-next=\"\""));
        // A video outage: every source, on both ports, by the site clock.
        site.server->setVideoOutage(404, 60000);
        const auto videoStatus = [&](int port) {
            return Site(port).get("/player/media/lesson.mp4").status;
        };
        QVERIFY(videoStatus(site.port) == 404 && videoStatus(host) == 404);
        QCOMPARE(site.get("/course/main").status, 200);
        site.now += 60000;
        QVERIFY(!site.server->inVideoOutage() && videoStatus(host) == 200);
        // A category listed shorter than its timetable.
        site.server->setListedLessons(1, 4);
        const auto listed = [&](int category) {
            return elements(site.get(u"/course/lessons?cat=%1"_s.arg(category)).text(), "a").size();
        };
        QVERIFY(listed(1) == structure::lessonLink(3) + 1 && listed(2) > structure::lessonLink(6));
    }

    void stall_holdsRequestsUnansweredThenDropsThem()
    {
        using namespace std::chrono_literals;
        Site site;
        const auto waitFor = [&](const QString& path) {
            return std::async(std::launch::async, [&site, path] { return site.get(path).status; });
        };
        // A connection kept alive from before: the stall closes it, so it gets no answer either.
        httplib::Client kept("127.0.0.1", site.port);
        kept.set_keep_alive(true);
        kept.set_read_timeout(60);
        QCOMPARE(kept.Get("/")->status, 200);

        QVERIFY(site.server->beginStall() && site.server->inStall());
        QVERIFY(!site.server->beginStall() && !site.server->beginOutage());
        auto keptReply = std::async(std::launch::async, [&] { return kept.Get("/?kept").error(); });
        // More waiting clients than the server has workers: the site must come back after.
        constexpr int kWaiting = 24;
        std::vector<std::future<int>> waiting;
        for (int i = 0; i < kWaiting; ++i)
            waiting.push_back(waitFor(u"/?n=%1"_s.arg(i)));
        QTRY_VERIFY_WITH_TIMEOUT(site.events("stall-request").size() >= kWaiting, 20000);
        QVERIFY(std::ranges::none_of(
            waiting, [](auto& w) { return w.wait_for(0s) == std::future_status::ready; }));

        QVERIFY(site.server->endStall() && !site.server->inStall());
        for (auto& w : waiting)
            QVERIFY(w.wait_for(30s) == std::future_status::ready && w.get() == 0);
        QVERIFY(keptReply.wait_for(30s) == std::future_status::ready &&
                keptReply.get() != httplib::Error::Success);
        const QJsonObject end = site.events("stall-end").last();
        QVERIFY(end["connections"].toInt() >= kWaiting && end["dropped"] == end["connections"]);
        QCOMPARE(site.get("/").status, 200);

        // Stopping does not wait for a client that waits.
        QVERIFY(site.server->beginStall());
        auto last = waitFor(u"/last"_s);
        QTRY_VERIFY_WITH_TIMEOUT(
            site.events("stall-request").last()["request"].toString().startsWith("GET /last "),
            20000);
        const auto stopping = std::chrono::steady_clock::now();
        site.server->stop();
        QVERIFY(std::chrono::steady_clock::now() - stopping < 5s);
        QVERIFY(last.wait_for(30s) == std::future_status::ready && last.get() == 0);
        QVERIFY(!site.server->inStall() && !site.server->endStall());
    }

    void program_optionsAndStopSignal()
    {
        QProcess process;
        const QString options =
            "--port=0 --player-fail-next=1 --ended-session-player=stay --player-hang-next=1 "
            "--player-media=mp4 --video-seconds=30 --overlay-after=20 --slow=/x=5 "
            "--ended-session-page=timeout --cross-origin-video=1 --player-message=0-1=今日学时已满 "
            "--video-outage-at=5 --video-outage-for=1000 --list-short=3=2 --progress-seconds=30 "
            "--record-link-text=我的学时 --player-start=resume --lesson-media=0-2=pdf "
            "--entry-page=all=5:post --preroll-seconds=7 --overlay-text=您还在学习吗？ "
            "--overlay-button=继续";
        process.start(LUMORA_SITE_BINARY, options.split(u' '));
        // The line is written and flushed at once: one read gets it whole.
        QVERIFY(process.waitForReadyRead(10000));
        const QByteArray line = process.readLine();
        QVERIFY2(line.startsWith("lumora-site listening on http://127.0.0.1:"), line.constData());
        Site client(line.split(':').last().trimmed().toInt());
        QVERIFY(client.login() && client.play(0, 0).status == 500);
        const QString hung = client.play(0, 0).text();
        QVERIFY(hung.contains("data-hang=\"1\"") && hung.contains("data-media=\"mp4\""));
        QVERIFY(hung.contains("data-video-seconds=\"30\"") &&
                hung.contains("data-overlay-after=\"20\""));
        // The silent track of a lesson that ends: a WAV file of that length.
        const Reply track = client.get("/player/media/lesson.wav?seconds=30");
        QVERIFY(track.body.startsWith("RIFF") && track.body.size() == 44 + 30 * 4000);
        QVERIFY(Site(client.port).get("/course/main").text().contains(u"会话已超时"_s));
        const Reply video = client.get("/player/media/lesson.mp4"); // an MP4 file, whole
        QVERIFY(video.status == 200 && video.body.mid(4, 4) == "ftyp" && video.body.size() > 1e5);
        QCOMPARE(Site(client.port).beat(0, 0, "x").json("keepPage"), true);
        QVERIFY(client.play(0, 1).text().contains(u"今日学时已满"_s) &&
                client.play(1, 0).text().contains("/player/video?cat=1") &&
                elements(client.get("/course/lessons?cat=3").text(), "a").size() == 4);
        const QString document = client.play(0, 2).text();
        for (const char* shown : {"data-media=\"pdf\"", "data-progress-seconds=\"30\"",
                                  "data-start=\"resume\"", "data-preroll=\"7\""})
            QVERIFY2(document.contains(shown), shown);
        QVERIFY(hung.contains(
            u">您还在学习吗？</p><button type=\"button\" id=\"continueButton\">继续<"_s));
        QVERIFY(client.get("/course/frame/header").text().contains(u">我的学时</a>"_s) &&
                client.get("/player/enter?cat=1&lesson=0").text().contains("enterForm"));
        const Reply pdf = client.get("/player/media/lesson.pdf");
        QVERIFY(pdf.type == "application/pdf" && pdf.body.startsWith("%PDF-1.4\n"));
        // A valid file's cross-reference table starts where its trailer says.
        const auto xref =
            QString::fromLatin1(pdf.body).section("startxref\n", 1).section('\n', 0, 0);
        QVERIFY(pdf.body.mid(xref.toLongLong()).startsWith("xref\n") &&
                pdf.body.endsWith("%%EOF\n"));
        QTRY_VERIFY_WITH_TIMEOUT(client.get("/player/media/lesson.wav").status == 503, 30000);
        process.terminate();
        QVERIFY(process.waitForFinished(15000) && process.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(SiteTest)
#include "tst_site.moc"
