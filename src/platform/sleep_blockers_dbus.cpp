// Staying awake on Linux desktops, through D-Bus.

#include "platform/system_sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <optional>

namespace lumora::platform {

namespace {

// A bus that does not answer in this time counts as absent: the window waits for the answer.
constexpr int kCallTimeoutMs = 1500;

// Calls a method and waits for its answer; nothing, with the reason, when there is none.
std::optional<QVariantList> callMethod(QDBusConnection bus, const QDBusMessage& call,
                                       QString& reason)
{
    if (!bus.isConnected()) {
        reason = bus.lastError().message();
        if (reason.isEmpty())
            reason = QStringLiteral("no bus");
        return std::nullopt;
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        reason = reply.errorMessage();
        return std::nullopt;
    }
    return reply.arguments();
}

// logind's inhibitor lock: sleep (and the idle action) is held off for as long as the file
// descriptor it hands out stays open anywhere.
class LogindBlocker final : public SleepBlocker
{
public:
    QString name() const override { return QStringLiteral("logind"); }
    bool block(const QString& why, QString& reason) override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep:idle") << QStringLiteral("Lumora") << why
             << QStringLiteral("block");
        const std::optional<QVariantList> answer =
            callMethod(QDBusConnection::systemBus(), call, reason);
        if (!answer)
            return false;
        // A copy of the descriptor; closed when the last copy of it goes.
        m_lock = answer->value(0).value<QDBusUnixFileDescriptor>();
        if (!m_lock.isValid()) {
            reason = QStringLiteral("no lock in the answer");
            return false;
        }
        return true;
    }
    void unblock() override { m_lock = QDBusUnixFileDescriptor(); }

private:
    QDBusUnixFileDescriptor m_lock;
};

// The desktop's screen saver (GNOME, KDE, Xfce ... without logind): also holds off suspending
// when idle, and keeps the screen on.
class ScreenSaverBlocker final : public SleepBlocker
{
public:
    QString name() const override { return QStringLiteral("the screen saver"); }
    bool block(const QString& why, QString& reason) override
    {
        QDBusMessage call = method(QStringLiteral("Inhibit"));
        call << QStringLiteral("Lumora") << why;
        const std::optional<QVariantList> answer =
            callMethod(QDBusConnection::sessionBus(), call, reason);
        if (!answer)
            return false;
        bool ok = false;
        m_cookie = answer->value(0).toUInt(&ok);
        if (!ok)
            reason = QStringLiteral("no cookie in the answer");
        return ok;
    }
    void unblock() override
    {
        // Not waited for: the inhibition also ends with this program's connection.
        QDBusMessage call = method(QStringLiteral("UnInhibit"));
        call << m_cookie;
        QDBusConnection::sessionBus().send(call);
    }

private:
    static QDBusMessage method(const QString& name)
    {
        return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                              QStringLiteral("/org/freedesktop/ScreenSaver"),
                                              QStringLiteral("org.freedesktop.ScreenSaver"), name);
    }
    uint m_cookie = 0;
};

} // namespace

std::vector<std::unique_ptr<SleepBlocker>> systemSleepBlockers()
{
    std::vector<std::unique_ptr<SleepBlocker>> blockers;
    blockers.push_back(std::make_unique<LogindBlocker>());
    blockers.push_back(std::make_unique<ScreenSaverBlocker>());
    return blockers;
}

} // namespace lumora::platform
