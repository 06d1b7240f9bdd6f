// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance lock: a second holder is told "held elsewhere" (the
// normal case of a second start), a lock file that cannot be made is a
// failure with the system's reason, and a released lock can be taken again.
// Each program folder has its own lock. A lock file or folder that another
// could have planted or can change is refused and never followed or
// written, and a reload request reaches only a holder that is this program
// and names itself, whatever the lock file says.
#include "LockHolder.h"
#include "TestDir.h"

#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

// The uid of `nobody`, for files another user owns; -1 when there is none.
uid_t NobodyUid()
{
    const struct passwd* entry = ::getpwnam("nobody");
    return entry ? entry->pw_uid : static_cast<uid_t>(-1);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

Q_DECLARE_METATYPE(LockHolderProcess::Runs)

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void heldElsewhereAndReleased();
    void lockFileThatCannotBeMade();
    void eachProgramFolderHasItsOwnLock();
    void plantedLockFileIsRefused_data();
    void plantedLockFileIsRefused();
    void lockFolder_data();
    void lockFolder();
    void sameLockWithOrWithoutRuntimeFolder_data();
    void sameLockWithOrWithoutRuntimeFolder();
    void reloadRequestReachesOnlyTheHolder_data();
    void reloadRequestReachesOnlyTheHolder();

private:
    // A private runtime folder, cache folder and program folder per test;
    // TMPDIR inside the test's own folder, so a fallback would be too.
    std::unique_ptr<TestDir> m_dir;
    QByteArray m_tmpdir;
    QString m_runtime;
    QString cacheLockFolder() const { return m_dir->filePath(QStringLiteral("cache/tarnwick")); }
};

void TestInstanceLock::initTestCase()
{
    m_tmpdir = qgetenv("TMPDIR");
}

