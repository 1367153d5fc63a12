#pragma once

// Moving a study run through the site: opening the current category with a lesson in it, the
// next lesson, a lesson again; and knowing which load of the player view is the lesson's own.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"

#include <chrono>
#include <functional>
#include <optional>

namespace lumora::study {

class LessonNavigator
{
public:
    // Waits while letting other events run; the run's own wait.
    using Wait = std::function<void(std::chrono::milliseconds)>;

    LessonNavigator(catalogue::Catalogue& catalogue, page::BrowserViews& views, Wait wait);

    // Position of the lesson the run chose last, in the category's lesson list.
    int lessonIndex() const { return m_lessonIndex; }
    // Whether `load` of the player view came after the chosen lesson's link was clicked.
    bool isLessonsPlayer(const platform::LoadInfo& load) const
    {
        return load.serial != m_playerLoadAtClick;
    }

    // Opens the current category on the site (its link, the course menu, the lesson list, a
    // second apart, as the site needs) and then its lesson at `lesson`. NotThere when the course
    // page lacks what a step needs.
    catalogue::LessonOpening openCategoryAt(int lesson);
    // Opens the lesson after the run's; nothing, with nothing done, after the category's last.
    std::optional<catalogue::LessonOpening> openNextLesson();
    // Opens the lesson at `lesson` without making it the run's: a lesson opened again, or one
    // the learner chose.
    catalogue::LessonOpening openLesson(int lesson);

private:
    static constexpr std::chrono::seconds kStepWait{1};

    catalogue::Catalogue& m_catalogue;
    page::BrowserViews& m_views;
    Wait m_wait;
    int m_lessonIndex = 0;
    int m_playerLoadAtClick = 0; // the player view's last load when the lesson's link was clicked
};

} // namespace lumora::study
