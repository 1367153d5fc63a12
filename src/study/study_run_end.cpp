// The study run's ends: the timetable done (the run ends, then says so, naming what it leaves
// unstudied), "退出课件", and the program quitting in the middle of a run.

#include "page/page_access.h"
#include "study/run_texts.h"
#include "study/study_run.h"

namespace lumora::study {

using records::RunEventKind;

void StudyRun::finishAllStudy()
{
    const QString text = RunTexts::ended(skippedNames(), unstudiedNames(false));
    // Nothing is left to study: the run ends first, once, as exit courseware ends it (the
    // site's exit button too, so that the last player stops reporting; the machine may sleep),
    // with no category opened again and no lesson clicked. The message may wait till morning.
    exitCourseware();
    // A timetable with lessons left is not finished: the panel keeps saying which.
    if (text != RunTexts::ended({}, {}))
        emit notice(text);
    m_platform.dialogs().message(text, RunTexts::endedTitle(), platform::MessageIcon::Information);
}

namespace {

QString namesOf(const QList<LessonKey>& lessons)
{
    QStringList names;
    for (const LessonKey& key : lessons)
        names << records::categoryNames().value(key.category) + records::lessonName(key.lesson);
    return names.join(QStringLiteral("、"));
}

} // namespace

QString StudyRun::skippedNames() const
{
    return namesOf(m_skipped);
}

QString StudyRun::runEndedDetail() const
{
    // Past the last category the timetable's every unfinished lesson is named; a run ended before
    // it names what it skipped.
    return records::isCategory(m_catalogue.category()) ? skippedNames() : unstudiedNames(true);
}

QString StudyRun::unstudiedNames(bool skippedToo) const
{
    // Lessons of the timetable that are not done: the site did not list them, the run started
    // past them, or (when asked) they were skipped.
    QList<LessonKey> left;
    for (int category = 0; category < records::kCategoryCount; ++category) {
        for (int lesson = 0; lesson < m_records.lessonCount(category); ++lesson) {
            const LessonKey key{category, lesson};
            if (!m_records.lesson(category, lesson)->done() &&
                (skippedToo || !m_skipped.contains(key)))
                left << key;
        }
    }
    return namesOf(left);
}

void StudyRun::exitCourseware()
{
    page::PageAccess page(m_views.main());
    if (page.complete()) {
        // A failing walk still lets the run end below.
        page::guarded([&] {
            page.clickEachMatch(page::kTopDocument, QStringLiteral("input"),
                                page::exactly(page::Field::Value, QStringLiteral("退出课件")));
        });
    }
    endRun(RunPhase::Ended);
}

void StudyRun::endRun(RunPhase phase, const QString& why)
{
    if (running()) {
        if (phase == RunPhase::Paused)
            report(RunEventKind::RunPaused, lessonIndex(), m_runMinutes, why);
        else
            report(RunEventKind::RunEnded, -1, m_runMinutes, runEndedDetail());
    }
    m_session.cancelRecovery();
    enterPhase(phase);
    emit playerShown(false);
    emit notice(why);
    updateStatus();
}

void StudyRun::shutDown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    if (running())
        report(RunEventKind::ProgramQuit, -1, m_runMinutes);
    enterPhase(RunPhase::Ended);
}

} // namespace lumora::study
