// Start-up, the site address and the save, on the fake platform.

#include "program_fixture.h"
#include "window/study_status.h"

#include <QGroupBox>
#include <QLineEdit>
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
    void siteAddress_httpOrHttpsWithAHost();
    void save_failureToldOnce_refusalMovesToTheFallback();
};

void StartupTest::start_restoresTheStateFile_studyLocked_data()
{
    QTest::addColumn<QByteArray>("bytes");   // null: no file
    QTest::addColumn<QStringList>("boxes");  // user name, password, the second category's record
    QTest::addColumn<QList<int>>("studied"); // the first category's first three lessons
    const QByteArray head = "demo\r\nde,mo123\r\n1.5.2.0.\r\n1.4.";
    const QStringList restored = {"demo", "de,mo123", "1.4."};
    QTest::newRow("no file") << QByteArray() << QStringList{"", "", ""} << QList<int>{0, 0, 0};
    QTest::newRow("short file") << head + "\r\n" << restored << QList<int>{5, 0, 0};
    QTest::newRow("whole file") << head + "\r\n\r\n\r\n" << restored << QList<int>{5, 0, 0};
    QTest::newRow("damaged record") << QByteArray("demo\r\n\r\n1.x.2.7\r\n\r\n\r\n\r\n")
                                    << QStringList{"demo", "", ""} << QList<int>{0, 7, 0};
}

void StartupTest::start_restoresTheStateFile_studyLocked()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, studied);
    ProgramFixture f;
    if (!bytes.isNull())
        f.writeState(bytes);
    f.start();
    window::MainWindow& w = f.window();
    QCOMPARE(
        f.main().navigations,
        QList<QUrl>{QUrl("http://training.example:8080/permission/loginAction.do?method=init")});
    QVERIFY(f.main().silent.value_or(false) && f.player().silent.value_or(false));
    QCOMPARE(f.platform.fakeData.cacheClears, 1);
    QVERIFY(!f.timer().isEnabled() && f.timer().interval() == 20000); // the study tick, stopped
    QVERIFY(f.platform.fakeDialogs.shown.isEmpty());
    QTEST(
        (QStringList{w.userNameBox()->text(), w.passwordBox()->text(), f.records().recordText(1)}),
        "boxes");
    QCOMPARE((QList<int>{f.studied(0, 0), f.studied(0, 1), f.studied(0, 2)}), studied);
    QCOMPARE(f.readState(), bytes); // start-up writes nothing
    QVERIFY(!w.studyButton()->isEnabled() && !w.playerView().widget()->isVisibleTo(&w));
    QCOMPARE(w.passwordBox()->displayText(), QString(w.passwordBox()->text().size(), '*'));
    QCOMPARE(f.entries(w.categoryList()), records::categoryNames());
    QCOMPARE(w.categoryList()->currentRow(), -1); // none chosen yet
}

void StartupTest::siteAddress_httpOrHttpsWithAHost()
{
    // What is given, and what is taken (empty: refused). A bare host means http.
    const std::pair<QString, QString> cases[] = {
        {"127.0.0.1:18080", "http://127.0.0.1:18080"},
        {"https://site.example/x", "https://site.example/x"},
        {"http://", ""}};
    for (const auto& [given, taken] : cases) {
        const app::SiteAddress address = app::parseSiteAddress(given);
        QCOMPARE(address.url.toString(), taken);
        QCOMPARE(address.error.isEmpty(), !taken.isEmpty());
    }
}

void StartupTest::save_failureToldOnce_refusalMovesToTheFallback()
{
    QTemporaryDir dir;
    app::AppConfig config;
    config.stateFilePath = dir.filePath("c/boot.txt");
    config.stateFileFallback = dir.filePath("local/boot.txt");
    FakePlatform platform;
    app::Program program(platform, config);
    program.start();
    window::MainWindow& w = program.window();
    const auto save = [&] {
        w.statusBar()->clearMessage();
        program.state().save();
        return w.statusBar()->currentMessage();
    };
    // A folder where the file goes is no refusal: the save fails, once told, and nothing moves.
    QVERIFY(QDir().mkpath(config.stateFilePath + "/blocked"));
    QVERIFY(save().contains("无法保存") && save().isEmpty());
    QVERIFY(program.state().lastSaveFailed() && w.studyStatus()->saveFailureVisible());
    QVERIFY(platform.fakeDialogs.shown.isEmpty() && !QFile::exists(config.stateFileFallback));
    // Once it is gone the whole file is written and the warning goes away.
    QVERIFY(QDir(dir.filePath("c")).removeRecursively());
    QVERIFY(save().isEmpty());
    QCOMPARE(platform::readWholeFile(config.stateFilePath), "\r\n\r\n\r\n\r\n\r\n\r\n");
    QVERIFY(!program.state().lastSaveFailed() && !w.studyStatus()->saveFailureVisible());
    // A place that takes no file (a file stands for its folder): saves move, and say so once.
    QVERIFY(QFile::remove(config.stateFilePath) && QDir().rmdir(dir.filePath("c")));
    QVERIFY(QFile(dir.filePath("c")).open(QIODevice::WriteOnly));
    QVERIFY(save().contains(QDir::toNativeSeparators(config.stateFileFallback)));
    QVERIFY(save().isEmpty() && !program.state().lastSaveFailed() &&
            QFile::exists(config.stateFileFallback));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
