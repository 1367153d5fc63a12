#include "study/stall_watch.h"

namespace lumora::study {

namespace {

// Causes that a reload or the category opened again may mend. A player that fails on its own is
// the lesson's: opened again, then skipped; so is a page without a medium.
bool wantsAPage(StallCause cause)
{
    switch (cause) {
    case StallCause::PlayerSilent:
    case StallCause::NoCoursePage:
        return true;
    case StallCause::None:
    case StallCause::NoSessionAnswer:
    case StallCause::NoVideo:
    case StallCause::SiteVideos:
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
    m_slowMinutes = cause == StallCause::NoSessionAnswer ? m_slowMinutes + 1 : 0;
    m_why = detail.isEmpty() ? shownText(stallCauseText(cause)) : detail;
    if (!wantsAPage(cause))
        return Step::None;
    // A reload at the third such minute, the category at the fifth; then one of them in turn
    // every ten minutes.
    const int n = ++m_askingMinutes;
    if (n == 3)
        return Step::ReloadMainPage;
    if (n == 5)
        return Step::ReopenCategory;
    if (n > 5 && (n - 5) % 10 == 0)
        return (n - 5) / 10 % 2 == 1 ? Step::ReloadMainPage : Step::ReopenCategory;
    return Step::None;
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
        return QString::fromUtf8(QT_TRANSLATE_NOOP("lumora::study::StallWatch", "网站响应很慢"));
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
