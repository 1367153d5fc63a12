// The state file: format, damaged files, saves that never tear it, whose files are read, and a
// file another program holds.

#include "fake_files.h"
#include "fake_platform.h"
#include "records/state_keeper.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace lumora;
using platform::Ownership;
using platform::ReadStatus;
using records::StateFileStore;
using testing::FakeFiles;

namespace {

records::SavedState sample(const QString& userName)
{
    return {userName, "pa,ss\"word", {"", "1.3.2.0.", "1.0.2.0.3.0", ""}};
}

QString userOf(const std::optional<records::LoadedState>& loaded)
{
    return loaded ? loaded->values.userName : QString();
}

// Root reads and writes through file and folder modes: this test thread gives that up for the
// rest of its run.
void dropRootOverrides()
{
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &header, caps) == 0) {
        caps[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &header, caps);
    }
#endif
}

} // namespace

class StateFileTest : public QObject
{
    Q_OBJECT
private slots:
    void parse_damagedFiles_credentialsRoundTripByteForByte();
    void load_newestOwnFileWins_othersLeftAlone();
    void lockedFile_savesNothingUntilRead_heldSaveToldWhy();
    void save_sixCrLfLines_ownerOnly_neverTorn();
    void readFile_tellsMissingFromAnotherUsers();
};

void StateFileTest::parse_damagedFiles_credentialsRoundTripByteForByte()
{
    // The bytes, then the lines read, the user name, the password and the last record.
    const std::tuple<QByteArray, int, QString, QString, QString> cases[] = {
        {"", 0, "", "", ""},
        {"demo\r\nsecret", 2, "demo", "secret", ""}, // no final line break
        // quoted (files written by earlier versions): the quotes and what follows go
        {"\n\"o,p\"x\r\n\r\n\r\n\r\n\"4\r\n", 6, "", "o,p", "4"},
        {"u\np\n\n\n\n2.2.\nx\n", 6, "u", "p", "2.2."}, // LF only, a seventh line
        {"\xEF\xBB\xBF\xE5\xBC\xA0\r\n\xE2\x82\xAC\r\n", 2, "张", "€", ""}, // marked UTF-8
    };
    for (const auto& [bytes, lines, userName, password, lastRecord] : cases) {
        const records::LoadedState loaded = records::parseStateFile(bytes);
        QVERIFY(loaded.linesRead == lines && loaded.values.userName == userName);
        QCOMPARE(loaded.values.password, password);
        QCOMPARE(loaded.values.studiedRecords[3], lastRecord);
    }
    for (const QString secret : {"\"", "\"pa\"ss", "\"\"x\"", "\"o,p\"x", "a\"b", "\uFEFF张三"}) {
        const QByteArray bytes = records::formatStateFile({secret, secret, {}});
        const records::LoadedState loaded = records::parseStateFile(bytes);
        QVERIFY(loaded.values.userName == secret && loaded.values.password == secret);
        QCOMPARE(loaded.linesRead, 6);
    }
    // Text no code page holds makes a UTF-8 file, marked; plain text keeps the code page.
    QVERIFY(records::formatStateFile({"u", QString(QChar(0xDC00)), {}}).startsWith("\xEF\xBB\xBF"));
    QVERIFY(records::formatStateFile(sample("u")).startsWith("u\r\n"));
}

void StateFileTest::load_newestOwnFileWins_othersLeftAlone()
{
    // When c:\boot.txt, the local copy and the VirtualStore copy (where Windows put the files
    // written by earlier versions) were written (0: no file), which are not this user's (O: owned
    // by another, D: not readable), whose copy is read and where saves go.
    const std::tuple<QList<int>, QString, QString, QString> cases[] = {
        {{5, 9, 0}, "---", "local", "c"},        // the local copy newer
        {{1, 5, 9}, "---", "VirtualStore", "c"}, // the VirtualStore copy newest
        {{3, 3, 3}, "---", "c", "c"},            // a tie keeps the preferred one
        {{9, 5, 0}, "O--", "local", "local"},    // another user's c:\boot.txt
        {{9, 5, 0}, "D--", "local", "local"},
        {{5, 1, 9}, "--O", "c", "c"}, // the newest is another user's
        {{5, 4, 0}, "OO-", "", "c"},  // nowhere to save but over another user's file
    };
    const QStringList names = {"c", "local", "VirtualStore"};
    for (const auto& [times, whose, read, savedTo] : cases) {
        FakeFiles files;
        for (int i = 0; i < 3; ++i) {
            if (times[i] > 0)
                files.files[names[i]] = {records::formatStateFile(sample(names[i])), times[i],
                                         whose[i] == 'O' ? Ownership::OtherUser
                                                         : Ownership::Unknown,
                                         whose[i] == 'D' ? ReadStatus::Denied : ReadStatus::Read};
        }
        const QMap<QString, FakeFiles::File> before = files.files;
        StateFileStore store(names[0], names[1], {names[2]}, files);
        QCOMPARE(store.load().state.values.userName, read);
        QCOMPARE(store.save(sample("new")).saved, savedTo != "c" || whose[0] == '-');
        QCOMPARE(store.savePath(), savedTo);
        for (int i = 0; i < 3; ++i) {
            if (whose[i] != '-')
                QCOMPARE(files.files[names[i]].bytes, before[names[i]].bytes);
        }
    }
}

