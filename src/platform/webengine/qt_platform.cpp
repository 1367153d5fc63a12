#include "platform/webengine/qt_platform.h"

#include "platform/logging.h"
#include "platform/webengine/webengine_host.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumora::platform {

namespace {

constexpr QLatin1String kProfileFolder("browser");

QString absolute(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

EngineFolders EngineFolders::standard()
{
    return {QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
}

QString settleProfileFolder(const EngineFolders& folders)
{
    const QString target = QDir(folders.local).filePath(kProfileFolder);
    const QString old = QDir(folders.legacy).filePath(kProfileFolder);
    if (absolute(folders.local) == absolute(folders.legacy) || QFileInfo::exists(target) ||
        !QFileInfo(old).isDir())
        return folders.local;
    // On one volume (both under the user's AppData) a rename moves the whole profile at once;
    // one still in use by an older copy cannot be renamed on Windows and stays where it is.
    if (QDir().mkpath(folders.local) && QDir().rename(old, target)) {
        qCInfo(lcEngine) << "moved the browser profile from" << old << "to" << target;
        return folders.local;
    }
    qCWarning(lcEngine) << "could not move the browser profile from" << old << "to" << target
                        << "- it is used where it is";
    return folders.legacy;
}

QtPlatform::QtPlatform(const EngineFolders& folders)
    : m_instance(QDir(folders.local).filePath(QStringLiteral("lumora.lock"))),
      m_engine(std::make_unique<webengine::WebEngineHost>(
          QDir(settleProfileFolder(folders)).filePath(kProfileFolder)))
{
}

QtPlatform::~QtPlatform() = default;

void QtPlatform::prepareProcess()
{
    webengine::WebEngineHost::prepareProcess();
}

std::unique_ptr<BrowserControl> QtPlatform::createBrowser(QWidget* parent)
{
    return m_engine->createBrowser(parent);
}

std::unique_ptr<Timer> QtPlatform::createTimer()
{
    return std::make_unique<QtTimer>();
}

BrowsingData& QtPlatform::browsingData()
{
    return *m_engine;
}

void QtPlatform::checkH264Playback(std::function<void(bool canPlay)> done)
{
    // The baseline profile every H.264 decoder plays.
    m_engine->canPlayType(QStringLiteral("video/mp4; codecs=\"avc1.42E01E\""), std::move(done));
}

} // namespace lumora::platform
