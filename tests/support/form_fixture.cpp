#include "form_fixture.h"

#include <QFile>

namespace lumora::testing {

using platform::LoadOutcome;
using platform::ReadyState;

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
    player().setLastLoad({LoadOutcome::NotLoaded, 0, {}, {}}); // an empty view
}

void FormFixture::showInMain(std::shared_ptr<FakeDocument> document)
{
    main().setDocument(std::move(document));
    main().setReadyState(ReadyState::Complete);
    main().setLastLoad({LoadOutcome::Succeeded, 200, {}, {}});
    main().completeDocument();
}

void FormFixture::showCoursePage(CoursePage& page)
{
    // As the site does: the link asks for a new window, which the window routes into a view.
    *page.openPlayer = [this](int, int) {
        if (main().requestNewWindow() != &player())
            return;
        ++playersOpened;
        player().setDocument(playerDocument);
        player().setReadyState(ReadyState::Complete);
        player().setLastLoad(
            {playerLoad, playerLoad == LoadOutcome::HttpError ? 500 : 200, {}, {}});
    };
    showInMain(page.top);
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

std::shared_ptr<FakeDocument> makeLoginPage()
{
    auto page = std::make_shared<FakeDocument>();
    page->input(QStringLiteral("userName"), QStringLiteral("text"));
    page->input(QStringLiteral("Password"), QStringLiteral("password"));
    page->input(QStringLiteral("randomCode"), QStringLiteral("text"));
    page->input({}, QStringLiteral("image")).id = QStringLiteral("login-submit");
    return page;
}

CoursePage makeCoursePage(QList<int> lessonCounts)
{
    CoursePage page;
    page.lessons = std::make_shared<FakeDocument>();
    page.course = std::make_shared<FakeDocument>();
    page.course->frames().append(page.lessons);
    page.top = framedPage(page.course);
    page.openPlayer = std::make_shared<std::function<void(int, int)>>();

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
    const auto opener = page.openPlayer;
    menu.onClick = [selected, lessonsDoc, lessonCounts, opener](FakeDocument&) {
        const auto doc = lessonsDoc.lock();
        if (!doc)
            return;
        const int category = *selected;
        doc->elements().clear();
        for (int lesson = 1; lesson <= lessonCounts.value(category); ++lesson) {
            doc->link(QStringLiteral("简介"));
            FakeElement& link = doc->link(
                QStringLiteral("第%1课").arg(lesson),
                QStringLiteral("openMax('/player?cat=%1&lesson=%2')").arg(category).arg(lesson));
            link.id = QStringLiteral("lesson-%1-%2").arg(category).arg(lesson);
            link.onClick = [opener, category, lesson](FakeDocument&) {
                if (*opener)
                    (*opener)(category, lesson);
            };
        }
    };
    course.listItem(QStringLiteral("个人信息"));
    return page;
}

} // namespace lumora::testing
