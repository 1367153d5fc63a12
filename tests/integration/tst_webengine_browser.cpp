// The Qt WebEngine layer against a real engine: pages are served on loopback by an in-process
// HTTP server, the views run offscreen.

#include "event_wait.h"
#include "page/event_gate.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/walk_codec.h"
#include "platform/webengine/webengine_host.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <httplib.h>
#include <iconv.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <thread>

using namespace lumora::platform;
using namespace lumora::platform::webengine;
using lumora::testing::waitUntil;

namespace {

constexpr int kScriptTimeoutMs = 3000;

// Serves registered pages on 127.0.0.1 from its own thread. A path may hold a sequence of
// bodies: the n-th request gets the n-th body, later ones the last.
class TestServer
{
public:
    TestServer()
    {
        m_server.Get(R"(.*)", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            const auto found = m_pages.find(request.path);
            if (found == m_pages.end()) {
                response.status = 404;
                response.set_content("not found", "text/plain");
                return;
            }
            Page& page = found->second;
            const std::size_t index = std::min(page.served, page.bodies.size() - 1);
            ++page.served;
            response.set_content(page.bodies[index], page.contentType.c_str());
        });
        // One request per connection: idle keep-alive connections would hold the server's
        // few worker threads and stall the engine's next requests.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~TestServer()
    {
        m_server.stop();
        m_thread.join();
    }

    void put(const std::string& path, const QByteArray& body,
             const std::string& contentType = "text/html; charset=utf-8")
    {
        putSequence(path, {body}, contentType);
    }
    void putSequence(const std::string& path, const QList<QByteArray>& bodies,
                     const std::string& contentType = "text/html; charset=utf-8")
    {
        std::lock_guard lock(m_mutex);
        Page& page = m_pages[path];
        page.bodies.clear();
        for (const QByteArray& body : bodies)
            page.bodies.push_back(body.toStdString());
        page.contentType = contentType;
        page.served = 0;
    }
    bool running() const { return m_port > 0; }
    // The page's address; another host name gives another origin on the same server.
    QUrl url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return QUrl(QStringLiteral("http://%1:%2%3").arg(host).arg(m_port).arg(path));
    }

private:
    struct Page
    {
        std::vector<std::string> bodies;
        std::string contentType;
        std::size_t served = 0;
    };
    httplib::Server m_server;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, Page> m_pages;
    int m_port = -1;
};

QByteArray toGbk(const QString& text)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size());
    char* outPtr = out.data();
    std::size_t outLeft = static_cast<std::size_t>(out.size());
    const std::size_t converted = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1))
        return {};
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

ElementTest when(Field field, Compare compare, const QString& text)
{
    return ElementTest{field, compare, text};
}

// A walk over `tag` in `frames` that collects the elements passing every test.
WalkRequest collect(const QString& tag, std::vector<ElementTest> tests, FramePath frames = {})
{
    WalkRequest request;
    request.frames = std::move(frames);
    request.tag = tag;
    request.rules.push_back(WalkRule{std::move(tests), Action::Collect, {}});
    return request;
}

// A walk over `tag` that clicks the elements passing every test.
WalkRequest clickWhere(const QString& tag, std::vector<ElementTest> tests, FramePath frames = {})
{
    WalkRequest request;
    request.frames = std::move(frames);
    request.tag = tag;
    request.rules.push_back(WalkRule{std::move(tests), Action::Click, {}});
    return request;
}

WalkRequest clickText(const QString& tag, const QString& text)
{
    return clickWhere(tag, {when(Field::InnerText, Compare::Exact, text)});
}

bool spySaw(const QSignalSpy& spy, const QUrl& url)
{
    for (const QList<QVariant>& arguments : spy) {
        if (arguments.value(0).toUrl() == url)
            return true;
    }
    return false;
}

int spyCount(const QSignalSpy& spy, const QUrl& url)
{
    int count = 0;
    for (const QList<QVariant>& arguments : spy)
        count += arguments.value(0).toUrl() == url ? 1 : 0;
    return count;
}

// Navigates and waits until the page has finished loading and DocumentComplete named it.
bool load(BrowserControl& browser, const QUrl& url)
{
    QSignalSpy spy(&browser, &BrowserControl::documentComplete);
    browser.navigate(url);
    return waitUntil(
        [&] { return browser.readyState() == kReadyStateComplete && spySaw(spy, url); });
}

const char* statusName(PageStatus status)
{
    switch (status) {
    case PageStatus::Ok:
        return "Ok";
    case PageStatus::Missing:
        return "Missing";
    case PageStatus::NoAnswer:
        return "NoAnswer";
    case PageStatus::PageGone:
        return "PageGone";
    }
    return "?";
}

QByteArray describe(const WalkResult& result)
{
    QStringList positions;
    for (int position : result.positions)
        positions << QString::number(position);
    return QStringLiteral("%1 '%2' length %3 positions [%4] clicks %5")
        .arg(QLatin1String(statusName(result.status)), result.error)
        .arg(result.length)
        .arg(positions.join(QLatin1Char(',')))
        .arg(result.clicks)
        .toUtf8();
}

#define VERIFY_OK(result)                                                                          \
    do {                                                                                           \
        const WalkResult& r_ = (result);                                                           \
        QVERIFY2(r_.ok(), describe(r_).constData());                                               \
    } while (false)

