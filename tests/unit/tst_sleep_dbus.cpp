// Staying awake on Linux: what the sleep blockers ask of the desktop's screen saver, on a message
// bus of the test's own that stands for both the system's and the session's.

#include "platform/system_sleep_inhibitor.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTest>

using namespace lumora;

class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;
public slots:
    uint Inhibit(const QString& who, const QString& why) { return calls << who + ' ' + why, 7; }
    void UnInhibit(uint cookie) { calls << QString::number(cookie); }
};

class SleepDbusTest : public QObject
{
    Q_OBJECT
private slots:
    void blockers_askTheScreenSaver_failuresGiveAReason();
};

void SleepDbusTest::blockers_askTheScreenSaver_failuresGiveAReason()
{
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    QVERIFY2(bus.waitForReadyRead(10000), "dbus-daemon did not start");
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    const auto blockers = platform::systemSleepBlockers();
    QString reason;
    FakeScreenSaver saver;
    QDBusConnection session = QDBusConnection::sessionBus();
    QVERIFY(session.registerService("org.freedesktop.ScreenSaver") &&
            session.registerObject("/org/freedesktop/ScreenSaver", &saver,
                                   QDBusConnection::ExportAllSlots));
    // logind is not on this bus; the next one is.
    QVERIFY(!blockers[0]->block("学习中", reason) && blockers[1]->block("学习中", reason));
    blockers[1]->unblock();
    QTRY_COMPARE(saver.calls, (QStringList{"Lumora 学习中", "7"}));
    bus.kill();
    bus.waitForFinished();
    QTRY_VERIFY(!session.isConnected());
    for (const auto& blocker : blockers) // the bus went away
        QVERIFY(!blocker->block("run", reason) && !std::exchange(reason, {}).isEmpty());
}

QTEST_GUILESS_MAIN(SleepDbusTest)
#include "tst_sleep_dbus.moc"
