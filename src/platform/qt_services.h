#pragma once

// The engine-neutral platform services on Qt: clock, timer and message boxes.

#include "platform/clock.h"
#include "platform/dialogs.h"

#include <QElapsedTimer>
#include <QTimer>

class QWidget;

namespace lumora::platform {

class QtClock final : public Clock
{
public:
    QtClock();
    std::chrono::milliseconds now() const override;
    void processEventsUntil(std::chrono::milliseconds deadline) override;

private:
    QElapsedTimer m_elapsed;
};

class QtTimer final : public Timer
{
public:
    QtTimer();
    void setInterval(int milliseconds) override { m_timer.setInterval(milliseconds); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

class QtDialogs final : public Dialogs
{
public:
    // Boxes are shown over `parent` once it is set.
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace lumora::platform
