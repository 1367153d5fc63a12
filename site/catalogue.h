#pragma once

#include <QString>

#include <string_view>
#include <vector>

// The site's course catalogue: categories in display order, each with its lessons.
namespace lumora::site {

struct Category
{
    std::string_view name;                // UTF-8
    std::vector<std::string_view> topics; // one per lesson, in lesson order
};

const std::vector<Category>& catalogue();

// Whether category `category` exists and has a lesson `lesson` (both counted from 0).
bool hasLesson(int category, int lesson);

// The name of an existing category: "基础理论" for 2.
QString categoryName(int category);

// "第3课 倾听技术" for category 0, lesson 2.
QString lessonTitle(int category, int lesson);

// Nominal length of a lesson in minutes, shown in the lesson list.
int lessonMinutes(int category, int lesson);

} // namespace lumora::site
