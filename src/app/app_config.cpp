#include "app/app_config.h"

namespace lumora::app {

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
        return {{}, QStringLiteral("not a site address: %1").arg(text)};
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {{},
                QStringLiteral("only http and https sites can be used, not %1: %2")
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
