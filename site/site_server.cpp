#include "site_server.h"

#include "catalogue.h"
#include "pages.h"
#include "site_state.h"
#include "text_codec.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sys/socket.h>
#include <thread>

namespace lumora::site {

namespace {

constexpr std::string_view kSessionCookie = "JSESSIONID";
constexpr const char* kCoursePath = "/course/main";
constexpr std::size_t kMaxPayload = 64 * 1024;
constexpr int kWorkerThreads = 16;

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string lowerTrimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::string out;
    for (char c : text) {
        out += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    return out;
}

std::string fieldValue(const Fields& fields, std::string_view name)
{
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
        if (it->first == name) {
            return it->second;
        }
    }
    return {};
}

std::string sessionCookie(const httplib::Request& req)
{
    const std::size_t count = req.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < count; ++i) {
        const std::string header = req.get_header_value("Cookie", i);
        std::string_view rest = header;
        while (!rest.empty()) {
            const std::size_t semi = rest.find(';');
            std::string_view item = rest.substr(0, semi);
            rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
            while (!item.empty() && item.front() == ' ') {
                item.remove_prefix(1);
            }
            if (item.size() > kSessionCookie.size() &&
                item.substr(0, kSessionCookie.size()) == kSessionCookie &&
                item[kSessionCookie.size()] == '=') {
                return std::string(item.substr(kSessionCookie.size() + 1));
            }
        }
    }
    return {};
}

std::string infoHeading(const std::string& page)
{
    static const std::map<std::string, std::string> headings = {
        {"profile", "个人中心"}, {"notice", "通知公告"},   {"exam", "在线考试"},
        {"archive", "学习档案"}, {"practice", "在线练习"}, {"material", "参考资料"}};
    const auto it = headings.find(page);
    return it == headings.end() ? std::string("栏目") : it->second;
}

} // namespace

struct SiteServer::Impl
{
    explicit Impl(SiteOptions opts);

    // What a handler of a page behind the login gets.
    struct Visit
    {
        std::string sessionId;
        SessionInfo session;
    };
    using SessionHandler =
        std::function<void(const httplib::Request&, httplib::Response&, const Visit&)>;

    void routes(httplib::Server& server);
    httplib::Server::Handler page(SessionHandler handler);
    httplib::Server::Handler api(SessionHandler handler);
    std::optional<Visit> visit(const httplib::Request& req) const;

    Fields decodedFields(std::string_view raw) const;
    Fields query(const httplib::Request& req) const;
    // Reads a category (and lesson when `lesson` is given) from the query; answers the request
    // itself with 400/404 when they are missing, malformed or out of range.
    bool lessonParams(const httplib::Request& req, httplib::Response& res, bool json, int& category,
                      int* lesson) const;

    void sendHtml(httplib::Response& res, const std::string& html, int status = 200) const;
    void sendError(httplib::Response& res, int status, const std::string& message) const;
    static void sendJson(httplib::Response& res, const std::string& json, int status = 200);

    void login(const httplib::Request& req, httplib::Response& res);

    SiteOptions options;
    std::string charset;
    int heartbeatMs = 10000;
    std::unique_ptr<SiteState> state;

    mutable std::mutex mutex; // guards the members below
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = -1;
    std::string error;
};

SiteServer::Impl::Impl(SiteOptions opts) : options(std::move(opts))
{
    charset = normalizeCharset(options.charset).value_or(std::string());
    heartbeatMs = std::clamp(options.heartbeatMs, 50, 3600000);
    std::map<std::string, std::string> users = {{"demo", "demo123"}};
    for (const auto& [name, password] : options.extraUsers) {
        users[name] = password;
    }
    state = std::make_unique<SiteState>(std::move(users), options.clockMs);
}

