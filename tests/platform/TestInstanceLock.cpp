// The single-instance lock: a second holder is told "held elsewhere" (the
// normal case of a second start, left quietly), a lock file that cannot be
// made is a failure with the system's reason, and a released lock can be
// taken again.
#include "platform/InstanceLock.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void heldElsewhereAndReleased();
    void lockFileThatCannotBeMade();
};

void TestInstanceLock::heldElsewhereAndReleased()
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QCOMPARE(InstanceLock::lockFilePath(), runtime.filePath(QStringLiteral("Tarnwick.lock")));
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
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QVERIFY(QDir(runtime.path()).mkdir(QStringLiteral("Tarnwick.lock")));
    InstanceLock lock;
    QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Failed);
    QCOMPARE(lock.error(), QStringLiteral("Cannot make the lock file %1: Is a directory")
                               .arg(InstanceLock::lockFilePath()));
}

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "TestInstanceLock.moc"
