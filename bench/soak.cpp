// Soak: the whole timetable (45 lessons in 4 categories, about 38 simulated hours) with the real
// engine against the in-process stand-in site, time compressed 400 times: a 20-second study tick
// takes 50 ms. Faults are on all the way (see `faultSchedule`).
//
// Judged by the site's own record of watched time (heartbeats while the lesson's video played
// and advanced), not by the program's events nor by the time its pages were open. One lesson's
// video link is broken all night (404): the site can never count it, so it is expected skipped
// with nothing credited, and "done" is then at most 44 of 45.
//
// Stalls: the longest stretch of simulated time in which the site credited no watched minute,
// less the time the site itself (maintenance, outage, stall) or the machine (asleep) made it
// impossible; and per session that ended, the minutes from its end to the next watched minute.
//
// Memory: the proportional set size of the process tree.
//
// Category 2's players play their video in a frame served from another origin (the site's second
// port), and at 15 h every video source answers 404 for 20 minutes.
//
// Last line: "soak: done D/45 by the site, short S, over-credited M min, skipped K, longest
// stall T min, wall/ideal W, pss growth G%": K the lessons the program skipped and did not give
// back to the run (a lesson skipped as the site's trouble began is given back), W the simulated
// time of the run over the timetable's own minimum (every lesson's required minutes plus one).

#include "app/program.h"
#include "fake_platform.h"
#include "headless_engine.h"
#include "platform/qt_services.h"
#include "platform/webengine/webengine_host.h"
#include "process_memory.h"
#include "records/timetable.h"
#include "site_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>

using namespace lumora;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kSpeedup = 400;
constexpr std::int64_t kMinRealWaitMs = 300; // a page load, whatever the clock says
constexpr std::int64_t kMinRealPollMs = 10;  // an answer from the page
constexpr std::int64_t kMinute = 60'000;     // simulated milliseconds
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kSessionLifetime = 3 * kHour;
constexpr std::int64_t kSleepFor = 30 * kMinute;
constexpr int kHeartbeatRealMs = 50; // 20 simulated seconds
constexpr int kGiveUpRealMinutes = 14;
constexpr std::int64_t kSampleEvery = 3 * kHour;
constexpr int kSlowPageMs = 4000;                  // the course page and the lesson list, simulated
constexpr std::pair<int, int> kMissingVideo{1, 4}; // (category, lesson) whose video answers 404
constexpr int kCrossOriginCategory = 2; // its players play their video in a frame of another origin
constexpr std::int64_t kVideoOutage = 20 * kMinute; // every video source answers 404 meanwhile

// Simulated time. Between the program's handlers it runs 400 times faster than real time; in a
// study tick's handler it runs at real speed, because the program's work there (its calls into
// the pages, the engine's own timeouts) takes as long as on a learner's machine; and a wait of
// the program's clock takes it to the wait's deadline at once and holds it there while the
// engine gets the real time it needs (see SimulatedClock). Study ticks follow this clock. Safe
// from any thread: the site reads it from its own.
class WorldClock
{
public:
    struct Pace
    {
        std::int64_t rate;     // simulated per real
        std::int64_t holdAtUs; // the clock goes no further
    };

    std::int64_t nowMs() const
    {
        const std::lock_guard lock(m_mutex);
        return nowUsLocked() / 1000;
    }
    // From now on `rate` simulated milliseconds a real one; returns the pace before.
    Pace setRate(std::int64_t rate)
    {
        const std::lock_guard lock(m_mutex);
        rebaseLocked();
        const Pace before = m_pace;
        m_pace.rate = rate;
        return before;
    }
    // Fast to `deadlineMs`, then held there until restore(); returns the pace before.
    Pace holdAt(std::int64_t deadlineMs)
    {
        const std::lock_guard lock(m_mutex);
        rebaseLocked();
        const Pace before = m_pace;
        m_pace = {kSpeedup, std::max(deadlineMs * 1000, m_baseUs)};
        return before;
    }
    // Stops the clock until as many go() calls. Stops are counted apart from the pace, because
    // they overlap the paces that waits and ticks save and put back in any order (a page's load
    // held across a wait or a measurement): a saved pace put back would stop the clock for good.
    void stop()
    {
        const std::lock_guard lock(m_mutex);
        rebaseLocked();
        ++m_stops;
    }
    void go()
    {
        const std::lock_guard lock(m_mutex);
        rebaseLocked();
        --m_stops;
    }
    void restore(Pace pace)
    {
        const std::lock_guard lock(m_mutex);
        rebaseLocked();
        // An inner wait may have taken the clock past an outer one's deadline: never back.
        pace.holdAtUs = std::max(pace.holdAtUs, m_baseUs);
        m_pace = pace;
    }

private:
    static std::int64_t realUs()
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t rateLocked() const { return m_stops > 0 ? 0 : m_pace.rate; }
    std::int64_t nowUsLocked() const
    {
        return std::min(m_baseUs + (realUs() - m_baseRealUs) * rateLocked(), m_pace.holdAtUs);
    }
    void rebaseLocked()
    {
        const std::int64_t real = realUs();
        m_baseUs = std::min(m_baseUs + (real - m_baseRealUs) * rateLocked(), m_pace.holdAtUs);
        m_baseRealUs = real;
    }

