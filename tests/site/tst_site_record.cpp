// Tests of the stand-in site's own study record (progress reports, the record page) and of
// the lesson shapes it serves, over loopback HTTP with a clock the test moves.

#include "site_client.h"
#include "site_server.h"
#include "site_structure.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lumora::site;
using namespace lumora::site::test;

class SiteRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void record_countsOnlyProgressReportsAndLosesTheTail()
    {
        Site site;
        site.login();
        const QString player = site.play(2, 1).player();
        const auto report = [&](qint64 after, const std::string& seen) {
            site.now += after;
            return site.progress(2, 1, player, seen);
        };
        site.now += 30000;
        QCOMPARE(site.beat(2, 1, player, playing(30)).status, 200);
        QVERIFY(site.server->recordMilliseconds("demo").empty()); // heartbeats are not the record
        // A report credits what the video played since the previous one (the page, at first).
        const Reply first = report(30000, playing(60));
        QVERIFY(first.json("code") == 0 && first.json("msg") == "ok"_L1);
        QCOMPARE(first.json("recordedSeconds"), 60);
        report(20000, R"({"videoPlaying":false,"videoTime":60})"); // paused: none
        report(20000, playing(500));                               // sought ahead: 20 s
        const QJsonObject last = site.events("progress").last();
        QVERIFY(last["creditedMs"] == 20000 && last["recordSeconds"] == 80 && last["code"] == 0);
        // The time after a player's last report goes with its page.
        site.now += 30000;
        site.send(true, "/player/close?player=" + player);
        QCOMPARE(report(0, playing(530)).status, 404);
        QCOMPARE(site.server->recordMilliseconds("demo"), (LessonTotals{{{2, 1}, 80000}}));
        site.get("/permission/loginAction.do?method=logout");
        const Reply refused = site.progress(2, 1, player);
        QVERIFY(refused.status == 401 && refused.json("msg") == u"登录已失效"_s);
    }

    void record_savedOnExitOnlyWhereTheSiteSaysSo_data()
    {
        QTest::addColumn<bool>("onExitOnly");
        QTest::addColumn<bool>("exitButton");
        QTest::addColumn<int>("recorded");
        QTest::newRow("each report, page left") << false << false << 40000;
        QTest::newRow("each report, 退出学习") << false << true << 50000;
        QTest::newRow("on exit only, page left") << true << false << 0;
        QTest::newRow("on exit only, 退出学习") << true << true << 50000;
    }
    void record_savedOnExitOnlyWhereTheSiteSaysSo()
    {
        QFETCH(bool, onExitOnly);
        QFETCH(bool, exitButton);
        QFETCH(int, recorded);
        Site site({.saveOnExitOnly = onExitOnly});
        site.login();
        const QString player = site.play(0, 4).player();
        for (const int seconds : {20, 40}) {
            site.now += 20000;
            QCOMPARE(site.progress(0, 4, player, playing(seconds)).json("code"), 0);
        }
        site.now += 10000;
        if (exitButton) {
            QCOMPARE(site.progress(0, 4, player, playing(50), true).json("recordedSeconds"), 50);
            QCOMPARE(site.events("exit-study").last()["creditedMs"], onExitOnly ? 50000 : 10000);
            QVERIFY(site.progress(0, 4, player, playing(60)).json("ended").toBool());
        } else {
            site.send(true, "/player/close?player=" + player);
        }
        QCOMPARE((site.server->recordMilliseconds("demo")[{0, 4}]), recorded);
    }

    void record_dailyCapCountsNothingUntilTheNextSiteDay()
    {
        Site site({.dailyCapMinutes = 1, .siteDayHours = 1});
        site.login();
        const QString player = site.play(1, 1).player();
        QList<int> codes;
        for (int seconds = 40; seconds <= 120; seconds += 40) {
            site.now += 40000;
            codes += site.progress(1, 1, player, playing(seconds)).json("code").toInt();
        }
        QCOMPARE(codes, (QList<int>{0, 0, -1})); // the second report reached the cap
        QCOMPARE(site.events("progress").last()["creditedMs"], 0);
        QCOMPARE((site.server->recordMilliseconds("demo")[{1, 1}]), 60000);
        site.now = 1000 + 3600000; // the next site day
        const Reply next = site.progress(1, 1, player, playing(160));
        QVERIFY(next.json("code") == 0 && next.json("recordedSeconds") == 100);
        site.server->setDailyCapMinutes(0);
        site.now += 3000;
        QCOMPARE(site.progress(1, 1, player, playing(163)).json("recordedSeconds"), 103);
    }

    void recordPage_writesTimesAndTitlesAsItsSiteDoes_data()
    {
        // Each row is named by its time form.
        QTest::addColumn<QString>("titles");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("time");
        const QString full = u"fullwidth"_s;
        QTest::newRow("min-sec") << full << u"学习时长"_s << u"75分3秒"_s;
        QTest::newRow("hms") << u"plain"_s << u"学习时长"_s << u"1:15:03"_s;
        QTest::newRow("mm-ss") << full << u"学习时长"_s << u"75:03"_s;
        QTest::newRow("minutes") << full << u"学习时长"_s << u"75分钟"_s;
        QTest::newRow("seconds") << full << u"学习时长(秒)"_s << u"4503"_s;
        QTest::newRow("xueshi") << full << u"学时"_s << u"1.6学时"_s;
    }
    void recordPage_writesTimesAndTitlesAsItsSiteDoes()
    {
        const std::string form = QTest::currentDataTag();
        QFETCH(QString, titles);
        QFETCH(QString, time);
        const QString title =
            titles == "plain"_L1 ? u"第1课 心理学基础"_s : u"第１课　心理学基础"_s;
        Site site;
        site.login();
        site.server->setRecordPage({.timeForm = *recordTimeFormFromName(form),
                                    .titles = *recordTitlesFromName(titles.toStdString())});
        const QString player = site.play(2, 0).player();
        site.now += 4503000;
        site.progress(2, 0, player, playing(4503));
        const QString html = site.get("/course/records").text(); // in the page charset, GBK
        QTEST(elements(html, "th").value(3).second, "header");
        QStringList cells;
        for (const auto& cell : elements(elements(html, "tr").value(1).second, "td"))
            cells += cell.second;
        QCOMPARE(cells, (QStringList{"1", u"基础理论"_s, title, time, "2026-12-09 09:15:03"}));
    }

    void recordPage_pagesLagsAndWhereItIsLinked()
    {
        Site site({.recordLagMinutes = 10});
        site.login();
        for (int lesson = 0; lesson < 11; ++lesson) {
            const QString player = site.play(0, lesson).player();
            site.now += 1000;
            site.progress(0, lesson, player, playing(1));
        }
        const auto page = [&](const QString& path) { return site.get(path).text(); };
        QVERIFY(page("/course/records").contains(u"共 0 条记录，第 1/1 页"_s)); // not yet shown
        site.now += 600000;
        site.progress(0, 10, site.events("player-open").last()["player"].toString(), playing(61));
        const QString first = page("/course/records");
        const QString second = page("/course/records?page=2");
        QVERIFY(elements(first, "tr").size() == 11 && first.contains(u"共 11 条记录，第 1/2 页"_s));
        QVERIFY(first.contains(u"<span class=\"disabled\">上一页</span>"_s) &&
                first.contains(u"<a href=\"/course/records?page=2\">下一页</a>"_s));
        QVERIFY(second.contains(u"<a href=\"/course/records?page=1\">上一页</a>"_s) &&
                second.contains(u"<span class=\"disabled\">下一页</span>"_s));
        // Row 11, as the record stood 10 minutes ago: before its last report.
        const auto row = elements(elements(second, "tr").value(1).second, "td");
        QVERIFY(row.value(0).second == "11" && row.value(3).second == u"0分1秒"_s);
        QCOMPARE((site.server->recordMilliseconds("demo")[{0, 10}]), 61000);

        const QString link = u"<a href=\"/course/records\" target=\"_blank\">学习记录</a>"_s;
        const int links = elements(page("/course/frame/course"), "a").size();
        QVERIFY(page("/course/frame/header").contains(link));
        site.server->setRecordPage({.shown = false});
        QVERIFY(site.get("/course/records").status == 404 &&
                !page("/course/frame/header").contains("/course/records"));
        const QString frame = page("/course/frame/course");
        QVERIFY(!frame.contains("/course/records") && elements(frame, "a").size() == links);
    }

    void entryPages_handThePlayerOnByReplaceOrForm()
    {
        Site site({.timeScale = 2,
                   .entryPages = {{1, {6, EntryPage::Method::Replace}},
                                  {-1, {4, EntryPage::Method::Post}}}});
        site.login();
        const auto opens = [&](int category) {
            const QString html = site.get(u"/course/lessons?cat=%1"_s.arg(category)).text();
            return elements(html, "a").value(structure::lessonLink(1)).first.section('\'', 1, 1);
        };
        QCOMPARE(opens(1), "/player/enter?cat=1&amp;lesson=1");
        const QString replacing = site.get("/player/enter?cat=1&lesson=2").text();
        QVERIFY(replacing.contains(u"正在进入课件…"_s) &&
                replacing.contains("data-delay-ms=\"3000\""));
        QVERIFY(replacing.contains("data-target=\"/player/play?cat=1&amp;lesson=2\"") &&
                replacing.contains("location.replace(entry.dataset.target)") &&
                !replacing.contains("<form"));
        const QString posting = site.get("/player/enter?cat=3&lesson=1").text();
        QVERIFY(posting.contains("data-delay-ms=\"2000\"") &&
                posting.contains(R"(<form id="enterForm" method="post" action="/player/play">)") &&
                posting.contains(R"(<input type="hidden" name="lesson" value="1">)"));
        const Reply played =
            site.send(true, "/player/play", "cat=3&lesson=1", "application/x-www-form-urlencoded");
        QVERIFY(played.status == 200 && !played.player().isEmpty());
        QCOMPARE(site.events("player-open").last()["category"], 3);
        QCOMPARE(site.events("player-entry").last()["method"], "post"_L1);
        site.server->setEntryPage(-1, std::nullopt);
        QCOMPARE(opens(3), "/player/play?cat=3&amp;lesson=1");
    }

    void playerPages_holdTheirMediumAndWhatStartsIt_data()
    {
        QTest::addColumn<QString>("media");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("shown");  // in the page's markup
        QTest::addColumn<QStringList>("absent"); // from it
        const QString video = u"<video"_s;
        QTest::newRow("audio") << u"audio"_s << u"autoplay"_s << QStringList{"<audio id=\"audio\""}
                               << QStringList{video, "playButton"};
        for (const char* mode : {"open", "closed"})
            QTest::addRow("shadow-%s", mode)
                << u"shadow-%1"_s.arg(mode) << "autoplay"
                << QStringList{u"<lesson-player id=\"lessonPlayer\" data-shadow=\"%1\">"_s.arg(
                       mode)}
                << QStringList{video};
        QTest::newRow("pdf")
            << u"pdf"_s << u"autoplay"_s
            << QStringList{R"(<embed id="lessonDocument" type="application/pdf" src="/player/media/lesson.pdf")"}
            << QStringList{video, "<audio"};
        QTest::newRow("button") << u"canvas"_s << u"button"_s
                                << QStringList{video, u"id=\"playButton\">播放</button>"_s}
                                << QStringList{"resumeDialog"};
        QTest::newRow("resume") << u"mp4"_s << u"resume"_s
                                << QStringList{u"<p>从上次位置继续？</p>"_s, u">继续播放<"_s,
                                               u">从头播放<"_s}
                                << QStringList{"playButton"};
    }
    void playerPages_holdTheirMediumAndWhatStartsIt()
    {
        QFETCH(QString, media);
        QFETCH(QString, start);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        Site site;
        site.login();
        site.server->setLessonMedia(3, 2, playerMediaFromName(media.toStdString()));
        site.server->setPlayerStart(*playerStartFromName(start.toStdString()));
        const QString html = site.play(3, 2).text();
        QVERIFY(html.contains(u"data-media=\"%1\""_s.arg(media)) &&
                html.contains(u"data-start=\"%1\""_s.arg(start)));
        const QString markup =
            QString(html).remove(QRegularExpression(u"(?s)<script\\b.*?</script>"_s));
        for (const QString& text : shown)
            QVERIFY2(markup.contains(text), qPrintable(text));
        for (const QString& text : absent)
            QVERIFY2(!markup.contains(text), qPrintable(text));
        QVERIFY(html.contains(u"<button type=\"button\" id=\"exitStudy\">退出学习</button>"_s));
    }

    void login_refusedForAWhileWhateverTheCredentials()
    {
        Site site({.refuseLoginsForMs = 30000});
        QVERIFY(!site.login());
        QVERIFY(site.loginPage.contains(u"id=\"loginError\">系统维护中，暂停登录，请稍后再试<"_s));
        QCOMPARE(site.events("login").last()["reason"], "refused"_L1);
        site.now += 30000;
        QVERIFY(site.login());
        site.server->refuseLogins(5000, u"系统升级中"_s);
        QVERIFY(!site.login() && site.loginPage.contains(u"系统升级中"_s));
        site.now += 5000;
        QVERIFY(site.login());
    }

    void preroll_playsFirstAndCountsNothing()
    {
        Site site({.prerollSeconds = 15});
        site.login();
        const Reply page = site.play(2, 3);
        QVERIFY(page.text().contains("data-preroll=\"15\"") &&
                page.text().contains(u"id=\"adLabel\">广告</span>"_s));
        QCOMPARE(site.get("/player/media/preroll.wav?seconds=15").body.size(), 44 + 15 * 4000);
        // Whatever a report in the pre-roll says, it counts nothing; the lesson's time begins
        // after.
        const QString player = page.player();
        const std::string inPreroll = R"({"videoPlaying":true,"videoTime":15,"preroll":true})";
        site.now += 15000;
        QCOMPARE(site.beat(2, 3, player, inPreroll).json("creditedMs"), 0);
        QCOMPARE(site.progress(2, 3, player, inPreroll).json("recordedSeconds"), 0);
        site.now += 10000;
        QCOMPARE(site.progress(2, 3, player, playing(10)).json("recordedSeconds"), 10);
        QCOMPARE(site.beat(2, 3, player, playing(10)).json("creditedMs"), 10000);
    }

    void program_badOptionsExitWithUsageError()
    {
        for (const char* bad :
             {"--progress-seconds=0", "--daily-cap-minutes=-1", "--site-day-hours=0",
              "--record-titles=bold", "--record-time-form=days", "--record-lag-minutes=x",
              "--record-link-text= ", "--entry-page=2=x", "--lesson-media=0-2=flash",
              "--player-start=click", "--overlay-text=", "--refuse-logins-for=-1",
              "--preroll-seconds=1.5", "--player-media=video"}) {
            QProcess process;
            process.start(LUMORA_SITE_BINARY, {"--port=0", bad});
            QVERIFY2(process.waitForFinished(15000) && process.exitCode() == 2, bad);
        }
    }
};

QTEST_GUILESS_MAIN(SiteRecordTest)
#include "tst_site_record.moc"
