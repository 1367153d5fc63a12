#pragma once

// Fits the window's two areas to its size: the browser takes the width the right-hand column
// leaves and the height between the menu bar and the status bar, the column sits against the
// right edge, and the pop-up browser lies exactly over the main one. Lengths are twips (15 to a
// pixel at 96 dpi), carried as float.

namespace lumora::window {

inline constexpr float kTwipsPerPixel = 15.0f;
inline constexpr float kColumnReserve = 200.0f; // with the login box's width, beside the browser
inline constexpr float kBottomMargin = 120.0f;  // under the browser, as above and beside it
inline constexpr float kColumnOffset = 130.0f;  // from the browser's width to the column's left

// The window as the layout sees it. A setter returns false when the control refuses the value
// (a negative width or height); the value then stays as it was. Getters read back what the
// control holds, after any rounding to whole pixels.
class LayoutTarget
{
public:
    virtual ~LayoutTarget() = default;
    virtual float innerWidth() const = 0;
    // The client area's height: between the menu bar and the status bar.
    virtual float innerHeight() const = 0;
    virtual float loginBoxWidth() const = 0;

    virtual bool setBrowserWidth(float width) = 0;
    virtual bool setBrowserHeight(float height) = 0;
    virtual float browserLeft() const = 0;
    virtual float browserTop() const = 0;
    virtual float browserWidth() const = 0;
    virtual float browserHeight() const = 0;

    // The right-hand column: its controls keep their heights and tops and follow the browser's
    // width sideways.
    virtual bool setColumnLeft(float left) = 0;

    virtual bool setPopupWidth(float width) = 0;
    virtual bool setPopupHeight(float height) = 0;
    virtual bool setPopupTop(float top) = 0;
    virtual bool setPopupLeft(float left) = 0;

    virtual void repaint() = 0;
};

enum class LayoutPolicy
{
    SkipFailingSteps,  // a failing step is skipped (resize)
    StopAtFailingStep, // the first failing step ends the layout (activation)
};

// Runs the layout steps in order.
void runLayout(LayoutTarget& target, LayoutPolicy policy);

} // namespace lumora::window
