// Tests of the stand-in training site, run in-process over loopback HTTP.

#include "markup_scanner.h"
#include "site_server.h"
#include "text_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTest>

#include <httplib.h>
#include <iconv.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

using lumora::site::SiteOptions;
using lumora::site::SiteServer;

namespace {

// Decodes GBK with iconv directly, independent of the server's own conversion code.
std::string gbkToUtf8(const std::string& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string out(bytes.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        return "<not GBK>";
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string utf8ToGbk(const std::string& text)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(text.size() * 2 + 1, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string percent(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes).toPercentEncoding().toStdString();
}

bool contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

struct Reply
{
    int status = 0;
    std::string body; // as sent
    httplib::Headers headers;
    std::string header(const std::string& name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

// A site on a free loopback port, with a clock the test moves, and a client for it.
struct Site
{
    explicit Site(SiteOptions options = {})
    {
        options.port = 0;
        options.clockMs = [this] { return now.load(); };
        server = std::make_unique<SiteServer>(std::move(options));
        port = server->start();
    }

    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", port);
        c.set_connection_timeout(10);
        c.set_read_timeout(20);
        return c;
    }

    Reply get(const std::string& path, const std::string& cookie = {}) const
    {
        httplib::Headers headers;
        if (!cookie.empty()) {
            headers.emplace("Cookie", cookie);
        }
        auto result = client().Get(path.c_str(), headers);
        return result ? Reply{result->status, result->body, result->headers} : Reply{};
    }

    Reply post(const std::string& path, const std::string& body, const std::string& cookie = {},
               const char* type = "application/x-www-form-urlencoded") const
    {
        httplib::Headers headers;
        if (!cookie.empty()) {
            headers.emplace("Cookie", cookie);
        }
        auto result = client().Post(path.c_str(), headers, body, type);
        return result ? Reply{result->status, result->body, result->headers} : Reply{};
    }

    Reply submitLogin(const std::string& user, const std::string& password,
                      const std::string& code) const
    {
        return post("/permission/loginAction.do?method=login",
                    "userName=" + percent(user) + "&Password=" + percent(password) +
                        "&randomCode=" + percent(code) + "&x=12&y=7");
    }

    // Logs in and returns the "JSESSIONID=..." cookie, empty on failure.
    std::string login(const std::string& user = "demo", const std::string& password = "demo123")
    {
        const Reply reply = submitLogin(user, password, "ok");
        const std::string setCookie = reply.header("Set-Cookie");
        return setCookie.substr(0, setCookie.find(';'));
    }

    QJsonObject record() const
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(get("/_site/events").body))
            .object();
    }
    QJsonArray events() const { return record().value("events").toArray(); }
    QJsonObject lastEvent() const { return events().last().toObject(); }

    std::atomic<std::int64_t> now{1000};
    std::unique_ptr<SiteServer> server;
    int port = -1;
};

int studySeconds(const QJsonObject& record, const QString& user, const QString& lesson)
{
    return record.value("studySeconds").toObject().value(user).toObject().value(lesson).toInt(-1);
}

std::string playerIdOf(const std::string& page)
{
    const QRegularExpression re(QStringLiteral("var PLAYER = \"([0-9A-F]+)\""));
    return re.match(QString::fromStdString(page)).captured(1).toStdString();
}

} // namespace

class SiteTest : public QObject
{
    Q_OBJECT

private slots:
    void loginIsAcceptedOrRefused_data();
    void loginIsAcceptedOrRefused();
    void loginDecodesPageCharset_data();
    void loginDecodesPageCharset();
    void coursePagesNeedSession_data();
    void coursePagesNeedSession();
    void loginPageAndCoursePageLayout();
    void courseFrameLinksAndMenu();
    void lessonListsPerCategory_data();
    void lessonListsPerCategory();
    void studyTimeAccumulatesPerLesson();
    void exitEndsOpenPlayers();
    void pagesUseConfiguredCharset_data();
    void pagesUseConfiguredCharset();
    void eventsAreRecordedInOrder();
    void concurrentHeartbeatsAreAllCounted();
    void siteRecordIsLoopbackOnly_data();
    void siteRecordIsLoopbackOnly();
    void badRequestsLeaveServerUp();
    void housekeepingPages();
    void serverLifecycle();
    void usersFile_data();
    void usersFile();
    void binaryPrintsPortAndStopsOnSigterm();
    void binaryRejectsBadOptions_data();
    void binaryRejectsBadOptions();
};

void SiteTest::loginIsAcceptedOrRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("reason"); // empty when accepted
    QTest::addColumn<QString>("message");

