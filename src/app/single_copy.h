#pragma once

// One copy at a time: a second copy tells the learner the program is already running, asks the
// first to show its window, and ends before it touches the browser profile or the state file.

#include "platform/dialogs.h"
#include "platform/single_instance.h"

namespace lumora::app {

// True when another copy runs: the learner has been told, the other copy asked to come to the
// front, and this one is to end at once.
bool handOverToRunningCopy(platform::SingleInstance& instance, platform::Dialogs& dialogs);

} // namespace lumora::app
