#pragma once

#include <QString>

namespace lumora::platform {

// Shows an error found before the window opens (a bad command line) to whoever started the
// program: on standard error when it has a console or redirected output, else in a message box,
// as a Windows program started from Explorer or a shortcut has nowhere else to say it.
void showStartupError(const QString& text);
// Tells whoever started the program the one-line answer it was started for, the same way: on
// standard output with a console, else in a message box (a warning when `good` is false).
void showStartupAnswer(const QString& text, bool good);

} // namespace lumora::platform
