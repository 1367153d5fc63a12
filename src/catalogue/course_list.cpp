// Course list discovery: recognising the course page, the course-menu click and the scan of
// category links, course-study items and lesson links.

#include "catalogue/catalogue.h"
#include "shell/main_window.h"

#include <QListWidget>
#include <QPushButton>

namespace lumora::catalogue {

int positionFromText(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 32767)
        return -1;
    return value;
}

} // namespace lumora::catalogue

namespace lumora::shell {

using page::Field;

// Whether WebBrowser1 shows the site's course page: its course frame has a category link.
bool Form1::coursePageShown()
{
    bool found = false;
    page::guarded([&] {
        mainPage().forEachMatch(
            page::kCourseFrame, QStringLiteral("a"),
            page::containing(page::Field::InnerText, catalogue::categoryLinkText()),
            [&](int) { found = true; });
    });
    return found;
}

void Form1::WebBrowser1_DocumentComplete()
{
    // Runs for every document that completes, frames included. A course frame with a category
    // link means the user is logged in.
    ++m_mainPageLoads;
    if (coursePageShown()) {
        Command2->setEnabled(true);
        List3->widget()->setEnabled(true);
        Command3->setEnabled(false);
        return;
    }
    // Outside a run, the site's login page back in place of the course page (an ended session,
    // a cleared profile) makes "登录" usable again; during a run the study tick logs in itself.
    if (!Command3->isEnabled() && !Timer1->isEnabled() && page::showsLoginPage(*WebBrowser1))
        Command3->setEnabled(true);
}

void Form1::Command17_Click()
{
    page::PageAccess page = mainPage();
    page.requireDocument(page::kCourseFrame);
    page.refreshUnlessComplete();
    page.clickAt(page::kCourseFrame, QStringLiteral("li"), catalogue::kCourseMenuItemPosition);
}

void Form1::Command15_Click()
{
    page::PageAccess page = mainPage();
    // Both frames are found before any list changes, so a page without them leaves the lists.
    page.requireDocument(page::kCourseFrame);
    page.requireDocument(page::kLessonFrame);
    List1->clear();
    List2->clear();
    List7->clear();

    const auto appendTo = [](ListBox& list) {
        return [&list](int position) { list.addItem(QString::number(position)); };
    };
    page.refreshUnlessComplete();
    page.forEachMatch(page::kCourseFrame, QStringLiteral("a"),
                      page::containing(Field::InnerText, catalogue::categoryLinkText()),
                      appendTo(*List1));
    page.refreshUnlessComplete();
    page.forEachMatch(page::kCourseFrame, QStringLiteral("li"),
                      page::containing(Field::InnerText, catalogue::courseStudyItemText()),
                      appendTo(*List7));
    page.refreshUnlessComplete();
    page.forEachMatch(page::kLessonFrame, QStringLiteral("a"),
                      page::containing(Field::OnClick, catalogue::lessonLinkScript()),
                      appendTo(*List2));
}

} // namespace lumora::shell
