#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace lumora::app {

// What the program is told on its command line.
struct AppConfig
{
    // The training site.
    QUrl site;
    // The state file: saves go to `stateFilePath` first and, once it refuses this user, to
    // `stateFileFallback` (empty: nowhere else); `olderStateFiles` are read at start-up as well,
    // when newer than the others.
    QString stateFilePath;
    QString stateFileFallback;
    QStringList olderStateFiles;
    // Where the program keeps its own files besides the state file (the run record).
    QString dataFolder;
    // Started again after a restart cut a run short (--resume): the run goes on.
    bool resume = false;
    // What the system starts the program again with should it end in the middle of a run.
    QStringList restartArguments;
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

// The arguments a program started with `arguments` (its own path left out) is started again with
// to go on with its run: the same, with --resume once.
QStringList argumentsToResume(QStringList arguments);
inline constexpr const char* kResumeOption = "resume";

} // namespace lumora::app
