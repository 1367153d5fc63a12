// The cost of starting a run: from "连续学习" to the stand-in site receiving the
// first lesson's player request, with the real engine and the site in-process. Several rounds,
// each with when
// the start returned and when the request came, so that the handler's own time and the player's
// load show apart; the median overhead is reported.
//
// Last line: "study start: overhead X ms".

#include "engine_fixture.h"
#include "event_wait.h"
#include "headless_engine.h"
#include "logged_in_program.h"
#include "site_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace lumora;

namespace {

constexpr int kRounds = 7;
// Milliseconds on the monotonic clock the site stamps its record with, too.
std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When the site served the first lesson player since its record was reset, on its own clock;
// -1 before.
std::int64_t firstPlayerServedMs(const site::SiteServer& site)
{
    const QJsonObject record =
        QJsonDocument::fromJson(QByteArray::fromStdString(site.eventsJson())).object();
    for (const QJsonValue& event : record.value(QStringLiteral("events")).toArray()) {
        if (event.toObject().value(QStringLiteral("kind")).toString() == "player-open")
            return event.toObject().value(QStringLiteral("ms")).toInteger();
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    testing::prepareHeadlessEngine();
    QApplication app(argc, argv);
    site::SiteOptions options;
    options.port = 0;
    options.clockMs = nowMs;
    const std::int64_t siteStart = nowMs(); // the record counts from about here
    site::SiteServer site(options);
    if (site.start() <= 0)
        return 1;
    bench::LoggedInProgram logged(QUrl(QString::fromStdString(site.baseUrl())));
    if (!logged.logIn())
        return 1;
    window::MainWindow& mainWindow = logged.window();
    const auto complete = [&logged] { return logged.courseComplete(); };

    std::vector<double> overheads;
    for (int round = 0; round < kRounds; ++round) {
        site.resetRecord();
        const std::int64_t pressed = nowMs();
        mainWindow.studyButton()->click(); // the gate runs it at once: the window is idle
        const std::int64_t returned = nowMs();
        if (!testing::waitUntil([&] { return firstPlayerServedMs(site) >= 0; }))
            return 1;
        const std::int64_t requested = siteStart + firstPlayerServedMs(site);
        const double overhead = static_cast<double>(requested - pressed);
        overheads.push_back(overhead);
        std::printf("round %d: request after %lld ms, the start returned after %lld ms; "
                    "overhead %.0f ms\n",
                    round + 1, static_cast<long long>(requested - pressed),
                    static_cast<long long>(returned - pressed), overhead);
        std::fflush(stdout);
        mainWindow.exitButton()->click();
        testing::waitUntil([&] {
            return complete() &&
                   mainWindow.playerView().lastLoad().outcome != platform::LoadOutcome::Loading;
        });
    }
    std::sort(overheads.begin(), overheads.end());
    std::printf("study start: overhead %.0f ms\n", overheads[overheads.size() / 2]);
    return 0;
}
