#pragma once

// The start's order on the program's one thread: the window is shown and drawn first, then the
// engine starts (some 160 ms in which the thread does nothing else), so that the learner sees the
// program at once rather than a window left blank until the engine has started.

#include <QObject>
#include <functional>

class QWidget;

namespace lumora::app {

// Runs `then` once, from the event loop, after `window` was first drawn, or `latestMs` from now
// when it was not drawn by then (a window shown minimised). Goes with the window.
class AfterFirstDrawing final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLatestMs = 100;

    AfterFirstDrawing(QWidget& window, std::function<void()> then, int latestMs = kLatestMs);
    Q_DISABLE_COPY_MOVE(AfterFirstDrawing)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();

    std::function<void()> m_then;
};

} // namespace lumora::app
