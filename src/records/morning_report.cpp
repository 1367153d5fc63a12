#include "records/morning_report.h"

namespace lumora::records {

namespace {

const QLatin1StringView kDateTime("yyyy-MM-dd HH:mm");
const QLatin1StringView kTime("HH:mm");

QString section(const QString& title)
{
    return QStringLiteral("【%1】\n").arg(title);
}

// Lines of cells, columns padded to their widest cell (a monospaced font lines them up).
QString table(const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], row.at(i).size());
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i)
            cells << (i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i)) : row.at(i));
        text += cells.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString MorningReport::lessonText(const LessonKey& lesson)
{
    const QString category = categoryNames().value(lesson.category);
    return lesson.lesson < 0 ? category
                             : QStringLiteral("%1 %2").arg(category, lessonName(lesson.lesson));
}

QString MorningReport::period(const RunSummary& run)
{
    const bool sameDay = run.started.date() == run.ended.date();
    const int minutes = static_cast<int>(run.started.secsTo(run.ended) / 60);
    return tr("%1 至 %2（%3）")
        .arg(run.started.toString(kDateTime), run.ended.toString(sameDay ? kTime : kDateTime),
             formatDuration(minutes));
}

QString MorningReport::ending(const RunSummary& run)
{
    switch (run.end) {
    case RunEnd::Finished:
        return tr("学习结束");
    case RunEnd::Paused:
        return run.pauseReason.isEmpty() ? tr("学习暂停") : tr("学习暂停：%1").arg(run.pauseReason);
    case RunEnd::ProgramQuit:
        return tr("程序退出，学习中断");
    case RunEnd::Open:
        break;
    }
    return tr("没有结束的记录（仍在学习，或程序意外中断）");
}

QStringList MorningReport::details(const RunSummary& run)
{
    QStringList done;
    for (const LessonKey& lesson : run.lessonsDone)
        done << lessonText(lesson);
    QStringList skipped;
    for (const SkippedLesson& lesson : run.skipped)
        skipped << tr("%1（%2）")
                       .arg(lessonText(lesson.lesson),
                            lesson.why.isEmpty() ? tr("课件多次无法打开") : lesson.why);
    QStringList lines = {
        done.isEmpty() ? tr("学完的课：没有")
                       : tr("学完的课（%1 课）：%2").arg(done.size()).arg(done.join(tr("、"))),
        skipped.isEmpty() ? tr("跳过的课：没有") : tr("跳过的课：%1").arg(skipped.join(tr("；"))),
        run.longestStall == 0
            ? tr("未能计时：没有")
            : tr("最长一次未能计时：%1 分钟（%2）").arg(run.longestStall).arg(run.stallCause)};
    if (run.recoveries > 0)
        lines << tr("登录失效后重新登录：%1 次").arg(run.recoveries);
    if (run.restarts > 0)
        lines << tr("程序重新启动后继续学习：%1 次").arg(run.restarts);
    if (run.sleptMinutes > 0)
        lines << tr("电脑休眠：%1，其间不计学习时间").arg(formatDuration(run.sleptMinutes));
    if (run.saveFailures > 0)
        lines << tr("学习进度未能保存：%1 次").arg(run.saveFailures);
    if (run.siteStoppedAt.isValid())
        lines << tr("网站从 %1 起停止计时，此后不再记时：%2")
                     .arg(run.siteStoppedAt.toString(kDateTime), run.siteStopped);
    return lines;
}

QString MorningReport::siteLine(const SiteSummary& site)
{
    switch (site.place) {
    case RecordPlace::None:
        return tr("没有找到网站的学习记录页：这里的分钟数都是本程序自己记的，无法与网站核对，"
                  "请自己在网站上查看。");
    case RecordPlace::Unknown:
    case RecordPlace::Found:
        break;
    }
    if (site.lessons == 0 || !site.lastRead.isValid())
        return tr("还没有读到网站的学习记录：这里的分钟数是本程序自己记的，请自己在网站上查看。");
    return tr("网站的学习记录（%1 读取）：%2 课共 %3 分钟，本程序对这些课记了 %4 分钟。"
              "图中实心的是网站记的分钟，斜线的是本程序记的。")
        .arg(site.lastRead.toString(kDateTime))
        .arg(site.lessons)
        .arg(site.siteMinutes)
        .arg(site.programMinutes);
}

