// Course-page detection, the discovery scan and the selection handlers, on the fake engine,
// against pages laid out as the stand-in site lays out its own (site_structure.h).

#include "program_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::ReadyState;

namespace {

// The site's category links, or its first `lessons` lesson links, as list texts.
QStringList linkPositions(int lessons = -1)
{
    QStringList texts;
    for (int i = 0; i < (lessons < 0 ? 4 : lessons); ++i)
        texts << QString::number(lessons < 0 ? structure::kCategoryLinks.at(i)
                                             : structure::lessonLink(i));
    return texts;
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void detection_courseFrameWithCategoryLinkUnlocksStudy();
    void scan_fillsListsWithPositions_data();
    void scan_fillsListsWithPositions();
    void category_opensItsLinkWhenListed_data();
    void category_opensItsLinkWhenListed();
    void lesson_clicksItsLink_playerCoversMainView_data();
    void lesson_clicksItsLink_playerCoversMainView();

private:
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
        return w.studyButton()->isEnabled() && w.categoryList().widget()->isEnabled();
    };
    auto course = std::make_shared<FakeDocument>();
    course->link("个体辅导学习课程");
    f->showInMain(framedPage(course, structure::kCourseFrame)); // one frame short
    QVERIFY(!w.studyButton()->isEnabled() && !w.categoryList().widget()->isEnabled());
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

void CatalogueTest::scan_fillsListsWithPositions_data()
{
    QTest::addColumn<ReadyState>("state");
    QTest::addColumn<int>("lessonFrame"); // 0: the site's; 1: empty; 2: none
    QTest::addColumn<int>("refreshes");
    QTest::newRow("complete page") << ReadyState::Complete << 0 << 0;
    QTest::newRow("loading page: reloaded before each step") << ReadyState::Interactive << 0 << 4;
    QTest::newRow("no lessons: only their list empty") << ReadyState::Complete << 1 << 0;
    QTest::newRow("no lesson frame: the lists stay") << ReadyState::Complete << 2 << 0;
}

void CatalogueTest::scan_fillsListsWithPositions()
{
    QFETCH(ReadyState, state);
    QFETCH(int, lessonFrame);
    f->main().setReadyState(state);
    f->catalogue().openCourseMenu(); // the site lists the first category's lessons
    if (lessonFrame == 1)
        site.lessons->elements().clear();
    if (lessonFrame == 2)
        site.course->frames().clear();
    for (platform::ListBox* list : {&f->window().categoryLinks(), &f->window().lessonLinks()})
        list->addItem("stale");
    f->dispatch([this] { f->catalogue().scanCoursePage(); });
    const QStringList stale{"stale"};
    QCOMPARE(f->entries(f->window().categoryLinks()), lessonFrame == 2 ? stale : linkPositions());
    QCOMPARE(f->entries(f->window().lessonLinks()),
             lessonFrame == 2 ? stale : linkPositions(lessonFrame ? 0 : 21));
    QTEST(f->main().refreshCount, "refreshes");
    f->dispatch([this] { f->catalogue().scanCoursePage(); }); // finds the same, nothing twice
    QCOMPARE(f->catalogue().courseMenuItems(),
             lessonFrame == 2 ? QList<int>() : QList<int>{structure::kCourseMenuItem});
}

void CatalogueTest::category_opensItsLinkWhenListed_data()
{
    QTest::addColumn<QStringList>("scanned"); // the category links as scanned
    QTest::addColumn<int>("category");
    QTest::newRow("links scanned") << linkPositions() << 2;
    QTest::newRow("no links scanned") << QStringList() << 3;
    QTest::newRow("its link not scanned") << linkPositions().mid(0, 3) << 3;
}

void CatalogueTest::category_opensItsLinkWhenListed()
{
    QFETCH(QStringList, scanned);
    QFETCH(int, category);
    const QStringList itsLink = {QString("category-%1").arg(category)};
    for (const QString& entry : scanned)
        f->window().categoryLinks().addItem(entry);
    f->window().categoryList().select(category);
    QCOMPARE(f->catalogue().category(), category);
    QCOMPARE(f->main().clickLog, scanned.size() > category ? itsLink : QStringList());
    // The category link's procedure refills the links with the site's table: they are the same.
    QCOMPARE(f->entries(f->window().categoryLinks()), scanned);
    // The category's minutes are loaded.
    QCOMPARE(f->records().required().size(), QList<int>({21, 9, 7, 8}).at(category));
}

void CatalogueTest::lesson_clicksItsLink_playerCoversMainView_data()
{
    QTest::addColumn<ReadyState>("state");
    QTest::addColumn<QString>("entry"); // the lesson list's second entry
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("placed"); // the player view now lies exactly over the main view
    const QString second = QString::number(structure::lessonLink(1));
    QTest::newRow("complete page")
        << ReadyState::Complete << second << QStringList{"lesson-0-2"} << true;
    QTest::newRow("loading page: no click")
        << ReadyState::Loading << second << QStringList() << true;
    QTest::newRow("the first element") << ReadyState::Complete << "0" << QStringList{"a#0"} << true;
    QTest::newRow("no link there") << ReadyState::Complete << "99" << QStringList() << false;
    QTest::newRow("not a position") << ReadyState::Complete << "x" << QStringList() << false;
}

void CatalogueTest::lesson_clicksItsLink_playerCoversMainView()
{
    QFETCH(ReadyState, state);
    QFETCH(QString, entry);
    QFETCH(bool, placed);
    f->catalogue().openCourseMenu(); // the site lists the lessons
    for (const QString& position : {QString::number(structure::lessonLink(0)), entry})
        f->window().lessonLinks().addItem(position);
    f->main().clickLog.clear();
    f->main().setReadyState(state);
    f->main().widget()->setGeometry(8, 8, 900, 600);
    const QRect before = f->player().widget()->geometry();
    f->window().lessonLinks().select(1);
    QTEST(f->main().clickLog, "clicks");
    QCOMPARE(f->player().widget()->geometry(), placed ? QRect(8, 8, 900, 600) : before);
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
