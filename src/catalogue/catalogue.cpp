#include "catalogue/catalogue.h"

#include "page/course_page.h"
#include "page/page_access.h"
#include "records/timetable.h"

#include <QMap>

namespace lumora::catalogue {

using page::Field;

Catalogue::Catalogue(page::BrowserViews& views) : m_views(views) {}

bool Catalogue::openCategory(int category)
{
    if (!records::isCategory(category))
        return false;
    m_category = category;
    m_chosenCategory = category;
    emit changed();
    // Until a scan has listed the category links there is nothing to click.
    return m_categoryLinks.size() > category && openCategoryLink();
}

bool Catalogue::openCourseMenu()
{
    return page::guarded([&] {
        page::PageAccess page(m_views.main());
        page.requireDocument(page::kCourseFrame);
        page.refreshUnlessComplete();
        page.clickAt(page::kCourseFrame, QStringLiteral("li"), page::kCourseMenuItemPosition);
    });
}

bool Catalogue::clickCategoryLink(int category)
{
    // The link clicked depends on the category alone: the site keeps them in this order.
    m_categoryLinks = page::categoryLinkTable();
    emit changed();
    if (!records::isCategory(category))
        return false;
    return page::guarded([&] {
        page::PageAccess page(m_views.main());
        page.requireDocument(page::kCourseFrame);
        if (!page.complete()) {
            page.refreshUnlessComplete();
            throw page::NotThere("the course page is still loading");
        }
        page.clickAt(page::kCourseFrame, QStringLiteral("a"), m_categoryLinks.at(category));
    });
}

bool Catalogue::courseMenuShown()
{
    bool shown = false;
    page::guarded([&] {
        page::PageAccess page(m_views.main());
        shown = page.complete() &&
                page.contains(page::kCourseFrame, QStringLiteral("li"),
                              page::containing(Field::InnerText, page::courseStudyItemText()));
    });
    return shown;
}

std::optional<LessonLinks> Catalogue::readLessonLinks()
{
    LessonLinks links;
    const bool read = page::guarded([&] {
        page::PageAccess page(m_views.main());
        page.requireDocument(page::kLessonFrame);
        page.forEachText(page::kLessonFrame, QStringLiteral("a"),
                         page::containing(Field::OnClick, page::lessonLinkScript()),
                         [&links](int at, const QString& title) {
                             links.positions.append(at);
                             links.titles.append(title.simplified());
                         });
    });
    if (!read)
        return std::nullopt;
    return links;
}

Catalogue::ListedCategory Catalogue::listedCategory(int category)
{
    QMap<int, QString> linkTexts;
    QString listText;
    const bool read = page::guarded([&] {
        page::PageAccess page(m_views.main());
        page.forEachText(page::kCourseFrame, QStringLiteral("a"),
                         page::containing(Field::InnerText, page::categoryLinkText()),
                         [&](int at, const QString& text) { linkTexts.insert(at, text); });
        page.forEachText(page::kLessonFrame, QStringLiteral("body"),
                         page::lowerCased(Field::TagName, QStringLiteral("body")),
                         [&](int, const QString& text) { listText = text; });
    });
    if (!read)
        return ListedCategory::Unnamed;
    const QList<int> table = page::categoryLinkTable();
    bool another = false;
    for (int k = 0; k < table.size(); ++k) {
        const QString name =
            linkTexts.value(table.at(k)).remove(page::categoryLinkText()).trimmed();
        if (name.isEmpty() || !listText.contains(name))
            continue;
        // Its own name wins: a lesson's title may hold another category's name.
        if (k == category)
            return ListedCategory::This;
        another = true;
    }
    return another ? ListedCategory::Another : ListedCategory::Unnamed;
}

void Catalogue::adoptCategory(int category, LessonLinks lessons)
{
    m_category = category;
    m_chosenCategory = category;
    m_lessonLinks = std::move(lessons.positions);
    if (records::isCategory(category))
        m_titles.at(category) = std::move(lessons.titles);
    m_selectedLesson = -1;
    emit changed();
}

QStringList Catalogue::lessonTitles(int category) const
{
    return records::isCategory(category) ? m_titles.at(category) : QStringList();
}

bool Catalogue::scanCoursePage()
{
    page::PageAccess page(m_views.main());
    const bool framesFound = page::guarded([&] {
        page.requireDocument(page::kCourseFrame);
        page.requireDocument(page::kLessonFrame);
    });
    if (!framesFound)
        return false;
    m_categoryLinks.clear();
    m_lessonLinks.clear();
    m_selectedLesson = -1;
    const auto appendTo = [](QList<int>& list) { return [&list](int at) { list.append(at); }; };
    // What a failing walk found so far is listed all the same.
    const bool read = page::guarded([&] {
        page.refreshUnlessComplete();
        page.forEachMatch(page::kCourseFrame, QStringLiteral("a"),
                          page::containing(Field::InnerText, page::categoryLinkText()),
                          appendTo(m_categoryLinks));
        page.refreshUnlessComplete();
        page.forEachMatch(page::kLessonFrame, QStringLiteral("a"),
                          page::containing(Field::OnClick, page::lessonLinkScript()),
                          appendTo(m_lessonLinks));
    });
    emit changed();
    return read;
}

LessonOpening Catalogue::openLesson(int lesson)
{
    if (lesson < 0 || lesson >= lessonCount())
        return {};
    m_selectedLesson = lesson;
    emit changed();
    LessonOpening opening;
    page::guarded([&] {
        page::PageAccess page(m_views.main());
        page.requireDocument(page::kCourseFrame);
        page.requireDocument(page::kLessonFrame);
        if (!page.complete())
            return;
        page.clickAt(page::kLessonFrame, QStringLiteral("a"), m_lessonLinks.at(lesson));
        opening.clicked = true;
    });
    return opening;
}

} // namespace lumora::catalogue