QStringList MorningReport::categoryHeaders()
{
    return {tr("类别"), tr("本次学习"), tr("已学完"), tr("还需")};
}

QStringList MorningReport::categoryCells(const CategoryBars& bars, int creditedMinutes)
{
    const auto done = std::count_if(bars.lessons.begin(), bars.lessons.end(),
                                    [](const LessonBar& bar) { return bar.done(); });
    return {bars.name, tr("%1 分钟").arg(creditedMinutes),
            tr("%1 / %2 课").arg(done).arg(bars.lessons.size()),
            bars.minutesLeft == 0 ? tr("全部学完") : formatDuration(bars.minutesLeft)};
}

QStringList MorningReport::historyHeaders()
{
    return {tr("开始"), tr("结束"),         tr("学习"),     tr("学完"),
            tr("跳过"), tr("最长未能计时"), tr("重新登录"), tr("结果")};
}

QStringList MorningReport::historyCells(const RunSummary& run)
{
    const QString ending = run.end == RunEnd::Paused ? tr("学习暂停") : MorningReport::ending(run);
    return {run.started.toString(kDateTime),     run.ended.toString(kDateTime),
            formatDuration(run.totalMinutes()),  tr("%1 课").arg(run.lessonsDone.size()),
            tr("%1 课").arg(run.skipped.size()), tr("%1 分钟").arg(run.longestStall),
            tr("%1 次").arg(run.recoveries),     ending};
}

QString MorningReport::exportText(const QList<RunSummary>& runs,
                                  const std::array<CategoryBars, kCategoryCount>& bars,
                                  const SiteSummary& site, const QString& record,
                                  const QDateTime& now)
{
    QString text = tr("Lumora 学习记录，导出于 %1").arg(now.toString(kDateTime)) +
                   QStringLiteral("\n\n") + section(tr("上次学习"));
    QList<QStringList> categories = {categoryHeaders()};
    if (runs.isEmpty()) {
        text += tr("还没有连续学习的记录。") + QLatin1Char('\n');
    } else {
        const RunSummary& last = runs.constFirst();
        text += period(last) + QStringLiteral("，") + ending(last) + QLatin1Char('\n');
        for (const QString& line : details(last))
            text += line + QLatin1Char('\n');
    }
    for (int category = 0; category < kCategoryCount; ++category)
        categories << categoryCells(bars.at(category),
                                    runs.isEmpty() ? 0 : runs.constFirst().minutes.at(category));
    text += QLatin1Char('\n') + section(tr("学习进度")) + siteLine(site) + QLatin1Char('\n') +
            table(categories);
    for (const CategoryBars& row : bars) {
        QStringList lessons;
        for (const LessonBar& bar : row.lessons)
            lessons << (bar.site
                            ? tr("%1/%2(网站%3)").arg(bar.studied).arg(bar.needed).arg(*bar.site)
                            : QStringLiteral("%1/%2").arg(bar.studied).arg(bar.needed));
        text += tr("%1 各课已学 / 需学分钟：%2").arg(row.name, lessons.join(QLatin1Char(' '))) +
                QLatin1Char('\n');
    }
    QList<QStringList> history = {historyHeaders()};
    for (const RunSummary& run : runs)
        history << historyCells(run);
    text += QLatin1Char('\n') + section(tr("以往的学习（最近 %1 次）").arg(RunHistory::kKept)) +
            table(history);
    text += QLatin1Char('\n') + section(tr("学习记录")) + record;
    if (!record.isEmpty() && !record.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text;
}

} // namespace lumora::records
