#include "app/record_settings.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace lumora::app {

namespace {

class RecordSettingsTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::app::RecordSettingsTexts)
};

QString addressKey()
{
    return QStringLiteral("record/address");
}

QString settingsFile(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("lumora.ini"));
}

bool isWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

study::RecordWatch::Settings readRecordSettings(const QString& dataFolder)
{
    study::RecordWatch::Settings settings;
    if (dataFolder.isEmpty())
        return settings;
    const QSettings file(settingsFile(dataFolder), QSettings::IniFormat);
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

std::optional<QUrl> changeRecordAddress(platform::Dialogs& dialogs, const QString& dataFolder)
{
    const QString title = RecordSettingsTexts::tr("学习记录页地址");
    QString text = readRecordSettings(dataFolder).address.toString();
    for (;;) {
        const std::optional<QString> answer = dialogs.askText(
            title,
            RecordSettingsTexts::tr("网站“学习记录”页的地址（以 http:// 或 https:// "
                                    "开头；留空则由程序在课程页上查找）："),
            text);
        if (!answer)
            return std::nullopt;
        const QUrl url(answer->trimmed());
        if (answer->trimmed().isEmpty() || isWebAddress(url)) {
            QSettings file(settingsFile(dataFolder), QSettings::IniFormat);
            file.setValue(addressKey(), answer->trimmed());
            file.sync();
            if (dataFolder.isEmpty() || file.status() != QSettings::NoError) {
                qCWarning(lcState)
                    << "the record's address could not be saved in" << settingsFile(dataFolder);
                dialogs.message(RecordSettingsTexts::tr("未能保存设置。"), title,
                                platform::MessageIcon::None);
                return std::nullopt;
            }
            return answer->trimmed().isEmpty() ? QUrl() : url;
        }
        dialogs.message(RecordSettingsTexts::tr("不是网站地址：%1").arg(answer->trimmed()), title,
                        platform::MessageIcon::None);
        text = *answer;
    }
}

} // namespace lumora::app