QList<int> positions(std::initializer_list<int> values)
{
    return QList<int>(values);
}

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // Script text and answers, without the engine.
    void literalsAreEscaped_data();
    void literalsAreEscaped();
    void callsAreAssembledFromLiterals();
    void answersAreDecoded();

    // Walks in a real page.
    void emptyViewHasNoDocument();
    void framesAreReachedFromTheTop();
    void fieldsAreReadAsWritten();
    void comparisonsAndRules();
    void actionsChangeThePage();
    void gbkAndUtf8PagesGiveTheSameText();
    void onclickContainment();
    void clicksChangeTheLiveCollection();
    void onlyIndexVisitsOnePosition();
    void crossOriginFrameIsMissing();

    // Events.
    void documentCompleteForEveryFrame();
    void windowCloseIsReportedOncePerDocument();
    void newWindowsLandInTheChosenView();
    void silentPagesNeverBlock();
    void timerTickWaitsForTheWalk();

    // Failure and recovery.
    void hungPageGivesNoAnswerAndKilledRendererRecovers();
    void clearEverythingRemovesCookiesAndStorage();
    void storageIsKeptBetweenRuns();
    void viewsAreReplacedOnOneHost();

private:
    WalkResult walkMain(const WalkRequest& request) { return m_main->walk(request); }
    bool loadMain(const QString& path) { return load(*m_main, m_server->url(path)); }

    std::unique_ptr<TestServer> m_server;
    QTemporaryDir m_storage;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<WebEngineHost> m_host;
    std::unique_ptr<BrowserControl> m_main;
    std::unique_ptr<BrowserControl> m_second;
};

void TestWebEngineBrowser::initTestCase()
{
    m_server = std::make_unique<TestServer>();
    QVERIFY(m_server->running());
    QVERIFY(m_storage.isValid());

    m_window = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(m_window.get());
    m_host = std::make_unique<WebEngineHost>(m_storage.filePath(QStringLiteral("profile")),
                                             kScriptTimeoutMs);
    m_main = m_host->createBrowser(m_window.get());
    m_second = m_host->createBrowser(m_window.get());
    layout->addWidget(m_main->widget());
    layout->addWidget(m_second->widget());
    m_window->resize(800, 400);
    // Shown, so that the engine does not throttle the pages as hidden ones.
    m_window->show();
    m_main->setSilent(true);
    m_second->setSilent(true);
}

void TestWebEngineBrowser::cleanupTestCase()
{
    m_main.reset();
    m_second.reset();
    m_host.reset();
    m_window.reset();
    m_server.reset();
}

// ---------------------------------------------------------------------------------------------
// Script text

void TestWebEngineBrowser::literalsAreEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("quotes") << QStringLiteral("say \"hi\" and 'bye'");
    QTest::newRow("backslashes") << QStringLiteral("C:\\path\\n\\\"");
    QTest::newRow("script end") << QStringLiteral("</script><script>alert(1)</script><!--");
    QTest::newRow("line separators") << (QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b") +
                                         QChar(0x2029) + QStringLiteral("c"));
    QTest::newRow("control characters") << QStringLiteral("tab\tnewline\nnul") + QChar(0);
    QTest::newRow("chinese") << QStringLiteral("课程学习：第一章");
}

void TestWebEngineBrowser::literalsAreEscaped()
{
    QFETCH(QString, text);
    const QString literal = scriptLiteral(text);
    // Nothing that could end a string or a script survives raw.
    QVERIFY(!literal.contains(QLatin1Char('<')));
    QVERIFY(!literal.contains(QLatin1Char('>')));
    QVERIFY(!literal.contains(QChar(0x2028)));
    QVERIFY(!literal.contains(QChar(0x2029)));
    QVERIFY(!literal.contains(QLatin1Char('\n')));
    QVERIFY(literal.startsWith(QLatin1Char('"')) && literal.endsWith(QLatin1Char('"')));
    // And it still reads back as the same text.
    const QJsonDocument parsed = QJsonDocument::fromJson(("[" + literal + "]").toUtf8());
    QVERIFY(parsed.isArray());
    QCOMPARE(parsed.array().at(0).toString(), text);
}

void TestWebEngineBrowser::callsAreAssembledFromLiterals()
{
    QCOMPARE(assembleCall(QStringLiteral("lumora.walk"), QStringLiteral("a\"b"), 3, true),
             QStringLiteral("lumora.walk(\"a\\\"b\",3,true)"));
    QCOMPARE(assembleCall(QStringLiteral("f"), QJsonArray{1, 2}), QStringLiteral("f([1,2])"));
    // A function name that is not a plain identifier path gives no call at all.
    QVERIFY(assembleCall(QStringLiteral("alert(1);f"), 1).isEmpty());
    QVERIFY(assembleCall(QStringLiteral(""), 1).isEmpty());
    QVERIFY(assembleCall(QStringLiteral("a..b"), 1).isEmpty());
}

void TestWebEngineBrowser::answersAreDecoded()
{
    const DecodedAnswer ok = decodeWalkAnswer(
        QStringLiteral(R"({"ok":true,"error":"","length":7,"positions":[1,4],"clicks":2})"));
    QVERIFY(ok.result.ok());
    QCOMPARE(ok.result.length, 7);
    QCOMPARE(ok.result.positions, positions({1, 4}));
    QCOMPARE(ok.result.clicks, 2);

    const DecodedAnswer partial = decodeWalkAnswer(QStringLiteral(
        R"({"ok":false,"error":"no element at 3","length":5,"positions":[0],"clicks":1})"));
    QCOMPARE(partial.result.status, PageStatus::Missing);
    QCOMPARE(partial.result.error, QStringLiteral("no element at 3"));
    QCOMPARE(partial.result.positions, positions({0}));
    QCOMPARE(partial.result.clicks, 1);

    QVERIFY(decodeWalkAnswer(QStringLiteral(R"({"noscript":true})")).scriptMissing);
    for (const QString& broken :
         {QStringLiteral(""), QStringLiteral("null"), QStringLiteral("[1,2]"),
          QStringLiteral("{\"ok\":\"yes\"}"), QStringLiteral("{truncated")}) {
        const DecodedAnswer answer = decodeWalkAnswer(broken);
        QVERIFY2(answer.result.status == PageStatus::Missing, qPrintable(broken));
        QVERIFY(!answer.result.error.isEmpty());
        QVERIFY(!answer.scriptMissing);
    }
}

