#pragma once

#include "site_options.h"
#include "site_state.h"
#include "study_record.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

// The site's documents, built from the page templates in the site's resources (pages/). The
// server encodes them in the page charset; `charset` is the name a document declares in its
// <meta charset> ("GBK" or "UTF-8").
namespace lumora::site::pages {

// Fills the template `resource`: "{{NAME}}" takes its value HTML-escaped, "{{{NAME}}}" takes
// it as it is (markup the site built from its own templates). A placeholder without a value
// is a fault of the site: it is logged and left empty.
using Values = std::initializer_list<std::pair<const char*, QString>>;
QString fill(const QString& resource, Values values = {});
// A whole document around `body`; `head` goes into its head.
QString document(const QByteArray& charset, const QString& title, const QString& body,
                 const QString& bodyClass = {}, const QString& head = {});
// A page script of the resources, to inline into its page.
QString script(const QString& name);

// A whole document around the body template `resource`, filled with `values` (see fill()).
QString simple(const QByteArray& charset, const QString& title, const QString& resource,
               const QString& bodyClass = {});

// The login page; `codeHint` tells the code to type (a site whose code field takes "ok").
QString login(const QByteArray& charset, const QString& userName, const QString& error,
              bool codeHint = true);
QString coursePage(const QByteArray& charset, const QString& user);
// The header frame, with a link to the record page as `record` says.
QString headerFrame(const QByteArray& charset, const QString& user, const RecordPage& record);
// The course frame; `selected` is the session's category (-1 for none yet). Its bar links the
// record page as `record` says (an ordinary page in its place when there is none).
QString courseFrame(const QByteArray& charset, int selected, const RecordPage& record);
QString info(const QByteArray& charset, const QString& heading);
// Page `page` (from 1, kept in range) of the record page: `entries` of `user` 10 a page, their
// times changed at site-clock times counted from `startMs`.
QString records(const QByteArray& charset, const QString& user,
                const std::vector<StudyRecord::Entry>& entries, int page, const RecordPage& style,
                qint64 startMs);
// The lesson list of `category`, its first `listed` lessons only when that is not negative;
// its lesson links open `playerPath` ("/player/play", or an entry page "/player/enter").
QString lessonList(const QByteArray& charset, int category, int listed = -1,
                   const QString& playerPath = QStringLiteral("/player/play"));
QString lessonIntro(const QByteArray& charset, int category, int lesson);
struct PlayerPage
{
    int category = 0;
    int lesson = 0;
    QString playerId{}; // empty when no instance was opened (HEAD)
    int heartbeatMs = 10000;
    bool hangs = false;          // its script stops answering shortly after load
    QString media{};             // what its video plays: a playerMediaName()
    int videoSeconds = 0;        // its video ends after this much playing; 0: never
    int overlayAfterSeconds = 0; // its video pauses behind "继续学习?" after this much; 0: never
    double timeScale = 0;        // its video's clock follows the site clock at this pace; 0: real
    QString videoFrame{};        // the address of the frame of another origin that plays its
                                 // video; empty: the page plays it itself
    int autoNextSeconds = 0;     // it goes to `next` after this long (site clock); 0: never
    QString next{};              // the next lesson's player; empty after the last lesson
    int progressSeconds = 60;    // it reports its progress this often (site clock)
    QString start{};             // how its medium starts: a playerStartName()
    QString overlayText{};       // the question of overlayAfterSeconds, and its button
    QString overlayButton{};
    int prerollSeconds = 0; // its video plays a clip this long before the lesson; 0: none
};
QString player(const QByteArray& charset, const PlayerPage& page);
// The page a lesson link opens before the player: after `delayMs` (real) its script replaces it
// with the player's address, or posts a form to /player/play when `post`.
QString playerEntry(const QByteArray& charset, int category, int lesson, qint64 delayMs, bool post);
// The frame, served on the video host's port, that plays the video of `page` for its player.
QString videoFrame(const QByteArray& charset, const PlayerPage& page);
// A 200 page in place of a lesson's player that only says `message` ("今日学时已满").
QString playerMessage(const QByteArray& charset, int category, int lesson, const QString& message);
QString popupTarget(const QByteArray& charset, const QString& via);
QString error(const QByteArray& charset, int status, const QString& message);
// What a page request without a valid session gets on sites that do not show the login form.
QString sessionTimeout(const QByteArray& charset);
QString maintenance(const QByteArray& charset);

// The watcher's page under /_site/, always UTF-8.
QString admin(const std::vector<RecordedEvent>& events,
              const std::map<QString, std::map<QString, qint64>>& studyMs);

// A file of the site's resources as it is stored (style sheet, images).
QByteArray resource(const QString& name);

} // namespace lumora::site::pages
