#include "site_server.h"

#include "catalogue.h"
#include "site_server_impl.h"
#include "text_codec.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace lumora::site {

namespace {

using namespace Qt::StringLiterals;

constexpr char kSessionCookie[] = "JSESSIONID";
constexpr char kCoursePath[] = "/course/main";
constexpr std::size_t kMaxPayload = 64 * 1024;
// Enough that pages held back by a path delay leave workers for everything else.
constexpr int kWorkerThreads = 48;
// The video host serves frames, media and clock questions: no page is held back there.
constexpr int kVideoHostThreads = 16;

} // namespace

QString fieldValue(const Fields& fields, QLatin1StringView name)
{
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
        if (it->first == name) {
            return it->second;
        }
    }
    return {};
}

namespace {

QString sessionCookie(const Request& req)
{
    const std::size_t count = req.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < count; ++i) {
        for (const QByteArray& item :
             QByteArray::fromStdString(req.get_header_value("Cookie", i)).split(';')) {
            const QByteArray pair = item.trimmed();
            if (pair.startsWith(QByteArray(kSessionCookie) + '=') &&
                pair.size() > qsizetype(sizeof kSessionCookie)) {
                return QString::fromLatin1(pair.mid(sizeof kSessionCookie));
            }
        }
    }
    return {};
}

QString infoHeading(const QString& page)
{
    static const std::map<QString, QString> headings = {
        {u"profile"_s, u"个人中心"_s},  {u"notice"_s, u"通知公告"_s},
        {u"exam"_s, u"在线考试"_s},     {u"archive"_s, u"学习档案"_s},
        {u"practice"_s, u"在线练习"_s}, {u"material"_s, u"参考资料"_s}};
    const auto it = headings.find(page);
    return it == headings.end() ? u"栏目"_s : it->second;
}

} // namespace

QJsonObject playerReport(const std::string& body)
{
    const QJsonObject sent = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    const auto typed = [&](const char* key, QJsonValue::Type type) {
        const QJsonValue value = sent.value(QLatin1StringView(key));
        return value.type() == type ? value : QJsonValue(QJsonValue::Null);
    };
    const QJsonValue visibility = typed("visibility", QJsonValue::String);
    const QJsonValue time = typed("videoTime", QJsonValue::Double);
    // A MediaError code: a small whole number.
    const double error = typed("videoError", QJsonValue::Double).toDouble(-1);
    const bool errorCode = error >= 0 && error < 100 && error == std::floor(error);
    return {{u"visibility"_s, visibility.isNull() ? visibility : visibility.toString().left(20)},
            {u"focus"_s, typed("focus", QJsonValue::Bool)},
            {u"videoPlaying"_s, typed("videoPlaying", QJsonValue::Bool)},
            {u"videoEnded"_s, typed("videoEnded", QJsonValue::Bool)},
            {u"videoTime"_s, std::isfinite(time.toDouble()) ? time : QJsonValue::Null},
            {u"videoError"_s, errorCode ? QJsonValue(int(error)) : QJsonValue::Null},
            {u"preroll"_s, typed("preroll", QJsonValue::Bool)}};
}

namespace {

// Pages whose body is a template without values.
struct StaticPage
{
    const char* path;
    const char* title;
    const char* resource;
    const char* bodyClass;
    bool needsSession;
};
constexpr StaticPage kStaticPages[] = {
    {"/course/frame/notice", "通知公告", "notice.html", "frame", true},
    {"/course/frame/news", "培训动态", "news.html", "frame", true},
    {"/course/welcome", "欢迎", "welcome.html", "frame", true},
    {"/test/close-self", "自动关闭", "close_self.html", "", false},
    {"/test/blank-link", "新窗口链接", "blank_link.html", "", false},
    {"/test/alert", "对话框", "alert.html", "", false},
};

} // namespace

SiteServer::Impl::Impl(SiteOptions opts) : options(std::move(opts))
{
    charset = normalizeCharset(QByteArray::fromStdString(options.charset)).value_or(QByteArray());
    heartbeatMs = std::clamp(options.heartbeatMs, 50, 3600000);
    std::map<QString, QString> users = {{u"demo"_s, u"demo123"_s}};
    for (const auto& [name, password] : options.extraUsers) {
        users[QString::fromStdString(name)] = QString::fromStdString(password);
    }
    SiteState::Clock clock;
    if (options.clockMs) {
        clock = options.clockMs;
    }
    state = std::make_unique<SiteState>(std::move(users), std::move(clock));
    state->setSessionLifetimeMs(options.sessionLifetimeMs);
    state->setPlayerFailureRate(options.playerFailureRate, options.playerFailureSeed);
    state->failNextPlayerLoads(options.failNextPlayerLoads);
    state->setPlayerHangRate(options.playerHangRate, options.playerHangSeed);
    state->hangNextPlayers(options.hangNextPlayers);
    keepPlayerPage = options.endedSessionKeepsPlayer;
    media = options.playerMedia;
    endedPage = options.endedSessionPage;
    videoSeconds = std::max(options.videoSeconds, 0);
    overlayAfter = std::max(options.overlayAfterSeconds, 0);
    for (const auto& [prefix, ms] : options.pathDelaysMs) {
        if (ms > 0) {
            pathDelays[prefix] = ms;
        }
    }
    crossOriginAll = options.crossOriginVideos;
    crossOriginCategories.insert(options.crossOriginCategories.begin(),
                                 options.crossOriginCategories.end());
    if (!options.playerMessage.empty()) {
        messages[{-1, -1}] = QString::fromStdString(options.playerMessage);
    }
    for (const auto& [lesson, message] : options.lessonMessages) {
        messages[lesson] = QString::fromStdString(message);
    }
    autoNext = std::max(options.autoNextSeconds, 0);
    videoOutageFromMs = state->nowMs() + options.videoOutageAtMs;
    videoOutageUntilMs = videoOutageFromMs + std::max<std::int64_t>(options.videoOutageForMs, 0);
    videoOutageStatus = options.videoOutageStatus;
    listedLessons = options.listedLessons;
    lessonMedia = options.lessonMedia;

    studyRecord = std::make_unique<StudyRecord>([s = state.get()] { return s->nowMs(); });
    studyRecord->setSaveOnExitOnly(options.saveOnExitOnly);
    studyRecord->setDailyCapMs(qint64(std::max(options.dailyCapMinutes, 0)) * 60000);
    studyRecord->setDayMs(std::llround(options.siteDayHours * 3600 * 1000));
    progressSeconds = std::max(options.progressSeconds, 1);
    recordLagMinutes = std::max(options.recordLagMinutes, 0);
    recordPage = options.recordPage;
    entryPages = options.entryPages;
    playerStart = options.playerStart;
    overlayText = QString::fromStdString(options.overlayText);
    overlayButton = QString::fromStdString(options.overlayButton);
    prerollSeconds = std::max(options.prerollSeconds, 0);
    refuseLoginsUntilMs = state->nowMs() + options.refuseLoginsForMs;
    refuseLoginsText = QString::fromStdString(options.refuseLoginsText);
}

