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
    platform::VideoReport video; // the lesson's medium as the page shows it
    QString firstLine = {};      // the page's first line of text, for a page without a video
    bool documentMedium = false; // the page shows a document instead of a medium
    QList<platform::PageControl> controls = {}; // what the page offers to press
};

PlayerObservation observePlayer(const page::BrowserViews& views, LessonNavigator& navigator);

} // namespace lumora::study
