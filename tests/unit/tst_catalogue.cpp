// Course-page detection, the discovery scan and the selection handlers, on the fake engine.

#include "form_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

class CatalogueTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void detection_enablesStudyOnceCourseFrameHasCategoryLink();
    void detection_fewerThanFourFrames_changesNothing();
    void detection_onALaterFrameCompletion();
    void scan_listsPositionsAsText();
    void scan_noMatch_leavesOnlyItsListEmpty();
    void scan_loadingPage_refreshesBeforeEachScan();
    void scan_withoutLessonFrame_leavesListsAsTheyWere();
    void courseMenu_clicksThirdListItem();
    void category_opensItsLinkThroughTheTable();
    void category_listOneTooShort_loadsTimetableOnly_data();
    void category_listOneTooShort_loadsTimetableOnly();
    void categoryLinks_userClickUsesCategoryIndex();
    void lesson_clicksItsLinkAndCoversMainView();
    void lesson_loadingPage_noClick_playerStillPlaced();
    void lesson_positionWithoutElement_nothingClickedNoMessage();

private:
    std::unique_ptr<FormFixture> f;
    CoursePage site;
};

void CatalogueTest::init()
{
    f = std::make_unique<FormFixture>();
    f->start();
    site = makeCoursePage();
    f->main().setDocument(site.top);
    f->main().setReadyState(platform::ReadyState::Complete);
}

void CatalogueTest::detection_enablesStudyOnceCourseFrameHasCategoryLink()
{
    QVERIFY(!f->form->Command2->isEnabled());
    f->main().completeDocument();
    QVERIFY(f->form->Command2->isEnabled());
    QVERIFY(f->form->List3->widget()->isEnabled());
    QVERIFY(!f->form->Command3->isEnabled());
    // Nothing reverses it, not even a page without the link.
    f->main().setDocument(framedPage(std::make_shared<FakeDocument>()));
    f->main().completeDocument();
    QVERIFY(f->form->Command2->isEnabled());
    QVERIFY(!f->form->Command3->isEnabled());
}

void CatalogueTest::detection_fewerThanFourFrames_changesNothing()
{
    auto course = std::make_shared<FakeDocument>();
    course->link("个体辅导学习课程");
    f->main().setDocument(framedPage(course, 3));
    f->main().completeDocument();
    QVERIFY(!f->form->Command2->isEnabled());
    QVERIFY(!f->form->List3->widget()->isEnabled());
    QVERIFY(f->form->Command3->isEnabled());
    QVERIFY(f->platform.fakeDialogs.shown.isEmpty());
}

void CatalogueTest::detection_onALaterFrameCompletion()
{
    auto course = std::make_shared<FakeDocument>();
    f->main().setDocument(framedPage(course));
    f->main().completeDocument(); // the top document: the frame is still empty
    QVERIFY(!f->form->Command2->isEnabled());
    course->link("[团体训练学习课程]"); // text around the words still counts
    f->main().completeDocument();       // the course frame's own completion
    QVERIFY(f->form->Command2->isEnabled());
}

void CatalogueTest::scan_listsPositionsAsText()
{
    f->form->Command17_Click();
    f->form->Command15_Click();
    QCOMPARE(f->entries(*f->form->List1), (QStringList{"2", "5", "8", "11"}));
    QCOMPARE(f->entries(*f->form->List7), QStringList{"2"});
    QCOMPARE(f->form->List2->count(), 21);
    QCOMPARE(f->form->List2->text(0), QString("1"));
    QCOMPARE(f->form->List2->text(2), QString("5"));
    QCOMPARE(f->form->List2->text(20), QString("41"));
    QCOMPARE(f->main().refreshCount, 0);
}

void CatalogueTest::scan_noMatch_leavesOnlyItsListEmpty()
{
    f->form->List2->addItem("stale");
    // The lesson frame holds links without the script: List2 ends empty, the others fill.
    site.lessons->link("简介");
    site.lessons->link("第1课", "play(1)");
    f->form->Command15_Click();
    QCOMPARE(f->form->List2->count(), 0);
    QCOMPARE(f->form->List1->count(), 4);
    QCOMPARE(f->form->List7->count(), 1);
}

