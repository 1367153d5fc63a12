#pragma once

#include "platform/browser_control.h"

#include <QUrl>
#include <memory>

class QWidget;

namespace lumora::platform::webengine {

class WebEngineBrowser;
class WebEngineHost;

// The program's first view, loading the login page before the window that shows it is built:
// the engine fetches and renders the page while the program makes its controls.
class FirstView
{
public:
    FirstView();
    ~FirstView();
    FirstView(const FirstView&) = delete;
    FirstView& operator=(const FirstView&) = delete;

    // Clears the HTTP cache and starts loading `url` in a view without a widget yet. The start's
    // own cache clear and first navigation to `url` then go with these. The scripts of the
    // isolated world join the page once this first load has ended.
    void open(WebEngineHost& host, const QUrl& url);
    // The opened view, now shown in `parent`; a new one of `host` once it has been taken.
    std::unique_ptr<BrowserControl> take(WebEngineHost& host, QWidget* parent);

private:
    std::unique_ptr<WebEngineBrowser> m_view;
};

} // namespace lumora::platform::webengine