// ---------------------------------------------------------------------------------------------
// Walks

void TestWebEngineBrowser::emptyViewHasNoDocument()
{
    auto fresh = m_host->createBrowser(nullptr);
    QVERIFY(!fresh->hasDocument());
    QVERIFY(fresh->readyState() != kReadyStateComplete);
    const WalkResult result = fresh->walk(collect(QStringLiteral("a"), {}));
    QCOMPARE(result.status, PageStatus::Missing);

    // navigate() starts a load at once: the old state never looks complete in between.
    m_server->put("/empty.html", "<p>empty</p>");
    fresh->navigate(m_server->url(QStringLiteral("/empty.html")));
    QVERIFY(fresh->hasDocument());
    QVERIFY(fresh->readyState() < kReadyStateComplete);
    WAIT_VERIFY(fresh->readyState() == kReadyStateComplete);
    VERIFY_OK(fresh->resolve({}));
}

void TestWebEngineBrowser::framesAreReachedFromTheTop()
{
    m_server->put("/course/top.html",
                  "<html><body><a href='#'>top link</a>"
                  "<iframe src='f0.html'></iframe><iframe src='f1.html'></iframe>"
                  "<iframe src='f2.html'></iframe><iframe src='f3.html'></iframe></body></html>");
    for (int i = 0; i < 3; ++i) {
        m_server->put(
            "/course/f" + std::to_string(i) + ".html",
            QStringLiteral("<a href='#'>frame %1 first</a><a href='#'>frame %1 second</a>")
                .arg(i)
                .toUtf8());
    }
    m_server->put("/course/f3.html", "<p>categories</p><iframe src='f3-0.html'></iframe>");
    m_server->put("/course/f3-0.html",
                  "<a href='#'>intro</a><a href='#' onclick=\"openLesson('L-2')\">deep lesson</a>");
    QVERIFY(loadMain(QStringLiteral("/course/top.html")));

    for (const FramePath& path : {FramePath{}, FramePath{0}, FramePath{3}, FramePath{3, 0}})
        VERIFY_OK(m_main->resolve(path));
    for (const FramePath& path : {FramePath{4}, FramePath{-1}, FramePath{3, 1}, FramePath{0, 0}}) {
        const WalkResult result = m_main->resolve(path);
        QCOMPARE(result.status, PageStatus::Missing);
        QVERIFY(result.error.contains(QStringLiteral("no such frame")));
    }

    const WalkResult deep = walkMain(
        collect(QStringLiteral("a"),
                {when(Field::InnerText, Compare::Exact, QStringLiteral("deep lesson"))}, {3, 0}));
    VERIFY_OK(deep);
    QCOMPARE(deep.length, 2);
    QCOMPARE(deep.positions, positions({1}));

    const WalkResult second = walkMain(
        collect(QStringLiteral("a"),
                {when(Field::InnerText, Compare::Contains, QStringLiteral("frame 2"))}, {2}));
    VERIFY_OK(second);
    QCOMPARE(second.positions, positions({0, 1}));

    // The top document's own collection does not see into its frames.
    const WalkResult top = walkMain(collect(QStringLiteral("a"), {}));
    VERIFY_OK(top);
    QCOMPARE(top.length, 1);
    const WalkResult frames = walkMain(collect(QStringLiteral("iframe"), {}));
    QCOMPARE(frames.length, 4);
}

void TestWebEngineBrowser::fieldsAreReadAsWritten()
{
    m_server->put("/fields.html",
                  "<html><head></head><body>"
                  "<input name='user' type='text' value='attr'>"
                  "<input name='go' type='IMAGE' alt='go'>"
                  "<input name='plain'>"
                  "<select name='s'><option value='a'>A</option>"
                  "<option value='b' selected>B</option></select>"
                  "<div id='t'>Hello <b>World</b></div>"
                  "<script>document.getElementsByName('user')[0].value = 'typed';</script>"
                  "</body></html>");
    QVERIFY(loadMain(QStringLiteral("/fields.html")));
    const QString input = QStringLiteral("input");

    auto found = [&](const QString& tag, ElementTest test) {
        const WalkResult result = walkMain(collect(tag, {std::move(test)}));
        if (!result.ok())
            qWarning("%s", describe(result).constData());
        return result.positions;
    };

    QCOMPARE(found(input, when(Field::Name, Compare::Exact, QStringLiteral("go"))), positions({1}));
    // Type is the attribute as written.
    QCOMPARE(found(input, when(Field::Type, Compare::Exact, QStringLiteral("IMAGE"))),
             positions({1}));
    QCOMPARE(found(input, when(Field::Type, Compare::Exact, QStringLiteral("image"))),
             positions({}));
    QCOMPARE(found(input, when(Field::Type, Compare::Exact, QString())), positions({2}));
    // Value is the live property, not the attribute.
    QCOMPARE(found(input, when(Field::Value, Compare::Exact, QStringLiteral("typed"))),
             positions({0}));
    QCOMPARE(found(input, when(Field::Value, Compare::Exact, QStringLiteral("attr"))),
             positions({}));
    QCOMPARE(
        found(QStringLiteral("select"), when(Field::Value, Compare::Exact, QStringLiteral("b"))),
        positions({0}));
    QCOMPARE(found(QStringLiteral("div"),
                   when(Field::InnerText, Compare::Exact, QStringLiteral("Hello World"))),
             positions({0}));
    // An element without an onclick attribute reads as empty text.
    QCOMPARE(found(input, when(Field::OnClick, Compare::Exact, QString())), positions({0, 1, 2}));

    // An empty tag walks every element, html, head and body included.
    const QString all;
    QCOMPARE(found(all, when(Field::TagName, Compare::Exact, QStringLiteral("HTML"))),
             positions({0}));
    QCOMPARE(found(all, when(Field::TagName, Compare::Exact, QStringLiteral("HEAD"))),
             positions({1}));
    QCOMPARE(found(all, when(Field::TagName, Compare::Exact, QStringLiteral("BODY"))),
             positions({2}));
    QCOMPARE(found(all, when(Field::TagName, Compare::LowerCase, QStringLiteral("Input"))),
             positions({3, 4, 5}));
}

