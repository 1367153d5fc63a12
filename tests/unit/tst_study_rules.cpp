// The study's pure rules: the timetable's records, the progress test of a lesson, and what a
// tick does about the lesson's player. The study panel's figures are tst_study_driver's.

#include "records/timetable.h"
#include "session/session_recovery.h"
#include "study/player_watch.h"
#include "study/progress.h"
#include "study/stall_watch.h"
#include "study/video_watch.h"

#include <QTest>

using namespace lumora::study;
using namespace lumora::records;
using Answer = lumora::platform::SiteProbe::Answer;

class StudyRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void studiedRecord_readsAnyShape_progressDecidesTheNextStep();
    void playerWatch_verdicts();
    void videoWatch_countsWhatPlayed();
    void videoWatch_theLessonsMediumStaysTheLessons();
    void videoWatch_aPausedMediumWaits_aStillOneIsOpenedAgain();
    void stallWatch_escalatesOnlyForWantOfAPage_loginRetriesBackOff();
};

void StudyRulesTest::studiedRecord_readsAnyShape_progressDecidesTheNextStep()
{
    // A record, its first seven lessons' minutes, and the record after lesson 3 (at 2) is set to 9.
    const std::tuple<QString, QList<int>, QString> cases[] = {
        {"", {0, 0, 0, 0, 0, 0, 0}, "1.0.2.0.3.9"}, // nothing studied yet
        {"1.3.2.0.3.12.4.0.5.0.6.0.7.51.",
         {3, 0, 12, 0, 0, 0, 51},
         "1.3.2.0.3.9.4.0.5.0.6.0.7.51."},
        {"1.1.1.2.1.3.1.4.1.5.1.6.1.7", {1, 2, 3, 4, 5, 6, 7}, "1.1.1.2.1.9.1.4.1.5.1.6.1.7"},
        {"1.9.2.8.", {9, 8, 0, 0, 0, 0, 0}, "1.9.2.8.3.9."}, // short: extended, closing dot kept
        {"1.9", {9, 0, 0, 0, 0, 0, 0}, "1.9.2.0.3.9"},
        {"1.x.2.-4.3..4. 7.5.99999999999.6.08.7.3",
         {0, 0, 0, 0, 0, 8, 3},
         "1.x.2.-4.3.9.4. 7.5.99999999999.6.08.7.3"}, // damaged fields count 0 and stay
    };
    for (const auto& [text, minutes, afterSet] : cases) {
        StudiedRecord record(text);
        QList<int> read;
        for (int lesson = 0; lesson < 7; ++lesson)
            read << record.minutes(lesson);
        QCOMPARE(read, minutes);
        QCOMPARE(record.text(), text); // read and written back unchanged
        record.setMinutes(2, 9);
        QVERIFY(record.text() == afterSet && StudiedRecord(afterSet).minutes(2) == 9);
    }
    QCOMPARE(requiredMinutes(requiredMinutesTables().at(2)),
             (QList<int>{45, 47, 50, 43, 44, 47, 53}));
    // Selected lesson (of 7), required, studied, and the step.
    using P = LessonProgress;
    const std::tuple<int, int, int, P> steps[] = {
        {0, 50, 49, P::StillStudying}, {0, 50, 50, P::Unknown}, // equal is not done
        {0, 50, 51, P::NextLesson},                             // one past: move on
        {6, 53, 54, P::NextCategory}, // the last lesson done: the next category
        {6, 53, 53, P::Unknown},      // the last lesson, equal
        {-1, 50, 60, P::Unknown},     // nothing selected
    };
    for (const auto& [selected, required, studied, progress] : steps)
        QCOMPARE(lessonProgress(selected, 7, LessonMinutes{required, studied}), progress);
    QCOMPARE(lessonProgress(0, 7, std::nullopt), P::Unknown); // a lesson the timetable lacks
}

