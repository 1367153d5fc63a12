// The Qt WebEngine layer on a real engine, offscreen, on pages the test serves on loopback.
// The walk contract runs on FakeBrowser as well.

#include "event_wait.h"
#include "fake_browser.h"
#include "headless_engine.h"
#include "platform/files.h"
#include "platform/webengine/qt_platform.h"
#include "platform/webengine/webengine_browser.h"
#include "platform/webengine/webengine_host.h"
#include "records/study_log.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QWebEngineView>
#include <QtTest>
#ifndef Q_OS_WIN
#include <signal.h>
#endif

using namespace lumora::platform;
using namespace lumora::platform::webengine;
using lumora::records::StudyLog;
using lumora::testing::FakeDocument;
using lumora::testing::FakeElement;
using lumora::testing::waitUntil;

namespace {

// Before main(): the engine's process set-up precedes the QApplication QTEST_MAIN makes.
[[maybe_unused]] const bool kHeadless = (lumora::testing::prepareHeadlessEngine(), true);
constexpr int kScriptTimeoutMs = 3000;
const PageStatus Ok = PageStatus::Ok;
const PageStatus Missing = PageStatus::Missing;

// Serves pages on 127.0.0.1 from the test's own event loop and logs the requests.
class TestServer : public QTcpServer
{
public:
    TestServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    void put(const QString& path, const QByteArray& body, int status = 200)
    {
        m_pages[path] = {body, status};
    }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }
    // The requests so far whose path and query start with `prefix`, oldest first.
    QStringList requests(const QString& prefix) const
    {
        return m_log.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix)));
    }

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n"))
            return;
        m_log.append(QString::fromLatin1(head.split(' ').value(1)));
        const auto [body, status] = m_pages.value(m_log.last().section('?', 0, 0), {"", 404});
        const QByteArray header = "HTTP/1.1 " + QByteArray::number(status) + " -\r\n";
        socket->write(header + "Connection: close\r\nContent-Type: text/html\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
    QHash<QString, std::pair<QByteArray, int>> m_pages;
    QStringList m_log;
};

const auto is = [](Field field, Compare compare, const QString& text) {
    return ElementTest{field, compare, text};
};
const auto text = [](const QString& shown) { return is(Field::InnerText, Compare::Exact, shown); };
const auto collect = [](std::vector<ElementTest> when = {}) {
    return WalkRule{std::move(when), Action::Collect, {}};
};
const auto click = [](ElementTest when) { return WalkRule{{when}, Action::Click, {}}; };
const auto walk = [](const QString& tag, std::vector<WalkRule> rules, FramePath frames = {},
                     int onlyIndex = -1) {
    return WalkRequest{std::move(frames), tag, {}, std::move(rules), onlyIndex};
};

// Positions of the `tag` elements passing every test; a failed walk gives {-1}, never a match.
QList<int> found(BrowserControl& browser, const QString& tag, std::vector<ElementTest> tests = {})
{
    const WalkResult result = browser.walk(walk(tag, {collect(std::move(tests))}));
    return result.ok() ? result.positions : QList<int>{-1};
}

// Navigates and waits until the page has loaded and its document-loaded signal named it; the old
// state never looks complete in between.
bool load(BrowserControl& browser, const QUrl& url)
{
    QSignalSpy spy(&browser, &BrowserControl::documentLoaded);
    browser.navigate(url);
    return browser.readyState() == ReadyState::Loading &&
           browser.lastLoad().outcome == LoadOutcome::Loading && waitUntil([&] {
               return browser.readyState() == ReadyState::Complete &&
                      spy.contains(QVariantList{url});
           });
}

// The page of the walk contract: html, head and body (0-2), these, then an iframe (11) whose
// document holds the links "stay" and "leave". A click on "grow" puts a new link first in the
// body, one on "shrink" removes the last link, one on "leave" removes the iframe.
// clang-format off
const FakeElement kElements[] = {
    {"a", "", "", "", "grow", "document.body.prepend(document.createElement('a'))", {},
     [](FakeDocument& d) { d.elements().insert(3, {"a", {}, {}, {}, {}, {}, {}, {}}); }},
    {"a", "Next", "", "", "Next Page", "openLesson('L-17')", {}, {}, "lesson?id=17"},
    {"a", "next", "", "", "next", "openLesson('L-170')", {}, {}},
    {"a", "", "", "", "shrink", "document.querySelector('a:last-of-type').remove()", {},
     [](FakeDocument& d) { d.elements().removeAt(7); }},
    {"a", "prev", "", "", "Previous", "", {}, {}},
    {"input", "user", "text", "", "", "", {}, {}},
    {"input", "go", "IMAGE", "", "", "", {}, {}, "lesson?id=9"},
    {"input", "plain", "", "", "", "", {}, {}},
};
// clang-format on

