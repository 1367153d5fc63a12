#pragma once

// The server's insides, shared by the files that build its routes.

#include "pages.h"
#include "site_server.h"
#include "site_state.h"
#include "stall_sink.h"
#include "study_record.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace lumora::site {

using Fields = QList<std::pair<QString, QString>>;
using Request = httplib::Request;
using Response = httplib::Response;

// The last value of the field `name`, or empty.
QString fieldValue(const Fields& fields, QLatin1StringView name);
// What the player says it sees with a report (a JSON body); null for what it left out or
// sent with the wrong type.
QJsonObject playerReport(const std::string& body);

struct SiteServer::Impl
{
    explicit Impl(SiteOptions opts);

    // What a handler of a page behind the login gets.
    struct Visit
    {
        QString sessionId;
        SessionInfo session;
    };
    using SessionHandler = std::function<void(const Request&, Response&, const Visit&)>;

    void routes(httplib::Server& server);
    httplib::Server::Handler page(SessionHandler handler);
    httplib::Server::Handler api(SessionHandler handler);
    std::optional<Visit> visit(const Request& req) const;

    // The query's fields, then those of a form posted with the request.
    Fields query(const Request& req) const;
    // A valid category and lesson from the query ("lesson" read only when `withLesson`).
    static std::optional<std::pair<int, int>> lessonOf(const Fields& query, bool withLesson);
    // Like lessonOf, but answers the request itself with 400/404 when they are missing,
    // malformed or out of range.
    bool lessonParams(const Request& req, Response& res, bool json, int& category,
                      int* lesson) const;

    void sendHtml(Response& res, const QString& html, int status = 200) const;
    void sendError(Response& res, int status, const QString& message) const;
    static void sendJson(Response& res, const QJsonObject& json, int status = 200);

    // What a page request without a valid session gets.
    QString withoutSession() const;
    // Waits out the path delay of `path` (site clock) unless `server` stops meanwhile.
    void delay(const std::string& path, const httplib::Server& server) const;
    // The page that refuses every request during a maintenance or an outage, or Unhandled.
    httplib::Server::HandlerResponse siteDown(Response& res) const;

    void login(const Request& req, Response& res);
    bool codeHinted() const { return options.loginCode == "ok"; }
    void heartbeat(const Request& req, Response& res);
    // A player page's route, for GET and for a form's POST.
    void play(const Request& req, Response& res, const Visit& v);
    // Both counts: open players count from now on (the site was down meanwhile).
    void restartCounting();

    // The study record's routes and the lessons' shapes (study_routes.cpp).
    void studyRoutes(httplib::Server& server);
    void progress(const Request& req, Response& res);
    void recordsPage(const Request& req, Response& res);
    void entryPage(const Request& req, Response& res, const Visit& v);
    RecordPage recordStyle() const; // as set now
    // The entry page of `category`'s lessons, if they have one.
    std::optional<EntryPage> entryFor(int category) const;
    // Records a "progress" event with what the player saw.
    void recordProgress(const QString& user, const Fields& query, QJsonObject seen,
                        const QJsonObject& fields);

    // A server with every route and the faults' handlers, not yet bound.
    std::unique_ptr<httplib::Server> makeServer(int threads);
    // Binds `created` to `wantedPort` (0: any) and serves it on `into`; the bound port or -1.
    int serveLocked(std::unique_ptr<httplib::Server> created, int wantedPort,
                    std::unique_ptr<httplib::Server>& holder, std::thread& into);
    // Creates a server on `port` (0: any) and serves it on `thread`; the bound port or -1.
    int listenLocked(int port);
    // What a player page of that lesson shows, as the faults set now (no instance yet).
    pages::PlayerPage playerPage(int category, int lesson) const;
    // The address of the video host's frame for a player requested through `req`.
    std::string videoFrameUrl(const Request& req, int category, int lesson) const;
    // The message shown in place of that lesson's player, or empty.
    QString messageFor(int category, int lesson) const;
    bool videoOutageNow() const;
    void retireLocked();

    SiteOptions options;
    QByteArray charset;
    int heartbeatMs = 10000;
    std::unique_ptr<SiteState> state;
    std::atomic<bool> outage = false;
    std::atomic<bool> stalled = false;
    std::atomic<bool> videoStarting = false;  // see videoStarting()
    std::atomic<bool> keepPlayerPage = false; // see setEndedSessionKeepsPlayer()
    std::atomic<PlayerMedia> media = PlayerMedia::Canvas;
    std::atomic<EndedSessionPage> endedPage = EndedSessionPage::LoginForm;
    std::atomic<bool> maintenance = false;
    std::atomic<int> videoSeconds = 0;
    std::atomic<int> overlayAfter = 0;
    std::atomic<int> autoNext = 0;
    std::atomic<qint64> videoOutageFromMs = 0;
    std::atomic<qint64> videoOutageUntilMs = 0;
    std::atomic<int> videoOutageStatus = 503;
    std::unique_ptr<StudyRecord> studyRecord; // the site's own, from progress reports
    std::atomic<int> progressSeconds = 60;
    std::atomic<int> recordLagMinutes = 0;
    std::atomic<PlayerStart> playerStart = PlayerStart::Autoplay;
    std::atomic<int> prerollSeconds = 0;
    std::atomic<qint64> refuseLoginsUntilMs = 0;

    mutable std::mutex faultMutex; // guards the members below
    std::map<std::string, int> pathDelays;
    std::map<std::pair<int, int>, PlayerMedia> lessonMedia;
    bool crossOriginAll = false;
    std::set<int> crossOriginCategories;
    std::map<std::pair<int, int>, QString> messages; // (-1, -1): every lesson
    std::map<int, int> listedLessons;
    RecordPage recordPage;
    std::map<int, EntryPage> entryPages; // -1: every category
    QString overlayText;
    QString overlayButton;
    QString refuseLoginsText;

    mutable std::mutex mutex; // guards the members below
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    // The server an outage stopped. Its thread ends once its last connections are done; it is
    // joined at the next outage or at stop(), so that ending an outage never waits for it.
    std::unique_ptr<httplib::Server> retiredServer;
    std::thread retiredThread;
    std::unique_ptr<StallSink> stallSink;       // holds the port during a stall
    std::unique_ptr<httplib::Server> videoHost; // the second port; no fault stops it
    std::thread videoHostThread;
    std::atomic<int> videoHostPort = -1; // read by handlers: no lock, which stop() holds
    int port = -1;
    std::string error;
};

} // namespace lumora::site