// What successive ticks 20 s apart found, and what they decided, one letter a tick:
// c credit, r reopen, s skip, k skip as the site's trouble lasted too long, e session ended,
// p pause, t the site's trouble with the lesson opened again, w the same with the lesson left as
// it is, b the site's trouble with lessons skipped before given back, - nothing. Before a state:
// '*' the lesson's link was clicked just before that tick, '!' the site check found no site, '>'
// the run moved to the next lesson, '^' back to the first, '+' a minute was credited before the
// tick, '@' ten minutes passed before it.
void StudyRulesTest::playerWatch_verdicts()
{
    const std::pair<QString, QString> cases[] = {
        {"O O", "cc"},           // an open player counts
        {"F U V F", "rrsr"},     // three failures skip, an unreadable page or video too
        {"F F O F", "rrcs"},     // an open tick does not reset the count (a still video)
        {"F F +O F F", "rrcrr"}, // a credited minute does
        {"F F >F F", "rrrr"},    // so does the next lesson
        // The same failure three lessons in a row: the site's; both skipped are given back, and
        // the lesson is opened again every two minutes.
        {"F F F >F F F >F F F F F F F F F", "rrsrrsrrbwwwwwt"},
        {"V V V >F F F >F F F", "rrsrrsrrs"},         // not so for another failure
        {"F F F >O +O >F F F >F F F", "rrsccrrsrrs"}, // nor once a lesson played between
        {"F F F >F +O F F F >F F F", "rrsrcrrsrrb"},  // a minute of the next one does not break it
        {"F F F >F F F >F F F +O F F F", "rrsrrsrrbcrrt"}, // nor one of the site in trouble
        {"S S S >S S S >S S S", "rrsrrsrrb"},              // a still video counts as a failure
        {"M >M >M", "ssb"},                                // so do five minutes without a medium
        // Half an hour of trouble: the lesson is skipped; lessons given back are not given back
        // again.
        {"F F F >F F F >F F F @F @F @F ^F F F >F F F >F F F", "rrsrrsrrbttkrrsrrsrrt"},
        // A player that played a minute and moved on is opened again; leaving before a minute is
        // failing to open.
        {"+O J +O J J J J", "crcrrrs"},
        {"F F F >O >F F F >F F F", "rrscrrsrrb"}, // a lesson seen but not played: still a row
        {"*N N N *N N N", "--r--r"},              // no window: two ticks of grace after a click
        {"L L L L L L O", "------c"},             // slow loading is waited for
        {"L L L L L L L L L L", "---------r"},    // a load that never ends fails
        {"D D D D O", "rrrrc"},                   // the site down never skips
        {"O P", "ce"},                            // the login page ends the session
        {"X", "p"},                               // a format the engine cannot play: pause
        {"!O D !O O", "rrrc"},                    // the site check: reopen until the site answers
        {"!O !O !O !O O !O", "rrcccr"},           // wrong three times: the engine wins, until the
                                                  // check finds the site again
    };
    const QString states = "OFNLDPUVXSJM";
    const PlayerState players[] = {
        PlayerState::Open,         PlayerState::Failed,      PlayerState::NotOpened,
        PlayerState::Loading,      PlayerState::SiteDown,    PlayerState::LoginPage,
        PlayerState::Unreadable,   PlayerState::VideoFailed, PlayerState::VideoUnsupported,
        PlayerState::VideoStalled, PlayerState::LeftLesson,  PlayerState::NoMedium};
    using namespace std::chrono_literals;
    for (const auto& [ticks, verdicts] : cases) {
        PlayerWatch watch;
        QString decided;
        int lesson = 7;
        std::chrono::milliseconds now = 0ms;
        for (const QString& tick : ticks.split(' ')) {
            lesson = tick.contains('^') ? 7 : lesson + tick.contains('>');
            now += tick.contains('@') ? 10min : 20s;
            if (tick.startsWith('*'))
                watch.lessonClicked();
            if (tick.contains('+'))
                watch.minuteCredited();
            const Answer site = tick.startsWith('!') ? Answer::Unreachable : Answer::Reachable;
            const TickVerdict v =
                watch.judge({2, lesson}, players[states.indexOf(tick.back())], site, now);
            decided += v.credit                ? 'c'
                       : v.troubleTooLong      ? 'k'
                       : v.skip                ? 's'
                       : v.sessionEnded        ? 'e'
                       : v.cannotPlay          ? 'p'
                       : !v.giveBack.isEmpty() ? 'b'
                       : v.siteTrouble         ? (v.reopen ? 't' : 'w')
                       : v.reopen              ? 'r'
                                               : '-';
        }
        QVERIFY2(decided == verdicts, qPrintable(ticks + " gave " + decided));
    }
}