    QTest::newRow("accepted") << "demo"
                              << "demo123"
                              << "ok"
                              << ""
                              << "";
    QTest::newRow("code ignores case") << "demo"
                                       << "demo123"
                                       << "OK"
                                       << ""
                                       << "";
    QTest::newRow("wrong password") << "demo"
                                    << "demo12"
                                    << "ok"
                                    << "bad-credentials"
                                    << "用户名或密码错误";
    QTest::newRow("password is case sensitive") << "demo"
                                                << "DEMO123"
                                                << "ok"
                                                << "bad-credentials"
                                                << "用户名或密码错误";
    QTest::newRow("unknown user") << "demox"
                                  << "demo123"
                                  << "ok"
                                  << "bad-credentials"
                                  << "用户名或密码错误";
    QTest::newRow("wrong code") << "demo"
                                << "demo123"
                                << "ko"
                                << "bad-code"
                                << "验证码错误";
    QTest::newRow("empty code") << "demo"
                                << "demo123"
                                << ""
                                << "bad-code"
                                << "验证码错误";
    QTest::newRow("empty user") << ""
                                << "demo123"
                                << "ok"
                                << "missing-user"
                                << "请输入用户名";
}

void SiteTest::loginIsAcceptedOrRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, reason);
    QFETCH(QString, message);

    Site site;
    QVERIFY(site.port > 0);
    const Reply reply =
        site.submitLogin(user.toStdString(), password.toStdString(), code.toStdString());
    const QJsonObject event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("login"));
    QCOMPARE(event.value("user").toString(), user);
    const QJsonObject fields = event.value("fields").toObject();
    QCOMPARE(fields.value("userName").toString(), user);
    QCOMPARE(fields.value("Password").toString(), password);
    QCOMPARE(fields.value("randomCode").toString(), code);

    if (reason.isEmpty()) {
        QCOMPARE(reply.status, 303);
        QCOMPARE(reply.header("Location"), std::string("/course/main"));
        const std::string setCookie = reply.header("Set-Cookie");
        QVERIFY2(setCookie.rfind("JSESSIONID=", 0) == 0, setCookie.c_str());
        QVERIFY(contains(setCookie, "Path=/"));
        QVERIFY(contains(setCookie, "HttpOnly"));
        QVERIFY(event.value("ok").toBool());
        const Reply course = site.get("/course/main", setCookie.substr(0, setCookie.find(';')));
        QVERIFY(contains(gbkToUtf8(course.body), "退出课件"));
    } else {
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.header("Set-Cookie").empty());
        const std::string page = gbkToUtf8(reply.body);
        QVERIFY2(contains(page, message.toStdString()), page.c_str());
        QVERIFY(contains(page, "name=\"userName\""));
        QVERIFY(!event.value("ok").toBool());
        QCOMPARE(event.value("reason").toString(), reason);
    }
}

void SiteTest::loginDecodesPageCharset_data()
{
    QTest::addColumn<QString>("charset");
    QTest::newRow("gbk") << "gbk";
    QTest::newRow("utf-8") << "utf-8";
}

void SiteTest::loginDecodesPageCharset()
{
    QFETCH(QString, charset);
    SiteOptions options;
    options.charset = charset.toStdString();
    options.extraUsers = {{"张三", "密码123"}};
    Site site(options);
    const bool gbk = charset == "gbk";
    const auto encode = [&](const std::string& text) {
        return percent(gbk ? utf8ToGbk(text) : text);
    };

    // A wrong password in Chinese is recorded as typed, then the right one is accepted.
    Reply reply =
        site.post("/permission/loginAction.do?method=login",
                  "userName=" + encode("张三") + "&Password=" + encode("错误") + "&randomCode=ok");
    QCOMPARE(reply.status, 200);
    QJsonObject fields = site.lastEvent().value("fields").toObject();
    QCOMPARE(fields.value("userName").toString(), QStringLiteral("张三"));
    QCOMPARE(fields.value("Password").toString(), QStringLiteral("错误"));

    reply = site.post("/permission/loginAction.do?method=login",
                      "userName=" + encode("张三") + "&Password=" + encode("密码123") +
                          "&randomCode=ok");
    QCOMPARE(reply.status, 303);
    QCOMPARE(site.lastEvent().value("user").toString(), QStringLiteral("张三"));
    QVERIFY(site.lastEvent().value("ok").toBool());
}

void SiteTest::coursePagesNeedSession_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status"); // 200 = the login page is served instead

    QTest::newRow("course page") << "GET"
                                 << "/course/main" << 200;
    QTest::newRow("course frame") << "GET"
                                  << "/course/frame/course" << 200;
    QTest::newRow("lesson list") << "GET"
                                 << "/course/lessons?cat=1" << 200;
    QTest::newRow("player") << "GET"
                            << "/player/play?cat=0&lesson=0" << 200;
    QTest::newRow("select") << "POST"
                            << "/course/select?cat=1" << 401;
    QTest::newRow("exit") << "POST"
                          << "/course/exit" << 401;
    QTest::newRow("heartbeat") << "POST"
                               << "/player/heartbeat?cat=0&lesson=0&player=AB" << 401;
}

