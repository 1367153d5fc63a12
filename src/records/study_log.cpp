#include "records/study_log.h"

#include "platform/logging.h"
#include "records/timetable.h"

#include <QDateTime>
#include <QDir>

namespace lumora::records {

namespace {

constexpr qsizetype kMaxDetailChars = 300;

// "基础理论 第 3 课", "基础理论", or empty when the event names neither.
QString place(const RunEvent& event)
{
    QStringList parts;
    if (isCategory(event.category))
        parts << categoryNames().at(event.category);
    if (event.lesson >= 0)
        parts << lessonName(event.lesson);
    return parts.join(QLatin1Char(' '));
}

// The detail comes from pages and file systems: one line of printable text, of bounded length.
// Line breaks of any kind are white space to simplified(); other control characters (escape
// sequences for a terminal that shows the file) become spaces first.
QString oneLine(const QString& text)
{
    QString line = text.left(kMaxDetailChars);
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return line.simplified();
}

QString withPlace(const QString& what, const RunEvent& event)
{
    const QString where = place(event);
    return where.isEmpty() ? what : QStringLiteral("%1：%2").arg(what, where);
}

QString withDetail(const QString& text, const RunEvent& event)
{
    const QString detail = oneLine(event.detail);
    return detail.isEmpty() ? text : QStringLiteral("%1（%2）").arg(text, detail);
}

} // namespace

QString describeRunEvent(const RunEvent& event)
{
    switch (event.kind) {
    case RunEventKind::RunStarted:
        return withPlace(QStringLiteral("开始连续学习"), event);
    case RunEventKind::CategoryOpened:
        return withPlace(QStringLiteral("打开类别"), event);
    case RunEventKind::LessonOpened:
        return withPlace(QStringLiteral("打开课程"), event);
    case RunEventKind::MinuteCredited:
        return withPlace(QStringLiteral("记入 1 分钟"), event) +
               QStringLiteral("，本课已学 %1 分钟").arg(event.minutes);
    case RunEventKind::LessonDone:
        return withPlace(QStringLiteral("本课学完"), event);
    case RunEventKind::LessonSkipped:
        return withDetail(withPlace(QStringLiteral("本次跳过"), event), event);
    case RunEventKind::CategoryFinished:
        return withPlace(QStringLiteral("类别学完"), event);
    case RunEventKind::SaveFailed:
        return QStringLiteral("无法保存学习进度：%1").arg(oneLine(event.detail));
    case RunEventKind::PageFailed:
        return withDetail(withPlace(QStringLiteral("课程打开失败"), event), event);
    case RunEventKind::LessonReopened:
        return withDetail(withPlace(QStringLiteral("重新打开课程"), event), event);
    case RunEventKind::SessionRecovered:
        return withPlace(QStringLiteral("登录已失效，已重新登录"), event);
    case RunEventKind::RunPaused:
        return withDetail(QStringLiteral("学习暂停"), event);
    case RunEventKind::RunEnded:
        return event.detail.isEmpty()
                   ? QStringLiteral("学习结束，本次共学习 %1 分钟").arg(event.minutes)
                   : QStringLiteral("学习结束，本次共学习 %1 分钟，没有学完的课：%2")
                         .arg(event.minutes)
                         .arg(oneLine(event.detail));
    case RunEventKind::VideoFailed:
        return withDetail(withPlace(QStringLiteral("课程视频无法播放，不计学习时间"), event),
                          event);
    case RunEventKind::Resumed:
        return QStringLiteral("电脑休眠了 %1 分钟，其间不计学习时间；学习继续").arg(event.minutes);
    case RunEventKind::ProgramQuit:
        return QStringLiteral("程序退出，学习中断，本次共学习 %1 分钟").arg(event.minutes);
    case RunEventKind::RunRestarted:
        return withPlace(QStringLiteral("程序重新启动，继续被中断的学习"), event);
    case RunEventKind::Stalled:
        return withDetail(withPlace(QStringLiteral("%1 分钟未能计时").arg(event.minutes), event),
                          event);
    case RunEventKind::ListDiffers:
        return withDetail(withPlace(QStringLiteral("课程列表与学习计划不同"), event), event);
    case RunEventKind::PhaseChanged:
        return withPlace(QStringLiteral("阶段：%1").arg(oneLine(event.detail)), event);
    case RunEventKind::LessonLeftShort:
        return withPlace(QStringLiteral("网站记的学时还不够，先学下一课，稍后再看"), event) +
               QStringLiteral("，网站记了 %1 分钟").arg(event.minutes);
    case RunEventKind::SiteStopped:
        return withDetail(withPlace(QStringLiteral("网站停止计时，不再记时"), event), event);
    case RunEventKind::SiteCountsAgain:
        return withPlace(QStringLiteral("网站恢复计时，继续学习"), event);
    case RunEventKind::NoSiteRecord:
        return QStringLiteral("没有找到网站的学习记录页，学习时间无法与网站核对");
    case RunEventKind::LessonGivenBack:
        return withPlace(QStringLiteral("网站的视频暂时无法播放，不是课的问题：跳过的课重新学习"),
                         event);
    }
    return QStringLiteral("未知事件 %1").arg(static_cast<int>(event.kind));
}

StudyLog::StudyLog(const QString& dataFolder) : m_file(pathIn(dataFolder)) {}

QString StudyLog::pathIn(const QString& dataFolder)
{
    return dataFolder.isEmpty() ? QString()
                                : QDir(dataFolder).filePath(QStringLiteral("study-log.txt"));
}

QString StudyLog::previousPathIn(const QString& dataFolder)
{
    return platform::RotatingFile::previousPathOf(pathIn(dataFolder));
}

void StudyLog::record(const RunEvent& event)
{
    const QString text =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
        QStringLiteral("  ") + describeRunEvent(event) + QLatin1Char('\n');
    const platform::RotatingFile::NewFailures failures = m_file.append(text.toUtf8());
    if (failures.rotate)
        qCWarning(lcState) << "cannot rotate the run record" << path() << "to" << previousPath();
    if (failures.write)
        qCWarning(lcState) << "cannot write the run record"
                           << (path().isEmpty() ? QStringLiteral("(no data folder)") : path())
                           << "- run events are not recorded until it can be written";
}

} // namespace lumora::records
