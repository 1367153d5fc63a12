#pragma once

// What the program looks for on the site's course pages: the links and list items that the
// course frame and the lesson frame hold.

#include "platform/browser_control.h"

#include <QString>
#include <QStringList>

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

// Positions of the four category links among the course frame's links, as list texts.
inline QStringList categoryLinkPositions()
{
    return {QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("8"), QStringLiteral("11")};
}

// Whether `browser` shows the site's course page, the sign of a logged-in session: its course
// frame has a category link. A page that cannot be read is not the course page.
bool showsCoursePage(platform::BrowserControl& browser);

// A list entry's position text as a 16-bit element position; -1 when it is not one.
int positionFromText(const QString& text);

} // namespace lumora::page
