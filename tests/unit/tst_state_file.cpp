// The state file: format, damaged files, saves that never tear it, and where it is kept.

#include "shell/state_file.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace lumora;
using shell::StateFileStore;

namespace {

shell::SavedState sample(const QString& userName = "demo 007")
{
    return {userName, "pa,ss\"word", {"", "1.3.2.0.", "1.0.2.0.3.0", ""}};
}

QString userOf(const std::optional<shell::LoadedState>& loaded)
{
    return loaded ? loaded->values.userName : QString();
}

// Writes the sample with `userName` to `path`, last changed `minutesAgo`.
void writeAged(const QString& path, const QString& userName, int minutesAgo)
{
    QFile f(path);
    const QByteArray bytes = shell::formatStateFile(sample(userName));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly));
    QVERIFY(f.write(bytes) == bytes.size() && f.flush());
    static const QDateTime now = QDateTime::currentDateTime(); // equal ages give equal times
    QVERIFY(f.setFileTime(now.addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime));
}

// Root writes through folder modes: this test thread gives that up for the rest of its run.
void dropFolderModeOverride()
{
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &header, caps) == 0) {
        caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header, caps);
    }
#endif
}

} // namespace

class StateFileTest : public QObject
{
    Q_OBJECT
private slots:
    void parse_damagedFiles_data();
    void parse_damagedFiles();
    void save_sixCrLfLines_ownerOnly_nothingLeftBehind();
    void load_newestCopyWins_data();
    void load_newestCopyWins();
    void save_refusedFolder_movesToFallbackOnce();
};

void StateFileTest::parse_damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("lastRecord");
    QTest::newRow("empty") << QByteArray() << "" << 0 << "";
    QTest::newRow("no final break") << QByteArray("demo\r\nsecret") << "secret" << 2 << "";
    QTest::newRow("quoted") << QByteArray("\n\"o,p\"x\r\n\r\n\r\n\r\n\"4\r\n") << "o,p" << 6 << "4";
    QTest::newRow("LF only, seven lines")
        << QByteArray("u\np\n\n\n\n2.2.\nx\n") << "p" << 6 << "2.2.";
}

void StateFileTest::parse_damagedFiles()
{
    QFETCH(QByteArray, bytes);
    const shell::LoadedState loaded = shell::parseStateFile(bytes);
    QTEST(loaded.linesRead, "lines");
    QTEST(loaded.values.password, "password");
    QTEST(loaded.values.studiedRecords[3], "lastRecord");
}

void StateFileTest::save_sixCrLfLines_ownerOnly_nothingLeftBehind()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("boot.txt");
    QVERIFY(shell::writeStateFile(path, sample()).written());
    QCOMPARE(platform::readWholeFile(path).value_or(""),
             "demo 007\r\npa,ss\"word\r\n\r\n1.3.2.0.\r\n1.0.2.0.3.0\r\n\r\n");
#ifdef Q_OS_UNIX
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    // A folder where the file should be: not a matter of permission, and nothing is left behind.
    QVERIFY(QDir(dir.path()).mkpath("folder/inside"));
    QCOMPARE(shell::writeStateFile(dir.filePath("folder"), sample()).status,
             platform::WriteStatus::Failed);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList({"boot.txt", "folder"}));
    const QString name = "学员 007";
    if (platform::fromSystemCodePage(platform::toSystemCodePage(name)) != name)
        QSKIP("the system code page cannot hold Chinese text");
    QVERIFY(shell::writeStateFile(path, sample(name)).written());
    QCOMPARE(userOf(shell::readStateFile(path)), name);
}

void StateFileTest::load_newestCopyWins_data()
{
    QTest::addColumn<QList<int>>("ages"); // minutes since c:\boot.txt, the local copy and the old
    QTest::addColumn<QString>("read");    // program's copy were written (-1: absent)
    QTest::newRow("local copy newer") << QList<int>{5, 1, -1} << "local";
    QTest::newRow("preferred newer") << QList<int>{1, 5, 9} << "c";
    QTest::newRow("old program's copy newest") << QList<int>{9, -1, 1} << "VirtualStore";
    QTest::newRow("a tie keeps the preferred") << QList<int>{3, 3, 3} << "c";
}

void StateFileTest::load_newestCopyWins()
{
    QFETCH(QList<int>, ages);
    QTemporaryDir dir;
    const QStringList folders = {"c", "local", "VirtualStore"};
    const auto at = [&dir](const QString& folder) { return dir.filePath(folder + "/boot.txt"); };
    for (int i = 0; i < 3; ++i)
        if (ages[i] >= 0)
            writeAged(at(folders[i]), folders[i], ages[i]);
    QTEST(userOf(StateFileStore(at("c"), at("local"), {at("VirtualStore")}).load()), "read");
}

void StateFileTest::save_refusedFolder_movesToFallbackOnce()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("c"), preferred = folder + "/boot.txt";
    const QString fallback = dir.filePath("local/Lumora/boot.txt");
    writeAged(preferred, "old", 60);
    // A folder that takes no new file stands in for c:\ under a standard user.
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    dropFolderModeOverride();
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (QTemporaryFile(folder + "/probe-XXXXXX").open())
        QSKIP("this user may create files in a folder without write permission");
    // A file given explicitly has no fallback: refused, and the file stays.
    QCOMPARE(shell::writeStateFile(preferred, sample()).status, platform::WriteStatus::Refused);
    QVERIFY(!StateFileStore(preferred).save(sample()).saved);
    StateFileStore store(preferred, fallback);
    QCOMPARE(userOf(store.load()), QString("old"));
    QVERIFY(store.save(sample("new")).movedToFallback); // only ever true for a save that worked
    QCOMPARE(store.savePath(), fallback);
    QCOMPARE(userOf(shell::readStateFile(preferred)), QString("old"));
    // The next start reads the newer copy.
    QCOMPARE(userOf(StateFileStore(preferred, fallback).load()), QString("new"));
}

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_state_file.moc"
