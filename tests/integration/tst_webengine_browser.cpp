// The Qt WebEngine layer against a real engine: pages are served on loopback by an in-process
// HTTP server, the views run offscreen.

#include "event_wait.h"
#include "headless_engine.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/webengine_host.h"
#include "shell/event_gate.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
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
                return;
            }
            const QList<QByteArray>& bodies = found->second;
            const QByteArray& body = bodies[std::min(m_served[request.path]++, bodies.size() - 1)];
            response.set_content(body.constData(), static_cast<std::size_t>(body.size()),
                                 "text/html");
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

    // Pages declare their encoding in a meta element when not plain ASCII.
    void put(const std::string& path, const QList<QByteArray>& bodies)
    {
        std::lock_guard lock(m_mutex);
        m_pages[path] = bodies;
        m_served[path] = 0;
    }
    // The page's address; another host name gives another origin on the same server.
    QUrl url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return QUrl(QStringLiteral("http://%1:%2%3").arg(host).arg(m_port).arg(path));
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, QList<QByteArray>> m_pages;
    std::map<std::string, qsizetype> m_served;
    int m_port = -1;
};

ElementTest textIs(const QString& text)
{
    return ElementTest{Field::InnerText, Compare::Exact, text};
}

WalkRule rule(Action action, std::vector<ElementTest> tests, const QString& value = {})
{
    return WalkRule{std::move(tests), action, value};
}

WalkRequest walkOf(const QString& tag, std::vector<WalkRule> rules, FramePath frames = {})
{
    return WalkRequest{std::move(frames), tag, {}, std::move(rules), -1};
}

WalkRequest collect(const QString& tag, std::vector<ElementTest> tests, FramePath frames = {})
{
    return walkOf(tag, {rule(Action::Collect, std::move(tests))}, std::move(frames));
}

WalkRequest clickText(const QString& tag, const QString& text)
{
    return walkOf(tag, {rule(Action::Click, {textIs(text)})});
}

// Status, error, length, positions and clicks, for failure messages.
QByteArray describe(const WalkResult& r)
{
    QString text;
    QDebug(&text) << static_cast<int>(r.status) << r.error << r.length << r.positions << r.clicks;
    return text.toUtf8();
}

#define VERIFY_OK(result)                                                                          \
    do {                                                                                           \
        const WalkResult& r_ = (result);                                                           \
        QVERIFY2(r_.ok(), describe(r_).constData());                                               \
    } while (false)

// Whether the walk came out exactly so; says what it was when not.
bool walked(const WalkResult& result, PageStatus status, int length, const QList<int>& positions,
            int clicks)
{
    const bool same = result.status == status && result.length == length &&
                      result.positions == positions && result.clicks == clicks;
    if (!same)
        qWarning("walk gave %s", describe(result).constData());
    return same;
}

// Positions of the `tag` elements passing every test; a failed walk gives {-1}, never a match.
QList<int> found(BrowserControl& browser, const QString& tag, std::vector<ElementTest> tests,
                 const FramePath& frames = {})
{
    const WalkResult result = browser.walk(collect(tag, std::move(tests), frames));
    if (!result.ok())
        qWarning("walk gave %s", describe(result).constData());
    return result.ok() ? result.positions : QList<int>{-1};
}

