// Soak: the whole timetable (45 lessons in 4 categories) with the real engine against the
// in-process stand-in site, time compressed 400 times, so that a 20-second study tick takes
// 50 ms and the run about six minutes. Faults are on all the way: sessions end every three
// simulated hours, 5% of player loads fail, and the site is down for one simulated quarter hour.
//
// A minute counts as over-credited when the site counted no heartbeat of that lesson's player
// in the simulated minute it stands for (up to one heartbeat interval after the credit, since
// a player that has just opened reports a moment later).
//
// Waits of the program's own clock (its one-second waits, the login retries) are scaled like the
// ticks, but never shorter than the engine needs to load a page: the engine does not run faster
// because the clock does.
//
// Memory is measured as the proportional set size of the process tree, after a full garbage
// collection in both views' pages (the engine is started with V8's gc() exposed for this) and
// with this process's freed heap handed back to the system, as the least of a few samples: what
// is no longer used does not count as growth.
//
// Last line: "soak: completed C/45, over-credited M min, pss growth G%".

#include "app/program.h"
#include "fake_platform.h"
#include "headless_engine.h"
#include "platform/qt_services.h"
#include "platform/webengine/webengine_host.h"
#include "process_memory.h"
#include "records/timetable.h"
#include "site_server.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <map>

using namespace lumora;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kSpeedup = 400;
constexpr std::int64_t kMinRealWaitMs = 300; // a page load, whatever the clock says
constexpr std::int64_t kMinute = 60'000;     // simulated milliseconds
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kSessionLifetime = 3 * kHour;
constexpr std::int64_t kOutageAt = 12 * kHour;
constexpr std::int64_t kOutageFor = 15 * kMinute;
constexpr int kHeartbeatRealMs = 50; // 20 simulated seconds
constexpr int kGiveUpRealMinutes = 20;

// Simulated time: real time since the start, 400 times faster. Safe from any thread.
std::int64_t simulatedNowMs()
{
    static const auto start = std::chrono::steady_clock::now();
    const auto real = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(real).count() * kSpeedup;
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
        const std::int64_t real = std::max((deadline - now()).count() / kSpeedup, kMinRealWaitMs);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(real), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // How long the simulated machine has slept: the wall clock is that far ahead.
    std::chrono::milliseconds slept{0};
};

