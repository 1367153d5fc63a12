#pragma once

// The catalogue: what the site's course page offers and which of it is chosen. It scans the
// course page for the category links, the course-menu item and the lesson links, and drives
// the site when a category or a lesson is chosen in the window's lists, by the learner or by
// the study run.
//
// The visible lists hold element positions as text; a list's click procedure runs whenever one
// of its entries becomes selected, from code to its end before the selection returns.

#include "page/browser_views.h"
#include "platform/list_box.h"
#include "records/minute_records.h"

#include <QList>
#include <QObject>

namespace lumora::catalogue {

class Catalogue final : public QObject
{
    Q_OBJECT
public:
    Catalogue(page::BrowserViews& views, platform::ListBox& categories,
              platform::ListBox& lessonLinks, platform::ListBox& categoryLinks,
              records::MinuteRecords& records);

    // The current category: 0 to 3, or past the last one when a run has gone beyond it.
    int category() const { return m_category; }
    void setCategory(int category) { m_category = category; }

    // Lists the four categories, in the order that gives their numbers (done at start).
    void listCategories();
    int categoryCount() const { return m_categories.count(); }

    // Selects the current category's entry in the category list, which opens it (below).
    // Nothing happens for a category the list does not hold.
    void chooseCurrentCategory();
    // Selects the lesson link at `position` (by its text, so the first equal entry), which
    // opens its player; nothing for a position past the end.
    void chooseLesson(int position);
    // Selects the lesson link at `position` itself, which opens its player again.
    void selectLessonAt(int position) { m_lessonLinks.select(position); }
    // The lesson link now selected, -1 for none; and how many the last scan found.
    int selectedLesson() const { return m_lessonLinks.listIndex(); }
    int lessonCount() const { return m_lessonLinks.count(); }
    // Positions of the course-menu items the last scan found.
    const QList<int>& courseMenuItems() const { return m_courseMenuItems; }

    // Refills the lists from the course page: category links, course-menu items, lesson links.
    // The course frame and the lesson frame are both found before any list changes, so a page
    // without them leaves the lists as they were (NotThere).
    void scanCoursePage();
    // Clicks the course-menu item of the course frame, which lists the chosen category's
    // lessons (NotThere when the page has no such item).
    void openCourseMenu();

signals:
    // A lesson's link was clicked: its player is on its way. `playerLoadBefore` is the serial
    // of the player view's last load before the click, so that a later load can be told apart.
    void lessonOpened(int lesson, int playerLoadBefore);

private:
    // The lists' click procedures.
    void onCategoryChosen();
    void openCategoryLink();
    void openLesson();

    page::BrowserViews& m_views;
    platform::ListBox& m_categories;
    platform::ListBox& m_lessonLinks;
    platform::ListBox& m_categoryLinks;
    records::MinuteRecords& m_records;
    QList<int> m_courseMenuItems;
    int m_category = 0;
};

} // namespace lumora::catalogue