// A page of tests/integration/pages.
QByteArray testPage(const QString& name)
{
    QFile file(QStringLiteral(LUMORA_TEST_PAGES "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no test page %s", qPrintable(name));
    return file.readAll();
}

QByteArray contractHtml()
{
    QString html = QStringLiteral("<html><head></head><body>");
    for (const FakeElement& e : kElements) {
        html += QStringLiteral("<%1 name=\"%2\" type=\"%3\" onclick=\"%4\" href=\"%6\">%5</%1>")
                    .arg(e.tag, e.name, e.type, e.onclick, e.innerText, e.href);
    }
    html += "<iframe srcdoc=\"<a>stay</a><a onclick='frameElement.remove()'>leave</a>\">";
    return html.replace(QRegularExpression(QStringLiteral(" \\w+=\"\"")), QString()).toUtf8();
}

std::shared_ptr<FakeDocument> contractFake(const QUrl& url)
{
    auto top = std::make_shared<FakeDocument>();
    top->url = url;
    for (const char* tag : {"html", "head", "body"})
        top->add({tag, {}, {}, {}, {}, {}, {}, {}});
    for (const FakeElement& e : kElements)
        top->add(e);
    top->add({"iframe", {}, {}, {}, {}, {}, {}, {}});
    top->frames() = {std::make_shared<FakeDocument>()};
    top->frames()[0]->link("stay");
    top->frames()[0]->link("leave").onClick = [page = std::weak_ptr(top)](FakeDocument&) {
        page.lock()->frames().clear();
        page.lock()->elements().removeAt(11);
    };
    return top;
}

using Step = std::tuple<WalkRequest, PageStatus, int, QList<int>, int>; // and what comes back

const QString kValue = QStringLiteral("新值 \"q\" </script> \\ \u2028 end"); // arrives intact

// Each case starts on a fresh page; its steps run one after the other.
// clang-format off
const std::pair<const char*, std::vector<Step>> kWalkCases[] = {
    {"lower-cased, every test", {{walk("a", {collect({is(Field::Name, Compare::LowerCase, "NEXT"),
                                                      text("next")})}), Ok, 5, {2}, 0}}},
    {"contains", {{walk("a", {collect({is(Field::OnClick, Compare::Contains, "'L-17'")})}),
                   Ok, 5, {1}, 0}}},
    {"contains, empty text never", {{walk("a", {collect({is(Field::OnClick, Compare::Contains,
                                                            "")})}), Ok, 5, {0, 1, 2, 3}, 0}}},
    // The filter passes elements over; the rules are tried in order, each on its own.
    {"filter, rules in order", {{{{}, "", {is(Field::TagName, Compare::Exact, "A")},
                                  {collect({is(Field::Name, Compare::Exact, "next")}), collect()},
                                  -1}, Ok, 12, {3, 4, 5, 5, 6, 7}, 0}}},
    {"set value", {{walk("input", {{{is(Field::Name, Compare::Exact, "plain")}, Action::SetValue,
                                    kValue}, collect({is(Field::Value, Compare::Exact, kValue)})}),
                    Ok, 3, {2}, 0}}},
    // A link's address resolves against its document's; any other element's is as written.
    {"href", {{walk("a", {collect({is(Field::Href, Compare::Contains, "/lesson?id=17")})}), Ok, 5,
               {1}, 0},
              {walk("input", {collect({is(Field::Href, Compare::Exact, "lesson?id=9")})}), Ok, 3,
               {1}, 0}}},
    {"only index", {{walk("a", {collect()}, {}, 4), Ok, 5, {4}, 0},
                    {walk("a", {collect()}, {}, 5), Missing, 5, {}, 0}}},
    // The clicked element stays the step's element when a new one goes in before it.
    {"click that grows the collection", {{walk("a", {click(text("grow")), collect({text("grow")})}),
                                          Ok, 5, {0, 1, 2, 3, 4}, 5},
                                         {walk("a", {}), Ok, 10, {}, 0}}},
    {"click that shrinks it", {{walk("a", {collect(), click(text("shrink"))}),
                                Missing, 5, {0, 1, 2, 3}, 1}}},
    {"missing frame", {{walk("a", {collect()}, {1}), Missing, 0, {}, 0},
                       {walk("a", {collect()}, {0, 0}), Missing, 0, {}, 0}}},
    // The walk finishes on the document it holds; the next one finds no frame.
    {"the frame goes away", {{walk("a", {collect(), click(text("leave"))}, {0}), Ok, 2, {0, 1}, 1},
                             {walk("a", {}, {0}), Missing, 0, {}, 0}}},
};
// clang-format on

// The controls' contract (pages/controls.html, where fourteen links "第N节" follow). Hidden, an
// input is invisible (visibility), anything else not shown at all (display).
// clang-format off
const FakeElement kControls[] = {
    {"input", {}, "button", "继续学习", {}, {}, "hidden", {}, {}, {}, true},
    {"button", {}, {}, {}, "继续学习", {}, "continue", {}, {}, "您还在学习吗？ 继续学习"},
    {"a", {}, {}, {}, "继续播放", {}, "gone", {}, {}, {}, true},
    {"a", {}, {}, {}, " 重新开始\n", {}, "restart", {}, {}, "从上次位置继续？ 重新开始"},
    {"input", {}, "SUBMIT", "继续播放", {}, {}, "resume", {}, {}, "从上次位置继续？"},
    {"span", {}, {}, {}, "关闭", "return false", "close", {}, {}, "提示 关闭"},
    {"span", {}, {}, {}, "说明", {}, "plain", {}},
    {"a", {}, {}, {}, "第一章 课程简介与学习要求", {}, "long", {}},
    {"input", {}, "text", "abc", {}, {}, "field", {}},
};
// clang-format on

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void walksAreTheSameOnFakeAndEngine();
    void controlsAreTheSameOnFakeAndEngine();
    void loadOutcomes();
    void viewsMadeBeforeTheStartWaitForIt();
    void popupsLoadInTheChosenView();
    void studiesInTheBackground();
    void framesReportTheirLoads_mediaAsked();
    void videosInFramesOfOtherOrigins();
    void lessonMediaAnywhere_questionsAnswered();
    void recoveries();
    void rendererCrashes();
    void profileFolders();

private:
    bool loadMain(const QString& path) { return load(*m_main, m_server->url(path)); }

    std::unique_ptr<TestServer> m_server = std::make_unique<TestServer>();
    QTemporaryDir m_storage;
    QWidget m_window;
    std::unique_ptr<WebEngineHost> m_host;
    std::unique_ptr<BrowserControl> m_main;
    std::unique_ptr<BrowserControl> m_second;
    QList<qint64> m_ended; // the processes the host ended, by id
};

