#pragma once

// The layout steps carried out on real widgets: twips in, whole pixels held.

#include "window/layout.h"

#include <QWidget>

namespace lumora::window {

struct LayoutWidgets
{
    QWidget* client = nullptr; // the area between the menu bar and the status bar
    QWidget* browser = nullptr;
    QWidget* popup = nullptr;
    QWidget* column = nullptr; // every control of the column moves with it
    int columnWidth = 0;       // pixels: the login box's width, and the column's scroll bar
};

class WidgetLayoutTarget final : public LayoutTarget
{
public:
    explicit WidgetLayoutTarget(LayoutWidgets widgets) : m_w(std::move(widgets)) {}

    float innerWidth() const override;
    float innerHeight() const override;
    float loginBoxWidth() const override;

    bool setBrowserWidth(float width) override { return resize(m_w.browser, width, true); }
    bool setBrowserHeight(float height) override { return resize(m_w.browser, height, false); }
    float browserLeft() const override;
    float browserTop() const override;
    float browserWidth() const override;
    float browserHeight() const override;

    bool setColumnLeft(float left) override;

    bool setPopupWidth(float width) override { return resize(m_w.popup, width, true); }
    bool setPopupHeight(float height) override { return resize(m_w.popup, height, false); }
    bool setPopupTop(float top) override;
    bool setPopupLeft(float left) override;

    void repaint() override { m_w.client->window()->update(); }

private:
    // Qt would take a negative length and clamp it; the window refuses it like a control would.
    static bool resize(QWidget* widget, float twips, bool width);

    LayoutWidgets m_w;
};

// Design-time rectangles are in twips; widgets take whole pixels.
int pixels(float twips);
void place(QWidget* widget, float left, float top, float width, float height);

} // namespace lumora::window
