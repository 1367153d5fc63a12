#pragma once

// The catalogue: what the site's course page offers and which of it is chosen. It scans the
// course page for the category links and the lesson links (element positions), and opens a
// category or a lesson on the site when the learner or the study run chooses one. The window's
// lists only show this data.

#include "page/browser_views.h"
#include "records/timetable.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <array>
#include <optional>

namespace lumora::catalogue {

// The lesson links a lesson list holds: their positions, and each one's text, the lesson's
// title as the site lists it.
struct LessonLinks
{
    QList<int> positions;
    QStringList titles;
};

// What choosing a lesson came to.
struct LessonOpening
{
    bool clicked = false; // its link was clicked: the lesson's player is on its way
};

class Catalogue final : public QObject
{
    Q_OBJECT
public:
    explicit Catalogue(page::BrowserViews& views);

    // The current category: 0 to 3, or past the last one when a run has gone beyond it.
    int category() const { return m_category; }
    void setCategory(int category) { m_category = category; }
    // The category chosen last, by the learner or a run (-1: none yet).
    int chosenCategory() const { return m_chosenCategory; }

    // Positions of the category links and the lesson links, in document order.
    const QList<int>& categoryLinkPositions() const { return m_categoryLinks; }
    const QList<int>& lessonLinkPositions() const { return m_lessonLinks; }
    int lessonCount() const { return static_cast<int>(m_lessonLinks.size()); }
    // The lesson chosen last (its position in lessonLinkPositions()), -1 for none since the last
    // scan.
    int selectedLesson() const { return m_selectedLesson; }

    // Every call below answers with its result: a page that cannot be read or clicked is a
    // false or an empty answer, never an exception.

    // Chooses `category` (nothing for one past the last) and opens it on the site when the
    // category links scanned reach it. Whether its link was clicked.
    bool openCategory(int category);
    // Clicks the current category's link; whether it was clicked.
    bool openCategoryLink() { return clickCategoryLink(m_category); }
    // Clicks the course-menu item of the course frame, which lists the chosen category's
    // lessons; whether it was clicked.
    bool openCourseMenu();

    // The steps of opening a category that change nothing here until the last: a run switches
    // its category only once the site lists the new category's lessons.
    // Clicks the link of `category` from the site's fixed table of category links, and lists
    // that table; whether it was clicked (a page still loading is loaded again, and not clicked).
    bool clickCategoryLink(int category);
    // Whether the course frame is loaded and offers its course-menu item.
    bool courseMenuShown();
    // The lesson links the lesson frame lists now; nothing when the frames cannot be read.
    std::optional<LessonLinks> readLessonLinks();
    // Which category the lesson frame's list is, by the names the course frame gives the
    // categories (a category link's text without "学习课程"): This when it names `category`,
    // Another when it names only others, Unnamed when it names none or cannot be read.
    enum class ListedCategory
    {
        This,
        Another,
        Unnamed,
    };
    ListedCategory listedCategory(int category);
    // Makes `category` the current one with `lessons` as its lesson links, none selected; their
    // titles are kept for the category.
    void adoptCategory(int category, LessonLinks lessons);
    // The titles of the category's lessons as its list gave them when it was opened last in
    // this program run (empty: not opened yet).
    QStringList lessonTitles(int category) const;
    // Lists the category links and the lesson links of the course page; whether both frames
    // were read. The course frame and the lesson frame are both found before anything changes,
    // so a page without them leaves the lists as they were.
    bool scanCoursePage();
    // Chooses the lesson at `lesson` and clicks its link while the page is complete. A position
    // past the list chooses nothing; a failing click is the lesson's (nothing clicked).
    LessonOpening openLesson(int lesson);

signals:
    // The lists or their choices changed.
    void changed();

private:
    page::BrowserViews& m_views;
    QList<int> m_categoryLinks;
    QList<int> m_lessonLinks;
    std::array<QStringList, records::kCategoryCount>
        m_titles; // by category, as its list gave them last
    int m_category = 0;
    int m_chosenCategory = -1;
    int m_selectedLesson = -1;
};

} // namespace lumora::catalogue