void TestInstanceLock::init()
{
    // The old folder goes before the next is made outside it.
    m_dir.reset();
    if (m_tmpdir.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_tmpdir);
    m_dir = std::make_unique<TestDir>();
    m_runtime = m_dir->makeDir(QStringLiteral("runtime"));
    QVERIFY(
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
    qputenv("TARNWICK_HOME", QFile::encodeName(m_dir->makeDir(QStringLiteral("home"))));
    qputenv("TMPDIR", QFile::encodeName(m_dir->makeDir(QStringLiteral("tmp"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("cache"))));
    // As a first lock leaves it; lockFolder starts without it.
    QVERIFY(QDir().mkpath(cacheLockFolder()));
    QVERIFY(QFile::setPermissions(cacheLockFolder(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestInstanceLock::heldElsewhereAndReleased()
{
    const QString path = InstanceLock::lockFilePath();
    QCOMPARE(QFileInfo(path).absolutePath(), cacheLockFolder());
    QVERIFY2(QFileInfo(path).fileName().contains(
                 QRegularExpression(QStringLiteral("^Tarnwick-[0-9a-f]{16}\\.lock$"))),
             qPrintable(path));
    InstanceLock first, second;
    QCOMPARE(first.tryAcquire(), InstanceLock::Outcome::Acquired);
    // flock belongs to the open file, so a second holder in this process
    // meets the lock as another instance would.
    QCOMPARE(second.tryAcquire(), InstanceLock::Outcome::HeldElsewhere);
    QVERIFY(second.error().isEmpty());
    first.release();
    QCOMPARE(second.tryAcquire(), InstanceLock::Outcome::Acquired);
}

void TestInstanceLock::lockFileThatCannotBeMade()
{
    // A folder where the lock file must be: root cannot open it either.
    QVERIFY(QDir().mkdir(InstanceLock::lockFilePath()));
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Failed);
    QCOMPARE(lock.error(), QStringLiteral("Cannot make the lock file %1: Is a directory")
                               .arg(InstanceLock::lockFilePath()));
}

void TestInstanceLock::eachProgramFolderHasItsOwnLock()
{
    const QString homeA = m_dir->makeDir(QStringLiteral("a"));
    const QString homeB = m_dir->makeDir(QStringLiteral("b"));
    const QString linkToA = m_dir->filePath(QStringLiteral("link-to-a"));
    QVERIFY(QFile::link(homeA, linkToA));
    const auto useHome = [](const QString& home) {
        qputenv("TARNWICK_HOME", QFile::encodeName(home));
    };

    useHome(homeA);
    const QString lockA = InstanceLock::lockFilePath();
    InstanceLock a;
    QCOMPARE(a.tryAcquire(), InstanceLock::Outcome::Acquired);
    QVERIFY(a.announce());

    // Another folder is not blocked by A, and sees no holder.
    useHome(homeB);
    QVERIFY(InstanceLock::lockFilePath() != lockA);
    QVERIFY(!InstanceLock::holder());
    InstanceLock b;
    QCOMPARE(b.tryAcquire(), InstanceLock::Outcome::Acquired);

    // The same folder by another path is the same lock.
    useHome(linkToA + QStringLiteral("/"));
    QCOMPARE(InstanceLock::lockFilePath(), lockA);
    InstanceLock sameAsA;
    QCOMPARE(sameAsA.tryAcquire(), InstanceLock::Outcome::HeldElsewhere);
    a.release();
    b.release();

    // A reload request for B reaches B's holder and leaves A's alone
    // (both run this test's program and name themselves).
    useHome(homeA);
    LockHolderProcess holderA(LockHolderProcess::Runs::TestProgram, InstanceLock::lockFilePath());
    NameInLockFile(InstanceLock::lockFilePath(), holderA.pid());
    useHome(homeB);
    LockHolderProcess holderB(LockHolderProcess::Runs::TestProgram, InstanceLock::lockFilePath());
    NameInLockFile(InstanceLock::lockFilePath(), holderB.pid());
    QVERIFY(holderA.isRunning());
    QVERIFY(holderB.isRunning());
    QVERIFY(InstanceLock::askHolderToReload());
    QCOMPARE(holderB.endingSignal(5000), SIGHUP);
    QVERIFY(holderA.isRunning());
}

void TestInstanceLock::plantedLockFileIsRefused_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("reason");
    const QString link = QStringLiteral("it is a symbolic link");
    QTest::newRow("link to a file") << QStringLiteral("link") << link;
    QTest::newRow("link to a file its holder names") << QStringLiteral("link to held") << link;
    QTest::newRow("link to nowhere") << QStringLiteral("dangling link") << link;
    QTest::newRow("named pipe") << QStringLiteral("fifo")
                                << QStringLiteral("it is not a regular file");
    QTest::newRow("another user's file")
        << "another's" << QStringLiteral("it belongs to another user (uid %1)").arg(NobodyUid());
}

void TestInstanceLock::plantedLockFileIsRefused()
{
    QFETCH(QString, planted);
    QFETCH(QString, reason);
    const QString lockFile = InstanceLock::lockFilePath();
    const QString target = m_dir->filePath(QStringLiteral("precious"));
    const QByteArray content("precious bytes\n");
    std::unique_ptr<LockHolderProcess> targetHolder;

    if (planted == QLatin1String("link")) {
        m_dir->writeFile(target, content);
        QVERIFY(QFile::link(target, lockFile));
    } else if (planted == QLatin1String("link to held")) {
        // The target is held by a process of this program that names
        // itself in it: followed, the link would get it signalled.
        targetHolder =
            std::make_unique<LockHolderProcess>(LockHolderProcess::Runs::TestProgram, target);
        QVERIFY(targetHolder->isRunning());
        NameInLockFile(target, targetHolder->pid());
        QVERIFY(QFile::link(target, lockFile));
    } else if (planted == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(target, lockFile));
    } else if (planted == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(lockFile).constData(), 0600), 0);
    } else {
        if (::geteuid() != 0 || NobodyUid() == static_cast<uid_t>(-1))
            QSKIP("only root can make a file another user owns");
        m_dir->writeFile(lockFile, content);
        QCOMPARE(
            ::chown(QFile::encodeName(lockFile).constData(), NobodyUid(), static_cast<gid_t>(-1)),
            0);
    }
    const QByteArray before = ReadFile(target);

    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Failed);
    QCOMPARE(lock.error(), QStringLiteral("Cannot use the lock file %1: %2").arg(lockFile, reason));
    QVERIFY(!InstanceLock::holder());
    QVERIFY(!InstanceLock::askHolderToReload());

    // Nothing was made, cut or written through the planted name.
    if (planted == QLatin1String("dangling link"))
        QVERIFY(!QFileInfo::exists(target));
    else
        QCOMPARE(ReadFile(target), before);
    if (planted == QLatin1String("another's"))
        QCOMPARE(ReadFile(lockFile), content);
    if (targetHolder)
        QVERIFY(targetHolder->isRunning());
}