void SiteServer::Impl::restartCounting()
{
    state->restartCounting();
    studyRecord->restartCounting();
}

pages::PlayerPage SiteServer::Impl::playerPage(int category, int lesson) const
{
    PlayerMedia shown = media;
    QString question;
    QString button;
    {
        std::lock_guard lock(faultMutex);
        const auto it = lessonMedia.find({category, lesson});
        shown = it == lessonMedia.end() ? shown : it->second;
        question = overlayText;
        button = overlayButton;
    }
    return {.category = category,
            .lesson = lesson,
            .heartbeatMs = heartbeatMs,
            .media = QString::fromLatin1(playerMediaName(shown)),
            .videoSeconds = videoSeconds,
            .overlayAfterSeconds = overlayAfter,
            .timeScale = options.timeScale,
            .autoNextSeconds = hasLesson(category, lesson + 1) ? int(autoNext) : 0,
            .next = hasLesson(category, lesson + 1)
                        ? u"/player/play?cat=%1&lesson=%2"_s.arg(category).arg(lesson + 1)
                        : QString(),
            .progressSeconds = progressSeconds,
            .start = QString::fromLatin1(playerStartName(playerStart)),
            .overlayText = question,
            .overlayButton = button,
            .prerollSeconds = prerollSeconds};
}

std::string SiteServer::Impl::videoFrameUrl(const Request& req, int category, int lesson) const
{
    {
        std::lock_guard lock(faultMutex);
        if (!crossOriginAll && !crossOriginCategories.contains(category)) {
            return {};
        }
    }
    // The host the browser asked for, on the other port: the same site, another origin.
    std::string host = req.get_header_value("Host");
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
        host.resize(colon);
    }
    return "http://" + host + ":" + std::to_string(videoHostPort) +
           "/player/video?cat=" + std::to_string(category) + "&lesson=" + std::to_string(lesson);
}

QString SiteServer::Impl::messageFor(int category, int lesson) const
{
    std::lock_guard lock(faultMutex);
    for (const auto& key : {std::pair{category, lesson}, std::pair{-1, -1}}) {
        if (const auto it = messages.find(key); it != messages.end()) {
            return it->second;
        }
    }
    return {};
}

bool SiteServer::Impl::videoOutageNow() const
{
    const qint64 now = state->nowMs();
    return now >= videoOutageFromMs && now < videoOutageUntilMs;
}

QString SiteServer::Impl::withoutSession() const
{
    return endedPage == EndedSessionPage::TimeoutPage ? pages::sessionTimeout(charset)
                                                      : pages::login(charset, {}, {}, codeHinted());
}