void SiteTest::coursePagesNeedSession()
{
    QFETCH(QString, method);
    QFETCH(QString, path);
    QFETCH(int, status);

    Site site;
    std::string loggedOut = site.login();
    QVERIFY(!loggedOut.empty());
    site.get("/permission/loginAction.do?method=logout", loggedOut);

    for (const std::string& cookie : {std::string(), std::string("JSESSIONID=forged"), loggedOut}) {
        const Reply reply = method == "GET" ? site.get(path.toStdString(), cookie)
                                            : site.post(path.toStdString(), "", cookie);
        QCOMPARE(reply.status, status);
        if (status == 200) {
            QVERIFY2(contains(reply.body, "name=\"userName\""), cookie.c_str());
        }
    }
    for (const QJsonValue event : site.events()) {
        const QString kind = event.toObject().value("kind").toString();
        QVERIFY2(kind == "login" || kind == "logout", qPrintable(kind));
    }
}

void SiteTest::loginPageAndCoursePageLayout()
{
    Site site;
    for (const std::string path : {"/", "/permission/loginAction.do?method=init"}) {
        const Reply reply = site.get(path);
        QCOMPARE(reply.status, 200);
        const auto tags = markup::scan(reply.body, {"form", "input", "frame", "iframe"});
        QCOMPARE(tags.front().tag, std::string("form"));
        QVERIFY(contains(tags.front().attr("action"), "/permission/loginAction.do"));
        QCOMPARE(markup::lower(tags.front().attr("method")), std::string("post"));
        std::map<std::string, markup::Element> inputs;
        std::string imageSrc;
        for (const auto& element : tags) {
            QVERIFY(element.tag == "form" || element.tag == "input"); // no frames
            if (element.tag == "input" && element.attr("type") == "image") {
                imageSrc = element.attr("src");
            } else if (element.tag == "input") {
                inputs[element.attr("name")] = element;
            }
        }
        QVERIFY(inputs.count("userName"));
        QCOMPARE(inputs["Password"].attr("type"), std::string("password"));
        QVERIFY(inputs.count("randomCode"));
        const Reply image = site.get(imageSrc);
        QCOMPARE(image.status, 200);
        QVERIFY(contains(image.header("Content-Type"), "image/"));
    }

    const std::string cookie = site.login();
    const Reply course = site.get("/course/main", cookie);
    const auto elements = markup::scan(course.body, {"iframe", "input", "span", "frame"});
    std::vector<std::string> frameSources;
    bool exitButton = false;
    bool visits = false;
    for (const auto& element : elements) {
        QVERIFY(element.tag != "frame");
        if (element.tag == "iframe") {
            frameSources.push_back(element.attr("src"));
        }
        exitButton = exitButton || (element.attr("type") == "button" &&
                                    gbkToUtf8(element.attr("value")) == "退出课件");
        visits = visits || element.attr("id") == "visits";
    }
    QVERIFY(exitButton);
    QVERIFY(visits);
    QVERIFY(contains(course.body, "localStorage"));
    QVERIFY(frameSources.size() >= 4);
    for (const std::string& source : frameSources) {
        QCOMPARE(site.get(source, cookie).status, 200);
    }
    QCOMPARE(frameSources[3], std::string("/course/frame/course"));
}

void SiteTest::courseFrameLinksAndMenu()
{
    Site site;
    const std::string cookie = site.login();
    const std::vector<std::string> names = {"个体辅导", "团体训练", "基础理论", "学校教育"};

    // The positions must stay the same whatever category is selected.
    for (int selected = -1; selected < 4; ++selected) {
        if (selected >= 0) {
            QCOMPARE(site.post("/course/select?cat=" + std::to_string(selected), "", cookie).status,
                     200);
        }
        const std::string page = gbkToUtf8(site.get("/course/frame/course", cookie).body);
        const auto elements = markup::scan(page, {"a", "li", "iframe"});
        std::vector<markup::Element> links, items, frames;
        for (const auto& element : elements) {
            (element.tag == "a" ? links : element.tag == "li" ? items : frames).push_back(element);
        }
        QVERIFY(links.size() >= 12);
        for (std::size_t i = 0; i < links.size(); ++i) {
            const bool course = i == 2 || i == 5 || i == 8 || i == 11;
            QCOMPARE(contains(links[i].text, "学习课程"), course);
            if (course) {
                QCOMPARE(links[i].text, names[(i - 2) / 3] + "学习课程");
                QVERIFY(contains(links[i].attr("onclick"),
                                 "selectCategory(" + std::to_string((i - 2) / 3) + ")"));
            }
        }
        QVERIFY(items.size() >= 3);
        for (std::size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(contains(items[i].text, "课程学习"), i == 2);
        }
        QVERIFY(contains(items[2].attr("onclick"), "showLessons()"));
        QVERIFY(!frames.empty());
        QCOMPARE(frames[0].attr("name"), std::string("lessonFrame"));
    }
}

