#pragma once

// Whether the site still counts what the program credits. A site that stops counting (a day's
// cap, a progress request that fails, an idle check that stops its timer but not the video)
// shows nothing the player's page would tell: its record stops growing. The run reads the
// site's record now and then; after every ten credited minutes it compares how much the record
// grew for the lessons it credited with what it credited, over the last twenty minutes and over
// the last ten (so that a site that stops is noticed within about ten credited minutes, not
// twenty). Growth under half of the credits means the site has stopped counting. A reading
// that gives no figure for a lesson credited meanwhile cannot judge. Pure logic: the run tells
// it each credit and each reading.

#include "study/player_watch.h"

#include <QList>
#include <QMap>
#include <chrono>
#include <deque>
#include <optional>

namespace lumora::study {

class SiteCount
{
public:
    // Seconds the record gave per lesson.
    using Figures = QMap<LessonKey, int>;

    static constexpr int kJudgeEvery = 10; // credited minutes between judgements
    static constexpr std::chrono::minutes kWindow{20};
    static constexpr std::chrono::minutes kShortWindow{10};

    struct Judgement
    {
        bool counting = true;
        int credited = 0; // minutes credited over the window
        int counted = 0;  // minutes the record grew by for them
        std::chrono::minutes window{0};
    };

    // A new run, or the site counts again after a wait: nothing before counts.
    void reset() { *this = SiteCount(); }
    // A minute was credited to `lesson` at `at` (the run's clock).
    void credited(const LessonKey& lesson, std::chrono::milliseconds at);
    // Ten minutes were credited since the last judgement: the next reading judges.
    bool judgementDue() const { return m_creditsSinceJudged >= kJudgeEvery; }
    // A reading of the record at `at`. When a judgement is due and the readings reach back far
    // enough, the judgement, else nothing.
    std::optional<Judgement> read(std::chrono::milliseconds at, const Figures& figures);

private:
    struct Reading
    {
        std::chrono::milliseconds at;
        Figures figures;
    };
    struct Credit
    {
        std::chrono::milliseconds at;
        LessonKey lesson;
    };
    // Over `window` before the reading `now`: nothing when no reading lies near its start or the
    // record gave no figure for a lesson credited in it.
    std::optional<Judgement> judge(const Reading& now, std::chrono::minutes window) const;

    std::deque<Reading> m_readings; // the last hour's, oldest first
    std::deque<Credit> m_credits;   // likewise
    int m_creditsSinceJudged = 0;
};

} // namespace lumora::study