// Navigates and waits until the page has loaded and DocumentComplete named it.
bool load(BrowserControl& browser, const QUrl& url)
{
    QSignalSpy spy(&browser, &BrowserControl::documentComplete);
    browser.navigate(url);
    // navigate() starts the load at once: the old state never looks complete in between.
    const bool started = browser.hasDocument() && browser.readyState() != ReadyState::Complete;
    return started && waitUntil([&] {
               return browser.readyState() == ReadyState::Complete &&
                      spy.contains(QVariantList{url});
           });
}

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void scriptCallsAreEscaped();

    // Walks in a real page.
    void elementsAreReadAndMatched();
    void framesAreReachedFromTheTop();
    void gbkAndUtf8PagesGiveTheSameText();
    void clicksChangeTheLiveCollection();

    // Events.
    void documentCompleteForEveryFrame();
    void windowsOpenAndClose();
    void silentPagesNeverBlock();
    void timerTickWaitsForTheWalk();

    // Failure and recovery; storage.
    void hungPageGivesNoAnswerAndKilledRendererRecovers();
    void clearEverythingRemovesCookiesAndStorage();
    void storageIsKeptAndCacheClearedBetweenRuns();

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
    QVERIFY(m_server->url("/").port() > 0);
    QVERIFY(m_storage.isValid());
    m_server->put("/plain.html", {"<p>a</p><p>b</p><p>c</p>"});
    // Shows whether a cookie and a stored value are there; the button sets both.
    m_server->put("/store.html",
                  {"<div></div><button onclick=\"document.cookie = 'k=v; max-age=86400; path=/';"
                   " localStorage.setItem('k', 'stored');\">store</button><script>"
                   "document.querySelector('div').textContent = (document.cookie.indexOf('k=v')"
                   " >= 0 ? 'cookie' : 'nocookie') + ' ' + (localStorage.getItem('k') || 'none');"
                   "</script>"});

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

void TestWebEngineBrowser::scriptCallsAreEscaped()
{
    // Nothing that could end a string or a script survives raw, and the text reads back.
    for (const QString& text :
         {QStringLiteral("say \"hi\" and 'bye'"), QStringLiteral("C:\\path\\n\\\""),
          QStringLiteral("</script><script>alert(1)</script><!--"),
          QStringLiteral("a\u2028b\u2029c"), QStringLiteral("tab\tnewline\nnul") + QChar(0),
          QStringLiteral("课程学习：第一章")}) {
        const QString literal = scriptLiteral(text);
        for (const QChar raw : {u'<', u'>', u'\n', u'\u2028', u'\u2029'})
            QVERIFY2(!literal.contains(raw), qPrintable(literal));
        QCOMPARE(QJsonDocument::fromJson(("[" + literal + "]").toUtf8()).array().at(0).toString(),
                 text);
    }
    // A function name that is not a plain identifier path gives no call at all.
    for (const char* name : {"alert(1);f", "", "a..b"})
        QVERIFY2(assembleCall(QString::fromLatin1(name), 1).isEmpty(), name);
}

void TestWebEngineBrowser::elementsAreReadAndMatched()
{
    // Every element: html 0, head 1, body 2, the inputs 3-5, the links 6-10, the span 11.
    m_server->put("/walk.html",
                  {"<input name='user' type='text' value='attr'><input name='go' type='IMAGE'>"
                   "<input name='plain'>"
                   "<a name='Next' onclick=\"openLesson('L-17', 'video')\">Next Page</a>"
                   "<a name='next' onclick=\"openLesson('L-170')\">next</a>"
                   "<a name='prev'>Previous</a><a onclick=\"OPENLESSON('L-17')\">upper</a>"
                   "<a id='late'>property only</a><span name='Next'>span</span><script>"
                   "document.getElementsByName('user')[0].value = 'typed';"
                   "document.getElementById('late').onclick = function () {"
                   " openLesson('L-17'); };</script>"});
    QVERIFY(loadMain("/walk.html"));

    const WalkRule all = rule(Action::Collect, {});
    const QString value = QStringLiteral("新值 \"quoted\" </script> \\ end");
    const std::tuple<const char*, WalkRequest, QList<int>> rows[] = {
        // Type is the attribute as written (or empty), value the live property.
        {"type", collect("input", {{Field::Type, Compare::Exact, "IMAGE"}}), {1}},
        {"no type", collect("input", {{Field::Type, Compare::Exact, ""}}), {2}},
        {"value", collect("input", {{Field::Value, Compare::Exact, "typed"}}), {0}},
        // Containment in an inline handler's source text, case-sensitive.
        {"onclick id", collect("a", {{Field::OnClick, Compare::Contains, "'L-17'"}}), {0, 3}},
        {"onclick name", collect("a", {{Field::OnClick, Compare::Contains, "openLesson"}}), {0, 1}},
        {"all tags", collect("", {{Field::TagName, Compare::LowerCase, "Input"}}), {3, 4, 5}},
        // Each rule is tried on every element, independently and in order.
        {"rules in order",
         walkOf("a", {rule(Action::Collect, {{Field::Name, Compare::Exact, "Next"}}),
                      rule(Action::Collect, {{Field::Name, Compare::LowerCase, "NEXT"}}),
                      rule(Action::Collect, {{Field::InnerText, Compare::Contains, "ext"}})}),
         {0, 0, 0, 1, 1}},
        // A rule holds when all of its tests do; the filter passes elements over before any rule.
        {"both", collect("a", {{Field::Name, Compare::LowerCase, "next"}, textIs("next")}), {1}},
        {"filter",
         WalkRequest{{}, "", {{Field::TagName, Compare::Exact, "SPAN"}}, {all}, -1},
         {11}},
        {"only index", WalkRequest{{}, "a", {}, {all}, 2}, {2}},
        // Quotes, a script end and Chinese text arrive intact.
        {"set value",
         walkOf("input", {rule(Action::SetValue, {{Field::Name, Compare::Exact, "plain"}}, value),
                          rule(Action::Collect, {{Field::Value, Compare::Exact, value}})}),
         {2}},
    };
    for (const auto& [name, request, expected] : rows) {
        const WalkResult result = walkMain(request);
        QVERIFY2(result.ok() && result.positions == expected,
                 (name + QByteArrayLiteral(": ") + describe(result)).constData());
    }
}