std::optional<SiteServer::Impl::Visit> SiteServer::Impl::visit(const httplib::Request& req) const
{
    const std::string id = sessionCookie(req);
    if (id.empty()) {
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
    // Without a session every course page answers with the login page, as the real site does.
    return
        [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
            if (auto v = visit(req)) {
                handler(req, res, *v);
            } else {
                sendHtml(res, pages::login(charset, "", ""));
            }
        };
}

httplib::Server::Handler SiteServer::Impl::api(SessionHandler handler)
{
    return
        [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
            if (auto v = visit(req)) {
                handler(req, res, *v);
            } else {
                sendJson(res, R"({"ok":false,"error":"login required"})", 401);
            }
        };
}

Fields SiteServer::Impl::decodedFields(std::string_view raw) const
{
    // Browsers encode form fields and query values of a page in the page's charset.
    Fields fields = parseFormBytes(raw);
    for (auto& [name, value] : fields) {
        name = decodeToUtf8(name, charset);
        value = decodeToUtf8(value, charset);
    }
    return fields;
}

Fields SiteServer::Impl::query(const httplib::Request& req) const
{
    const std::size_t mark = req.target.find('?');
    if (mark == std::string::npos) {
        return {};
    }
    return decodedFields(std::string_view(req.target).substr(mark + 1));
}

bool SiteServer::Impl::lessonParams(const httplib::Request& req, httplib::Response& res, bool json,
                                    int& category, int* lesson) const
{
    const Fields q = query(req);
    const auto cat = parseIndex(fieldValue(q, "cat"));
    const auto les = lesson ? parseIndex(fieldValue(q, "lesson")) : std::optional<int>(0);
    auto fail = [&](int status, const std::string& message) {
        if (json) {
            sendJson(res, "{\"ok\":false,\"error\":" + jsonString(message) + "}", status);
        } else {
            sendError(res, status, message);
        }
        return false;
    };
    if (!cat || !les) {
        return fail(400, "请求参数无效");
    }
    if (!hasLesson(*cat, lesson ? *les : 0)) {
        return fail(404, "课程不存在");
    }
    category = *cat;
    if (lesson) {
        *lesson = *les;
    }
    return true;
}

void SiteServer::Impl::sendHtml(httplib::Response& res, const std::string& html, int status) const
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    const std::string type =
        charset == "UTF-8" ? "text/html; charset=utf-8" : "text/html; charset=" + charset;
    res.set_content(encodeFromUtf8(html, charset), type.c_str());
}

void SiteServer::Impl::sendError(httplib::Response& res, int status,
                                 const std::string& message) const
{
    sendHtml(res, pages::error(charset, status, message), status);
}

void SiteServer::Impl::sendJson(httplib::Response& res, const std::string& json, int status)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(json, "application/json; charset=utf-8");
}

void SiteServer::Impl::login(const httplib::Request& req, httplib::Response& res)
{
    if (fieldValue(query(req), "method") != "login") {
        sendError(res, 400, "请求参数无效");
        return;
    }
    const Fields fields = decodedFields(req.body);
    // Keep one value per name (the last), in the order the names first appeared.
    Fields unique;
    for (const auto& [name, value] : fields) {
        auto it = std::find_if(unique.begin(), unique.end(),
                               [&](const auto& field) { return field.first == name; });
        if (it == unique.end()) {
            unique.emplace_back(name, value);
        } else {
            it->second = value;
        }
    }
    const std::string user = fieldValue(unique, "userName");
    const std::string password = fieldValue(unique, "Password");
    const std::string code = fieldValue(unique, "randomCode");

    std::string reason;
    std::string message;
    if (user.empty()) {
        reason = "missing-user";
        message = "请输入用户名";
    } else if (lowerTrimmed(code) != "ok") {
        reason = "bad-code";
        message = "验证码错误，请重新输入";
    } else if (!state->checkPassword(user, password)) {
        reason = "bad-credentials";
        message = "用户名或密码错误";
    }

    JsonFields submitted;
    for (const auto& [name, value] : unique) {
        submitted.addString(name, value);
    }
    JsonFields event;
    event.addRaw("fields", "{" + submitted.text() + "}").addBool("ok", reason.empty());
    if (!reason.empty()) {
        event.addString("reason", reason);
    }
    state->record("login", user, event);

    if (!reason.empty()) {
        sendHtml(res, pages::login(charset, user, message));
        return;
    }
    const std::string id = state->createSession(user);
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly");
    res.set_header("Location", kCoursePath);
    sendHtml(res, pages::info(charset, "登录成功"), 303);
}

