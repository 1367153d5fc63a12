#pragma once

// Waiting in integration tests for a condition, with the event loop running.

#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace lumora::testing {

inline constexpr int kEngineTimeoutMs = 30000;

// Runs the event loop until `condition` holds or the time is up; the condition's last value.
// Never sleeps: the engine runs its own tasks on this thread, and QTest::qWait()'s naps
// between rounds slow every page load down from milliseconds to seconds.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = kEngineTimeoutMs)
{
    bool holds = condition();
    if (holds)
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    // A condition that waits for a page runs the event loop itself; the poll must not run it
    // again inside (the inner answer could end the wait while the outer one says otherwise).
    bool evaluating = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (evaluating)
            return;
        evaluating = true;
        holds = condition();
        evaluating = false;
        if (holds)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return holds;
}

} // namespace lumora::testing

#define WAIT_VERIFY(condition)                                                                     \
    QVERIFY2(::lumora::testing::waitUntil([&] { return static_cast<bool>(condition); }),           \
             "timed out waiting for: " #condition)
