// Tests of the stand-in training site, run in-process over loopback HTTP.

#include "markup_scanner.h"
#include "site_server.h"
#include "text_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTest>

#include <httplib.h>
#include <iconv.h>

#include <atomic>
#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;
using lumora::site::SiteOptions;
using lumora::site::SiteServer;

namespace {

// Converts with iconv directly, independent of the site's own conversion code.
QByteArray convert(const QByteArray& text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    QByteArray out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.constData());
    std::size_t inLeft = static_cast<std::size_t>(text.size());
    char* outPtr = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    const bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return ok ? out.left(out.size() - static_cast<qsizetype>(outLeft)) : "<not converted>"_ba;
}

QString fromGbk(const QByteArray& bytes)
{
    return QString::fromUtf8(convert(bytes, "GBK", "UTF-8"));
}

struct Reply
{
    int status = 0; // 0 when nothing answered
    QByteArray body;
    httplib::Headers headers;
    QByteArray header(const std::string& name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? QByteArray() : QByteArray::fromStdString(it->second);
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    // The "JSESSIONID=..." cookie a login set, empty when refused.
    std::string cookie() const
    {
        const QByteArray setCookie = header("Set-Cookie");
        return setCookie.left(setCookie.indexOf(';')).toStdString();
    }
    std::string playerId() const
    {
        static const QRegularExpression re(u"var PLAYER = \"([0-9A-F]+)\""_s);
        return re.match(QString::fromUtf8(body)).captured(1).toStdString();
    }
};

// A client of a running site.
struct Client
{
    std::string host = "127.0.0.1";
    int port = -1;

    Reply send(bool post, const std::string& path, const std::string& cookie,
               const std::string& body = {}) const
    {
        httplib::Client client(host, port);
        client.set_connection_timeout(10);
        client.set_read_timeout(20);
        const httplib::Headers headers = {{"Cookie", cookie}};
        const auto result =
            post ? client.Post(path, headers, body, "application/x-www-form-urlencoded")
                 : client.Get(path, headers);
        return result
                   ? Reply{result->status, QByteArray::fromStdString(result->body), result->headers}
                   : Reply{};
    }
    Reply get(const std::string& path, const std::string& cookie = {}) const
    {
        return send(false, path, cookie);
    }
    Reply post(const std::string& path, const std::string& cookie = {},
               const std::string& body = {}) const
    {
        return send(true, path, cookie, body);
    }
    // Fields are sent as the given bytes, percent-encoded.
    Reply submitLogin(const QByteArray& user, const QByteArray& password,
                      const QByteArray& code) const
    {
        return post("/permission/loginAction.do?method=login", {},
                    ("userName=" + user.toPercentEncoding() + "&Password=" +
                     password.toPercentEncoding() + "&randomCode=" + code.toPercentEncoding())
                        .toStdString());
    }
    std::string login(const QByteArray& user = "demo", const QByteArray& password = "demo123") const
    {
        return submitLogin(user, password, "ok").cookie();
    }
    QJsonObject record() const { return get("/_site/events").json(); }
    QJsonArray events() const { return record()["events"].toArray(); }
    QJsonValue lastEvent() const { return events().last(); }
};

// A site on a free loopback port, with a clock the test moves.
struct Site : Client
{
    explicit Site(SiteOptions options = {})
    {
        options.port = 0;
        options.clockMs = [this] { return now.load(); };
        server = std::make_unique<SiteServer>(std::move(options));
        port = server->start();
    }

    std::atomic<std::int64_t> now{1000};
    std::unique_ptr<SiteServer> server;
};

std::string playPath(int category, int lesson)
{
    return "/player/play?cat=" + std::to_string(category) + "&lesson=" + std::to_string(lesson);
}

std::string beatPath(int category, int lesson, const std::string& player)
{
    return "/player/heartbeat?cat=" + std::to_string(category) +
           "&lesson=" + std::to_string(lesson) + "&player=" + player;
}

} // namespace

