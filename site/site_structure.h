#pragma once

// Where the stand-in site puts what a browser looks for on its course pages. The site builds
// its pages from these positions and the test fixtures read them from here, so each lives in
// one place. Positions count from 0, in document order. Plain constants: no Qt, no httplib.

#include <array>

namespace lumora::site::structure {

// The course frame among the course page's frames (header, notice, news, course).
inline constexpr int kCourseFrame = 3;
// The lesson frame among the course frame's own frames.
inline constexpr int kLessonFrame = 0;
// Category K's "…学习课程" link among the course frame's `a` elements.
inline constexpr std::array<int, 4> kCategoryLinks = {2, 5, 8, 11};
// The "课程学习" item among the course frame's `li` elements.
inline constexpr int kCourseMenuItem = 2;

// Lesson M's link among the lesson list's `a` elements: each lesson's "简介" link comes first.
inline constexpr int kLessonLinkStride = 2;
inline constexpr int kLessonLinkOffset = 1;
constexpr int lessonLink(int lesson)
{
    return kLessonLinkStride * lesson + kLessonLinkOffset;
}

} // namespace lumora::site::structure
