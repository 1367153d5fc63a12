#include "study/video_watch.h"

#include <algorithm>

namespace lumora::study {

namespace {

// A clip that may be a pre-roll: its length is known and under a minute.
bool isShort(double duration)
{
    return duration > 0 && duration < VideoWatch::kShortMedium;
}

} // namespace

QStringList VideoWatch::defaultContinueControls()
{
    return {QStringLiteral("继续学习"), QStringLiteral("继续播放"), QStringLiteral("确定"),
            QStringLiteral("是")};
}

VideoWatch::Call VideoWatch::tick(const LessonKey& lesson, int player, const VideoSample& video,
                                  double now)
{
    if (lesson != m_lesson) {
        m_lesson = lesson;
        m_owed = 0;
        m_lessonCredited = false;
        m_noMediumSince = now;
    }
    const bool newPlayer = player != m_player;
    if (newPlayer) {
        // A new player's medium started at its beginning when the page opened.
        m_player = player;
        m_source.clear();
        m_duration = 0;
        m_lastTime = 0;
        m_behind = 0;
        m_held = 0;
        m_stillSince = now;
        m_playerCredited = false;
        m_playerPlayed = 0;
        m_playerTicks = 0;
        m_shortEnded = false;
    }
    m_playerTicks += 1;
    m_tickPlayed = m_tickPassed = 0;
    m_tickSawVideo = m_tickSpoiled = false;
    Call call;
    if (!video.present) {
        if (!m_settings.pageTimeAllowed && now - m_noMediumSince >= kNoMediumFor) {
            call.noMedium = true;
            m_noMediumSince = now;
        }
        return call;
    }
    m_noMediumSince = now;
    m_sawVideo = m_tickSawVideo = true;
    // When a new player's page opened is not known: its video is taken to have played since.
    // A tick held up (a page that loaded slowly, a machine that slept) lets no more time pass
    // than one that came on time: the video could not have earned more.
    const double elapsed = std::clamp(now - m_lastAt, 0.0, kMostPerTick);
    const double moved = movedSince(video, elapsed);
    const double passed = newPlayer ? moved : elapsed;
    m_passed += passed;
    m_tickPassed = passed;
    m_behind = std::clamp(m_behind + passed - moved, 0.0, kMostBehind);
    m_source = video.source;
    m_duration = video.duration;
    m_lastTime = video.currentTime;
    m_lastAt = now;

    if (video.ended) {
        call.replay = true;
        m_shortEnded = m_shortEnded || isShort(video.duration);
        m_lastTime = 0;
        m_behind = 0;
        m_stillSince = now;
    } else if (video.paused) {
        m_stillSince = now;
        pausedFor(video, call);
    } else if (moved > passed / 4) {
        m_stillSince = now;
    } else if (now - m_stillSince >= kStillFor) {
        call.reopen = true;
        m_stillSince = now;
    }
    return call;
}

double VideoWatch::movedSince(const VideoSample& video, double elapsed)
{
    const bool otherMedium =
        !video.source.isEmpty() && !m_source.isEmpty() && video.source != m_source;
    bool wrapped = false;
    double moved = video.currentTime; // another medium, from its beginning
    if (otherMedium) {
        // A short clip that gives way to a longer medium was a pre-roll: its time never counts.
        // Once the lesson has earned a minute, another medium is not what it earned it with.
        if (isShort(m_duration) && !isShort(video.duration))
            m_held = 0;
        m_shortEnded = false;
        if (m_lessonCredited)
            m_spoiled = m_tickSpoiled = true;
    } else {
        moved = video.currentTime - m_lastTime;
        if (moved < 0) {
            // Round the end of a looping clip; else a seek back, of which nothing is known to
            // have played.
            const double round = m_duration - m_lastTime + video.currentTime;
            wrapped = m_duration > 0 && round <= elapsed + kReadLate;
            moved = wrapped ? round : 0;
        }
    }
    // The video's time is read a moment after the clock, and a page that is busy answers late:
    // a tick that saw the video behind is made up by the next that sees it caught up, up to one
    // tick's time, never more.
    moved = std::clamp(moved, 0.0, kMostPerTick + m_behind);
    // Before the lesson has earned a minute, a short clip may be a pre-roll: what it plays is
    // held until it ends (or wraps round) with nothing after it, as the lesson's own short video
    // does.
    // Once it has ended with the same clip after it, it is the lesson's.
    const bool mayBePreroll = !m_lessonCredited && !m_shortEnded && isShort(video.duration);
    double counted = mayBePreroll ? 0 : moved;
    if (mayBePreroll)
        m_held += moved;
    if (!mayBePreroll || video.ended || wrapped)
        counted += std::exchange(m_held, 0.0);
    if (mayBePreroll && wrapped)
        m_shortEnded = true;
    m_played += counted;
    m_tickPlayed += counted;
    m_playerPlayed += counted;
    return moved;
}

void VideoWatch::pausedFor(const VideoSample& video, Call& call) const
{
    for (const QString& text : m_settings.continueControls) {
        for (const platform::PageControl& control : video.controls) {
            if (control.text == text) {
                call.pressContinue = true;
                return;
            }
        }
    }
    // The page's question is the learner's: in its own words, around the control that answers
    // it (a question mark says which), else around the first control that has any.
    call.waitsForLearner = true;
    const auto asks = [](const platform::PageControl& control) {
        return control.context.contains(QLatin1Char('?')) || control.context.contains(u'？');
    };
    const auto around = std::find_if(video.controls.begin(), video.controls.end(), asks);
    const auto any =
        std::find_if(video.controls.begin(), video.controls.end(),
                     [](const platform::PageControl& c) { return !c.context.isEmpty(); });
    if (around != video.controls.end())
        call.pageAsks = around->context;
    else if (any != video.controls.end())
        call.pageAsks = any->context;
    else if (!video.controls.isEmpty())
        call.pageAsks = video.controls.first().text;
}

void VideoWatch::restartMinute()
{
    m_played = m_tickPlayed;
    m_passed = m_tickPassed;
    m_sawVideo = m_tickSawVideo;
    m_spoiled = m_tickSpoiled;
}

VideoWatch::Minute VideoWatch::closeMinute()
{
    // What the lesson's credited minutes would lack of what its video played, with this one.
    const double owedAfter = m_owed + m_passed - m_played;
    // A minute the video played less of (read late, started slowly) still counts when what the
    // lesson's video played before, uncredited, makes up for it: the site counted every second
    // the lesson is then credited with. The video must still be seen playing a tick's time.
    const bool madeUp = owedAfter <= 0 && m_played >= kSeenShare * m_passed;
    const bool played = !m_spoiled && m_played > 0 && owedAfter <= kMostOwed && !playerYoung() &&
                        (m_played >= kPlayedShare * m_passed || madeUp);
    const Minute minute = played                                      ? Minute::Played
                          : !m_sawVideo && m_settings.pageTimeAllowed ? Minute::Played
                          : m_sawVideo                                ? Minute::NotPlayed
                                                                      : Minute::NoVideo;
    m_lastMinute = {m_played, m_passed, m_owed};
    m_played = 0;
    m_passed = 0;
    m_sawVideo = false;
    m_spoiled = false;
    return minute;
}

} // namespace lumora::study
