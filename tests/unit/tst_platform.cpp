// The platform's own services: the log file and the rotating file under it, keeping the system
// awake and one copy at a time. The Windows calls, code pages included, are tst_win32's.

#include "app/single_copy.h"
#include "fake_platform.h"
#include "platform/files.h"
#include "platform/log_file.h"
#include "platform/logging.h"
#include "platform/qt_services.h"
#include "platform/rotating_file.h"
#include "platform/system_sleep_inhibitor.h"
#include "platform/webengine/load_state.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

using namespace lumora;
using platform::LogFile;
using platform::RotatingFile;

Q_LOGGING_CATEGORY(lcOther, "other.area")

namespace {

// What reached the message handler installed before the log file.
QStringList g_passedOn;
void recordMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_passedOn << message;
}

// The handler before the log file records what it gets, for the length of one test.
struct RecordedHandler
{
    RecordedHandler()
    {
        g_passedOn.clear();
        m_test = qInstallMessageHandler(recordMessage);
    }
    ~RecordedHandler() { qInstallMessageHandler(m_test); }
    QtMessageHandler m_test;
};

// A way of staying awake that is there or not, writing what is asked of it into a shared record.
class FakeBlocker final : public platform::SleepBlocker
{
public:
    FakeBlocker(QString name, bool available, QStringList& calls)
        : m_name(std::move(name)), m_available(available), m_calls(calls)
    {
    }
    QString name() const override { return m_name; }
    bool block(const QString& why, QString& reason) override
    {
        m_calls << m_name + " block " + why;
        reason = "no " + m_name;
        return m_available;
    }
    void unblock() override { m_calls << m_name + " unblock"; }

private:
    QString m_name;
    bool m_available;
    QStringList& m_calls;
};

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT
private slots:
    void logFile_lumoraCategoriesOnly_allPassedOn_failureTold();
    void rotatingFile_wholeLinesOneOlderFile_failuresToldOnceUntilItWorks();
    void sleepInhibitor_firstWayThatWorks_heldUntilReleased();
    void singleCopy_secondToldAndFirstShown_lockFreedWithTheFirst();
    void runTimer_ticksWhileEnabled();
    void rendererGone_reloadedOnce_aNavigationMeanwhileWaitsForIt();
};

void PlatformTest::logFile_lumoraCategoriesOnly_allPassedOn_failureTold()
{
    QTemporaryDir dir;
    {
        const RecordedHandler recorded;
        const LogFile log(dir.path());
        qCInfo(lcStudy) << "学习开始";
        qCWarning(lcEngine).noquote() << "two\nlines";
        qCDebug(lcPage) << "debug is off";
        qCWarning(lcOther) << "another area";
        qWarning() << "no area";
        QLoggingCategory::setFilterRules("lumora.page.debug=true");
        qCDebug(lcPage) << "debug is on";
        QLoggingCategory::setFilterRules({});
        QCOMPARE(g_passedOn.size(), 5); // all but the debug line filtered out
    }
    qCInfo(lcState) << "after the log file went";
    const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )");
    const QByteArray bytes = platform::readWholeFile(LogFile::pathIn(dir.path())).value_or("");
    QStringList lines = QString::fromUtf8(bytes.mid(3)).split('\n', Qt::SkipEmptyParts); // no BOM
    for (QString& line : lines) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        line.remove(stamp);
    }
    QCOMPARE(lines, QStringList({"info lumora.study: 学习开始", "warning lumora.engine: two lines",
                                 "debug lumora.page: debug is on"}));
    // A folder under a regular file (the log just written) can be made by no one, root included.
    const RecordedHandler recorded;
    const LogFile log(LogFile::pathIn(dir.path()));
    qCWarning(lcStudy) << "first";
    QCOMPARE(g_passedOn, QStringList({"first", "cannot write the log file " +
                                                   QDir::toNativeSeparators(LogFile::pathIn(
                                                       LogFile::pathIn(dir.path())))}));
}

