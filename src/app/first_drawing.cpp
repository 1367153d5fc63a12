#include "app/first_drawing.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace lumora::app {

AfterFirstDrawing::AfterFirstDrawing(QWidget& window, std::function<void()> then, int latestMs)
    : QObject(&window), m_then(std::move(then))
{
    window.installEventFilter(this);
    QTimer::singleShot(latestMs, this, &AfterFirstDrawing::run);
}

bool AfterFirstDrawing::eventFilter(QObject* /*watched*/, QEvent* event)
{
    // The window's own paint comes first in its drawing: what is queued now runs once the whole
    // window has been drawn and put on the screen.
    if (event->type() == QEvent::Paint)
        QTimer::singleShot(0, this, &AfterFirstDrawing::run);
    return false;
}

void AfterFirstDrawing::run()
{
    if (!m_then)
        return;
    parent()->removeEventFilter(this);
    std::exchange(m_then, {})();
}

} // namespace lumora::app
