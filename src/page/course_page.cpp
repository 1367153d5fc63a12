#include "page/course_page.h"

#include "page/page_access.h"

namespace lumora::page {

bool showsCoursePage(platform::BrowserControl& browser)
{
    bool found = false;
    guarded([&] {
        PageAccess(browser).forEachMatch(kCourseFrame, QStringLiteral("a"),
                                         containing(Field::InnerText, categoryLinkText()),
                                         [&](int) { found = true; });
    });
    return found;
}

} // namespace lumora::page
