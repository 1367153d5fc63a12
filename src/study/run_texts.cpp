#include "study/run_texts.h"

#include "records/timetable.h"

namespace lumora::study {

QString RunTexts::startNotice()
{
    return tr("学习结束后自己查询学习时间是否已达到要求！");
}

QString RunTexts::startNoticeTitle()
{
    return tr("欢迎免费合作订制各类网络培训软件");
}

QString RunTexts::ended(const QString& skipped, const QString& unreached)
{
    if (skipped.isEmpty() && unreached.isEmpty())
        return tr("学习已结束!");
    QString text = tr("学习已结束，但还有课没有学完。");
    if (!skipped.isEmpty())
        text += tr("以下课的页面多次无法打开，本次跳过：%1。").arg(skipped);
    if (!unreached.isEmpty())
        text += tr("以下课没有学够：%1。").arg(unreached);
    return text + tr("请稍后再按“连续学习”补学。");
}

QString RunTexts::endedTitle()
{
    return tr("欢迎免费合作订制各类自动学习软件");
}

QString RunTexts::categoryLate()
{
    return tr("课程列表没有按时打开，稍后重试");
}

QString RunTexts::categoryLateRecord()
{
    return tr("课程列表没有按时打开");
}

QString RunTexts::listDiffers(const QString& category, int listed, int timetable)
{
    return tr("网站上%1的课程列表有 %2 课，学习计划有 %3 课")
        .arg(category)
        .arg(listed)
        .arg(timetable);
}

QString RunTexts::cannotPlay()
{
    return tr("此电脑无法播放该网站的视频格式，学习已暂停，不计学习时间。"
              "请换用能播放该格式的 Lumora 版本后再学习。");
}

QString RunTexts::videoPaused(int lesson)
{
    return tr("%1的视频已暂停，等待学员操作（例如回答页面上的问题），暂停期间不计学习时间")
        .arg(records::lessonName(lesson));
}

QString RunTexts::videoAsks(int lesson, const QString& pageAsks)
{
    return tr("%1的视频已暂停，页面上写着：%2。请在课件上回答，暂停期间不计学习时间")
        .arg(records::lessonName(lesson), pageAsks);
}

QString RunTexts::siteSlow()
{
    return tr("网站响应很慢，暂时无法确认登录状态，不计学习时间，正在等待网站");
}

QString RunTexts::reopening(PlayerState state)
{
    switch (state) {
    case PlayerState::SiteDown:
    case PlayerState::Open: // open, while the site check finds no site
        return tr("无法连接培训网站，本分钟不计学习时间，正在重新打开课件");
    case PlayerState::SiteTrouble:
        return tr("培训网站暂时无法服务，本分钟不计学习时间，稍后重新打开课件");
    case PlayerState::LeftLesson:
        return tr("课件离开了本课的页面，本分钟不计学习时间，正在重新打开本课");
    default:
        return tr("课件没有打开，正在重新打开");
    }
}

QString RunTexts::skipped(int lesson)
{
    return tr("%1的页面多次无法打开，本次学习跳过该课").arg(records::lessonName(lesson));
}

QString RunTexts::skippedFor(int lesson, const QString& why)
{
    return tr("%1本次学习跳过：%2").arg(records::lessonName(lesson), why);
}

QString RunTexts::siteVideos()
{
    return tr("网站的视频暂时无法播放，一课接一课出现同样的问题，不是课的问题：不跳过任何课，"
              "不计学习时间，等待网站恢复后继续");
}

QString RunTexts::noVideo(int lesson, const QString& pageSays)
{
    return tr("第 %1 课的页面上没有找到视频：%2").arg(lesson + 1).arg(pageSays);
}

QString RunTexts::documentLesson(int lesson, const QString& pageSays)
{
    return tr("第 %1 课的页面是文档，没有视频或音频：%2").arg(lesson + 1).arg(pageSays);
}

QString RunTexts::videoFailed()
{
    return tr("课的视频打不开（网站的视频文件缺失或无法读取）");
}

QString RunTexts::loginsFailed(int times)
{
    return tr("登录后很快又失效，已连续重新登录 %1 次仍未能计时，学习已暂停。"
              "请检查网站能否正常学习后再按“连续学习”。")
        .arg(times);
}

QString RunTexts::siteStopped(long long window, int counted, const QString& pageSays)
{
    const QString text =
        tr("网站已停止计时（近 %1 分钟只记了 %2 分钟）：可能今日学时已满，或网站的计时出了问题")
            .arg(window)
            .arg(counted);
    return (pageSays.isEmpty() ? text : tr("%1；网页上写着：%2").arg(text, pageSays)) +
           tr("。程序不再记时，每 30 分钟查看一次网站是否恢复计时。");
}

QString RunTexts::siteSaysStopped(const QString& pageSays)
{
    return tr("网站已停止计时，网页上写着：%1。程序不再记时，每 30 分钟查看一次网站是否恢复计时。")
        .arg(pageSays);
}

QString RunTexts::noRecord()
{
    return tr("没有找到网站的学习记录页：学习时间只是本程序自己记的，无法与网站核对。"
              "请自己在网站上查看学习时间。");
}

QString RunTexts::bothCounts(const QString& lesson, int siteMinutes, int programMinutes)
{
    return tr("%1（网站记了 %2 分钟，本程序记了 %3 分钟）")
        .arg(lesson)
        .arg(siteMinutes)
        .arg(programMinutes);
}

namespace {

// A reason whose words need no filling in.
RunTexts::Reason reason(const char* chinese)
{
    return {QString::fromUtf8(chinese), RunTexts::tr(chinese)};
}

} // namespace

RunTexts::Reason RunTexts::leftByItself()
{
    return reason(QT_TRANSLATE_NOOP("RunTexts", "课件页面自己转到了别处"));
}

RunTexts::Reason RunTexts::mediumStill(int minutes)
{
    const char* text = QT_TRANSLATE_NOOP("RunTexts", "课件的视频 %1 分钟既没有播放也没有暂停");
    return {QString::fromUtf8(text).arg(minutes), tr(text).arg(minutes)};
}

RunTexts::Reason RunTexts::siteUnreachable()
{
    return reason(QT_TRANSLATE_NOOP("RunTexts", "无法连接培训网站"));
}

RunTexts::Reason RunTexts::noMedium(bool document, const QString& pageSays)
{
    Reason why = reason(document ? QT_TRANSLATE_NOOP("RunTexts", "课件是文档，没有视频或音频")
                                 : QT_TRANSLATE_NOOP("RunTexts", "页面上没有找到视频或音频"));
    if (!pageSays.isEmpty()) {
        why.recorded += QStringLiteral("：") + pageSays;
        why.shown += tr("：") + pageSays;
    }
    return why;
}

RunTexts::Reason RunTexts::siteVideosTooLong(int minutes)
{
    const char* text = QT_TRANSLATE_NOOP("RunTexts", "网站的视频 %1 分钟一直无法播放");
    return {QString::fromUtf8(text).arg(minutes), tr(text).arg(minutes)};
}

} // namespace lumora::study