class SiteTest : public QObject
{
    Q_OBJECT

private slots:
    void loginIsAcceptedOrRefused_data();
    void loginIsAcceptedOrRefused();
    void pagesAndFormsUseConfiguredCharset_data();
    void pagesAndFormsUseConfiguredCharset();
    void coursePagesNeedSession();
    void courseFrameLinksAsBrowserCountsThem();
    void lessonListsPerCategory();
    void heartbeatsAccumulatePerLesson();
    void eventsAreRecordedInOrder();
    void siteRecordIsLoopbackOnly();
    void badRequestsLeaveServerUp();
    void serverLifecycle();
    void binaryPrintsPortAndStopsOnSigterm();
    void binaryRejectsBadOptions();
};

void SiteTest::loginIsAcceptedOrRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("reason"); // empty when accepted
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* user, const char* password, const char* code,
                        const char* reason, const char* message) {
        QTest::newRow(name) << QString::fromUtf8(user) << QString::fromUtf8(password)
                            << QString::fromUtf8(code) << QString::fromUtf8(reason)
                            << QString::fromUtf8(message);
    };
    row("accepted", "demo", "demo123", "ok", "", "");
    row("code ignores case", "demo", "demo123", "OK", "", "");
    row("wrong password", "demo", "demo12", "ok", "bad-credentials", "用户名或密码错误");
    row("unknown user", "demox", "demo123", "ok", "bad-credentials", "用户名或密码错误");
    row("wrong code", "demo", "demo123", "ko", "bad-code", "验证码错误");
    row("empty user", "", "demo123", "ok", "missing-user", "请输入用户名");
}

void SiteTest::loginIsAcceptedOrRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, reason);
    QFETCH(QString, message);

    Site site;
    const Reply reply = site.submitLogin(user.toUtf8(), password.toUtf8(), code.toUtf8());
    const QJsonValue event = site.lastEvent();
    QCOMPARE(event["kind"].toString(), u"login"_s);
    QCOMPARE(event["user"].toString(), user);
    QCOMPARE(event["fields"]["Password"].toString(), password);
    QCOMPARE(event["ok"].toBool(), reason.isEmpty());
    QCOMPARE(event["reason"].toString(), reason);

    if (reason.isEmpty()) {
        QCOMPARE(reply.status, 303);
        QCOMPARE(reply.header("Location"), "/course/main"_ba);
        const QByteArray setCookie = reply.header("Set-Cookie");
        QVERIFY2(setCookie.startsWith("JSESSIONID=") && setCookie.contains("; Path=/") &&
                     setCookie.contains("HttpOnly"),
                 setCookie.constData());
    } else {
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.cookie().empty());
        const QString page = fromGbk(reply.body);
        QVERIFY2(page.contains(message) && page.contains(u"name=\"userName\""_s), qPrintable(page));
    }
}

void SiteTest::pagesAndFormsUseConfiguredCharset_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("gbk");
    QTest::newRow("default") << QString() << true;
    QTest::newRow("gbk") << u"gbk"_s << true;
    QTest::newRow("utf-8") << u"utf-8"_s << false;
}

void SiteTest::pagesAndFormsUseConfiguredCharset()
{
    QFETCH(QString, option);
    QFETCH(bool, gbk);
    SiteOptions options;
    if (!option.isEmpty()) {
        options.charset = option.toStdString();
    }
    options.extraUsers = {{"张三", "密码123"}};
    Site site(options);
    const auto encode = [&](const QString& text) {
        return gbk ? convert(text.toUtf8(), "UTF-8", "GBK") : text.toUtf8();
    };

    // Forms come back in the page charset; the record holds the text as typed, in UTF-8.
    QCOMPARE(site.submitLogin(encode(u"张三"_s), encode(u"错误"_s), "ok").status, 200);
    QCOMPARE(site.lastEvent()["fields"]["Password"].toString(), u"错误"_s);
    const std::string cookie =
        site.submitLogin(encode(u"张三"_s), encode(u"密码123"_s), "ok").cookie();

    const QByteArray charset = gbk ? "gbk" : "utf-8";
    for (const auto& [path, text] :
         {std::pair{"/", u"验证码请输入 ok"_s},
          std::pair{"/course/lessons?cat=3", u"第8课 工作评估与督导"_s}}) {
        const Reply reply = site.get(path, cookie);
        QCOMPARE(reply.header("Content-Type").toLower(), "text/html; charset=" + charset);
        QVERIFY(reply.body.toLower().contains("<meta charset=\"" + charset + "\">"));
        QCOMPARE(reply.body.contains(text.toUtf8()), !gbk); // UTF-8 bytes only when serving UTF-8
        QCOMPARE(fromGbk(reply.body).contains(text), gbk);
    }
}