void SiteServer::Impl::delay(const std::string& path, const httplib::Server& server) const
{
    int ms = 0;
    {
        std::lock_guard lock(faultMutex);
        std::size_t longest = 0;
        for (const auto& [prefix, wait] : pathDelays) {
            if (path.starts_with(prefix) && prefix.size() >= longest) {
                longest = prefix.size();
                ms = wait;
            }
        }
    }
    if (ms <= 0) {
        return;
    }
    // On the site clock, which a test or the soak moves at its own pace.
    const qint64 until = state->nowMs() + ms;
    state->record(u"slow-answer"_s, {},
                  {{u"path"_s, QString::fromStdString(path).left(200)}, {u"delayMs"_s, ms}});
    while (state->nowMs() < until && server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

httplib::Server::HandlerResponse SiteServer::Impl::siteDown(Response& res) const
{
    if (outage) {
        // A request on a connection opened before the outage: the site is down.
        res.status = 503;
        res.set_header("Connection", "close");
        res.set_content("site down\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (maintenance) {
        sendHtml(res, pages::maintenance(charset), 503);
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

std::optional<SiteServer::Impl::Visit> SiteServer::Impl::visit(const Request& req) const
{
    const QString id = sessionCookie(req);
    if (id.isEmpty()) {
        return std::nullopt;
    }
    auto info = state->session(id);
    if (!info) {
        return std::nullopt;
    }
    return Visit{id, std::move(*info)};
}

httplib::Server::Handler SiteServer::Impl::page(SessionHandler handler)
{
    // Without a valid session every course page answers with the login page, as the real
    // site does.
    return [this, handler = std::move(handler)](const Request& req, Response& res) {
        if (auto v = visit(req)) {
            handler(req, res, *v);
        } else {
            sendHtml(res, withoutSession());
        }
    };
}

httplib::Server::Handler SiteServer::Impl::api(SessionHandler handler)
{
    return [this, handler = std::move(handler)](const Request& req, Response& res) {
        if (auto v = visit(req)) {
            handler(req, res, *v);
        } else {
            sendJson(res, {{u"ok"_s, false}, {u"error"_s, u"login required"_s}}, 401);
        }
    };
}

Fields SiteServer::Impl::query(const Request& req) const
{
    // Browsers encode query values and form fields of a page in the page's charset.
    const std::size_t mark = req.target.find('?');
    Fields fields;
    if (mark != std::string::npos) {
        for (const auto& [name, value] :
             parseFormBytes(QByteArray::fromStdString(req.target.substr(mark + 1)))) {
            fields.emplace_back(decodeText(name, charset), decodeText(value, charset));
        }
    }
    if (req.method == "POST" &&
        req.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded")) {
        for (const auto& [name, value] : parseFormBytes(QByteArray::fromStdString(req.body))) {
            fields.emplace_back(decodeText(name, charset), decodeText(value, charset));
        }
    }
    return fields;
}

std::optional<std::pair<int, int>> SiteServer::Impl::lessonOf(const Fields& query, bool withLesson)
{
    const auto category = parseIndex(fieldValue(query, "cat"_L1));
    const auto lesson = withLesson ? parseIndex(fieldValue(query, "lesson"_L1)) : 0;
    if (!category || !lesson || !hasLesson(*category, *lesson)) {
        return std::nullopt;
    }
    return std::pair{*category, *lesson};
}

bool SiteServer::Impl::lessonParams(const Request& req, Response& res, bool json, int& category,
                                    int* lesson) const
{
    const Fields q = query(req);
    const auto found = lessonOf(q, lesson != nullptr);
    if (!found) {
        const bool wellFormed = parseIndex(fieldValue(q, "cat"_L1)) &&
                                (!lesson || parseIndex(fieldValue(q, "lesson"_L1)));
        const int status = wellFormed ? 404 : 400;
        const QString message = wellFormed ? u"课程不存在"_s : u"请求参数无效"_s;
        if (json) {
            sendJson(res, {{u"ok"_s, false}, {u"error"_s, message}}, status);
        } else {
            sendError(res, status, message);
        }
        return false;
    }
    category = found->first;
    if (lesson) {
        *lesson = found->second;
    }
    return true;
}

void SiteServer::Impl::sendHtml(Response& res, const QString& html, int status) const
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    const QByteArray type = "text/html; charset=" + (charset == "UTF-8" ? "utf-8" : charset);
    res.set_content(encodeText(html, charset).toStdString(), type.constData());
}

void SiteServer::Impl::sendError(Response& res, int status, const QString& message) const
{
    sendHtml(res, pages::error(charset, status, message), status);
}

void SiteServer::Impl::sendJson(Response& res, const QJsonObject& json, int status)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void SiteServer::Impl::login(const Request& req, Response& res)
{
    if (fieldValue(query(req), "method"_L1) != "login"_L1) {
        sendError(res, 400, u"请求参数无效"_s);
        return;
    }
    QJsonObject submitted; // a repeated name keeps its last value
    for (const auto& [name, value] : parseFormBytes(QByteArray::fromStdString(req.body))) {
        submitted.insert(decodeText(name, charset), decodeText(value, charset));
    }
    const QString user = submitted.value("userName"_L1).toString();
    const QString password = submitted.value("Password"_L1).toString();
    const QString code = submitted.value("randomCode"_L1).toString().trimmed().toLower();

    QString reason;
    QString message;
    if (state->nowMs() < refuseLoginsUntilMs) {
        reason = u"refused"_s;
        std::lock_guard lock(faultMutex);
        message = refuseLoginsText;
    } else if (user.isEmpty()) {
        reason = u"missing-user"_s;
        message = u"请输入用户名"_s;
    } else if (code != QString::fromStdString(options.loginCode).toLower()) {
        reason = u"bad-code"_s;
        message = u"验证码错误，请重新输入"_s;
    } else if (!state->checkPassword(user, password)) {
        reason = u"bad-credentials"_s;
        message = u"用户名或密码错误"_s;
    }
    QJsonObject event{{u"fields"_s, submitted}, {u"ok"_s, reason.isEmpty()}};
    if (!reason.isEmpty()) {
        event.insert(u"reason"_s, reason);
    }
    state->record(u"login"_s, user, event);

    if (!reason.isEmpty()) {
        sendHtml(res, pages::login(charset, user, message, codeHinted()));
        return;
    }
    const QString id = state->createSession(user);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=" + id.toStdString() + "; Path=/; HttpOnly");
    res.set_header("Location", kCoursePath);
    sendHtml(res, pages::info(charset, u"登录成功"_s), 303);
}

void SiteServer::Impl::heartbeat(const Request& req, Response& res)
{
    const Fields q = query(req);
    const QString player = fieldValue(q, "player"_L1);
    const QJsonObject seen = playerReport(req.body);
    const auto v = visit(req);
    if (!v) {
        // Recorded, so that a watcher sees the player go on reporting after its session ended.
        if (const auto lesson = lessonOf(q, true)) {
            state->heartbeatWithoutSession(player, lesson->first, lesson->second, seen);
        }
        // The player page does what this says: stay and go on reporting, or go to log in.
        sendJson(res,
                 {{u"ok"_s, false},
                  {u"error"_s, u"login required"_s},
                  {u"keepPage"_s, bool(keepPlayerPage)}},
                 401);
        return;
    }
    int category = 0;
    int lesson = 0;
    if (!lessonParams(req, res, true, category, &lesson)) {
        return;
    }
    const SiteState::Beat beat = state->heartbeat(v->session.user, player, category, lesson, seen);
    switch (beat.status) {
    case SiteState::BeatStatus::Counted:
        sendJson(res, {{u"ok"_s, true},
                       {u"seconds"_s, qint64(beat.lessonSeconds)},
                       {u"creditedMs"_s, qint64(beat.creditedMs)}});
        break;
    case SiteState::BeatStatus::Ended:
        sendJson(
            res,
            {{u"ok"_s, false}, {u"ended"_s, true}, {u"seconds"_s, qint64(beat.lessonSeconds)}});
        break;
    case SiteState::BeatStatus::Unknown:
        sendJson(res, {{u"ok"_s, false}, {u"error"_s, u"unknown player"_s}}, 404);
        break;
    }
}

void SiteServer::Impl::play(const Request& req, Response& res, const Visit& v)
{
    int category = 0;
    int lesson = 0;
    if (!lessonParams(req, res, false, category, &lesson)) {
        return;
    }
    if (const QString message = messageFor(category, lesson); !message.isEmpty()) {
        if (req.method != "HEAD") {
            state->record(
                u"player-message"_s, v.session.user,
                {{u"category"_s, category}, {u"lesson"_s, lesson}, {u"message"_s, message}});
        }
        sendHtml(res, pages::playerMessage(charset, category, lesson, message));
        return;
    }
    pages::PlayerPage player = playerPage(category, lesson);
    player.videoFrame = QString::fromStdString(videoFrameUrl(req, category, lesson));
    if (req.method == "HEAD") {
        sendHtml(res, pages::player(charset, player));
    } else if (const auto opened = state->openPlayer(v.session.user, category, lesson)) {
        player.playerId = opened->id;
        player.hangs = opened->hangs;
        studyRecord->open(opened->id, v.session.user, category, lesson);
        videoStarting = true;
        sendHtml(res, pages::player(charset, player));
    } else {
        sendHtml(res, pages::simple(charset, u"课件加载失败"_s, u"player_failed.html"_s), 500);
    }
}

// Route patterns are regular expressions matched against the whole path.
void SiteServer::Impl::routes(httplib::Server& server)
{
    const auto loginPage = [this](const Request&, Response& res) {
        sendHtml(res, pages::login(charset, {}, {}, codeHinted()));
    };
    server.Get("/", loginPage);
    server.Get(R"(/permission/loginAction\.do)", [this](const Request& req, Response& res) {
        if (fieldValue(query(req), "method"_L1) == "logout"_L1) {
            const QString id = sessionCookie(req);
            if (!id.isEmpty()) {
                state->endSession(id);
            }
            res.set_header("Set-Cookie",
                           std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly");
        }
        sendHtml(res, pages::login(charset, {}, {}, codeHinted()));
    });
    server.Post(R"(/permission/loginAction\.do)",
                [this](const Request& req, Response& res) { login(req, res); });
    for (const auto& [path, file, type] :
         {std::tuple{R"(/permission/randomCode\.do)", "random_code.svg", "image/svg+xml"},
          {R"(/images/login\.svg)", "login.svg", "image/svg+xml"},
          {R"(/css/site\.css)", "site.css", "text/css; charset=utf-8"}}) {
        server.Get(path, [this, file, type](const Request&, Response& res) {
            QByteArray content = pages::resource(QLatin1StringView(file));
            // The code picture shows the code the login takes.
            if (QLatin1StringView(file) == "random_code.svg"_L1)
                content.replace(">ok<", ">" + QByteArray::fromStdString(options.loginCode) + "<");
            res.set_content(content.toStdString(), type);
        });
    }
    server.Get(R"(/favicon\.ico)", [](const Request&, Response& res) { res.status = 204; });
    for (const StaticPage& p : kStaticPages) {
        const auto send = [this, p](const Request&, Response& res) {
            sendHtml(res,
                     pages::simple(charset, QString::fromUtf8(p.title),
                                   QLatin1StringView(p.resource), QLatin1StringView(p.bodyClass)));
        };
        server.Get(p.path, p.needsSession ? page([send](const Request& req, Response& res,
                                                        const Visit&) { send(req, res); })
                                          : httplib::Server::Handler(send));
    }

    // The course page and its frames.
    server.Get(kCoursePath, page([this](const Request&, Response& res, const Visit& v) {
                   sendHtml(res, pages::coursePage(charset, v.session.user));
               }));
    server.Get("/course/frame/header", page([this](const Request&, Response& res, const Visit& v) {
                   sendHtml(res, pages::headerFrame(charset, v.session.user, recordStyle()));
               }));
    // The program fetches the course frame again now and then to learn whether its session is
    // alive, so each fetch is recorded (cheaply) with the answer it got; it counts no study.
    server.Get("/course/frame/course", [this](const Request& req, Response& res) {
        const auto v = visit(req);
        if (req.method != "HEAD") {
            state->record(u"course-frame"_s, v ? v->session.user : QString(),
                          {{u"session"_s, v.has_value()}});
        }
        sendHtml(res, v ? pages::courseFrame(charset, v->session.category, recordStyle())
                        : withoutSession());
    });
    server.Get("/course/info", page([this](const Request& req, Response& res, const Visit&) {
                   const Fields q = query(req);
                   QString heading = infoHeading(fieldValue(q, "page"_L1));
                   if (const auto category = lessonOf(q, false)) {
                       heading = categoryName(category->first) + u" · "_s + heading;
                   }
                   sendHtml(res, pages::info(charset, heading));
               }));
    server.Get("/course/lessons", page([this](const Request& req, Response& res, const Visit& v) {
                   // An explicit ?cat= shows that category; otherwise the session's selection,
                   // or the first category before any selection.
                   int category = std::max(v.session.category, 0);
                   if (!fieldValue(query(req), "cat"_L1).isEmpty() &&
                       !lessonParams(req, res, false, category, nullptr)) {
                       return;
                   }
                   if (req.method != "HEAD") {
                       state->record(
                           u"course-menu"_s, v.session.user,
                           {{u"category"_s, category}, {u"name"_s, categoryName(category)}});
                   }
                   int listed = -1;
                   {
                       std::lock_guard lock(faultMutex);
                       const auto it = listedLessons.find(category);
                       listed = it == listedLessons.end() ? -1 : it->second;
                   }
                   sendHtml(res, pages::lessonList(charset, category, listed,
                                                   entryFor(category) ? u"/player/enter"_s
                                                                      : u"/player/play"_s));
               }));
    server.Get("/course/intro", page([this](const Request& req, Response& res, const Visit&) {
                   int category = 0;
                   int lesson = 0;
                   if (lessonParams(req, res, false, category, &lesson)) {
                       sendHtml(res, pages::lessonIntro(charset, category, lesson));
                   }
               }));
    server.Post("/course/select", api([this](const Request& req, Response& res, const Visit& v) {
                    int category = 0;
                    if (lessonParams(req, res, true, category, nullptr)) {
                        state->selectCategory(v.sessionId, category);
                        sendJson(res, {{u"ok"_s, true},
                                       {u"category"_s, category},
                                       {u"name"_s, categoryName(category)}});
                    }
                }));
    server.Post("/course/exit", api([this](const Request&, Response& res, const Visit& v) {
                    const SiteState::Exit exit = state->exitCourse(v.session.user);
                    sendJson(res, {{u"ok"_s, true},
                                   {u"category"_s, exit.category},
                                   {u"lesson"_s, exit.lesson},
                                   {u"endedPlayers"_s, exit.endedPlayers}});
                }));

    // The lesson player and its reports.
    const auto player =
        page([this](const Request& req, Response& res, const Visit& v) { play(req, res, v); });
    server.Get("/player/play", player);
    server.Post("/player/play", player); // an entry page's form
    // The frame of the video host that plays a player's video (no session: a video host of
    // another origin knows none).
    server.Get("/player/video", [this](const Request& req, Response& res) {
        int category = 0;
        int lesson = 0;
        if (lessonParams(req, res, false, category, &lesson)) {
            sendHtml(res, pages::videoFrame(charset, playerPage(category, lesson)));
        }
    });
    // What the player's video loads in the "unsupported" mode: not media at all, under a type
    // no browser plays.
    server.Get("/player/media/unsupported", [](const Request&, Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content("not a video\n", "video/x-lumora-unplayable");
    });
    // The lesson of the "mp4" mode; the server answers the engine's range requests.
    server.Get("/player/media/lesson.mp4",
               [video = pages::resource(u"lesson.mp4"_s).toStdString()](
                   const Request&, Response& res) { res.set_content(video, "video/mp4"); });
    // A lesson of `seconds` (a day when absent or 0) of silence, 8-bit mono PCM at 4 kHz:
    // cheap to serve at any length and to seek, so that a player can end it natively and move
    // it to a position of the site clock. Generated for each range asked.
    // The pre-roll's clip is another address of the same kind.
    server.Get(R"(/player/media/(lesson|preroll)\.wav)", [this](const Request& req, Response& res) {
        constexpr std::size_t kRate = 4000;
        constexpr std::size_t kHeader = 44;
        const int asked = fieldValue(query(req), "seconds"_L1).toInt();
        const std::size_t data = kRate * std::size_t(asked > 0 ? asked : 86400);
        const auto le = [](std::string& out, std::uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                out += char((value >> (8 * i)) & 0xFF);
            }
        };
        std::string header = "RIFF";
        le(header, std::uint32_t(kHeader - 8 + data), 4);
        header += "WAVEfmt ";
        for (const auto& [value, bytes] : {std::pair<std::uint32_t, int>{16, 4},
                                           {1, 2},
                                           {1, 2},
                                           {kRate, 4},
                                           {kRate, 4},
                                           {1, 2},
                                           {8, 2}}) {
            le(header, value, bytes);
        }
        header += "data";
        le(header, std::uint32_t(data), 4);
        res.set_header("Cache-Control", "no-store");
        res.set_content_provider(
            kHeader + data, "audio/wav",
            [header](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                std::string chunk;
                for (std::size_t i = offset; i < offset + std::min<std::size_t>(length, 65536);
                     ++i) {
                    chunk += i < kHeader ? header[i] : char(0x80); // 0x80: silence
                }
                return sink.write(chunk.data(), chunk.size());
            });
    });
    const auto beat = [this](const Request& req, Response& res) { heartbeat(req, res); };
    server.Get("/player/heartbeat", beat);
    server.Post("/player/heartbeat", beat);
    server.Post("/player/close", api([this](const Request& req, Response& res, const Visit& v) {
                    const QString player = fieldValue(query(req), "player"_L1);
                    const bool known = state->closePlayer(v.session.user, player);
                    if (known) {
                        studyRecord->close(player); // what its visit held is lost
                    }
                    sendJson(res, {{u"ok"_s, known}}, known ? 200 : 404);
                }));
    studyRoutes(server);
    server.Get("/test/popup-target", [this](const Request& req, Response& res) {
        sendHtml(res, pages::popupTarget(charset, fieldValue(query(req), "via"_L1)));
    });

    // The record, for tests and whoever watches the demo.
    const auto adminPage = [this](const Request&, Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(pages::admin(state->events(), state->studyMilliseconds()).toStdString(),
                        "text/html; charset=utf-8");
    };
    server.Get("/_site", adminPage);
    server.Get("/_site/", adminPage);
    server.Get("/_site/events", [this](const Request&, Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(state->eventsJson().toStdString(), "application/json; charset=utf-8");
    });
    // The site clock, for player pages whose video follows it (SiteOptions::timeScale).
    server.Get("/_site/clock", [this](const Request&, Response& res) {
        sendJson(res, {{u"ms"_s, qint64(state->nowMs())}, {u"videoOutage"_s, videoOutageNow()}});
    });
    // A player page's video started playing, or failed to.
    server.Post("/_site/video-settled", [this](const Request&, Response& res) {
        videoStarting = false;
        sendJson(res, {{u"ok"_s, true}});
    });
    server.Post("/_site/reset", [this](const Request&, Response& res) {
        state->reset();
        studyRecord->reset();
        sendJson(res, {{u"ok"_s, true}});
    });
}

std::unique_ptr<httplib::Server> SiteServer::Impl::makeServer(int threads)
{
    auto created = std::make_unique<httplib::Server>();
    created->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    created->set_socket_options([](socket_t sock) {
#ifdef _WIN32
        // Windows shares a port bound with SO_REUSEADDR; exclusive use is the safe choice.
        BOOL yes = TRUE;
        setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                   sizeof yes);
#else
        // Plain SO_REUSEADDR (no SO_REUSEPORT): a port another server holds fails to bind
        // rather than being shared, and the port can be bound again right after an outage.
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });
    created->set_payload_max_length(kMaxPayload);
    created->set_keep_alive_max_count(100);
    created->set_keep_alive_timeout(1);
    created->set_read_timeout(5);
    created->set_write_timeout(5);
    httplib::Server* raw = created.get();
    created->set_pre_routing_handler([this, raw](const Request& req, Response& res) {
        if (options.requestArrived) {
            options.requestArrived(req.method, req.path);
        }
        // The record and the clock are the watcher's, not the site's: no fault touches them.
        if (req.path.starts_with("/_site")) {
            if (isLoopbackAddress(req.remote_addr)) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            res.status = 403;
            res.set_content("forbidden\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path.starts_with("/player/media/") && videoOutageNow()) {
            res.status = videoOutageStatus;
            res.set_header("Cache-Control", "no-store");
            res.set_content("video unavailable\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (siteDown(res) == httplib::Server::HandlerResponse::Unhandled) {
            delay(req.path, *raw);
            return siteDown(res); // as the site is when the answer is sent
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    created->set_error_handler(
        httplib::Server::HandlerWithResponse([this](const Request&, Response& res) {
            if (!res.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            static const std::map<int, QString> messages = {
                {404, u"页面不存在"_s}, {413, u"请求内容过大"_s}, {414, u"请求地址过长"_s}};
            const auto it = messages.find(res.status);
            sendError(res, res.status,
                      it != messages.end() ? it->second
                      : res.status >= 500  ? u"服务器内部错误"_s
                                           : u"请求错误"_s);
            return httplib::Server::HandlerResponse::Handled;
        }));
    created->set_exception_handler([this](const Request&, Response& res, std::exception_ptr) {
        sendError(res, 500, u"服务器内部错误"_s);
    });
    routes(*created);
    return created;
}

int SiteServer::Impl::listenLocked(int wantedPort)
{
    return serveLocked(makeServer(kWorkerThreads), wantedPort, server, thread);
}

int SiteServer::Impl::serveLocked(std::unique_ptr<httplib::Server> created, int wantedPort,
                                  std::unique_ptr<httplib::Server>& holder, std::thread& into)
{
    int bound = -1;
    if (wantedPort == 0) {
        bound = created->bind_to_any_port(options.bind);
    } else if (created->bind_to_port(options.bind, wantedPort)) {
        bound = wantedPort;
    }
    if (bound <= 0) {
        error = "cannot listen on " + options.bind + ":" + std::to_string(wantedPort);
        return -1;
    }
    httplib::Server* raw = created.get();
    into = std::thread([raw] { raw->listen_after_bind(); });
    // The socket already queues connections; wait until the accept loop runs too, so that
    // stop() (which only acts on a running server) always works.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!raw->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!raw->is_running()) {
        into.join(); // listen_after_bind returned early
        error = "server thread did not start";
        return -1;
    }
    holder = std::move(created);
    error.clear();
    return bound;
}

// Stops the running server (if any) and keeps it as the retired one, joining the one before.
void SiteServer::Impl::retireLocked()
{
    if (retiredThread.joinable()) {
        retiredThread.join();
    }
    retiredServer.reset();
    if (server) {
        server->stop(); // closes the listening socket at once; workers finish their requests
        retiredServer = std::move(server);
        retiredThread = std::move(thread);
    }
}

SiteServer::SiteServer(SiteOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

SiteServer::~SiteServer()
{
    stop();
}

int SiteServer::start()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (d.port > 0) {
        return d.port;
    }
    if (d.charset.isEmpty()) {
        d.error = "unknown charset \"" + d.options.charset + "\" (use gbk or utf-8)";
        return -1;
    }
    if (d.options.port < 0 || d.options.port > 65535) {
        d.error = "port out of range: " + std::to_string(d.options.port);
        return -1;
    }
    d.port = d.listenLocked(d.options.port);
    if (d.port > 0) {
        d.videoHostPort =
            d.serveLocked(d.makeServer(kVideoHostThreads), std::max(d.options.videoHostPort, 0),
                          d.videoHost, d.videoHostThread);
        if (d.videoHostPort <= 0) {
            d.retireLocked();
            d.retireLocked();
            d.port = -1;
        }
    }
    return d.port;
}

void SiteServer::stop()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    d.stallSink.reset(); // closes what it holds
    d.stalled = false;
    d.retireLocked();
    d.retireLocked(); // joins what the first call retired
    d.outage = false;
    d.port = -1;
    if (d.videoHost) {
        d.videoHost->stop();
        d.videoHostThread.join();
        d.videoHost.reset();
    }
    d.videoHostPort = -1;
}

int SiteServer::port() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->port;
}

std::string SiteServer::baseUrl() const
{
    std::lock_guard lock(m_impl->mutex);
    const std::string& host = m_impl->options.bind;
    const bool ipv6 = host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(m_impl->port);
}

std::string SiteServer::eventsJson() const
{
    return m_impl->state->eventsJson().toStdString();
}

void SiteServer::resetRecord()
{
    m_impl->state->reset();
    m_impl->studyRecord->reset();
}

std::string SiteServer::lastError() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->error;
}

void SiteServer::setSessionLifetimeMs(std::int64_t ms)
{
    m_impl->state->setSessionLifetimeMs(ms);
    m_impl->state->record(u"fault"_s, {}, {{u"sessionLifetimeMs"_s, qint64(ms)}});
}

void SiteServer::setPlayerFailureRate(double fraction, std::uint64_t seed)
{
    m_impl->state->setPlayerFailureRate(fraction, seed);
    m_impl->state->record(
        u"fault"_s, {},
        {{u"playerFailureRate"_s, fraction}, {u"playerFailureSeed"_s, QString::number(seed)}});
}

void SiteServer::failNextPlayerLoads(int count)
{
    m_impl->state->failNextPlayerLoads(count);
    m_impl->state->record(u"fault"_s, {}, {{u"failNextPlayerLoads"_s, count}});
}

void SiteServer::hangNextPlayers(int count)
{
    m_impl->state->hangNextPlayers(count);
    m_impl->state->record(u"fault"_s, {}, {{u"hangNextPlayers"_s, count}});
}

void SiteServer::setPlayerHangRate(double fraction, std::uint64_t seed)
{
    m_impl->state->setPlayerHangRate(fraction, seed);
    m_impl->state->record(
        u"fault"_s, {},
        {{u"playerHangRate"_s, fraction}, {u"playerHangSeed"_s, QString::number(seed)}});
}

void SiteServer::setPlayerMedia(PlayerMedia media)
{
    m_impl->media = media;
    m_impl->state->record(u"fault"_s, {},
                          {{u"playerMedia"_s, QString::fromLatin1(playerMediaName(media))}});
}

void SiteServer::setEndedSessionKeepsPlayer(bool keep)
{
    m_impl->keepPlayerPage = keep;
    m_impl->state->record(u"fault"_s, {},
                          {{u"endedSessionPlayer"_s, keep ? u"stay"_s : u"login"_s}});
}

void SiteServer::setEndedSessionPage(EndedSessionPage page)
{
    m_impl->endedPage = page;
    m_impl->state->record(
        u"fault"_s, {}, {{u"endedSessionPage"_s, QString::fromLatin1(endedSessionPageName(page))}});
}

void SiteServer::setPathDelay(const QString& pathPrefix, int ms)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (ms > 0) {
            m_impl->pathDelays[pathPrefix.toStdString()] = ms;
        } else {
            m_impl->pathDelays.erase(pathPrefix.toStdString());
        }
    }
    m_impl->state->record(u"fault"_s, {},
                          {{u"pathDelay"_s, pathPrefix}, {u"delayMs"_s, std::max(ms, 0)}});
}

void SiteServer::setMaintenance(bool on)
{
    if (m_impl->maintenance.exchange(on) == on) {
        return;
    }
    if (!on) {
        // Reports were refused meanwhile: the time the site was down is nobody's study.
        m_impl->restartCounting();
    }
    m_impl->state->record(u"fault"_s, {}, {{u"maintenance"_s, on}});
}

bool SiteServer::inMaintenance() const
{
    return m_impl->maintenance;
}

void SiteServer::setVideoSeconds(int seconds)
{
    m_impl->videoSeconds = std::max(seconds, 0);
    m_impl->state->record(u"fault"_s, {}, {{u"videoSeconds"_s, std::max(seconds, 0)}});
}

void SiteServer::setOverlayAfter(int seconds)
{
    m_impl->overlayAfter = std::max(seconds, 0);
    m_impl->state->record(u"fault"_s, {}, {{u"overlayAfterSeconds"_s, std::max(seconds, 0)}});
}

void SiteServer::setLessonMedia(int category, int lesson, std::optional<PlayerMedia> media)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (media) {
            m_impl->lessonMedia[{category, lesson}] = *media;
        } else {
            m_impl->lessonMedia.erase({category, lesson});
        }
    }
    m_impl->state->record(
        u"fault"_s, {},
        {{u"category"_s, category},
         {u"lesson"_s, lesson},
         {u"lessonMedia"_s,
          media ? QJsonValue(QString::fromLatin1(playerMediaName(*media))) : QJsonValue()}});
}

void SiteServer::setCrossOriginVideo(bool on, int category)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (category < 0) {
            m_impl->crossOriginAll = on;
            m_impl->crossOriginCategories.clear();
        } else if (on) {
            m_impl->crossOriginCategories.insert(category);
        } else {
            m_impl->crossOriginCategories.erase(category);
        }
    }
    m_impl->state->record(u"fault"_s, {}, {{u"crossOriginVideo"_s, on}, {u"category"_s, category}});
}

