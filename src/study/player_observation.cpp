#include "study/player_observation.h"

#include "page/login_form.h"

namespace lumora::study {

namespace {

// What the last load of the lesson's player says, before its page is asked anything; nothing
// for a load that succeeded.
std::optional<PlayerState> stateOfLoad(const platform::LoadInfo& load)
{
    switch (load.outcome) {
    case platform::LoadOutcome::NotLoaded:
    case platform::LoadOutcome::Loading:
        return PlayerState::Loading;
    case platform::LoadOutcome::NetworkError:
        return PlayerState::SiteDown;
    case platform::LoadOutcome::HttpError:
        // A server error is the site's trouble (maintenance, an outage), not the lesson's.
        return load.httpStatus >= 500 ? PlayerState::SiteTrouble : PlayerState::Failed;
    case platform::LoadOutcome::RendererGone:
        return PlayerState::Failed;
    case platform::LoadOutcome::Succeeded:
        break;
    }
    return std::nullopt;
}

} // namespace

PlayerObservation observePlayer(const page::BrowserViews& views, LessonNavigator& navigator)
{
    if (page::showsLoginPage(views.main()))
        return {PlayerState::LoginPage, {}, {}};
    const platform::LoadInfo load = views.player().lastLoad();
    switch (navigator.claim(load)) {
    case LessonNavigator::Claim::NotYet:
        return {PlayerState::NotOpened, {}, {}};
    case LessonNavigator::Claim::Left:
        return {PlayerState::LeftLesson, {}, {}};
    case LessonNavigator::Claim::Lessons:
        break;
    }
    if (const std::optional<PlayerState> state = stateOfLoad(load))
        return {*state, {}, {}};
    switch (page::checkForLoginPage(views.player())) {
    case page::LoginCheck::LoginPage:
        return {PlayerState::LoginPage, {}, {}};
    case page::LoginCheck::Unreadable:
        return {PlayerState::Unreadable, {}, {}};
    case page::LoginCheck::OtherPage:
        break;
    }
    const platform::MediaReport media = views.player().mediaErrors();
    if (!media.ok())
        return {PlayerState::Unreadable, media.errorCodes, media.video};
    // Only the lesson's own video decides: a broken audio element or another video of the page
    // stops nothing. Chromium reports a source that failed before its metadata (a 404, an expired
    // link) with the code of a format it cannot play (4): only a type the engine says it cannot
    // play is the engine's fault; any other error is this player's failure.
    const platform::VideoReport& video = media.video;
    if (!video.present || video.errorCode == 0)
        return {PlayerState::Open, media.errorCodes,     video,
                media.firstLine,   media.documentMedium, media.controls};
    const bool unplayable = video.errorCode == 4 && video.typeUnplayable;
    return {unplayable ? PlayerState::VideoUnsupported : PlayerState::VideoFailed, media.errorCodes,
            video};
}

} // namespace lumora::study
