#include "platform/webengine/first_view.h"

#include "platform/webengine/webengine_browser.h"
#include "platform/webengine/webengine_host.h"

#include <utility>

namespace lumora::platform::webengine {

FirstView::FirstView() = default;
FirstView::~FirstView() = default;

void FirstView::open(WebEngineHost& host, const QUrl& url)
{
    host.clearCache();
    m_view = host.createViewless(WebEngineHost::IsolatedScripts::AfterFirstLoad);
    m_view->setSilent(true);
    m_view->navigateAhead(url);
}

std::unique_ptr<BrowserControl> FirstView::take(WebEngineHost& host, QWidget* parent)
{
    if (!m_view)
        return host.createBrowser(parent);
    m_view->showIn(parent);
    return std::exchange(m_view, nullptr);
}

} // namespace lumora::platform::webengine