void SiteTest::coursePagesNeedSession()
{
    Site site;
    const std::string loggedOut = site.login();
    QVERIFY(!loggedOut.empty());
    site.get("/permission/loginAction.do?method=logout", loggedOut);

    // Pages answer with the login page, the JSON endpoints with 401.
    const std::pair<bool, const char*> requests[] = {
        {false, "/course/main"},
        {false, "/course/frame/course"},
        {false, "/course/lessons?cat=1"},
        {false, "/player/play?cat=0&lesson=0"},
        {true, "/course/select?cat=1"},
        {true, "/course/exit"},
        {true, "/player/heartbeat?cat=0&lesson=0&player=AB"}};
    for (const auto& [post, path] : requests) {
        for (const std::string& cookie :
             {std::string(), std::string("JSESSIONID=forged"), loggedOut}) {
            const Reply reply = site.send(post, path, cookie);
            QVERIFY2(reply.status == (post ? 401 : 200) &&
                         reply.body.contains("name=\"userName\"") == !post,
                     qPrintable(path + u" with "_s + QString::fromStdString(cookie)));
        }
    }
    for (const QJsonValue event : site.events()) {
        const QString kind = event["kind"].toString();
        QVERIFY2(kind == "login"_L1 || kind == "logout"_L1, qPrintable(kind));
    }
}

void SiteTest::courseFrameLinksAsBrowserCountsThem()
{
    Site site;
    const std::string cookie = site.login();
    const QStringList names = {u"个体辅导"_s, u"团体训练"_s, u"基础理论"_s, u"学校教育"_s};

    // The positions stay the same whatever category is selected.
    for (int selected = -1; selected < 4; ++selected) {
        if (selected >= 0) {
            QCOMPARE(site.post("/course/select?cat=" + std::to_string(selected), cookie).status,
                     200);
        }
        const QString page = fromGbk(site.get("/course/frame/course", cookie).body);
        const auto links = markup::scan(page, {u"a"_s});
        QVERIFY(links.size() >= 12);
        for (int i = 0; i < links.size(); ++i) {
            const int category = i % 3 == 2 && i <= 11 ? i / 3 : -1; // links 2, 5, 8, 11
            QCOMPARE(links[i].text.contains(u"学习课程"_s), category >= 0);
            if (category >= 0) {
                QCOMPARE(links[i].text, names[category] + u"学习课程"_s);
                QCOMPARE(links[i].attributes.value(u"onclick"_s),
                         u"return selectCategory(%1)"_s.arg(category));
            }
        }
        const auto items = markup::scan(page, {u"li"_s});
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i].text.contains(u"课程学习"_s), i == 2);
        }
        QCOMPARE(items.value(2).attributes.value(u"onclick"_s), u"showLessons()"_s);
    }
}

void SiteTest::lessonListsPerCategory()
{
    Site site;
    const std::string cookie = site.login();
    const int lessonCounts[] = {21, 9, 7, 8};

    // Before any selection the first category is listed, afterwards the selected one.
    for (int selected = -1; selected < 4; ++selected) {
        if (selected >= 0) {
            QCOMPARE(site.post("/course/select?cat=" + std::to_string(selected), cookie).status,
                     200);
        }
        const int category = std::max(selected, 0);
        const int count = lessonCounts[category];
        const QString page = fromGbk(site.get("/course/lessons?t=1", cookie).body);
        QVERIFY(page.contains(u"function openMax("_s));
        // Lesson M is link 2M+1, after its introduction link; only lesson links open the player.
        const auto links = markup::scan(page, {u"a"_s});
        QVERIFY(links.size() >= 2 * count);
        for (int i = 0; i < links.size(); ++i) {
            const QString onclick = links[i].attributes.value(u"onclick"_s);
            const int lesson = i % 2 == 1 && i < 2 * count ? i / 2 : -1;
            QCOMPARE(onclick.contains(u"openMax("_s), lesson >= 0);
            if (lesson >= 0) {
                QCOMPARE(onclick,
                         u"openMax('/player/play?cat=%1&lesson=%2')"_s.arg(category).arg(lesson));
                QVERIFY2(links[i].text.startsWith(u"第%1课 "_s.arg(lesson + 1)),
                         qPrintable(links[i].text));
            }
        }
    }
}

