#include "form_fixture.h"

#include <QFile>

namespace lumora::testing {

FormFixture::FormFixture()
{
    shell::AppConfig config;
    config.site = QUrl(QStringLiteral("http://training.example:8080/"));
    config.stateFilePath = statePath();
    config.dataFolder = dir.path();
    form = std::make_unique<shell::Form1>(platform, config);
}

FormFixture::~FormFixture() = default;

void FormFixture::start()
{
    form->load();
}

void FormFixture::writeState(const QByteArray& bytes) const
{
    QFile file(statePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("FormFixture: cannot write the state file");
}

QByteArray FormFixture::readState() const
{
    QFile file(statePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList FormFixture::entries(const shell::ListBox& list) const
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.text(i));
    return texts;
}

namespace {

void fillLessons(FakeDocument& lessons, int category, int count)
{
    lessons.elements().clear();
    for (int lesson = 1; lesson <= count; ++lesson) {
        lessons.link(QStringLiteral("简介"));
        FakeElement& link =
            lessons.link(QStringLiteral("第%1课").arg(lesson),
                         QStringLiteral("openMax('/player?cat=%1&lesson=%2');return false;")
                             .arg(category)
                             .arg(lesson));
        link.id = QStringLiteral("lesson-%1-%2").arg(category).arg(lesson);
    }
}

} // namespace

CoursePage makeCoursePage(QList<int> lessonCounts)
{
    CoursePage page;
    page.lessons = std::make_shared<FakeDocument>();
    page.course = std::make_shared<FakeDocument>();
    page.course->frames().append(page.lessons);
    page.top = framedPage(page.course);

    auto selected = std::make_shared<int>(0);
    const QStringList names = {QStringLiteral("个体辅导"), QStringLiteral("团体训练"),
                               QStringLiteral("基础理论"), QStringLiteral("学校教育")};
    FakeDocument& course = *page.course;
    for (int category = 0; category < 4; ++category) {
        course.link(QStringLiteral("首页"));
        course.link(QStringLiteral("帮助"));
        FakeElement& link = course.link(names.at(category) + QStringLiteral("学习课程"));
        link.id = QStringLiteral("category-%1").arg(category);
        link.onClick = [selected, category](FakeDocument&) { *selected = category; };
    }
    course.listItem(QStringLiteral("首页"));
    course.listItem(QStringLiteral("通知"));
    FakeElement& menu = course.listItem(QStringLiteral("课程学习"));
    menu.id = QStringLiteral("course-menu");
    std::weak_ptr<FakeDocument> lessonsDoc = page.lessons;
    menu.onClick = [selected, lessonsDoc, lessonCounts](FakeDocument&) {
        if (auto doc = lessonsDoc.lock())
            fillLessons(*doc, *selected, lessonCounts.value(*selected));
    };
    course.listItem(QStringLiteral("个人信息"));
    return page;
}

} // namespace lumora::testing
