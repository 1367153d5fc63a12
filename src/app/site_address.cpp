#include "app/site_address.h"

#include "app/app_config.h"
#include "platform/logging.h"

#include <QDir>
#include <QSettings>

namespace lumora::app {

namespace {

constexpr const char* kSiteKey = "site";

QUrl usable(const QString& text)
{
    return parseSiteAddress(text).url;
}

} // namespace

SiteAddressSetting::SiteAddressSetting(const QString& dataFolder)
    : m_file(dataFolder.isEmpty() ? QString()
                                  : QDir(dataFolder).filePath(QStringLiteral("lumora.ini")))
{
}

QUrl SiteAddressSetting::saved() const
{
    if (m_file.isEmpty())
        return {};
    const QString text =
        QSettings(m_file, QSettings::IniFormat).value(QLatin1String(kSiteKey)).toString();
    // A file edited by hand may hold anything: what --site would refuse is not used.
    return text.isEmpty() ? QUrl() : usable(text);
}

bool SiteAddressSetting::save(const QUrl& site)
{
    if (m_file.isEmpty())
        return false;
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(QLatin1String(kSiteKey), site.toString());
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    qCWarning(lcState) << "the site address could not be saved in" << m_file;
    return false;
}

std::optional<QUrl> askSiteAddress(platform::Dialogs& dialogs, SiteAddressSetting& setting,
                                   const QUrl& current)
{
    const QString title = QString::fromUtf8(platform::kProgramTitle);
    QString text = current.toString();
    for (;;) {
        const std::optional<QString> answer = dialogs.askText(
            title, QStringLiteral("培训网站的地址（以 http:// 或 https:// 开头）："), text);
        if (!answer)
            return std::nullopt;
        if (const QUrl site = usable(*answer); !site.isEmpty()) {
            setting.save(site);
            return site;
        }
        dialogs.message(QStringLiteral("无法使用这个网站地址：%1\n请输入以 http:// 或 https:// "
                                       "开头的网站地址，例如 https://www.example.com")
                            .arg(answer->trimmed()),
                        title, platform::MessageIcon::None);
        text = *answer;
    }
}

QUrl siteOfThisRun(const QUrl& given, SiteAddressSetting& setting, const QString& builtIn,
                   platform::Dialogs& dialogs)
{
    if (!given.isEmpty())
        return given;
    if (const QUrl saved = setting.saved(); !saved.isEmpty())
        return saved;
    if (const QUrl site = usable(builtIn); !site.isEmpty())
        return site;
    return askSiteAddress(dialogs, setting, {}).value_or(QUrl());
}

void changeSiteAddress(platform::Dialogs& dialogs, SiteAddressSetting& setting, const QUrl& inUse)
{
    const std::optional<QUrl> site = askSiteAddress(dialogs, setting, inUse);
    if (site && *site != inUse)
        dialogs.message(QStringLiteral("网站地址已保存，下次启动时使用：%1").arg(site->toString()),
                        QString::fromUtf8(platform::kProgramTitle),
                        platform::MessageIcon::Information);
}

} // namespace lumora::app
