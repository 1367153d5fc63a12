#pragma once

#include <QString>

namespace lumora::platform {

// Shows an error found before the window opens (a bad command line) to whoever started the
// program: on standard error when it has a console or redirected output, else in a message box,
// as a Windows program started from Explorer or a shortcut has nowhere else to say it.
void showStartupError(const QString& text);

} // namespace lumora::platform
