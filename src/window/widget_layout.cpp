#include "window/widget_layout.h"

namespace lumora::window {

int pixels(float twips)
{
    return qRound(twips / kTwipsPerPixel);
}

void place(QWidget* widget, float left, float top, float width, float height)
{
    widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

float WidgetLayoutTarget::innerWidth() const
{
    return m_w.client->width() * kTwipsPerPixel;
}

float WidgetLayoutTarget::innerHeight() const
{
    return m_w.client->height() * kTwipsPerPixel;
}

float WidgetLayoutTarget::loginBoxWidth() const
{
    return m_w.columnWidth * kTwipsPerPixel;
}

float WidgetLayoutTarget::browserLeft() const
{
    return m_w.browser->x() * kTwipsPerPixel;
}

float WidgetLayoutTarget::browserTop() const
{
    return m_w.browser->y() * kTwipsPerPixel;
}

float WidgetLayoutTarget::browserWidth() const
{
    return m_w.browser->width() * kTwipsPerPixel;
}

float WidgetLayoutTarget::browserHeight() const
{
    return m_w.browser->height() * kTwipsPerPixel;
}

bool WidgetLayoutTarget::setColumnLeft(float left)
{
    if (left < 0)
        return false;
    m_w.column->move(pixels(left), m_w.column->y());
    return true;
}

bool WidgetLayoutTarget::setPopupTop(float top)
{
    m_w.popup->move(m_w.popup->x(), pixels(top));
    return true;
}

bool WidgetLayoutTarget::setPopupLeft(float left)
{
    m_w.popup->move(pixels(left), m_w.popup->y());
    return true;
}

bool WidgetLayoutTarget::resize(QWidget* widget, float twips, bool width)
{
    if (twips < 0)
        return false;
    if (width)
        widget->resize(pixels(twips), widget->height());
    else
        widget->resize(widget->width(), pixels(twips));
    return true;
}

} // namespace lumora::window
