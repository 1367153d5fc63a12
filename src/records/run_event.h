#pragma once

// What happens during a study run, as the study run reports it to whoever keeps a record of it or
// tells the learner (the run record, the tray, the window's "学习记录" view). Plain data, so that
// none of them depends on the run; categories and lessons count from 0.

#include <QString>

namespace lumora::records {

enum class RunEventKind
{
    RunStarted,       // "连续学习" started a run (category)
    CategoryOpened,   // a category's course was opened on the site (category)
    LessonOpened,     // a lesson's player was asked for (category, lesson)
    MinuteCredited,   // one minute was credited (category, lesson, minutes: studied after it)
    LessonDone,       // a lesson's studied minutes passed its requirement (category, lesson)
    LessonSkipped,    // a lesson whose player kept failing is left for this run (category, lesson)
    CategoryFinished, // the last lesson of a category is done (category)
    SaveFailed,       // the state file could not be written (detail: the path)
    PageFailed,       // the lesson's player did not open (category, lesson, detail: why)
    SessionRecovered, // the site's session ended and the program logged in again (category)
    RunPaused,        // the run stopped and needs the learner (detail: why)
    RunEnded,         // the run ended (minutes: credited in it; detail: lessons left unstudied)
    VideoFailed,      // the lesson's video cannot play (category, lesson, detail: the error)
    Resumed,          // the machine slept and the run goes on (minutes: how long it slept)
    ProgramQuit,      // the program ended in the middle of a run (minutes: credited in it)
    RunRestarted,     // started again after a restart cut a run short, it goes on (category)
    Stalled,          // minutes in a row earned nothing (minutes; detail: why, or the step taken)
    ListDiffers,      // the site lists a category's lessons unlike the timetable (detail: how)
    LessonGivenBack,  // a skipped lesson failed as the next did: the site's trouble (lesson)
    PhaseChanged,     // the run entered another phase (detail: the phase, in Chinese)
    LessonLeftShort,  // a done lesson was left before the site's record showed its minutes
                      // (lesson; minutes: the site's figure)
    SiteStopped,      // the site stopped counting: nothing is credited (detail: why)
    SiteCountsAgain,  // the site counts again after it stopped: the run goes on (lesson)
    NoSiteRecord,     // the site has no study record to check the minutes against
    LessonReopened,   // the lesson's player, open, is opened again (category, lesson, detail: why)
};

struct RunEvent
{
    RunEventKind kind = RunEventKind::RunStarted;
    int category = -1;
    int lesson = -1;
    int minutes = 0;
    QString detail;
    // The detail in the learner's language where the record keeps it in Chinese; empty: the same.
    QString shownDetail = {};
};

} // namespace lumora::records
