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

PlayerObservation observePlayer(const page::BrowserViews& views, const LessonNavigator& navigator)
{
    if (page::showsLoginPage(views.main()))
        return {PlayerState::LoginPage, {}};
    const platform::LoadInfo load = views.player().lastLoad();
    if (!navigator.isLessonsPlayer(load))
        return {PlayerState::NotOpened, {}};
    if (const std::optional<PlayerState> state = stateOfLoad(load))
        return {*state, {}};
    switch (page::checkForLoginPage(views.player())) {
    case page::LoginCheck::LoginPage:
        return {PlayerState::LoginPage, {}};
    case page::LoginCheck::Unreadable:
        return {PlayerState::Unreadable, {}};
    case page::LoginCheck::OtherPage:
        break;
    }
    const platform::MediaReport media = views.player().mediaErrors();
    if (!media.ok())
        return {PlayerState::Unreadable, media.errorCodes};
    // MediaError.code 4: the source is in a format this engine does not play.
    if (media.errorCodes.contains(4))
        return {PlayerState::VideoUnsupported, media.errorCodes};
    return {media.errorCodes.isEmpty() ? PlayerState::Open : PlayerState::VideoFailed,
            media.errorCodes};
}

} // namespace lumora::study
