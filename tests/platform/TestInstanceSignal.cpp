// SPDX-License-Identifier: GPL-3.0-or-later
// A second start's request reaches the lock holder through a socket file
// beside the lock file that only its owner can use; only the holder
// listens, replacing what a holder that ended left there; anything but the
// request is dropped without holding up other requests; and with nobody
// listening (the daemon holds the lock, or the holder ended) the request
// fails at once instead of hanging the second start.
#include "LockHolder.h"
#include "RawListener.h"
#include "TestDir.h"

#include "platform/InstanceLock.h"
#include "platform/InstanceSignal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <memory>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

// Long enough that a request which waited it out is told apart from one
// that knew at once that nobody listens.
constexpr int kLongTimeoutMs = 20000;

// The errno of connect() to `path` by a child that runs as `uid`/`gid`;
// 0 when it connected, -1 when the child could not be made.
int ConnectErrorAs(uid_t uid, gid_t gid, const QString& path)
{
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const pid_t child = ::fork();
    if (child == 0) {
        // Only system calls from here on: the test has threads.
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, gid, gid, gid) != 0 ||
            ::syscall(SYS_setresuid, uid, uid, uid) != 0)
            ::_exit(255);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
            ::_exit(254);
        const int result =
            ::connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address);
        ::_exit(result == 0 ? 0 : (errno & 0x7f));
    }
    if (child < 0)
        return -1;
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) >= 254)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestInstanceSignal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void requestReachesTheHolder();
    void onlyTheOwnerCanConnect_data();
    void onlyTheOwnerCanConnect();
    void onlyTheHolderListens();
    void leftoverAtTheSocketPath_data();
    void leftoverAtTheSocketPath();
    void nobodyListening_data();
    void nobodyListening();
    void onlyTheRequestIsTaken_data();
    void onlyTheRequestIsTaken();

private:
    // A private program folder and cache folder per test.
    std::unique_ptr<TestDir> m_dir;
    QString lockFolder() const { return m_dir->filePath(QStringLiteral("cache/tarnwick")); }
};

void TestInstanceSignal::init()
{
    m_dir = std::make_unique<TestDir>();
    qputenv("TARNWICK_HOME", QFile::encodeName(m_dir->makeDir(QStringLiteral("home"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("cache"))));
}

void TestInstanceSignal::cleanup()
{
    m_dir.reset();
}

void TestInstanceSignal::requestReachesTheHolder()
{
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
    auto listener = std::make_unique<InstanceSignal>();
    QSignalSpy requests(listener.get(), &InstanceSignal::showRequested);
    QVERIFY2(listener->listen(lock), qPrintable(listener->error()));
    QVERIFY(listener->isListening());

    // Beside the lock file, with its name, a socket for its owner alone.
    const QString path = InstanceLock::socketFilePath();
    QCOMPARE(QFileInfo(path).absolutePath(), lockFolder());
    QCOMPARE(QFileInfo(path).completeBaseName(),
             QFileInfo(InstanceLock::lockFilePath()).completeBaseName());
    QCOMPARE(QFileInfo(path).suffix(), QStringLiteral("socket"));
    struct stat status = {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
    QVERIFY(S_ISSOCK(status.st_mode));
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(status.st_mode & 077, 0u);
    // Nothing else was left in the lock folder while making it.
    QCOMPARE(QDir(lockFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList(
                 {QFileInfo(InstanceLock::lockFilePath()).fileName(), QFileInfo(path).fileName()}));

    QVERIFY(InstanceSignal::requestShow());
    QTRY_COMPARE(requests.size(), 1);
    QVERIFY(InstanceSignal::requestShow());
    QTRY_COMPARE(requests.size(), 2);

    // The holder's socket goes with it, and a request then finds nobody.
    listener.reset();
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!InstanceSignal::requestShow());
}

// Whatever the lock folder's mode, another user cannot reach the socket.
void TestInstanceSignal::onlyTheOwnerCanConnect_data()
{
    QTest::addColumn<uint>("folderMode");
    QTest::newRow("private lock folder") << 0700u;
    QTest::newRow("lock folder others may pass through") << 0711u;
}

void TestInstanceSignal::onlyTheOwnerCanConnect()
{
    QFETCH(uint, folderMode);
    const struct passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody)
        QSKIP("only root can try the socket as another user");
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
    InstanceSignal listener;
    QVERIFY2(listener.listen(lock), qPrintable(listener.error()));
    // The test's folders let `nobody` pass through as far as the lock
    // folder, which has the mode of the row.
    for (QString folder = QFileInfo(lockFolder()).absolutePath(); folder.startsWith(m_dir->path());
         folder = QFileInfo(folder).absolutePath())
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0711), 0);
    QCOMPARE(::chmod(QFile::encodeName(lockFolder()).constData(), folderMode), 0);
    const QString path = InstanceLock::socketFilePath();

    QCOMPARE(ConnectErrorAs(::geteuid(), ::getegid(), path), 0);
    QCOMPARE(ConnectErrorAs(nobody->pw_uid, nobody->pw_gid, path), EACCES);
}