void SiteTest::lessonListsPerCategory_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lessons");
    QTest::newRow("个体辅导") << 0 << "个体辅导" << 21;
    QTest::newRow("团体训练") << 1 << "团体训练" << 9;
    QTest::newRow("基础理论") << 2 << "基础理论" << 7;
    QTest::newRow("学校教育") << 3 << "学校教育" << 8;
}

void SiteTest::lessonListsPerCategory()
{
    QFETCH(int, category);
    QFETCH(QString, name);
    QFETCH(int, lessons);

    Site site;
    const std::string cookie = site.login();
    // Before any selection the first category is listed.
    const std::string first = site.get("/course/lessons", cookie).body;
    QVERIFY(contains(gbkToUtf8(first), "个体辅导课程列表"));
    QCOMPARE(site.lastEvent().value("category").toInt(), 0);

    const Reply selected = site.post("/course/select?cat=" + std::to_string(category), "", cookie);
    QCOMPARE(selected.status, 200);
    QJsonObject event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("category"));
    QCOMPARE(event.value("category").toInt(), category);
    QCOMPARE(event.value("name").toString(), name);

    const std::string page = gbkToUtf8(site.get("/course/lessons?t=1", cookie).body);
    event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("course-menu"));
    QCOMPARE(event.value("category").toInt(), category);
    QVERIFY(contains(page, "function openMax("));
    QVERIFY(contains(page, "window.open("));

    const auto links = markup::scan(page, {"a"});
    std::vector<std::size_t> lessonPositions;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (!links[i].has("onclick")) {
            continue;
        }
        const std::string onclick = links[i].attr("onclick");
        QVERIFY2(contains(onclick, "openMax("), onclick.c_str());
        const int lesson = static_cast<int>(lessonPositions.size());
        QVERIFY(contains(onclick, "cat=" + std::to_string(category) +
                                      "&lesson=" + std::to_string(lesson) + "'"));
        QVERIFY2(links[i].text.rfind("第" + std::to_string(lesson + 1) + "课 ", 0) == 0,
                 links[i].text.c_str());
        lessonPositions.push_back(i);
    }
    QCOMPARE(static_cast<int>(lessonPositions.size()), lessons);
    for (std::size_t k = 0; k < lessonPositions.size(); ++k) {
        QCOMPARE(lessonPositions[k], 2 * k + 1);
    }

    // The player the last link opens is served and recorded.
    const std::string onclick = links[lessonPositions.back()].attr("onclick");
    const std::size_t from = onclick.find('\'') + 1;
    const std::string url = onclick.substr(from, onclick.find('\'', from) - from);
    QCOMPARE(site.get(url, cookie).status, 200);
    event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("player-open"));
    QCOMPARE(event.value("category").toInt(), category);
    QCOMPARE(event.value("lesson").toInt(), lessons - 1);
}

void SiteTest::studyTimeAccumulatesPerLesson()
{
    SiteOptions options;
    options.heartbeatMs = 750;
    options.extraUsers = {{"ann", "pw"}};
    Site site(options);
    const std::string demo = site.login();
    const std::string ann = site.login("ann", "pw");

    const std::string page = site.get("/player/play?cat=2&lesson=1", demo).body;
    QVERIFY(contains(page, "var HEARTBEAT_MS = 750;"));
    const std::string first = playerIdOf(page);
    QVERIFY(!first.empty());
    const std::string beat = "/player/heartbeat?cat=2&lesson=1&player=" + first;

    site.now += 4000; // open to first heartbeat
    Reply reply = site.post(beat, "", demo);
    QCOMPARE(reply.status, 200);
    QVERIFY(contains(reply.body, "\"seconds\":4"));
    site.now += 6500; // between heartbeats
    QCOMPARE(site.post(beat, "", demo).status, 200);

    // A second player on another lesson counts for that lesson only.
    const std::string second = playerIdOf(site.get("/player/play?cat=0&lesson=20", demo).body);
    site.now += 3000;
    QCOMPARE(site.post("/player/heartbeat?cat=0&lesson=20&player=" + second, "", demo).status, 200);

    // Reports that do not match an open player of this user credit nothing.
    QCOMPARE(site.post("/player/heartbeat?cat=2&lesson=2&player=" + first, "", demo).status, 404);
    QCOMPARE(site.post("/player/heartbeat?cat=2&lesson=1&player=0000", "", demo).status, 404);
    QCOMPARE(site.post(beat, "", ann).status, 404);

    const QJsonObject record = site.record();
    const QJsonObject seconds = record.value("studySeconds").toObject();
    QCOMPARE(seconds.value("demo").toObject().value("2-1").toInt(), 10);
    QCOMPARE(seconds.value("demo").toObject().value("0-20").toInt(), 3);
    QVERIFY(!seconds.contains("ann"));
    QCOMPARE(
        record.value("studyMilliseconds").toObject().value("demo").toObject().value("2-1").toInt(),
        10500);
}

