// The state file: format, damaged files, saves that never tear it, and where it is kept.

#include "records/state_file.h"

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
using records::StateFileStore;

namespace {

records::SavedState sample(const QString& userName)
{
    return {userName, "pa,ss\"word", {"", "1.3.2.0.", "1.0.2.0.3.0", ""}};
}

QString userOf(const std::optional<records::LoadedState>& loaded)
{
    return loaded ? loaded->values.userName : QString();
}

} // namespace

class StateFileTest : public QObject
{
    Q_OBJECT
private slots:
    void parse_damagedFiles();
    void load_newestCopyWins();
    void save_sixCrLfLines_ownerOnly_neverTorn();
};

void StateFileTest::parse_damagedFiles()
{
    // The bytes, then the lines read, the password and the last record found in them.
    const std::tuple<QByteArray, int, QString, QString> cases[] = {
        {"", 0, "", ""},
        {"demo\r\nsecret", 2, "secret", ""},                  // no final line break
        {"\n\"o,p\"x\r\n\r\n\r\n\r\n\"4\r\n", 6, "o,p", "4"}, // quoted: the quotes go
        {"u\np\n\n\n\n2.2.\nx\n", 6, "p", "2.2."},            // LF only, a seventh line
    };
    for (const auto& [bytes, lines, password, lastRecord] : cases) {
        const records::LoadedState loaded = records::parseStateFile(bytes);
        QCOMPARE(loaded.linesRead, lines);
        QCOMPARE(loaded.values.password, password);
        QCOMPARE(loaded.values.studiedRecords[3], lastRecord);
    }
}

void StateFileTest::load_newestCopyWins()
{
    // Minutes since c:\boot.txt, the local copy and the VirtualStore copy (where Windows put the
    // files written by earlier versions) were written (-1: no such file), and whose copy is read.
    const std::pair<QList<int>, QString> cases[] = {
        {{5, 1, -1}, "local"},        // the local copy newer
        {{1, 5, 9}, "c"},             // the preferred one newer
        {{9, -1, 1}, "VirtualStore"}, // the VirtualStore copy newest
        {{3, 3, 3}, "c"},             // a tie keeps the preferred one
    };
    const QStringList folders = {"c", "local", "VirtualStore"};
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [ages, read] : cases) {
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < 3; ++i) {
            QFile file(paths.emplace_back(dir.filePath(folders[i] + "/boot.txt")));
            if (ages[i] >= 0) {
                QVERIFY(records::writeStateFile(file.fileName(), sample(folders[i])).written());
                QVERIFY(file.open(QIODevice::ReadWrite) &&
                        file.setFileTime(now.addSecs(-60 * ages[i]), QFile::FileModificationTime));
            }
        }
        QCOMPARE(userOf(StateFileStore(paths[0], paths[1], {paths[2]}).load()), read);
    }
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
    // A folder that takes no new file stands in for c:\ under a standard user. Root writes
    // through folder modes: this test thread gives that up for the rest of its run.
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (syscall(SYS_capget, &header, caps) == 0) {
        caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header, caps);
    }
#endif
    if (QTemporaryFile(folder + "/probe-XXXXXX").open())
        QSKIP("this user may create files in a folder without write permission");
    // The file itself could be written in place, but is never torn. Without a fallback (a file
    // given explicitly) the save fails; moving to a fallback is tst_startup's.
    QCOMPARE(records::writeStateFile(path, sample("new")).status, platform::WriteStatus::Refused);
    QVERIFY(!StateFileStore(path).save(sample("new")).saved);
    QCOMPARE(userOf(records::readStateFile(path)), QString("demo 007"));
}

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_state_file.moc"