void TestInstanceLock::lockFolder_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("error"); // empty: the lock is taken there
    const QString refused = QStringLiteral("Cannot use the lock folder %1: ");
    QTest::newRow("missing: made private") << QString() << QString();
    QTest::newRow("the user's, readable by all") << QStringLiteral("0755") << QString();
    QTest::newRow("group-writable")
        << "0770" << refused + QStringLiteral("others can write to it (mode 0770)");
    QTest::newRow("writable by all, sticky")
        << "1777" << refused + QStringLiteral("others can write to it (mode 1777)");
    QTest::newRow("link to a private folder")
        << "link" << refused + QStringLiteral("it is a symbolic link");
    QTest::newRow("a file") << "file" << refused + QStringLiteral("it is not a folder");
    QTest::newRow("another user's")
        << "another's"
        << refused + QStringLiteral("it belongs to another user (uid %1)").arg(NobodyUid());
}

void TestInstanceLock::lockFolder()
{
    QFETCH(QString, planted);
    QFETCH(QString, error);
    const QString folder = cacheLockFolder();
    // A fresh account has no cache folder either: the lock makes both.
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("cache"))).removeRecursively());
    if (!planted.isEmpty())
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
    const QByteArray folderPath = QFile::encodeName(folder);
    bool isMode = false;
    const uint mode = planted.toUInt(&isMode, 8);
    if (isMode) {
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(folderPath.constData(), mode), 0);
    } else if (planted == QLatin1String("link")) {
        const QString elsewhere = m_dir->makeDir(QStringLiteral("elsewhere"));
        QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0700), 0);
        QVERIFY(QFile::link(elsewhere, folder));
    } else if (planted == QLatin1String("file")) {
        m_dir->writeFile(folder, "x");
    } else if (planted == QLatin1String("another's")) {
        if (::geteuid() != 0 || NobodyUid() == static_cast<uid_t>(-1))
            QSKIP("only root can make a folder another user owns");
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(folderPath.constData(), 0700), 0);
        QCOMPARE(::chown(folderPath.constData(), NobodyUid(), static_cast<gid_t>(-1)), 0);
    }

    const QString lockFile = InstanceLock::lockFilePath();
    QCOMPARE(QFileInfo(lockFile).absolutePath(), folder);
    InstanceLock lock;
    if (error.isEmpty()) {
        QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
        QVERIFY(lock.error().isEmpty());
        struct stat status = {};
        QCOMPARE(::lstat(folderPath.constData(), &status), 0);
        QVERIFY(S_ISDIR(status.st_mode));
        if (planted.isEmpty())
            QCOMPARE(status.st_mode & 07777, 0700u);
        QVERIFY(QFileInfo::exists(lockFile));
    } else {
        QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Failed);
        QCOMPARE(lock.error(), error.arg(folder));
        QVERIFY(!InstanceLock::holder());
        QVERIFY(!QFileInfo::exists(lockFile));
        if (planted == QLatin1String("link"))
            QVERIFY(QDir(m_dir->filePath(QStringLiteral("elsewhere"))).isEmpty());
    }
}

