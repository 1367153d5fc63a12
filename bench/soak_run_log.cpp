#include "soak_run_log.h"

#include "soak_clock.h"

namespace lumora::bench {

using records::RunEventKind;

QString RunLog::hour(std::int64_t atMs) const
{
    return QString::number(static_cast<double>(atMs - runStartMs) / kHour, 'f', 2);
}

void RunLog::take(const records::RunEvent& e, std::int64_t atMs)
{
    const Lesson lesson{e.category, e.lesson};
    const QString name = QStringLiteral("%1-%2").arg(e.category).arg(e.lesson + 1);
    events << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                  .arg(atMs)
                  .arg(static_cast<int>(e.kind))
                  .arg(e.category)
                  .arg(e.lesson)
                  .arg(e.minutes)
                  .arg(e.detail)
                  .toUtf8();
    switch (e.kind) {
    case RunEventKind::MinuteCredited:
        ++creditedBy[lesson];
        credits.push_back({atMs, lesson});
        if (e.minutes >= m_target(lesson))
            doneInRun.insert(lesson);
        break;
    case RunEventKind::SessionRecovered:
        ++recoveries;
        break;
    case RunEventKind::LessonSkipped:
        ++skipped;
        skippedLessons.insert(lesson);
        siteView << QStringLiteral("%1 h skipped %2").arg(hour(atMs), name);
        break;
    case RunEventKind::LessonGivenBack: // the site's trouble, not the lesson's
        ++givenBack;
        skippedLessons.erase(lesson);
        siteView << QStringLiteral("%1 h gave %2 back").arg(hour(atMs), name);
        break;
    case RunEventKind::PageFailed:
        ++reopened;
        break;
    case RunEventKind::Resumed:
        resumes << QString::number(e.minutes);
        break;
    case RunEventKind::LessonDone:
        if (!firstDone)
            firstDone = lesson;
        break;
    case RunEventKind::LessonOpened:
        ++linksClicked;
        break;
    case RunEventKind::LessonLeftShort:
        siteView << QStringLiteral("%1 h left %2 short (the site's %3 min)")
                        .arg(hour(atMs), name)
                        .arg(e.minutes);
        break;
    case RunEventKind::SiteStopped:
        siteView << QStringLiteral("%1 h the site stopped counting at %2: %3")
                        .arg(hour(atMs), name, e.detail);
        break;
    case RunEventKind::SiteCountsAgain:
        siteView << QStringLiteral("%1 h the site counts again, at %2").arg(hour(atMs), name);
        break;
    case RunEventKind::NoSiteRecord:
        siteView << QStringLiteral("%1 h no site record found").arg(hour(atMs));
        break;
    case RunEventKind::RunPaused:
        siteView << QStringLiteral("%1 h PAUSED: %2").arg(hour(atMs), e.detail);
        ended = true;
        paused = true;
        break;
    case RunEventKind::RunEnded:
        siteView << QStringLiteral("%1 h ended").arg(hour(atMs));
        ended = true;
        break;
    default:
        break;
    }
}

} // namespace lumora::bench