    mutable std::mutex m_mutex;
    std::int64_t m_baseUs = 0;
    std::int64_t m_baseRealUs = realUs();
    Pace m_pace{kSpeedup, INT64_MAX};
    int m_stops = 0;
};

WorldClock& world()
{
    static WorldClock clock;
    return clock;
}

std::int64_t simulatedNowMs()
{
    return world().nowMs();
}

class SimulatedClock final : public platform::Clock
{
public:
    std::chrono::milliseconds now() const override
    {
        return std::chrono::milliseconds(simulatedNowMs());
    }
    std::chrono::milliseconds wallNow() const override { return now() + slept; }
    void processEventsUntil(std::chrono::milliseconds deadline) override
    {
        // The program's longer waits are for a page to show what it needs; its short ones (a
        // twentieth of a second), for an answer.
        const std::int64_t asked = (deadline - now()).count();
        const std::int64_t scaled = asked / kSpeedup;
        const std::int64_t floor = asked >= 500 ? kMinRealWaitMs : kMinRealPollMs;
        ++waits;
        lengthenedWaits += scaled < floor ? 1 : 0;
        QElapsedTimer waited;
        waited.start();
        const WorldClock::Pace before = world().holdAt(deadline.count());
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::max(scaled, floor)), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec();
        world().restore(before);
        realWaitMs += waited.elapsed();
    }
    // How long the simulated machine has slept: the wall clock is that far ahead.
    std::chrono::milliseconds slept{0};
    // While the simulated machine sleeps, the study clock delivers no tick.
    bool asleep = false;
    int waits = 0;
    int lengthenedWaits = 0;
    std::int64_t realWaitMs = 0;
};

// The study clock: a tick every interval of simulated time; like a QTimer, one tick for a
// handler that ran late, and none while its own handler runs. Silent while the machine sleeps.
// A page still loading when a tick is due, or a player's video still starting, holds the world's
// clock (up to a second of real time) until it has loaded or started: on a learner's machine
// twenty seconds are plenty for either, fifty milliseconds are not.
class SimulatedTimer final : public platform::Timer
{
public:
    static constexpr int kMaxLoadHoldRealMs = 1000;
    // Set once the program exists: its event gate, and whether a view has a page loading.
    inline static const platform::EventGate* gate = nullptr;
    inline static std::function<bool()> pageLoading;
    inline static int heldTicks = 0;
    inline static std::int64_t heldRealMs = 0;

    explicit SimulatedTimer(const SimulatedClock& clock) : m_clock(clock)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &SimulatedTimer::onTimeout);
    }
    ~SimulatedTimer() override { endHold(); }
    Q_DISABLE_COPY_MOVE(SimulatedTimer)

    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        if (enabled && !m_enabled) {
            m_dueMs = simulatedNowMs() + m_interval;
            schedule();
        } else if (!enabled) {
            m_timer.stop();
            endHold();
        }
        m_enabled = enabled;
    }
    bool isEnabled() const override { return m_enabled; }

