#pragma once

#include <QString>
#include <QUrl>

namespace lumora::shell {

// What the program is told on its command line.
struct AppConfig
{
    QUrl site = QUrl(QStringLiteral("http://127.0.0.1:18080"));
    QString stateFilePath;

    // The site's login page: the site's host with the fixed path and query.
    QUrl loginPage() const;
};

inline constexpr const char* kLoginPath = "/permission/loginAction.do";
inline constexpr const char* kLoginQuery = "method=init";

} // namespace lumora::shell