void StudyRulesTest::videoWatch_countsWhatPlayed()
{
    // Ticks 20 s apart; the video's time at each, for one minute, credited when it counts.
    LessonKey lesson{1, 0};
    const auto minute = [&](VideoWatch& watch, int player, QList<double> times, double at) {
        for (const double time : times)
            watch.tick(lesson, player, {true, time, false, false}, at += 20);
        const bool counts = watch.closeMinute() == VideoWatch::Minute::Played;
        if (counts)
            watch.minuteCredited();
        else
            watch.minuteNotCredited(true);
        return counts;
    };
    VideoWatch watch;
    // A new player's first minute is a minute of its own play: three ticks span only 40 s.
    QVERIFY(!minute(watch, 1, {15, 35, 55}, -80));
    QVERIFY(minute(watch, 1, {20, 40, 60}, 0));   // a new player, playing all along
    QVERIFY(minute(watch, 1, {75, 95, 115}, 60)); // 60 s of 60
    // Read late, then caught up: 45 s of 60 played.
    QVERIFY(minute(watch, 1, {115.1, 160, 160.1}, 120));
    QVERIFY(!minute(watch, 1, {170, 175, 180}, 180)); // 20 s of 60: stalled most of it
    QVERIFY(!minute(watch, 1, {180, 180, 180}, 240)); // paused
    QVERIFY(!minute(watch, 2, {}, 240));              // no video seen: nothing
    QCOMPARE(watch.closeMinute(), VideoWatch::Minute::NoVideo);
    watch.setPageTimeWithoutVideo(true); // the learner's setting, kept over a new player
    watch.reset();
    QVERIFY(minute(watch, 2, {}, 240));
    // Minutes played a little short (52 s of 60) count until what they lack passes a tick's
    // time; a minute not credited makes it up, as the site counted what played in it. Another
    // lesson starts with nothing owed.
    const auto shortMinute = [&](int player, int k, int from) {
        const double v = 60 + 52.0 * (k - from);
        return minute(watch, player, {v + 52 / 3.0, v + 104 / 3.0, v + 52}, 300 + 60 * k);
    };
    lesson = {1, 2};
    QVERIFY(minute(watch, 4, {20, 40, 60}, 240));
    QList<bool> counted{shortMinute(4, 0, 0), shortMinute(4, 1, 0)};
    lesson = {1, 3};
    QVERIFY(minute(watch, 5, {20, 40, 60}, 360));
    for (int k = 2; k < 6; ++k)
        counted << shortMinute(5, k, 2);
    QCOMPARE(counted, (QList<bool>{true, true, true, true, false, true}));
    QVERIFY(minute(watch, 5, {293, 313, 333}, 1000)); // a held tick earns no more than one on time
    // A minute played only in part counts when what the lesson's video played uncredited before
    // makes up the rest (30 s of 60 after a minute not credited), not when it falls short of that
    // (the fourth), and never for less than a tick's time of play (the fifth).
    VideoWatch part;
    lesson = {1, 4};
    QList<bool> made;
    for (const auto& [times, at] :
         std::initializer_list<std::pair<QList<double>, double>>{{{20, 40, 60}, 2000},
                                                                 {{70, 80, 90}, 2060},
                                                                 {{125, 135, 145}, 2120},
                                                                 {{155, 165, 175}, 2180},
                                                                 {{180, 185, 190}, 2240},
                                                                 {{200, 210, 220}, 2300}})
        made << minute(part, 6, times, at);
    QCOMPARE(made, (QList<bool>{true, false, true, false, false, true}));
    // Play in a minute not credited for another reason (the session unconfirmed) may not have
    // counted on the site: it makes up for nothing.
    lesson = {1, 5};
    QVERIFY(minute(part, 7, {20, 40, 60}, 3000));
    for (const double time : {80, 100, 120})
        part.tick(lesson, 7, {true, time, false, false}, time + 3000);
    QCOMPARE(part.closeMinute(), VideoWatch::Minute::Played);
    part.minuteNotCredited(false);
    QVERIFY(!minute(part, 7, {130, 140, 150}, 3120));
    // Ended: played again.
    QVERIFY(watch.tick(lesson, 3, {true, 30, true, true}, 3000).replay);
}

