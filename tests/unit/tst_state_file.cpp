// The state file: format, tolerance of damaged files, and saves that never tear it.

#include "platform/files.h"
#include "shell/state_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using shell::LoadedState;
using shell::SavedState;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

SavedState sample()
{
    SavedState s;
    s.userName = "学员 007";
    s.password = "pa,ss\"word";
    s.studiedRecords = {"", "1.3.2.0.3.0.4.0.5.0.6.0.7.0.8.0.9.0.", "1.0.2.0.3.0.4.0.5.0.6.0.7.0",
                        ""};
    return s;
}

} // namespace

class StateFileTest : public QObject
{
    Q_OBJECT
private slots:
    void format_sixLinesCrLfInSystemCodePage();
    void saveThenLoad_roundTrip_commaInPassword();
    void load_missingFile_givesNothing();
    void load_shortFile_countsLinesRead_data();
    void load_shortFile_countsLinesRead();
    void load_quotedValueLosesItsQuotes();
    void load_lfOnlyLines();
    void save_interruptedBeforeReplace_keepsOldFile();
    void save_createsOwnerOnlyFile();
    void save_unwritableLocation_failsAndKeepsOldFile();
};

void StateFileTest::format_sixLinesCrLfInSystemCodePage()
{
    const QByteArray bytes = shell::formatStateFile(sample());
    QCOMPARE(bytes.count("\r\n"), 6);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), 6); // no bare line feeds
    // The system code page is UTF-8 on Linux.
    QVERIFY(bytes.startsWith(QString("学员 007\r\n").toUtf8()));
    // Empty records are empty lines.
    QVERIFY(bytes.endsWith("1.0.2.0.3.0.4.0.5.0.6.0.7.0\r\n\r\n"));
}

void StateFileTest::saveThenLoad_roundTrip_commaInPassword()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("boot.txt");
    QVERIFY(shell::writeStateFile(path, sample()));
    const std::optional<LoadedState> loaded = shell::readStateFile(path);
    QVERIFY(loaded);
    QVERIFY(loaded->complete());
    QCOMPARE(loaded->values.userName, sample().userName);
    // Each line is read whole: the comma no longer shifts the records down a line.
    QCOMPARE(loaded->values.password, sample().password);
    QCOMPARE(loaded->values.studiedRecords, sample().studiedRecords);
}

void StateFileTest::load_missingFile_givesNothing()
{
    QTemporaryDir dir;
    QVERIFY(!shell::readStateFile(dir.filePath("absent.txt")));
}

void StateFileTest::load_shortFile_countsLinesRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("password");
    QTest::newRow("empty file") << QByteArray() << 0 << "";
    QTest::newRow("user only") << QByteArray("demo\r\n") << 1 << "";
    QTest::newRow("last line without break") << QByteArray("demo\r\nsecret") << 2 << "secret";
    QTest::newRow("five lines") << QByteArray("a\r\nb\r\n\r\n\r\n\r\n") << 5 << "b";
    QTest::newRow("seven lines: extra ignored")
        << QByteArray("a\r\nb\r\n\r\n\r\n\r\n\r\nx\r\n") << 6 << "b";
}

void StateFileTest::load_shortFile_countsLinesRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lines);
    QFETCH(QString, password);
    const LoadedState loaded = shell::parseStateFile(bytes);
    QCOMPARE(loaded.linesRead, lines);
    QCOMPARE(loaded.complete(), lines == 6);
    QCOMPARE(loaded.values.password, password);
}

void StateFileTest::load_quotedValueLosesItsQuotes()
{
    const LoadedState loaded =
        shell::parseStateFile("\"demo, user\"\r\n\"open\r\n  1.2.\r\n\r\n\r\n\r\n");
    QCOMPARE(loaded.values.userName, QString("demo, user"));
    QCOMPARE(loaded.values.password, QString("open"));
    QCOMPARE(loaded.values.studiedRecords[0], QString("  1.2."));
}

void StateFileTest::load_lfOnlyLines()
{
    const LoadedState loaded = shell::parseStateFile("u\np\n1.1.\n\n\n2.2.\n");
    QVERIFY(loaded.complete());
    QCOMPARE(loaded.values.studiedRecords[3], QString("2.2."));
}

void StateFileTest::save_interruptedBeforeReplace_keepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("boot.txt");
    QVERIFY(shell::writeStateFile(path, sample()));
    const QByteArray before = readBytes(path);

    QVERIFY(!platform::writeFileAtomically(path, QByteArray("torn"),
                                           platform::WriteInterruption::BeforeReplace));
    QCOMPARE(readBytes(path), before);
    // The unfinished new file is gone too.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"boot.txt"});
}

void StateFileTest::save_createsOwnerOnlyFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString path = dir.filePath("boot.txt");
    QVERIFY(shell::writeStateFile(path, sample()));
    const QFileDevice::Permissions mode = QFile::permissions(path);
    QVERIFY(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    QCOMPARE(mode & others, QFileDevice::Permissions());
    // An existing file that others could read is tightened on the next save.
    QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther));
    QVERIFY(shell::writeStateFile(path, sample()));
    QCOMPARE(QFile::permissions(path) & QFileDevice::ReadOther, QFileDevice::Permissions());
#else
    QSKIP("owner-only modes are a POSIX matter");
#endif
}

void StateFileTest::save_unwritableLocation_failsAndKeepsOldFile()
{
    QTemporaryDir dir;
    // A folder where the file should be: no save can replace it, whoever runs the test.
    const QString blocked = dir.filePath("blocked");
    QVERIFY(QDir().mkpath(blocked + "/inside"));
    QVERIFY(!shell::writeStateFile(blocked, sample()));
    QVERIFY(QFileInfo(blocked + "/inside").isDir());
    // A parent that is a file.
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("keep");
    plain.close();
    QVERIFY(!shell::writeStateFile(dir.filePath("plain/boot.txt"), sample()));
    QCOMPARE(readBytes(dir.filePath("plain")), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_state_file.moc"
