#include "study/player_watch.h"

#include <algorithm>
#include <utility>

namespace lumora::study {

TickVerdict PlayerWatch::judge(LessonKey lesson, PlayerState player,
                               platform::SiteProbe::Answer site)
{
    if (lesson != m_lesson) {
        m_lesson = lesson;
        m_failures = 0;
        if (std::exchange(m_lessonPlayed, false))
            m_row.reset();
    }
    m_ticksSinceClick = std::min(m_ticksSinceClick + 1, kTicksToOpen + 1);
    m_loadingTicks = player == PlayerState::Loading ? m_loadingTicks + 1 : 0;

    switch (player) {
    case PlayerState::LoginPage:
        return {.sessionEnded = true};
    case PlayerState::SiteDown:
    case PlayerState::SiteTrouble:
    case PlayerState::LeftLesson:
        // Not the lesson's fault: open it again until the site is back (or the lesson's own page
        // shows), without counting.
        return {.reopen = true};
    case PlayerState::Loading:
        if (m_loadingTicks < kTicksToLoad)
            return {}; // a slow page is not a failed one, for a while
        m_loadingTicks = 0;
        break;
    case PlayerState::NotOpened:
        if (m_ticksSinceClick <= kTicksToOpen)
            return {}; // the click's window may be on its way
        break;
    case PlayerState::Failed:
    case PlayerState::Unreadable:
    case PlayerState::VideoFailed:
    case PlayerState::VideoStalled:
        break;
    case PlayerState::VideoUnsupported:
        return {.cannotPlay = true};
    case PlayerState::Open:
        // The check agrees with the engine again: its word counts again.
        if (site == platform::SiteProbe::Answer::Reachable)
            m_siteCheckDistrusted = false;
        if ((site == platform::SiteProbe::Answer::Unreachable ||
             site == platform::SiteProbe::Answer::Troubled) &&
            !m_siteCheckDistrusted) {
            // The page may have loaded before the site went down: load it again to see. A
            // lesson that keeps loading while the check keeps finding no site means that the
            // engine reaches the site where the check cannot (a proxy of its own, say).
            if (++m_openWhileUnreachable < kFailuresBeforeSkip)
                return {.reopen = true};
            m_siteCheckDistrusted = true;
        }
        m_openWhileUnreachable = 0;
        return {.credit = true};
    }
    return failed(lesson, player);
}

TickVerdict PlayerWatch::failed(LessonKey lesson, PlayerState player)
{
    if (++m_failures < kFailuresBeforeSkip)
        return {.reopen = true};
    m_failures = 0;
    if (m_siteTrouble)
        return {.reopen = true, .siteTrouble = true};
    if (m_row && m_row->cause == player) {
        m_siteTrouble = true;
        return {.reopen = true,
                .siteTrouble = true,
                .giveBack = std::exchange(m_row->skipped, std::nullopt)};
    }
    m_row = Row{player, lesson};
    m_lessonPlayed = false;
    return {.skip = true};
}

} // namespace lumora::study
