// Soak: the whole timetable (45 lessons in 4 categories, about 40 simulated hours) with the real
// engine against the in-process stand-in site, time compressed 400 times: a 20-second study tick
// takes 50 ms. Faults are on all the way (see soak_faults.cpp), and the site counts as real
// sites do: its players save their progress by a report every 60 s (the time since the last one
// is lost when the page goes), and it counts at most kDailyCapMinutes a site day (24 h from its
// start): the timetable meets the cap once, late in the first day, and the rest is studied the
// next.
//
// Judged by the site's own study record (what its record page shows, without lag), not by the
// program's events nor by the time its pages were open. One lesson's video is missing all night
// (404): the site can never count it, so it is expected skipped with nothing credited, and
// "done" is then at most 44 of 45.
//
// Last line: "soak: done D/45 by the site, short S, over-credited M min, skipped K, site-short
// L, credited while the site did not count C min, longest stall T min, wall/ideal W, pss growth
// G%":
// - D: lessons whose record holds at least their required minutes.
// - S: lessons the program's credits took to done in this run that the record counts short.
// - M: per lesson, the minutes the program credited in this run beyond the record's whole
//   minutes plus one, summed.
// - K: lessons the program skipped and did not give back to the run (a lesson skipped as the
//   site's trouble began is given back).
// - L: lessons the program calls done at the end (its own minutes, the state file's) that the
//   record counts short. S and L differ for a state file that starts with minutes the site
//   never counted: S is what this run claimed, L what the learner would be shown. Here the state
//   file starts empty, so a lesson short in L and not in S points at the program's bookkeeping.
// - C: minutes the program credited while the site did not count them: from the first progress
//   report answered "今日学时已满" (code -1; else when the record's day reached the cap) to the
//   next site day, every one; outside that wait, those whose lesson's record did not grow from a
//   minute before the credit to a minute after it (a report comes each minute, and the minute
//   played reaches the record at the next one). A program that stops at the cap scores about 0,
//   one that ignores it the wait's minutes.
// - T: the longest stretch of simulated time in which the record counted no whole minute of any
//   lesson, less the site's own faults (stall, maintenance, outage, video outage, refused
//   logins), the machine's sleep and the cap's wait; it says where it began. The cap's wait
//   here lasts until the run's first look after the new site day (it looks every 30 minutes
//   and cannot know when the site's day turns), or until the record grows, if sooner.
// - W: the simulated time of the run over the ideal: the timetable's own minimum (every lesson's
//   required minutes plus one) plus the cap's wait, as for T.
// - G: the growth of the process tree's proportional set size, after a garbage collection, from
//   the first lesson to the end (the site's record dropped first: it shares this process).
// Exit code 0 only when D >= 44, S = 0, M = 0, K <= 1 (the missing video's lesson), L = 0,
// C <= 10, T < 10, W <= 1.12, G <= 10, every fault fired, the cap was reached, nothing was
// credited after the wake-up before the site saw a new login, the judge's own checks agree and
// the run ended in time.
//
// `--verbose` prints every simulated hour (not every third) the memory of each process, the
// links clicked, this process's heap in use and what its allocator freed and kept.
// SOAK_RECORD_DIR keeps the site's record and the program's events for a lesson that does not
// add up.

#include "app/program.h"
#include "fake_platform.h"
#include "headless_engine.h"
#include "platform/qt_services.h"
#include "platform/webengine/webengine_host.h"
#include "records/timetable.h"
#include "site_server.h"
#include "soak_clock.h"
#include "soak_faults.h"
#include "soak_report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

using namespace lumora;
using namespace lumora::bench;

namespace {

constexpr int kHeartbeatRealMs = 50; // 20 simulated seconds
constexpr int kProgressSeconds = 60; // the site's record: a progress report every minute
constexpr int kGiveUpRealMinutes = 14;
constexpr std::int64_t kSampleEvery = 3 * kHour;
constexpr std::int64_t kVerboseSampleEvery = kHour;
const std::string kUser = "demo";

class SoakPlatform final : public platform::Platform
{
public:
    explicit SoakPlatform(const QString& storage) : host(storage) {}
    std::unique_ptr<platform::BrowserControl> createBrowser(QWidget* parent) override
    {
        return host.createBrowser(parent);
    }
    std::unique_ptr<platform::Timer> createTimer() override
    {
        return std::make_unique<SimulatedTimer>(simulatedClock);
    }
    platform::Clock& clock() override { return simulatedClock; }
    platform::Dialogs& dialogs() override { return boxes; } // never blocks the run
    platform::BrowsingData& browsingData() override { return host; }
    platform::SiteProbe& siteProbe() override { return probe; }
    platform::SleepInhibitor& sleepInhibitor() override { return awake; } // never asks the system
    bool hasSystemTray() override { return false; } // a night without a desktop

