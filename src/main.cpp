// Lumora: an automatic-study browser for one training site.

#include "platform/webengine/qt_platform.h"
#include "shell/main_window.h"
#include "shell/state_file.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <cstdio>
#include <cstdlib>

using namespace lumora;

namespace {

// Reads --site and --state-file; exits with a message on a bad site address.
shell::AppConfig parseCommandLine(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lumora automatic-study browser: logs in to a training site, opens its "
                       "lessons one after another and keeps count of the minutes studied."));
    parser.addHelpOption();
    const QCommandLineOption site(
        QStringLiteral("site"),
        QStringLiteral("Address of the training site (default http://127.0.0.1:18080, the "
                       "stand-in site). The login page is that host's "
                       "/permission/loginAction.do?method=init."),
        QStringLiteral("URL"), QStringLiteral("http://127.0.0.1:18080"));
    const QCommandLineOption stateFile(
        QStringLiteral("state-file"),
        QStringLiteral("Where the user name, password and studied minutes are kept (default %1).")
            .arg(QDir::toNativeSeparators(shell::defaultStateFilePath())),
        QStringLiteral("PATH"));
    parser.addOption(site);
    parser.addOption(stateFile);
    parser.process(app);

    shell::AppConfig config;
    const shell::SiteAddress address = shell::parseSiteAddress(parser.value(site));
    if (!address.error.isEmpty()) {
        std::fprintf(stderr, "lumora: %s\n", qPrintable(address.error));
        std::exit(2);
    }
    config.site = address.url;
    config.stateFilePath =
        parser.isSet(stateFile) ? parser.value(stateFile) : shell::defaultStateFilePath();
    return config;
}

} // namespace

int main(int argc, char* argv[])
{
    platform::QtPlatform::prepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setApplicationVersion(QStringLiteral("1.5"));

    shell::AppConfig config = parseCommandLine(app);
    config.dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    platform::QtPlatform platform;
    shell::Form1 window(platform, config);
    platform.qtDialogs().setParent(&window);
    window.load();
    // MP4 courses need H.264, which not every build of the engine plays.
    platform.checkH264Playback([&window](bool canPlay) {
        if (!canPlay)
            window.statusBar()->showMessage(QStringLiteral(
                "此浏览器引擎不能播放 H.264 (MP4) 视频，MP4 格式的课程将无法播放。"));
    });
    // The controls are laid out for a screen of 1440 x 900 or more; smaller screens get the
    // window maximised.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (screen.width() >= 1440 && screen.height() >= 900) {
        window.resize(1440, 900);
        window.show();
    } else {
        window.showMaximized();
    }
    return QApplication::exec();
}