int SiteServer::videoHostPort() const
{
    return m_impl->videoHostPort;
}

void SiteServer::setPlayerMessage(const QString& message, int category, int lesson)
{
    const std::pair key = category < 0 ? std::pair{-1, -1} : std::pair{category, lesson};
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (message.isEmpty()) {
            m_impl->messages.erase(key);
        } else {
            m_impl->messages[key] = message;
        }
    }
    m_impl->state->record(
        u"fault"_s, {},
        {{u"playerMessage"_s, message}, {u"category"_s, key.first}, {u"lesson"_s, key.second}});
}

void SiteServer::setAutoNextAfter(int seconds)
{
    m_impl->autoNext = std::max(seconds, 0);
    m_impl->state->record(u"fault"_s, {}, {{u"autoNextSeconds"_s, std::max(seconds, 0)}});
}

void SiteServer::setVideoOutage(int status, std::int64_t ms)
{
    const qint64 now = m_impl->state->nowMs();
    m_impl->videoOutageStatus = status;
    m_impl->videoOutageFromMs = now;
    m_impl->videoOutageUntilMs = now + std::max<std::int64_t>(ms, 0);
    m_impl->state->record(u"fault"_s, {},
                          {{u"videoOutageStatus"_s, status},
                           {u"videoOutageMs"_s, qint64(std::max<std::int64_t>(ms, 0))}});
}

