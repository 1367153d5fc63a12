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

int positionFromText(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 32767)
        return -1;
    return value;
}

} // namespace lumora::page