void TestWebEngineBrowser::initTestCase()
{
    m_server->put("/plain.html", "<p>a</p><p>b</p><p>c</p>");
    m_server->put("/e500.html", "<p>server error</p>", 500);
    m_host = std::make_unique<WebEngineHost>(m_storage.filePath("profile"), kScriptTimeoutMs,
                                             [this](qint64 pid) {
                                                 m_ended.append(pid);
                                                 return endProcess(pid);
                                             });
    m_main = m_host->createBrowser(&m_window);
    m_second = m_host->createBrowser(&m_window);
    m_window.show();
}

void TestWebEngineBrowser::walksAreTheSameOnFakeAndEngine()
{
    m_server->put("/contract.html", contractHtml());
    lumora::testing::FakeBrowser fake;
    for (BrowserControl* browser : {static_cast<BrowserControl*>(&fake), m_main.get()}) {
        for (const auto& [name, steps] : kWalkCases) {
            fake.setDocument(contractFake(m_server->url("/contract.html")));
            if (browser == m_main.get())
                QVERIFY(loadMain("/contract.html") &&
                        waitUntil([&] { return browser->resolve({0}).ok(); }));
            for (const auto& [request, status, length, positions, clicks] : steps) {
                const WalkResult r = browser->walk(request);
                QString seen;
                QDebug(&seen) << browser << name << int(r.status) << r.error << r.length
                              << r.positions << r.clicks;
                QVERIFY2(r.status == status && r.length == length && r.positions == positions &&
                             r.clicks == clicks,
                         qPrintable(seen));
            }
        }
        // A read gives each element's text with its position.
        const WalkResult read = browser->walk(
            walk("a", {{{is(Field::InnerText, Compare::Contains, "ext")}, Action::ReadText, {}}}));
        QCOMPARE(read.positions, (QList<int>{1, 2}));
        QCOMPARE(read.texts, (QStringList{"Next Page", "next"}));
    }
    // An SVG link's address is no string on the engine: it reads as written.
    m_server->put("/svg.html", "<svg><a href='lesson?id=3'><text>3</text></a></svg>");
    QVERIFY(loadMain("/svg.html"));
    const ElementTest link = is(Field::Href, Compare::Exact, "lesson?id=3");
    QCOMPARE(m_main->walk(walk("a", {collect({link}), click(link)})).positions, QList<int>{0});
    WAIT_VERIFY(m_server->requests("/lesson?id=3").size() == 1); // an SVG element has no click()
}

void TestWebEngineBrowser::controlsAreTheSameOnFakeAndEngine()
{
    m_server->put("/controls.html", testPage("controls.html"));
    QVERIFY(loadMain("/controls.html"));
    lumora::testing::FakeBrowser fake;
    auto page = std::make_shared<FakeDocument>();
    for (const FakeElement& e : kControls)
        page->add(e);
    QList<PageControl> shown = {{"继续学习", "您还在学习吗？ 继续学习"}, // the first 16, in order
                                {"重新开始", "从上次位置继续？ 重新开始"},
                                {"继续播放", "从上次位置继续？"},
                                {"关闭", "提示 关闭"}};
    for (int n = 1; n <= 14; ++n) {
        const QString part = QString("第%1节").arg(n);
        page->add({"a", {}, {}, {}, part, {}, QString("part%1").arg(n), {}, {}, "目录 " + part});
        shown.append({part, "目录 " + part});
    }
    fake.setDocument(page);
    // A click goes to the first control of the first text that has one, listed or not.
    // clang-format off
    const std::pair<QStringList, QString> presses[] = {
        {{"继续学习"}, "继续学习"}, {{"继续播放", "重新开始"}, "继续播放"}, {{"没有", "关闭"}, "关闭"},
        {{"第14节"}, "第14节"}, {{"说明", "第一章 课程简介与学习要求", "abc", ""}, ""}};
    // clang-format on
    for (BrowserControl* browser : {static_cast<BrowserControl*>(&fake), m_main.get()}) {
        QVERIFY(browser->mediaErrors().controls == shown.mid(0, 16));
        for (const auto& [wanted, clicked] : presses)
            QCOMPARE(browser->clickControl(wanted), clicked);
    }
    QCOMPARE(fake.clickLog.join(','), "continue,resume,close,part14");
    QVERIFY(WebEngineHost::runScriptForText(*m_main, "document.title") ==
            "continue,resume,close,part14,");
    m_server->put("/lone.html", "<meta charset=utf-8><button>继续学习</button>"); // no question
    QVERIFY(loadMain("/lone.html") &&
            m_main->mediaErrors().controls == (QList<PageControl>{{"继续学习", ""}}));
}