// The study clock, 400 times faster.
class SimulatedTimer final : public platform::Timer
{
public:
    SimulatedTimer() { connect(&m_timer, &QTimer::timeout, this, &Timer::tick); }
    void setInterval(int ms) override
    {
        m_interval = ms;
        m_timer.setInterval(static_cast<int>(std::max<std::int64_t>(1, ms / kSpeedup)));
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        if (enabled && !m_timer.isActive())
            m_timer.start();
        else if (!enabled)
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    int m_interval = 0;
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
        return std::make_unique<SimulatedTimer>();
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

// The process tree's memory once the pages' garbage is collected: the least of five samples.
long long settledPssKb(window::MainWindow& form, QStringList* detail)
{
    for (platform::BrowserControl* view : {&form.mainView(), &form.playerView()})
        platform::webengine::WebEngineHost::runScriptForText(
            *view, QStringLiteral("typeof gc === 'function' ? (gc(), 'collected') : 'no gc'"));
    malloc_trim(0); // what this process freed goes back to the system, as garbage does above
    long long least = 0;
    for (int sample = 0; sample < 5; ++sample) {
        QEventLoop pause;
        QTimer::singleShot(200, &pause, &QEventLoop::quit);
        pause.exec();
        QStringList processes;
        const long long pss = bench::treePssKb(QCoreApplication::applicationPid(), &processes);
        if (least == 0 || pss < least) {
            least = pss;
            *detail = processes;
        }
    }
    return least;
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

struct Credit
{
    std::int64_t atMs; // simulated, since the site started
    int category;
    int lesson;
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --js-flags=--expose-gc");
    if (!qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") +
                                                  " --disable-gpu --disable-background-networking");
    testing::prepareHeadlessEngine();
    QApplication app(argc, argv);
    QElapsedTimer wall;
    wall.start();

    // The site stamps its record with milliseconds since it started, on the simulated clock.
    const std::int64_t siteStartMs = simulatedNowMs();
    site::SiteOptions options;
    options.port = 0;
    options.heartbeatMs = kHeartbeatRealMs;
    options.clockMs = simulatedNowMs;
    options.sessionLifetimeMs = kSessionLifetime;
    options.playerFailureRate = 0.05;
    options.playerFailureSeed = 7;
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
    app::AppConfig config;
    config.site = QUrl(QString::fromStdString(site.baseUrl()));
    config.stateFilePath = state.fileName();
    config.dataFolder = dir.path();
    app::Program program(platform, config);
    window::MainWindow& form = program.window();
    program.start();
    form.resize(1440, 900);
    form.show();

    std::vector<Credit> credits;
    int recoveries = 0;
    int skipped = 0;
    int pageFailures = 0;
    bool ended = false;
    long long pssAfterFirstLesson = 0;
    bool firstLessonDone = false;
    QStringList pssFirstDetail;
    QStringList pssEndDetail;
    std::int64_t lastProgressMs = simulatedNowMs();
    std::int64_t longestStretchMs = 0;
    const auto progressed = [&] {
        const std::int64_t now = simulatedNowMs();
        longestStretchMs = std::max(longestStretchMs, now - lastProgressMs);
        lastProgressMs = now;
    };
    QObject::connect(
        &program.run(), &study::StudyRun::runEvent, &form, [&](const records::RunEvent& e) {
            switch (e.kind) {
            case records::RunEventKind::MinuteCredited:
                credits.push_back({simulatedNowMs() - siteStartMs, e.category, e.lesson});
                progressed();
                break;
            case records::RunEventKind::SessionRecovered:
                ++recoveries;
                progressed();
                break;
            case records::RunEventKind::LessonSkipped:
                ++skipped;
                break;
            case records::RunEventKind::PageFailed:
                ++pageFailures;
                break;
            case records::RunEventKind::LessonDone:
                if (pssAfterFirstLesson == 0)
                    firstLessonDone = true;
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
    if (!waitFor([&] { return form.mainView().readyState() == platform::ReadyState::Complete; },
                 60000)) {
        std::fprintf(stderr, "soak: the login page did not load\n");
        return 1;
    }
    form.loginButton()->click();
    if (!waitFor([&] { return form.studyButton()->isEnabled(); }, 60000)) {
        std::fprintf(stderr, "soak: the login did not reach the course page\n");
        return 1;
    }
    const std::int64_t startMs = simulatedNowMs();
    lastProgressMs = startMs;
    form.studyButton()->click();

    // One outage, by the simulated clock.
    QTimer outage;
    outage.setInterval(10);
    bool outageDone = false;
    QObject::connect(&outage, &QTimer::timeout, &outage, [&] {
        const std::int64_t sim = simulatedNowMs() - startMs;
        if (!site.inOutage() && !outageDone && sim >= kOutageAt)
            site.beginOutage();
        if (site.inOutage() && sim >= kOutageAt + kOutageFor) {
            outageDone = site.endOutage();
            if (outageDone)
                outage.stop();
        }
    });
    outage.start();
    // The memory of the process tree every four simulated hours, to tell growth from warm-up.
    QStringList pssSeries;
    QTimer sampler;
    sampler.setInterval(static_cast<int>(4 * kHour / kSpeedup));
    QObject::connect(&sampler, &QTimer::timeout, &sampler, [&] {
        pssSeries.append(QStringLiteral("%1 h: %2 MB")
                             .arg((simulatedNowMs() - startMs) / kHour)
                             .arg(bench::treePssKb(QCoreApplication::applicationPid()) / 1024));
    });
    sampler.start();

    // Measured outside the event handler: the measurement waits, and asks the pages.
    waitFor([&] { return firstLessonDone || ended; }, kGiveUpRealMinutes * 60 * 1000);
    pssAfterFirstLesson = settledPssKb(form, &pssFirstDetail);
    waitFor([&] { return ended; }, kGiveUpRealMinutes * 60 * 1000);
    progressed();
    const std::int64_t runMs = simulatedNowMs() - startMs;

    // Lessons done: studied minutes past required, from the records the program keeps.
    int completed = 0;
    int lessons = 0;
    for (int c = 0; c < records::kCategoryCount; ++c) {
        const records::LessonMinutes m = records::loadLessonMinutes(
            records::requiredMinutesTables().at(c), program.records().studiedRecords().at(c));
        for (qsizetype i = 0; i < m.required.size(); ++i, ++lessons)
            completed += m.studied.at(i).toInt() > m.required.at(i).toInt() ? 1 : 0;
    }

    // Counted heartbeats by lesson, from the site's record.
    std::map<std::pair<int, int>, std::vector<std::int64_t>> beats;
    const QJsonObject record =
        QJsonDocument::fromJson(QByteArray::fromStdString(site.eventsJson())).object();
    for (const QJsonValue& value : record.value(QStringLiteral("events")).toArray()) {
        const QJsonObject event = value.toObject();
        const std::int64_t at = event.value(QStringLiteral("ms")).toInteger();
        if (event.value(QStringLiteral("kind")).toString() == QLatin1String("heartbeat") &&
            event.value(QStringLiteral("session")).toBool() &&
            event.value(QStringLiteral("creditedMs")).toInteger() > 0) {
            beats[{event.value(QStringLiteral("category")).toInt(),
                   event.value(QStringLiteral("lesson")).toInt()}]
                .push_back(at);
        }
    }
    int overCredited = 0;
    const std::int64_t heartbeatSimMs = kHeartbeatRealMs * kSpeedup;
    for (const Credit& credit : credits) {
        const std::int64_t at = credit.atMs;
        const auto& times = beats[{credit.category, credit.lesson}];
        const bool live = std::any_of(times.begin(), times.end(), [&](std::int64_t t) {
            return t > at - kMinute && t <= at + heartbeatSimMs;
        });
        overCredited += live ? 0 : 1;
        if (!live) {
            const auto after = std::upper_bound(times.begin(), times.end(), at);
            const double before = after == times.begin() ? -1 : static_cast<double>(*(after - 1));
            const double next = after == times.end() ? -1 : static_cast<double>(*after);
            std::printf("no live player for the minute credited at %.1f s to category %d, lesson "
                        "%d: heartbeats at %.1f s and %.1f s\n",
                        static_cast<double>(at) / 1000, credit.category, credit.lesson + 1,
                        before / 1000, next / 1000);
        }
    }

    // The stand-in site shares this process: the record it kept for the comparison above is not
    // the program's memory, so it goes before the program's is measured.
    const qsizetype recordedEvents = record.value(QStringLiteral("events")).toArray().size();
    site.resetRecord();
    const long long pssAtEnd = settledPssKb(form, &pssEndDetail);
    const double growth = pssAfterFirstLesson > 0
                              ? 100.0 * static_cast<double>(pssAtEnd - pssAfterFirstLesson) /
                                    static_cast<double>(pssAfterFirstLesson)
                              : 0.0;
    std::printf("simulated time: %.1f h in %.1f min of real time (x%lld)\n",
                static_cast<double>(runMs) / kHour, static_cast<double>(wall.elapsed()) / 60000.0,
                static_cast<long long>(kSpeedup));
    std::printf("lessons completed: %d/%d (skipped for the run: %d)\n", completed, lessons,
                skipped);
    std::printf("minutes credited: %zu\n", credits.size());
    std::printf("minutes credited while the site saw no live player: %d\n", overCredited);
    std::printf("players that failed and were opened again: %d\n", pageFailures);
    std::printf("session recoveries: %d\n", recoveries);
    std::printf("longest stretch without a credit or a recovery: %.1f simulated min\n",
                static_cast<double>(longestStretchMs) / kMinute);
    std::printf("pss after the first lesson: %lld kB, at the end: %lld kB\n", pssAfterFirstLesson,
                pssAtEnd);
    std::printf("pss by process after the first lesson: %s\n",
                qPrintable(pssFirstDetail.join(", ")));
    std::printf("pss by process at the end: %s\n", qPrintable(pssEndDetail.join(", ")));
    std::printf("pss over the run: %s\n", qPrintable(pssSeries.join(", ")));
    std::printf("events in the site's record: %lld\n", static_cast<long long>(recordedEvents));
    std::printf("run %s\n", ended ? "ended" : "did not end in time");
    std::printf("soak: completed %d/%d, over-credited %d min, pss growth %.1f%%\n", completed,
                lessons, overCredited, growth);
    return ended && completed == lessons && overCredited == 0 ? 0 : 1;
}
