#include "app/site_address.h"

#include "app/app_config.h"
#include "platform/files.h"
#include "platform/logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace lumora::app {

// The context of this file's texts in the translations.
class SiteAddressTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::app::SiteAddressTexts)
};

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

QString SiteAddressSetting::save(const QUrl& site)
{
    if (m_file.isEmpty())
        return SiteAddressTexts::tr("没有保存设置的文件夹");
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(QLatin1String(kSiteKey), site.toString());
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return {};
    qCWarning(lcState) << "the site address could not be saved in" << m_file;
    return platform::writeFailureText(platform::writeFailureAt(m_file));
}

std::optional<QUrl> askSiteAddress(platform::Dialogs& dialogs, const QUrl& current)
{
    const QString title = QString::fromUtf8(platform::kProgramTitle);
    QString text = current.toString();
    for (;;) {
        const std::optional<QString> answer = dialogs.askText(
            title, SiteAddressTexts::tr("培训网站的地址（以 http:// 或 https:// 开头）："), text);
        if (!answer)
            return std::nullopt;
        if (const QUrl site = usable(*answer); !site.isEmpty())
            return site;
        dialogs.message(
            SiteAddressTexts::tr("无法使用这个网站地址：%1\n请输入以 http:// 或 https:// "
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
    const std::optional<QUrl> site = askSiteAddress(dialogs, {});
    if (site)
        setting.save(*site); // a failure is logged; the address serves this run all the same
    return site.value_or(QUrl());
}

std::optional<QUrl> changeSiteAddress(platform::Dialogs& dialogs, SiteAddressSetting& setting,
                                      const QUrl& inUse)
{
    const std::optional<QUrl> site = askSiteAddress(dialogs, inUse);
    if (!site || *site == inUse)
        return std::nullopt;
    const QString failure = setting.save(*site);
    dialogs.message(
        failure.isEmpty() ? SiteAddressTexts::tr("网站地址已保存：%1").arg(site->toString())
                          : SiteAddressTexts::tr("未能保存：%1\n本次仍使用这个网站地址：%2")
                                .arg(failure, site->toString()),
        QString::fromUtf8(platform::kProgramTitle),
        failure.isEmpty() ? platform::MessageIcon::Information : platform::MessageIcon::None);
    return site;
}

} // namespace lumora::app