void SiteTest::exitEndsOpenPlayers()
{
    Site site;
    const std::string cookie = site.login();
    const std::string first = playerIdOf(site.get("/player/play?cat=1&lesson=3", cookie).body);
    const std::string beat = "/player/heartbeat?cat=1&lesson=3&player=" + first;
    site.now += 2000;
    QCOMPARE(site.post(beat, "", cookie).status, 200);

    const Reply exit = site.post("/course/exit", "", cookie);
    QCOMPARE(exit.status, 200);
    QJsonObject event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("exit"));
    QCOMPARE(event.value("category").toInt(), 1);
    QCOMPARE(event.value("lesson").toInt(), 3);
    QCOMPARE(event.value("endedPlayers").toInt(), 1);

    site.now += 5000;
    const Reply late = site.post(beat, "", cookie);
    QCOMPARE(late.status, 200);
    QVERIFY(contains(late.body, "\"ended\":true"));

    // The lesson opened again counts again.
    const std::string again = playerIdOf(site.get("/player/play?cat=1&lesson=3", cookie).body);
    site.now += 1000;
    QCOMPARE(site.post("/player/heartbeat?cat=1&lesson=3&player=" + again, "", cookie).status, 200);
    QCOMPARE(studySeconds(site.record(), "demo", "1-3"), 3);

    QCOMPARE(site.post("/player/close?player=" + again, "", cookie).status, 200);
    event = site.lastEvent();
    QCOMPARE(event.value("kind").toString(), QStringLiteral("player-close"));
    QCOMPARE(event.value("player").toString().toStdString(), again);
}

void SiteTest::pagesUseConfiguredCharset_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("gbk");
    QTest::newRow("default") << "" << true;
    QTest::newRow("gbk") << "GBK" << true;
    QTest::newRow("utf-8") << "utf-8" << false;
}

void SiteTest::pagesUseConfiguredCharset()
{
    QFETCH(QString, option);
    QFETCH(bool, gbk);
    SiteOptions options;
    if (!option.isEmpty()) {
        options.charset = option.toStdString();
    }
    Site site(options);
    const std::string cookie = site.login();

    const std::vector<std::pair<std::string, std::string>> pages = {
        {"/", "验证码请输入 ok"},
        {"/course/frame/course", "个体辅导学习课程"},
        {"/course/lessons?cat=3", "第8课 工作评估与督导"},
        {"/test/alert", "页面仍然可用"}};
    for (const auto& [path, text] : pages) {
        const Reply reply = site.get(path, cookie);
        QCOMPARE(reply.status, 200);
        const std::string type = markup::lower(reply.header("Content-Type"));
        QCOMPARE(type, std::string(gbk ? "text/html; charset=gbk" : "text/html; charset=utf-8"));
        QVERIFY(contains(markup::lower(reply.body),
                         gbk ? "<meta charset=\"gbk\">" : "<meta charset=\"utf-8\">"));
        QCOMPARE(contains(reply.body, text), !gbk); // UTF-8 bytes only when serving UTF-8
        QCOMPARE(contains(gbkToUtf8(reply.body), text), gbk);
    }
    // The record is UTF-8 whatever the pages use.
    QCOMPARE(site.post("/course/select?cat=0", "", cookie).status, 200);
    QVERIFY(contains(site.get("/_site/events").body, "\"name\":\"个体辅导\""));
}