void TestWebEngineBrowser::loadOutcomes()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    m_server->put("/e404.html", "<p>not found</p>", 404);
    m_server->put("/self.html", "<script>setTimeout(() => location = 'plain.html?in')</script>");
    // Loads asked for (none: a reload), then the outcome, its HTTP status and address. A load
    // superseded by a newer one never reports; a page going elsewhere reports the load it began;
    // a navigation within the document reports no start, so it ends as the page was.
    // clang-format off
    const std::tuple<QStringList, LoadOutcome, int, QString> rows[] = {
        {{"/plain.html"}, LoadOutcome::Succeeded, 200, "/plain.html"},
        {{"/e500.html"}, LoadOutcome::HttpError, 500, "/e500.html"},
        {{}, LoadOutcome::HttpError, 500, "/e500.html"},
        {{"/e404.html"}, LoadOutcome::HttpError, 404, "/e404.html"},
        {{refused}, LoadOutcome::NetworkError, 0, refused},
        {{"/e500.html", "/plain.html"}, LoadOutcome::Succeeded, 200, "/plain.html"},
        {{"/self.html"}, LoadOutcome::Succeeded, 200, "/plain.html?in"},
        {{"/plain.html?in#part"}, LoadOutcome::Succeeded, 200, "/plain.html?in"},
    };
    // clang-format on
    const auto address = [this](const QString& path) {
        return path.startsWith('/') ? m_server->url(path) : QUrl(path);
    };
    for (const auto& [paths, outcome, status, where] : rows) {
        for (const QString& path : paths)
            m_main->navigate(address(path));
        if (paths.isEmpty())
            m_main->refresh();
        QCOMPARE(m_main->lastLoad().outcome, LoadOutcome::Loading);
        WAIT_VERIFY(m_main->readyState() == ReadyState::Complete &&
                    m_main->lastLoad().url == address(where) &&
                    m_main->lastLoad().outcome != LoadOutcome::Loading);
        const LoadInfo last = m_main->lastLoad();
        QVERIFY2(last.outcome == outcome && last.httpStatus == status, qPrintable(where));
        QVERIFY(last.outcome == LoadOutcome::Succeeded || !last.error.isEmpty());
        QCOMPARE(last.noAnswer, where == refused ? NoAnswer::Refused : NoAnswer::None);
    }
    // A silent view keeps the page's console to itself (by the walk's answer it has arrived),
    // cancels its prompts and accepts its questions; its alerts' texts are told, and its text read.
    QSignalSpy alerts(m_main.get(), &BrowserControl::alertShown);
    m_server->put("/noisy.html", "<p>a</p><script>console.warn('noisy page'); alert('refused 1');"
                                 "if (prompt('?', 'x') === null && confirm('?'))"
                                 "  document.body.append(document.createElement('i'));</script>");
    QTest::failOnWarning(QRegularExpression("noisy page"));
    m_main->setSilent(true);
    QVERIFY(loadMain("/noisy.html") && found(*m_main, "p") == QList<int>{0} &&
            found(*m_main, "i") == QList<int>{0});
    WAIT_VERIFY(alerts.size() == 1);
    QVERIFY(alerts.first().first().toString() == "refused 1" && m_main->pageText(100) == "a");
    m_main->setSilent(false);
}

void TestWebEngineBrowser::viewsMadeBeforeTheStartWaitForIt()
{
    // Before its host starts, a view shows empty with no page of any profile (Qt's view would
    // make one of the default profile as it is shown), and what it is asked to load waits. The
    // start loads it, asked from the site once, its first document without the isolated world's
    // scripts (walked all the same), the next ones with them.
    m_server->put("/ahead.html", "<p>a</p>");
    const QUrl ahead = m_server->url("/ahead.html");
    WebEngineHost host(m_storage.filePath("waiting"), kScriptTimeoutMs);
    QWidget window;
    const std::unique_ptr<BrowserControl> early = host.createWaitingBrowser(&window);
    early->navigate(ahead);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.findChildren<QWebEnginePage*>().isEmpty());
    host.start();
    WAIT_VERIFY(early->readyState() == ReadyState::Complete &&
                early->lastLoad().outcome == LoadOutcome::Succeeded);
    QCOMPARE(qobject_cast<QWebEngineView*>(early->widget())->url(), ahead);
    QCOMPARE(m_server->requests("/ahead.html").size(), 1);
    const QString walkHere = QStringLiteral("typeof lumora");
    QCOMPARE(WebEngineHost::runScriptForText(*early, walkHere), "undefined");
    QCOMPARE(found(*early, "p"), QList<int>{0});
    QVERIFY(load(*early, ahead));
    QCOMPARE(WebEngineHost::runScriptForText(*early, walkHere), "object");
}

void TestWebEngineBrowser::popupsLoadInTheChosenView()
{
    // In an inline handler document.open comes first: window is named.
    m_server->put("/opener.html", "<a onclick=\"window.open('plain.html?popup')\">good</a>"
                                  "<a onclick=\"window.open('e500.html')\">broken</a>");
    QVERIFY(load(*m_second, m_server->url("/plain.html")) && loadMain("/opener.html"));
    QList<LoadOutcome> atAdoption;
    BrowserControl* chosen = m_second.get();
    m_main->setNewWindowHandler([&] {
        QTimer::singleShot(0, [&] { atAdoption.append(m_second->lastLoad().outcome); });
        return chosen;
    });
    // It starts there as a load under way, and answers walks like any page.
    for (const auto& [via, page, outcome] :
         {std::tuple{"broken", "/e500.html", LoadOutcome::HttpError},
          {"good", "/plain.html?popup", LoadOutcome::Succeeded}}) {
        QVERIFY(m_main->walk(walk("a", {click(text(via))})).ok());
        WAIT_VERIFY(m_second->lastLoad().url == m_server->url(page) &&
                    m_second->readyState() == ReadyState::Complete);
        QVERIFY(m_second->lastLoad().outcome == outcome && found(*m_second, "p").value(0) == 0);
    }
    chosen = nullptr; // refused: nothing changes
    QVERIFY(m_main->walk(walk("a", {click(text("broken"))})).ok());
    WAIT_VERIFY(atAdoption.size() == 3);
    QCOMPARE(atAdoption, QList<LoadOutcome>(
                             {LoadOutcome::Loading, LoadOutcome::Loading, LoadOutcome::Succeeded}));
    QVERIFY(m_main->resolve({}).ok() && m_main->url() == m_server->url("/opener.html"));
    m_main->setNewWindowHandler(nullptr);
}

