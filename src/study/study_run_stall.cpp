// The study run's minutes that earn nothing: why each one did, and what the run does about a
// stretch of them (see StallWatch: reloads and the category opened again, never a login) and
// about a category that did not open.

#include "page/login_form.h"
#include "platform/logging.h"
#include "study/run_texts.h"
#include "study/study_run.h"

namespace lumora::study {

using records::RunEventKind;

StallCause StudyRun::stallCause(MinuteTally::Outcome outcome,
                                page::SessionCheck::Verdict session) const
{
    using Outcome = MinuteTally::Outcome;
    if (outcome == Outcome::Recovering)
        return StallCause::LoggingIn;
    // Trouble the site announces comes first: nothing of the program's would mend it.
    if (m_tickCause == StallCause::SiteDown || m_tickCause == StallCause::SiteTrouble)
        return m_tickCause;
    switch (m_platform.siteProbe().lastAnswer()) {
    case platform::SiteProbe::Answer::Unreachable:
        return StallCause::SiteDown;
    case platform::SiteProbe::Answer::Troubled:
        return StallCause::SiteTrouble;
    case platform::SiteProbe::Answer::Unknown:
    case platform::SiteProbe::Answer::Reachable:
        break;
    }
    // Lesson after lesson failing the same way: whatever this minute lacked, the site is at fault.
    if (m_playerWatch.siteTrouble())
        return StallCause::SiteVideos;
    if (m_tickCause != StallCause::None)
        return m_tickCause;
    // A slow site, not an ended session: that one shows itself and is logged in again at once.
    if (session == page::SessionCheck::Verdict::NoAnswer)
        return StallCause::NoSessionAnswer;
    if (outcome == Outcome::VideoNotPlayed)
        return StallCause::VideoNotPlaying;
    if (outcome == Outcome::NoVideo)
        return StallCause::NoVideo;
    return outcome == Outcome::SessionUnconfirmed ? StallCause::NoSessionAnswer
                                                  : StallCause::PlayerNotOpen;
}

void StudyRun::noteStall(StallCause cause)
{
    const StallWatch::Step step =
        m_stall.minuteClosed(cause, cause == StallCause::NoVideo ? m_pageSays : QString());
    if (m_stall.minutes() == StallWatch::kShowAfter || step != StallWatch::Step::None) {
        qCWarning(lcStudy).nospace()
            << m_stall.minutes() << " minutes without a credit (" << stallCauseText(cause) << "); "
            << (step == StallWatch::Step::None ? "waiting" : stallStepName(step));
        const QString stepText = stallStepText(step);
        const QString why = cause == StallCause::NoVideo ? m_pageSays : stallCauseText(cause);
        records::RunEvent event{RunEventKind::Stalled, m_catalogue.category(),
                                m_catalogue.selectedLesson(), m_stall.minutes(),
                                stepText.isEmpty() ? why
                                                   : QStringLiteral("%1，%2").arg(why, stepText)};
        const QString shownWhy = cause == StallCause::NoVideo ? why : shownText(why);
        event.shownDetail = stepText.isEmpty()
                                ? shownWhy
                                : StallWatch::tr("%1，%2").arg(shownWhy, shownText(stepText));
        emit runEvent(event);
    }
    if (m_stall.siteSlow())
        emit notice(RunTexts::siteSlow());
    escalate(step);
}

void StudyRun::escalate(StallWatch::Step step)
{
    const int lesson = lessonIndex();
    switch (step) {
    case StallWatch::Step::None:
        break;
    case StallWatch::Step::ReloadMainPage:
        // The course page comes back with the reload; the category is opened on it again.
        m_views.main().refresh();
        openAtNextTick(m_catalogue.category(), lesson);
        break;
    case StallWatch::Step::ReopenCategory:
        openCategoryAt(m_catalogue.category(), lesson);
        break;
    }
}

void StudyRun::retryOpening()
{
    // The run stays where it was until the category opens; its old player earns nothing.
    const platform::LoadOutcome mainLoad = m_views.main().lastLoad().outcome;
    m_tickCause = StallCause::NoCoursePage;
    if (page::showsLoginPage(m_views.main()))
        return beginRecovery();
    if (mainLoad == platform::LoadOutcome::HttpError ||
        mainLoad == platform::LoadOutcome::NetworkError ||
        mainLoad == platform::LoadOutcome::RendererGone || m_opening.reloadFirst) {
        // An error page or a dead renderer in place of the course page: ask again.
        m_opening.reloadFirst = false;
        m_views.main().refresh();
        return;
    }
    openCategoryAt(m_opening.category, m_opening.lesson);
}

} // namespace lumora::study