void StateFileTest::lockedFile_savesNothingUntilRead_heldSaveToldWhy()
{
    FakeFiles files;
    files.files["c"] = {"demo\r\npw\r\n1.5.2.0\r\n\r\n\r\n\r\n", 1, Ownership::ThisUser,
                        ReadStatus::Locked};
    records::MinuteRecords minutes;
    records::StateKeeper keeper(StateFileStore("c", {}, {}, files), minutes);
    platform::EventGate gate;
    auto timer = std::make_unique<testing::FakeTimer>();
    testing::FakeTimer& retry = *timer;
    keeper.retryReadsWith(std::move(timer), gate);
    QSignalSpy told(&keeper, &records::StateKeeper::statusMessage);
    QSignalSpy held(&keeper, &records::StateKeeper::savesHeldChanged);
    QVERIFY(!keeper.restore() && keeper.savesHeld() && retry.isEnabled());
    QVERIFY(told.last().first().toString().contains("暂时无法读取") &&
            held.last().first().toBool());
    // The learner logs in with a name they typed (the site keeps no password for it); two
    // minutes are credited: nothing written.
    keeper.setCredentials({"typed", ""});
    keeper.save();
    minutes.credit(0, 0);
    minutes.credit(0, 1);
    keeper.save();
    retry.fire();
    QCOMPARE(files.writes, 0);
    // Readable again: its minutes and those credited meanwhile, the typed credentials, saved.
    files.files["c"].readAs = ReadStatus::Read;
    retry.fire();
    QVERIFY(!keeper.savesHeld() && !retry.isEnabled() &&
            told.last().first().toString().contains("已读取"));
    QCOMPARE(held.last().first(), QVariant(false)); // the window lets go of its notice too
    const records::LoadedState saved = records::parseStateFile(files.files["c"].bytes);
    QCOMPARE(files.writes, 1);
    // The typed name is not paired with the file's password, which is another name's.
    QVERIFY(saved.values.userName == "typed" && saved.values.password.isEmpty());
    QCOMPARE(saved.values.studiedRecords[0], "1.6.2.1");
    // Held by another program when written: the save fails, and says so in the learner's words.
    QSignalSpy failed(&keeper, &records::StateKeeper::saveFailed);
    files.files["c"].readAs = ReadStatus::Locked;
    keeper.save();
    QVERIFY(keeper.lastSaveFailed() && failed.last().at(1).toString() == "文件正被其他程序占用");
    // Retried at every tick: the first failure in a row is the news, not each.
    QTest::failOnWarning(QRegularExpression("cannot save"));
    keeper.save();
}

void StateFileTest::save_sixCrLfLines_ownerOnly_neverTorn()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("c"), path = folder + "/boot.txt";
    QVERIFY(records::writeStateFile(path, sample("demo 007")).written());
    QCOMPARE(platform::readWholeFile(path).value_or(""),
             "demo 007\r\npa,ss\"word\r\n\r\n1.3.2.0.\r\n1.0.2.0.3.0\r\n\r\n");
#ifdef Q_OS_UNIX
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    // A folder that takes no new file stands in for c:\ under a standard user.
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    dropRootOverrides();
    if (QTemporaryFile(folder + "/probe-XXXXXX").open())
        QSKIP("this user may create files in a folder without write permission");
    // The file itself could be written in place, but is never torn. Without a fallback (a file
    // given explicitly) the save fails; moving to a fallback is tst_startup's.
    QCOMPARE(records::writeStateFile(path, sample("new")).status, platform::WriteStatus::Refused);
    QVERIFY(!StateFileStore(path).save(sample("new")).saved);
    QCOMPARE(userOf(records::readStateFile(path)), QString("demo 007"));
}

void StateFileTest::readFile_tellsMissingFromAnotherUsers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("boot.txt");
    QCOMPARE(platform::readFile(path).status, ReadStatus::Missing);
    QVERIFY(platform::writeFileAtomically(path, "x").written());
    QCOMPARE(platform::readFile(path).bytes, "x");
    QCOMPARE(platform::fileOwnership(path), Ownership::ThisUser);
#ifdef Q_OS_LINUX
    QCOMPARE(platform::readFile(dir.path()).status, ReadStatus::Failed); // no lock to wait out
    if (chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
        QSKIP("this user cannot give a file to another user");
    dropRootOverrides();
    QCOMPARE(platform::fileOwnership(path), Ownership::OtherUser);
    QCOMPARE(platform::readFile(path).status, ReadStatus::Denied);
#endif
}

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_state_file.moc"