void TestWebEngineBrowser::framesAreReachedFromTheTop()
{
    // A course page: four frames, the fourth holding the lesson list in a frame of its own,
    // then a frame of another origin.
    const QUrl foreign = m_server->url("/course/foreign.html", QStringLiteral("localhost"));
    m_server->put("/course/top.html",
                  {QStringLiteral("<a href='#'>top link</a><iframe src='f.html'></iframe>"
                                  "<iframe src='f.html'></iframe><iframe src='f.html'></iframe>"
                                  "<iframe src='f3.html'></iframe><iframe src='%1'></iframe>")
                       .arg(foreign.toString())
                       .toUtf8()});
    m_server->put("/course/f.html", {"<a>first</a><a>second</a>"});
    m_server->put("/course/f3.html", {"<p>categories</p><iframe src='f3-0.html'></iframe>"});
    m_server->put("/course/f3-0.html",
                  {"<a>intro</a><a onclick=\"openLesson('L-2')\">deep lesson</a>"});
    m_server->put("/course/foreign.html", {"<a>foreign</a><iframe src='about:blank'></iframe>"});
    QSignalSpy frames(m_main.get(), &BrowserControl::documentComplete);
    QVERIFY(loadMain("/course/top.html"));

    for (const FramePath& path : {FramePath{}, FramePath{0}, FramePath{3}, FramePath{3, 0}})
        VERIFY_OK(m_main->resolve(path));
    const std::pair<FramePath, const char*> failures[] = {
        {{5}, "no such frame"},    {{-1}, "no such frame"}, {{3, 1}, "no such frame"},
        {{0, 0}, "no such frame"}, {{4}, "not reachable"},  {{4, 0}, "not reachable"}};
    for (const auto& [path, error] : failures) {
        const WalkResult result = m_main->resolve(path);
        QVERIFY2(result.status == PageStatus::Missing && result.error.contains(error),
                 describe(result).constData());
    }
    // The foreign frame's document still reports its load.
    WAIT_VERIFY(frames.contains(QVariantList{foreign}));

    QVERIFY(
        walked(walkMain(collect("a", {textIs("deep lesson")}, {3, 0})), PageStatus::Ok, 2, {1}, 0));
    // The top document's own collection does not see into its frames.
    QCOMPARE(walkMain(collect("a", {})).length, 1);
}