void TestWebEngineBrowser::comparisonsAndRules()
{
    m_server->put("/rules.html", "<a name='Next'>Next Page</a><a name='next'>next</a>"
                                 "<a name='prev'>Previous</a><span name='Next'>span</span>");
    QVERIFY(loadMain(QStringLiteral("/rules.html")));

    // Exact is case-sensitive, LowerCase is not, Contains is case-sensitive.
    WalkRequest request;
    request.tag = QStringLiteral("a");
    request.rules = {
        WalkRule{{when(Field::Name, Compare::Exact, QStringLiteral("Next"))}, Action::Collect, {}},
        WalkRule{
            {when(Field::Name, Compare::LowerCase, QStringLiteral("NEXT"))}, Action::Collect, {}},
        WalkRule{{when(Field::InnerText, Compare::Contains, QStringLiteral("ext"))},
                 Action::Collect,
                 {}},
    };
    // Each rule is tried independently, in order, on every element.
    WalkResult result = walkMain(request);
    VERIFY_OK(result);
    QCOMPARE(result.length, 3);
    QCOMPARE(result.positions, positions({0, 0, 0, 1, 1}));

    // All tests of a rule must hold; the filter passes elements over before any rule.
    request.rules = {WalkRule{{when(Field::Name, Compare::LowerCase, QStringLiteral("next")),
                               when(Field::InnerText, Compare::Exact, QStringLiteral("next"))},
                              Action::Collect,
                              {}}};
    result = walkMain(request);
    QCOMPARE(result.positions, positions({1}));

    request.tag.clear();
    request.filter = {when(Field::TagName, Compare::Exact, QStringLiteral("SPAN"))};
    request.rules = {WalkRule{{}, Action::Collect, {}}};
    result = walkMain(request);
    VERIFY_OK(result);
    QCOMPARE(result.positions.size(), 1);
}

void TestWebEngineBrowser::actionsChangeThePage()
{
    m_server->put("/actions.html",
                  "<input name='a' value=''><input name='b' value='keep'>"
                  "<button name='go' onclick=\"document.getElementById('log').textContent += "
                  "'x'\">go</button><div id='log'></div>");
    QVERIFY(loadMain(QStringLiteral("/actions.html")));

    // A value with quotes, a script end and Chinese text arrives intact.
    const QString value = QStringLiteral("新值 \"quoted\" </script> \\ end");
    WalkRequest set;
    set.tag = QStringLiteral("input");
    set.rules = {WalkRule{
        {when(Field::Name, Compare::Exact, QStringLiteral("a"))}, Action::SetValue, value}};
    VERIFY_OK(walkMain(set));
    QCOMPARE(walkMain(collect(QStringLiteral("input"), {when(Field::Value, Compare::Exact, value)}))
                 .positions,
             positions({0}));
    QCOMPARE(walkMain(collect(QStringLiteral("input"),
                              {when(Field::Value, Compare::Exact, QStringLiteral("keep"))}))
                 .positions,
             positions({1}));

    // Two matching click rules click twice; a collect rule after them still runs.
    WalkRequest clicks;
    clicks.tag = QStringLiteral("button");
    const ElementTest isGo = when(Field::Name, Compare::Exact, QStringLiteral("go"));
    clicks.rules = {WalkRule{{isGo}, Action::Click, {}}, WalkRule{{isGo}, Action::Click, {}},
                    WalkRule{{isGo}, Action::Collect, {}}};
    const WalkResult clicked = walkMain(clicks);
    VERIFY_OK(clicked);
    QCOMPARE(clicked.clicks, 2);
    QCOMPARE(clicked.positions, positions({0}));
    QCOMPARE(walkMain(collect(QStringLiteral("div"),
                              {when(Field::InnerText, Compare::Exact, QStringLiteral("xx"))}))
                 .positions,
             positions({0}));
}

void TestWebEngineBrowser::gbkAndUtf8PagesGiveTheSameText()
{
    const QString html =
        QStringLiteral("<html><head><meta charset='%1'></head><body>"
                       "<a href='#' onclick=\"play('第三课')\">课程学习</a><a href='#'>其他</a>"
                       "</body></html>");
    const QByteArray gbk = toGbk(html.arg(QStringLiteral("gbk")));
    QVERIFY(!gbk.isEmpty());
    QVERIFY(gbk != html.arg(QStringLiteral("gbk")).toUtf8()); // really another encoding
    m_server->put("/gbk.html", gbk, "text/html; charset=GBK");
    m_server->put("/utf8.html", html.arg(QStringLiteral("utf-8")).toUtf8());

    for (const QString& path : {QStringLiteral("/gbk.html"), QStringLiteral("/utf8.html")}) {
        QVERIFY(loadMain(path));
        const WalkResult text =
            walkMain(collect(QStringLiteral("a"),
                             {when(Field::InnerText, Compare::Exact, QStringLiteral("课程学习"))}));
        VERIFY_OK(text);
        QVERIFY2(text.positions == positions({0}), qPrintable(path));
        const WalkResult onclick =
            walkMain(collect(QStringLiteral("a"),
                             {when(Field::OnClick, Compare::Contains, QStringLiteral("第三课"))}));
        QVERIFY2(onclick.positions == positions({0}), qPrintable(path));
        const WalkResult other =
            walkMain(collect(QStringLiteral("a"),
                             {when(Field::InnerText, Compare::LowerCase, QStringLiteral("其他"))}));
        QVERIFY2(other.positions == positions({1}), qPrintable(path));
    }
}

