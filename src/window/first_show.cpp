#include "window/first_show.h"

#include "platform/logging.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <utility>

namespace lumora::window {

FirstShow::FirstShow(QWidget& window, platform::BrowserControl& view) : m_window(window)
{
    m_latest.setSingleShot(true);
    connect(&m_latest, &QTimer::timeout, this, &FirstShow::showNow);
    connect(&view, &platform::BrowserControl::documentLoaded, this, &FirstShow::showNow);
}

void FirstShow::showOnFirstPage(int latestMs)
{
    // The controls are laid out for a screen of 1440 x 900 or more.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (screen.width() >= 1440 && screen.height() >= 900)
        m_window.resize(1440, 900);
    else
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
    m_waiting = true;
    if (latestMs <= 0)
        return showNow();
    m_latest.start(latestMs);
}

void FirstShow::showNow()
{
    if (!std::exchange(m_waiting, false))
        return;
    const bool loaded = m_latest.isActive();
    m_latest.stop();
    if (m_window.testAttribute(Qt::WA_WState_ExplicitShowHide))
        return;
    m_window.show();
    // What start-up measurements wait for.
    qCDebug(lcEngine) << "window shown" << (loaded ? "with the first page" : "before it");
}

} // namespace lumora::window