void TestWebEngineBrowser::gbkAndUtf8PagesGiveTheSameText()
{
    // The same link, 课程学习 with 第三课 in its handler, in GBK and in UTF-8.
    m_server->put("/gbk.html",
                  {"<meta charset='gbk'><a>other</a><a onclick=\"play("
                   "'\xb5\xda\xc8\xfd\xbf\xce')\">\xbf\xce\xb3\xcc\xd1\xa7\xcf\xb0</a>"});
    m_server->put("/utf8.html",
                  {"<meta charset='utf-8'><a>other</a><a onclick=\"play('第三课')\">课程学习</a>"});
    for (const QString& path : {QStringLiteral("/gbk.html"), QStringLiteral("/utf8.html")}) {
        QVERIFY(loadMain(path));
        QCOMPARE(found(*m_main, "a",
                       {textIs("课程学习"), {Field::OnClick, Compare::Contains, "第三课"}}),
                 QList<int>({1}));
    }
}

void TestWebEngineBrowser::clicksChangeTheLiveCollection()
{
    m_server->put(
        "/live.html",
        {"<span onclick='removeLast(2)'>s0</span><span onclick='prependNew()'>s1</span>"
         "<span>s2</span><span>s3</span><span>s4</span><script>"
         "function removeLast(n) { const s = document.getElementsByTagName('span');"
         " for (let k = 0; k < n; ++k) s[s.length - 1].remove(); }"
         "function prependNew() { const e = document.createElement('span');"
         " e.textContent = 'new'; document.body.insertBefore(e, document.body.firstChild); }"
         "</script>"});
    QVERIFY(loadMain("/live.html"));

    // Clicking s0 removes the last two: the walk fails where an element has gone, with what
    // it had done so far. So does a single position past the new end.
    const WalkResult cut =
        walkMain(walkOf("span", {rule(Action::Click, {textIs("s0")}), rule(Action::Collect, {})}));
    QVERIFY(walked(cut, PageStatus::Missing, 5, {0, 1, 2}, 1));
    QVERIFY(walked(walkMain(WalkRequest{{}, "span", {}, {rule(Action::Collect, {})}, 3}),
                   PageStatus::Missing, 3, {}, 0));

    // Clicking s1 puts a new element in front: each later step fetches its item afresh and
    // so meets s1 again, up to the length read at the start.
    QVERIFY(loadMain("/live.html"));
    const WalkResult grown = walkMain(walkOf(
        "span", {rule(Action::Click, {textIs("s1")}), rule(Action::Collect, {textIs("s1")})}));
    QVERIFY(walked(grown, PageStatus::Ok, 5, {1, 2, 3, 4}, 4));
    QCOMPARE(walkMain(collect("span", {})).length, 9);
}

void TestWebEngineBrowser::documentCompleteForEveryFrame()
{
    m_server->put("/late/top.html",
                  {"<iframe id='f' src='a.html'></iframe><script>"
                   "setTimeout(function () {"
                   " const f = document.createElement('iframe'); f.src = 'b.html';"
                   " document.body.appendChild(f);"
                   " document.getElementById('f').src = 'c.html'; }, 300);</script>"});
    // A frame that imitates the layer's report, down to the script's source name.
    m_server->put("/late/a.html",
                  {"<p>a</p><script>eval(\"console.log('lumora:00 http://forged.invalid/')\\n"
                   "//# sourceURL=userscript:lumora-frame-events\");</script>"});
    m_server->put("/late/b.html", {"<p>b</p>"});
    m_server->put("/late/c.html", {"<p>c</p>"});

    QSignalSpy spy(m_main.get(), &BrowserControl::documentComplete);
    const QUrl top = m_server->url("/late/top.html");
    m_main->navigate(top);
    const auto frame = [&](const char* name) {
        return spy.count(QVariantList{m_server->url(QStringLiteral("/late/%1.html").arg(name))});
    };
    WAIT_VERIFY(frame("b") == 1 && frame("c") == 1);
    QCOMPARE(frame("a"), 1);
    // The frames' messages never stand for the top document as well.
    QCOMPARE(spy.count(QVariantList{top}), 1);
    QVERIFY(!spy.contains(QVariantList{QUrl(QStringLiteral("http://forged.invalid/"))}));
    QCOMPARE(m_main->readyState(), ReadyState::Complete);

    // A load begun while another still runs (here: for a frame that never gets an answer) is
    // reported too, by navigate() and by refresh(); the page's third serving has no such frame.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QUrl held = m_server->url("/late/held.html");
    const QByteArray waiting =
        "<p>held</p><iframe src='http://127.0.0.1:" + QByteArray::number(silent.serverPort()) +
        "/'></iframe>";
    m_server->put("/late/held.html", {waiting, waiting, "<p>done</p>"});
    const auto startHeld = [&] {
        m_main->navigate(held);
        return waitUntil(
                   [&] { return found(*m_main, "p", {textIs("held")}) == QList<int>({0}); }) &&
               m_main->readyState() != ReadyState::Complete;
    };
    QVERIFY(startHeld());
    QVERIFY(loadMain("/plain.html"));
    QVERIFY(startHeld());
    spy.clear();
    m_main->refresh();
    WAIT_VERIFY(spy.contains(QVariantList{held}) && m_main->readyState() == ReadyState::Complete);
    QCOMPARE(found(*m_main, "p", {textIs("done")}), QList<int>({0}));
}

