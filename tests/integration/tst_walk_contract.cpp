// One table of walks, run on FakeBrowser and on the Qt WebEngine backend: both must come out
// with the same status, length, positions and clicks. Then the codec between the two halves
// of a walk: script calls built from any text, and the page's answer read back.

#include "event_wait.h"
#include "fake_browser.h"
#include "headless_engine.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/walk_codec.h"
#include "platform/webengine/webengine_host.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumora::platform;
using namespace lumora::platform::webengine;
using lumora::testing::FakeBrowser;
using lumora::testing::FakeDocument;
using lumora::testing::FakeElement;

namespace {

// The page both backends show: html, head and body (0-2), then these, then an iframe (11) whose
// document holds the links "stay" and "leave". A click on "grow" puts a new link first in the
// body, one on "shrink" removes the last link, one on "leave" removes the iframe.
const FakeElement kElements[] = {
    {"a", "", "", "", "grow", "document.body.prepend(document.createElement('a'))", {}, {}},
    {"a", "Next", "", "", "Next Page", "openLesson('L-17')", {}, {}},
    {"a", "next", "", "", "next", "openLesson('L-170')", {}, {}},
    {"a", "", "", "", "shrink", "document.querySelector('a:last-of-type').remove()", {}, {}},
    {"a", "prev", "", "", "Previous", "", {}, {}},
    {"input", "user", "text", "typed", "", "", {}, {}},
    {"input", "go", "IMAGE", "", "", "", {}, {}},
    {"input", "plain", "", "", "", "", {}, {}},
};

QByteArray pageHtml()
{
    QString body;
    for (const FakeElement& e : kElements) {
        QString attributes;
        const std::pair<const char*, QString> named[] = {
            {"name", e.name}, {"type", e.type}, {"value", e.value}, {"onclick", e.onclick}};
        for (const auto& [attribute, text] : named) {
            if (!text.isEmpty())
                attributes += QStringLiteral(" %1=\"%2\"").arg(attribute, text);
        }
        body += QStringLiteral("<%1%2>%3</%1>").arg(e.tag, attributes, e.innerText);
    }
    return ("<html><head></head><body>" + body +
            "<iframe srcdoc=\"<a>stay</a><a onclick='frameElement.remove()'>leave</a>\">"
            "</iframe></body></html>")
        .toUtf8();
}

std::shared_ptr<FakeDocument> fakePage()
{
    auto top = std::make_shared<FakeDocument>();
    for (const char* tag : {"html", "head", "body"})
        top->add({tag, {}, {}, {}, {}, {}, {}, {}});
    for (FakeElement e : kElements) {
        if (e.innerText == "grow")
            e.onClick = [](FakeDocument& d) {
                d.elements().insert(3, {"a", {}, {}, {}, {}, {}, {}, {}});
            };
        if (e.innerText == "shrink")
            e.onClick = [](FakeDocument& d) { d.elements().removeAt(7); }; // the last link
        top->add(e);
    }
    top->add({"iframe", {}, {}, {}, {}, {}, {}, {}});
    auto frame = std::make_shared<FakeDocument>();
    frame->link("stay");
    const std::weak_ptr<FakeDocument> parent = top;
    frame->link("leave").onClick = [parent](FakeDocument&) {
        if (const auto page = parent.lock()) {
            page->frames().clear();
            page->elements().resize(page->elements().size() - 1);
        }
    };
    top->frames().append(frame);
    return top;
}

ElementTest is(Field field, Compare compare, const QString& text)
{
    return {field, compare, text};
}

ElementTest text(const QString& text)
{
    return is(Field::InnerText, Compare::Exact, text);
}

WalkRule collect(std::vector<ElementTest> when = {})
{
    return {std::move(when), Action::Collect, {}};
}

WalkRule click(ElementTest when)
{
    return {{std::move(when)}, Action::Click, {}};
}

WalkRequest walk(const QString& tag, std::vector<WalkRule> rules, FramePath frames = {},
                 int onlyIndex = -1)
{
    return {std::move(frames), tag, {}, std::move(rules), onlyIndex};
}

struct Step
{
    WalkRequest request;
    PageStatus status;
    int length;
    QList<int> positions;
    int clicks;
};

QByteArray describe(const WalkResult& r)
{
    QString text;
    QDebug(&text) << int(r.status) << r.error << r.length << r.positions << r.clicks;
    return text.toUtf8();
}

const QString kText = QStringLiteral("新值 \"quoted\" </script> \\ end");
const PageStatus Ok = PageStatus::Ok;
const PageStatus Missing = PageStatus::Missing;

// Each case starts on a fresh page; its steps run one after the other.
// clang-format off
const std::pair<const char*, std::vector<Step>> kCases[] = {
    {"exact", {{walk("input", {collect({is(Field::Type, Compare::Exact, "IMAGE")})}),
                Ok, 3, {1}, 0}}},
    {"exact, no attribute", {{walk("input", {collect({is(Field::Type, Compare::Exact, "")})}),
                              Ok, 3, {2}, 0}}},
    {"lower-cased", {{walk("a", {collect({is(Field::Name, Compare::LowerCase, "NEXT")})}),
                      Ok, 5, {1, 2}, 0}}},
    {"contains", {{walk("a", {collect({is(Field::OnClick, Compare::Contains, "'L-17'")})}),
                   Ok, 5, {1}, 0}}},
    {"contains, empty text never", {{walk("a", {collect({is(Field::OnClick, Compare::Contains,
                                                            "")})}), Ok, 5, {0, 1, 2, 3}, 0}}},
    // The filter passes elements over; the rules are tried in order, each on its own.
    {"filter, rules in order", {{{{}, "", {is(Field::TagName, Compare::Exact, "A")},
                                  {collect({is(Field::Name, Compare::Exact, "next")}), collect()},
                                  -1}, Ok, 12, {3, 4, 5, 5, 6, 7}, 0}}},
    {"set value", {{walk("input", {{{is(Field::Name, Compare::Exact, "plain")}, Action::SetValue,
                                    kText}, collect({is(Field::Value, Compare::Exact, kText)})}),
                    Ok, 3, {2}, 0}}},
    {"click", {{walk("a", {click(is(Field::Name, Compare::Exact, "prev"))}), Ok, 5, {}, 1}}},
    {"only index", {{walk("a", {collect()}, {}, 4), Ok, 5, {4}, 0},
                    {walk("a", {collect()}, {}, 5), Missing, 5, {}, 0}}},
    // The clicked element stays the step's element when a new one goes in before it.
    {"click that grows the collection", {{walk("a", {click(text("grow")), collect({text("grow")})}),
                                          Ok, 5, {0, 1, 2, 3, 4}, 5},
                                         {walk("a", {}), Ok, 10, {}, 0}}},
    {"click that shrinks it", {{walk("a", {collect(), click(text("shrink"))}),
                                Missing, 5, {0, 1, 2, 3}, 1}}},
    {"frame", {{walk("a", {collect()}, {0}), Ok, 2, {0, 1}, 0}}},
    {"missing frame", {{walk("a", {collect()}, {1}), Missing, 0, {}, 0},
                       {walk("a", {collect()}, {0, 0}), Missing, 0, {}, 0}}},
    // The walk finishes on the document it holds; the next one finds no frame.
    {"the frame goes away", {{walk("a", {collect(), click(text("leave"))}, {0}), Ok, 2, {0, 1}, 1},
                             {walk("a", {}, {0}), Missing, 0, {}, 0}}},
};
// clang-format on

} // namespace