void TestWebEngineBrowser::studiesInTheBackground()
{
    // A canvas animation fed live into a muted video, a clip recorded from it played muted (the
    // kind Chromium pauses in hidden pages), and the stand-in site's MP4 lesson (H.264, AAC);
    // every 250 ms a report of what the page sees (pages/study.html).
    m_server->put("/study.html", testPage("study.html"));
    m_server->put("/lesson.mp4", readWholeFile(LUMORA_TEST_MEDIA).value_or(""));
    // The reports of one view since its `from`-th, newest first.
    const auto reports = [this](const QString& view, qsizetype from) {
        QList<QUrlQuery> out;
        for (const QString& request : m_server->requests("/report?view=" + view).mid(from))
            out.prepend(QUrlQuery(QUrl(request).query()));
        return out;
    };
    const auto value = [](const QUrlQuery& report, const char* key) {
        return report.queryItemValue(key).toDouble();
    };
    QVERIFY(load(*m_main, m_server->url("/study.html?main")));
    QVERIFY(load(*m_second, m_server->url("/study.html?player")));
    const auto playing = [&](const QString& view) {
        const QUrlQuery last = reports(view, 0).value(0);
        return value(last, "clip") > 0 && value(last, "lesson") > 0;
    };
    WAIT_VERIFY(playing("main") && playing("player"));

    // Offscreen, minimising and hiding the window tell the engine what a desktop tells it.
    for (const auto& change : {std::function([this] { m_window.showMinimized(); }),
                               std::function([this] { m_window.hide(); })}) {
        change();
        const qsizetype main = reports("main", 0).size(), player = reports("player", 0).size();
        WAIT_VERIFY(reports("main", main).size() >= 5 && reports("player", player).size() >= 5);
        for (const auto& seen : {reports("main", main + 1), reports("player", player + 1)}) {
            double fastest = 1e9; // the first report after the change may be from before it
            for (const QUrlQuery& report : seen) {
                QVERIFY2(report.queryItemValue("state") == "visible" &&
                             report.queryItemValue("hidden") == "false" &&
                             report.queryItemValue("focus") == "true" &&
                             report.queryItemValue("shape", QUrl::FullyDecoded) ==
                                 R"({"enumerable":true,"configurable":true})" &&
                             value(report, "changes") == 0 && value(report, "clip") >= 0,
                         qPrintable(report.toString()));
                fastest = std::min(fastest, value(report, "gap"));
            }
            QVERIFY(value(seen.first(), "live") > value(seen.last(), "live"));
            QVERIFY(value(seen.first(), "clip") != value(seen.last(), "clip"));
            // The lesson plays on with its pictures decoded; it loops, its frame count does not.
            QVERIFY(value(seen.first(), "lesson") != value(seen.last(), "lesson") &&
                    value(seen.first(), "frames") > value(seen.last(), "frames"));
            QVERIFY(fastest < 700); // throttled timers fire once a second at most
        }
        // The engine itself treats the pages as hidden and draws nothing, as the isolated world
        // sees it; shown again, they are as they were.
        for (BrowserControl* view : {m_main.get(), m_second.get()})
            QVERIFY(WebEngineHost::runScriptForText(*view, "document.visibilityState") == "hidden");
    }
    m_window.showNormal();
    for (BrowserControl* view : {m_main.get(), m_second.get()})
        WAIT_VERIFY(WebEngineHost::runScriptForText(*view, "document.visibilityState") ==
                    "visible");
}

void TestWebEngineBrowser::framesReportTheirLoads_mediaAsked()
{
    // Each frame's document reports its completion, not only the top-level one: a course page
    // is recognised when its course frame arrives.
    m_server->put("/framed.html",
                  "<iframe src='plain.html?1'></iframe><iframe src='plain.html?2'>");
    QSignalSpy completed(m_main.get(), &BrowserControl::documentLoaded);
    QVERIFY(loadMain("/framed.html"));
    WAIT_VERIFY(completed.count() >= 3);
    // A frame's document is told from the next one in its place, though both have one address.
    const DocumentInfo first = m_main->document({1});
    QVERIFY(first.complete && first.url.query() == "2");
    QCOMPARE(m_main->document({1}).identity, first.identity);
    QVERIFY(WebEngineHost::runScriptForText(*m_main, "frames[1].location.reload(); 'ok'"));
    WAIT_VERIFY(m_main->document({1}).identity != first.identity && m_main->document({1}).complete);
    // The lesson's video is the largest shown, in any frame; a broken audio element or another
    // video is no error of it. A source that answers 404 failed: its type (.mp4) says nothing.
    m_server->put("/media.html", "<audio src='gone.mp3' autoplay></audio><video src='gone.mp4' "
                                 "width=40></video><iframe srcdoc='<video width=200>'></iframe>");
    QVERIFY(loadMain("/media.html"));
    WAIT_VERIFY(m_main->mediaErrors().errorCodes == QList<int>{4});
    QVERIFY(m_main->mediaErrors().video.present && m_main->mediaErrors().video.errorCode == 0);
    QVERIFY(WebEngineHost::runScriptForText(*m_main, "frames[0].frameElement.remove(); 'ok'"));
    const auto video = [this] { return m_main->mediaErrors().video; };
    WAIT_VERIFY(video().errorCode == 4 && !video().typeUnplayable &&
                m_server->requests("/gone.mp4").size() == 2);
    // A video that ended (a lesson of 20 s played fast) plays again from its beginning.
    m_server->put("/lesson.mp4", readWholeFile(LUMORA_TEST_MEDIA).value_or(""));
    m_server->put("/ended.html",
                  "<video muted autoplay src='lesson.mp4' onended='playbackRate = 1' "
                  "onloadedmetadata='playbackRate = 16'></video>");
    QVERIFY(loadMain("/ended.html"));
    WAIT_VERIFY(video().ended && video().duration > 19);
    QVERIFY(m_main->replayVideo());
    WAIT_VERIFY(!video().ended && !video().paused && video().currentTime > 1 &&
                video().currentTime < 19);
    QVERIFY(loadMain("/plain.html") && !m_main->replayVideo());
    // Which media the engine plays: WebM here, a made-up type nowhere.
    std::map<QString, bool> plays;
    for (const QString type : {"video/webm; codecs=\"vp8\"", "video/x-lumora-nothing"})
        m_host->canPlayType(type, [&plays, type](bool yes) { plays[type] = yes; });
    WAIT_VERIFY(plays.size() == 2);
    QVERIFY(plays.at("video/webm; codecs=\"vp8\"") && !plays.at("video/x-lumora-nothing"));
}