void TestWebEngineBrowser::windowsOpenAndClose()
{
    m_server->put("/opener.html",
                  {"<a href='#' onclick=\"window.open('popup.html?via=script'); return false;\">"
                   "script</a><a href='popup.html?via=blank' target='_blank'>blank</a>"
                   "<button onclick='window.close(); window.close();'>close</button>"
                   "<script>console.log('lumora:' + 'forged');</script>"});
    m_server->put("/popup.html", {"<p>popup</p><button onclick='window.close()'>close</button>"});
    const QUrl opener = m_server->url("/opener.html");
    const WalkRequest close = clickText("button", "close");
    QSignalSpy closing(m_main.get(), &BrowserControl::windowClosing);
    QVERIFY(load(*m_second, m_server->url("/plain.html")));
    QVERIFY(load(*m_main, opener));
    QCOMPARE(closing.size(), 0);

    // The view was not opened by script, so it stays; its close is reported once per document.
    VERIFY_OK(walkMain(close));
    WAIT_VERIFY(closing.size() == 1);
    VERIFY_OK(walkMain(close));
    VERIFY_OK(m_main->resolve({}));
    QCOMPARE(closing.size(), 1);
    QVERIFY(load(*m_main, opener));
    VERIFY_OK(walkMain(close));
    WAIT_VERIFY(closing.size() == 2);

    int asked = 0;
    BrowserControl* chosen = m_second.get();
    m_main->setNewWindowHandler([&] {
        ++asked;
        return chosen;
    });
    QSignalSpy secondComplete(m_second.get(), &BrowserControl::documentComplete);
    for (const char* via : {"script", "blank"}) {
        const QUrl popup = m_server->url(QStringLiteral("/popup.html?via=") + via);
        VERIFY_OK(walkMain(clickText("a", via)));
        WAIT_VERIFY(secondComplete.contains(QVariantList{popup}));
        QCOMPARE(m_second->url(), popup);
        QCOMPARE(m_second->readyState(), ReadyState::Complete);
        QCOMPARE(m_main->url(), opener);
        // The adopted page answers walks like any other.
        QCOMPARE(found(*m_second, "p", {}), QList<int>({0}));
    }
    QCOMPARE(asked, 2);

    // The pop-up was opened by script, so its own close() really asks to close: still one
    // report, and the view is hidden at most, never closed.
    QSignalSpy secondClosing(m_second.get(), &BrowserControl::windowClosing);
    VERIFY_OK(m_second->walk(close));
    WAIT_VERIFY(secondClosing.size() == 1);
    VERIFY_OK(m_second->resolve({}));
    QCOMPARE(secondClosing.size(), 1);

    // Refused: the handler gives no view, or the opener itself.
    const QUrl shown = m_second->url();
    for (BrowserControl* refusal : {static_cast<BrowserControl*>(nullptr), m_main.get()}) {
        chosen = refusal;
        const int before = asked;
        VERIFY_OK(walkMain(clickText("a", "script")));
        WAIT_VERIFY(asked == before + 1);
        VERIFY_OK(m_main->resolve({}));
        QCOMPARE(m_second->url(), shown);
        QCOMPARE(m_main->url(), opener);
    }
    m_main->setNewWindowHandler(nullptr);
}