void TestWebEngineBrowser::onclickContainment()
{
    m_server->put("/onclick.html", "<a onclick=\"openLesson('L-17', 'video')\">one</a>"
                                   "<a onclick=\"openLesson('L-170')\">two</a>"
                                   "<a href='#'>no handler</a>"
                                   "<a onclick=\"OPENLESSON('L-17')\">upper</a>"
                                   "<a id='late'>property only</a>"
                                   "<script>document.getElementById('late').onclick = function () {"
                                   " openLesson('L-17'); };</script>");
    QVERIFY(loadMain(QStringLiteral("/onclick.html")));

    auto containing = [&](const QString& text) {
        return walkMain(
                   collect(QStringLiteral("a"), {when(Field::OnClick, Compare::Contains, text)}))
            .positions;
    };
    QCOMPARE(containing(QStringLiteral("'L-17'")), positions({0, 3}));
    QCOMPARE(containing(QStringLiteral("L-17")), positions({0, 1, 3}));
    // Case-sensitive; a handler set as a property has no inline source text.
    QCOMPARE(containing(QStringLiteral("openLesson")), positions({0, 1}));
    // Empty text never matches, so an empty constant finds exactly the inline handlers.
    QCOMPARE(containing(QString()), positions({0, 1, 3}));
}

void TestWebEngineBrowser::clicksChangeTheLiveCollection()
{
    m_server->put(
        "/live.html",
        "<span onclick='removeLast(2)'>s0</span><span onclick='prependNew()'>s1</span>"
        "<span>s2</span><span>s3</span><span>s4</span><script>"
        "function removeLast(n) { const s = document.getElementsByTagName('span');"
        " for (let k = 0; k < n; ++k) s[s.length - 1].remove(); }"
        "function prependNew() { const e = document.createElement('span');"
        " e.textContent = 'new'; document.body.insertBefore(e, document.body.firstChild); }"
        "</script>");
    QVERIFY(loadMain(QStringLiteral("/live.html")));

    // Clicking s0 removes the last two: the walk fails where an element has gone, with what
    // it had done so far.
    WalkRequest request;
    request.tag = QStringLiteral("span");
    request.rules = {
        WalkRule{{when(Field::InnerText, Compare::Exact, QStringLiteral("s0"))}, Action::Click, {}},
        WalkRule{{}, Action::Collect, {}}};
    WalkResult result = walkMain(request);
    QCOMPARE(result.status, PageStatus::Missing);
    QCOMPARE(result.length, 5);
    QCOMPARE(result.positions, positions({0, 1, 2}));
    QCOMPARE(result.clicks, 1);
    QVERIFY(result.error.contains(QStringLiteral("3")));

    // Clicking s1 puts a new element in front: each later step fetches its item afresh and
    // so meets s1 again, up to the length read at the start.
    QVERIFY(loadMain(QStringLiteral("/live.html")));
    const ElementTest isS1 = when(Field::InnerText, Compare::Exact, QStringLiteral("s1"));
    request.rules = {WalkRule{{isS1}, Action::Click, {}}, WalkRule{{isS1}, Action::Collect, {}}};
    result = walkMain(request);
    VERIFY_OK(result);
    QCOMPARE(result.length, 5);
    QCOMPARE(result.clicks, 4);
    QCOMPARE(result.positions, positions({1, 2, 3, 4}));
    QCOMPARE(walkMain(collect(QStringLiteral("span"), {})).length, 9);
}

void TestWebEngineBrowser::onlyIndexVisitsOnePosition()
{
    m_server->put("/index.html", "<p>a</p><p>b</p><p>c</p>");
    QVERIFY(loadMain(QStringLiteral("/index.html")));
    WalkRequest request = collect(QStringLiteral("p"), {});
    request.onlyIndex = 2;
    WalkResult result = walkMain(request);
    VERIFY_OK(result);
    QCOMPARE(result.positions, positions({2}));

    request.onlyIndex = 3;
    result = walkMain(request);
    QCOMPARE(result.status, PageStatus::Missing);
    QCOMPARE(result.length, 3);
    QVERIFY(result.positions.isEmpty());
}

