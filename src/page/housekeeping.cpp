// Browser housekeeping: clearing stored data, routing pop-ups, a page closing its window.

#include "shell/main_window.h"

namespace lumora::shell {

void Form1::Command5_Click()
{
    m_platform.browsingData().clearEverything();
}

void Form1::clearhc_Click()
{
    Command5_Click();
}

platform::BrowserControl* Form1::WebBrowser1_NewWindow2()
{
    // Every new window of the main view, whatever its address, opens in the player view.
    return WebBrowser2.get();
}

void Form1::WebBrowser1_WindowClosing()
{
    // No question and no save: the state file keeps what the last save wrote.
    unload();
}

} // namespace lumora::shell
