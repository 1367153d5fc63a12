#include "page/browser_views.h"

#include <QWidget>

namespace lumora::page {

void BrowserViews::showPlayer(bool visible)
{
    m_player.widget()->setVisible(visible);
    if (visible)
        m_player.widget()->raise();
}

void BrowserViews::showMain()
{
    m_main.widget()->show();
}

void BrowserViews::placePlayerOverMain()
{
    // Width, height, top, left: each step reads the main view afresh.
    QWidget* player = m_player.widget();
    const QWidget* main = m_main.widget();
    player->resize(main->width(), player->height());
    player->resize(player->width(), main->height());
    player->move(player->x(), main->y());
    player->move(main->x(), player->y());
}

} // namespace lumora::page
