#include "app/app_config.h"

#include <QCoreApplication>

namespace lumora::app {

namespace {

// The context of this file's texts in the translations.
class AddressTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::app::AddressTexts)
};

} // namespace

QUrl AppConfig::loginPage() const
{
    QUrl url;
    // The scheme is kept as given: a learner who asked for https never sends the password in
    // the clear.
    url.setScheme(site.scheme().isEmpty() ? QStringLiteral("http") : site.scheme());
    url.setHost(site.host());
    url.setPort(site.port());
    url.setPath(QString::fromLatin1(kLoginPath));
    url.setQuery(QString::fromLatin1(kLoginQuery));
    return url;
}

SiteAddress parseSiteAddress(const QString& text)
{
    const QUrl url = QUrl::fromUserInput(text.trimmed());
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty())
        return {{}, AddressTexts::tr("不是网站地址：%1").arg(text)};
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {{},
                AddressTexts::tr("只能使用 http 或 https 网站，不能使用 %1：%2")
                    .arg(url.scheme(), text)};
    return {url, {}};
}

QStringList argumentsToResume(QStringList arguments)
{
    const QString resume = QStringLiteral("--") + QLatin1String(kResumeOption);
    arguments.removeAll(resume);
    arguments.append(resume);
    return arguments;
}

} // namespace lumora::app
