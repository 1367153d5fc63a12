// The study run's care of the lesson's player and of the site's session: a tick credits its
// minute only while the lesson's player is really open (loaded, answering, not the login page,
// its medium able to play); a player that is not open is opened again, one that keeps failing is
// skipped for the run with its reason, and a session that ended is logged in again before the
// run goes on. A paused medium waits for the page's continue control, pressed for the learner
// where the settings name it, or for the learner.

#include "platform/logging.h"
#include "study/run_texts.h"
#include "study/study_run.h"

namespace lumora::study {

using records::RunEventKind;

namespace {

// What a tick's player state says about a minute that earns nothing.
StallCause tickCause(PlayerState state)
{
    switch (state) {
    case PlayerState::Open:
        return StallCause::None;
    case PlayerState::SiteDown:
        return StallCause::SiteDown;
    case PlayerState::SiteTrouble:
        return StallCause::SiteTrouble;
    case PlayerState::Unreadable:
        return StallCause::PlayerSilent;
    case PlayerState::LoginPage:
        return StallCause::LoggingIn;
    case PlayerState::Loading:
    case PlayerState::NotOpened:
    case PlayerState::Failed:
    case PlayerState::VideoFailed:
    case PlayerState::VideoUnsupported:
    case PlayerState::LeftLesson:
        break;
    case PlayerState::VideoStalled:
        return StallCause::VideoNotPlaying;
    case PlayerState::NoMedium:
        return StallCause::NoVideo;
    }
    return StallCause::PlayerNotOpen;
}

} // namespace

int StudyRun::lookAfterPlayer()
{
    PlayerObservation seen = observePlayer(m_views, m_navigator);
    lookAfterVideo(seen);
    const bool distrusted = m_playerWatch.siteCheckDistrusted();
    const TickVerdict verdict =
        m_playerWatch.judge({m_catalogue.category(), m_catalogue.selectedLesson()}, seen.state,
                            m_platform.siteProbe().lastAnswer(), m_platform.clock().now());
    if (m_playerWatch.siteCheckDistrusted() != distrusted)
        qCWarning(lcStudy) << (distrusted ? "the site check finds the site again: trusted again"
                                          : "the site check keeps finding no site while the "
                                            "engine loads its pages: the engine's word counts");
    if (m_tickCause == StallCause::None)
        m_tickCause = tickCause(seen.state);
    actOn(verdict, seen);
    const int open = verdict.credit ? m_views.player().lastLoad().serial : -1;
    // A player open again starts a minute, and the video's account of it starts with this tick.
    if (m_tally.startsMinute(open))
        m_videoWatch.restartMinute();
    return open;
}

void StudyRun::actOn(const TickVerdict& verdict, const PlayerObservation& seen)
{
    if (seen.state == PlayerState::VideoFailed || seen.state == PlayerState::VideoUnsupported)
        reportVideoFailure(seen.mediaErrors);
    if (verdict.sessionEnded)
        beginRecovery();
    else if (verdict.cannotPlay)
        pauseRun(RunTexts::cannotPlay(), false);
    else if (verdict.siteTrouble)
        siteVideosFailing(verdict, seen.state);
    else if (verdict.skip)
        skipLesson(skipReason(verdict, seen));
    else if (verdict.reopen)
        reopenLesson(seen.state);
    else if (verdict.credit && m_tickCause == StallCause::None)
        emit notice({});
}

void StudyRun::lookAfterVideo(PlayerObservation& seen)
{
    if (seen.state != PlayerState::Open)
        return;
    const platform::VideoReport& video = seen.video;
    const int lesson = m_catalogue.selectedLesson();
    if (!video.present) {
        // What the page shows instead ("今日学时已满", "请按顺序学习", a document) is the
        // learner's to read. A frame of another origin reports its video at its own pace: the
        // lesson is judged on it after five minutes, not now.
        m_tickCause = StallCause::NoVideo;
        const QString says = seen.documentMedium ? RunTexts::documentLesson(lesson, seen.firstLine)
                                                 : RunTexts::noVideo(lesson, seen.firstLine);
        if (says != std::exchange(m_pageSays, says))
            qCWarning(lcStudy).nospace() << "no video or audio on the page of lesson " << lesson + 1
                                         << "; it says: " << seen.firstLine;
        emit notice(says);
    } else {
        m_pageSays.clear();
    }
    const VideoWatch::Call call = m_videoWatch.tick(
        {m_catalogue.category(), m_catalogue.selectedLesson()}, m_views.player().lastLoad().serial,
        {video.present, video.currentTime, video.paused, video.ended, video.duration, video.source,
         seen.controls},
        std::chrono::duration<double>(m_platform.clock().now()).count());
    if (call.replay) {
        // Lessons whose video is shorter than their minutes are common: as a learner would,
        // press replay.
        qCInfo(lcStudy).nospace() << "the video of lesson " << lesson + 1 << " ended at "
                                  << video.currentTime << " s: playing it again";
        if (!m_views.player().replayVideo())
            qCWarning(lcStudy) << "the player did not take the replay";
    } else if (call.reopen) {
        seen.state = PlayerState::VideoStalled;
    } else if (call.noMedium) {
        seen.state = PlayerState::NoMedium;
    } else if (call.pressContinue || call.waitsForLearner) {
        // A medium paused by the page waits for what it waits for: its own continue control,
        // pressed as a learner would, or the learner.
        m_tickCause = StallCause::LearnerNeeded;
        const QString pressed = call.pressContinue
                                    ? m_views.player().clickControl(m_videoWatch.continueControls())
                                    : QString();
        if (!pressed.isEmpty())
            qCInfo(lcStudy).nospace() << "the video of lesson " << lesson + 1
                                      << " is paused: pressed the page's " << pressed;
        else if (call.pressContinue)
            qCWarning(lcStudy).nospace() << "the video of lesson " << lesson + 1
                                         << " is paused: its continue control would not be pressed";
        if (pressed.isEmpty())
            emit notice(call.pageAsks.isEmpty() ? RunTexts::videoPaused(lesson)
                                                : RunTexts::videoAsks(lesson, call.pageAsks));
    }
}

void StudyRun::reportVideoFailure(const QList<int>& mediaErrors)
{
    const LessonKey lesson{m_catalogue.category(), m_catalogue.selectedLesson()};
    if (lesson == m_videoFailureReported)
        return;
    m_videoFailureReported = lesson;
    QStringList codes;
    for (const int code : mediaErrors)
        codes << QString::number(code);
    qCWarning(lcStudy).nospace() << "the video of lesson " << lesson.lesson + 1 << " of category "
                                 << lesson.category << " cannot play (media error "
                                 << codes.join(QLatin1Char(',')) << "): no minutes";
    report(RunEventKind::VideoFailed, lesson.lesson, 0, RunTexts::videoFailed());
}

void StudyRun::reopenLesson(PlayerState state)
{
    const int lesson = m_catalogue.selectedLesson();
    const QString why =
        state == PlayerState::SiteDown      ? QStringLiteral("the site is unreachable")
        : state == PlayerState::SiteTrouble ? QStringLiteral("the site answers with a server error")
        : state == PlayerState::Open        ? QStringLiteral("the site check found no site")
        : state == PlayerState::Unreadable  ? QStringLiteral("the player does not answer")
        : state == PlayerState::VideoFailed ? QStringLiteral("the player's video cannot play")
        : state == PlayerState::VideoStalled
            ? QStringLiteral("the player's video has neither played nor been paused for long")
        : state == PlayerState::NoMedium   ? QStringLiteral("the page shows no video or audio")
        : state == PlayerState::LeftLesson ? QStringLiteral("the player left the lesson's page")
                                           : QStringLiteral("the player did not open");
    const platform::LoadInfo load = m_views.player().lastLoad();
    qCInfo(lcStudy).nospace() << "opening lesson " << lesson + 1 << " of category "
                              << m_catalogue.category() << " again: " << why << " (player state "
                              << int(state) << ", last load " << int(load.outcome) << " "
                              << load.httpStatus << " " << load.error << ")";
    // A page that opened and is opened again did not fail to open: the record says why.
    if (const std::optional<RunTexts::Reason> reason = reopenReason(state))
        report(RunEventKind::LessonReopened, lesson, *reason);
    else
        report(RunEventKind::PageFailed, lesson, 0, why);
    emit notice(m_playerWatch.siteTrouble() ? RunTexts::siteVideos() : RunTexts::reopening(state));
    if (state == PlayerState::Unreadable) {
        // A page that does not answer may hold its renderer in an endless script: loading it
        // again ends that renderer first. The main view shared it (the player is its pop-up)
        // and lost its course page with it: the category is opened again at the next tick to
        // reach the lesson.
        m_views.player().refresh();
        openAtNextTick(m_catalogue.category(), lessonIndex());
        return;
    }
    // A lesson list the scan missed (the site was slow) is found by opening the category again.
    if (lesson < 0 || lesson >= m_catalogue.lessonCount())
        return void(openCategoryAt(m_catalogue.category(), lessonIndex()));
    const catalogue::LessonOpening opening = m_navigator.openLesson(lesson);
    lessonOpened(opening);
    // A course page that cannot be clicked is no fault of the lesson: the category is opened
    // again, all or nothing, before the lesson is.
    if (!opening.clicked)
        openAtNextTick(m_catalogue.category(), lessonIndex());
}

void StudyRun::skipLesson(const std::optional<RunTexts::Reason>& why)
{
    const int lesson = m_catalogue.selectedLesson();
    qCWarning(lcStudy).nospace() << "skipping lesson " << lesson + 1 << " of category "
                                 << m_catalogue.category() << " for this run: "
                                 << (why ? why->recorded
                                         : QStringLiteral("its player kept failing"));
    if (why)
        report(RunEventKind::LessonSkipped, lesson, *why);
    else
        report(RunEventKind::LessonSkipped, lesson);
    m_skipped.append({m_catalogue.category(), lesson});
    emit notice(why ? RunTexts::skippedFor(lesson, why->shown) : RunTexts::skipped(lesson));
    goOn();
}

std::optional<RunTexts::Reason> StudyRun::skipReason(const TickVerdict& verdict,
                                                     const PlayerObservation& seen) const
{
    if (verdict.troubleTooLong)
        return RunTexts::siteVideosTooLong(int(PlayerWatch::kTroubleAtMost.count()));
    if (seen.state == PlayerState::NoMedium)
        return RunTexts::noMedium(seen.documentMedium, seen.firstLine);
    return reopenReason(seen.state);
}

std::optional<RunTexts::Reason> StudyRun::reopenReason(PlayerState state)
{
    switch (state) {
    case PlayerState::LeftLesson:
        return RunTexts::leftByItself();
    case PlayerState::VideoStalled:
        return RunTexts::mediumStill(int(VideoWatch::kStillFor / 60));
    case PlayerState::Open:
        return RunTexts::siteUnreachable();
    default:
        return std::nullopt;
    }
}

void StudyRun::report(RunEventKind kind, int lesson, const RunTexts::Reason& why)
{
    records::RunEvent event{kind, m_catalogue.category(), lesson, 0, why.recorded};
    event.shownDetail = why.shown;
    emit runEvent(event);
}

void StudyRun::siteVideosFailing(const TickVerdict& verdict, PlayerState state)
{
    m_tickCause = StallCause::SiteVideos;
    // Between its looks the lesson's player stays as it is: the site's videos may come back in it.
    if (verdict.giveBack.isEmpty()) {
        if (verdict.reopen)
            reopenLesson(state);
    } else {
        // The lessons skipped before failed as this one does: none of them is at fault. They
        // are given back to the run and studied first, once the site plays again.
        for (const LessonKey& back : verdict.giveBack) {
            qCWarning(lcStudy).nospace()
                << "lesson " << back.lesson + 1 << " of category " << back.category
                << " failed as the lessons after it do: the site's trouble; it is studied again "
                   "and nothing more is skipped until a minute is credited";
            m_skipped.removeAll(back);
            emit runEvent({RunEventKind::LessonGivenBack, back.category, back.lesson, 0, {}});
        }
        const LessonKey first = verdict.giveBack.first();
        if (first.category == m_catalogue.category())
            startLesson(first.lesson);
        else
            openCategoryAt(first.category, first.lesson);
    }
    emit notice(RunTexts::siteVideos());
}

} // namespace lumora::study