void TestWebEngineBrowser::videosInFramesOfOtherOrigins()
{
    // A second port is another origin: the top document cannot reach into its frames.
    TestServer other;
    const QByteArray utf8 = "<meta charset=utf-8>";
    const QByteArray lesson = readWholeFile(LUMORA_TEST_MEDIA).value_or("");
    other.put("/lesson.mp4", lesson);
    m_server->put("/lesson.mp4", lesson);
    other.put("/ending.html", "<video muted autoplay src='lesson.mp4' width=400 height=300 "
                              "onended='playbackRate = 1' onloadedmetadata='playbackRate = 16'>");
    other.put("/looping.html", "<video muted autoplay loop src='lesson.mp4' width=400 height=300>"
                               "</video><video src='gone.mp4' width=10></video>");
    other.put("/full.html", utf8 + "<p>\n  今日学时已满 </p><p>明天再来</p>");
    const auto frame = [&](const char* path) {
        return "<iframe width=420 height=320 src='" + other.url(path).toEncoded() + "'></iframe>";
    };
    const auto video = [this] { return m_main->mediaErrors().video; };
    // Found, ended and paused, then replayed in its frame; a frame that went away is forgotten.
    m_server->put("/player.html", utf8 + "<h2>第1课</h2>" + frame("/ending.html"));
    QVERIFY(loadMain("/player.html"));
    WAIT_VERIFY(video().ended && video().paused && video().duration > 19);
    QCOMPARE(video().source, other.url("/lesson.mp4").toString());
    QVERIFY(m_main->replayVideo());
    WAIT_VERIFY(!video().ended && !video().paused && video().currentTime > 1);
    const double playing = video().currentTime;
    WAIT_VERIFY(video().currentTime > playing + 1 && video().currentTime < 19);
    QVERIFY(WebEngineHost::runScriptForText(*m_main, "document.querySelector('iframe').remove()"
                                                     "; 'ok'"));
    WAIT_VERIFY(!video().present);
    // The largest video shown across the frames of both origins is the lesson's, and the errors of
    // every frame count; a new document has none of the old one's frames.
    for (const auto& [side, otherWins] : {std::pair{100, true}, {600, false}}) {
        const QByteArray own = "<iframe width=620 height=620 srcdoc=\"<video src='/lesson.mp4' "
                               "width=" +
                               QByteArray::number(side) + " height=" + QByteArray::number(side) +
                               ">\"></iframe>";
        m_server->put("/mixed.html", frame("/looping.html") + own); // both in view
        QVERIFY(loadMain("/mixed.html"));
        // The other origin's report comes at its own pace: waited for with the verdict.
        WAIT_VERIFY(m_main->mediaErrors().errorCodes == QList<int>{4} && video().duration > 19 &&
                    video().paused == !otherWins);
    }
    QVERIFY(loadMain("/plain.html") && m_main->mediaErrors().errorCodes.isEmpty() &&
            !video().present);
    // With no video anywhere, an audio element that plays in a frame is the lesson's rather than
    // the top document's that does not; a frame's embedded document makes a document lesson.
    other.put("/audio.html", "<audio muted autoplay loop src=lesson.mp4></audio>");
    other.put("/pdf.html", "<embed src=notes.pdf width=300 height=200>");
    m_server->put("/outer.html", "<audio src=gone.mp3></audio>" + frame("/audio.html"));
    QVERIFY(loadMain("/outer.html"));
    WAIT_VERIFY(video().audio && video().source == other.url("/lesson.mp4").toString());
    // Both playing: the top document's, reached first, is the lesson's and is played again.
    const QByteArray audio = "<audio muted autoplay src=lesson.mp4></audio>";
    m_server->put("/outer.html", audio + frame("/audio.html"));
    QVERIFY(loadMain("/outer.html"));
    const QString top = m_server->url("/lesson.mp4").toString();
    WAIT_VERIFY(video().source == top && video().currentTime > 3);
    QVERIFY(m_main->replayVideo());
    WAIT_VERIFY(video().source == top && video().currentTime < 2);
    m_server->put("/outer.html", frame("/pdf.html"));
    QVERIFY(loadMain("/outer.html"));
    WAIT_VERIFY(m_main->mediaErrors().documentMedium && !video().present);
    // A page that shows no video says why in its first line, its own or a frame's; cut at 40.
    const QString longLine(50, u'长');
    for (const auto& [body, line] :
         {std::pair{QByteArray("<p>\n  今日学时已满 </p><p>明天再来</p>"), QString("今日学时已满")},
          {"<p>" + longLine.toUtf8() + "</p>", longLine.left(40)},
          {"<div> </div>" + frame("/full.html"), QString("今日学时已满")}}) {
        m_server->put("/message.html", utf8 + body);
        QVERIFY(loadMain("/message.html"));
        WAIT_VERIFY(m_main->mediaErrors().firstLine == line);
        QVERIFY(!video().present);
    }
}

