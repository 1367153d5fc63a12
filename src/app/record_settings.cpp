#include "app/record_settings.h"

#include "platform/logging.h"

#include <QDir>
#include <QSettings>

namespace lumora::app {

study::RecordWatch::Settings readRecordSettings(const QString& dataFolder)
{
    study::RecordWatch::Settings settings;
    if (dataFolder.isEmpty())
        return settings;
    const QSettings file(QDir(dataFolder).filePath(QStringLiteral("lumora.ini")),
                         QSettings::IniFormat);
    const QStringList texts = file.value(QStringLiteral("record/linkTexts")).toStringList();
    if (!texts.isEmpty())
        settings.linkTexts = texts;
    const QString address = file.value(QStringLiteral("record/address")).toString().trimmed();
    if (!address.isEmpty()) {
        const QUrl url(address);
        if (url.isValid() &&
            (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
            settings.address = url;
        else
            qCWarning(lcState) << "record/address in lumora.ini is not a web address:" << address;
    }
    bool ok = false;
    const double minutes = file.value(QStringLiteral("record/minutesPerXueshi")).toDouble(&ok);
    if (ok && minutes > 0)
        settings.minutesPerXueshi = minutes;
    return settings;
}

} // namespace lumora::app
