#pragma once

// What the program looks for on the site's course pages: the links and list items that the
// course frame and the lesson frame hold.

#include "platform/browser_control.h"

#include <QList>
#include <QString>

namespace lumora::page {

// Text of a category link in the course frame ("study courses").
inline QString categoryLinkText()
{
    return QStringLiteral("学习课程");
}
// Text of the course-menu list item in the course frame ("course study").
inline QString courseStudyItemText()
{
    return QStringLiteral("课程学习");
}
// What every lesson link's click handler calls.
inline QString lessonLinkScript()
{
    return QStringLiteral("openMax");
}
// Position of the course-menu item among the course frame's list items.
inline constexpr int kCourseMenuItemPosition = 2;

// Positions of the four category links among the course frame's links, in category order.
inline QList<int> categoryLinkTable()
{
    return {2, 5, 8, 11};
}

// Whether `browser` shows the site's course page, the sign of a logged-in session: its course
// frame has a category link. A page that cannot be read is not the course page.
bool showsCoursePage(platform::BrowserControl& browser);

} // namespace lumora::page
