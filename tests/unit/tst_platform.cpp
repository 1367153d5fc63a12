// The platform's own services: the log file, text in the system code page, keeping the system
// awake, one copy at a time, and the command line a restart is registered with.

#include "app/single_copy.h"
#include "fake_platform.h"
#include "platform/files.h"
#include "platform/log_file.h"
#include "platform/logging.h"
#include "platform/restart_registration.h"
#include "platform/system_sleep_inhibitor.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

using namespace lumora;
using platform::LogFile;

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

// A log file's lines; it starts with a byte-order mark.
QStringList fileLines(const QString& path)
{
    const QByteArray bytes = platform::readWholeFile(path).value_or("");
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {"no byte-order mark"};
    return QString::fromUtf8(bytes.mid(3)).split('\n', Qt::SkipEmptyParts);
}

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
    void logFile_lumoraCategoriesOnly_allPassedOn();
    void logFile_rotatesAtTheLimit_keepsOnePreviousFile();
    void logFile_unwritableFolder_stillPassesOn();
    void systemCodePage_gbkReadWhereNotUtf8();
    void sleepInhibitor_firstWayThatWorks_heldUntilReleased();
    void singleCopy_secondToldAndFirstShown_lockFreedWithTheFirst();
    void restartCommandLine_readBackAsGiven();
};

void PlatformTest::logFile_lumoraCategoriesOnly_allPassedOn()
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
    QStringList lines = fileLines(LogFile::pathIn(dir.path()));
    for (QString& line : lines) {
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        line.remove(stamp);
    }
    QCOMPARE(lines, QStringList({"info lumora.study: 学习开始", "warning lumora.engine: two lines",
                                 "debug lumora.page: debug is on"}));
}

void PlatformTest::logFile_rotatesAtTheLimit_keepsOnePreviousFile()
{
    // Lines of about 60 bytes against a limit of 300: several rotations, each replacing the
    // previous file.
    QTemporaryDir dir;
    {
        const LogFile log(dir.path(), 300);
        for (int i = 0; i < 40; ++i)
            qCInfo(lcState).noquote() << "line" << i;
    }
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(files, QStringList({"lumora.1.log", "lumora.log"}));
    QList<int> numbers;
    for (const QString& path : {LogFile::previousPathIn(dir.path()), LogFile::pathIn(dir.path())}) {
        QVERIFY(QFileInfo(path).size() <= 300);
        for (const QString& line : fileLines(path))
            numbers << line.section(' ', -1).toInt();
    }
    // The newest lines, none lost between the two files.
    QVERIFY(numbers.size() > 4);
    for (qsizetype i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers[i], 40 - numbers.size() + i);
}

void PlatformTest::logFile_unwritableFolder_stillPassesOn()
{
    // A folder under a regular file can be made by no one, root included.
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    const RecordedHandler recorded;
    const LogFile log(dir.filePath("file/logs"));
    qCWarning(lcStudy) << "first";
    qCWarning(lcStudy) << "second";
    QCOMPARE(g_passedOn.filter("cannot write the log file").size(), 1);
    QCOMPARE(g_passedOn.filter(QRegularExpression("first|second")).size(), 2);
}

void PlatformTest::systemCodePage_gbkReadWhereNotUtf8()
{
    // Linux reads the system code page as UTF-8; a file from the old program on a Chinese Windows
    // is in GBK.
    const std::pair<QByteArray, QString> cases[] = {
        {"\xD5\xC5\xC8\xFD", "张三"},           // GBK
        {"li \xD5\xC5\xC8\xFD 7", "li 张三 7"}, // GBK among ASCII
        {"\xE5\xBC\xA0\xE4\xB8\x89", "张三"},   // UTF-8
        {"", ""},
    };
    for (const auto& [bytes, text] : cases)
        QCOMPARE(platform::fromSystemCodePage(bytes), text);
}

void PlatformTest::sleepInhibitor_firstWayThatWorks_heldUntilReleased()
{
    // Which of logind and the screen saver work, then the calls made over hold("run"),
    // hold("again"), release(), release(), hold("next") and the end of the inhibitor.
    const std::tuple<bool, bool, QStringList> cases[] = {
        {true, true, {"logind block run", "logind unblock", "logind block next", "logind unblock"}},
        {false,
         true,
         {"logind block run", "saver block run", "saver unblock", "logind block next",
          "saver block next", "saver unblock"}},
        {false,
         false,
         {"logind block run", "saver block run", "logind block next", "saver block next"}},
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
        QCOMPARE(calls, expected);
        QCOMPARE(held,
                 QList<bool>({true, false, true})); // as asked, also with no way to stay awake
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
    QCOMPARE(dialogs.texts(), QStringList{"程序正在运行，请检查窗口是否被最小化。"});
    // With the first copy gone, the next one is the only one.
    first.reset();
    QVERIFY(!platform::SingleInstance(lock).anotherCopyRunning());
}

void PlatformTest::restartCommandLine_readBackAsGiven()
{
    // As Windows splits it again: blanks and quotes quoted, backslashes doubled before a quote.
    QCOMPARE(
        platform::windowsCommandLine(
            {"--site", "https://s.example/a b", "C:\\My Files\\", "say \"hi\"", "", "--resume"}),
        "--site \"https://s.example/a b\" \"C:\\My Files\\\\\" \"say \\\"hi\\\"\" \"\" --resume");
}

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
