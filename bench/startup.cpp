// Start-up against a bare QWebEngineView: the time from process start to the site's login page
// complete, and the proportional set size of each process tree 3 s later, for the program and
// for bench/bare_view with the same engine flags, in alternating rounds against the in-process
// stand-in site. The program keeps its data folder between rounds, as on a learner's machine;
// a first round, not counted, creates it. Seven counted starts of each, alternating, so that a
// busy machine slows both alike.
//
// Last line: "startup: time ratio T, memory ratio M" (program / bare view, medians).

#include "headless_engine.h"
#include "process_memory.h"
#include "site_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kRounds = 7; // counted starts of each; the medians are of these
constexpr int kSettleMs = 3000;

struct Sample
{
    double ms = -1;
    long long pssKb = 0;
};

// Starts `program`, waits for a line of its output that contains `marker`, then 3 s more.
Sample measure(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, const QByteArray& marker)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    Sample sample;
    QElapsedTimer clock;
    QByteArray seen;
    clock.start();
    process.start(program, arguments);
    while (sample.ms < 0 && clock.elapsed() < 60000 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(50);
        seen += process.readAll();
        if (seen.contains(marker))
            sample.ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    if (sample.ms >= 0) {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < kSettleMs) {
            process.waitForReadyRead(100);
            process.readAll();
        }
        sample.pssKb = lumora::bench::treePssKb(process.processId());
    } else {
        std::fprintf(stderr, "startup: %s never reported the page:\n%s\n", qPrintable(program),
                     seen.right(2000).constData());
    }
    process.kill();
    process.waitForFinished(10000);
    return sample;
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
    lumora::site::SiteOptions options;
    options.port = 0;
    lumora::site::SiteServer site(options);
    if (site.start() <= 0)
        return 1;
    const QString login = QString::fromStdString(site.baseUrl()) +
                          QStringLiteral("/permission/loginAction.do?method=init");
    const QString folder = QCoreApplication::applicationDirPath();

    std::vector<double> programMs, bareMs, programKb, bareKb;
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
        const Sample program =
            measure(folder + QStringLiteral("/lumora"),
                    {QStringLiteral("--site"), QString::fromStdString(site.baseUrl()),
                     QStringLiteral("--state-file"), home.filePath(QStringLiteral("boot.txt"))},
                    environment, "lumora.engine: loaded \"" + login.toUtf8());
        const Sample bare =
            measure(folder + QStringLiteral("/bare_view"), {login}, environment, "loaded ok");
        if (program.ms < 0 || bare.ms < 0)
            return 1;
        if (round == 0)
            continue; // the first start of all, which creates the program's data folder
        programMs.push_back(program.ms);
        bareMs.push_back(bare.ms);
        programKb.push_back(static_cast<double>(program.pssKb));
        bareKb.push_back(static_cast<double>(bare.pssKb));
        std::printf("round %d: program %.0f ms %lld kB, bare view %.0f ms %lld kB\n", round,
                    program.ms, program.pssKb, bare.ms, bare.pssKb);
        std::fflush(stdout);
    }
    const double time = median(programMs) / median(bareMs);
    const double memory = median(programKb) / median(bareKb);
    std::printf("median: program %.0f ms %.0f kB, bare view %.0f ms %.0f kB\n", median(programMs),
                median(programKb), median(bareMs), median(bareKb));
    std::printf("startup: time ratio %.2f, memory ratio %.2f\n", time, memory);
    return 0;
}