// The window under a desktop session and the daemon under cron or sudo
// meet at one lock: no runtime folder, whoever's, moves it, and nothing is
// written there.
void TestInstanceLock::sameLockWithOrWithoutRuntimeFolder_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::newRow("private") << "0700";
    QTest::newRow("group-writable") << "0770";
    QTest::newRow("another user's") << "another's";
    QTest::newRow("unset") << "unset";
}

void TestInstanceLock::sameLockWithOrWithoutRuntimeFolder()
{
    QFETCH(QString, runtime);
    const QString folder = m_dir->filePath(QStringLiteral("other-runtime"));
    const QByteArray folderPath = QFile::encodeName(folder);
    if (runtime == QLatin1String("another's")) {
        if (::geteuid() != 0 || NobodyUid() == static_cast<uid_t>(-1))
            QSKIP("only root can make a folder another user owns");
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(folderPath.constData(), 0700), 0);
        QCOMPARE(::chown(folderPath.constData(), NobodyUid(), static_cast<gid_t>(-1)), 0);
    } else if (runtime != QLatin1String("unset")) {
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(folderPath.constData(), runtime.toUInt(nullptr, 8)), 0);
    }
    InstanceLock session;
    QCOMPARE(session.tryAcquire(), InstanceLock::Outcome::Acquired);
    if (runtime == QLatin1String("unset"))
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", folderPath);

    QCOMPARE(QFileInfo(InstanceLock::lockFilePath()).absolutePath(), cacheLockFolder());
    InstanceLock other;
    QCOMPARE(other.tryAcquire(), InstanceLock::Outcome::HeldElsewhere);
    if (QFileInfo(folder).isDir())
        QVERIFY(QDir(folder).isEmpty());
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("tmp"))).isEmpty());
}

void TestInstanceLock::reloadRequestReachesOnlyTheHolder_data()
{
    QTest::addColumn<LockHolderProcess::Runs>("runs");
    QTest::addColumn<QString>("named"); // whom the lock file names
    QTest::addColumn<bool>("signalled");
    using Runs = LockHolderProcess::Runs;
    QTest::newRow("this program, names itself") << Runs::TestProgram << "holder" << true;
    QTest::newRow("this program, names nobody") << Runs::TestProgram << "" << false;
    QTest::newRow("this program, names a bystander") << Runs::TestProgram << "bystander" << false;
    QTest::newRow("another program, names itself") << Runs::Sleep << "holder" << false;
    QTest::newRow("another program, names a bystander") << Runs::Sleep << "bystander" << false;
}

void TestInstanceLock::reloadRequestReachesOnlyTheHolder()
{
    QFETCH(LockHolderProcess::Runs, runs);
    QFETCH(QString, named);
    QFETCH(bool, signalled);
    const QString lockFile = InstanceLock::lockFilePath();
    LockHolderProcess holder(runs, lockFile);
    QVERIFY(holder.isRunning());
    // A process of this program that holds nothing.
    LockHolderProcess bystander(LockHolderProcess::Runs::TestProgram);
    QVERIFY(bystander.isRunning());
    if (named == QLatin1String("holder"))
        NameInLockFile(lockFile, holder.pid());
    else if (named == QLatin1String("bystander"))
        NameInLockFile(lockFile, bystander.pid());

    const auto found = InstanceLock::holder();
    QVERIFY(found);
    QCOMPARE(found->pid, holder.pid());
    QCOMPARE(found->program, holder.program());
    QCOMPARE(found->thisProgram, runs == LockHolderProcess::Runs::TestProgram);
    QCOMPARE(found->announced, named == QLatin1String("holder"));

    QCOMPARE(InstanceLock::askHolderToReload(), signalled);
    QCOMPARE(holder.endingSignal(signalled ? 5000 : 500), signalled ? SIGHUP : 0);
    QVERIFY(bystander.isRunning());
}

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "TestInstanceLock.moc"