void TestWebEngineBrowser::crossOriginFrameIsMissing()
{
    const QUrl foreign =
        m_server->url(QStringLiteral("/xo/inner.html"), QStringLiteral("localhost"));
    m_server->put("/xo/top.html", QStringLiteral("<iframe src='same.html'></iframe>"
                                                 "<iframe src='%1'></iframe>")
                                      .arg(foreign.toString())
                                      .toUtf8());
    m_server->put("/xo/same.html", "<a>same</a>");
    m_server->put("/xo/inner.html", "<a>foreign</a><iframe src='about:blank'></iframe>");
    QSignalSpy frames(m_main.get(), &BrowserControl::documentComplete);
    QVERIFY(loadMain(QStringLiteral("/xo/top.html")));

    VERIFY_OK(m_main->resolve({0}));
    for (const FramePath& path : {FramePath{1}, FramePath{1, 0}}) {
        const WalkResult result = m_main->resolve(path);
        QCOMPARE(result.status, PageStatus::Missing);
        QVERIFY2(result.error.contains(QStringLiteral("not reachable")), qPrintable(result.error));
    }
    const WalkResult walk = walkMain(collect(QStringLiteral("a"), {}, {1}));
    QCOMPARE(walk.status, PageStatus::Missing);
    // The foreign frame's document still reports its load.
    WAIT_VERIFY(spySaw(frames, foreign));
    // And the page keeps answering.
    VERIFY_OK(walkMain(collect(QStringLiteral("a"), {}, {0})));
}

// ---------------------------------------------------------------------------------------------
// Events

void TestWebEngineBrowser::documentCompleteForEveryFrame()
{
    m_server->put("/late/top.html",
                  "<iframe id='f' src='a.html'></iframe><script>"
                  "setTimeout(function () {"
                  " const f = document.createElement('iframe'); f.src = 'b.html';"
                  " document.body.appendChild(f);"
                  " document.getElementById('f').src = 'c.html'; }, 300);</script>");
    for (const char* name : {"a", "b", "c"})
        m_server->put(std::string("/late/") + name + ".html", QByteArray("<p>") + name + "</p>");
    // A frame that imitates the layer's report, down to the script's source name.
    m_server->put("/late/a.html",
                  "<p>a</p><script>eval(\"console.log('lumora:00 http://forged.invalid/')\\n"
                  "//# sourceURL=userscript:lumora-frame-events\");</script>");

    QSignalSpy spy(m_main.get(), &BrowserControl::documentComplete);
    const QUrl top = m_server->url(QStringLiteral("/late/top.html"));
    const QUrl b = m_server->url(QStringLiteral("/late/b.html"));
    const QUrl c = m_server->url(QStringLiteral("/late/c.html"));
    m_main->navigate(top);
    WAIT_VERIFY(spySaw(spy, b) && spySaw(spy, c));
    QVERIFY(spySaw(spy, m_server->url(QStringLiteral("/late/a.html"))));
    // The frames' messages never stand for the top document as well.
    QCOMPARE(spyCount(spy, top), 1);
    QCOMPARE(spyCount(spy, b), 1);
    QVERIFY(!spySaw(spy, QUrl(QStringLiteral("http://forged.invalid/"))));
    QCOMPARE(m_main->readyState(), kReadyStateComplete);
}

void TestWebEngineBrowser::windowCloseIsReportedOncePerDocument()
{
    m_server->put("/close.html", "<button onclick='window.close(); window.close();'>close</button>"
                                 "<script>console.log('lumora:' + 'forged');</script>");
    QSignalSpy closing(m_main.get(), &BrowserControl::windowClosing);
    QVERIFY(loadMain(QStringLiteral("/close.html")));
    QCOMPARE(closing.size(), 0);

    const WalkResult clicked =
        walkMain(clickText(QStringLiteral("button"), QStringLiteral("close")));
    VERIFY_OK(clicked);
    WAIT_VERIFY(closing.size() == 1);
    // The view was not opened by script, so it stays; a second close is not reported again.
    VERIFY_OK(walkMain(clickText(QStringLiteral("button"), QStringLiteral("close"))));
    VERIFY_OK(m_main->resolve({}));
    QCOMPARE(closing.size(), 1);

    // A new document may close again.
    QVERIFY(loadMain(QStringLiteral("/close.html")));
    VERIFY_OK(walkMain(clickText(QStringLiteral("button"), QStringLiteral("close"))));
    WAIT_VERIFY(closing.size() == 2);
}

void TestWebEngineBrowser::newWindowsLandInTheChosenView()
{
    m_server->put("/opener.html",
                  "<a href='#' onclick=\"window.open('popup.html?via=script'); return false;\">"
                  "script</a><a href='popup.html?via=blank' target='_blank'>blank</a>");
    m_server->put("/popup.html", "<p>popup</p><button onclick='window.close()'>close</button>");
    QVERIFY(load(*m_second, m_server->url(QStringLiteral("/empty.html"))));
    QVERIFY(loadMain(QStringLiteral("/opener.html")));

    int asked = 0;
    BrowserControl* chosen = m_second.get();
    m_main->setNewWindowHandler([&] {
        ++asked;
        return chosen;
    });

    const QUrl viaScript = m_server->url(QStringLiteral("/popup.html?via=script"));
    QSignalSpy secondComplete(m_second.get(), &BrowserControl::documentComplete);
    VERIFY_OK(walkMain(clickText(QStringLiteral("a"), QStringLiteral("script"))));
    WAIT_VERIFY(spySaw(secondComplete, viaScript));
    QCOMPARE(asked, 1);
    QCOMPARE(m_second->url(), viaScript);
    QCOMPARE(m_second->readyState(), kReadyStateComplete);
    QCOMPARE(m_main->url(), m_server->url(QStringLiteral("/opener.html")));
    // The adopted page answers walks like any other.
    QCOMPARE(m_second->walk(collect(QStringLiteral("p"), {})).positions, positions({0}));

    const QUrl viaBlank = m_server->url(QStringLiteral("/popup.html?via=blank"));
    VERIFY_OK(walkMain(clickText(QStringLiteral("a"), QStringLiteral("blank"))));
    WAIT_VERIFY(spySaw(secondComplete, viaBlank));
    QCOMPARE(asked, 2);
    QCOMPARE(m_second->url(), viaBlank);

    // The pop-up was opened by script, so its own close() really asks to close.
    QSignalSpy secondClosing(m_second.get(), &BrowserControl::windowClosing);
    VERIFY_OK(m_second->walk(clickText(QStringLiteral("button"), QStringLiteral("close"))));
    WAIT_VERIFY(secondClosing.size() == 1);
    VERIFY_OK(m_second->resolve({})); // hidden at most, never closed

    // Refused: the handler gives no view, or the opener itself.
    for (BrowserControl* refusal : {static_cast<BrowserControl*>(nullptr), m_main.get()}) {
        chosen = refusal;
        const int before = asked;
        VERIFY_OK(walkMain(clickText(QStringLiteral("a"), QStringLiteral("script"))));
        WAIT_VERIFY(asked == before + 1);
        VERIFY_OK(m_main->resolve({}));
        QCOMPARE(m_second->url(), viaBlank);
        QCOMPARE(m_main->url(), m_server->url(QStringLiteral("/opener.html")));
    }
    m_main->setNewWindowHandler(nullptr);
}