void PlatformTest::rotatingFile_wholeLinesOneOlderFile_failuresToldOnceUntilItWorks()
{
    // Against a limit of 20 bytes, from one start to the next: bytes left at the file's end by
    // another hand (a line cut short), the line appended, then the file and the previous file.
    QTemporaryDir dir;
    const QString path = dir.filePath("x.txt"), previous = dir.filePath("x.1.txt");
    QVERIFY(platform::writeFileAtomically(previous, "oldest\n").written());
    const QByteArray bom = "\xEF\xBB\xBF";
    const std::tuple<QByteArray, QByteArray, QByteArray, QByteArray> steps[] = {
        {"", "one\n", bom + "one\n", "oldest\n"},
        {"cu", "two\n", bom + "one\ncu\ntwo\n", "oldest\n"},           // the cut line ended
        {"", "three\n", bom + "one\ncu\ntwo\nthree\n", "oldest\n"},    // exactly full: kept
        {"cut", "4\n", bom + "4\n", bom + "one\ncu\ntwo\nthree\ncut"}, // moved aside first
    };
    for (const auto& [left, line, now, older] : steps) {
        const QByteArray before = platform::readWholeFile(path).value_or("");
        QVERIFY(platform::writeFileAtomically(path, before + left).written());
        RotatingFile(path, 20).append(line);
        QVERIFY(platform::readWholeFile(path) == now && platform::readWholeFile(previous) == older);
    }
    // Every line but a new file's first rotates (a limit of 1 byte). Per line, what is in the
    // way: R a folder where the previous file goes (the file grows on), W a file where the
    // file's folder goes (no line), - nothing. Then what the lines tell: r that the rotation
    // failed, w that the line was not written, - nothing new.
    const QString folder = dir.filePath("logs");
    RotatingFile file(folder + "/x.txt", 1);
    QString told;
    for (const QChar inTheWay : QStringLiteral("-RR-RWW-W-")) {
        QFile::remove(folder); // what stood in the way before goes
        QFile::remove(file.previousPath());
        QDir(file.previousPath()).removeRecursively();
        if (inTheWay == 'R')
            QVERIFY(QDir().mkpath(file.previousPath() + "/in-the-way"));
        if (inTheWay == 'W')
            QVERIFY(QDir(folder).removeRecursively() &&
                    platform::writeFileAtomically(folder, "").written());
        const RotatingFile::NewFailures news = file.append("line\n");
        told += news.write ? 'w' : news.rotate ? 'r' : '-';
    }
    QCOMPARE(told, "-r--rw--w-");
}

void PlatformTest::sleepInhibitor_firstWayThatWorks_heldUntilReleased()
{
    // Which of logind and the screen saver work, then the calls made over hold("run"),
    // hold("again"), release(), release(), hold("next") and the end of the inhibitor.
    const std::tuple<bool, bool, QString> cases[] = {
        {true, true, "logind block run,logind unblock,logind block next,logind unblock"},
        {false, true,
         "logind block run,saver block run,saver unblock,logind block next,saver block next,"
         "saver unblock"},
        {false, false, "logind block run,saver block run,logind block next,saver block next"},
    };
    for (const auto& [logind, saver, expected] : cases) {
        if (!logind && !saver) {
            // Told once, not at every hold.
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("nothing keeps the system awake.*no saver"));
            QTest::failOnWarning(QRegularExpression("nothing keeps the system awake"));
        }
        QStringList calls;
        QList<bool> held;
        {
            std::vector<std::unique_ptr<platform::SleepBlocker>> blockers;
            blockers.push_back(std::make_unique<FakeBlocker>("logind", logind, calls));
            blockers.push_back(std::make_unique<FakeBlocker>("saver", saver, calls));
            platform::SystemSleepInhibitor inhibitor(std::move(blockers));
            inhibitor.hold("run");
            inhibitor.hold("again");
            held << inhibitor.held();
            inhibitor.release();
            inhibitor.release();
            held << inhibitor.held();
            inhibitor.hold("next");
            held << inhibitor.held();
        }
        QCOMPARE(calls.join(','), expected);
        // As asked, also with no way to stay awake.
        QCOMPARE(held, QList<bool>({true, false, true}));
    }
}

