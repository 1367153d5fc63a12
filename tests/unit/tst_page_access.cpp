// The page-access layer on the fake engine, the fake itself, the event gate and the lists'
// selection semantics.

#include "fake_browser.h"
#include "page/page_access.h"
#include "shell/event_gate.h"
#include "shell/list_box.h"

#include <QListWidget>
#include <QProcess>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using page::Field;

namespace {

std::shared_ptr<FakeDocument> linksPage(const QStringList& texts)
{
    auto doc = std::make_shared<FakeDocument>();
    for (const QString& t : texts)
        doc->link(t);
    return doc;
}

QList<int> matches(page::PageAccess& page, const platform::FramePath& frames, const QString& text)
{
    QList<int> found;
    page.forEachMatch(frames, "a", page::containing(Field::InnerText, text),
                      [&found](int p) { found.append(p); });
    return found;
}

} // namespace

class PageAccessTest : public QObject
{
    Q_OBJECT
private slots:
    void walk_emptyCollection_doesNothing();
    void walk_twoMatches_bothInOrder();
    void walk_testKinds_data();
    void walk_testKinds();
    void walk_clickAddingElements_laterStepsSeeThem();
    void walk_clickRemovingElements_failsWithPartialResult();
    void frames_missingOrEmpty_failLikeMissingElements_data();
    void frames_missingOrEmpty_failLikeMissingElements();
    void clickAt_pastTheEnd_isNotThere();
    void policies_guardedStopsUnguardedEndsAtTheGate();
    void gate_holdsEventsUntilTheHandlerReturns();
    void gate_coalescesTicks_andContainsFailures();
    void gate_waitRunsHeldAndNewEvents();
    void list_selectionFromCode_runsClickToItsEnd();
    void list_userSelection_entersThroughTheGate();
    void fake_unsetReadyState_failsLoudly();
};

void PageAccessTest::walk_emptyCollection_doesNothing()
{
    FakeBrowser browser;
    browser.setDocument(std::make_shared<FakeDocument>());
    page::PageAccess page(browser);
    QVERIFY(matches(page, page::kTopDocument, "x").isEmpty());
    QCOMPARE(page.clickEachMatch(page::kTopDocument, "input", page::exactly(Field::Value, "x")), 0);
}

void PageAccessTest::walk_twoMatches_bothInOrder()
{
    FakeBrowser browser;
    auto doc = linksPage({"一", "学习课程A", "二", "学习课程B"});
    doc->elements()[1].id = "first";
    doc->elements()[3].id = "second";
    browser.setDocument(doc);
    page::PageAccess page(browser);
    QCOMPARE(matches(page, page::kTopDocument, "学习课程"), (QList<int>{1, 3}));
    QCOMPARE(page.clickEachMatch(page::kTopDocument, "a",
                                 page::containing(Field::InnerText, "学习课程")),
             2);
    QCOMPARE(browser.clickLog, (QStringList{"first", "second"}));
}

void PageAccessTest::walk_testKinds_data()
{
    QTest::addColumn<int>("compare");
    QTest::addColumn<QString>("constant");
    QTest::addColumn<QList<int>>("positions");
    // Values: "Password", "password", "PASSWORD ", "", "pass"
    QTest::newRow("exact") << int(platform::Compare::Exact) << "Password" << QList<int>{0};
    QTest::newRow("lower-cased") << int(platform::Compare::LowerCase) << "PassWord"
                                 << QList<int>{0, 1};
    QTest::newRow("containment, case-sensitive")
        << int(platform::Compare::Contains) << "ass" << QList<int>{0, 1, 4};
    QTest::newRow("empty text never contains")
        << int(platform::Compare::Contains) << "" << QList<int>{0, 1, 2, 4};
}

void PageAccessTest::walk_testKinds()
{
    QFETCH(int, compare);
    QFETCH(QString, constant);
    QFETCH(QList<int>, positions);
    FakeBrowser browser;
    auto doc = std::make_shared<FakeDocument>();
    for (const QString name : {"Password", "password", "PASSWORD ", "", "pass"})
        doc->input(name);
    browser.setDocument(doc);
    platform::WalkRequest request;
    request.tag = "input";
    request.rules = {
        {{{Field::Name, platform::Compare(compare), constant}}, platform::Action::Collect, {}}};
    QCOMPARE(page::PageAccess(browser).walk(request).positions, positions);
}