void SiteTest::eventsAreRecordedInOrder()
{
    Site site;
    site.submitLogin("demo", "nope", "ok");
    const std::string cookie = site.login();
    site.post("/course/select?cat=2", "", cookie);
    site.get("/course/lessons", cookie);
    const std::string player = playerIdOf(site.get("/player/play?cat=2&lesson=1", cookie).body);
    site.now += 40000;
    site.post("/player/heartbeat?cat=2&lesson=1&player=" + player, "", cookie);
    site.post("/course/exit", "", cookie);

    const QJsonObject record = site.record();
    QCOMPARE(QJsonDocument(record).toJson(QJsonDocument::Compact),
             QJsonDocument::fromJson(QByteArray::fromStdString(site.server->eventsJson()))
                 .toJson(QJsonDocument::Compact));
    const QJsonArray events = record.value("events").toArray();
    const QStringList expected = {"login",       "login",     "category", "course-menu",
                                  "player-open", "heartbeat", "exit"};
    QCOMPARE(events.size(), expected.size());
    for (int i = 0; i < events.size(); ++i) {
        const QJsonObject event = events[i].toObject();
        QCOMPARE(event.value("seq").toInt(), i + 1);
        QCOMPARE(event.value("kind").toString(), expected[i]);
        QCOMPARE(event.value("user").toString(), QStringLiteral("demo"));
        if (i >= 2) {
            QCOMPARE(event.value("category").toInt(), 2);
        }
    }
    QVERIFY(!events[0].toObject().value("ok").toBool());
    QCOMPARE(events[2].toObject().value("name").toString(), QStringLiteral("基础理论"));
    QCOMPARE(events[5].toObject().value("creditedMs").toInt(), 40000);
    QCOMPARE(events[5].toObject().value("ms").toInt(), 40000);
    QCOMPARE(studySeconds(record, "demo", "2-1"), 40);

    QCOMPARE(site.post("/_site/reset", "").status, 200);
    QVERIFY(site.events().isEmpty());
    QVERIFY(site.record().value("studySeconds").toObject().isEmpty());
    site.post("/course/select?cat=1", "", cookie); // the session outlives the reset
    QCOMPARE(site.lastEvent().value("seq").toInt(), 1);
    QCOMPARE(site.lastEvent().value("kind").toString(), QStringLiteral("category"));
}

void SiteTest::concurrentHeartbeatsAreAllCounted()
{
    Site site;
    const std::string cookie = site.login();
    std::vector<std::string> players;
    for (int i = 0; i < 4; ++i) {
        players.push_back(
            playerIdOf(site.get("/player/play?cat=0&lesson=" + std::to_string(i), cookie).body));
    }
    // Time before the reset is not credited: open players count afresh from it.
    site.now += 7000;
    site.server->resetRecord();
    site.now += 1000;

    constexpr int kBeats = 25;
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            const std::string path = "/player/heartbeat?cat=0&lesson=" + std::to_string(i) +
                                     "&player=" + players[static_cast<std::size_t>(i)];
            for (int k = 0; k < kBeats; ++k) {
                ok += site.post(path, "", cookie).status == 200 ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    QCOMPARE(ok.load(), 4 * kBeats);
    const QJsonObject record = site.record();
    const QJsonArray events = record.value("events").toArray();
    QCOMPARE(events.size(), 4 * kBeats);
    // The clock stood still while the threads ran, so each player's first heartbeat credits the
    // second since the reset and every later one credits nothing.
    std::map<QString, int> creditedByPlayer;
    std::map<QString, int> beatsByPlayer;
    for (int i = 0; i < events.size(); ++i) {
        const QJsonObject event = events[i].toObject();
        QCOMPARE(event.value("seq").toInt(), i + 1);
        QCOMPARE(event.value("kind").toString(), QStringLiteral("heartbeat"));
        const QString player = event.value("player").toString();
        const int credited = event.value("creditedMs").toInt(-1);
        QCOMPARE(credited, beatsByPlayer[player]++ == 0 ? 1000 : 0);
        creditedByPlayer[player] += credited;
    }
    QCOMPARE(beatsByPlayer.size(), std::size_t{4});
    for (const auto& player : players) {
        QCOMPARE(beatsByPlayer[QString::fromStdString(player)], kBeats);
        QCOMPARE(creditedByPlayer[QString::fromStdString(player)], 1000);
    }
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(studySeconds(record, "demo", QStringLiteral("0-%1").arg(i)), 1);
    }
}

void SiteTest::siteRecordIsLoopbackOnly_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("loopback");
    QTest::newRow("127.0.0.1") << "127.0.0.1" << true;
    QTest::newRow("127.200.3.4") << "127.200.3.4" << true;
    QTest::newRow("::1") << "::1" << true;
    QTest::newRow("mapped 127") << "::ffff:127.0.0.1" << true;
    QTest::newRow("10.0.0.1") << "10.0.0.1" << false;
    QTest::newRow("192.168.1.20") << "192.168.1.20" << false;
    QTest::newRow("128.0.0.1") << "128.0.0.1" << false;
    QTest::newRow("mapped 10") << "::ffff:10.0.0.1" << false;
    QTest::newRow("fe80::1") << "fe80::1" << false;
    QTest::newRow("prefix only") << "127.0.0.1.example" << false;
    QTest::newRow("empty") << "" << false;
}