void TestWebEngineBrowser::silentPagesNeverBlock()
{
    m_server->put("/dialogs.html",
                  {"<div></div><button onclick=\"alert('x'); this.textContent = 'after alert'\">"
                   "alert</button><button onclick='undefinedFunction()'>broken</button><script>"
                   "alert('hello'); document.querySelector('div').textContent = 'confirm:' +"
                   " confirm('sure?') + ' prompt:' + prompt('name?', 'x');"
                   "window.onbeforeunload = function (e) { e.preventDefault(); return 'stay'; };"
                   "setTimeout(function () { undefinedFunction(); }, 0);</script>"});
    QVERIFY(loadMain("/dialogs.html"));
    // confirm() answers OK and prompt() is cancelled.
    QCOMPARE(found(*m_main, "div", {textIs("confirm:true prompt:null")}), QList<int>({0}));
    // Neither an alert nor a handler that throws breaks the walk that clicked it.
    for (const char* button : {"alert", "broken"})
        QVERIFY(walked(walkMain(clickText("button", button)), PageStatus::Ok, 2, {}, 1));
    QCOMPARE(found(*m_main, "button", {textIs("after alert")}), QList<int>({0}));
    // beforeunload does not keep the page.
    QVERIFY(loadMain("/plain.html"));
}

void TestWebEngineBrowser::timerTickWaitsForTheWalk()
{
    m_server->put("/busy.html", {"<button onclick='const t = Date.now();"
                                 " while (Date.now() - t < 500) {}'>busy</button>"});
    QVERIFY(loadMain("/busy.html"));

    lumora::shell::EventGate gate;
    QStringList order;
    bool tickCameDuringWalk = false;
    QTimer::singleShot(0, this, [&] {
        gate.dispatch([&] {
            order << QStringLiteral("walk");
            QTimer::singleShot(50, this, [&] {
                tickCameDuringWalk = gate.handlerRunning();
                gate.dispatch([&] { order << QStringLiteral("tick"); },
                              lumora::shell::EventGate::Kind::TimerTick);
            });
            const bool ok = walkMain(clickText("button", "busy")).ok();
            order << (ok ? QStringLiteral("answer") : QStringLiteral("failed"));
        });
    });
    WAIT_VERIFY(order.size() == 3);
    QCOMPARE(order, QStringList({"walk", "answer", "tick"}));
    QVERIFY(tickCameDuringWalk);
}

