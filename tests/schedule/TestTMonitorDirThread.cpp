// The change monitor: a new file deep below a watched source starts its
// task even with subfolders off, reading starts nothing while a write in the
// same folder does, changes in two folders of one task start one run, and a
// target inside the source does not start its task again.
#include "FakeWatcherHost.h"
#include "TaskFixture.h"

#include "schedule/TMonitorDirThread.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestTMonitorDirThread : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<FakeWatcherHost> m_host;
    QPointer<TMonitorDirThread> m_monitor;

    QString folder(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    static void write(const QString& path, const QByteArray& data = "x")
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    void startMonitor()
    {
        m_monitor = new TMonitorDirThread(*m_host);
        m_monitor->Start();
        QTest::qWait(1000); // the watches are set up, even on a busy machine
    }

private slots:
    void init();
    void cleanup();
    void deepNewFileStartsRun();
    void readingStartsNothing();
    void twoFoldersOfOneTaskStartOneRun();
    void ownWritesIntoTargetInsideSourceIgnored();
    void noWatchedTaskStopsPromptly();
};

void TestTMonitorDirThread::init()
{
    static int n = 0;
    const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++n));
    CreateTaskDatabase(path);
    m_host = std::make_unique<FakeWatcherHost>();
    m_host->db.open(path);
}

void TestTMonitorDirThread::cleanup()
{
    if (m_monitor) {
        m_monitor->Terminate();
        QVERIFY(QTest::qWaitFor([&] { return m_monitor.isNull(); }, 3000));
    }
    m_host.reset();
}

void TestTMonitorDirThread::deepNewFileStartsRun()
{
    const QString src = folder(QStringLiteral("deep/src"));
    folder(QStringLiteral("deep/src/a/b"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("deep"), {{src, false}},
            folder(QStringLiteral("deep/dst")), 1);
    AddTask(m_host->db, QStringLiteral("2"), QStringLiteral("manual"), {{src, false}},
            folder(QStringLiteral("deep/dst2")), 0);
    startMonitor();
    write(src + QStringLiteral("/a/b/new.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !m_host->asked.isEmpty(); }, 3000));
    QCOMPARE(m_host->started, QStringList({"1"}));
}

void TestTMonitorDirThread::readingStartsNothing()
{
    const QString src = folder(QStringLiteral("read/src"));
    write(src + QStringLiteral("/file.txt"), "content");
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("read"), {{src, true}},
            folder(QStringLiteral("read/dst")), 1);
    startMonitor();
    QFile file(src + QStringLiteral("/file.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("content"));
    file.close();
    QDir(src).entryList();
    QTest::qWait(1200);
    QVERIFY(m_host->asked.isEmpty());
    // The quiet above means something only if the monitor hears a change
    // in the same folder: a write there starts the task, once.
    write(src + QStringLiteral("/written.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !m_host->asked.isEmpty(); }, 3000));
    QTest::qWait(1200);
    QCOMPARE(m_host->started, QStringList{QStringLiteral("1")});
}

void TestTMonitorDirThread::twoFoldersOfOneTaskStartOneRun()
{
    const QString one = folder(QStringLiteral("two/one"));
    const QString two = folder(QStringLiteral("two/two"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("two"), {{one, true}, {two, true}},
            folder(QStringLiteral("two/dst")), 1);
    startMonitor();
    write(one + QStringLiteral("/x"));
    write(two + QStringLiteral("/y"));
    QVERIFY(QTest::qWaitFor([&] { return !m_host->asked.isEmpty(); }, 3000));
    QTest::qWait(1200);
    QCOMPARE(m_host->started, QStringList({"1"}));
}

void TestTMonitorDirThread::ownWritesIntoTargetInsideSourceIgnored()
{
    const QString src = folder(QStringLiteral("inside/src"));
    const QString target = folder(QStringLiteral("inside/src/mirror"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("inside"), {{src, true}}, target, 1);
    startMonitor();
    write(target + QStringLiteral("/copied.txt"));
    QDir().mkpath(target + QStringLiteral("/sub"));
    write(target + QStringLiteral("/sub/copied2.txt"));
    QTest::qWait(1200);
    QVERIFY(m_host->asked.isEmpty());
    write(src + QStringLiteral("/real-change.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !m_host->asked.isEmpty(); }, 3000));
    QCOMPARE(m_host->started, QStringList({"1"}));
}

void TestTMonitorDirThread::noWatchedTaskStopsPromptly()
{
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("manual"),
            {{folder(QStringLiteral("none/src")), true}}, folder(QStringLiteral("none/dst")), 0);
    startMonitor();
    QElapsedTimer timer;
    timer.start();
    m_monitor->Terminate();
    QVERIFY(QTest::qWaitFor([&] { return m_monitor.isNull(); }, 3000));
    QVERIFY(timer.elapsed() < 1500);
    QVERIFY(m_host->asked.isEmpty());
}

QTEST_GUILESS_MAIN(TestTMonitorDirThread)
#include "TestTMonitorDirThread.moc"
