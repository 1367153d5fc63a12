// lumora-site: serves the stand-in training site until SIGINT or SIGTERM.

#include "site_server.h"
#include "study_options.h"
#include "text_codec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>
#include <optional>
#include <thread>

namespace {

using namespace Qt::StringLiterals;

constexpr int kUsageError = 2;

struct Option
{
    const char* name;
    const char* valueName;
    const char* help;
};
constexpr Option kOptions[] = {
    {"bind", "ADDR", "address to listen on (default 127.0.0.1)"},
    {"port", "N", "port (default 18080; 0 picks a free port)"},
    {"users", "FILE", "extra accounts, one name:password a line"},
    {"charset", "gbk|utf-8", "page encoding (default gbk)"},
    {"heartbeat-ms", "N", "how often an open lesson player reports (default 10000)"},
    {"session-lifetime-ms", "N", "sessions end N ms after their login (default 0: never)"},
    {"player-fail-rate", "F", "answer this fraction of player loads with 500 (0..1)"},
    {"player-fail-seed", "N", "seed of the player failures drawn at random (default 1)"},
    {"player-fail-next", "N", "answer the first N player loads with 500"},
    {"player-hang-rate", "F", "serve this fraction of player pages to hang after load (0..1)"},
    {"player-hang-seed", "N", "seed of the hung players drawn at random (default 1)"},
    {"player-hang-next", "N", "serve the first N player pages to hang after load"},
    {"player-media", "canvas|unsupported|broken|mp4|missing|audio|shadow-open|shadow-closed|pdf",
     "what the player's video plays: its canvas animation (default), a source no browser plays, "
     "a stream that fails to decode, an H.264/AAC MP4 lesson, or an address that answers 404; "
     "or the lesson as an <audio> element, in a <video> inside an open or closed shadow root, "
     "or as a PDF document"},
    {"video-seconds", "N", "the lesson's video ends after N seconds of playing (default 0: never)"},
    {"overlay-after", "S",
     "the player pauses its video behind \"继续学习?\" after each S seconds of playing "
     "(default 0: never)"},
    {"ended-session-page", "login|timeout",
     "what a page request without a valid session gets: the login page (default) or a "
     "\"会话已超时\" page that sends the browser to it"},
    {"slow", "PATH_PREFIX=MS",
     "answers whose path starts with PATH_PREFIX are sent MS milliseconds late (repeatable)"},
    {"ended-session-player", "stay|login",
     "what a player does when its session ended: stay on its page or go to the login page "
     "(default login)"},
    {"outage-at", "SECONDS", "refuse connections from SECONDS after the start ..."},
    {"outage-for", "SECONDS", "... for SECONDS"},
    {"stall-at", "SECONDS",
     "from SECONDS after the start, accept connections but answer nothing (then drop them) ..."},
    {"stall-for", "SECONDS", "... for SECONDS"},
    {"maintenance-at", "SECONDS",
     "from SECONDS after the start, answer every request 503 (maintenance) ..."},
    {"maintenance-for", "SECONDS", "... for SECONDS"},
    {"video-host-port", "N", "second port, for video frames of another origin (default 0: free)"},
    {"cross-origin-video", "all|K",
     "players of every category (all) or of category K (repeatable) play their video in a frame "
     "served from the second port"},
    {"player-message", "[K-M=]TEXT",
     "a 200 page saying TEXT in place of every lesson's player, or of lesson M of category K "
     "(repeatable)"},
    {"auto-next-after", "S", "players go to the next lesson's player after S seconds"},
    {"video-outage-at", "SECONDS",
     "from SECONDS after the start (site clock), every video source answers an error, and a "
     "video that plays fails as a stream would ..."},
    {"video-outage-for", "SECONDS", "... for SECONDS"},
    {"video-outage-status", "404|503", "the error of the video outage (default 503)"},
    {"list-short", "K=N", "the lesson list of category K shows its first N lessons (repeatable)"},
    {"login-code", "CODE",
     "the login takes only CODE, shown in the code picture with no hint: a picture captcha "
     "(default ok, which the page tells)"},
};

int usageError(const QString& message)
{
    std::cerr << "lumora-site: " << message.toStdString() << "\nTry 'lumora-site --help'.\n";
    return kUsageError;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef Q_OS_UNIX
    // Block the stop signals before any thread starts, so that every thread inherits the mask
    // and only the waiting thread below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"lumora-site"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Serves the stand-in training site (demo account: demo / demo123).\n"
        "The first line printed is \"lumora-site listening on http://ADDR:PORT\"."_s);
    const QCommandLineOption help = parser.addHelpOption();
    for (const Option& option : kOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(option.name),
                                            QString::fromUtf8(option.help),
                                            QString::fromLatin1(option.valueName)));
    }
    lumora::site::cli::addStudyOptions(parser);
    if (!parser.parse(app.arguments())) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        std::cout << parser.helpText().toStdString();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(u"unexpected argument "_s + parser.positionalArguments().first());
    }

    lumora::site::SiteOptions options;
    const auto set = [&](const char* name) { return parser.isSet(QLatin1StringView(name)); };
    if (set("bind")) {
        options.bind = parser.value(u"bind"_s).toStdString();
    }
    if (set("users")) {
        std::string error;
        if (!lumora::site::loadUsersFile(parser.value(u"users"_s).toStdString(), options.extraUsers,
                                         error)) {
            return usageError(QString::fromStdString(error));
        }
    }
    if (set("charset")) {
        if (!lumora::site::normalizeCharset(parser.value(u"charset"_s).toUtf8())) {
            return usageError(
                u"bad charset %1 (use gbk or utf-8)"_s.arg(parser.value(u"charset"_s)));
        }
        options.charset = parser.value(u"charset"_s).toStdString();
    }
    if (set("login-code")) {
        options.loginCode = parser.value(u"login-code"_s).trimmed().toStdString();
    }
    if (set("player-media")) {
        const QString value = parser.value(u"player-media"_s);
        const auto media = lumora::site::playerMediaFromName(value.toStdString());
        if (!media) {
            return usageError(
                u"bad value %1 for --player-media (use canvas, unsupported, broken, mp4, missing, "
                "audio, shadow-open, shadow-closed or pdf)"_s.arg(value));
        }
        options.playerMedia = *media;
    }
    if (set("ended-session-player")) {
        const QString value = parser.value(u"ended-session-player"_s);
        if (value != "stay"_L1 && value != "login"_L1) {
            return usageError(
                u"bad value %1 for --ended-session-player (use stay or login)"_s.arg(value));
        }
        options.endedSessionKeepsPlayer = value == "stay"_L1;
    }
    if (set("ended-session-page")) {
        const QString value = parser.value(u"ended-session-page"_s);
        const auto page = lumora::site::endedSessionPageFromName(value.toStdString());
        if (!page) {
            return usageError(
                u"bad value %1 for --ended-session-page (use login or timeout)"_s.arg(value));
        }
        options.endedSessionPage = *page;
    }
    for (const QString& slow : parser.values(u"slow"_s)) {
        const qsizetype equals = slow.lastIndexOf(u'=');
        bool ok = false;
        const int ms = slow.mid(equals + 1).toInt(&ok);
        if (equals < 1 || !slow.startsWith(u'/') || !ok || ms < 0) {
            return usageError(u"bad value %1 for --slow (use /PATH_PREFIX=MS)"_s.arg(slow));
        }
        options.pathDelaysMs[slow.left(equals).toStdString()] = ms;
    }
    for (const QString& value : parser.values(u"cross-origin-video"_s)) {
        bool ok = value == "all"_L1;
        options.crossOriginVideos = options.crossOriginVideos || ok;
        if (!ok) {
            options.crossOriginCategories.push_back(value.toInt(&ok));
        }
        if (!ok) {
            return usageError(u"bad value %1 for --cross-origin-video (use all or K)"_s.arg(value));
        }
    }
    static const QRegularExpression lessonKey(u"^(\\d+)-(\\d+)=(.+)$"_s);
    for (const QString& value : parser.values(u"player-message"_s)) {
        const QRegularExpressionMatch match = lessonKey.match(value);
        if (match.hasMatch()) {
            options.lessonMessages[{match.captured(1).toInt(), match.captured(2).toInt()}] =
                match.captured(3).toStdString();
        } else {
            options.playerMessage = value.toStdString();
        }
    }
    for (const QString& value : parser.values(u"list-short"_s)) {
        bool ok = false;
        bool okCount = false;
        const int category = value.section(u'=', 0, 0).toInt(&ok);
        const int count = value.section(u'=', 1).toInt(&okCount);
        if (!ok || !okCount || count < 0) {
            return usageError(u"bad value %1 for --list-short (use K=N)"_s.arg(value));
        }
        options.listedLessons[category] = count;
    }
    // Numeric options: name, range, whole number or not, where it goes.
    std::optional<double> outageAt;
    std::optional<double> outageFor;
    std::optional<double> stallAt;
    std::optional<double> stallFor;
    std::optional<double> maintenanceAt;
    std::optional<double> maintenanceFor;
    const lumora::site::cli::NumberOption numbers[] = {
        {"port", 0, 65535, true, [&](double v) { options.port = int(v); }},
        {"heartbeat-ms", 50, 3600000, true, [&](double v) { options.heartbeatMs = int(v); }},
        {"session-lifetime-ms", 0, 1e12, true,
         [&](double v) { options.sessionLifetimeMs = std::int64_t(v); }},
        {"player-fail-rate", 0, 1, false, [&](double v) { options.playerFailureRate = v; }},
        {"player-fail-seed", 0, 9e15, true,
         [&](double v) { options.playerFailureSeed = std::uint64_t(v); }},
        {"player-fail-next", 0, 1e9, true, [&](double v) { options.failNextPlayerLoads = int(v); }},
        {"player-hang-rate", 0, 1, false, [&](double v) { options.playerHangRate = v; }},
        {"player-hang-seed", 0, 9e15, true,
         [&](double v) { options.playerHangSeed = std::uint64_t(v); }},
        {"player-hang-next", 0, 1e9, true, [&](double v) { options.hangNextPlayers = int(v); }},
        {"outage-at", 0, 1e6, false, [&](double v) { outageAt = v; }},
        {"outage-for", 0.001, 1e6, false, [&](double v) { outageFor = v; }},
        {"stall-at", 0, 1e6, false, [&](double v) { stallAt = v; }},
        {"stall-for", 0.001, 1e6, false, [&](double v) { stallFor = v; }},
        {"maintenance-at", 0, 1e6, false, [&](double v) { maintenanceAt = v; }},
        {"maintenance-for", 0.001, 1e6, false, [&](double v) { maintenanceFor = v; }},
        {"video-seconds", 0, 1e7, true, [&](double v) { options.videoSeconds = int(v); }},
        {"overlay-after", 0, 1e7, true, [&](double v) { options.overlayAfterSeconds = int(v); }},
        {"video-host-port", 0, 65535, true, [&](double v) { options.videoHostPort = int(v); }},
        {"auto-next-after", 0, 1e7, true, [&](double v) { options.autoNextSeconds = int(v); }},
        {"video-outage-at", 0, 1e7, false,
         [&](double v) { options.videoOutageAtMs = std::llround(v * 1000); }},
        {"video-outage-for", 0.001, 1e7, false,
         [&](double v) { options.videoOutageForMs = std::llround(v * 1000); }},
        {"video-outage-status", 400, 599, true,
         [&](double v) { options.videoOutageStatus = int(v); }},
    };
    if (const QString error = lumora::site::cli::readNumbers(parser, numbers); !error.isEmpty()) {
        return usageError(error);
    }
    if (outageAt.has_value() != outageFor.has_value()) {
        return usageError(u"--outage-at and --outage-for go together"_s);
    }
    if (stallAt.has_value() != stallFor.has_value()) {
        return usageError(u"--stall-at and --stall-for go together"_s);
    }
    if (set("video-outage-at") != set("video-outage-for")) {
        return usageError(u"--video-outage-at and --video-outage-for go together"_s);
    }
    if (maintenanceAt.has_value() != maintenanceFor.has_value()) {
        return usageError(u"--maintenance-at and --maintenance-for go together"_s);
    }
    if (const QString error = lumora::site::cli::readStudyOptions(parser, options);
        !error.isEmpty()) {
        return usageError(error);
    }

    lumora::site::SiteServer server(options);
    if (server.start() < 0) {
        std::cerr << "lumora-site: " << server.lastError() << "\n";
        return 1;
    }
    std::cout << "lumora-site listening on " << server.baseUrl() << std::endl;
    std::cerr << "lumora-site: video frames of another origin on port " << server.videoHostPort()
              << "\n";

    // A fault that begins `at` seconds after the start and ends `lasting` seconds later.
    const auto schedule = [&](double at, double lasting, const char* name, const char* what,
                              std::function<bool()> begin, std::function<bool()> end) {
        const auto ms = [](double seconds) {
            return std::chrono::milliseconds(std::llround(seconds * 1000));
        };
        QTimer::singleShot(ms(at), &app, [&server, &app, ms, lasting, name, what, begin, end] {
            if (!begin()) {
                std::cerr << "lumora-site: " << name << " does not begin (another fault is on)\n";
                return;
            }
            std::cerr << "lumora-site: " << name << " begins, " << what << "\n";
            QTimer::singleShot(ms(lasting), &app, [&server, name, end] {
                if (end()) {
                    std::cerr << "lumora-site: " << name << " ends\n";
                } else {
                    std::cerr << "lumora-site: " << server.lastError() << "\n";
                }
            });
        });
    };
    if (outageAt) {
        schedule(
            *outageAt, *outageFor, "outage", "connections are refused",
            [&] { return server.beginOutage(); }, [&] { return server.endOutage(); });
    }
    if (stallAt) {
        schedule(
            *stallAt, *stallFor, "stall", "requests are read and not answered",
            [&] { return server.beginStall(); }, [&] { return server.endStall(); });
    }
    if (maintenanceAt) {
        const auto maintenance = [&server](bool on) {
            server.setMaintenance(on);
            return true;
        };
        schedule(
            *maintenanceAt, *maintenanceFor, "maintenance", "every request is answered 503",
            [maintenance] { return maintenance(true); },
            [maintenance] { return maintenance(false); });
    }

#ifdef Q_OS_UNIX
    int received = 0;
    std::thread waiter([&] {
        sigwait(&stopSignals, &received);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    waiter.join();
    server.stop();
    std::cerr << "lumora-site: stopped on signal " << received << "\n";
#else
    app.exec(); // ends when the console closes the process
#endif
    return 0;
}
