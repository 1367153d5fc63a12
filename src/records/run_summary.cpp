#include "records/run_summary.h"

#include <numeric>

namespace lumora::records {

int RunSummary::totalMinutes() const
{
    return std::accumulate(minutes.begin(), minutes.end(), 0);
}

RunSummary* RunHistory::openRun()
{
    if (m_runs.isEmpty() || m_runs.last().end != RunEnd::Open)
        return nullptr;
    return &m_runs.last();
}

void RunHistory::add(const RecordedEvent& recorded)
{
    const RunEvent& event = recorded.event;
    if (event.kind == RunEventKind::RunRestarted) {
        // The run it starts at once goes on with the one the program quit (or was cut off) in.
        const bool cut = !m_runs.isEmpty() && (m_runs.last().end == RunEnd::ProgramQuit ||
                                               m_runs.last().end == RunEnd::Open);
        m_restartedAt = cut ? recorded.at : QDateTime();
        return;
    }
    if (event.kind == RunEventKind::RunStarted) {
        const QDateTime restartedAt = std::exchange(m_restartedAt, QDateTime());
        if (restartedAt.isValid() && restartedAt.secsTo(recorded.at) <= kRestartSeconds) {
            RunSummary& run = m_runs.last();
            run.end = RunEnd::Open;
            run.ended = recorded.at;
            ++run.restarts;
            return;
        }
        RunSummary run;
        run.started = run.ended = recorded.at;
        m_runs.append(run);
        m_lastFailure.clear();
        if (m_runs.size() > kKept)
            m_runs.removeFirst();
        return;
    }
    RunSummary* run = openRun();
    if (!run)
        return;
    run->ended = recorded.at;
    const LessonKey lesson{event.category, event.lesson};
    switch (event.kind) {
    case RunEventKind::MinuteCredited:
        if (isCategory(event.category))
            ++run->minutes.at(event.category);
        break;
    case RunEventKind::LessonDone:
        run->lessonsDone.append(lesson);
        break;
    case RunEventKind::PageFailed:
        m_lastFailure.insert(lesson, event.detail);
        break;
    case RunEventKind::LessonSkipped:
        run->skipped.append(
            {lesson, event.detail.isEmpty() ? m_lastFailure.value(lesson) : event.detail});
        break;
    case RunEventKind::Stalled:
        if (event.minutes > run->longestStall) {
            run->longestStall = event.minutes;
            run->stallCause = event.detail;
        }
        break;
    case RunEventKind::SessionRecovered:
        ++run->recoveries;
        break;
    case RunEventKind::Resumed:
        run->sleptMinutes += event.minutes;
        break;
    case RunEventKind::SaveFailed:
        ++run->saveFailures;
        break;
    case RunEventKind::RunPaused:
        run->end = RunEnd::Paused;
        run->pauseReason = event.detail;
        break;
    case RunEventKind::RunEnded:
        run->end = RunEnd::Finished;
        break;
    case RunEventKind::ProgramQuit:
        run->end = RunEnd::ProgramQuit;
        break;
    case RunEventKind::SiteStopped:
        run->siteStoppedAt = recorded.at;
        run->siteStopped = event.detail;
        break;
    case RunEventKind::SiteCountsAgain:
        run->siteStoppedAt = {};
        run->siteStopped.clear();
        break;
    default:
        break;
    }
}

void RunHistory::addText(const QString& recordText)
{
    for (const RecordedEvent& recorded : readRecordText(recordText))
        add(recorded);
}

QList<RunSummary> RunHistory::runs() const
{
    return {m_runs.rbegin(), m_runs.rend()};
}

std::array<CategoryBars, kCategoryCount> timetableBars(const MinuteRecords& records,
                                                       const SiteFigures* figures)
{
    const bool found = figures && figures->place() == RecordPlace::Found;
    std::array<CategoryBars, kCategoryCount> bars;
    for (int category = 0; category < kCategoryCount; ++category) {
        CategoryBars& row = bars.at(category);
        row.name = categoryNames().at(category);
        for (int lesson = 0; lesson < records.lessonCount(category); ++lesson) {
            const LessonMinutes minutes = *records.lesson(category, lesson);
            LessonBar bar{minutes.studied, minutes.target()};
            if (const auto figure = found ? figures->lesson(category, lesson) : std::nullopt)
                bar.site = figure->minutes();
            row.minutesLeft += bar.left();
            row.lessons.append(bar);
        }
    }
    return bars;
}

SiteSummary siteSummary(const MinuteRecords& records, const SiteFigures* figures)
{
    SiteSummary summary;
    if (!figures)
        return summary;
    summary.place = figures->place();
    summary.lastRead = figures->lastRead();
    for (int category = 0; category < kCategoryCount; ++category) {
        for (int lesson = 0; lesson < records.lessonCount(category); ++lesson) {
            if (const auto figure = figures->lesson(category, lesson)) {
                ++summary.lessons;
                summary.siteMinutes += figure->minutes();
                summary.programMinutes += records.lesson(category, lesson)->studied;
            }
        }
    }
    return summary;
}

} // namespace lumora::records
