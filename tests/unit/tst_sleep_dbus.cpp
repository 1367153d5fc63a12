// Staying awake on Linux: what the sleep blockers ask of logind and of the desktop's screen saver,
// on a message bus of the test's own that stands for both the system's and the session's.

#include "platform/system_sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

using namespace lumora;

class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList calls;
    QTemporaryFile lock;
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        calls << QStringList{what, who, why, mode}.join(' ');
        return QDBusUnixFileDescriptor(lock.open() ? lock.handle() : -1);
    }
};

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
    void blockers_askLogindAndTheScreenSaver_failuresGiveAReason();
};

void SleepDbusTest::blockers_askLogindAndTheScreenSaver_failuresGiveAReason()
{
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    QVERIFY2(bus.waitForReadyRead(10000), "dbus-daemon did not start");
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    const auto blockers = platform::systemSleepBlockers();
    QString reason;
    FakeLogind logind;
    FakeScreenSaver saver;
    QDBusConnection system = QDBusConnection::systemBus();
    QDBusConnection session = QDBusConnection::sessionBus();
    QVERIFY(
        system.registerService("org.freedesktop.login1") &&
        system.registerObject("/org/freedesktop/login1", &logind, QDBusConnection::ExportAllSlots));
    QVERIFY(session.registerService("org.freedesktop.ScreenSaver") &&
            session.registerObject("/org/freedesktop/ScreenSaver", &saver,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(blockers[0]->block("学习中", reason) && blockers[1]->block("学习中", reason));
    blockers[0]->unblock();
    blockers[1]->unblock();
    QCOMPARE(logind.calls, QStringList{"sleep:idle Lumora 学习中 block"});
    QTRY_COMPARE(saver.calls, (QStringList{"Lumora 学习中", "7"}));
    bus.kill();
    bus.waitForFinished();
    QTRY_VERIFY(!system.isConnected());
    for (const auto& blocker : blockers) // the bus went away
        QVERIFY(!blocker->block("run", reason) && !std::exchange(reason, {}).isEmpty());
}

QTEST_GUILESS_MAIN(SleepDbusTest)
#include "tst_sleep_dbus.moc"
