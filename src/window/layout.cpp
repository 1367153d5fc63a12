#include "window/layout.h"

#include <functional>
#include <initializer_list>

namespace lumora::window {

void runLayout(LayoutTarget& t, LayoutPolicy policy)
{
    // Every step from the third on reads the browser's width back, so rounding to whole pixels
    // carries over into the column's position.
    const std::initializer_list<std::function<bool()>> steps = {
        [&t] { return t.setBrowserWidth(t.innerWidth() - t.loginBoxWidth() - kColumnReserve); },
        [&t] { return t.setBrowserHeight(t.innerHeight() - t.browserTop() - kBottomMargin); },
        [&t] { return t.setColumnLeft(t.browserWidth() + kColumnOffset); },
        [&t] { return t.setPopupWidth(t.browserWidth()); },
        [&t] { return t.setPopupHeight(t.browserHeight()); },
        [&t] { return t.setPopupTop(t.browserTop()); },
        [&t] { return t.setPopupLeft(t.browserLeft()); },
        [&t] {
            t.repaint();
            return true;
        },
    };
    for (const auto& step : steps) {
        if (!step() && policy == LayoutPolicy::StopAtFailingStep)
            return;
    }
}

} // namespace lumora::window