void PageAccessTest::walk_clickAddingElements_laterStepsSeeThem()
{
    FakeBrowser browser;
    auto doc = linksPage({"学习课程 adds", "plain"});
    doc->elements()[0].onClick = [](FakeDocument& d) {
        // Inserted after the clicked link: position 1 is now a matching link.
        FakeElement added;
        added.tag = "a";
        added.innerText = "学习课程 added";
        d.elements().insert(1, added);
    };
    browser.setDocument(doc);
    page::PageAccess page(browser);
    platform::WalkRequest request;
    request.tag = "a";
    request.rules = {
        {{page::containing(Field::InnerText, "学习课程")}, platform::Action::Click, {}},
        {{page::containing(Field::InnerText, "学习课程")}, platform::Action::Collect, {}}};
    const platform::WalkResult result = page.walk(request);
    // The bound stays at the two links read at the start; the inserted link is seen at step 1.
    QCOMPARE(result.length, 2);
    QCOMPARE(result.positions, (QList<int>{0, 1}));
    QCOMPARE(result.clicks, 2);
}

void PageAccessTest::walk_clickRemovingElements_failsWithPartialResult()
{
    FakeBrowser browser;
    auto doc = linksPage({"学习课程 removes the rest", "学习课程", "学习课程"});
    doc->elements()[0].onClick = [](FakeDocument& d) { d.elements().resize(1); };
    browser.setDocument(doc);
    page::PageAccess page(browser);
    platform::WalkRequest request;
    request.tag = "a";
    request.rules = {
        {{page::containing(Field::InnerText, "学习课程")}, platform::Action::Collect, {}},
        {{page::containing(Field::InnerText, "学习课程")}, platform::Action::Click, {}}};
    const platform::WalkResult result = browser.walk(request);
    QCOMPARE(result.status, platform::PageStatus::Missing);
    QCOMPARE(result.positions, QList<int>{0});
    QCOMPARE(result.clicks, 1);
}

void PageAccessTest::frames_missingOrEmpty_failLikeMissingElements_data()
{
    QTest::addColumn<int>("frameCount");
    QTest::addColumn<bool>("courseHasLessonFrame");
    QTest::addColumn<bool>("courseReachable");
    QTest::addColumn<bool>("lessonReachable");
    QTest::newRow("three frames") << 3 << true << false << false;
    QTest::newRow("course frame without frames") << 4 << false << true << false;
    QTest::newRow("both") << 4 << true << true << true;
}

void PageAccessTest::frames_missingOrEmpty_failLikeMissingElements()
{
    QFETCH(int, frameCount);
    QFETCH(bool, courseHasLessonFrame);
    QFETCH(bool, courseReachable);
    QFETCH(bool, lessonReachable);
    auto course = linksPage({"学习课程"});
    if (courseHasLessonFrame)
        course->frames().append(linksPage({"lesson"}));
    FakeBrowser browser;
    browser.setDocument(framedPage(course, frameCount));
    page::PageAccess page(browser);
    QCOMPARE(page::guarded([&] { page.requireDocument(page::kCourseFrame); }), courseReachable);
    QCOMPARE(page::guarded([&] { page.requireDocument(page::kLessonFrame); }), lessonReachable);
    QCOMPARE(page::guarded([&] { matches(page, page::kCourseFrame, "学习课程"); }),
             courseReachable);
    // A frame without a document fails the same way.
    browser.document()->frames()[0] = nullptr;
    QVERIFY(!page::guarded([&] { page.requireDocument({0}); }));
    // And so does a control without any document.
    browser.setNoDocument();
    QVERIFY(!page::guarded([&] { page.requireDocument(page::kTopDocument); }));
}

void PageAccessTest::clickAt_pastTheEnd_isNotThere()
{
    FakeBrowser browser;
    browser.setDocument(linksPage({"a", "b"}));
    page::PageAccess page(browser);
    QVERIFY(page::guarded([&] { page.clickAt(page::kTopDocument, "a", 1); }));
    QVERIFY(!page::guarded([&] { page.clickAt(page::kTopDocument, "a", 2); }));
    QVERIFY(!page::guarded([&] { page.clickAt(page::kTopDocument, "a", -1); }));
    QCOMPARE(browser.clickLog, QStringList{"a#1@[]"});
}

