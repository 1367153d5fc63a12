#include "study/stall_watch.h"

namespace lumora::study {

namespace {

// Causes that a reload, a new login or the category opened again may mend. A player that fails
// on its own is the lesson's: opened again, then skipped.
bool wantsAnAnswer(StallCause cause)
{
    switch (cause) {
    case StallCause::NoSessionAnswer:
    case StallCause::PlayerSilent:
    case StallCause::NoCoursePage:
    case StallCause::NoVideo:
    case StallCause::SiteVideos:
        return true;
    case StallCause::None:
    case StallCause::PlayerNotOpen:
    case StallCause::VideoNotPlaying:
    case StallCause::LearnerNeeded:
    case StallCause::SiteDown:
    case StallCause::SiteTrouble:
    case StallCause::LoggingIn:
        break;
    }
    return false;
}

} // namespace

StallWatch::Step StallWatch::minuteClosed(StallCause cause, const QString& detail)
{
    if (cause == StallCause::None) {
        reset();
        return Step::None;
    }
    ++m_minutes;
    m_why = detail.isEmpty() ? shownText(stallCauseText(cause)) : detail;
    if (!wantsAnAnswer(cause))
        return Step::None;
    // The first round a step every two minutes from the third; then one step every ten.
    const int n = ++m_askingMinutes;
    int rung = -1;
    if (n == 3 || n == 5 || n == 7)
        rung = (n - 3) / 2;
    else if (n > 7 && (n - 7) % 10 == 0)
        rung = ((n - 7) / 10 - 1) % 3;
    switch (rung) {
    case 0:
        return Step::ReloadMainPage;
    case 1:
        return Step::LogInAgain;
    case 2:
        return Step::ReopenCategory;
    default:
        return Step::None;
    }
}

QString StallWatch::text() const
{
    if (m_minutes < kShowAfter)
        return {};
    return tr("%1 分钟未能计时：%2").arg(m_minutes).arg(m_why);
}

QString stallCauseText(StallCause cause)
{
    switch (cause) {
    case StallCause::None:
        return {};
    case StallCause::NoSessionAnswer:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "培训网站没有回答登录状态的查询"));
    case StallCause::PlayerNotOpen:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课件没有打开"));
    case StallCause::PlayerSilent:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课件没有响应"));
    case StallCause::NoCoursePage:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课程列表没有打开"));
    case StallCause::VideoNotPlaying:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课的视频没有播放"));
    case StallCause::LearnerNeeded:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课件在等待学员操作"));
    case StallCause::SiteDown:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "无法连接培训网站"));
    case StallCause::SiteTrouble:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "培训网站暂时无法服务（维护或故障）"));
    case StallCause::LoggingIn:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "正在重新登录"));
    case StallCause::NoVideo:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "课的页面上没有找到视频"));
    case StallCause::SiteVideos:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch",
                                                   "网站的视频暂时无法播放，正在等待网站恢复"));
    }
    return {};
}

const char* stallStepName(StallWatch::Step step)
{
    switch (step) {
    case StallWatch::Step::None:
        return "none";
    case StallWatch::Step::ReloadMainPage:
        return "reload the main page";
    case StallWatch::Step::LogInAgain:
        return "log in again";
    case StallWatch::Step::ReopenCategory:
        return "open the category again";
    }
    return "?";
}

} // namespace lumora::study

namespace lumora::study {

QString stallStepText(StallWatch::Step step)
{
    switch (step) {
    case StallWatch::Step::None:
        return {};
    case StallWatch::Step::ReloadMainPage:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "重新载入主页面"));
    case StallWatch::Step::LogInAgain:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "重新登录"));
    case StallWatch::Step::ReopenCategory:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("lumora::study::StallWatch", "重新打开课程列表"));
    }
    return {};
}

QString shownText(const QString& recordText)
{
    return StallWatch::tr(recordText.toUtf8().constData());
}

} // namespace lumora::study
