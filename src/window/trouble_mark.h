#pragma once

#include <QLabel>

namespace lumora::window {

// Words that want the learner look alike wherever they show: bold, in red.
inline void markAsTrouble(QLabel* label)
{
    label->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
}

} // namespace lumora::window