void SiteTest::heartbeatsAccumulatePerLesson()
{
    SiteOptions options;
    options.heartbeatMs = 750;
    options.extraUsers = {{"ann", "pw"}};
    Site site(options);
    const std::string demo = site.login();
    const Reply page = site.get(playPath(2, 1), demo);
    QVERIFY(page.body.contains("var HEARTBEAT_MS = 750;"));
    const std::string first = page.playerId();

    // Each heartbeat credits the time since the player's previous one, or since its page.
    site.now += 4000;
    QCOMPARE(site.post(beatPath(2, 1, first), demo).json()["seconds"].toInt(), 4);
    site.now += 6500;
    QCOMPARE(site.post(beatPath(2, 1, first), demo).json()["creditedMs"].toInt(), 6500);
    const std::string second = site.get(playPath(0, 20), demo).playerId();
    site.now += 3000;
    QCOMPARE(site.post(beatPath(0, 20, second), demo).json()["creditedMs"].toInt(), 3000);

    // Reports that do not match an open player of this user and lesson credit nothing.
    QCOMPARE(site.post(beatPath(2, 2, first), demo).status, 404);
    QCOMPARE(site.post(beatPath(2, 1, "0000"), demo).status, 404);
    QCOMPARE(site.post(beatPath(2, 1, first), site.login("ann", "pw")).status, 404);

    const QJsonObject record = site.record();
    QCOMPARE(record["studyMilliseconds"]["demo"]["2-1"].toInt(), 10500);
    QCOMPARE(record["studySeconds"]["demo"]["2-1"].toInt(), 10); // rounded down
    QVERIFY(!record["studyMilliseconds"].toObject().contains("ann"));

    // Time before a reset is not credited: open players count afresh from it.
    site.now += 7000;
    QCOMPARE(site.post("/_site/reset").status, 200);
    site.now += 1000;
    QCOMPARE(site.post(beatPath(0, 20, second), demo).json()["creditedMs"].toInt(), 1000);

    // Exit ends every open player and names the most recently opened one.
    const QJsonObject exit = site.post("/course/exit", demo).json();
    QCOMPARE(exit["endedPlayers"].toInt(), 2);
    QCOMPARE(exit["lesson"].toInt(), 20);
    site.now += 5000;
    QVERIFY(site.post(beatPath(2, 1, first), demo).json()["ended"].toBool());
}

void SiteTest::eventsAreRecordedInOrder()
{
    Site site;
    site.submitLogin("demo", "nope", "ok");
    const std::string cookie = site.login();
    site.post("/course/select?cat=2", cookie);
    site.get("/course/lessons", cookie);
    const std::string player = site.get(playPath(2, 1), cookie).playerId();
    site.now += 40000;
    site.post(beatPath(2, 1, player), cookie);
    site.post("/course/exit", cookie);
    site.post("/player/close?player=" + player, cookie);

    const QJsonArray events = site.events();
    const QStringList kinds = {u"login"_s,       u"login"_s,     u"category"_s, u"course-menu"_s,
                               u"player-open"_s, u"heartbeat"_s, u"exit"_s,     u"player-close"_s};
    QCOMPARE(events.size(), kinds.size());
    for (int i = 0; i < events.size(); ++i) {
        const QJsonObject event = events[i].toObject();
        QCOMPARE(event["seq"].toInt(), i + 1);
        QCOMPARE(event["kind"].toString(), kinds[i]);
        QCOMPARE(event["user"].toString(), u"demo"_s);
        QCOMPARE(event["category"].toInt(-1), i >= 2 ? 2 : -1);
    }
    QCOMPARE(events[2]["name"].toString(), u"基础理论"_s);
    QCOMPARE(events[5]["ms"].toInt(), 40000); // stamped by the site's clock

    // A reset forgets events and totals and numbers afresh; the session stays.
    QCOMPARE(site.post("/_site/reset").status, 200);
    QVERIFY(site.record()["studyMilliseconds"].toObject().isEmpty());
    site.post("/course/select?cat=1", cookie);
    const QJsonArray after = site.events();
    QCOMPARE(after.size(), 1);
    QCOMPARE(after[0]["seq"].toInt(), 1);
    QCOMPARE(after[0]["kind"].toString(), u"category"_s);
}