bool SiteServer::videoStarting() const
{
    return m_impl->videoStarting;
}

bool SiteServer::inVideoOutage() const
{
    return m_impl->videoOutageNow();
}

void SiteServer::setListedLessons(int category, int count)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (count < 0) {
            m_impl->listedLessons.erase(category);
        } else {
            m_impl->listedLessons[category] = count;
        }
    }
    m_impl->state->record(u"fault"_s, {},
                          {{u"category"_s, category}, {u"listedLessons"_s, std::max(count, -1)}});
}

int SiteServer::endAllSessions()
{
    return m_impl->state->endAllSessions();
}

bool SiteServer::beginOutage()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (d.port <= 0 || d.outage || d.stalled) {
        return false;
    }
    d.outage = true;
    d.retireLocked();
    d.state->record(u"outage-begin"_s, {});
    return true;
}

bool SiteServer::endOutage()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (d.port <= 0 || !d.outage) {
        return false;
    }
    // The old server may still finish a request on a connection opened before the outage; the
    // port is free once its listening socket closed, so listening again need not wait for it.
    d.outage = false;
    if (d.listenLocked(d.port) < 0) {
        d.outage = true;
        return false;
    }
    d.restartCounting();
    d.state->record(u"outage-end"_s, {});
    return true;
}

