#pragma once

#include "lumora_config.h"

#include <QString>

namespace lumora::platform {

// The program's title: the main window's caption, and the caption of every message box that
// has no title of its own. UTF-8 (MSVC compiles with /utf-8), for QString::fromUtf8; the
// version is project()'s, so that the title never falls behind a release.
inline constexpr const char* kProgramTitle = "Lumora自动学习型浏览器v" LUMORA_VERSION;

enum class MessageIcon
{
    None,
    Information
};

// Modal message boxes with one OK button. The caller waits until the box is closed.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
};

} // namespace lumora::platform