void CatalogueTest::scan_loadingPage_refreshesBeforeEachScan()
{
    f->form->Command17_Click();
    const int refreshesBefore = f->main().refreshCount;
    QCOMPARE(refreshesBefore, 0);
    f->main().setReadyState(platform::ReadyState::Interactive);
    f->form->Command15_Click();
    QCOMPARE(f->main().refreshCount, 3);
    QCOMPARE(f->form->List2->count(), 21); // the scans still ran on the page shown
    f->form->Command17_Click();
    QCOMPARE(f->main().refreshCount, 4);
}

void CatalogueTest::scan_withoutLessonFrame_leavesListsAsTheyWere()
{
    f->form->Command17_Click();
    f->form->Command15_Click();
    site.course->frames().clear();
    f->form->gate().dispatch([this] { f->form->Command15_Click(); });
    QCOMPARE(f->form->List2->count(), 21);
    QCOMPARE(f->form->List1->count(), 4);
}

void CatalogueTest::courseMenu_clicksThirdListItem()
{
    f->form->Command17_Click();
    QCOMPARE(f->main().clickLog, QStringList{"course-menu"});
}

void CatalogueTest::category_opensItsLinkThroughTheTable()
{
    f->form->Command15_Click();
    f->main().clickLog.clear();
    f->form->List3->select(2);
    QCOMPARE(f->form->categoryIndex, qint16(2));
    QCOMPARE(f->form->List5->count(), 7); // the category's timetable
    QCOMPARE(f->form->List5->text(2), QString("50"));
    QCOMPARE(f->main().clickLog, QStringList{"category-2"});
    QCOMPARE(f->entries(*f->form->List1), (QStringList{"2", "5", "8", "11"}));
    QCOMPARE(f->form->List1->listIndex(), -1);
    // The site now lists that category's lessons.
    f->form->Command17_Click();
    f->form->Command15_Click();
    QCOMPARE(f->form->List2->count(), 7);
}

void CatalogueTest::category_listOneTooShort_loadsTimetableOnly_data()
{
    QTest::addColumn<QStringList>("list1");
    QTest::newRow("empty") << QStringList{};
    QTest::newRow("three entries for position 3") << QStringList{"2", "5", "8"};
}

void CatalogueTest::category_listOneTooShort_loadsTimetableOnly()
{
    QFETCH(QStringList, list1);
    for (const QString& entry : list1)
        f->form->List1->addItem(entry);
    f->form->List3->select(3);
    QCOMPARE(f->form->categoryIndex, qint16(3));
    QCOMPARE(f->form->List5->count(), 8);
    QVERIFY(f->main().clickLog.isEmpty());
    QCOMPARE(f->entries(*f->form->List1), list1);
}

void CatalogueTest::categoryLinks_userClickUsesCategoryIndex()
{
    f->form->Command15_Click();
    f->form->categoryIndex = 1;
    f->form->List1->widget()->setCurrentRow(3); // the user picks "11"
    QCOMPARE(f->main().clickLog, QStringList{"category-1"});
}

void CatalogueTest::lesson_clicksItsLinkAndCoversMainView()
{
    f->form->Command17_Click();
    f->form->Command15_Click();
    f->main().clickLog.clear();
    f->main().widget()->setGeometry(8, 8, 900, 600);
    f->form->List2->select(1);
    QCOMPARE(f->main().clickLog, QStringList{"lesson-0-2"});
    QCOMPARE(f->player().widget()->geometry(), QRect(8, 8, 900, 600));
}

void CatalogueTest::lesson_loadingPage_noClick_playerStillPlaced()
{
    f->form->Command17_Click();
    f->form->Command15_Click();
    f->main().clickLog.clear();
    f->main().setReadyState(platform::ReadyState::Loading);
    f->form->List2->select(0);
    QVERIFY(f->main().clickLog.isEmpty());
    QCOMPARE(f->main().refreshCount, 0);
    QCOMPARE(f->player().widget()->geometry(), f->main().widget()->geometry());
}

void CatalogueTest::lesson_positionWithoutElement_nothingClickedNoMessage()
{
    const QRect before = f->player().widget()->geometry();
    f->form->List2->addItem("99");
    f->form->List2->addItem("x");
    f->form->List2->select(0);
    f->form->List2->select(1);
    QVERIFY(f->main().clickLog.isEmpty());
    QVERIFY(f->platform.fakeDialogs.shown.isEmpty());
    QCOMPARE(f->player().widget()->geometry(), before);
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