bool SiteServer::inOutage() const
{
    return m_impl->outage;
}

bool SiteServer::beginStall()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (d.port <= 0 || d.outage || d.stalled) {
        return false;
    }
    d.retireLocked();
    auto sink = std::make_unique<StallSink>();
    if (!sink->listen(d.options.bind, d.port, d.error)) {
        const std::string error = d.error;
        if (d.listenLocked(d.port) < 0) {
            d.outage = true; // neither stalled nor serving: refused, as in an outage
            d.state->record(u"outage-begin"_s, {});
        }
        d.error = error;
        return false;
    }
    // The stopped server would still serve the connections open now (up to a second, while
    // they are kept alive); a stalled site answers none, so they are closed before the sink
    // accepts any of its own.
    const int closed = shutDownConnectionsTo(d.port);
    d.stalled = true;
    d.state->record(u"stall-begin"_s, {}, {{u"closedConnections"_s, closed}});
    SiteState* state = d.state.get();
    d.stallSink = std::move(sink);
    d.stallSink->start([state](const std::string& line) {
        state->record(u"stall-request"_s, {}, {{u"request"_s, QString::fromStdString(line)}});
    });
    return true;
}

bool SiteServer::endStall()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (d.port <= 0 || !d.stalled) {
        return false;
    }
    const StallSink::Counts counts = d.stallSink->stop();
    d.stallSink.reset();
    d.stalled = false;
    d.restartCounting();
    d.state->record(u"stall-end"_s, {},
                    {{u"connections"_s, counts.connections}, {u"dropped"_s, counts.dropped}});
    if (d.listenLocked(d.port) < 0) {
        d.outage = true;
        d.state->record(u"outage-begin"_s, {});
        return false;
    }
    return true;
}