void PlatformTest::singleCopy_secondToldAndFirstShown_lockFreedWithTheFirst()
{
    QTemporaryDir dir;
    const QString lock = dir.filePath("data/lumora.lock");
    auto first = std::make_unique<platform::SingleInstance>(lock);
    QVERIFY(!first->anotherCopyRunning());
    testing::FakeDialogs dialogs;
    QVERIFY(!app::handOverToRunningCopy(*first, dialogs));
    QSignalSpy shown(first.get(), &platform::SingleInstance::showRequested);
    platform::SingleInstance second(lock);
    QVERIFY(second.anotherCopyRunning());
    // The second copy waits for the first's answer; the first answers from its event loop.
    bool handedOver = false;
    std::thread secondCopy([&] { handedOver = app::handOverToRunningCopy(second, dialogs); });
    QTRY_COMPARE(shown.count(), 1);
    secondCopy.join();
    QVERIFY(handedOver);
    QCOMPARE(dialogs.texts, QStringList{"程序正在运行，请检查窗口是否被最小化。"});
    bool answered = false; // and the first's answer reached the second
    std::thread askAgain([&] { answered = second.askRunningCopyToShow(); });
    QTRY_COMPARE(shown.count(), 2);
    askAgain.join();
    QVERIFY(answered);
    // With the first copy gone, the next one is the only one.
    first.reset();
    QVERIFY(!platform::SingleInstance(lock).anotherCopyRunning());
}

void PlatformTest::runTimer_ticksWhileEnabled()
{
    platform::QtTimer timer;
    timer.setInterval(10);
    QSignalSpy ticks(&timer, &platform::Timer::tick);
    timer.setEnabled(true);
    timer.setEnabled(true); // already running: it goes on
    QVERIFY(ticks.wait() && timer.isEnabled());
    timer.setEnabled(false);
    QVERIFY(!timer.isEnabled());
}

void PlatformTest::rendererGone_reloadedOnce_aNavigationMeanwhileWaitsForIt()
{
    using platform::LoadOutcome;
    using platform::webengine::LoadState;
    const QUrl a("http://site.example/a"), b("http://site.example/b");
    LoadState state;
    QVERIFY(state.loadRequested(a));
    state.loadStarted(a);
    // A page's script closing its window is told once a document.
    QVERIFY(state.closeRequested() && !state.closeRequested());
    // The end of a load that a newer request superseded goes unreported.
    QVERIFY(state.loadRequested(b));
    QVERIFY(!state.loadFinished({LoadOutcome::NetworkError, 0, {}, a}, false));
    state.loadStarted(b);
    QVERIFY(state.loadFinished({LoadOutcome::Succeeded, 200, {}, b}, false));
    // A navigation asked for before the deferred reload runs waits for it, and is what it loads.
    // The load the renderer died in ends unreported; the reload reports for itself.
    QVERIFY(state.rendererTerminated());
    QVERIFY(!state.loadFinished({LoadOutcome::HttpError, 0, {}, a}, false));
    QVERIFY(state.lastLoad().outcome == LoadOutcome::RendererGone && !state.loadRequested(b));
    QCOMPARE(state.reloadDue(), std::optional<QUrl>(b));
    state.loadStarted(b);
    QCOMPARE(state.lastLoad().url, b);
    // A load begun since the crash needs no reload.
    QVERIFY(state.rendererTerminated());
    state.loadStarted(a);
    QCOMPARE(state.reloadDue(), std::nullopt);
    // Without a load that succeeds in between, crashes are reloaded (as they were) a few times.
    LoadState failing;
    for (int crash = 0; crash < platform::webengine::kMaxCrashReloads; ++crash) {
        QVERIFY(failing.rendererTerminated());
        QCOMPARE(failing.reloadDue(), std::optional<QUrl>(QUrl()));
    }
    QVERIFY(!failing.rendererTerminated());
}

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