    platform::webengine::WebEngineHost host;
    SimulatedClock simulatedClock;
    testing::FakeDialogs boxes;
    platform::QtSiteProbe probe;
    testing::FakeSleepInhibitor awake;
};

template <typename Condition> bool waitFor(Condition condition, std::int64_t timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// The program's log on stderr, each line stamped with the simulated hour of the run.
std::int64_t g_runStartMs = 0;
void stampedMessage(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    std::fprintf(stderr, "%7.3f h %s: %s\n",
                 static_cast<double>(simulatedNowMs() - g_runStartMs) / kHour,
                 context.category ? context.category : "", qPrintable(message));
}

// Logs in as a learner would and presses "连续学习" once the course page shows.
bool logInAndStart(window::MainWindow& mainWindow)
{
    if (!waitFor(
            [&] { return mainWindow.mainView().readyState() == platform::ReadyState::Complete; },
            60000)) {
        std::fprintf(stderr, "soak: the login page did not load\n");
        return false;
    }
    mainWindow.loginButton()->click();
    if (!waitFor(
            [&] {
                return mainWindow.studyButton()->isEnabled() &&
                       mainWindow.mainView().readyState() == platform::ReadyState::Complete;
            },
            60000)) {
        std::fprintf(stderr, "soak: the login did not reach the course page\n");
        return false;
    }
    g_runStartMs = simulatedNowMs();
    mainWindow.studyButton()->click();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --js-flags=--expose-gc");
    if (!qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") +
                                                  " --disable-gpu --disable-background-networking");
    testing::prepareHeadlessEngine();
    qInstallMessageHandler(stampedMessage);
    QApplication app(argc, argv);
    const bool verbose = QCoreApplication::arguments().contains(QStringLiteral("--verbose"));
    QElapsedTimer wall;
    wall.start();
    const auto realLeftMs = [&] { return kGiveUpRealMinutes * 60'000 - wall.elapsed(); };

    // The site stamps its record with milliseconds since it started, on the simulated clock;
    // every time below is on that clock.
    const std::int64_t siteStartMs = simulatedNowMs();
    const auto siteNowMs = [siteStartMs] { return simulatedNowMs() - siteStartMs; };
    site::SiteOptions options;
    options.port = 0;
    options.heartbeatMs = kHeartbeatRealMs;
    options.clockMs = simulatedNowMs;
    options.sessionLifetimeMs = kSessionLifetime;
    options.playerFailureRate = 0.05;
    options.playerFailureSeed = 7;
    options.timeScale = static_cast<double>(kSpeedup);
    options.crossOriginCategories = {kCrossOriginCategory};
    options.progressSeconds = kProgressSeconds;
    options.dailyCapMinutes = kDailyCapMinutes;
    site::SiteServer site(options);
    if (site.start() <= 0) {
        std::fprintf(stderr, "soak: the site did not start: %s\n", site.lastError().c_str());
        return 1;
    }

    QTemporaryDir dir;
    QFile state(dir.filePath(QStringLiteral("boot.txt")));
    if (!state.open(QIODevice::WriteOnly) || state.write("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n") < 0)
        return 1;
    state.close();
    SoakPlatform platform(dir.filePath(QStringLiteral("browser")));
    SimulatedClock& clock = platform.simulatedClock;
    app::AppConfig config;
    config.site = QUrl(QString::fromStdString(site.baseUrl()));
    config.stateFilePath = state.fileName();
    config.dataFolder = dir.path();
    app::Program program(platform, config);
    SimulatedTimer::gate = &program.gate();
    SimulatedTimer::pageLoading = [&program, &site] {
        for (platform::BrowserControl* view :
             {&program.window().mainView(), &program.window().playerView()}) {
            const platform::ReadyState state = view->readyState();
            if (state == platform::ReadyState::Loading ||
                state == platform::ReadyState::Interactive)
                return true;
        }
        // A player's video starting (its media asked for and decoded) takes as long as on a
        // learner's machine too, where it is a second of the tick's twenty.
        return site.videoStarting();
    };
    SimulatedTimer::answerOnItsWay = courseFrameLate;
    window::MainWindow& mainWindow = program.window();
    program.start();
    mainWindow.resize(1440, 900);
    mainWindow.show();

    RunLog log([&program](Lesson lesson) {
        return program.records()
            .lesson(lesson.first, lesson.second)
            .value_or(records::LessonMinutes{})
            .target();
    });
    // The judge's own check: the first lesson the program leaves done, with its minutes and the
    // record's then.
    std::optional<FirstDone> firstDone;
    QObject::connect(
        &program.run(), &study::StudyRun::runEvent, &mainWindow, [&](const records::RunEvent& e) {
            log.take(e, siteNowMs());
            if (e.kind != records::RunEventKind::LessonDone || firstDone)
                return;
            firstDone = FirstDone{static_cast<double>(siteNowMs() - log.runStartMs) / kHour,
                                  program.records().lesson(e.category, e.lesson)->studied,
                                  lessonMs(site.recordMilliseconds(kUser), {e.category, e.lesson})};
        });

    if (!logInAndStart(mainWindow))
        return 1;
    const std::int64_t startMs = g_runStartMs;
    log.runStartMs = startMs - siteStartMs;

    // The site's counts over the run, polled from the fault timer: its record (the judge) and
    // the heartbeats' watched time (for comparison).
    CountSeries record(kSiteDay, kDailyCapMinutes * kMinute);
    CountSeries watched(kSiteDay, 0);
    const auto pollSite = [&] {
        record.poll(siteNowMs(), site.recordMilliseconds(kUser));
        watched.poll(siteNowMs(), site.watchedMilliseconds(kUser));
    };

    std::int64_t wokeAtMs = -1; // site clock
    std::vector<Fault> faults = faultSchedule(site, clock, [&] { wokeAtMs = siteNowMs(); });
    // The memory of each kind of process over the run, to tell growth from warm-up.
    QStringList pssSeries;
    std::int64_t nextSampleMs = 0;
    bool capTold = false;
    QTimer faultTimer;
    faultTimer.setInterval(10);
    QObject::connect(&faultTimer, &QTimer::timeout, &faultTimer, [&] {
        const std::int64_t sim = simulatedNowMs() - startMs;
        pollSite();
        if (record.capReachedMs() >= 0 && !std::exchange(capTold, true))
            std::fprintf(stderr, "soak: the record's day reached its cap (%d min) at %.2f h\n",
                         kDailyCapMinutes,
                         static_cast<double>(record.capReachedMs() - log.runStartMs) / kHour);
        // In order: a fault waits for the one before it.
        for (Fault& fault : faults) {
            if (fault.firedMs >= 0)
                continue;
            if (sim >= fault.atMs && fault.act())
                fault.firedMs = sim;
            break;
        }
        // Between handlers only: the measurement asks the pages. The world's clock stands still
        // meanwhile, so the run does not notice.
        if (sim >= nextSampleMs && !program.gate().handlerRunning()) {
            nextSampleMs += verbose ? kVerboseSampleEvery : kSampleEvery;
            world().stop();
            const std::vector<ProcessPss> tree = settledPss(mainWindow);
            world().go();
            pssSeries << QStringLiteral("  %1 h, %2 links clicked: %3; this process's heap in use "
                                        "%4 MB (%5 MB freed and kept)")
                             .arg(sim / kHour, 2)
                             .arg(log.linksClicked, 3)
                             .arg(describe(pssByRole(tree)), megabytes(heapInUseKb()),
                                  megabytes(heapFreeKb()));
            std::fprintf(stderr, "soak: %s, %zu minutes credited\n", qPrintable(pssSeries.last()),
                         log.credits.size());
            if (verbose)
                std::fprintf(stderr, "soak: %lld h by process: %s\n",
                             static_cast<long long>(sim / kHour),
                             qPrintable(describeProcesses(tree)));
        }
    });
    faultTimer.start();

    // Measured outside the event handler: the measurement waits, and asks the pages.
    waitFor([&] { return log.firstDone || log.ended; }, realLeftMs());
    const std::vector<ProcessPss> pssFirst = settledPss(mainWindow);
    waitFor([&] { return log.ended; }, realLeftMs());
    faultTimer.stop();
    const std::int64_t runMs = simulatedNowMs() - startMs;
    const std::int64_t runEndMs = siteNowMs();

    // The site's counts and its event record, read with its clock held: a report meanwhile
    // moves nothing, so the two agree.
    world().stop();
    pollSite();
    std::string json = site.eventsJson();
    const site::LessonTotals pageTime = site.studyMilliseconds(kUser);
    world().go();
    const SiteLog siteLog = readSiteLog(QByteArray::fromStdString(json), kSiteDay);
    // For a lesson that does not add up: what the site saw, and what the program did when
    // (site clock; the kind as records::RunEventKind's number).
    if (const QString keep = qEnvironmentVariable("SOAK_RECORD_DIR"); !keep.isEmpty()) {
        QFile siteRecord(keep + QStringLiteral("/site-record.json"));
        QFile eventFile(keep + QStringLiteral("/run-events.tsv"));
        if (siteRecord.open(QIODevice::WriteOnly) && eventFile.open(QIODevice::WriteOnly)) {
            siteRecord.write(json.data(), static_cast<qint64>(json.size()));
            eventFile.write(log.events.join('\n') + '\n');
        }
    }
    // Megabytes of the judge's, not the program's: gone before the memory is measured.
    std::string().swap(json);

    // The stand-in site shares this process: the record it kept for the judgement is not the
    // program's memory, so it goes before the program's is measured.
    NightMemory memory{pssFirst, {}, settledPss(mainWindow), heapInUseKb(), 0, pssSeries};
    site.resetRecord();
    memory.end = settledPss(mainWindow);
    memory.heapAfterResetKb = heapInUseKb();

    const Night night{faults,
                      log,
                      record,
                      watched,
                      siteLog,
                      pageTime,
                      program.records(),
                      firstDone,
                      std::move(memory),
                      {clock.waits, clock.lengthenedWaits, clock.realWaitMs,
                       SimulatedTimer::heldTicks, SimulatedTimer::heldRealMs},
                      runMs,
                      runEndMs,
                      wokeAtMs,
                      wall.elapsed()};
    return reportNight(night) ? 0 : 1;
}
