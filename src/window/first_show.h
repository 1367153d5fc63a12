#pragma once

// The main window's first appearance at start.

#include "platform/browser_control.h"

#include <QObject>
#include <QTimer>

class QWidget;

namespace lumora::window {

// Shows the window at once (kAtOnce: the program's start, where the window is drawn before the
// engine starts), or once its main view's first document has loaded, so that it opens with the
// page drawn: a slower site then gets the window at the latest `latestMs` after it was asked
// for, with the page still loading.
class FirstShow final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kAtOnce = 0;
    static constexpr int kLatestMs = 500;

    // Made before anything else connects to `view`: a view never shown answers no calls into its
    // page, so the window must be shown before other handlers of the load call in.
    FirstShow(QWidget& window, platform::BrowserControl& view);

    // Sizes the window for the screen (1440 x 900 where that fits, maximised where not) and
    // shows it at the first page's load or `latestMs` from now, whichever comes first; at once
    // for kAtOnce. A window shown or hidden meanwhile (a second copy's start brought it forward)
    // is left as it is.
    void showOnFirstPage(int latestMs);

private:
    void showNow();

    QWidget& m_window;
    QTimer m_latest;
    bool m_waiting = false;
};

} // namespace lumora::window