void TestWebEngineBrowser::silentPagesNeverBlock()
{
    m_server->put("/dialogs.html",
                  "<div id='r'></div><div id='r2'></div>"
                  "<button onclick=\"alert('x'); document.getElementById('r2').textContent = "
                  "'after alert'\">alert</button>"
                  "<button onclick='undefinedFunction()'>broken</button><script>"
                  "alert('hello');"
                  "document.getElementById('r').textContent = 'confirm:' + confirm('sure?') +"
                  " ' prompt:' + prompt('name?', 'x');"
                  "window.onbeforeunload = function (e) { e.preventDefault();"
                  " e.returnValue = 'stay'; return 'stay'; };"
                  "setTimeout(function () { undefinedFunction(); }, 0);"
                  "</script>");
    QVERIFY(loadMain(QStringLiteral("/dialogs.html")));
    // confirm() answers OK and prompt() is cancelled.
    QCOMPARE(
        walkMain(collect(QStringLiteral("div"), {when(Field::InnerText, Compare::Exact,
                                                      QStringLiteral("confirm:true prompt:null"))}))
            .positions,
        positions({0}));
    const WalkResult alerted =
        walkMain(clickText(QStringLiteral("button"), QStringLiteral("alert")));
    VERIFY_OK(alerted);
    QCOMPARE(alerted.clicks, 1);
    QCOMPARE(walkMain(collect(QStringLiteral("div"), {when(Field::InnerText, Compare::Exact,
                                                           QStringLiteral("after alert"))}))
                 .positions,
             positions({1}));
    // A handler that throws does not break the walk that clicked it.
    const WalkResult broken =
        walkMain(clickText(QStringLiteral("button"), QStringLiteral("broken")));
    VERIFY_OK(broken);
    QCOMPARE(broken.clicks, 1);
    // beforeunload does not keep the page.
    QVERIFY(loadMain(QStringLiteral("/index.html")));
}

void TestWebEngineBrowser::timerTickWaitsForTheWalk()
{
    m_server->put("/busy.html", "<button onclick='const t = Date.now();"
                                " while (Date.now() - t < 500) {}'>busy</button>");
    QVERIFY(loadMain(QStringLiteral("/busy.html")));

    lumora::page::EventGate gate;
    QStringList order;
    bool tickCameDuringWalk = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(50);
    connect(&timer, &QTimer::timeout, this, [&] {
        tickCameDuringWalk = gate.handlerRunning();
        gate.dispatch([&] { order << QStringLiteral("tick"); },
                      lumora::page::EventGate::Kind::TimerTick);
    });
    QTimer::singleShot(0, this, [&] {
        gate.dispatch([&] {
            order << QStringLiteral("walk");
            timer.start();
            const WalkResult result =
                walkMain(clickText(QStringLiteral("button"), QStringLiteral("busy")));
            order << (result.ok() ? QStringLiteral("answer") : QStringLiteral("failed"));
        });
    });
    WAIT_VERIFY(order.size() == 3);
    QCOMPARE(order, QStringList({"walk", "answer", "tick"}));
    QVERIFY(tickCameDuringWalk);
}

// ---------------------------------------------------------------------------------------------
// Failure and recovery