private:
    void onTimeout()
    {
        const std::int64_t now = simulatedNowMs();
        // A tick that comes while another handler runs waits for it here rather than at the
        // gate, so that it runs in the real-speed bracket below.
        if (now >= m_dueMs && !(gate && gate->handlerRunning())) {
            if (!m_clock.asleep && pageLoading && pageLoading()) {
                if (!m_hold) {
                    m_hold = true;
                    world().stop();
                    m_held.start();
                }
                if (m_held.elapsed() < kMaxLoadHoldRealMs) {
                    m_timer.start(2);
                    return;
                }
            }
            endHold();
            m_dueMs += m_interval;
            if (m_dueMs <= now)
                m_dueMs = now + m_interval;
            if (!m_clock.asleep) {
                const WorldClock::Pace before = world().setRate(1);
                emit tick();
                world().restore(before);
            }
        }
        if (m_enabled)
            schedule();
    }
    void schedule()
    {
        const std::int64_t left = m_dueMs - simulatedNowMs();
        m_timer.start(static_cast<int>(std::max<std::int64_t>(1, left / kSpeedup)));
    }
    void endHold()
    {
        if (!m_hold)
            return;
        ++heldTicks;
        heldRealMs += m_held.elapsed();
        m_hold = false;
        world().go();
    }

    const SimulatedClock& m_clock;
    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    std::int64_t m_dueMs = 0;
    bool m_hold = false; // the clock is stopped for a page loading
    QElapsedTimer m_held;
};

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

    platform::webengine::WebEngineHost host;
    SimulatedClock simulatedClock;
    testing::FakeDialogs boxes;
    platform::QtSiteProbe probe;
    testing::FakeSleepInhibitor awake;
};

// PSS by role ("program", "renderer", "zygote" ...) and in all ("total"), kB.
struct RolePss
{
    long long kb = 0, anonKb = 0, fileKb = 0, shmemKb = 0;
};
std::map<QString, RolePss> pssByRole(const std::vector<bench::ProcessPss>& tree)
{
    std::map<QString, RolePss> roles;
    for (const bench::ProcessPss& process : tree) {
        for (const QString& role : {process.role, QStringLiteral("total")}) {
            RolePss& sum = roles[role];
            sum.kb += process.kb;
            sum.anonKb += process.anonKb;
            sum.fileKb += process.fileKb;
            sum.shmemKb += process.shmemKb;
        }
    }
    return roles;
}

QString megabytes(long long kb)
{
    return QString::number(static_cast<double>(kb) / 1024, 'f', 1);
}

// "program 120.3 MB (anon 80.1, file 38.0, shmem 2.2), ..."
QString describe(const std::map<QString, RolePss>& roles)
{
    QStringList parts;
    for (const auto& [role, pss] : roles)
        parts << QStringLiteral("%1 %2 MB (anon %3, file %4, shmem %5)")
                     .arg(role, megabytes(pss.kb), megabytes(pss.anonKb), megabytes(pss.fileKb),
                          megabytes(pss.shmemKb));
    return parts.join(QStringLiteral(", "));
}

