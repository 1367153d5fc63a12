// Course-page detection, the discovery scan and choosing a category or a lesson, on the fake
// engine, against pages laid out as the stand-in site lays out its own (site_structure.h).

#include "page/course_page.h"
#include "program_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::ReadyState;

namespace {

// The site's category links, or its first `lessons` lesson links.
QList<int> linkPositions(int lessons = -1)
{
    QList<int> positions;
    for (int i = 0; i < (lessons < 0 ? 4 : lessons); ++i)
        positions << (lessons < 0 ? structure::kCategoryLinks.at(i) : structure::lessonLink(i));
    return positions;
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void detection_courseFrameWithCategoryLinkUnlocksStudy();
    void scan_listsPositions_data();
    void scan_listsPositions();
    void category_opensItsLinkWhenListed_data();
    void category_opensItsLinkWhenListed();
    void lesson_clicksItsLinkWhenPageComplete_data();
    void lesson_clicksItsLinkWhenPageComplete();

private:
    catalogue::Catalogue& catalogue() { return f->catalogue(); }
    std::unique_ptr<ProgramFixture> f;
    CoursePage site;
};

void CatalogueTest::init()
{
    f = std::make_unique<ProgramFixture>();
    f->start();
    site = makeCoursePage();
    f->main().setDocument(site.top); // still Complete from the login page's load
}

void CatalogueTest::detection_courseFrameWithCategoryLinkUnlocksStudy()
{
    window::MainWindow& w = f->window();
    const auto studyUnlocked = [&w] {
        return w.studyButton()->isEnabled() && w.categoryList()->isEnabled();
    };
    auto course = std::make_shared<FakeDocument>();
    course->link("个体辅导学习课程");
    f->showInMain(framedPage(course, structure::kCourseFrame)); // one frame short
    QVERIFY(!w.studyButton()->isEnabled() && !w.categoryList()->isEnabled());
    course->elements().clear();
    f->showInMain(framedPage(course)); // the top document: the course frame is still empty
    QVERIFY(!studyUnlocked() && w.loginButton()->isEnabled());
    course->link("[团体训练学习课程]"); // text around the words still counts
    f->main().completeDocument();       // the course frame's own completion
    QVERIFY(studyUnlocked() && !w.loginButton()->isEnabled());
    // Nothing takes it back, not even a page without the link; the login page brings "登录" back.
    f->showInMain(framedPage(std::make_shared<FakeDocument>()));
    QVERIFY(studyUnlocked() && !w.loginButton()->isEnabled());
    f->showInMain(makeLoginPage());
    QVERIFY(studyUnlocked() && w.loginButton()->isEnabled());
}

void CatalogueTest::scan_listsPositions_data()
{
    QTest::addColumn<ReadyState>("state");
    QTest::addColumn<int>("lessonFrame"); // 0: the site's; 1: empty; 2: none
    QTest::addColumn<int>("refreshes");
    QTest::newRow("complete page") << ReadyState::Complete << 0 << 0;
    QTest::newRow("loading page: reloaded before each step") << ReadyState::Interactive << 0 << 3;
    QTest::newRow("no lessons: only their list empty") << ReadyState::Complete << 1 << 0;
    QTest::newRow("no lesson frame: the lists stay") << ReadyState::Complete << 2 << 0;
}

void CatalogueTest::scan_listsPositions()
{
    QFETCH(ReadyState, state);
    QFETCH(int, lessonFrame);
    f->main().setReadyState(state);
    catalogue().openCourseMenu(); // the site lists the first category's lessons
    if (lessonFrame == 1)
        site.lessons->elements().clear();
    if (lessonFrame == 2)
        site.course->frames().clear();
    f->dispatch([this] { catalogue().scanCoursePage(); });
    const QList<int> lessons = lessonFrame == 0 ? linkPositions(21) : QList<int>();
    QCOMPARE(catalogue().categoryLinkPositions(),
             lessonFrame == 2 ? QList<int>() : linkPositions());
    QCOMPARE(catalogue().lessonLinkPositions(), lessons);
    QTEST(f->main().refreshCount, "refreshes");
    // The window shows what the catalogue holds.
    QCOMPARE(f->entries(f->window().lessonList()).size(), catalogue().lessonLinkPositions().size());
    if (!lessons.isEmpty())
        QCOMPARE(f->entries(f->window().lessonList()).constLast(),
                 QString::number(lessons.constLast()));
}

void CatalogueTest::category_opensItsLinkWhenListed_data()
{
    QTest::addColumn<int>("linksScanned"); // how many category links the last scan found
    QTest::addColumn<int>("category");
    QTest::newRow("links scanned") << 4 << 2;
    QTest::newRow("no links scanned") << 0 << 3;
    QTest::newRow("its link not scanned") << 3 << 3;
}

void CatalogueTest::category_opensItsLinkWhenListed()
{
    QFETCH(int, linksScanned);
    QFETCH(int, category);
    if (linksScanned > 0) {
        for (int gone = 3; gone >= linksScanned; --gone) {
            FakeElements& links = site.course->elements();
            for (qsizetype i = 0; i < links.size(); ++i)
                if (links[i].id == QString("category-%1").arg(gone))
                    links.removeAt(i--);
        }
        catalogue().scanCoursePage();
    }
    QCOMPARE(catalogue().categoryLinkPositions().size(), linksScanned);
    f->main().clickLog.clear();
    // The learner's choice, made while a handler runs, waits at the event gate.
    f->dispatch([&] {
        f->window().categoryList()->setCurrentRow(category);
        QCOMPARE(catalogue().chosenCategory(), -1);
    });
    QVERIFY(catalogue().category() == category && catalogue().chosenCategory() == category);
    const bool opened = linksScanned > category;
    QCOMPARE(f->main().clickLog,
             opened ? QStringList{QString("category-%1").arg(category)} : QStringList());
    // The site's table of category links is listed once a link was clicked.
    QCOMPARE(catalogue().categoryLinkPositions(),
             opened ? page::categoryLinkTable() : linkPositions().mid(0, linksScanned));
    // The learner's choice among the category links clicks the current category's link,
    // whichever entry it was.
    if (!opened)
        return;
    f->main().clickLog.clear();
    f->window().categoryLinkList()->setCurrentRow(1);
    QCOMPARE(f->main().clickLog, QStringList{QString("category-%1").arg(category)});
}

void CatalogueTest::lesson_clicksItsLinkWhenPageComplete_data()
{
    QTest::addColumn<ReadyState>("state");
    QTest::addColumn<int>("lesson");
    QTest::addColumn<QStringList>("clicks");
    QTest::newRow("complete page") << ReadyState::Complete << 1 << QStringList{"lesson-0-2"};
    QTest::newRow("loading page: chosen, no click") << ReadyState::Loading << 1 << QStringList();
    QTest::newRow("past the list: nothing") << ReadyState::Complete << 21 << QStringList();
}

void CatalogueTest::lesson_clicksItsLinkWhenPageComplete()
{
    QFETCH(ReadyState, state);
    QFETCH(int, lesson);
    QFETCH(QStringList, clicks);
    catalogue().openCourseMenu(); // the site lists the lessons
    catalogue().scanCoursePage();
    f->main().clickLog.clear();
    f->main().setReadyState(state);
    const catalogue::LessonOpening opening = catalogue().openLesson(lesson);
    QVERIFY(f->main().clickLog == clicks && opening.clicked == !clicks.isEmpty());
    QCOMPARE(catalogue().selectedLesson(), lesson < 21 ? lesson : -1);
    QCOMPARE(f->window().lessonList()->currentRow(), catalogue().selectedLesson());
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
