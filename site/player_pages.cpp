#include "pages.h"

#include "catalogue.h"

// The player's pages: the player, the frame of another origin that plays its video, the entry
// page before it and the message page in its place.
namespace lumora::site::pages {

using namespace Qt::StringLiterals;

namespace {

// What plays the lesson, with the controls around it: the question that pauses it, what starts
// it (see PlayerStart) and the label of a pre-roll.
QString playerStage(const PlayerPage& page)
{
    if (page.media == "pdf"_L1) {
        return fill(u"player_stage_pdf.html"_s);
    }
    QString medium = fill(u"player_medium_video.html"_s);
    if (page.media == "audio"_L1) {
        medium = fill(u"player_medium_audio.html"_s);
    } else if (page.media.startsWith("shadow-"_L1)) {
        medium = fill(u"player_medium_shadow.html"_s, {{"MODE", page.media.sliced(7)}});
    }
    QString start;
    if (page.start == "button"_L1 || page.start == "resume"_L1) {
        start = fill(u"player_start_%1.html"_s.arg(page.start));
    }
    return fill(u"player_stage.html"_s,
                {{"MEDIUM", medium},
                 {"AD", page.prerollSeconds > 0 ? fill(u"player_ad.html"_s) : QString()},
                 {"OVERLAY_TEXT", page.overlayText},
                 {"OVERLAY_BUTTON", page.overlayButton},
                 {"START", start}});
}

} // namespace

QString player(const QByteArray& charset, const PlayerPage& page)
{
    const QString title = lessonTitle(page.category, page.lesson);
    const bool remote = !page.videoFrame.isEmpty();
    return document(
        charset, title + u" - 课件播放"_s,
        fill(u"player.html"_s,
             {{"CAT", QString::number(page.category)},
              {"LESSON", QString::number(page.lesson)},
              {"PLAYER", page.playerId},
              {"HEARTBEAT_MS", QString::number(page.heartbeatMs)},
              {"HANG", page.hangs ? u"1"_s : u"0"_s},
              {"MEDIA", page.media},
              {"VIDEO_SECONDS", QString::number(page.videoSeconds)},
              {"OVERLAY_AFTER", QString::number(page.overlayAfterSeconds)},
              {"TIME_SCALE", page.timeScale > 0 ? QString::number(page.timeScale) : QString()},
              {"AUTO_NEXT", QString::number(page.autoNextSeconds)},
              {"NEXT", page.next},
              {"PROGRESS_SECONDS", QString::number(page.progressSeconds)},
              {"START", page.start},
              {"PREROLL", QString::number(page.prerollSeconds)},
              {"TITLE", title},
              {"STAGE", remote ? fill(u"player_remote.html"_s, {{"SRC", page.videoFrame}})
                               : playerStage(page)},
              {"SCRIPT", remote ? script(u"player.js"_s)
                                : script(u"player_video.js"_s) + script(u"player.js"_s)}}),
        u"player-page"_s);
}

QString videoFrame(const QByteArray& charset, const PlayerPage& page)
{
    const QString title = lessonTitle(page.category, page.lesson);
    return document(
        charset, title,
        fill(u"video_frame.html"_s,
             {{"HEARTBEAT_MS", QString::number(page.heartbeatMs)},
              {"MEDIA", page.media},
              {"VIDEO_SECONDS", QString::number(page.videoSeconds)},
              {"OVERLAY_AFTER", QString::number(page.overlayAfterSeconds)},
              {"TIME_SCALE", page.timeScale > 0 ? QString::number(page.timeScale) : QString()},
              {"START", page.start},
              {"PREROLL", QString::number(page.prerollSeconds)},
              {"TITLE", title},
              {"STAGE", playerStage(page)},
              {"SCRIPT", script(u"player_video.js"_s) + script(u"player_frame.js"_s)}}),
        u"player-page"_s);
}

QString playerEntry(const QByteArray& charset, int category, int lesson, qint64 delayMs, bool post)
{
    const QString k = QString::number(category);
    const QString m = QString::number(lesson);
    return document(
        charset, lessonTitle(category, lesson),
        fill(u"player_enter.html"_s,
             {{"TARGET", u"/player/play?cat=%1&lesson=%2"_s.arg(k, m)},
              {"DELAY_MS", QString::number(delayMs)},
              {"METHOD", post ? u"post"_s : u"replace"_s},
              {"FORM", post ? fill(u"player_enter_form.html"_s, {{"K", k}, {"M", m}}) : QString()},
              {"SCRIPT", script(u"player_enter.js"_s)}}));
}

QString playerMessage(const QByteArray& charset, int category, int lesson, const QString& message)
{
    return document(charset, lessonTitle(category, lesson),
                    fill(u"player_message.html"_s, {{"MESSAGE", message}}));
}

} // namespace lumora::site::pages