void TestWebEngineBrowser::lessonMediaAnywhere_questionsAnswered()
{
    for (const QString path : {"/lesson.mp4", "/preroll.mp4"})
        m_server->put(path, readWholeFile(LUMORA_TEST_MEDIA).value_or(""));
    m_server->put("/logo.svg", "<svg xmlns='http://www.w3.org/2000/svg'><circle r='9'/></svg>");
    const QByteArray video = "<video muted autoplay loop src=/lesson.mp4></video>";
    m_server->put("/late.html", testPage("late.html"));
    // The page; its medium (none, a video, an audio element), what it plays, whether its time
    // moves, the error codes, and whether the page shows a document (a frame at a document's
    // address counts though its document never came; a picture is none).
    // clang-format off
    enum Medium { None, Video, Audio };
    const std::tuple<QByteArray, Medium, QString, bool, QList<int>, bool> rows[] = {
        {"<div id=host></div><script>host.attachShadow({mode: 'closed'}).innerHTML = '" + video +
         "'</script>", Video, "/lesson.mp4", true, {}, false},
        {"<iframe src=late.html></iframe>", Video, "/lesson.mp4", true, {}, false},
        {"<audio src=gone.mp3></audio><audio muted autoplay loop src=lesson.mp4></audio>", Audio,
         "/lesson.mp4", true, {}, false},
        {"<audio src=gone.mp3></audio><audio src=lesson.mp4></audio>", Audio, "/gone.mp3", false,
         {4}, false},
        {"<embed src=notes.pdf type=application/pdf width=300 height=200>", None, "", false, {},
         true},
        {"<iframe src=http://127.0.0.1:1/slides.pptx></iframe>", None, "", false, {}, true},
        {"<object data=logo.svg width=40 height=40></object><object data=plain.html type=image/svg+xml "
         "width=40 height=40></object>", None, "", false, {}, false},
        {"<embed src=notes.pdf width=300 height=200>" + video, Video, "/lesson.mp4", true, {},
         false},
    };
    // clang-format on
    const auto media = [this] { return m_main->mediaErrors(); };
    for (const auto& [html, medium, source, moves, codes, document] : rows) {
        m_server->put("/medium.html", html);
        QVERIFY(loadMain("/medium.html"));
        const QString address = source.isEmpty() ? QString() : m_server->url(source).toString();
        const auto seen = [&](double after) { // and its time past `after`, when it moves
            return waitUntil([&] {
                const MediaReport r = media();
                return r.video.present == (medium != None) && r.video.audio == (medium == Audio) &&
                       r.video.source == address && r.errorCodes == codes &&
                       r.documentMedium == document && (!moves || r.video.currentTime > after);
            });
        };
        QVERIFY2(seen(0.5) && seen(media().video.currentTime + 0.5), html.constData());
    }
    // A pre-roll, then the lesson in the same element: the report follows its source.
    m_server->put("/medium.html", testPage("preroll.html"));
    QVERIFY(loadMain("/medium.html"));
    WAIT_VERIFY(media().video.source == m_server->url("/preroll.mp4").toString());
    WAIT_VERIFY(media().video.source == m_server->url("/lesson.mp4").toString() &&
                !media().video.paused && media().video.currentTime > 1);

    // A question stops the video (pages/question.html); its answer plays it on. The question sits
    // in the top document, a frame, a closed shadow root, beside the video in a frame of another
    // origin (a second port).
    const QByteArray page = testPage("question.html");
    const PageControl question{"继续学习", "您还在学习吗？ 继续学习"};
    TestServer other;
    other.put("/lesson.mp4", readWholeFile(LUMORA_TEST_MEDIA).value_or(""));
    other.put("/ask.html", QByteArray(page).replace("WHERE", "document.body"));
    m_server->put("/outer.html", "<iframe width=420 height=320 src='" +
                                     other.url("/ask.html").toEncoded() + "'></iframe>");
    for (const QString where : {"document.body", "frames[0].document.body",
                                "document.body.appendChild(document.createElement('div'))"
                                ".attachShadow({mode: 'closed'})",
                                "other origin"}) {
        m_server->put("/ask.html", QByteArray(page).replace("WHERE", where.toUtf8()));
        QVERIFY(loadMain(where == "other origin" ? "/outer.html" : "/ask.html"));
        WAIT_VERIFY(media().video.paused && media().controls.contains(question));
        const double stopped = media().video.currentTime;
        QCOMPARE(m_main->clickControl({"继续学习"}), "继续学习");
        WAIT_VERIFY(!media().video.paused && media().video.currentTime > stopped + 0.5 &&
                    !media().controls.contains(question));
    }
}

void TestWebEngineBrowser::recoveries()
{
    // A document without the page-side functions gets them with the next call.
    QVERIFY(loadMain("/plain.html"));
    QVERIFY(WebEngineHost::runScriptForText(*m_main, "delete lumora; typeof lumora") ==
            "undefined");
    QCOMPARE(found(*m_main, "p"), QList<int>({0, 1, 2}));

    // A page that hangs gives no answer, after the timeout; navigating away ends its renderer.
    m_server->put("/hang.html", "<p>hang</p><script>setTimeout(() => { for (;;); }, 200)</script>");
    QVERIFY(loadMain("/hang.html"));
    const qint64 hung = WebEngineHost::rendererProcessId(*m_main);
    m_ended.clear();
    QElapsedTimer clock;
    QVERIFY(waitUntil([&] {
        clock.start();
        return m_main->walk(walk("p", {collect()})).status == PageStatus::NoAnswer;
    }));
    QVERIFY(clock.elapsed() >= kScriptTimeoutMs && m_ended.isEmpty() && loadMain("/plain.html"));
    QCOMPARE(m_ended, QList<qint64>{hung});
}

