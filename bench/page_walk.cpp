// How much a walk through the layer costs compared with the same loop written directly as a
// page script. Page: 10,000 links; walk: Contains test on onclick, Collect positions.
// Both sides run the same way: a function installed once in the page's isolated world, called
// with its arguments each round, its JSON answer decoded on our side.
// The last line printed is "ratio: X" (layer time / round trip of the equivalent loop).

#include "headless_engine.h"
#include "platform/webengine/webengine_host.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumora::platform;
using namespace lumora::platform::webengine;

namespace {

constexpr int kLinks = 10000;
constexpr int kRounds = 31;

// Processes events until `done` holds or `timeoutMs` passed.
template <typename Condition> bool waitFor(Condition done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

QByteArray pageWithLinks()
{
    QByteArray html = "<html><body>";
    for (int i = 0; i < kLinks; ++i) {
        const char* kind = i % 10 == 0 ? "lesson" : "news";
        html += "<a href='#' onclick=\"play('" + QByteArray(kind) + "-" + QByteArray::number(i) +
                "')\">link " + QByteArray::number(i) + "</a>\n";
    }
    return html + "</body></html>";
}

// The same walk as an ordinary page script, timing itself with performance.now(). Installed once
// like the layer's own functions, so that neither side pays for compiling its loop each round.
const char* kInstallPlainWalk =
    "window.plainWalk = function (tag, wanted) {"
    "  const t0 = performance.now();"
    "  const items = document.getElementsByTagName(tag);"
    "  const length = items.length;"
    "  const positions = [];"
    "  for (let i = 0; i < length; ++i) {"
    "    const el = items[i];"
    "    const text = el.getAttribute('onclick') || '';"
    "    if (text !== '' && text.indexOf(wanted) !== -1) positions.push(i);"
    "  }"
    "  return JSON.stringify({ms: performance.now() - t0, length: length,"
    "                         positions: positions});"
    "};"
    "typeof window.plainWalk";

// The plain walk's answer, decoded as the layer decodes its own.
struct PlainWalk
{
    int length = -1;
    QList<int> positions;
    double inPageMs = 0;
};

PlainWalk decodePlainWalk(const QString& answer)
{
    const QJsonObject object = QJsonDocument::fromJson(answer.toUtf8()).object();
    PlainWalk walk;
    walk.length = object.value(QStringLiteral("length")).toInt(-1);
    const QJsonArray positions = object.value(QStringLiteral("positions")).toArray();
    walk.positions.reserve(positions.size());
    for (const QJsonValue& position : positions)
        walk.positions.push_back(position.toInt(-1));
    walk.inPageMs = object.value(QStringLiteral("ms")).toDouble();
    return walk;
}

} // namespace

int main(int argc, char** argv)
{
    lumora::testing::prepareHeadlessEngine();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString pagePath = dir.filePath(QStringLiteral("links.html"));
    {
        QFile file(pagePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(pageWithLinks()) < 0)
            return 1;
    }

    WebEngineHost host(dir.filePath(QStringLiteral("profile")), 30000);
    QWidget window;
    auto browser = host.createBrowser(&window);
    browser->widget()->resize(400, 300);
    window.show();
    browser->navigate(QUrl::fromLocalFile(pagePath));
    if (!waitFor([&] { return browser->readyState() == ReadyState::Complete; }, 60000)) {
        std::fprintf(stderr, "page did not load\n");
        return 1;
    }

    WalkRequest request;
    request.tag = QStringLiteral("a");
    request.rules.push_back(
        WalkRule{{ElementTest{Field::OnClick, Compare::Contains, QStringLiteral("lesson")}},
                 Action::Collect,
                 {}});
    const std::optional<QString> installed =
        WebEngineHost::runScriptForText(*browser, QString::fromLatin1(kInstallPlainWalk));
    if (installed != QStringLiteral("function")) {
        std::fprintf(stderr, "the plain walk could not be installed\n");
        return 1;
    }
    const QString plainCall = QStringLiteral("plainWalk('a', 'lesson')");

    std::vector<double> layerMs, rawMs, inPageMs, trivialMs;
    for (int round = -2; round < kRounds; ++round) { // two warm-up rounds
        QElapsedTimer clock;
        clock.start();
        const WalkResult walked = browser->walk(request);
        const double layer = static_cast<double>(clock.nsecsElapsed()) / 1e6;

        clock.restart();
        const std::optional<QString> raw = WebEngineHost::runScriptForText(*browser, plainCall);
        const PlainWalk plain = raw ? decodePlainWalk(*raw) : PlainWalk{};
        const double rawTrip = static_cast<double>(clock.nsecsElapsed()) / 1e6;

        clock.restart();
        const std::optional<QString> trivial =
            WebEngineHost::runScriptForText(*browser, QStringLiteral("'x'"));
        const double trivialTrip = static_cast<double>(clock.nsecsElapsed()) / 1e6;

        if (!walked.ok() || !raw || !trivial) {
            std::fprintf(stderr, "a call failed: %s\n", qPrintable(walked.error));
            return 1;
        }
        if (walked.length != kLinks || plain.length != kLinks ||
            walked.positions != plain.positions || plain.positions.size() != kLinks / 10) {
            std::fprintf(stderr, "the walks disagree\n");
            return 1;
        }
        if (round < 0)
            continue;
        layerMs.push_back(layer);
        rawMs.push_back(rawTrip);
        inPageMs.push_back(plain.inPageMs);
        trivialMs.push_back(trivialTrip);
    }

    const double layer = median(layerMs);
    const double raw = median(rawMs);
    std::printf("page: %d links, walk collects %d (median of %d rounds)\n", kLinks, kLinks / 10,
                kRounds);
    std::printf("layer walk (one round trip):        %8.2f ms\n", layer);
    std::printf("plain script, round trip:           %8.2f ms\n", raw);
    std::printf("plain script, in-page (perf.now):   %8.2f ms\n", median(inPageMs));
    std::printf("trivial call round trip:            %8.2f ms\n", median(trivialMs));
    std::printf("ratio: %.2f\n", raw > 0 ? layer / raw : 0.0);
    return 0;
}
