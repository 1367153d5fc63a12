#pragma once

// What a study tick finds of the lesson's player, read off the two views.

#include "page/browser_views.h"
#include "study/lesson_navigator.h"
#include "study/player_watch.h"

#include <QList>

namespace lumora::study {

struct PlayerObservation
{
    PlayerState state = PlayerState::NotOpened;
    QList<int> mediaErrors;      // the MediaError codes of the player page's videos, for logs
    platform::VideoReport video; // the lesson's video as the page shows it
};

PlayerObservation observePlayer(const page::BrowserViews& views, const LessonNavigator& navigator);

} // namespace lumora::study
