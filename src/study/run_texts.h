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
    // The lesson's medium is paused behind the page's question, in its words.
    static QString videoAsks(int lesson, const QString& pageAsks);
    // The session check has had no verdict for minutes: the site is slow.
    static QString siteSlow();
    // The lesson's player is opened again because it was found `state`.
    static QString reopening(PlayerState state);
    static QString skipped(int lesson);
    // The lesson is skipped for `why` (a Reason's shown words).
    static QString skippedFor(int lesson, const QString& why);
    static QString siteVideos();
    static QString noVideo(int lesson, const QString& pageSays);
    // The lesson's page shows a document rather than a video or audio.
    static QString documentLesson(int lesson, const QString& pageSays);
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

    // Why a lesson is opened again or skipped: in Chinese as the run record keeps it whatever
    // the learner reads (the record is read back), and as the learner reads it.
    struct Reason
    {
        QString recorded;
        QString shown;
    };
    // Its page went to another by itself.
    static Reason leftByItself();
    // Its medium has neither played nor been paused for `minutes`.
    static Reason mediumStill(int minutes);
    // The site check finds no site while the page is open.
    static Reason siteUnreachable();
    // Its page has no video or audio (shows a document when `document`); `pageSays`: its words.
    static Reason noMedium(bool document, const QString& pageSays);
    // The site's videos have failed for `minutes`, lesson after lesson.
    static Reason siteVideosTooLong(int minutes);
};

} // namespace lumora::study
