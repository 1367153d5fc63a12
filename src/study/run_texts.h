#pragma once

// What the study run tells the learner, in one place: the panel's notices, the reasons a run
// pauses, the run record's details and the end of the run's message.

#include "study/player_watch.h"

#include <QCoreApplication>
#include <QString>

namespace lumora::study {

class RunTexts
{
    Q_DECLARE_TR_FUNCTIONS(RunTexts)
public:
    // The notice before the first run, and its title.
    static QString startNotice();
    static QString startNoticeTitle();
    // The end of the timetable: "学习已结束!" when every lesson was studied, else the lessons
    // skipped and those never reached, by name (either may be empty).
    static QString ended(const QString& skipped, const QString& unreached);
    static QString endedTitle();

    static QString categoryLate();
    static QString categoryLateRecord();
    // A category whose list on the site differs from the timetable.
    static QString listDiffers(const QString& category, int listed, int timetable);
    static QString cannotPlay();
    static QString videoPaused(int lesson);
    // The lesson's player is opened again because it was found `state`.
    static QString reopening(PlayerState state);
    static QString skipped(int lesson);
    static QString siteVideos();
    static QString noVideo(int lesson, const QString& pageSays);
    static QString videoFailed();
    static QString loginsFailed(int times);
    // The site's record grew by `counted` minutes over the last `window` minutes in which the
    // program credited more than twice as many; `pageSays`: the page's own words, if any.
    static QString siteStopped(long long window, int counted, const QString& pageSays = {});
    // The player's page says the site counts no more today.
    static QString siteSaysStopped(const QString& pageSays);
    // The site has no record page the program can read.
    static QString noRecord();
    // A lesson with the site's figure and the program's.
    static QString bothCounts(const QString& lesson, int siteMinutes, int programMinutes);
};

} // namespace lumora::study
