#pragma once

#include "platform/dialogs.h"

namespace lumora::window {

enum class CloseChoice
{
    HideInTray, // the run goes on, the window waits in the tray
    Quit,       // the run ends and the program with it
    Cancel,     // nothing happens
};

// Asked when the learner closes the window during a run: "继续在托盘中学习" (only with a tray
// to wait in), "结束学习并退出", "取消".
CloseChoice askToClose(platform::Dialogs& dialogs, bool trayAvailable);

} // namespace lumora::window