void SiteTest::siteRecordIsLoopbackOnly()
{
    const std::pair<const char*, bool> addresses[] = {
        {"127.0.0.1", true},        {"127.200.3.4", true},       {"::1", true},
        {"::ffff:127.0.0.1", true}, {"128.0.0.1", false},        {"::ffff:10.0.0.1", false},
        {"fe80::1", false},         {"127.0.0.1.example", false}};
    for (const auto& [address, loopback] : addresses) {
        QVERIFY2(lumora::site::isLoopbackAddress(address) == loopback, address);
    }

    SiteOptions options;
    options.bind = "0.0.0.0";
    Site site(options);
    QCOMPARE(site.get("/_site/").status, 200);
    // Reached through another address of this machine, the record is refused, the site is not.
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            site.host = address.toString().toStdString();
            QCOMPARE(site.get("/_site/events").status, 403);
            QCOMPARE(site.post("/_site/reset").status, 403);
            QCOMPARE(site.get("/").status, 200);
            return;
        }
    }
    QSKIP("no non-loopback IPv4 address to reach the site through");
}

void SiteTest::badRequestsLeaveServerUp()
{
    Site site;
    const std::string cookie = site.login();

    // Raw requests: malformed, oversized URI, header and body; each gets its status line.
    const auto raw = [&](const QByteArray& request) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(site.port));
        socket.waitForConnected(5000);
        socket.write(request);
        QByteArray answer;
        while (!answer.contains("\r\n") && socket.waitForReadyRead(10000)) {
            answer += socket.readAll();
        }
        return answer;
    };
    const QByteArray big(100000, 'a');
    const std::pair<QByteArray, QByteArray> rawRequests[] = {
        {"GARBAGE\r\n\r\n", "HTTP/1.1 400"},
        {"GET /" + big.left(9000) + " HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 414"},
        {"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + big.left(9000) + "\r\n\r\n", "HTTP/1.1 4"},
        {"POST /permission/loginAction.do?method=login HTTP/1.1\r\nHost: x\r\n"
         "Content-Length: 100000\r\n\r\n" +
             big,
         "HTTP/1.1 413"}};
    for (const auto& [request, status] : rawRequests) {
        QVERIFY2(raw(request).startsWith(status), request.left(40).constData());
    }
    QTcpSocket cut; // a body cut short
    cut.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(site.port));
    QVERIFY(cut.waitForConnected(5000));
    cut.write("POST /course/exit HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc");
    cut.waitForBytesWritten(5000);
    cut.abort();

    const std::tuple<bool, const char*, int> requests[] = {
        {false, "/no/such/page", 404},
        {false, "/player/play?cat=x&lesson=0", 400},
        {false, "/course/lessons?cat=99999999", 400},
        {false, "/player/play?cat=0&lesson=21", 404},
        {false, "/player/play?cat=4&lesson=0", 404},
        {true, "/player/heartbeat", 400},
        {true, "/permission/loginAction.do?method=other", 400}};
    for (const auto& [post, path, status] : requests) {
        QVERIFY2(site.send(post, path, cookie).status == status, path);
    }
    // Broken escapes and bytes that are not GBK are recorded as such; a repeated name keeps
    // its last value.
    site.post("/permission/loginAction.do?method=login", {},
              "userName=%4%zz%&Password=x&Password=%FF%FF%80&randomCode=ok&&=");
    const QJsonObject fields = site.lastEvent()["fields"].toObject();
    QCOMPARE(fields["userName"].toString(), u"%4%zz%"_s);
    QVERIFY(fields["Password"].toString().contains(QChar(0xFFFD)));

    QVERIFY(fromGbk(site.get("/course/main", cookie).body).contains(u"退出课件"_s));
}