void SiteTest::siteRecordIsLoopbackOnly()
{
    QFETCH(QString, address);
    QFETCH(bool, loopback);
    QCOMPARE(lumora::site::isLoopbackAddress(address.toStdString()), loopback);

    if (QTest::currentDataTag() == QLatin1String("127.0.0.1")) {
        Site site;
        const Reply page = site.get("/_site/");
        QCOMPARE(page.status, 200);
        QVERIFY(contains(page.body, "http-equiv=\"refresh\""));
        QCOMPARE(site.get("/_site/events").status, 200);
    }
}

void SiteTest::badRequestsLeaveServerUp()
{
    Site site;
    const std::string cookie = site.login();

    // Raw requests: malformed, oversized URI, oversized header, oversized body, cut short.
    const auto raw = [&](const QByteArray& request) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(site.port));
        if (!socket.waitForConnected(5000)) {
            return QByteArray("no connection");
        }
        socket.write(request);
        socket.waitForBytesWritten(5000);
        QByteArray answer;
        while (!answer.contains("\r\n") && socket.waitForReadyRead(10000)) {
            answer += socket.readAll();
        }
        return answer.left(answer.indexOf("\r\n"));
    };
    const QByteArray longValue(9000, 'a');
    QVERIFY(raw("GARBAGE\r\n\r\n").startsWith("HTTP/1.1 400"));
    QVERIFY(raw("GET /" + longValue + " HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 414"));
    QVERIFY(raw("GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + longValue + "\r\n\r\n")
                .startsWith("HTTP/1.1 4"));
    const QByteArray bigBody(100000, 'a');
    QVERIFY(raw("POST /permission/loginAction.do?method=login HTTP/1.1\r\nHost: x\r\n"
                "Content-Type: text/plain\r\nContent-Length: 100000\r\n\r\n" +
                bigBody)
                .startsWith("HTTP/1.1 413"));
    {
        QTcpSocket cut;
        cut.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(site.port));
        QVERIFY(cut.waitForConnected(5000));
        cut.write("POST /course/exit HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc");
        cut.waitForBytesWritten(5000);
        cut.abort();
    }

    // Bad parameters get 4xx answers.
    QCOMPARE(site.get("/no/such/page").status, 404);
    QCOMPARE(site.get("/permission/loginActionXdo?method=init").status, 404);
    QCOMPARE(site.get("/player/play?cat=x&lesson=0", cookie).status, 400);
    QCOMPARE(site.get("/player/play?cat=0&lesson=21", cookie).status, 404);
    QCOMPARE(site.get("/player/play?cat=4&lesson=0", cookie).status, 404);
    QCOMPARE(site.get("/player/play?cat=-1&lesson=0", cookie).status, 400);
    QCOMPARE(site.get("/course/lessons?cat=99999999", cookie).status, 400);
    QCOMPARE(site.post("/course/select?cat=4", "", cookie).status, 404);
    QCOMPARE(site.post("/player/heartbeat", "", cookie).status, 400);
    QCOMPARE(site.post("/permission/loginAction.do?method=other", "").status, 400);
    // Broken escapes and bytes that are not GBK are refused like any wrong login.
    const Reply garbled = site.post("/permission/loginAction.do?method=login",
                                    "userName=%zz%&Password=%FF%FF%80&randomCode=ok&&=");
    QCOMPARE(garbled.status, 200);
    const QJsonObject fields = site.lastEvent().value("fields").toObject();
    QCOMPARE(fields.value("userName").toString(), QStringLiteral("%zz%"));
    QVERIFY(fields.value("Password").toString().contains(QChar(0xFFFD)));

    QCOMPARE(site.get("/").status, 200);
    QCOMPARE(site.get("/course/main", cookie).status, 200);
}

void SiteTest::housekeepingPages()
{
    Site site;
    const std::string closeSelf = site.get("/test/close-self").body;
    QVERIFY(contains(closeSelf, "setTimeout(() => window.close(), 50)"));

    const auto links = markup::scan(site.get("/test/blank-link").body, {"a", "button"});
    QCOMPARE(links.size(), std::size_t{2});
    QCOMPARE(links[0].attr("id"), std::string("blank"));
    QCOMPARE(links[0].attr("target"), std::string("_blank"));
    QCOMPARE(links[0].attr("href"), std::string("/test/popup-target?via=blank"));
    QCOMPARE(links[1].attr("onclick"), std::string("window.open('/test/popup-target?via=script')"));

    const auto via = markup::scan(site.get("/test/popup-target?via=%3Cb%3Escript").body, {"span"});
    QCOMPARE(via.at(0).text, std::string("<b>script"));

    const std::string alert = gbkToUtf8(site.get("/test/alert").body);
    const std::size_t after = alert.find("<p id=\"after\">页面仍然可用</p>");
    QVERIFY(after != std::string::npos);
    for (const std::string call : {"alert('", "confirm('", "throw new Error("}) {
        const std::size_t at = alert.find(call);
        QVERIFY2(at != std::string::npos && at < after, call.c_str());
    }
}

