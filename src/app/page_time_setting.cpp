#include "app/page_time_setting.h"

#include "platform/logging.h"

#include <QDir>
#include <QSettings>

namespace lumora::app {

namespace {

constexpr const char* kKey = "study/pageTimeWithoutVideo";

} // namespace

PageTimeSetting::PageTimeSetting(const QString& dataFolder)
    : m_file(dataFolder.isEmpty() ? QString()
                                  : QDir(dataFolder).filePath(QStringLiteral("lumora.ini")))
{
}

bool PageTimeSetting::enabled() const
{
    return !m_file.isEmpty() &&
           QSettings(m_file, QSettings::IniFormat).value(QLatin1String(kKey), false).toBool();
}

bool PageTimeSetting::save(bool enabled)
{
    if (m_file.isEmpty())
        return false;
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(QLatin1String(kKey), enabled);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    qCWarning(lcState) << "the page-time setting could not be saved in" << m_file;
    return false;
}

} // namespace lumora::app
