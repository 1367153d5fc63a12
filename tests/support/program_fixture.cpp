#include "program_fixture.h"

#include <QSettings>
#include <algorithm>

namespace lumora::testing {

using platform::LoadOutcome;

void ProgramFixture::showCoursePage(CoursePage& page)
{
    // As the site does: the link asks for a new window, which the window routes into a view.
    *page.openPlayer = [this](int, int) {
        if (main().requestNewWindow() != &player())
            return;
        ++playersOpened;
        const int status = playerLoad == LoadOutcome::HttpError ? playerErrorStatus : 200;
        player().startLoad({playerDocument, {playerLoad, status, {}, {}}});
    };
    // No report of the frame's load: such reports come through the page and can be lost.
    *page.listLoad = [this](const std::function<void(bool)>& fill) {
        platform.later(listDelay / 2, [fill] { fill(true); });
        platform.later(listDelay, [fill] { fill(false); });
    };
    *page.record = [this](const std::function<void()>& choose) {
        if (selectionDelay > std::chrono::milliseconds::zero())
            platform.later(selectionDelay, choose);
        else
            choose();
    };
    showInMain(page.top);
    answerSessionChecks(true);
    followUp();
}

QString courseFrameHtml()
{
    QString frame;
    for (int at = 0; at <= structure::kCategoryLinks.back(); ++at)
        frame += std::ranges::count(structure::kCategoryLinks, at) ? "<a>个体辅导学习课程</a>"
                                                                   : "<a href='#'>首页</a>";
    return frame;
}

void ProgramFixture::answerSessionChecks(bool alive)
{
    const QString login = QStringLiteral("<input name='userName'><input name=Password>");
    main().fetchReply = {
        platform::FetchAnswer::Status::Answered, 200, kCourseFrameUrl, false, false,
        alive ? courseFrameHtml() : login,       {}};
}

std::shared_ptr<FakeDocument> framedPage(std::shared_ptr<FakeDocument> inner, int count, int at)
{
    auto outer = std::make_shared<FakeDocument>();
    for (int i = 0; i < count; ++i)
        outer->frames().append(i == at ? inner : std::make_shared<FakeDocument>());
    return outer;
}

// Appends plain `tag` elements until the next one will be at `position` among them.
static void padTo(FakeDocument& doc, const QString& tag, int position)
{
    for (qsizetype count = doc.elements().withTag(tag).size(); count < position; ++count)
        doc.add({tag, {}, {}, {}, QStringLiteral("首页"), {}, {}, {}});
}

std::shared_ptr<FakeDocument> makeLoginPage()
{
    auto page = std::make_shared<FakeDocument>();
    for (const char* name : {"userName", "Password", "randomCode"})
        page->input(QString::fromLatin1(name), QStringLiteral("text"));
    page->input({}, QStringLiteral("image")).id = QStringLiteral("login-submit");
    return page;
}

CoursePage makeCoursePage(QList<int> lessonCounts)
{
    CoursePage page;
    page.lessons = std::make_shared<FakeDocument>();
    page.course = framedPage(page.lessons, structure::kLessonFrame + 1, structure::kLessonFrame);
    page.course->url = kCourseFrameUrl;
    page.top = framedPage(page.course);
    page.openPlayer = std::make_shared<std::function<void(int, int)>>();
    page.listLoad = std::make_shared<std::function<void(std::function<void(bool)>)>>();
    page.record = std::make_shared<std::function<void(std::function<void()>)>>();

    FakeDocument& course = *page.course;
    auto selected = std::make_shared<int>(0);
    for (int category = 0; category < int(structure::kCategoryLinks.size()); ++category) {
        padTo(course, QStringLiteral("a"), structure::kCategoryLinks.at(category));
        FakeElement& link = course.link(QStringLiteral("类别%1学习课程").arg(category));
        link.id = QStringLiteral("category-%1").arg(category);
        link.onClick = [selected, category, record = page.record](FakeDocument&) {
            const auto choose = [selected, category] { *selected = category; };
            if (*record)
                (*record)(choose);
            else
                choose();
        };
    }
    padTo(course, QStringLiteral("li"), structure::kCourseMenuItem);
    FakeElement& menu = course.add({"li", {}, {}, {}, "课程学习", {}, "course-menu", {}});
    menu.onClick = [selected, doc = page.lessons, lessonCounts, opener = page.openPlayer,
                    load = page.listLoad](FakeDocument&) {
        // A new document in the lesson frame; while it loads it lacks the last lesson.
        const auto fill = [category = *selected, doc, lessonCounts, opener](bool loading) {
            doc->renew();
            doc->complete = !loading;
            doc->elements().clear();
            doc->add(
                {"body", {}, {}, {}, QStringLiteral("类别%1课程列表").arg(category), {}, {}, {}});
            const int count = lessonCounts.value(category) - (loading ? 1 : 0);
            for (int lesson = 0; lesson < count; ++lesson) {
                padTo(*doc, QStringLiteral("a"), structure::lessonLink(lesson));
                FakeElement& link =
                    doc->link(QStringLiteral("第%1课").arg(lesson + 1), "openMax(this)");
                link.id = QStringLiteral("lesson-%1-%2").arg(category).arg(lesson + 1);
                link.onClick = [opener, category, lesson](FakeDocument&) {
                    if (*opener)
                        (*opener)(category, lesson + 1);
                };
            }
        };
        if (*load)
            (*load)(fill);
        else
            fill(false);
    };
    return page;
}

RunFixture::RunFixture(bool scanned, const QVariantMap& settings)
{
    writeState("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n");
    if (!settings.isEmpty()) {
        QSettings ini(dir.filePath(QStringLiteral("lumora.ini")), QSettings::IniFormat);
        for (auto it = settings.begin(); it != settings.end(); ++it)
            ini.setValue(it.key(), it.value());
    }
    start();
    showCoursePage(site);
    // A scan has run before (the category links are listed), so a category choice opens its
    // link on the site; on the very first run the site shows the first category anyway.
    if (scanned)
        catalogue().scanCoursePage();
    // The lesson's player plays its video from the start.
    playerDocument->video.present = true;
    QObject::connect(&run(), &study::StudyRun::runEvent, &run(),
                     [this](const records::RunEvent& e) { events.append(e); });
}

void ProgramFixture::followUp()
{
    // The run's second timer; a reading takes a few looks at most.
    FakeTimer& follow = *platform.timers.at(1);
    for (int look = 0; look < 50 && follow.isEnabled(); ++look)
        follow.fire();
}

int RunFixture::minute()
{
    const qsizetype before = kinds().count(records::RunEventKind::MinuteCredited);
    for (int i = 0; i < 3; ++i)
        tick();
    return static_cast<int>(kinds().count(records::RunEventKind::MinuteCredited) - before);
}

QList<records::RunEventKind> RunFixture::kinds() const
{
    QList<records::RunEventKind> all;
    for (const records::RunEvent& e : events)
        all.append(e.kind);
    return all;
}

void RunFixture::setStudied(int category, const QList<int>& minutes)
{
    records().setRecordText(category, recordText(minutes));
}

QString recordText(const QList<int>& minutes)
{
    QString record;
    for (int i = 0; i < minutes.size(); ++i)
        record += QStringLiteral("%1.%2.").arg(i + 1).arg(minutes.at(i));
    return record;
}

QList<int> allDone(int category)
{
    QList<int> minutes;
    for (const int required :
         records::requiredMinutes(records::requiredMinutesTables().at(category)))
        minutes.append(required + 1);
    return minutes;
}

} // namespace lumora::testing
