// The platform's own services: keeping the system awake.

#include "platform/system_sleep_inhibitor.h"

#include <QRegularExpression>
#include <QTest>

using namespace lumora;

namespace {

// A way of staying awake that is there or not, writing what is asked of it into a shared record.
class FakeBlocker final : public platform::SleepBlocker
{
public:
    FakeBlocker(QString name, bool available, QStringList& calls)
        : m_name(std::move(name)), m_available(available), m_calls(calls)
    {
    }
    QString name() const override { return m_name; }
    bool block(const QString& why, QString& reason) override
    {
        m_calls << m_name + " block " + why;
        reason = "no " + m_name;
        return m_available;
    }
    void unblock() override { m_calls << m_name + " unblock"; }

private:
    QString m_name;
    bool m_available;
    QStringList& m_calls;
};

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT
private slots:
    void sleepInhibitor_firstWayThatWorks_heldUntilReleased();
};

void PlatformTest::sleepInhibitor_firstWayThatWorks_heldUntilReleased()
{
    // Which of logind and the screen saver work, then the calls made over hold("run"),
    // hold("again"), release(), release(), hold("next") and the end of the inhibitor.
    const std::tuple<bool, bool, QStringList> cases[] = {
        {true, true, {"logind block run", "logind unblock", "logind block next", "logind unblock"}},
        {false,
         true,
         {"logind block run", "saver block run", "saver unblock", "logind block next",
          "saver block next", "saver unblock"}},
        {false,
         false,
         {"logind block run", "saver block run", "logind block next", "saver block next"}},
    };
    for (const auto& [logind, saver, expected] : cases) {
        if (!logind && !saver) {
            // Told once, not at every hold.
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("nothing keeps the system awake.*no saver"));
            QTest::failOnWarning(QRegularExpression("nothing keeps the system awake"));
        }
        QStringList calls;
        QList<bool> held;
        {
            std::vector<std::unique_ptr<platform::SleepBlocker>> blockers;
            blockers.push_back(std::make_unique<FakeBlocker>("logind", logind, calls));
            blockers.push_back(std::make_unique<FakeBlocker>("saver", saver, calls));
            platform::SystemSleepInhibitor inhibitor(std::move(blockers));
            inhibitor.hold("run");
            inhibitor.hold("again");
            held << inhibitor.held();
            inhibitor.release();
            inhibitor.release();
            held << inhibitor.held();
            inhibitor.hold("next");
            held << inhibitor.held();
        }
        QCOMPARE(calls, expected);
        QCOMPARE(held,
                 QList<bool>({true, false, true})); // as asked, also with no way to stay awake
    }
}

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