void TestWebEngineBrowser::hungPageGivesNoAnswerAndKilledRendererRecovers()
{
    // The page hangs itself shortly after loading.
    m_server->put("/hang.html",
                  "<p>hang</p><script>setTimeout(function () { while (true) {} }, 200);</script>");
    QVERIFY(loadMain(QStringLiteral("/hang.html")));
    const WalkRequest paragraphs = collect(QStringLiteral("p"), {});

    // Walks answer until the page hangs; then one gets no answer, and only after the timeout.
    QElapsedTimer clock;
    QVERIFY(waitUntil([&] {
        clock.start();
        return walkMain(paragraphs).status == PageStatus::NoAnswer;
    }));
    QVERIFY(clock.elapsed() >= kScriptTimeoutMs);

    // Navigating away still works: the hung renderer is replaced.
    QVERIFY(loadMain(QStringLiteral("/index.html")));
    VERIFY_OK(walkMain(paragraphs));

    // A call pending when the renderer dies fails as PageGone, without waiting out the
    // timeout; the view then reloads by itself (this time the page does not hang).
    m_server->putSequence("/spin.html",
                          {"<button onclick='while (true) {}'>spin</button>", "<p>recovered</p>"});
    QVERIFY(loadMain(QStringLiteral("/spin.html")));
    const qint64 pid = WebEngineHost::rendererProcessId(*m_main);
    QVERIFY(pid > 0);
    QTimer::singleShot(300, this, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
    clock.start();
    const WalkResult gone = walkMain(clickText(QStringLiteral("button"), QStringLiteral("spin")));
    QCOMPARE(gone.status, PageStatus::PageGone);
    QVERIFY(clock.elapsed() < kScriptTimeoutMs);
    // Until the reload, walks fail at once as PageGone rather than wait.
    WAIT_VERIFY(walkMain(collect(QStringLiteral("p"), {when(Field::InnerText, Compare::Exact,
                                                            QStringLiteral("recovered"))}))
                    .positions == positions({0}));
    QVERIFY(WebEngineHost::rendererProcessId(*m_main) != pid);
}

void TestWebEngineBrowser::clearEverythingRemovesCookiesAndStorage()
{
    m_server->put("/store.html", "<div id='c'></div><div id='l'></div>"
                                 "<button onclick=\"document.cookie = 'k=v; max-age=86400; path=/';"
                                 " localStorage.setItem('k', 'stored');\">store</button><script>"
                                 "document.getElementById('c').textContent ="
                                 " document.cookie.indexOf('k=v') >= 0 ? 'cookie' : 'nocookie';"
                                 "document.getElementById('l').textContent ="
                                 " localStorage.getItem('k') || 'nostorage';</script>");
    const QUrl store = m_server->url(QStringLiteral("/store.html"));
    QVERIFY(load(*m_main, store));
    VERIFY_OK(walkMain(clickText(QStringLiteral("button"), QStringLiteral("store"))));
    QVERIFY(load(*m_main, store));
    auto divs = [&](const QString& text) {
        return walkMain(
                   collect(QStringLiteral("div"), {when(Field::InnerText, Compare::Exact, text)}))
            .positions;
    };
    QCOMPARE(divs(QStringLiteral("cookie")), positions({0}));
    QCOMPARE(divs(QStringLiteral("stored")), positions({1}));

    const QString oldProfile = m_host->profilePath();
    QVERIFY(QDir(oldProfile).exists());
    QSignalSpy cleared(m_host.get(), &WebEngineHost::everythingCleared);
    QSignalSpy reloaded(m_main.get(), &BrowserControl::documentComplete);
    m_host->clearEverything();
    m_host->clearEverything(); // a second request in a row is harmless
    WAIT_VERIFY(!cleared.isEmpty());

    // The visible view shows its page again, now without cookie or stored value.
    WAIT_VERIFY(spySaw(reloaded, store) && m_main->readyState() == kReadyStateComplete);
    QCOMPARE(divs(QStringLiteral("nocookie")), positions({0}));
    QCOMPARE(divs(QStringLiteral("nostorage")), positions({1}));
    QVERIFY(m_host->profilePath() != oldProfile);
    WAIT_VERIFY(!QDir(oldProfile).exists());

    // The pop-up view keeps working on the new profile too.
    QVERIFY(load(*m_second, m_server->url(QStringLiteral("/popup.html"))));
    QCOMPARE(m_second->walk(collect(QStringLiteral("p"), {})).positions, positions({0}));
}

void TestWebEngineBrowser::storageIsKeptBetweenRuns()
{
    const QString root = m_storage.filePath(QStringLiteral("kept"));
    const QUrl store = m_server->url(QStringLiteral("/store.html"));
    auto divs = [&](BrowserControl& browser, const QString& text) {
        return browser
            .walk(collect(QStringLiteral("div"), {when(Field::InnerText, Compare::Exact, text)}))
            .positions;
    };
    {
        WebEngineHost first(root, kScriptTimeoutMs);
        auto browser = first.createBrowser(nullptr);
        QVERIFY(load(*browser, store));
        VERIFY_OK(browser->walk(clickText(QStringLiteral("button"), QStringLiteral("store"))));
        QVERIFY(load(*browser, store));
        QCOMPARE(divs(*browser, QStringLiteral("stored")), positions({1}));
    }
    // A leftover generation from an interrupted clear is deleted at the next start.
    const QString leftover = QDir(root).filePath(QStringLiteral("gen-99"));
    QVERIFY(QDir().mkpath(leftover));

    WebEngineHost second(root, kScriptTimeoutMs);
    QVERIFY(!QDir(leftover).exists());
    // Clearing the cache at start removes what the last run cached.
    const QString cache = QDir(second.profilePath()).filePath(QStringLiteral("cache"));
    QVERIFY(QDir(cache).exists());
    second.clearCache();
    QVERIFY(!QDir(cache).exists());
    auto browser = second.createBrowser(nullptr);
    QVERIFY(load(*browser, store));
    QCOMPARE(divs(*browser, QStringLiteral("cookie")), positions({0}));
    QCOMPARE(divs(*browser, QStringLiteral("stored")), positions({1}));
}

void TestWebEngineBrowser::viewsAreReplacedOnOneHost()
{
    // A window closed and opened again creates new views on the same host and clears the
    // cache at each start; loads must never wait on the clearing.
    m_server->put("/three.html", "<p>a</p><p>b</p><p>c</p>");
    const QUrl page = m_server->url(QStringLiteral("/three.html"));
    for (int round = 0; round < 3; ++round) {
        QWidget window;
        auto first = m_host->createBrowser(&window);
        auto second = m_host->createBrowser(&window);
        window.show();
        m_host->clearCache();
        QVERIFY2(load(*first, page), qPrintable(QString::number(round)));
        QCOMPARE(first->walk(collect(QStringLiteral("p"), {})).length, 3);
        m_host->clearCache();
        QVERIFY2(load(*second, page), qPrintable(QString::number(round)));
    }
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    WebEngineHost::prepareProcess();
    QApplication app(argc, argv);
    TestWebEngineBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webengine_browser.moc"