void TestInstanceSignal::onlyTheHolderListens()
{
    InstanceLock holderLock;
    QCOMPARE(holderLock.tryAcquire(), InstanceLock::Outcome::Acquired);
    InstanceSignal holder;
    QSignalSpy requests(&holder, &InstanceSignal::showRequested);
    QVERIFY(holder.listen(holderLock));
    const QString path = InstanceLock::socketFilePath();
    struct stat before = {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &before), 0);

    // A second start holds no lock: it may not take the holder's socket.
    InstanceLock secondLock;
    QCOMPARE(secondLock.tryAcquire(), InstanceLock::Outcome::HeldElsewhere);
    InstanceSignal second;
    QVERIFY(!second.listen(secondLock));
    QVERIFY(!second.isListening());
    QCOMPARE(second.error(),
             QStringLiteral("Cannot listen at %1: this process does not hold the instance lock")
                 .arg(path));
    struct stat after = {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QVERIFY(InstanceSignal::requestShow());
    QTRY_COMPARE(requests.size(), 1);
}

// What a holder that ended left at the socket's path: the next holder
// replaces it; what it cannot replace is told, and nothing listens.
void TestInstanceSignal::leftoverAtTheSocketPath_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<bool>("listens");
    QTest::newRow("socket of a holder that crashed") << "socket" << true;
    QTest::newRow("a file") << "file" << true;
    QTest::newRow("a folder with something in it") << "folder" << false;
}

void TestInstanceSignal::leftoverAtTheSocketPath()
{
    QFETCH(QString, left);
    QFETCH(bool, listens);
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
    const QString path = InstanceLock::socketFilePath();
    if (left == QLatin1String("socket")) {
        QVERIFY(RawListener::leaveStaleSocket(path));
    } else if (left == QLatin1String("file")) {
        m_dir->writeFile(path, "left");
    } else {
        m_dir->makeDir(path);
        m_dir->writeFile(path + QStringLiteral("/kept"), "kept");
    }
    QVERIFY(QFileInfo::exists(path));
    // What is left answers nobody.
    QVERIFY(!InstanceSignal::requestShow(kLongTimeoutMs));

    InstanceSignal listener;
    QSignalSpy requests(&listener, &InstanceSignal::showRequested);
    QCOMPARE(listener.listen(lock), listens);
    if (!listens) {
        QVERIFY2(listener.error().startsWith(QStringLiteral("Cannot listen at %1: ").arg(path)),
                 qPrintable(listener.error()));
        QVERIFY(QFileInfo::exists(path + QStringLiteral("/kept")));
        QVERIFY(!InstanceSignal::requestShow(kLongTimeoutMs));
        return;
    }
    QVERIFY(listener.error().isEmpty());
    QVERIFY(InstanceSignal::requestShow());
    QTRY_COMPARE(requests.size(), 1);
}

