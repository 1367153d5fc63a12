// Lumora: an automatic-study browser for one training site.

#include "app/first_drawing.h"
#include "app/program.h"
#include "app/single_copy.h"
#include "app/site_address.h"
#include "app/translations.h"
#include "lumora_config.h"
#include "platform/console.h"
#include "platform/log_file.h"
#include "platform/logging.h"
#include "platform/user_folders.h"
#include "platform/webengine/qt_platform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace lumora;

namespace {

// The context of this file's texts in the translations.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

// The H.264 and AAC video of MP4 lessons, which not every build of the engine plays.
constexpr auto kH264Playing = "this engine plays H.264 and AAC video (MP4)";
constexpr auto kH264NotPlaying = "this engine cannot play H.264 and AAC video (MP4)";
// Longer than the engine's own time for the answer (WebEngineHost::canPlayType).
constexpr int kH264NoAnswerMs = 40000;

// Reads --site, --state-file, --resume and --check-h264; exits with a message on a bad site
// address. The site is left empty when none is given.
app::AppConfig parseCommandLine(const QApplication& application)
{
    const platform::StateFilePlaces defaultPlaces = platform::defaultStateFilePlaces();
    QCommandLineParser parser;
    parser.setApplicationDescription(CommandLine::tr(
        "Lumora 自动学习浏览器：登录培训网站，逐一打开网站上的课，并记下每课学习的分钟数。"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QString builtIn = QStringLiteral(LUMORA_DEFAULT_SITE);
    const QCommandLineOption site(
        QStringLiteral("site"),
        CommandLine::tr("这次使用的培训网站地址。登录页是该网站的 "
                        "/permission/loginAction.do?method=init。不给时：用第一次启动时或菜单"
                        "“网站地址…”保存的地址%1。")
            .arg(builtIn.isEmpty() ? QString() : CommandLine::tr("，否则用内置的 %1").arg(builtIn)),
        QStringLiteral("URL"));
    const QCommandLineOption stateFile(
        QStringLiteral("state-file"),
        CommandLine::tr("保存用户名、密码和学习进度的文件，不再尝试别的位置（默认 %1%2）。")
            .arg(QDir::toNativeSeparators(defaultPlaces.preferred),
                 defaultPlaces.fallback.isEmpty()
                     ? QString()
                     : CommandLine::tr("，无法写入时用 %1")
                           .arg(QDir::toNativeSeparators(defaultPlaces.fallback))),
        QStringLiteral("PATH"));
    const QCommandLineOption resume(
        QString::fromLatin1(app::kResumeOption),
        CommandLine::tr("继续被重新启动打断的连续学习：用保存的用户名和密码登录，然后开始学习"
                        "（系统重新启动本程序时会加上它）。"));
    parser.addOption(site);
    parser.addOption(stateFile);
    parser.addOption(resume);
    // For builds and packagers, in their words: the codec names say what is checked.
    const QCommandLineOption checkH264(
        QStringLiteral("check-h264"),
        QStringLiteral("Only say whether this program's browser engine plays H.264 and AAC video "
                       "(MP4 lessons), then exit: 0 when it does, 1 when not."));
    parser.addOption(checkH264);
    parser.process(application);

    app::AppConfig config;
    config.checkH264 = parser.isSet(checkH264);
    if (parser.isSet(site)) {
        const app::SiteAddress address = app::parseSiteAddress(parser.value(site));
        if (!address.error.isEmpty()) {
            platform::showStartupError(address.error);
            std::exit(2);
        }
        config.site = address.url;
    }
    config.resume = parser.isSet(resume);
    config.restartArguments = app::argumentsToResume(QCoreApplication::arguments().mid(1));
    if (parser.isSet(stateFile)) {
        config.stateFilePath = parser.value(stateFile);
    } else {
        config.stateFilePath = defaultPlaces.preferred;
        config.stateFileFallback = defaultPlaces.fallback;
        config.olderStateFiles = defaultPlaces.olderCopies;
    }
    return config;
}

// Asks the engine whether it plays MP4 lessons, on a profile of its own: the learner's profile
// and a copy that is running are left alone. One line, and the exit code, say the answer.
int checkH264Playback()
{
    const QTemporaryDir storage;
    platform::QtPlatform platform({storage.path(), storage.path()});
    platform.checkH264Playback([](bool plays) {
        platform::showStartupAnswer(QString::fromLatin1(plays ? kH264Playing : kH264NotPlaying),
                                    plays);
        QCoreApplication::exit(plays ? 0 : 1);
    });
    QTimer::singleShot(kH264NoAnswerMs, QCoreApplication::instance(), [] {
        platform::showStartupAnswer(QStringLiteral("no answer from the engine whether it plays "
                                                   "H.264 and AAC video (MP4)"),
                                    false);
        QCoreApplication::exit(1);
    });
    return QApplication::exec();
}

// Asked once the first page has loaded (the question needs a page of its own, which would slow
// the start); told once, in the notice: a status message would go with the next one.
void tellWhenH264CannotPlay(platform::QtPlatform& platform, window::MainWindow& mainWindow)
{
    // Told in plain words: the learner cannot choose codecs, only see which lessons will not play.
    const QString cannotPlay =
        window::MainWindow::tr("此电脑无法播放该网站的视频（MP4 格式），这样的课将无法学习。");
    auto asked = std::make_shared<QMetaObject::Connection>();
    *asked =
        QObject::connect(&mainWindow.mainView(), &platform::BrowserControl::documentLoaded,
                         &mainWindow, [&platform, &mainWindow, asked, cannotPlay] {
                             QObject::disconnect(*asked);
                             platform.checkH264Playback([&mainWindow, cannotPlay](bool canPlay) {
                                 if (!canPlay)
                                     mainWindow.showNotice(cannotPlay);
                             });
                         });
}

} // namespace

int main(int argc, char* argv[])
{
    platform::QtPlatform::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    QApplication::setApplicationVersion(QStringLiteral(LUMORA_VERSION));
    // The installed icon has the desktop entry's name; Wayland finds it through that name.
    QGuiApplication::setDesktopFileName(QStringLiteral(LUMORA_APP_ID));
    QIcon icon;
    icon.addFile(QStringLiteral(":/lumora/lumora-48.png"));
    icon.addFile(QStringLiteral(":/lumora/lumora-256.png"));
    QApplication::setWindowIcon(icon);
    app::Translations translations;
    translations.use(QLocale::system());

    app::AppConfig config = parseCommandLine(application);
    if (config.checkH264)
        return checkH264Playback();
    config.dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const platform::LogFile logFile(config.dataFolder); // lumora.* messages in lumora.log there

    // Before the browser profile or the state file is touched: a second copy hands over and ends.
    const platform::EngineFolders folders = platform::EngineFolders::standard();
    platform::SingleInstance instance(QDir(folders.local).filePath(QStringLiteral("lumora.lock")));
    platform::QtDialogs startupDialogs;
    if (app::handOverToRunningCopy(instance, startupDialogs))
        return 0;
    // The first start of a build with no site built in asks for one; cancelled, there is nothing
    // to open.
    app::SiteAddressSetting siteSetting(config.dataFolder);
    config.site = app::siteOfThisRun(config.site, siteSetting, QStringLiteral(LUMORA_DEFAULT_SITE),
                                     startupDialogs);
    if (config.site.isEmpty())
        return 0;

    platform::QtPlatform platform(folders);
    app::Program program(platform, config);
    window::MainWindow& mainWindow = program.window();
    platform.qtDialogs().setParent(&mainWindow);
    QObject::connect(&instance, &platform::SingleInstance::showRequested, &mainWindow,
                     &window::MainWindow::bringToFront);
    program.start();
    tellWhenH264CannotPlay(platform, mainWindow);
    // The window at once, drawn before the engine starts: the login page then loads in its view.
    mainWindow.showOnFirstPage(window::FirstShow::kAtOnce);
    const app::AfterFirstDrawing engineStart(mainWindow, [&platform] {
        // What start-up measurements wait for as the window's appearance.
        qCDebug(lcEngine) << "window drawn, the engine starts";
        platform.startEngine();
    });
    return QApplication::exec();
}