void PageAccessTest::policies_guardedStopsUnguardedEndsAtTheGate()
{
    QStringList done;
    const auto fail = [] { throw page::NotThere("missing"); };
    page::guarded([&] {
        done << "g1";
        fail();
        done << "g2";
    });
    QCOMPARE(done, (QStringList{"g1"}));

    // Unguarded: the failure ends the handler at the gate; the next event still runs.
    shell::EventGate gate;
    gate.dispatch([&] {
        done << "u1";
        fail();
        done << "u2";
    });
    gate.dispatch([&] { done << "next"; });
    QCOMPARE(done.mid(1), (QStringList{"u1", "next"}));
    QVERIFY(!gate.handlerRunning());
}

void PageAccessTest::gate_holdsEventsUntilTheHandlerReturns()
{
    shell::EventGate gate;
    QStringList order;
    gate.dispatch([&] {
        order << "walk starts";
        gate.dispatch([&] { order << "document complete"; });
        gate.dispatch([&] { order << "button"; });
        QCOMPARE(gate.heldCount(), std::size_t(2));
        order << "walk ends";
    });
    QCOMPARE(order, (QStringList{"walk starts", "walk ends", "document complete", "button"}));
}

void PageAccessTest::gate_coalescesTicks_andContainsFailures()
{
    shell::EventGate gate;
    int ticks = 0;
    gate.dispatch([&] {
        for (int i = 0; i < 5; ++i)
            gate.dispatch([&] { ++ticks; }, shell::EventGate::Kind::TimerTick);
        gate.dispatch([] { throw std::runtime_error("a handler failed"); });
    });
    QCOMPARE(ticks, 1);
    QCOMPARE(gate.heldCount(), std::size_t(0));
}

void PageAccessTest::gate_waitRunsHeldAndNewEvents()
{
    shell::EventGate gate;
    QStringList order;
    gate.dispatch([&] {
        gate.dispatch([&] { order << "held"; });
        order << "before wait";
        gate.waitWithEventsOpen([&] {
            gate.dispatch([&] {
                order << "during wait";
                // A handler running inside the wait is itself not interrupted.
                gate.dispatch([&] { order << "nested"; });
                order << "during wait ends";
            });
        });
        order << "after wait";
        gate.dispatch([&] { order << "late"; });
    });
    QCOMPARE(order, (QStringList{"before wait", "held", "during wait", "during wait ends", "nested",
                                 "after wait", "late"}));
}

void PageAccessTest::list_selectionFromCode_runsClickToItsEnd()
{
    shell::EventGate gate;
    QListWidget widget;
    shell::ListBox list(&widget, gate);
    QStringList log;
    QObject::connect(&list, &shell::ListBox::clicked,
                     [&] { log << QString("click %1").arg(list.listIndex()); });
    for (const QString t : {"2", "5", "8", "5"})
        list.addItem(t);
    QCOMPARE(list.listIndex(), -1);

    list.select(2);
    log << "after select";
    list.selectByText("5"); // the first entry with that text
    list.select(1);         // selecting the selected entry runs the click again
    list.selectByText("13");
    list.selectByText(list.text(9)); // past the end: empty text selects nothing
    list.select(4);
    QCOMPARE(log, (QStringList{"click 2", "after select", "click 1", "click 1"}));
    QCOMPARE(list.listIndex(), 1);

    list.clear();
    QCOMPARE(list.listIndex(), -1);
    QCOMPARE(list.text(0), QString());
    QVERIFY(!list.setText(0, "x"));
    QCOMPARE(log.size(), 4); // clearing runs no click
}

void PageAccessTest::list_userSelection_entersThroughTheGate()
{
    shell::EventGate gate;
    QListWidget widget;
    shell::ListBox list(&widget, gate);
    QStringList log;
    QObject::connect(&list, &shell::ListBox::clicked,
                     [&] { log << QString("user picked %1").arg(list.listIndex()); });
    list.addItem("a");
    list.addItem("b");
    gate.dispatch([&] {
        widget.setCurrentRow(1); // as the user's click does, while a handler runs
        log << "handler ends";
    });
    QCOMPARE(log, (QStringList{"handler ends", "user picked 1"}));
}

void PageAccessTest::fake_unsetReadyState_failsLoudly()
{
    if (qEnvironmentVariableIsSet("LUMORA_FAKE_MISUSE")) {
        FakeBrowser browser;
        (void)browser.readyState();
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LUMORA_FAKE_MISUSE", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"fake_unsetReadyState_failsLoudly"});
    QVERIFY(child.waitForFinished(30000));
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    const QByteArray output = child.readAllStandardError() + child.readAllStandardOutput();
    QVERIFY2(output.contains("never set the ready state"), output.constData());
}

QTEST_MAIN(PageAccessTest)
#include "tst_page_access.moc"
