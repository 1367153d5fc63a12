// The event gate: the one door for outside events. What a walk itself does is the walk contract's,
// which tst_webengine_browser runs on FakeBrowser and on the real engine alike; the page-access
// layer's failures (no frame, no element) are met through the catalogue in tst_catalogue.

#include "fake_platform.h"
#include "page/page_access.h"
#include "platform/event_gate.h"

#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::EventGate;

class EventGateTest : public QObject
{
    Q_OBJECT
private slots:
    void gate_holdsEventsInOrder_coalescesTicks_containsFailures_waitLetsEventsRun();
};

void EventGateTest::gate_holdsEventsInOrder_coalescesTicks_containsFailures_waitLetsEventsRun()
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
    order.clear();
    FakeClock clock;
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

QTEST_MAIN(EventGateTest)
#include "tst_event_gate.moc"
