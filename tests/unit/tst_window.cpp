// The window's layout on the fake platform: the browser views fill what the column leaves, the
// column keeps its geometry where it fits and scrolls where it does not, and every control of it
// can be reached and pressed on a short screen.

#include "program_fixture.h"
#include "window/morning_view.h"
#include "window/study_status.h"
#include "window/timetable_picture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>

using namespace lumora;
using namespace lumora::testing;

namespace {

const char* const kColumn[] = {"noticeBox",   "studyButton", "exitButton",  "loginBox",
                               "userNameBox", "passwordBox", "loginButton", "categoryList"};

// Where a control is in the window's client area, in pixels.
QRect inClient(window::MainWindow& w, const char* name)
{
    const QWidget* control = w.findChild<QWidget*>(name);
    return {control->mapTo(w.centralWidget(), QPoint()), control->size()};
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
private slots:
    void layout_fillsTheWindow_aFailingStepSkippedOrStopping();
    void accessibility_readsWhatTheLearnerReads();
    void close_duringARunAsks_eachAnswerDoesWhatItSays();
    void statusMessage_besideTheStudyPanel();
    void firstShow_atTheFirstPageBeforeItsOtherHandlers_orAtTheLatest();
    void column_everyControlReachable_data();
    void column_everyControlReachable();
};

void WindowTest::layout_fillsTheWindow_aFailingStepSkippedOrStopping()
{
    ProgramFixture f;
    window::MainWindow& w = f.window();
    w.show(); // laid out at its resize; its activation comes later, from the event queue
    const QWidget* view = w.mainView().widget();
    // The first activation lays it out again: a column that fits since gives the view its width.
    QWidget* column = w.findChild<QScrollArea*>("columnArea")->widget();
    const int columnHeight = column->height();
    column->resize(column->width(), 100); // was 796 px wide beside a column that scrolls
    QTRY_COMPARE(view->width(), 810);
    column->resize(column->width(), columnHeight);
    const auto clientTo = [&w](int width, int height) {
        // The window around a client area of that size; its resize lays it out.
        w.resize(width, height + w.height() - w.centralWidget()->height());
        QTRY_COMPARE(w.centralWidget()->size(), QSize(width, height));
    };
    // 1440 px: 21600 - 2775 - 200 = 18625 twips, held as 1242 px; the column 130 twips on, its
    // controls at their own tops; as much room below the view as above it; the pop-up exactly
    // over it. The column fits: no scroll bar.
    clientTo(1440, 860);
    QCOMPARE(view->geometry(), QRect(8, 8, 1242, 844));
    QCOMPARE(inClient(w, "noticeBox"), QRect(1251, 224, 185, 217));
    // Every control of the column where its twips put it, in its box or in the column.
    const std::tuple<const char*, int, int, int, int> twips[] = {
        {"welcomeLabel", 120, 240, 2535, 255},     {"resolutionLabel", 120, 540, 2535, 255},
        {"noticeLabel", 120, 840, 2535, 2295},     {"studyButton", 0, 6720, 2775, 615},
        {"exitButton", 0, 7440, 2775, 615},        {"loginBox", 0, 8160, 2775, 1935},
        {"userNameLabel", 120, 300, 900, 255},     {"userNameBox", 1080, 240, 1455, 375},
        {"passwordLabel", 120, 780, 900, 255},     {"passwordBox", 1080, 720, 1455, 375},
        {"loginButton", 1080, 1260, 1455, 495},    {"progressBox", 0, 10200, 2775, 2415},
        {"categoryList", 120, 240, 1215, 2055},    {"lessonList", 1395, 240, 735, 2055},
        {"categoryLinkList", 2190, 240, 465, 2055}};
    for (const auto& [name, x, y, width, height] : twips)
        QCOMPARE(w.findChild<QWidget*>(name)->geometry(),
                 QRect(x / 15, y / 15, width / 15, height / 15));
    QTRY_VERIFY(!w.findChild<QScrollArea*>("columnArea")->verticalScrollBar()->isVisible());
    QCOMPARE(w.playerView().widget()->geometry(), view->geometry());
    // Asked to by a second copy or the tray, a minimised or hidden window comes back.
    w.showMinimized();
    w.bringToFront();
    QVERIFY(!w.isMinimized() && w.isVisible());
    w.hide();
    w.bringToFront();
    QVERIFY(w.isVisible());
    QWidget other; // and it comes in front of another window
    other.show();
    QTRY_VERIFY(other.isActiveWindow());
    w.bringToFront();
    QTRY_VERIFY(w.isActiveWindow());
    // Too narrow for the view: activation stops at that step, a resize keeps the width and goes on.
    w.centralWidget()->resize(198, 900);
    w.layOut(window::LayoutPolicy::StopAtFailingStep);
    QCOMPARE(view->geometry(), QRect(8, 8, 1242, 844));
    w.layOut(window::LayoutPolicy::SkipFailingSteps);
    QCOMPARE(view->geometry(), QRect(8, 8, 1242, 884));
    QCOMPARE(w.playerView().widget()->geometry(), view->geometry());
}

void WindowTest::accessibility_readsWhatTheLearnerReads()
{
    // What a screen reader (or automation through accessibility) gets: every view, text box and
    // list is named, and every label, title, button and bar shown reads its own text (in its
    // name, value or description), texts changed during a run included.
    RunFixture f;
    window::MainWindow& w = f.window();
    w.show();
    f.pressStudy();
    f.main().fetchReply->status = platform::FetchAnswer::Status::Pending;
    for (int minute = 0; minute < 3; ++minute)
        f.minute();
    const QString refused = "网站没有接受登录：用户名或密码错误";
    w.showTrouble(window::NoticePanel::Topic::Login, refused);
    w.openStudyRecord();
    QStringList read;
    for (QWidget* widget : w.findChildren<QWidget*>()) { // the record window's too
        const QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(widget);
        if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QListWidget*>(widget) ||
            widget == w.mainView().widget() || widget == w.playerView().widget())
            QVERIFY2(!reader->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
        QString shown;
        if (qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
            qobject_cast<QProgressBar*>(widget))
            shown = widget->property("text").toString();
        else if (qobject_cast<QGroupBox*>(widget))
            shown = widget->property("title").toString();
        if (shown.isEmpty() || !widget->isVisible())
            continue;
        QVERIFY2((reader->text(QAccessible::Name) + '\n' + reader->text(QAccessible::Value) + '\n' +
                  reader->text(QAccessible::Description))
                     .contains(shown),
                 qPrintable(widget->objectName() + ": " + shown));
        read << shown;
    }
    // The message wraps inside the panel, read whole there, and says that it wants the learner.
    QLabel* trouble = w.noticePanel()->findChild<QLabel*>("troubleLabel");
    QVERIFY(trouble->hasHeightForWidth() && QAccessible::queryAccessibleInterface(trouble)->text(
                                                QAccessible::Description) == "需要处理");
    // In red: the message, and the study panel's stall and failed save.
    w.studyStatus()->setSaveFailed(true);
    for (const char* mark : {"troubleLabel", "StudyStall", "StudySaveFailed"})
        QVERIFY(w.findChild<QLabel*>(mark)->palette().color(QPalette::WindowText) == 0xb00020);
    const QString stall = w.studyStatus()->stallText();
    QVERIFY(read.contains(refused) && read.contains(stall) && stall.startsWith("3 分钟未能计时") &&
            read.contains(w.recordWindow()->morningView()->headline()) && read.size() >= 20);
    // The timetable's picture says in words what its rows show.
    window::TimetablePicture* picture = w.recordWindow()->morningView()->picture();
    const QString said =
        QAccessible::queryAccessibleInterface(picture)->text(QAccessible::Description);
    for (const records::CategoryBars& row : picture->bars())
        QVERIFY(said.contains(row.name + "：还需"));
}

void WindowTest::column_everyControlReachable_data()
{
    QTest::addColumn<QSize>("window"); // logical pixels
    QTest::addColumn<bool>("scrolls");
    // A 1920 x 1080 screen at 150%: the maximised window is 1280 x 680 logical pixels.
    QTest::newRow("1920x1080 at 150%") << QSize(1280, 680) << true;
    QTest::newRow("1280x720") << QSize(1280, 720) << true;
    QTest::newRow("1600x1000") << QSize(1600, 1000) << false;
}

void WindowTest::column_everyControlReachable()
{
    QFETCH(QSize, window);
    QFETCH(bool, scrolls);
    ProgramFixture f;
    window::MainWindow& w = f.window();
    w.resize(window);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.layOut(window::LayoutPolicy::SkipFailingSteps);
    auto* area = w.findChild<QScrollArea*>("columnArea");
    QTRY_COMPARE(area->verticalScrollBar()->isVisible(), scrolls);
    // The browser views keep their full height; the column ends at the client's right edge.
    const QWidget* client = w.centralWidget();
    QCOMPARE(w.mainView().widget()->geometry().bottom(), client->height() - 9);
    QVERIFY(area->geometry().right() < client->width());
    QVERIFY(w.mainView().widget()->geometry().right() < area->x());
    w.unlockStudy();                    // as the course page does
    w.categoryList()->setCurrentRow(0); // a list scrolls into view whole, not only its item
    for (const char* name : kColumn) {
        auto* control = w.findChild<QWidget*>(name);
        // As the Tab key reaches a control; a box is scrolled to.
        if (control->focusPolicy() == Qt::NoFocus)
            area->ensureWidgetVisible(control);
        else
            control->setFocus();
        const QRect seen = QRect(control->mapTo(area->viewport(), QPoint()), control->size());
        QVERIFY2(area->viewport()->rect().contains(seen), name);
    }
    // Scrolled to, the login button is what the window shows at that place, and pressing works.
    QSignalSpy login(&w, &window::MainWindow::loginRequested);
    area->ensureWidgetVisible(w.loginButton());
    const QPoint middle = w.loginButton()->mapTo(&w, w.loginButton()->rect().center());
    QCOMPARE(w.childAt(middle), w.loginButton());
    QTest::mouseClick(w.loginButton(), Qt::LeftButton);
    QCOMPARE(login.count(), 1);
    // The wheel scrolls the column back up.
    if (scrolls) {
        QWheelEvent up(QPointF(10, 10), area->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                       QPoint(0, 1200), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area->viewport(), &up);
        QCOMPARE(area->verticalScrollBar()->value(), 0);
    }
}

void WindowTest::close_duringARunAsks_eachAnswerDoesWhatItSays()
{
    // With no run, closing closes, asking nothing.
    ProgramFixture idle;
    idle.start();
    idle.window().show();
    QVERIFY(idle.window().close() && idle.platform.fakeDialogs.questions.isEmpty());
    // During a run: "取消" changes nothing; without a tray there is no third answer.
    RunFixture f;
    window::MainWindow& w = f.window();
    w.show();
    f.pressStudy();
    FakeDialogs& dialogs = f.platform.fakeDialogs;
    dialogs.choices = {1};
    QVERIFY(!w.close() && w.isVisible() && f.run().running());
    QCOMPARE(dialogs.offered, (QStringList{"结束学习并退出", "取消"}));
    // With a tray, the first answer hides the window there and the run goes on.
    w.setTrayAvailable(true);
    dialogs.choices = {0};
    QVERIFY(!w.close() && !w.isVisible() && !w.unloaded() && f.run().running());
    QCOMPARE(dialogs.offered.first(), "继续在托盘中学习");
    // "结束学习并退出" ends the run and the program.
    w.show();
    dialogs.choices = {1};
    QVERIFY(w.close() && w.unloaded() && !f.run().running());
    QCOMPARE(dialogs.questions.size(), 3);
}

void WindowTest::statusMessage_besideTheStudyPanel()
{
    // A message and a trouble as a run shows them: the message in full left of the study panel.
    RunFixture f;
    window::MainWindow& w = f.window();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    f.pressStudy();
    f.minute();
    const QString text = "学习进度改存于：C:\\Users\\learner\\AppData\\Local\\Lumora\\boot.txt";
    w.showStatusMessage(text);
    w.showTrouble(window::NoticePanel::Topic::Save, "学习进度未能保存（磁盘已满）");
    // Laid out again since (the panel's own texts whole, too), and the message left of it.
    QTRY_VERIFY(w.studyStatus()->width() >= w.studyStatus()->sizeHint().width());
    QVERIFY(w.studyStatus()->x() > w.statusBar()->fontMetrics().horizontalAdvance(text));
}

void WindowTest::firstShow_atTheFirstPageBeforeItsOtherHandlers_orAtTheLatest()
{
    // Hidden until the login page has loaded, and shown before the roles hear of the load (they
    // connect after the window is built): a view never shown answers no calls into its page.
    ProgramFixture f;
    window::MainWindow& w = f.window();
    bool shownToHandlers = false;
    QObject::connect(&f.main(), &platform::BrowserControl::documentLoaded, &w,
                     [&] { shownToHandlers = w.isVisible(); });
    w.showOnFirstPage(60000);
    f.platform.runEventLoop();
    QVERIFY(!w.isVisible());
    f.start();
    QVERIFY(shownToHandlers && w.isMaximized()); // the test screen is smaller than the layout's
    // A site slower than the latest time: shown then, with no page.
    ProgramFixture slow;
    slow.window().showOnFirstPage(50);
    QTRY_VERIFY(slow.window().isVisible());
    // Brought forward by a second copy's start, then hidden to the tray: the load leaves it so.
    ProgramFixture hidden;
    hidden.window().showOnFirstPage(60000);
    hidden.window().bringToFront();
    hidden.window().hide();
    hidden.start();
    QVERIFY(!hidden.window().isVisible());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
