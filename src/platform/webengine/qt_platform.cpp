#include "platform/webengine/qt_platform.h"

#include "platform/logging.h"
#include "platform/webengine/webengine_host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace lumora::platform {

namespace {

constexpr QLatin1String kProfileFolder("browser");
// The run record (records::StudyLog) and its previous file, kept in the same data folder.
constexpr QLatin1String kRunRecordFiles[] = {QLatin1String("study-log.txt"),
                                             QLatin1String("study-log.1.txt")};

QString absolute(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// Moves the run record to `local` when only `roaming` has one, so that the learner's "学习记录"
// goes on where it was. Both files go, or neither: one without the other mixes two histories.
void settleRunRecord(const EngineFolders& folders)
{
    const QDir local(folders.local), roaming(folders.roaming);
    QStringList found;
    for (const QLatin1String name : kRunRecordFiles) {
        if (local.exists(name))
            return;
        if (roaming.exists(name))
            found << name;
    }
    if (found.isEmpty())
        return;
    if (!QDir().mkpath(folders.local)) {
        qCWarning(lcState) << "could not move the run record from" << folders.roaming << "to"
                           << folders.local << "- the folder cannot be made";
        return;
    }
    QStringList moved;
    for (const QString& name : std::as_const(found)) {
        if (QFile::rename(roaming.filePath(name), local.filePath(name))) {
            moved << name;
            continue;
        }
        // Put back what went already: the record stays whole where it was.
        for (const QString& back : std::as_const(moved))
            QFile::rename(local.filePath(back), roaming.filePath(back));
        qCWarning(lcState) << "could not move the run record" << roaming.filePath(name) << "to"
                           << folders.local << "- it stays where it is";
        return;
    }
    qCInfo(lcState) << "moved the run record from" << folders.roaming << "to" << folders.local;
}

} // namespace

EngineFolders EngineFolders::standard()
{
    return {QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
}

QString settleProfileFolder(const EngineFolders& folders)
{
    if (absolute(folders.local) != absolute(folders.roaming))
        settleRunRecord(folders);
    const QString target = QDir(folders.local).filePath(kProfileFolder);
    const QString old = QDir(folders.roaming).filePath(kProfileFolder);
    if (absolute(folders.local) == absolute(folders.roaming) || QFileInfo::exists(target) ||
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
    return folders.roaming;
}

QtPlatform::QtPlatform(const EngineFolders& folders)
    : m_engine(std::make_unique<webengine::WebEngineHost>(
          QDir(settleProfileFolder(folders)).filePath(kProfileFolder)))
{
}

QtPlatform::~QtPlatform() = default;

void QtPlatform::prepareProcess()
{
    webengine::WebEngineHost::prepareProcess();
}

void QtPlatform::startEngine()
{
    m_engine->start();
}

std::unique_ptr<BrowserControl> QtPlatform::createBrowser(QWidget* parent)
{
    return m_engine->createWaitingBrowser(parent);
}

std::unique_ptr<Timer> QtPlatform::createTimer()
{
    return std::make_unique<QtTimer>();
}

bool QtPlatform::hasSystemTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

BrowsingData& QtPlatform::browsingData()
{
    return *m_engine;
}

void QtPlatform::checkH264Playback(std::function<void(bool canPlay)> done)
{
    // The baseline profile every H.264 decoder plays, with AAC-LC sound.
    m_engine->canPlayType(QStringLiteral("video/mp4; codecs=\"avc1.42E01E, mp4a.40.2\""),
                          std::move(done));
}

} // namespace lumora::platform
