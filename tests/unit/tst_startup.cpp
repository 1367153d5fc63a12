// Start-up, the window's controls, the save and the layout, on the fake platform.

#include "form_fixture.h"
#include "study/study_status.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void start_restoresTheStateFile_studyLocked_data();
    void start_restoresTheStateFile_studyLocked();
    void save_failureToldOnce_refusalMovesToTheFallback();
    void resize_browserFillsBetweenMenuAndStatusBar();
    void layout_fitsOrKeepsEachControl_data();
    void layout_fitsOrKeepsEachControl();
};

void StartupTest::start_restoresTheStateFile_studyLocked_data()
{
    const QByteArray head = "demo\r\nde,mo123\r\n1.5.2.0.\r\n", whole = head + "\r\n1.4.\r\n\r\n";
    QTest::addColumn<QByteArray>("bytes"); // none: no file
    QTest::addColumn<bool>("anotherCopy");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("lessons");     // the timetable, loaded from a whole file only
    QTest::addColumn<QString>("record2"); // the third category's studied minutes
    QTest::newRow("no file") << QByteArray() << false << "" << 0 << "";
    QTest::newRow("whole file") << whole << false << "de,mo123" << 21 << "1.4.";
    QTest::newRow("short file") << head << false << "de,mo123" << 0 << "";
    QTest::newRow("second copy") << whole << true << "de,mo123" << 21 << "1.4.";
}

void StartupTest::start_restoresTheStateFile_studyLocked()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, anotherCopy);
    FormFixture f;
    f.platform.anotherCopy = anotherCopy;
    if (!bytes.isNull())
        f.writeState(bytes);
    f.start();
    QCOMPARE(
        f.main().navigations,
        QList<QUrl>{QUrl("http://training.example:8080/permission/loginAction.do?method=init")});
    QVERIFY(f.main().silent.value_or(false) && f.player().silent.value_or(false) &&
            f.platform.fakeData.cacheClears == 1);
    QCOMPARE(f.platform.fakeDialogs.texts(),
             anotherCopy ? QStringList{"程序正在运行，请检查窗口是否被最小化。"} : QStringList());
    QTEST(f.form->Text2->text(), "password");
    QTEST(f.form->studiedMinutesRecord[2], "record2");
    QTEST(f.form->List5->count(), "lessons");
    QTEST(f.form->List4->count(), "lessons");
    if (f.form->List4->count() > 0)
        QCOMPARE(f.entries(*f.form->List4).mid(0, 3), (QStringList{"5", "0", "0"}));
    QCOMPARE(QFile::exists(f.statePath()), !bytes.isNull()); // start-up writes nothing
    shell::Form1& w = *f.form;
    QVERIFY(!w.Command2->isEnabled() && !w.WebBrowser2->widget()->isVisibleTo(&w));
    QCOMPARE(w.Text2->displayText(), QString(w.Text2->text().size(), '*'));
    // Every control a user operates can be found by a screen reader.
    for (QWidget* control : w.findChildren<QWidget*>()) {
        if (control->isVisibleTo(&w) &&
            (qobject_cast<QPushButton*>(control) || qobject_cast<QLineEdit*>(control) ||
             qobject_cast<QListWidget*>(control)))
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
}

