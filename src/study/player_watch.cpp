#include "study/player_watch.h"

#include <algorithm>
#include <utility>

namespace lumora::study {

TickVerdict PlayerWatch::judge(LessonKey lesson, PlayerState player,
                               platform::SiteProbe::Answer site, std::chrono::milliseconds now)
{
    if (lesson != m_lesson) {
        m_lesson = lesson;
        m_failures = 0;
        m_playedSinceLeft = false;
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
        // Not the lesson's fault: open it again until the site is back, without counting.
        return {.reopen = true};
    case PlayerState::LeftLesson:
        // A player that played a minute and moved on is opened again; one that leaves before it
        // played one is the lesson failing to open.
        if (std::exchange(m_playedSinceLeft, false))
            return {.reopen = true};
        break;
    case PlayerState::NoMedium:
        // Five minutes with nothing to play are as good as three failures.
        m_failures = kFailuresBeforeSkip - 1;
        break;
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
    return failed(lesson, player, now);
}

TickVerdict PlayerWatch::failed(LessonKey lesson, PlayerState player, std::chrono::milliseconds now)
{
    if (m_siteTrouble) {
        if (now - m_troubleSince >= kTroubleAtMost) {
            // Not an outage but lessons that do not play: the run goes on without this one.
            m_siteTrouble = false;
            m_row.reset();
            m_failures = 0;
            return {.skip = true, .troubleTooLong = true};
        }
        if (now - m_reopenedAt < kReopenInTroubleEvery)
            return {.siteTrouble = true};
        m_reopenedAt = now;
        return {.reopen = true, .siteTrouble = true};
    }
    if (++m_failures < kFailuresBeforeSkip)
        return {.reopen = true};
    return giveUp(lesson, player, now);
}

TickVerdict PlayerWatch::giveUp(LessonKey lesson, PlayerState player, std::chrono::milliseconds now)
{
    m_failures = 0;
    if (m_row && m_row->cause == player &&
        (m_row->sitesTrouble || m_row->skipped.size() + 1 >= kLessonsInARow)) {
        m_row->sitesTrouble = true;
        m_siteTrouble = true;
        m_troubleSince = m_reopenedAt = now;
        TickVerdict verdict{.reopen = true, .siteTrouble = true};
        for (const LessonKey& skipped : std::exchange(m_row->skipped, {})) {
            if (!m_givenBack.contains(skipped)) {
                m_givenBack.insert(skipped);
                verdict.giveBack.append(skipped);
            }
        }
        return verdict;
    }
    if (m_row && m_row->cause == player)
        m_row->skipped.append(lesson);
    else
        m_row = Row{player, {lesson}};
    m_lessonPlayed = false;
    return {.skip = true};
}

} // namespace lumora::study