// Route patterns are regular expressions matched against the whole path.
void SiteServer::Impl::routes(httplib::Server& server)
{
    const auto loginPage = [this](const httplib::Request&, httplib::Response& res) {
        sendHtml(res, pages::login(charset, "", ""));
    };
    server.Get("/", loginPage);
    server.Get(R"(/permission/loginAction\.do)",
               [this](const httplib::Request& req, httplib::Response& res) {
                   if (fieldValue(query(req), "method") == "logout") {
                       const std::string id = sessionCookie(req);
                       if (!id.empty()) {
                           state->endSession(id);
                       }
                       res.set_header("Set-Cookie", std::string(kSessionCookie) +
                                                        "=; Path=/; Max-Age=0; HttpOnly");
                   }
                   sendHtml(res, pages::login(charset, "", ""));
               });
    server.Post(R"(/permission/loginAction\.do)",
                [this](const httplib::Request& req, httplib::Response& res) { login(req, res); });
    server.Get(R"(/permission/randomCode\.do)",
               [](const httplib::Request&, httplib::Response& res) {
                   res.set_content(pages::randomCodeSvg(), "image/svg+xml");
               });
    server.Get(R"(/images/login\.svg)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pages::loginButtonSvg(), "image/svg+xml");
    });
    server.Get(R"(/css/site\.css)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pages::styleSheet(), "text/css; charset=utf-8");
    });
    server.Get(R"(/favicon\.ico)",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

    // The course page and its frames.
    server.Get(kCoursePath, page([this](const auto&, auto& res, const Visit& v) {
                   sendHtml(res, pages::coursePage(charset, v.session.user));
               }));
    server.Get("/course/frame/header", page([this](const auto&, auto& res, const Visit& v) {
                   sendHtml(res, pages::headerFrame(charset, v.session.user));
               }));
    server.Get("/course/frame/notice", page([this](const auto&, auto& res, const Visit&) {
                   sendHtml(res, pages::noticeFrame(charset));
               }));
    server.Get("/course/frame/news", page([this](const auto&, auto& res, const Visit&) {
                   sendHtml(res, pages::newsFrame(charset));
               }));
    server.Get("/course/frame/course", page([this](const auto&, auto& res, const Visit& v) {
                   sendHtml(res, pages::courseFrame(charset, v.session.category));
               }));
    server.Get("/course/welcome", page([this](const auto&, auto& res, const Visit&) {
                   sendHtml(res, pages::welcome(charset));
               }));
    server.Get("/course/info", page([this](const httplib::Request& req, auto& res, const Visit&) {
                   const Fields q = query(req);
                   std::string heading = infoHeading(fieldValue(q, "page"));
                   const auto cat = parseIndex(fieldValue(q, "cat"));
                   if (cat && hasLesson(*cat, 0)) {
                       heading = std::string(catalogue()[static_cast<std::size_t>(*cat)].name) +
                                 " · " + heading;
                   }
                   sendHtml(res, pages::info(charset, heading));
               }));
    server.Get("/course/records", page([this](const auto&, auto& res, const Visit& v) {
                   const auto all = state->studyMilliseconds();
                   const auto it = all.find(v.session.user);
                   sendHtml(res,
                            pages::records(charset, v.session.user,
                                           it == all.end() ? std::map<std::string, std::int64_t>()
                                                           : it->second));
               }));
    server.Get(
        "/course/lessons", page([this](const httplib::Request& req, auto& res, const Visit& v) {
            // An explicit ?cat= shows that category; otherwise the session's selection,
            // or the first category before any selection.
            int category = v.session.category < 0 ? 0 : v.session.category;
            if (!fieldValue(query(req), "cat").empty() &&
                !lessonParams(req, res, false, category, nullptr)) {
                return;
            }
            if (req.method != "HEAD") {
                state->record(
                    "course-menu", v.session.user,
                    JsonFields()
                        .addInt("category", category)
                        .addString("name", catalogue()[static_cast<std::size_t>(category)].name));
            }
            sendHtml(res, pages::lessonList(charset, category));
        }));
    server.Get("/course/intro", page([this](const httplib::Request& req, auto& res, const Visit&) {
                   int category = 0;
                   int lesson = 0;
                   if (lessonParams(req, res, false, category, &lesson)) {
                       sendHtml(res, pages::lessonIntro(charset, category, lesson));
                   }
               }));
    server.Post(
        "/course/select", api([this](const httplib::Request& req, auto& res, const Visit& v) {
            int category = 0;
            if (!lessonParams(req, res, true, category, nullptr)) {
                return;
            }
            state->selectCategory(v.sessionId, category);
            sendJson(res, "{" +
                              JsonFields()
                                  .addBool("ok", true)
                                  .addInt("category", category)
                                  .addString("name",
                                             catalogue()[static_cast<std::size_t>(category)].name)
                                  .text() +
                              "}");
        }));
    server.Post("/course/exit", api([this](const auto&, auto& res, const Visit& v) {
                    const SiteState::Exit exit = state->exitCourse(v.session.user);
                    sendJson(res, "{" +
                                      JsonFields()
                                          .addBool("ok", true)
                                          .addInt("category", exit.category)
                                          .addInt("lesson", exit.lesson)
                                          .addInt("endedPlayers", exit.endedPlayers)
                                          .text() +
                                      "}");
                }));

    // The lesson player and its reports.
    server.Get("/player/play", page([this](const httplib::Request& req, auto& res, const Visit& v) {
                   int category = 0;
                   int lesson = 0;
                   if (!lessonParams(req, res, false, category, &lesson)) {
                       return;
                   }
                   const std::string id = req.method == "HEAD"
                                              ? std::string()
                                              : state->openPlayer(v.session.user, category, lesson);
                   sendHtml(res, pages::player(charset, category, lesson, id, heartbeatMs));
               }));
    const auto heartbeat = api([this](const httplib::Request& req, auto& res, const Visit& v) {
        int category = 0;
        int lesson = 0;
        if (!lessonParams(req, res, true, category, &lesson)) {
            return;
        }
        const std::string player = fieldValue(query(req), "player");
        const SiteState::Beat beat = state->heartbeat(v.session.user, player, category, lesson);
        switch (beat.status) {
        case SiteState::BeatStatus::Counted:
            sendJson(res, "{\"ok\":true,\"seconds\":" + std::to_string(beat.lessonSeconds) +
                              ",\"creditedMs\":" + std::to_string(beat.creditedMs) + "}");
            break;
        case SiteState::BeatStatus::Ended:
            sendJson(res, "{\"ok\":false,\"ended\":true,\"seconds\":" +
                              std::to_string(beat.lessonSeconds) + "}");
            break;
        case SiteState::BeatStatus::Unknown:
            sendJson(res, R"({"ok":false,"error":"unknown player"})", 404);
            break;
        }
    });
    server.Get("/player/heartbeat", heartbeat);
    server.Post("/player/heartbeat", heartbeat);
    server.Post(
        "/player/close", api([this](const httplib::Request& req, auto& res, const Visit& v) {
            const bool known = state->closePlayer(v.session.user, fieldValue(query(req), "player"));
            sendJson(res, known ? R"({"ok":true})" : R"({"ok":false})", known ? 200 : 404);
        }));

    // Housekeeping pages for the browser's own checks; no login needed.
    server.Get("/test/close-self", [this](const httplib::Request&, httplib::Response& res) {
        sendHtml(res, pages::closeSelf(charset));
    });
    server.Get("/test/blank-link", [this](const httplib::Request&, httplib::Response& res) {
        sendHtml(res, pages::blankLink(charset));
    });
    server.Get("/test/popup-target", [this](const httplib::Request& req, httplib::Response& res) {
        sendHtml(res, pages::popupTarget(charset, fieldValue(query(req), "via")));
    });
    server.Get("/test/alert", [this](const httplib::Request&, httplib::Response& res) {
        sendHtml(res, pages::alertPage(charset));
    });

    // The record, for tests and whoever watches the demo.
    const auto adminPage = [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(pages::admin(state->events(), state->studyMilliseconds()),
                        "text/html; charset=utf-8");
    };
    server.Get("/_site", adminPage);
    server.Get("/_site/", adminPage);
    server.Get("/_site/events", [this](const httplib::Request&, httplib::Response& res) {
        sendJson(res, state->eventsJson());
    });
    server.Post("/_site/reset", [this](const httplib::Request&, httplib::Response& res) {
        state->reset();
        sendJson(res, R"({"ok":true})");
    });
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
    if (d.server) {
        return d.port;
    }
    if (d.charset.empty()) {
        d.error = "unknown charset \"" + d.options.charset + "\" (use gbk or utf-8)";
        return -1;
    }
    if (d.options.port < 0 || d.options.port > 65535) {
        d.error = "port out of range: " + std::to_string(d.options.port);
        return -1;
    }

    auto server = std::make_unique<httplib::Server>();
    server->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    // Plain SO_REUSEADDR: a port another server holds must fail to bind rather than be shared.
    server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    server->set_payload_max_length(kMaxPayload);
    server->set_keep_alive_max_count(100);
    server->set_keep_alive_timeout(2);
    server->set_read_timeout(5);
    server->set_write_timeout(5);
    server->set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path.rfind("/_site", 0) == 0 && !isLoopbackAddress(req.remote_addr)) {
            res.status = 403;
            res.set_content("forbidden\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server->set_error_handler(
        httplib::Server::HandlerWithResponse([&d](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            const int status = res.status;
            std::string message = "请求错误";
            if (status == 404) {
                message = "页面不存在";
            } else if (status == 413) {
                message = "请求内容过大";
            } else if (status == 414) {
                message = "请求地址过长";
            } else if (status >= 500) {
                message = "服务器内部错误";
            }
            d.sendError(res, status, message);
            return httplib::Server::HandlerResponse::Handled;
        }));
    server->set_exception_handler(
        [&d](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            d.sendError(res, 500, "服务器内部错误");
        });
    d.routes(*server);

    int port = -1;
    if (d.options.port == 0) {
        port = server->bind_to_any_port(d.options.bind);
    } else if (server->bind_to_port(d.options.bind, d.options.port)) {
        port = d.options.port;
    }
    if (port <= 0) {
        d.error = "cannot listen on " + d.options.bind + ":" + std::to_string(d.options.port);
        return -1;
    }

    httplib::Server* raw = server.get();
    d.thread = std::thread([raw] { raw->listen_after_bind(); });
    // The socket already queues connections; wait until the accept loop runs too, so that
    // stop() (which only acts on a running server) always works.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!raw->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!raw->is_running()) {
        // listen_after_bind returned early: the thread is done or about to be.
        d.thread.join();
        d.error = "server thread did not start";
        return -1;
    }
    d.server = std::move(server);
    d.port = port;
    d.error.clear();
    return port;
}

void SiteServer::stop()
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    if (!d.server) {
        return;
    }
    d.server->stop();
    if (d.thread.joinable()) {
        d.thread.join();
    }
    d.server.reset();
    d.port = -1;
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
    return m_impl->state->eventsJson();
}

void SiteServer::resetRecord()
{
    m_impl->state->reset();
}

std::string SiteServer::lastError() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->error;
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
