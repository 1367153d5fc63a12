#include "shell/layout.h"

#include <functional>
#include <initializer_list>

namespace lumora::shell {

bool runLayout(LayoutTarget& t, LayoutPolicy policy)
{
    // Every step from the third on reads the browser's width back, so rounding to whole pixels
    // carries over into the column's position.
    auto columnAt = [&t](ColumnControl control) {
        return [&t, control] { return t.setColumnLeft(control, t.browserWidth() + kColumnOffset); };
    };
    const std::initializer_list<std::function<bool()>> steps = {
        [&t] { return t.setBrowserWidth(t.innerWidth() - t.frame1Width() - kColumnReserve); },
        [&t] { return t.setBrowserHeight(t.innerHeight() - t.browserTop() - kBottomMargin); },
        columnAt(ColumnControl::Frame1),
        columnAt(ColumnControl::Frame2),
        columnAt(ColumnControl::Frame3),
        columnAt(ColumnControl::Command2),
        [&t] { return t.setPopupWidth(t.browserWidth()); },
        [&t] { return t.setPopupHeight(t.browserHeight()); },
        [&t] { return t.setPopupTop(t.browserTop()); },
        [&t] { return t.setPopupLeft(t.browserLeft()); },
        columnAt(ColumnControl::Command16),
        [&t] {
            t.repaint();
            return true;
        },
    };
    bool allDone = true;
    for (const auto& step : steps) {
        if (step())
            continue;
        allDone = false;
        if (policy == LayoutPolicy::Guarded)
            return false;
    }
    return allDone;
}

} // namespace lumora::shell
