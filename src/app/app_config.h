#pragma once

#include "lumora_config.h"

#include <QString>
#include <QStringList>
#include <QUrl>

namespace lumora::app {

// What the program is told on its command line.
struct AppConfig
{
    QUrl site = QUrl(QStringLiteral(LUMORA_DEFAULT_SITE));
    // The state file: saves go to `stateFilePath` first and, once it refuses this user, to
    // `stateFileFallback` (empty: nowhere else); `olderStateFiles` are read at start-up as well,
    // when newer than the others.
    QString stateFilePath;
    QString stateFileFallback;
    QStringList olderStateFiles;
    // Where the program keeps its own files besides the state file (the run record).
    QString dataFolder;
    // --check-h264: only say whether the engine plays H.264 and AAC video, then exit.
    bool checkH264 = false;

    // The site's login page: the site's scheme and host with the fixed path and query.
    QUrl loginPage() const;
};

inline constexpr const char* kLoginPath = "/permission/loginAction.do";
inline constexpr const char* kLoginQuery = "method=init";

// The site address as given on the command line, or why it cannot be used: only http and https
// sites with a host are taken; a bare host name means http.
struct SiteAddress
{
    QUrl url;
    QString error; // empty when `url` can be used
};
SiteAddress parseSiteAddress(const QString& text);

} // namespace lumora::app
