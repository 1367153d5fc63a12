#include "catalogue.h"

namespace lumora::site {

const std::vector<Category>& catalogue()
{
    static const std::vector<Category> categories = {
        {"个体辅导",
         {"个体辅导概述",   "辅导关系的建立", "倾听技术",       "提问技术",       "共情与反应",
          "具体化技术",     "面质技术",       "自我暴露",       "信息收集与评估", "辅导目标的确定",
          "认知行为取向",   "以人为中心取向", "焦点解决取向",   "情绪困扰的辅导", "学业问题的辅导",
          "人际关系的辅导", "危机干预基础",   "辅导记录与档案", "伦理与保密",     "个案研讨",
          "结案与追踪"}},
        {"团体训练",
         {"团体训练概述", "团体的组建与筛选", "团体的初始阶段", "团体的过渡阶段", "团体的工作阶段",
          "团体的结束阶段", "团体领导者的技能", "常用团体活动设计", "团体效果评估"}},
        {"基础理论",
         {"心理学基础", "发展心理学要点", "人格理论", "学习理论", "社会心理学要点",
          "心理健康的标准", "常见心理问题识别"}},
        {"学校教育",
         {"学校心理健康教育概述", "课程设计与实施", "班级心理辅导活动", "家校合作", "教师心理健康",
          "学生生涯规划", "校园危机管理", "工作评估与督导"}},
    };
    return categories;
}

bool hasLesson(int category, int lesson)
{
    const auto& all = catalogue();
    return category >= 0 && category < static_cast<int>(all.size()) && lesson >= 0 &&
           lesson < static_cast<int>(all[static_cast<std::size_t>(category)].topics.size());
}

QString categoryName(int category)
{
    const std::string_view name = catalogue()[static_cast<std::size_t>(category)].name;
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString lessonTitle(int category, int lesson)
{
    const std::string_view topic =
        catalogue()[static_cast<std::size_t>(category)].topics[static_cast<std::size_t>(lesson)];
    return QStringLiteral("第%1课 ").arg(lesson + 1) +
           QString::fromUtf8(topic.data(), static_cast<qsizetype>(topic.size()));
}

int lessonMinutes(int category, int lesson)
{
    return 20 + ((category * 7 + lesson * 5) % 4) * 5;
}

} // namespace lumora::site
