#include "study/minute_tally.h"

namespace lumora::study {

void MinuteTally::tick(int openPlayer)
{
    if (startsMinute(openPlayer))
        m_ticks = 0;
    m_ticks += 1;
    if (m_ticks == 1) {
        m_player = openPlayer;
        m_late = 0;
    } else if (openPlayer != m_player)
        m_player = -1;
    m_openAtLastTick = openPlayer;
}

bool MinuteTally::holdOpen()
{
    if (m_late >= kMostLateTicks || !closesMinute())
        return false;
    m_late += 1;
    m_ticks -= 1;
    return true;
}

MinuteTally::Outcome MinuteTally::close(bool sessionConfirmed, bool recovering,
                                        VideoWatch::Minute video)
{
    m_ticks = 0;
    m_late = 0;
    if (recovering)
        return Outcome::Recovering;
    if (m_player < 0)
        return Outcome::PlayerNotOpen;
    if (video == VideoWatch::Minute::NoVideo)
        return Outcome::NoVideo;
    if (video == VideoWatch::Minute::NotPlayed)
        return Outcome::VideoNotPlayed;
    return sessionConfirmed ? Outcome::Credit : Outcome::SessionUnconfirmed;
}

const char* outcomeReason(MinuteTally::Outcome outcome)
{
    switch (outcome) {
    case MinuteTally::Outcome::Credit:
        return "credited";
    case MinuteTally::Outcome::Recovering:
        return "logging in again";
    case MinuteTally::Outcome::PlayerNotOpen:
        return "the lesson's player was not open all minute";
    case MinuteTally::Outcome::SessionUnconfirmed:
        return "the site did not confirm the session";
    case MinuteTally::Outcome::VideoNotPlayed:
        return "the lesson's video did not play through most of the minute";
    case MinuteTally::Outcome::NoVideo:
        return "no video was seen on the lesson's page";
    }
    return "";
}

} // namespace lumora::study