void TestWebEngineBrowser::hungPageGivesNoAnswerAndKilledRendererRecovers()
{
    // The page hangs itself shortly after loading.
    m_server->put(
        "/hang.html",
        {"<p>hang</p><script>setTimeout(function () { while (true) {} }, 200);</script>"});
    QVERIFY(loadMain("/hang.html"));
    const WalkRequest paragraphs = collect("p", {});

    // Walks answer until the page hangs; then one gets no answer, after the timeout.
    QElapsedTimer clock;
    QVERIFY(waitUntil([&] {
        clock.start();
        return walkMain(paragraphs).status == PageStatus::NoAnswer;
    }));
    QVERIFY(clock.elapsed() >= kScriptTimeoutMs && clock.elapsed() < 2 * kScriptTimeoutMs);

    // Navigating away still works: the hung renderer is replaced.
    QVERIFY(loadMain("/plain.html"));
    VERIFY_OK(walkMain(paragraphs));

    // A call pending when the renderer dies fails as PageGone, without waiting out the
    // timeout; the view then reloads by itself (this time the page does not hang).
    m_server->put("/spin.html",
                  {"<button onclick='while (true) {}'>spin</button>", "<p>recovered</p>"});
    QVERIFY(loadMain("/spin.html"));
    const qint64 pid = WebEngineHost::rendererProcessId(*m_main);
    QVERIFY(pid > 0);
    QTimer::singleShot(300, this, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
    clock.start();
    const WalkResult gone = walkMain(clickText("button", "spin"));
    QCOMPARE(gone.status, PageStatus::PageGone);
    QVERIFY(clock.elapsed() < kScriptTimeoutMs);
    WAIT_VERIFY(walkMain(collect("p", {textIs("recovered")})).positions == QList<int>({0}));
    QVERIFY(WebEngineHost::rendererProcessId(*m_main) != pid);
}

void TestWebEngineBrowser::clearEverythingRemovesCookiesAndStorage()
{
    const QUrl store = m_server->url("/store.html");
    QVERIFY(load(*m_main, store));
    VERIFY_OK(walkMain(clickText("button", "store")));
    QVERIFY(load(*m_main, store));
    QCOMPARE(found(*m_main, "div", {textIs("cookie stored")}), QList<int>({0}));

    const QString oldProfile = m_host->profilePath();
    QSignalSpy cleared(m_host.get(), &WebEngineHost::everythingCleared);
    QSignalSpy reloaded(m_main.get(), &BrowserControl::documentComplete);
    m_host->clearEverything();
    m_host->clearEverything(); // a second request in a row is harmless
    WAIT_VERIFY(!cleared.isEmpty());

    // The visible view shows its page again, now without cookie or stored value.
    WAIT_VERIFY(reloaded.contains(QVariantList{store}) &&
                m_main->readyState() == ReadyState::Complete);
    QCOMPARE(found(*m_main, "div", {textIs("nocookie none")}), QList<int>({0}));
    WAIT_VERIFY(!QDir(oldProfile).exists());

    // The other view keeps working on the new profile too.
    QVERIFY(load(*m_second, m_server->url("/plain.html")));
}

void TestWebEngineBrowser::storageIsKeptAndCacheClearedBetweenRuns()
{
    const QString root = m_storage.filePath(QStringLiteral("kept"));
    const QUrl store = m_server->url("/store.html");
    {
        WebEngineHost first(root, kScriptTimeoutMs);
        auto browser = first.createBrowser(nullptr);
        // A view that never loaded has no document to walk.
        QVERIFY(!browser->hasDocument());
        QCOMPARE(browser->walk(collect("p", {})).status, PageStatus::Missing);
        QVERIFY(load(*browser, store));
        VERIFY_OK(browser->walk(clickText("button", "store")));
    }
    // A leftover generation from an interrupted clear is deleted at the next start.
    const QString leftover = QDir(root).filePath(QStringLiteral("gen-99"));
    QVERIFY(QDir().mkpath(leftover));
    QString cache;
    {
        WebEngineHost second(root, kScriptTimeoutMs);
        QVERIFY(!QDir(leftover).exists());
        cache = QDir(second.profilePath()).filePath(QStringLiteral("cache"));
        QVERIFY(QDir(cache).exists());
        // A window opened again makes new views on the same host and clears the cache at each
        // start: at once before the first load, else at the next start; never holding a load up.
        for (int round = 0; round < 3; ++round) {
            QWidget window;
            auto browser = second.createBrowser(&window);
            auto other = second.createBrowser(&window);
            window.show();
            second.clearCache();
            QVERIFY(round > 0 || !QDir(cache).exists());
            QVERIFY(load(*browser, store));
            QCOMPARE(found(*browser, "div", {textIs("cookie stored")}), QList<int>({0}));
            second.clearCache();
            QVERIFY(load(*other, store));
        }
    }
    QVERIFY(QDir(cache).exists());
    const WebEngineHost third(root, kScriptTimeoutMs);
    QVERIFY(!QDir(cache).exists());
}

int main(int argc, char** argv)
{
    lumora::testing::prepareHeadlessEngine();
    QApplication app(argc, argv);
    TestWebEngineBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webengine_browser.moc"
