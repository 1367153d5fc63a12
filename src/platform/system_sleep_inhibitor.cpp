#include "platform/system_sleep_inhibitor.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

namespace lumora::platform {

SystemSleepInhibitor::SystemSleepInhibitor(std::vector<std::unique_ptr<SleepBlocker>> blockers)
    : m_blockers(std::move(blockers))
{
}

SystemSleepInhibitor::~SystemSleepInhibitor()
{
    release();
}

void SystemSleepInhibitor::hold(const QString& why)
{
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
    if (m_held)
        return;
    m_held = true;
    QStringList failures;
    for (const auto& blocker : m_blockers) {
        QString reason;
        if (blocker->block(why, reason)) {
            m_active = blocker.get();
            qCInfo(lcStudy).noquote() << "keeping the system awake through" << blocker->name();
            return;
        }
        failures << QStringLiteral("%1: %2").arg(blocker->name(), reason);
    }
    // A machine that may sleep is no reason to refuse a run; the learner's power settings decide.
    if (!m_toldNoWay) {
        m_toldNoWay = true;
        qCWarning(lcStudy).noquote().nospace()
            << "nothing keeps the system awake during the run; it may sleep ("
            << (failures.isEmpty() ? QStringLiteral("no way known here")
                                   : failures.join(QStringLiteral("; ")))
            << ")";
    }
}

void SystemSleepInhibitor::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (m_active) {
        m_active->unblock();
        qCInfo(lcStudy).noquote() << "the system may sleep again";
    }
    m_active = nullptr;
}

} // namespace lumora::platform