void SiteTest::serverLifecycle()
{
    Site site;
    QVERIFY(site.port > 0);
    QCOMPARE(site.server->start(), site.port); // already running
    QCOMPARE(site.server->baseUrl(), "http://127.0.0.1:" + std::to_string(site.port));

    // A port in use is reported, not shared; so is an unknown charset.
    SiteOptions other;
    other.port = site.port;
    SiteServer taken(other);
    QCOMPARE(taken.start(), -1);
    QVERIFY(!taken.lastError().empty());
    other.port = 0;
    other.charset = "latin1";
    QCOMPARE(SiteServer(other).start(), -1);

    site.login();
    site.server->stop();
    site.server->stop();
    QCOMPARE(site.get("/").status, 0);
    // Started again, it serves and still has its record.
    site.port = site.server->start();
    QVERIFY(site.port > 0);
    QCOMPARE(site.lastEvent()["kind"].toString(), u"login"_s);
}

void SiteTest::binaryPrintsPortAndStopsOnSigterm()
{
    QTemporaryFile users; // comments, blank lines, CRLF and a ':' in a password
    QVERIFY(users.open());
    users.write("# accounts\r\n\r\nann:a:b\r\n");
    users.flush();
    QProcess process;
    process.start(QStringLiteral(LUMORA_SITE_BINARY),
                  {u"--port"_s, u"0"_s, u"--charset"_s, u"utf-8"_s, u"--heartbeat-ms"_s, u"1500"_s,
                   u"--users"_s, users.fileName()});
    QVERIFY(process.waitForStarted(10000));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(10000)) {
        line += process.readAllStandardOutput();
    }
    static const QRegularExpression re(
        u"^lumora-site listening on http://127\\.0\\.0\\.1:(\\d+)\n"_s);
    const auto match = re.match(QString::fromUtf8(line));
    QVERIFY2(match.hasMatch(), line.constData());

    const Client client{"127.0.0.1", match.captured(1).toInt()};
    const Reply player = client.get(playPath(0, 0), client.login("ann", "a:b"));
    QCOMPARE(player.header("Content-Type"), "text/html; charset=utf-8"_ba);
    QVERIFY(player.body.contains("var HEARTBEAT_MS = 1500;"));

    process.terminate();
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void SiteTest::binaryRejectsBadOptions()
{
    QTemporaryFile users;
    QVERIFY(users.open());
    users.write("ann:pw\nbob\n");
    users.flush();
    const std::tuple<QStringList, int, QString> cases[] = {
        {{u"--help"_s}, 0, u"--heartbeat-ms"_s},
        {{u"--port"_s, u"70000"_s}, 2, u"bad port"_s},
        {{u"--charset"_s, u"latin1"_s}, 2, u"bad charset"_s},
        {{u"--heartbeat-ms"_s, u"10x"_s}, 2, u"bad heartbeat"_s},
        {{u"--verbose"_s}, 2, u"unknown option"_s},
        {{u"--port"_s}, 2, u"needs a value"_s},
        {{u"--users"_s, u"/nonexistent"_s}, 2, u"cannot read"_s},
        {{u"--users"_s, users.fileName()}, 2, u":2: expected name:password"_s}};
    for (const auto& [arguments, exitCode, message] : cases) {
        QProcess process;
        process.start(QStringLiteral(LUMORA_SITE_BINARY), arguments);
        QVERIFY(process.waitForFinished(15000));
        const QString output =
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        QVERIFY2(process.exitCode() == exitCode && output.contains(message),
                 qPrintable(arguments.join(' ') + u": "_s + output));
    }
}

QTEST_GUILESS_MAIN(SiteTest)
#include "tst_site.moc"
