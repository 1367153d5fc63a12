#include "platform/webengine/qt_platform.h"

#include "platform/webengine/webengine_host.h"

#include <QDir>

namespace lumora::platform {

QtPlatform::QtPlatform(const QString& dataFolder)
    : m_instance(QDir(dataFolder).filePath(QStringLiteral("lumora.lock"))),
      m_engine(std::make_unique<webengine::WebEngineHost>(
          QDir(dataFolder).filePath(QStringLiteral("browser"))))
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

} // namespace lumora::platform