// A medium's shapes over a minute: the medium's time, source and length at each tick (no source:
// no medium seen), whether the lesson had a minute credited before, and whether the minute counts.
void StudyRulesTest::videoWatch_theLessonsMediumStaysTheLessons()
{
    struct Seen
    {
        double time;
        QString source = "lesson";
        double duration = 0;
        bool ended = false;
    };
    // clang-format off
    const std::tuple<const char*, bool, QList<Seen>, bool> cases[] = {
        {"plays", false, {{20}, {40}, {60}}, true},
        {"its frame reports it late", false, {{0, ""}, {0, ""}, {40}, {60}, {80}}, true},
        {"a new player's first 40 s", false, {{0, ""}, {20}, {40}}, false},
        {"a pre-roll before it never counts", false, {{20, "ad", 30}, {15, "l", 600}, {35, "l", 600}}, false},
        {"short clips that end are the lesson's", false, {{20, "a", 30}, {20, "l", 40}, {40, "l", 40, true}}, true},
        {"a short lesson that ends is its own", false,
         {{20, "l", 50}, {40, "l", 50}, {50, "l", 50, true}, {15, "l", 50}}, true},
        {"a looping clip wraps round its end", false, {{20, "l", 50}, {40, "l", 50}, {10, "l", 50}}, true},
        {"a seek back is no play", false, {{300}, {200}, {120}}, false},
        {"another medium after a credited minute", true, {{80}, {10, "next"}, {30, "next"}}, false},
        {"the same after a credited minute", true, {{80}, {100}, {120}}, true},
    };
    // clang-format on
    for (const auto& [name, creditedBefore, ticks, counts] : cases) {
        VideoWatch watch;
        const LessonKey lesson{0, 1};
        double at = 0;
        if (creditedBefore) {
            for (const double time : {0, 20, 40, 60})
                watch.tick(lesson, 1, {true, time, false, false, 0, "lesson"}, at += 20);
            QVERIFY2(watch.closeMinute() == VideoWatch::Minute::Played, name);
            watch.minuteCredited();
        }
        for (const Seen& seen : ticks)
            watch.tick(lesson, 1,
                       {!seen.source.isEmpty(), seen.time, seen.ended, seen.ended, seen.duration,
                        seen.source},
                       at += 20);
        QVERIFY2((watch.closeMinute() == VideoWatch::Minute::Played) == counts, name);
    }
}

