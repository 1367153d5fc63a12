#pragma once

#include <string>
#include <string_view>
#include <vector>

// The site's course catalogue: categories in display order, each with its lessons.
namespace lumora::site {

struct Category
{
    std::string_view name;
    std::vector<std::string_view> topics; // one per lesson, in lesson order
};

const std::vector<Category>& catalogue();

// Whether category `category` exists and has a lesson `lesson` (both counted from 0).
bool hasLesson(int category, int lesson);

// "第3课 倾听技术" for category 0, lesson 2.
std::string lessonTitle(int category, int lesson);

// Nominal length of a lesson in minutes, shown in the lesson list.
int lessonMinutes(int category, int lesson);

} // namespace lumora::site