// The process tree's memory once the pages' garbage is collected: the median of five samples
// (a sample taken while a process comes or goes misses it).
std::vector<bench::ProcessPss> settledPss(window::MainWindow& mainWindow)
{
    for (platform::BrowserControl* view : {&mainWindow.mainView(), &mainWindow.playerView()})
        platform::webengine::WebEngineHost::runScriptForText(
            *view, QStringLiteral("typeof gc === 'function' ? (gc(), 'collected') : 'no gc'"));
    malloc_trim(0); // what this process freed goes back to the system, as garbage does above
    std::vector<std::pair<long long, std::vector<bench::ProcessPss>>> samples;
    for (int sample = 0; sample < 5; ++sample) {
        QEventLoop pause;
        QTimer::singleShot(200, &pause, &QEventLoop::quit);
        pause.exec();
        std::vector<bench::ProcessPss> tree = bench::treePss(QCoreApplication::applicationPid());
        const long long kb = pssByRole(tree)[QStringLiteral("total")].kb;
        samples.emplace_back(kb, std::move(tree));
    }
    std::sort(samples.begin(), samples.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return samples.at(samples.size() / 2).second;
}

// What this process's malloc has handed out and not taken back, kB.
long long heapInUseKb()
{
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long long>((heap.uordblks + heap.hblkhd) / 1024);
}

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

struct Credit
{
    std::int64_t atMs; // site clock
    int category;
    int lesson;
};

// One fault, at a simulated time after the run's start. `act` returns false when it could not
// happen yet (it is tried again).
struct Fault
{
    // Whether it begins or ends a time in which the site cannot count (the site is down, the
    // machine asleep).
    enum Window
    {
        None,
        Begins,
        Ends
    };
    std::int64_t atMs;
    QString what;
    std::function<bool()> act;
    Window window = None;
    std::int64_t firedMs = -1;
};

// The longest gap between `minutes` (site clock, ascending, from `fromMs` to `toMs`), less the
// parts of it in `excused` windows, and where it began; and the longest raw gap that overlapped
// one.
struct Stalls
{
    std::int64_t longest = 0;
    std::int64_t longestFromMs = 0;
    std::int64_t longestExcused = 0;
};

Stalls longestStall(const std::vector<std::int64_t>& minutes, std::int64_t fromMs,
                    std::int64_t toMs,
                    const std::vector<std::pair<std::int64_t, std::int64_t>>& excused)
{
    Stalls stalls;
    std::int64_t previous = fromMs;
    for (std::size_t i = 0; i <= minutes.size(); ++i) {
        const std::int64_t next = i < minutes.size() ? minutes[i] : toMs;
        std::int64_t overlap = 0;
        for (const auto& [begin, end] : excused)
            overlap += std::max<std::int64_t>(0, std::min(end, next) - std::max(begin, previous));
        if (next - previous - overlap > stalls.longest) {
            stalls.longest = next - previous - overlap;
            stalls.longestFromMs = previous;
        }
        if (overlap > 0)
            stalls.longestExcused = std::max(stalls.longestExcused, next - previous);
        previous = std::max(previous, next);
    }
    return stalls;
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
    QElapsedTimer wall;
    wall.start();
    const auto realLeftMs = [&] { return kGiveUpRealMinutes * 60'000 - wall.elapsed(); };

    // The site stamps its record with milliseconds since it started, on the simulated clock.
    const std::int64_t siteStartMs = simulatedNowMs();
    site::SiteOptions options;
    options.port = 0;
    options.heartbeatMs = kHeartbeatRealMs;
    options.clockMs = simulatedNowMs;
    options.sessionLifetimeMs = kSessionLifetime;
    options.playerFailureRate = 0.05;
    options.playerFailureSeed = 7;
    options.timeScale = static_cast<double>(kSpeedup);
    options.crossOriginCategories = {kCrossOriginCategory};
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
    window::MainWindow& mainWindow = program.window();
    program.start();
    mainWindow.resize(1440, 900);
    mainWindow.show();

    // What the program says it did: only for the diagnostics and the credited minutes.
    std::map<std::pair<int, int>, int> creditedBy; // (category, lesson) -> minutes
    std::vector<Credit> credits;                   // in order
    QByteArrayList runEvents;                      // every one, for SOAK_RECORD_DIR
    int recoveries = 0;
    int skipped = 0;
    int givenBack = 0;
    int reopened = 0;
    int linksClicked = 0;
    QStringList resumes;
    bool ended = false;
    bool firstLessonDone = false;
    std::set<std::pair<int, int>> skippedLessons;
    QObject::connect(
        &program.run(), &study::StudyRun::runEvent, &mainWindow, [&](const records::RunEvent& e) {
            runEvents << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                             .arg(simulatedNowMs() - siteStartMs)
                             .arg(static_cast<int>(e.kind))
                             .arg(e.category)
                             .arg(e.lesson)
                             .arg(e.minutes)
                             .arg(e.detail)
                             .toUtf8();
            switch (e.kind) {
            case records::RunEventKind::MinuteCredited:
                ++creditedBy[{e.category, e.lesson}];
                credits.push_back({simulatedNowMs() - siteStartMs, e.category, e.lesson});
                break;
            case records::RunEventKind::SessionRecovered:
                ++recoveries;
                break;
            case records::RunEventKind::LessonSkipped:
                ++skipped;
                skippedLessons.insert({e.category, e.lesson});
                break;
            case records::RunEventKind::LessonGivenBack: // the site's trouble, not the lesson's
                ++givenBack;
                skippedLessons.erase({e.category, e.lesson});
                break;
            case records::RunEventKind::PageFailed:
                ++reopened;
                break;
            case records::RunEventKind::Resumed:
                resumes << QString::number(e.minutes);
                break;
            case records::RunEventKind::LessonDone:
                firstLessonDone = true;
                break;
            case records::RunEventKind::LessonOpened:
                ++linksClicked;
                break;
            case records::RunEventKind::RunEnded:
            case records::RunEventKind::RunPaused:
                ended = true;
                break;
            default:
                break;
            }
        });

    // Log in as a learner would, then start the run.
    if (!waitFor(
            [&] { return mainWindow.mainView().readyState() == platform::ReadyState::Complete; },
            60000)) {
        std::fprintf(stderr, "soak: the login page did not load\n");
        return 1;
    }
    mainWindow.loginButton()->click();
    // A learner presses "连续学习" once the course page shows, not while it still loads.
    if (!waitFor(
            [&] {
                return mainWindow.studyButton()->isEnabled() &&
                       mainWindow.mainView().readyState() == platform::ReadyState::Complete;
            },
            60000)) {
        std::fprintf(stderr, "soak: the login did not reach the course page\n");
        return 1;
    }
    const std::int64_t startMs = simulatedNowMs();
    g_runStartMs = startMs;
    mainWindow.studyButton()->click();

    // When the site counted each watched minute (site clock), polled from the fault timer.
    std::vector<std::int64_t> siteMinutes;
    std::map<std::pair<int, int>, std::int64_t> siteMinutesSeen;
    const auto pollSite = [&] {
        const std::int64_t now = simulatedNowMs() - siteStartMs;
        for (const auto& [lesson, ms] : site.watchedMilliseconds("demo")) {
            for (std::int64_t& seen = siteMinutesSeen[lesson]; seen < ms / kMinute; ++seen)
                siteMinutes.push_back(now);
        }
    };

    // The faults, by the simulated clock since the start of the run.
    std::int64_t wokeAtMs = -1; // site clock
    const auto endSessionsUnderPlayer = [&site] {
        site.setEndedSessionKeepsPlayer(true);
        site.endAllSessions();
        return true;
    };
    const auto hangOne = [&site] {
        site.hangNextPlayers(1);
        return true;
    };
    const auto playersGoToLogin = [&site] {
        site.setEndedSessionKeepsPlayer(false);
        return true;
    };
    const auto videosEndAfter = [&site](int seconds) {
        return [&site, seconds] {
            site.setVideoSeconds(seconds);
            return true;
        };
    };
    const auto maintenance = [&site](bool on) {
        return [&site, on] {
            site.setMaintenance(on);
            return true;
        };
    };
    const auto overlayAfter = [&site](int seconds) {
        return [&site, seconds] {
            site.setOverlayAfter(seconds);
            return true;
        };
    };
    std::vector<Fault> faultSchedule = {
        {0, QStringLiteral("one lesson's video answers 404, all night"),
         [&site] {
             site.setLessonMedia(kMissingVideo.first, kMissingVideo.second,
                                 site::PlayerMedia::Missing);
             return true;
         }},
        // After the first lesson has opened, so that a run that cannot open a category on a
        // slow site still meets the other faults.
        {kHour, QStringLiteral("the course page and the lesson list are slow, all night"),
         [&site] {
             site.setPathDelay(QStringLiteral("/course/main"), kSlowPageMs);
             site.setPathDelay(QStringLiteral("/course/lessons"), kSlowPageMs);
             return true;
         }},
        {2 * kHour, QStringLiteral("a player hangs"), hangOne},
        {3 * kHour, QStringLiteral("videos end after 10 min"), videosEndAfter(10 * 60)},
        {5 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {5 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {8 * kHour, QStringLiteral("stall"), [&site] { return site.beginStall(); }, Fault::Begins},
        {8 * kHour + 10 * kMinute, QStringLiteral("stall ends"),
         [&site] { return site.endStall(); }, Fault::Ends},
        {9 * kHour, QStringLiteral("videos never end"), videosEndAfter(0)},
        {10 * kHour, QStringLiteral("maintenance"), maintenance(true), Fault::Begins},
        {11 * kHour, QStringLiteral("maintenance ends"), maintenance(false), Fault::Ends},
        {12 * kHour, QStringLiteral("outage"), [&site] { return site.beginOutage(); },
         Fault::Begins},
        {12 * kHour + 15 * kMinute, QStringLiteral("outage ends"),
         [&site] { return site.endOutage(); }, Fault::Ends},
        {13 * kHour, QStringLiteral("ended sessions get the timeout page, from now on"),
         [&site] {
             site.setEndedSessionPage(site::EndedSessionPage::TimeoutPage);
             return true;
         }},
        {14 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {14 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {15 * kHour, QStringLiteral("every video source answers 404 for 20 min"),
         [&site] {
             site.setVideoOutage(404, kVideoOutage);
             return true;
         },
         Fault::Begins},
        {15 * kHour + kVideoOutage, QStringLiteral("the videos are back"),
         [&site] { return !site.inVideoOutage(); }, Fault::Ends},
        {17 * kHour, QStringLiteral("a player hangs"), hangOne},
        {20 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {20 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {22 * kHour, QStringLiteral("players pause behind a question after 15 min"),
         overlayAfter(15 * 60)},
        {24 * kHour, QStringLiteral("players ask no question"), overlayAfter(0)},
        {26 * kHour, QStringLiteral("the machine sleeps"),
         [&clock] {
             clock.asleep = true;
             return true;
         },
         Fault::Begins},
        {26 * kHour + kSleepFor / 2, QStringLiteral("sessions end during the sleep"),
         endSessionsUnderPlayer},
        {26 * kHour + kSleepFor, QStringLiteral("the machine wakes"),
         [&] {
             clock.slept += std::chrono::milliseconds(kSleepFor);
             clock.asleep = false;
             wokeAtMs = simulatedNowMs() - siteStartMs;
             return true;
         },
         Fault::Ends},
        {27 * kHour, QStringLiteral("ended players go to the login page"), playersGoToLogin},
    };
    // The memory of each kind of process over the run, to tell growth from warm-up.
    QStringList pssSeries;
    std::int64_t nextSampleMs = 0;
    QTimer faults;
    faults.setInterval(10);
    QObject::connect(&faults, &QTimer::timeout, &faults, [&] {
        const std::int64_t sim = simulatedNowMs() - startMs;
        pollSite();
        // In order: a fault waits for the one before it.
        for (Fault& fault : faultSchedule) {
            if (fault.firedMs >= 0)
                continue;
            if (sim >= fault.atMs && fault.act())
                fault.firedMs = sim;
            break;
        }
        // Between handlers only: the measurement asks the pages. The world's clock stands still
        // meanwhile, so the run does not notice.
        if (sim >= nextSampleMs && !program.gate().handlerRunning()) {
            nextSampleMs += kSampleEvery;
            world().stop();
            const auto roles = pssByRole(settledPss(mainWindow));
            world().go();
            pssSeries << QStringLiteral("  %1 h, %2 links clicked: %3; this process's heap in use "
                                        "%4 MB")
                             .arg(sim / kHour, 2)
                             .arg(linksClicked, 3)
                             .arg(describe(roles), megabytes(heapInUseKb()));
            std::fprintf(stderr, "soak: %s, %zu minutes credited\n", qPrintable(pssSeries.last()),
                         credits.size());
        }
    });
    faults.start();

    // Measured outside the event handler: the measurement waits, and asks the pages.
    waitFor([&] { return firstLessonDone || ended; }, realLeftMs());
    const std::vector<bench::ProcessPss> pssFirst = settledPss(mainWindow);
    waitFor([&] { return ended; }, realLeftMs());
    faults.stop();
    pollSite();
    const std::int64_t runMs = simulatedNowMs() - startMs;

    // The site's record: watched time counted per lesson (only heartbeats with a valid session
    // while the video played count), and when it saw logins and sessions end.
    const site::LessonTotals counted = site.watchedMilliseconds("demo");
    const site::LessonTotals pageTime = site.studyMilliseconds("demo");
    std::vector<std::int64_t> logins;
    std::vector<std::int64_t> sessionEnds;
    qsizetype recordedEvents = 0;
    {
        const std::string json = site.eventsJson();
        // For a lesson that does not add up: what the site saw, and what the program did when
        // (site clock; the kind as records::RunEventKind's number).
        if (const QString keep = qEnvironmentVariable("SOAK_RECORD_DIR"); !keep.isEmpty()) {
            QFile siteRecord(keep + QStringLiteral("/site-record.json"));
            QFile eventFile(keep + QStringLiteral("/run-events.tsv"));
            if (siteRecord.open(QIODevice::WriteOnly) && eventFile.open(QIODevice::WriteOnly)) {
                siteRecord.write(json.data(), static_cast<qint64>(json.size()));
                eventFile.write(runEvents.join('\n') + '\n');
            }
        }
        const QJsonObject record =
            QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
        const QJsonArray events = record.value(QStringLiteral("events")).toArray();
        recordedEvents = events.size();
        for (const QJsonValue& value : events) {
            const QJsonObject event = value.toObject();
            const QString kind = event.value(QStringLiteral("kind")).toString();
            if (kind == QLatin1String("login") && event.value(QStringLiteral("ok")).toBool())
                logins.push_back(event.value(QStringLiteral("ms")).toInteger());
            if (kind == QLatin1String("session-expired") ||
                (kind == QLatin1String("sessions-ended") &&
                 event.value(QStringLiteral("sessions")).toInt() > 0))
                sessionEnds.push_back(event.value(QStringLiteral("ms")).toInteger());
        }
    }

    int done = 0;
    int shortOnes = 0;
    int overCredited = 0;
    int lessons = 0;
    int creditedTotal = 0;
    int idealMinutes = 0; // the timetable's own minimum: every lesson's required minutes plus one
    bool missingSkipped = false;
    for (int c = 0; c < records::kCategoryCount; ++c) {
        for (int i = 0; i < program.records().lessonCount(c); ++i, ++lessons) {
            const records::LessonMinutes m = *program.records().lesson(c, i);
            const int required = m.required;
            idealMinutes += m.target();
            const int studied = m.studied;
            const bool markedDone = m.done();
            const auto found = counted.find({c, i});
            const std::int64_t countedMs = found == counted.end() ? 0 : found->second;
            const int countedMinutes = static_cast<int>(countedMs / kMinute);
            const int credited = creditedBy[{c, i}];
            creditedTotal += credited;
            if (std::pair{c, i} == kMissingVideo)
                missingSkipped = skippedLessons.contains({c, i}) && credited == 0 && !markedDone;
            const bool isShort = markedDone && countedMs < required * kMinute;
            const int over = std::max(0, credited - countedMinutes - 1);
            done += markedDone && !isShort ? 1 : 0;
            shortOnes += isShort ? 1 : 0;
            overCredited += over;
            if (isShort || over > 0 || !markedDone) {
                const auto page = pageTime.find({c, i});
                std::printf(
                    "category %d lesson %d: required %d min, studied %d, credited %d, "
                    "watched by the site's count %.1f min (its page open %.1f min)%s\n",
                    c, i + 1, required, studied, credited, static_cast<double>(countedMs) / kMinute,
                    static_cast<double>(page == pageTime.end() ? 0 : page->second) / kMinute,
                    isShort      ? " (short)"
                    : markedDone ? ""
                                 : " (not done)");
            }
        }
    }

    // After the wake-up the session had ended: a minute credited before the site saw the
    // program log in again was credited on what the program knew before the sleep.
    int creditedBeforeLogin = -1;
    if (wokeAtMs >= 0) {
        const auto login = std::lower_bound(logins.begin(), logins.end(), wokeAtMs);
        const std::int64_t loginMs = login == logins.end() ? INT64_MAX : *login;
        creditedBeforeLogin = static_cast<int>(
            std::count_if(credits.begin(), credits.end(), [&](const Credit& credit) {
                return credit.atMs >= wokeAtMs && credit.atMs < loginMs;
            }));
    }

    // The stand-in site shares this process: the record it kept for the comparison above is not
    // the program's memory, so it goes before the program's is measured.
    const std::vector<bench::ProcessPss> pssBeforeReset = settledPss(mainWindow);
    const long long heapBeforeReset = heapInUseKb();
    site.resetRecord();
    const std::vector<bench::ProcessPss> pssEnd = settledPss(mainWindow);
    const long long heapAfterReset = heapInUseKb();

    std::map<QString, RolePss> first = pssByRole(pssFirst);
    std::map<QString, RolePss> last = pssByRole(pssEnd);
    const long long firstKb = first[QStringLiteral("total")].kb;
    const long long lastKb = last[QStringLiteral("total")].kb;
    const double growth =
        firstKb > 0 ? 100.0 * static_cast<double>(lastKb - firstKb) / static_cast<double>(firstKb)
                    : 0.0;

    QStringList fired;
    bool allFaults = true;
    for (const Fault& fault : faultSchedule) {
        fired << QStringLiteral("%1 at %2 h")
                     .arg(
                         fault.what,
                         fault.firedMs < 0
                             ? QStringLiteral("-")
                             : QString::number(static_cast<double>(fault.firedMs) / kHour, 'f', 2));
        allFaults = allFaults && fault.firedMs >= 0;
    }

    // The site-made and machine-made windows, begin to end, by the site clock.
    std::vector<std::pair<std::int64_t, std::int64_t>> excused;
    for (const Fault& fault : faultSchedule) {
        const std::int64_t at = startMs - siteStartMs + fault.firedMs;
        if (fault.window == Fault::Begins && fault.firedMs >= 0)
            excused.emplace_back(at, INT64_MAX);
        else if (fault.window == Fault::Ends && fault.firedMs >= 0 && !excused.empty())
            excused.back().second = at;
    }
    const auto stall =
        longestStall(siteMinutes, startMs - siteStartMs, startMs - siteStartMs + runMs, excused);
    QStringList lostPerRecovery;
    for (const std::int64_t end : sessionEnds) {
        const auto next = std::upper_bound(siteMinutes.begin(), siteMinutes.end(), end);
        lostPerRecovery << (next == siteMinutes.end()
                                ? QStringLiteral("never")
                                : QString::number(static_cast<double>(*next - end) / kMinute, 'f',
                                                  1));
    }

    std::printf("simulated time: %.1f h in %.1f min of real time (x%lld)\n",
                static_cast<double>(runMs) / kHour, static_cast<double>(wall.elapsed()) / 60000.0,
                static_cast<long long>(kSpeedup));
    std::printf("faults: %s\n", qPrintable(fired.join(QStringLiteral("; "))));
    std::printf("minutes credited by the program: %d; lessons skipped: %d, of them given back "
                "to the run: %d\n",
                creditedTotal, skipped, givenBack);
    std::printf("players opened again: %d; session recoveries: %d; resumed after (min): %s\n",
                reopened, recoveries, qPrintable(resumes.join(QLatin1Char(' '))));
    std::printf("minutes credited after the wake-up before the site saw a new login: %d\n",
                creditedBeforeLogin);
    std::printf("lesson %d-%d, whose video answers 404 all night: %s\n", kMissingVideo.first,
                kMissingVideo.second + 1,
                missingSkipped ? "skipped, nothing credited (as it must)"
                               : "NOT skipped with nothing credited");
    std::printf("watched minutes counted by the site: %zu\n", siteMinutes.size());
    std::printf("longest stretch without a watched minute: %.1f simulated min outside the site's "
                "own faults and the sleep, from %.2f h; %.1f min for the longest one that "
                "overlapped them\n",
                static_cast<double>(stall.longest) / kMinute,
                static_cast<double>(stall.longestFromMs - (startMs - siteStartMs)) / kHour,
                static_cast<double>(stall.longestExcused) / kMinute);
    std::printf("program's waits: %d, %d of them lengthened for the engine, %.1f s in all\n",
                clock.waits, clock.lengthenedWaits, static_cast<double>(clock.realWaitMs) / 1000);
    std::printf("ticks held for a page to load: %d, %.1f s in all\n", SimulatedTimer::heldTicks,
                static_cast<double>(SimulatedTimer::heldRealMs) / 1000);
    std::printf("events in the site's record: %lld\n", static_cast<long long>(recordedEvents));
    std::printf("pss after the first lesson: %s\n", qPrintable(describe(first)));
    std::printf("pss at the end:             %s\n", qPrintable(describe(last)));
    std::printf("pss at the end, with the site's record: %s\n",
                qPrintable(describe(pssByRole(pssBeforeReset))));
    std::printf("this process's heap in use with the site's record: %s MB, without: %s MB\n",
                qPrintable(megabytes(heapBeforeReset)), qPrintable(megabytes(heapAfterReset)));
    std::printf("pss over the run:\n%s\n", qPrintable(pssSeries.join('\n')));
    std::printf("run %s\n", ended ? "ended" : "did not end in time");
    std::printf("minutes lost per session recovery (from its end to the next watched minute): "
                "%s\n",
                qPrintable(lostPerRecovery.join(QLatin1Char(' '))));
    const double wallOverIdeal =
        static_cast<double>(runMs) / static_cast<double>(std::max(idealMinutes, 1) * kMinute);
    const int skippedCount = static_cast<int>(skippedLessons.size());
    const bool met = ended && allFaults && creditedBeforeLogin == 0 && done >= lessons - 1 &&
                     shortOnes == 0 && overCredited == 0 && skippedCount <= 1 &&
                     stall.longest < 10 * kMinute && wallOverIdeal <= 1.12 && growth <= 10.0 &&
                     wall.elapsed() < 15 * 60'000;
    std::printf("soak: done %d/%d by the site, short %d, over-credited %d min, skipped %d, longest "
                "stall %.1f min, wall/ideal %.2f, pss growth %.1f%%\n",
                done, lessons, shortOnes, overCredited, skippedCount,
                static_cast<double>(stall.longest) / kMinute, wallOverIdeal, growth);
    return met ? 0 : 1;
}
