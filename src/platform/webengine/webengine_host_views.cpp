// What the host tells of a view it made, for its callers that reach past the seam (the engine's
// tests and benchmarks).

#include "platform/webengine/webengine_host.h"

#include "platform/webengine/webengine_browser.h"

namespace lumora::platform::webengine {

qint64 WebEngineHost::rendererProcessId(const BrowserControl& control)
{
    const auto* browser = qobject_cast<const WebEngineBrowser*>(&control);
    return browser ? browser->rendererProcessId() : 0;
}

std::optional<QString> WebEngineHost::runScriptForText(BrowserControl& control,
                                                       const QString& script)
{
    auto* browser = qobject_cast<WebEngineBrowser*>(&control);
    if (!browser)
        return std::nullopt;
    return browser->evaluateText(script);
}

} // namespace lumora::platform::webengine