void SiteTest::serverLifecycle()
{
    SiteOptions options;
    options.port = 0;
    SiteServer server(options);
    const int port = server.start();
    QVERIFY(port > 0);
    QCOMPARE(server.start(), port); // already running
    QCOMPARE(server.baseUrl(), "http://127.0.0.1:" + std::to_string(port));

    // A port in use is reported, not shared.
    SiteOptions taken;
    taken.port = port;
    SiteServer second(taken);
    QCOMPARE(second.start(), -1);
    QVERIFY(!second.lastError().empty());

    SiteOptions badCharset;
    badCharset.port = 0;
    badCharset.charset = "latin1";
    QCOMPARE(SiteServer(badCharset).start(), -1);

    server.stop();
    server.stop();
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(2);
    QVERIFY(!client.Get("/"));
    // Started again, it serves and still has its record.
    QVERIFY(server.start() > 0);
    QVERIFY(server.eventsJson().rfind("{\"events\":[", 0) == 0);
}

void SiteTest::usersFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("expected"); // "name=password;..." or an error fragment

    QTest::newRow("plain") << QByteArray("ann:pw1\nbob:pw2\n") << true << "ann=pw1;bob=pw2;";
    QTest::newRow("comments, blanks, CRLF, colon in password")
        << QByteArray("# accounts\r\n\r\n  \r\nann:a:b\r\n张三:密码\r\n") << true
        << "ann=a:b;张三=密码;";
    QTest::newRow("empty password") << QByteArray("ann:\n") << true << "ann=;";
    QTest::newRow("missing colon") << QByteArray("ann:pw\nbob\n") << false << ":2:";
    QTest::newRow("empty name") << QByteArray(":pw\n") << false << ":1:";
}

void SiteTest::usersFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, expected);

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(content);
    file.flush();
    std::vector<std::pair<std::string, std::string>> users;
    std::string error;
    QCOMPARE(lumora::site::loadUsersFile(file.fileName().toStdString(), users, error), ok);
    if (ok) {
        std::string joined;
        for (const auto& [name, password] : users) {
            joined += name + "=" + password + ";";
        }
        QCOMPARE(QString::fromStdString(joined), expected);
    } else {
        QVERIFY(users.empty());
        QVERIFY2(contains(error, expected.toStdString()), error.c_str());
    }
    QVERIFY(!lumora::site::loadUsersFile("/nonexistent/users.txt", users, error));
}

void SiteTest::binaryPrintsPortAndStopsOnSigterm()
{
    QProcess process;
    process.start(QStringLiteral(LUMORA_SITE_BINARY),
                  {"--port", "0", "--charset", "utf-8", "--heartbeat-ms", "1500"});
    QVERIFY(process.waitForStarted(10000));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(10000)) {
        line += process.readAllStandardOutput();
    }
    const QRegularExpression re(
        QStringLiteral("^lumora-site listening on http://127\\.0\\.0\\.1:(\\d+)\n"));
    const auto match = re.match(QString::fromUtf8(line));
    QVERIFY2(match.hasMatch(), line.constData());

    httplib::Client client("127.0.0.1", match.captured(1).toInt());
    client.set_connection_timeout(10);
    auto login = client.Get("/permission/loginAction.do?method=init");
    QVERIFY(login);
    QCOMPARE(login->get_header_value("Content-Type"), std::string("text/html; charset=utf-8"));

    process.terminate();
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void SiteTest::binaryRejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--heartbeat-ms";
    QTest::newRow("port range") << QStringList{"--port", "70000"} << 2 << "bad port";
    QTest::newRow("charset") << QStringList{"--charset", "latin1"} << 2 << "bad charset";
    QTest::newRow("heartbeat") << QStringList{"--heartbeat-ms", "10x"} << 2 << "bad heartbeat";
    QTest::newRow("unknown") << QStringList{"--verbose"} << 2 << "unknown option";
    QTest::newRow("missing value") << QStringList{"--port"} << 2 << "needs a value";
    QTest::newRow("users file") << QStringList{"--users", "/nonexistent"} << 2 << "cannot read";
}

void SiteTest::binaryRejectsBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QProcess process;
    process.start(QStringLiteral(LUMORA_SITE_BINARY), arguments);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(output.contains(message), qPrintable(output));
}

QTEST_GUILESS_MAIN(SiteTest)
#include "tst_site.moc"
