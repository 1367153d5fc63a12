#pragma once

// The phase of a study run: one value that says what the run is doing, which the study panel,
// the tray and the run record show, and by which every tick acts.

#include <QCoreApplication>
#include <QString>

namespace lumora::study {

enum class RunPhase
{
    Idle,           // no run yet
    Opening,        // a category is opened on the site (its list, the lesson to study)
    Studying,       // the lesson's player plays, and its minutes are credited
    LeavingLesson,  // the lesson's minutes are done: its player stays until the site's record
                    // shows them (or a while has passed)
    WaitingForSite, // the site stopped counting: no player open, its record asked now and then
    Recovering,     // the session ended: logging in again
    Paused,         // stopped until the learner starts it again
    Ended,          // ended: the timetable done, or "退出课件"
};

// Whether the study clock runs (and the machine is kept awake) in `phase`.
constexpr bool clockRuns(RunPhase phase)
{
    return phase == RunPhase::Opening || phase == RunPhase::Studying ||
           phase == RunPhase::LeavingLesson || phase == RunPhase::WaitingForSite ||
           phase == RunPhase::Recovering;
}

// For the logs.
const char* phaseName(RunPhase phase);

class RunPhaseTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::study::RunPhaseTexts)
public:
    // The phase in the learner's words ("正在学习"); the run record keeps it in Chinese.
    static QString shown(RunPhase phase);
    static QString recorded(RunPhase phase);
};

} // namespace lumora::study