void StartupTest::save_failureToldOnce_refusalMovesToTheFallback()
{
    QTemporaryDir dir;
    shell::AppConfig config;
    config.stateFilePath = dir.filePath("c/boot.txt");
    config.stateFileFallback = dir.filePath("local/boot.txt");
    FakePlatform platform;
    shell::Form1 form(platform, config);
    form.load();
    const auto save = [&form] {
        form.statusBar()->clearMessage();
        form.Command11_Click();
        return form.statusBar()->currentMessage();
    };
    // A folder where the file goes is no refusal: the save fails, once told, and nothing moves.
    QVERIFY(QDir().mkpath(config.stateFilePath + "/blocked"));
    QVERIFY(save().contains("无法保存"));
    QVERIFY(save().isEmpty());
    QVERIFY(form.lastSaveFailed() && form.studyStatus()->saveFailureVisible());
    QVERIFY(platform.fakeDialogs.shown.isEmpty() && !QFile::exists(config.stateFileFallback));
    // Once it is gone the whole file is written and the warning goes away.
    QVERIFY(QDir(dir.filePath("c")).removeRecursively());
    form.Text3->setText(" demo ");
    form.studiedMinutesRecord[1] = "1.3.";
    QVERIFY(save().isEmpty());
    QCOMPARE(platform::readWholeFile(config.stateFilePath), " demo \r\n\r\n\r\n1.3.\r\n\r\n\r\n");
    QVERIFY(!form.lastSaveFailed() && !form.studyStatus()->saveFailureVisible());
    // A place that takes no file (a file stands for its folder): saves move, and say so once.
    QVERIFY(QFile::remove(config.stateFilePath) && QDir().rmdir(dir.filePath("c")));
    QVERIFY(QFile(dir.filePath("c")).open(QIODevice::WriteOnly));
    QVERIFY(save().contains(QDir::toNativeSeparators(config.stateFileFallback)));
    QVERIFY(save().isEmpty() && !form.lastSaveFailed() && QFile::exists(config.stateFileFallback));
    // The next start reads the copy kept there.
    shell::Form1 next(platform, config);
    next.load();
    QCOMPARE(next.Text3->text(), QString(" demo "));
}

void StartupTest::resize_browserFillsBetweenMenuAndStatusBar()
{
    FormFixture f;
    f.form->show();
    f.form->resize(1440, 900);
    QTRY_COMPARE(f.form->centralWidget()->width(), 1440);
    const QWidget* browser = f.form->WebBrowser1->widget();
    const QRect view(browser->mapTo(f.form.get(), QPoint()), browser->size());
    // Nothing of the view lies under the status bar, and it has as much room below as above.
    const int below = f.form->statusBar()->y() - (view.bottom() + 1);
    QCOMPARE(below, view.top() - (f.form->menuBar()->geometry().bottom() + 1));
}

void StartupTest::layout_fitsOrKeepsEachControl_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("activation"); // stops at a failing step; a resize steps over it
    QTest::addColumn<QSize>("browser");   // invalid: as it was
    QTest::addColumn<int>("column");      // the column's left; -1: where it was
    // 1440 px: 21600 - 2775 - 200 = 18625 twips, held as 1242 px; the column 130 twips on.
    QTest::newRow("full size") << QSize(1440, 840) << false << QSize(1242, 824) << 1251;
    QTest::newRow("just wide enough") << QSize(199, 840) << false << QSize(1, 824) << 10;
    QTest::newRow("too narrow: width kept") << QSize(198, 840) << false << QSize(1209, 824) << 1218;
    QTest::newRow("too narrow, activated: stops") << QSize(198, 840) << true << QSize() << -1;
    QTest::newRow("too low, activated: stops") << QSize(1440, 15) << true << QSize(1242, 817) << -1;
}

void StartupTest::layout_fitsOrKeepsEachControl()
{
    QFETCH(QSize, client);
    QFETCH(bool, activation);
    QFETCH(QSize, browser);
    QFETCH(int, column);
    FormFixture f;
    shell::Form1& w = *f.form;
    const QSize browserBefore = w.WebBrowser1->widget()->size();
    const int columnBefore = w.Frame1->x();
    const QRect popupBefore = w.WebBrowser2->widget()->geometry();
    w.centralWidget()->resize(client);
    activation ? w.Form_Activate() : w.Form_Resize();
    QCOMPARE(w.WebBrowser1->widget()->size(), browser.isValid() ? browser : browserBefore);
    for (QWidget* control : QList<QWidget*>{w.Frame1, w.Frame2, w.Frame3, w.Command2, w.Command16})
        QCOMPARE(control->x(), column < 0 ? columnBefore : column);
    // The pop-up lies exactly over the browser once the layout got that far.
    QCOMPARE(w.WebBrowser2->widget()->geometry(),
             column < 0 ? popupBefore : w.WebBrowser1->widget()->geometry());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
