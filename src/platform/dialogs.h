#pragma once

#include <QString>

namespace lumora::platform {

enum class MessageIcon
{
    None,
    Information
};

// Modal message boxes with one OK button. The window's handlers wait until it is closed.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
};

} // namespace lumora::platform