bool SiteServer::inStall() const
{
    return m_impl->stalled;
}

std::int64_t SiteServer::clockMs() const
{
    return m_impl->state->nowMs();
}

std::int64_t SiteServer::lastCountedHeartbeatMs(const std::string& user, int category,
                                                int lesson) const
{
    return m_impl->state->lastCountedMs(QString::fromStdString(user), category, lesson);
}

LessonTotals SiteServer::studyMilliseconds(const std::string& user) const
{
    const auto totals = m_impl->state->lessonMilliseconds(QString::fromStdString(user));
    return {totals.begin(), totals.end()};
}

LessonTotals SiteServer::watchedMilliseconds(const std::string& user) const
{
    const auto totals = m_impl->state->lessonWatchedMilliseconds(QString::fromStdString(user));
    return {totals.begin(), totals.end()};
}

bool loadUsersFile(const std::string& path, std::vector<std::pair<std::string, std::string>>& out,
                   std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<std::pair<std::string, std::string>> users;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find_first_not_of(" \t") == std::string::npos || line.front() == '#') {
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            error = path + ":" + std::to_string(number) + ": expected name:password";
            return false;
        }
        users.emplace_back(line.substr(0, colon), line.substr(colon + 1));
    }
    out.insert(out.end(), users.begin(), users.end());
    return true;
}

} // namespace lumora::site
