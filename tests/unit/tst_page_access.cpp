// The event gate and the lists' selection semantics. What a walk itself does is the walk
// contract's, which tst_webengine_browser runs on FakeBrowser and on the real engine alike; the
// page-access layer's failures (no frame, no element) are met through the catalogue's handlers in
// tst_catalogue.

#include "fake_platform.h"
#include "page/page_access.h"
#include "platform/event_gate.h"
#include "platform/list_box.h"

#include <QListWidget>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::EventGate;

class PageAccessTest : public QObject
{
    Q_OBJECT
private slots:
    void gate_holdsEventsInOrder_coalescesTicks_containsFailures();
    void gate_oneSecondWaitLetsEventsRun();
    void lists_codeSelectionRunsClickToItsEnd_userSelectionWaitsAtTheGate();
};

void PageAccessTest::gate_holdsEventsInOrder_coalescesTicks_containsFailures()
{
    EventGate gate;
    QStringList order;
    // A page that is not there ends its handler quietly; any other failure is logged.
    static QStringList criticals;
    const QtMessageHandler testLog =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg)
                criticals << text;
        });
    gate.dispatch([&] {
        order << "walk starts";
        gate.dispatch([&] { order << "tick"; }, EventGate::Kind::TimerTick);
        gate.dispatch([] { throw page::NotThere("gone"); });
        // One tick waits at most.
        gate.dispatch([&] { order << "second tick"; }, EventGate::Kind::TimerTick);
        gate.dispatch([] { throw std::runtime_error("a fault"); });
        gate.dispatch([&] { order << "button"; });
        order << "walk ends";
    });
    gate.dispatch([&] { order << "next tick"; }, EventGate::Kind::TimerTick);
    qInstallMessageHandler(testLog);
    QCOMPARE(order, (QStringList{"walk starts", "walk ends", "tick", "button", "next tick"}));
    QCOMPARE(criticals, QStringList{"handler failed: a fault"});
}

void PageAccessTest::gate_oneSecondWaitLetsEventsRun()
{
    FakeClock clock;
    EventGate gate;
    QStringList order;
    clock.duringWait = [&] {
        gate.dispatch([&] {
            order << "during wait";
            gate.dispatch([&] { order << "nested"; }); // it is not interrupted
            order << "during wait ends";
        });
    };
    gate.dispatch([&] {
        gate.dispatch([&] { order << "held"; });
        gate.wait(clock, std::chrono::seconds(1), [] { return false; }); // the clock starts at 1 s
        order << QString("at %1 ms").arg(clock.now().count());
        gate.dispatch([&] { order << "late"; });
    });
    QCOMPARE(order, (QStringList{"held", "during wait", "during wait ends", "nested", "at 2000 ms",
                                 "late"}));
}

void PageAccessTest::lists_codeSelectionRunsClickToItsEnd_userSelectionWaitsAtTheGate()
{
    EventGate gate;
    QListWidget widget;
    platform::ListBox list(&widget, gate);
    QStringList log;
    QObject::connect(&list, &platform::ListBox::clicked,
                     [&] { log << QString("click %1").arg(list.listIndex()); });
    for (const QString t : {"2", "5", "8", "5"})
        list.addItem(t);
    list.select(2);
    log << "after select";
    list.selectByText("5"); // the first entry with that text
    list.select(1);         // selecting the selected entry runs the click again
    list.selectByText("13");
    list.selectByText(list.text(9)); // past the end: the empty text selects nothing
    list.select(4);
    QCOMPARE(log, (QStringList{"click 2", "after select", "click 1", "click 1"}));
    QCOMPARE(list.listIndex(), 1);

    log.clear();
    gate.dispatch([&] {
        widget.setCurrentRow(3); // as the user's click does, while a handler runs
        log << "handler ends";
    });
    QCOMPARE(log, (QStringList{"handler ends", "click 3"}));
    list.clear();
    QCOMPARE(list.listIndex(), -1);
    QCOMPARE(log.size(), 2); // clearing runs no click
}

QTEST_MAIN(PageAccessTest)
#include "tst_page_access.moc"
