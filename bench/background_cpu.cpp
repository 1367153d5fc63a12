// The CPU a study run costs with the window in view and minimised, side by side in one run: the
// program (real engine, the run's ticks every 20 s) studies the stand-in site's MP4 lesson, and
// the CPU time of its process and its QtWebEngineProcess children is read from /proc in
// alternating phases, in view and minimised. The site runs as a program of its own, so that
// its work is not counted. Each phase also says how far the lesson's video went and how much
// study time the site credited, so that a light minimised window is seen to study all the same.
//
// Run it under a display, `xvfb-run -a -s "-screen 0 1920x1080x24" build/background_cpu`: it then
// uses a real X window drawn with OpenGL (Mesa's), as on a desktop. Offscreen (no display) Qt
// has no OpenGL and the window is not drawn as on a desktop: a visible lesson measured 42% of a
// core there against 69% in a window under Xvfb.
//
// Last line: "minimised/visible CPU: R" (the CPU of all minimised phases over all visible ones).

#include "engine_fixture.h"
#include "event_wait.h"
#include "headless_engine.h"
#include "logged_in_program.h"
#include "process_memory.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <httplib.h>

using namespace lumora;

namespace {

constexpr int kRounds = 3;
constexpr int kPhaseMs = 20000;
constexpr int kWarmUpMs = 10000;
constexpr double kLessonSeconds = 20; // the length of the site's MP4, which plays in a loop

// Where the lesson's video is, seconds; -1 when the player shows none.
double videoSeconds(platform::BrowserControl& player)
{
    const auto text = platform::webengine::WebEngineHost::runScriptForText(
        player, QStringLiteral("String(document.getElementById('video').currentTime)"));
    bool ok = false;
    const double seconds = text ? text->toDouble(&ok) : -1;
    return ok ? seconds : -1;
}

// Runs the event loop for `ms`; how far the lesson's video went meanwhile, looking every 2 s.
double runFor(int ms, platform::BrowserControl& player)
{
    double went = 0, last = videoSeconds(player);
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        const double now = videoSeconds(player);
        if (now >= 0 && last >= 0)
            went += now >= last ? now - last : now + kLessonSeconds - last;
        last = now;
    });
    look.start(2000);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return went;
}

// The study time the site has credited to demo so far, seconds.
double creditedSeconds(int port)
{
    httplib::Client client("127.0.0.1", port);
    const auto answer = client.Get("/_site/events");
    const QJsonObject totals =
        QJsonDocument::fromJson(answer ? QByteArray::fromStdString(answer->body) : QByteArray())
            .object()
            .value(QStringLiteral("studyMilliseconds"))
            .toObject()
            .value(QStringLiteral("demo"))
            .toObject();
    double ms = 0;
    for (const QJsonValue value : totals)
        ms += value.toDouble();
    return ms / 1000;
}

struct Phase
{
    double cpu = 0, video = 0, credited = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-background-networking");
    }
    testing::prepareHeadlessEngine();
    QApplication app(argc, argv);
    std::printf("window: %s\n", qPrintable(QGuiApplication::platformName()));
    QProcess site;
    site.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lumora-site"),
               {QStringLiteral("--port=0"), QStringLiteral("--player-media=mp4")});
    if (!site.waitForReadyRead(10000))
        return 1;
    const int port = site.readLine().split(':').last().trimmed().toInt();

    bench::LoggedInProgram logged(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    if (!logged.logIn())
        return 1;
    window::MainWindow& mainWindow = logged.window();
    testing::EnginePlatform& platform = logged.platform;
    mainWindow.studyButton()->click();
    QTimer ticks; // the run's clock, as the program's own timer would fire it
    QObject::connect(&ticks, &QTimer::timeout, [&] { platform.timer->fire(); });
    ticks.start(20000);
    if (!testing::waitUntil([&] { return videoSeconds(mainWindow.playerView()) > 1; })) {
        std::fprintf(stderr, "background_cpu: the lesson's video does not play\n");
        return 1;
    }
    runFor(kWarmUpMs, mainWindow.playerView());

    Phase visible, minimised;
    for (int round = 1; round <= kRounds; ++round) {
        for (const bool minimise : {false, true}) {
            if (minimise)
                mainWindow.showMinimized();
            else
                mainWindow.showNormal();
            const auto cpu = bench::engineTreeCpuSeconds(QCoreApplication::applicationPid());
            const double credited = creditedSeconds(port);
            const double video = runFor(kPhaseMs, mainWindow.playerView());
            const Phase phase{
                bench::cpuSecondsBetween(
                    cpu, bench::engineTreeCpuSeconds(QCoreApplication::applicationPid())),
                video, creditedSeconds(port) - credited};
            Phase& sum = minimise ? minimised : visible;
            sum = {sum.cpu + phase.cpu, sum.video + phase.video, sum.credited + phase.credited};
            std::printf("round %d, %s: CPU %.1f%% of a core, video %.1f s, site credited %.0f s\n",
                        round, minimise ? "minimised" : "visible",
                        100.0 * phase.cpu / (kPhaseMs / 1000.0), phase.video, phase.credited);
            std::fflush(stdout);
        }
    }
    const double seconds = kRounds * kPhaseMs / 1000.0;
    std::printf("visible: %.1f%% of a core, minimised: %.1f%% of a core; in %.0f s each the video "
                "went %.0f s and %.0f s, the site credited %.0f s and %.0f s\n",
                100.0 * visible.cpu / seconds, 100.0 * minimised.cpu / seconds, seconds,
                visible.video, minimised.video, visible.credited, minimised.credited);
    std::printf("minimised/visible CPU: %.2f\n", minimised.cpu / visible.cpu);
    site.terminate();
    site.waitForFinished(10000);
    return 0;
}
