// Start-up as the site sees it, against a bare QWebEngineView: from process start to the site
// receiving the login page's request and the last image that page loads, and (the program only)
// to its window having been drawn; the proportional set size of each process tree 3 s after the
// page is complete. For the program and for bench/bare_view with the same engine flags, in
// alternating rounds against the in-process stand-in site, whose arrivals are stamped on the
// steady clock that also stamps each process's start. The program keeps its data folder between
// rounds, as on a learner's machine; a first round, not counted, creates it. Seven counted
// starts of each, alternating, so that a busy machine slows both alike.
//
// Last line: "startup: request ratio R, last image ratio I, window at W ms, memory ratio M"
// (program / bare view, medians; W the program's median).

#include "headless_engine.h"
#include "process_memory.h"
#include "site_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 7; // counted starts of each; the medians are of these
constexpr int kSettleMs = 3000;
constexpr int kGiveUpMs = 60000;
// The login page's request, and the images it loads: the later of those two is its last one.
constexpr auto kLoginPath = "/permission/loginAction.do";
constexpr const char* kImagePaths[] = {"/permission/randomCode.do", "/images/login.svg"};
// What the program logs (lumora.engine debug) once its window has been drawn.
constexpr auto kWindowShown = "lumora.engine: window drawn";

// When each path was first asked for since the last clear, on the steady clock.
class Arrivals
{
public:
    void record(const std::string& method, const std::string& path)
    {
        const std::lock_guard lock(m_mutex);
        if (method == "GET")
            m_first.try_emplace(path, Clock::now());
    }
    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_first.clear();
    }
    // Milliseconds from `start` to the first request for `path`; -1 when none came.
    double msAfter(Clock::time_point start, const std::string& path) const
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_first.find(path);
        return it == m_first.end()
                   ? -1
                   : std::chrono::duration<double, std::milli>(it->second - start).count();
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, Clock::time_point> m_first;
};

struct Sample
{
    double requestMs = -1;   // the login page's request received
    double lastImageMs = -1; // the later of its images' requests received
    double windowMs = -1;    // the window drawn (the program only)
    double completeMs = -1;  // the process said the page is complete
    long long pssKb = 0;
};

// Starts `program` and waits for a line of its output with `complete` (and with `shown` when
// given), then 3 s more; reads the site's arrivals since its start.
Sample measure(Arrivals& arrivals, const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, const QByteArray& complete,
               const QByteArray& shown = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    Sample sample;
    QByteArray seen;
    arrivals.clear();
    const Clock::time_point start = Clock::now();
    const auto msSinceStart = [start] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    process.start(program, arguments);
    const auto waiting = [&] {
        return sample.completeMs < 0 || (!shown.isEmpty() && sample.windowMs < 0);
    };
    while (waiting() && msSinceStart() < kGiveUpMs && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(50);
        seen += process.readAll();
        if (sample.completeMs < 0 && seen.contains(complete))
            sample.completeMs = msSinceStart();
        if (!shown.isEmpty() && sample.windowMs < 0 && seen.contains(shown))
            sample.windowMs = msSinceStart();
    }
    if (!waiting()) {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < kSettleMs) {
            process.waitForReadyRead(100);
            process.readAll();
        }
        sample.pssKb = lumora::bench::treePssKb(process.processId());
        sample.requestMs = arrivals.msAfter(start, kLoginPath);
        sample.lastImageMs = 0;
        for (const char* image : kImagePaths) {
            const double ms = arrivals.msAfter(start, image);
            sample.lastImageMs =
                ms < 0 || sample.lastImageMs < 0 ? -1 : std::max(sample.lastImageMs, ms);
        }
    }
    if (sample.pssKb == 0 || sample.requestMs < 0 || sample.lastImageMs < 0)
        std::fprintf(stderr, "startup: %s did not load the login page and its images:\n%s\n",
                     qPrintable(program), seen.right(2000).constData());
    process.kill();
    process.waitForFinished(10000);
    return sample;
}

bool complete(const Sample& sample)
{
    return sample.pssKb > 0 && sample.requestMs >= 0 && sample.lastImageMs >= 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    lumora::testing::prepareHeadlessEngine(); // sets the engine's environment for the children
    QCoreApplication app(argc, argv);
    Arrivals arrivals;
    lumora::site::SiteOptions options;
    options.port = 0;
    options.requestArrived = [&arrivals](const std::string& method, const std::string& path) {
        arrivals.record(method, path);
    };
    lumora::site::SiteServer site(options);
    if (site.start() <= 0)
        return 1;
    const QString login = QString::fromStdString(site.baseUrl()) +
                          QStringLiteral("/permission/loginAction.do?method=init");
    const QString folder = QCoreApplication::applicationDirPath();

    std::map<std::string, std::vector<double>> program, bare; // figure -> counted rounds
    QTemporaryDir home;
    for (int round = 0; round <= kRounds; ++round) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("lumora.engine.debug=true"));
        const Sample ours =
            measure(arrivals, folder + QStringLiteral("/lumora"),
                    {QStringLiteral("--site"), QString::fromStdString(site.baseUrl()),
                     QStringLiteral("--state-file"), home.filePath(QStringLiteral("boot.txt"))},
                    environment, "lumora.engine: loaded \"" + login.toUtf8(), kWindowShown);
        const Sample theirs = measure(arrivals, folder + QStringLiteral("/bare_view"), {login},
                                      environment, "loaded ok");
        if (!complete(ours) || !complete(theirs))
            return 1;
        if (round == 0)
            continue; // the first start of all, which creates the program's data folder
        for (auto [figures, sample] : {std::pair{&program, ours}, {&bare, theirs}}) {
            (*figures)["request"].push_back(sample.requestMs);
            (*figures)["image"].push_back(sample.lastImageMs);
            (*figures)["window"].push_back(sample.windowMs);
            (*figures)["complete"].push_back(sample.completeMs);
            (*figures)["kB"].push_back(static_cast<double>(sample.pssKb));
        }
        std::printf("round %d: program request %.0f, last image %.0f, window %.0f, complete %.0f "
                    "ms, %lld kB; bare view request %.0f, last image %.0f, complete %.0f ms, "
                    "%lld kB\n",
                    round, ours.requestMs, ours.lastImageMs, ours.windowMs, ours.completeMs,
                    ours.pssKb, theirs.requestMs, theirs.lastImageMs, theirs.completeMs,
                    theirs.pssKb);
        std::fflush(stdout);
    }
    const auto ratio = [&](const char* figure) {
        return median(program[figure]) / median(bare[figure]);
    };
    std::printf("median: program request %.0f, last image %.0f, window %.0f, complete %.0f ms, "
                "%.0f kB; bare view request %.0f, last image %.0f, complete %.0f ms, %.0f kB\n",
                median(program["request"]), median(program["image"]), median(program["window"]),
                median(program["complete"]), median(program["kB"]), median(bare["request"]),
                median(bare["image"]), median(bare["complete"]), median(bare["kB"]));
    std::printf("startup: request ratio %.2f, last image ratio %.2f, window at %.0f ms, memory "
                "ratio %.2f\n",
                ratio("request"), ratio("image"), median(program["window"]), ratio("kB"));
    return 0;
}
