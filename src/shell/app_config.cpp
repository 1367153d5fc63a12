#include "shell/app_config.h"

namespace lumora::shell {

QUrl AppConfig::loginPage() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(site.host());
    url.setPort(site.port());
    url.setPath(QString::fromLatin1(kLoginPath));
    url.setQuery(QString::fromLatin1(kLoginQuery));
    return url;
}

} // namespace lumora::shell
