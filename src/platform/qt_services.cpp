#include "platform/qt_services.h"

#include <QEventLoop>
#include <QMessageBox>

namespace lumora::platform {

QtClock::QtClock()
{
    m_elapsed.start(); // QElapsedTimer uses the system's monotonic clock
}

std::chrono::milliseconds QtClock::now() const
{
    return std::chrono::milliseconds(m_elapsed.elapsed());
}

void QtClock::processEventsUntil(std::chrono::milliseconds deadline)
{
    const qint64 remaining = (deadline - now()).count();
    if (remaining <= 0)
        return;
    // Sleeps in the event loop instead of spinning; every event is delivered meanwhile.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(remaining), &loop, &QEventLoop::quit);
    loop.exec();
}

QtTimer::QtTimer()
{
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (onTick)
            onTick();
    });
}

void QtTimer::setEnabled(bool enabled)
{
    // Enabling a running timer leaves it running on its current period.
    if (enabled && !m_timer.isActive())
        m_timer.start();
    else if (!enabled)
        m_timer.stop();
}

void QtDialogs::message(const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information
                                                     : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

} // namespace lumora::platform