// The second start leaves promptly whoever holds the lock: told at once
// that nobody listens, and never waiting longer than its timeout.
void TestInstanceSignal::nobodyListening_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("the daemon: no socket") << "daemon" << kLongTimeoutMs;
    QTest::newRow("a holder that crashed: its socket") << "crashed" << kLongTimeoutMs;
    QTest::newRow("a holder that takes no connection") << "stuck" << 300;
}

void TestInstanceSignal::nobodyListening()
{
    QFETCH(QString, holder);
    QFETCH(int, timeoutMs);
    // The lock held by another process, as the daemon holds it.
    QVERIFY(QDir().mkpath(lockFolder()));
    QCOMPARE(::chmod(QFile::encodeName(lockFolder()).constData(), 0700), 0);
    LockHolderProcess lockHolder(LockHolderProcess::Runs::Sleep, InstanceLock::lockFilePath());
    QVERIFY(lockHolder.isRunning());
    InstanceLock mine;
    QCOMPARE(mine.tryAcquire(), InstanceLock::Outcome::HeldElsewhere);

    std::unique_ptr<RawListener> socket;
    if (holder == QLatin1String("crashed")) {
        QVERIFY(RawListener::leaveStaleSocket(InstanceLock::socketFilePath()));
        QVERIFY(QFileInfo::exists(InstanceLock::socketFilePath()));
    } else if (holder == QLatin1String("stuck")) {
        socket = std::make_unique<RawListener>(InstanceLock::socketFilePath(), 0);
        QVERIFY(socket->isListening());
        QVERIFY(socket->fillBacklog());
    }
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!InstanceSignal::requestShow(timeoutMs));
    if (timeoutMs == kLongTimeoutMs)
        QVERIFY2(elapsed.elapsed() < kLongTimeoutMs,
                 "the request waited out its timeout instead of failing at once");
}

// The request is the one line and nothing else; a connection that says
// anything else, too much, or nothing is dropped, while other requests
// are answered meanwhile.
void TestInstanceSignal::onlyTheRequestIsTaken_data()
{
    QTest::addColumn<QList<QByteArray>>("writes"); // each written on its own
    QTest::addColumn<int>("requests");
    using Writes = QList<QByteArray>;
    QTest::newRow("the request") << Writes{"show\n"} << 1;
    QTest::newRow("the request in pieces") << Writes{"sh", "o", "w\n"} << 1;
    QTest::newRow("the request twice: one") << Writes{"show\nshow\n"} << 1;
    QTest::newRow("nothing") << Writes{} << 0;
    QTest::newRow("without its line end") << Writes{"show"} << 0;
    QTest::newRow("capitals") << Writes{"SHOW\n"} << 0;
    QTest::newRow("a blank before the line end") << Writes{"show \n"} << 0;
    QTest::newRow("an empty line first") << Writes{"\n", "show\n"} << 0;
    QTest::newRow("another word") << Writes{"quit\n"} << 0;
    QTest::newRow("a flood") << Writes{QByteArray(256 * 1024, 's')} << 0;
}

void TestInstanceSignal::onlyTheRequestIsTaken()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(int, requests);
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
    InstanceSignal listener;
    QSignalSpy spy(&listener, &InstanceSignal::showRequested);
    QVERIFY(listener.listen(lock));

    QLocalSocket client;
    client.connectToServer(InstanceLock::socketFilePath());
    QVERIFY(client.waitForConnected(5000));
    for (const QByteArray& bytes : writes) {
        client.write(bytes);
        QTest::qWait(30);
    }
    // Another start is answered while this connection is still open.
    QVERIFY(InstanceSignal::requestShow());
    QTRY_COMPARE(spy.size(), requests + 1);
    // The listener hangs up on every connection, at the latest once it
    // waited its time for the request.
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState,
                              InstanceSignal::kReadTimeoutMs + 5000);
    QCOMPARE(spy.size(), requests + 1);
}

QTEST_GUILESS_MAIN(TestInstanceSignal)
#include "TestInstanceSignal.moc"
