#include "catalogue/catalogue.h"

#include "page/course_page.h"
#include "page/page_access.h"

namespace lumora::catalogue {

using page::Field;

Catalogue::Catalogue(page::BrowserViews& views, platform::ListBox& categories,
                     platform::ListBox& lessonLinks, platform::ListBox& categoryLinks,
                     records::MinuteRecords& records)
    : m_views(views), m_categories(categories), m_lessonLinks(lessonLinks),
      m_categoryLinks(categoryLinks), m_records(records)
{
    // Direct connections: a selection made from code runs its procedure before it returns.
    connect(&m_categories, &platform::ListBox::clicked, this, &Catalogue::onCategoryChosen);
    connect(&m_categoryLinks, &platform::ListBox::clicked, this, &Catalogue::openCategoryLink);
    connect(&m_lessonLinks, &platform::ListBox::clicked, this, &Catalogue::openLesson);
}

void Catalogue::listCategories()
{
    for (const QString& name : records::categoryNames())
        m_categories.addItem(name);
}

void Catalogue::chooseCurrentCategory()
{
    m_categories.selectByText(m_categories.text(m_category));
}

void Catalogue::chooseLesson(int position)
{
    m_lessonLinks.selectByText(m_lessonLinks.text(position));
}

void Catalogue::scanCoursePage()
{
    page::PageAccess page(m_views.main());
    page.requireDocument(page::kCourseFrame);
    page.requireDocument(page::kLessonFrame);
    m_categoryLinks.clear();
    m_lessonLinks.clear();
    m_courseMenuItems.clear();

    const auto appendTo = [](platform::ListBox& list) {
        return [&list](int position) { list.addItem(QString::number(position)); };
    };
    page.refreshUnlessComplete();
    page.forEachMatch(page::kCourseFrame, QStringLiteral("a"),
                      page::containing(Field::InnerText, page::categoryLinkText()),
                      appendTo(m_categoryLinks));
    page.refreshUnlessComplete();
    page.forEachMatch(page::kCourseFrame, QStringLiteral("li"),
                      page::containing(Field::InnerText, page::courseStudyItemText()),
                      [this](int position) { m_courseMenuItems.append(position); });
    page.refreshUnlessComplete();
    page.forEachMatch(page::kLessonFrame, QStringLiteral("a"),
                      page::containing(Field::OnClick, page::lessonLinkScript()),
                      appendTo(m_lessonLinks));
}

void Catalogue::openCourseMenu()
{
    page::PageAccess page(m_views.main());
    page.requireDocument(page::kCourseFrame);
    page.refreshUnlessComplete();
    page.clickAt(page::kCourseFrame, QStringLiteral("li"), page::kCourseMenuItemPosition);
}

void Catalogue::onCategoryChosen()
{
    m_category = m_categories.listIndex();
    m_records.load(m_category);
    // Opens the category on the site only when the category links reach that position.
    m_categoryLinks.selectByText(m_categoryLinks.text(m_category));
}

void Catalogue::openCategoryLink()
{
    // The link clicked depends on the current category alone, whichever entry was selected.
    m_categoryLinks.clear();
    for (const QString& position : page::categoryLinkPositions())
        m_categoryLinks.addItem(position);

    page::PageAccess page(m_views.main());
    page.requireDocument(page::kCourseFrame);
    page.refreshUnlessComplete();
    const int position = page::positionFromText(m_categoryLinks.text(m_category));
    page.clickAt(page::kCourseFrame, QStringLiteral("a"), position);
}

void Catalogue::openLesson()
{
    page::guarded([this] {
        page::PageAccess page(m_views.main());
        page.requireDocument(page::kCourseFrame);
        page.requireDocument(page::kLessonFrame);
        if (page.complete()) {
            const int lesson = m_lessonLinks.listIndex();
            const int position = page::positionFromText(m_lessonLinks.text(lesson));
            // The site may open a new window or load into the one it opened before (a named
            // window): the player's load serial, not a new window, tells its load apart.
            const int playerLoadBefore = m_views.player().lastLoad().serial;
            page.clickAt(page::kLessonFrame, QStringLiteral("a"), position);
            emit lessonOpened(lesson, playerLoadBefore);
        }
        // The player view lies exactly over the main view, clicked or not.
        m_views.placePlayerOverMain();
    });
}

} // namespace lumora::catalogue