class TestWalkContract : public QObject
{
    Q_OBJECT

private slots:
    void sameWalksOnBothBackends_data();
    void sameWalksOnBothBackends();
    void scriptCallsAreEscaped();
    void pageAnswersAreDecoded();

private:
    QTemporaryDir m_dir;
};

void TestWalkContract::sameWalksOnBothBackends_data()
{
    QTest::addColumn<bool>("engine");
    QTest::newRow("FakeBrowser") << false;
    QTest::newRow("WebEngine") << true;
}

void TestWalkContract::sameWalksOnBothBackends()
{
    QFETCH(bool, engine);
    QVERIFY(m_dir.isValid());
    const QString file = m_dir.filePath(QStringLiteral("contract.html"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(pageHtml()) > 0);
    out.close();

    WebEngineHost host(m_dir.filePath(QStringLiteral("profile")));
    QWidget window;
    std::unique_ptr<BrowserControl> real = host.createBrowser(&window);
    window.show();
    FakeBrowser fake;
    BrowserControl& browser = engine ? *real : static_cast<BrowserControl&>(fake);
    for (const auto& [name, steps] : kCases) {
        if (engine) {
            real->navigate(QUrl::fromLocalFile(file));
            QVERIFY(lumora::testing::waitUntil([&] {
                return real->readyState() == ReadyState::Complete && real->resolve({0}).ok();
            }));
        } else {
            fake.setDocument(fakePage());
        }
        for (const Step& step : steps) {
            const WalkResult r = browser.walk(step.request);
            QVERIFY2(r.status == step.status && r.length == step.length &&
                         r.positions == step.positions && r.clicks == step.clicks,
                     (name + QByteArrayLiteral(": ") + describe(r)).constData());
        }
    }
}

void TestWalkContract::scriptCallsAreEscaped()
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

void TestWalkContract::pageAnswersAreDecoded()
{
    const struct
    {
        const char* answer;
        bool scriptMissing;
        PageStatus status;
        const char* error;
        QList<int> positions;
        int clicks;
    } rows[] = {
        {R"({"ok":true,"error":"","length":4,"positions":[1,3],"clicks":2})",
         false,
         Ok,
         "",
         {1, 3},
         2},
        // A failure keeps what the walk did before it.
        {R"({"ok":false,"error":"no element at 2","length":4,"positions":[0],"clicks":1})",
         false,
         Missing,
         "no element at 2",
         {0},
         1},
        {R"({"ok":false})", false, Missing, "without a reason", {}, 0},
        {R"({"noscript":true})", true, Missing, "page scripts missing", {}, 0},
        {R"({"ok":"yes","positions":[1]})", false, Missing, "unreadable", {}, 0},
        {"[]", false, Missing, "unreadable", {}, 0},
        {"undefined", false, Missing, "unreadable", {}, 0},
    };
    for (const auto& row : rows) {
        const DecodedAnswer decoded = decodeWalkAnswer(QString::fromUtf8(row.answer));
        const WalkResult& r = decoded.result;
        QVERIFY2(decoded.scriptMissing == row.scriptMissing && r.status == row.status &&
                     r.error.contains(QLatin1String(row.error)) && r.positions == row.positions &&
                     r.clicks == row.clicks,
                 row.answer);
    }
}

int main(int argc, char** argv)
{
    lumora::testing::prepareHeadlessEngine();
    QApplication app(argc, argv);
    TestWalkContract test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_walk_contract.moc"
