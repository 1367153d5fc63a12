#pragma once

#include <QString>

namespace lumora::platform {

// The program's title: the main window's caption, and the caption of every message box that
// has no title of its own.
inline constexpr const char* kProgramTitle = "Lumora自动学习型浏览器v1.5";

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