// What a medium that does not play calls for, tick after tick (20 s apart): the first tick that
// calls for something other than waiting, and what.
void StudyRulesTest::videoWatch_aPausedMediumWaits_aStillOneIsOpenedAgain()
{
    using Control = lumora::platform::PageControl;
    const QList<Control> question = {{"退出学习", "正在播放 退出学习"},
                                     {"我在学习", "您还在学习吗？ 我在学习"}};
    const QList<Control> exitAndContinue = {{"退出学习", "正在播放 退出学习"},
                                            {"继续学习", "继续学习? 继续学习"}};
    // clang-format off
    const std::tuple<const char*, VideoSample, bool, int, QString> cases[] = {
        // Neither playing nor paused: the lesson's failure after ten minutes, not two.
        {"still", {true, 100, false, false}, false, 31, "reopen"},
        {"paused", {true, 100, true, false}, false, 0, ""},
        {"paused behind the site's own control", {true, 100, true, false, 0, {}, exitAndContinue}, false, 1, "press"},
        {"paused behind a question", {true, 100, true, false, 0, {}, question}, false, 0, "您还在学习吗？ 我在学习"},
        {"no medium", {}, false, 16, "no medium"},
        {"no medium, page time asked for", {}, true, 0, ""},
    };
    // clang-format on
    for (const auto& [name, sample, pageTime, firstCall, call] : cases) {
        VideoWatch watch;
        watch.setPageTimeWithoutVideo(pageTime);
        int at = 0;
        QString asks;
        for (int tick = 1; tick <= 40 && at == 0; ++tick) {
            const VideoWatch::Call c = watch.tick({0, 1}, 1, sample, 20.0 * tick);
            asks = c.pageAsks;
            const QString what = c.reopen          ? "reopen"
                                 : c.pressContinue ? "press"
                                 : c.noMedium      ? "no medium"
                                                   : "";
            if (!what.isEmpty())
                at = what == call ? tick : -tick;
        }
        QVERIFY2(at == firstCall, name);
        if (firstCall == 0)
            QVERIFY2(asks == call, name);
    }
}

void StudyRulesTest::stallWatch_escalatesOnlyForWantOfAPage_loginRetriesBackOff()
{
    // Minutes of one cause, and the steps they bring (R reload, C the category), by minute.
    using Step = StallWatch::Step;
    // clang-format off
    const std::pair<StallCause, QString> causes[] = {
        {StallCause::PlayerSilent, "3R 5C 15R 25C"}, {StallCause::NoCoursePage, "3R 5C 15R 25C"},
        {StallCause::NoSessionAnswer, ""}, {StallCause::NoVideo, ""}, {StallCause::SiteVideos, ""},
        {StallCause::SiteTrouble, ""}};
    // clang-format on
    for (const auto& [cause, expected] : causes) {
        StallWatch watch;
        QStringList steps;
        for (int minute = 1; minute <= 27; ++minute) {
            const Step step = watch.minuteClosed(cause);
            if (step != Step::None)
                steps << QString::number(minute) + (step == Step::ReloadMainPage ? "R" : "C");
        }
        QCOMPARE(steps.join(' '), expected);
        QVERIFY(watch.text().startsWith("27 分钟未能计时"));
        QCOMPARE(watch.siteSlow(), cause == StallCause::NoSessionAnswer);
    }
    // No verdict on the session three minutes running: a slow site, until another cause.
    StallWatch watch;
    watch.minuteClosed(StallCause::NoSessionAnswer);
    watch.minuteClosed(StallCause::NoSessionAnswer);
    QVERIFY(!watch.siteSlow());
    watch.minuteClosed(StallCause::NoSessionAnswer);
    QVERIFY(watch.siteSlow() && watch.text() == "3 分钟未能计时：网站响应很慢");
    watch.minuteClosed(StallCause::PlayerNotOpen);
    QVERIFY(!watch.siteSlow());
    QVERIFY(watch.minuteClosed(StallCause::None) == Step::None && watch.text().isEmpty());
    using namespace std::chrono_literals;
    QList<std::chrono::milliseconds> delays;
    for (const int attempt : {1, 2, 5, 6, 60})
        delays << lumora::session::loginRetryDelay(attempt);
    QCOMPARE(delays, (QList<std::chrono::milliseconds>{30s, 60s, 8min, 10min, 10min}));
}

QTEST_GUILESS_MAIN(StudyRulesTest)
#include "tst_study_rules.moc"