void TestWebEngineBrowser::rendererCrashes()
{
#ifdef Q_OS_WIN
    QSKIP("crashes renderers with POSIX signals");
#else
    // A call pending when the renderer dies fails as PageGone at once; the load counts as
    // RendererGone until the view has reloaded by itself.
    m_server->put("/spin.html", "<button onclick='for (;;);'>spin</button>");
    QVERIFY(loadMain("/spin.html"));
    const qint64 pid = WebEngineHost::rendererProcessId(*m_main);
    QTimer::singleShot(300, this, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_main->walk(walk("button", {click(text("spin"))})).status, PageStatus::PageGone);
    QVERIFY(clock.elapsed() < kScriptTimeoutMs);
    QCOMPARE(m_main->lastLoad().outcome, LoadOutcome::RendererGone);
    WAIT_VERIFY(m_main->lastLoad().outcome == LoadOutcome::Succeeded);
    QCOMPARE(found(*m_main, "button"), QList<int>{0});

    // A page whose renderer dies before each load ends is reloaded three times, not a fourth.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    m_server->put("/doomed.html", "<iframe src='http://127.0.0.1:" +
                                      QByteArray::number(silent.serverPort()) + "/'></iframe>");
    m_main->navigate(m_server->url("/doomed.html"));
    qint64 killed = 0;
    for (qsizetype served = 1; served <= 4; ++served) {
        WAIT_VERIFY(m_server->requests("/doomed.html").size() == served &&
                    m_main->url() == m_server->url("/doomed.html") &&
                    WebEngineHost::rendererProcessId(*m_main) > 0 &&
                    WebEngineHost::rendererProcessId(*m_main) != killed);
        killed = WebEngineHost::rendererProcessId(*m_main);
        ::kill(static_cast<pid_t>(killed), SIGKILL);
    }
    WAIT_VERIFY(m_main->lastLoad().outcome == LoadOutcome::RendererGone &&
                WebEngineHost::rendererProcessId(*m_main) != killed);
    QVERIFY(load(*m_second, m_server->url("/plain.html"))); // time for a reload that never comes
    QVERIFY(m_server->requests("/doomed.html").size() == 4 && loadMain("/plain.html"));
#endif
}

void TestWebEngineBrowser::profileFolders()
{
    const QString local = m_storage.filePath("local"), roaming = m_storage.filePath("roaming");
    const QString cookies = QStringLiteral("/browser/gen-1/Cookies");
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QFile::WriteOnly) && file.write(bytes) == bytes.size();
    };
    // The run record in a folder: its file and the previous one ("-": none).
    const auto runRecord = [](const QString& folder) {
        return QList<QByteArray>{readWholeFile(StudyLog::pathIn(folder)).value_or("-"),
                                 readWholeFile(StudyLog::previousPathIn(folder)).value_or("-")};
    };
    QVERIFY(QDir(roaming).mkpath("browser/gen-1") && write(roaming + cookies, "") &&
            write(StudyLog::pathIn(roaming), "new") &&
            write(StudyLog::previousPathIn(roaming), "old"));
    // Found only in the old folder: moved, once, the run record with it; a profile or a record in
    // the new one is never replaced.
    QCOMPARE(settleProfileFolder({local, roaming}), local);
    QVERIFY(QFile::exists(local + cookies) && !QFile::exists(roaming + cookies));
    QCOMPARE(runRecord(local), QList<QByteArray>({"new", "old"}));
    QCOMPARE(runRecord(roaming), QList<QByteArray>({"-", "-"}));
    QVERIFY(QDir(roaming).mkpath("browser") && write(StudyLog::previousPathIn(roaming), "stale"));
    QVERIFY(settleProfileFolder({local, roaming}) == local && QFile::exists(local + cookies));
    QCOMPARE(runRecord(local), QList<QByteArray>({"new", "old"}));
    QCOMPARE(settleProfileFolder({roaming, roaming}), roaming); // one folder for both (Linux)
    // A new folder that cannot be made (a file stands in its way): both stay where they are.
    QVERIFY(write(m_storage.filePath("file"), ""));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not move the run record"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not move the browser profile"));
    QCOMPARE(settleProfileFolder({m_storage.filePath("file/local"), roaming}), roaming);
    QCOMPARE(runRecord(roaming), QList<QByteArray>({"-", "stale"}));

    // A host keeps the profile generation on record and removes the others as it starts.
    const QString root = m_storage.filePath("generations");
    QVERIFY(QDir(root).mkpath("gen-1") && QDir(root).mkpath("gen-2/kept") &&
            write(root + "/generation", "2"));
    QString profile;
    {
        WebEngineHost host(root, kScriptTimeoutMs);
        profile = host.profilePath();
        // Before any page has loaded, a cache clear takes the cache away at once; its files go
        // in the background, with those an earlier run set aside and did not finish deleting.
        QVERIFY(QDir().mkpath(profile + "/cache/old") && QDir().mkpath(profile + "/cache.old-1/x"));
        host.clearCache();
        QVERIFY(!QFile::exists(profile + "/cache"));
        host.start();
    }
    QCOMPARE(QDir(profile).entryList({"cache*"}, QDir::Dirs | QDir::NoDotAndDotDot), {});
    QVERIFY(!QDir(root + "/gen-1").exists() && QDir(root + "/gen-2/kept").exists());
}

QTEST_MAIN(TestWebEngineBrowser)
#include "tst_webengine_browser.moc"
