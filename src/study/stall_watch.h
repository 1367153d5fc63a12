#pragma once

// Minutes that earn nothing. A run whose minutes go uncredited for want of a page (a player that
// does not answer, a course page that does not come) does what a person at the machine would:
// reloads the main page, then opens the category again; then goes on trying at a slower pace.
// It never logs in for them: an ended session shows itself (the login page, the session check's
// verdict) and is logged in again at once. Trouble the site itself announces (no connection, an
// error status, its videos failing lesson after lesson), a slow site, a page without a medium
// and a page waiting for the learner are waited out instead: nothing a reload would mend. From
// the third such minute the study panel and the tray say so. Pure logic: the study run tells it
// how each minute ended.

#include <QCoreApplication>
#include <QString>

namespace lumora::study {

// Why a minute earned nothing.
enum class StallCause
{
    None,            // it was credited
    NoSessionAnswer, // the site gave no verdict on the session (it is slow)
    PlayerNotOpen,   // the lesson's player did not open, or loaded nothing
    PlayerSilent,    // the lesson's player does not answer
    NoCoursePage,    // the course page or the category's lesson list did not come
    VideoNotPlaying, // the lesson's video did not play most of the minute
    LearnerNeeded,   // the page waits for the learner (a question, a paused video)
    SiteDown,        // the site could not be reached
    SiteTrouble,     // the site answers with server errors (maintenance, an outage)
    LoggingIn,       // the program is logging in again
    NoVideo,    // no video or audio was found on the lesson's page (a message page, a document ...)
    SiteVideos, // lesson after lesson fails the same way: the site's videos, not the lesson
};

class StallWatch
{
    Q_DECLARE_TR_FUNCTIONS(lumora::study::StallWatch)
public:
    enum class Step
    {
        None,
        ReloadMainPage,
        ReopenCategory,
    };

    // Minutes in a row without a credit from which the learner is told.
    static constexpr int kShowAfter = 3;
    // Minutes in a row without a verdict on the session from which the site is called slow.
    static constexpr int kSlowAfter = 3;

    // A minute closed; the step to take now, if any. `detail`: the cause in the learner's words
    // where its own are not enough (what the page said instead of showing a video).
    Step minuteClosed(StallCause cause, const QString& detail = {});
    // A new run, or a credited minute.
    void reset() { *this = StallWatch(); }

    // Minutes in a row without a credit.
    int minutes() const { return m_minutes; }
    // The site gave no verdict on the session for the last kSlowAfter minutes or more.
    bool siteSlow() const { return m_slowMinutes >= kSlowAfter; }
    // "N 分钟未能计时：…" once the stall is long enough to tell; empty otherwise.
    QString text() const;

private:
    int m_minutes = 0;
    int m_askingMinutes = 0; // of them, minutes that wanted a page the site did not give
    int m_slowMinutes = 0;   // the last of them in a row without a verdict on the session
    QString m_why;           // why the last one earned nothing, in the learner's words
};

// The cause and the step in Chinese, as the run record keeps them whatever the learner reads
// (the record is read back); shownText() gives the learner's language.
QString stallCauseText(StallCause cause);
QString stallStepText(StallWatch::Step step);
QString shownText(const QString& recordText);
// The step in words for the logs.
const char* stallStepName(StallWatch::Step step);

} // namespace lumora::study
