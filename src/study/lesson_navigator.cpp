#include "study/lesson_navigator.h"

namespace lumora::study {

LessonNavigator::LessonNavigator(catalogue::Catalogue& catalogue, page::BrowserViews& views,
                                 Wait wait)
    : m_catalogue(catalogue), m_views(views), m_wait(std::move(wait))
{
}

catalogue::LessonOpening LessonNavigator::openCategoryAt(int lesson)
{
    // Without the category links from a scan no link is clicked, and the site would list its
    // first category's lessons while the run credits another's.
    if (m_catalogue.categoryLinkPositions().isEmpty())
        m_catalogue.scanCoursePage();
    m_catalogue.openCategory(m_catalogue.category());
    m_wait(kStepWait);
    m_catalogue.openCourseMenu();
    m_wait(kStepWait);
    m_catalogue.scanCoursePage();
    m_wait(kStepWait);
    m_lessonIndex = lesson;
    return openLesson(lesson);
}

std::optional<catalogue::LessonOpening> LessonNavigator::openNextLesson()
{
    if (m_lessonIndex >= m_catalogue.lessonCount() - 1)
        return std::nullopt;
    m_lessonIndex += 1;
    return openLesson(m_lessonIndex);
}

catalogue::LessonOpening LessonNavigator::openLesson(int lesson)
{
    // Until the link is clicked, no load so far is the lesson's: a click that never happens must
    // not leave the last lesson's player credited to this one.
    m_playerLoadAtClick = m_views.player().lastLoad().serial;
    m_views.expectPlayerWindow();
    const catalogue::LessonOpening opening = m_catalogue.openLesson(lesson);
    if (opening.clicked)
        m_playerLoadAtClick = opening.playerLoadBefore;
    return opening;
}

} // namespace lumora::study
