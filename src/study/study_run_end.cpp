// The study run's ends: the timetable done (lessons the site still counts short gone back to
// once; then the run ends and says so, naming what it leaves unstudied with the site's figure
// beside the program's), "退出课件", and the program quitting in the middle of a run.

#include "page/page_access.h"
#include "study/run_texts.h"
#include "study/study_run.h"

namespace lumora::study {

using records::RunEventKind;

void StudyRun::finishAllStudy()
{
    // A lesson left before the site had its minutes is the night's last chance.
    if (running()) {
        if (const std::optional<LessonKey> back = lessonToGoBackTo(-1, true))
            return openCategoryAt(back->category, back->lesson);
    }
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

QString nameOf(const LessonKey& key)
{
    return records::categoryNames().value(key.category) + records::lessonName(key.lesson);
}

QString namesOf(const QList<LessonKey>& lessons)
{
    QStringList names;
    for (const LessonKey& key : lessons)
        names << nameOf(key);
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
    // Lessons of the timetable with work left: the site counts them short, the site did not
    // list them, the run started past them, or (when asked) they were skipped. Where the site's
    // record gave a figure, both counts are named.
    QStringList names;
    for (int category = 0; category < records::kCategoryCount; ++category) {
        for (int lesson = 0; lesson < m_records.lessonCount(category); ++lesson) {
            const LessonKey key{category, lesson};
            if (!needsStudy(category, lesson) || (!skippedToo && m_skipped.contains(key)))
                continue;
            const auto figure = m_figures.lesson(category, lesson);
            names << (figure && m_record.place() == records::RecordPlace::Found
                          ? RunTexts::bothCounts(nameOf(key), figure->minutes(),
                                                 m_records.lesson(category, lesson)->studied)
                          : nameOf(key));
        }
    }
    return names.join(QStringLiteral("、"));
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
    m_siteWait = {};
    enterPhase(phase);
    // Nothing goes on reporting to the site while the run is over.
    pressPlayerExit();
    closePlayer();
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
