// SPDX-License-Identifier: GPL-3.0-or-later
// The change monitor: a new file deep below a watched source starts its
// task even with subfolders off, reading starts nothing while a write in the
// same folder does, changes in two folders of one task start one run, one
// write starts one run, a change during a run starts one more after it, and
// a target inside the source (however it is spelled) does not start its
// task again; a change the monitor heard when it was replaced is served by
// the next one.
#include "FakeWatcherHost.h"
#include "TaskFixture.h"
#include "TestDir.h"

#include "schedule/TMonitorDirThread.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// How long a case waits at most for something the monitor must do.
constexpr int kEventMs = 10000;

// The task whose folder a case changes to learn that the monitor has heard
// and served every change made before: see settled().
const QString kSentinel = u"sentinel"_s;

QStringList Without(QStringList taskIds, const QString& taskId)
{
    taskIds.removeAll(taskId);
    return taskIds;
}

} // namespace

class TestTMonitorDirThread : public QObject
{
    Q_OBJECT

private:
    TestDir m_dir;
    std::unique_ptr<FakeWatcherHost> m_host;
    QPointer<TMonitorDirThread> m_monitor;
    int m_case = 0;
    QString m_sentinelFolder;

    // Starts a monitor and waits until it says it watches every folder.
    bool startMonitor()
    {
        m_host->watching.clear();
        m_monitor = new TMonitorDirThread(*m_host);
        m_monitor->Start();
        return QTest::qWaitFor(
            [&] { return m_monitor && m_host->watching.contains(m_monitor.data()); }, kEventMs);
    }

    // A watched task of its own for settled(), added before the monitor
    // starts; its runs end as soon as they are seen.
    void addSentinel()
    {
        m_sentinelFolder = m_dir.makeDir(u"sentinel%1/src"_s.arg(m_case));
        AddTask(m_host->db, kSentinel, kSentinel, {{m_sentinelFolder, true}},
                m_dir.makeDir(u"sentinel%1/dst"_s.arg(m_case)), 1);
    }

    // Every change made before this call has been heard and served. The
    // monitor reads the events of all its folders from one queue, in the
    // order they came, and serves all it has read at once: when a change in
    // the sentinel's folder has asked for the sentinel's run, whatever came
    // before it has been read, and any run it was to start has been asked
    // for. This is how a case shows that something does not happen, without
    // guessing how long the monitor might take.
    bool settled()
    {
        const qsizetype before = m_host->asked.count(kSentinel);
        m_dir.writeFile(m_sentinelFolder + u"/change%1"_s.arg(before));
        const bool served =
            QTest::qWaitFor([&] { return m_host->asked.count(kSentinel) > before; }, kEventMs);
        m_host->running.remove(kSentinel);
        return served;
    }
    // What the cases' own tasks asked for and started.
    QStringList asked() const { return Without(m_host->asked, kSentinel); }
    QStringList started() const { return Without(m_host->started, kSentinel); }

private slots:
    void init();
    void cleanup();
    void deepNewFileStartsRun();
    void readingStartsNothing();
    void twoFoldersOfOneTaskStartOneRun();
    void oneWriteStartsOneRun();
    void changeDuringRunStartsOneMoreAfterIt();
    void ownWritesIntoTargetInsideSourceIgnored_data();
    void ownWritesIntoTargetInsideSourceIgnored();
    void noWatchedTaskStopsPromptly();
    void replacedMonitorHandsItsChangesOn_data();
    void replacedMonitorHandsItsChangesOn();
};

void TestTMonitorDirThread::init()
{
    const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++m_case));
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
    const QString src = m_dir.makeDir(QStringLiteral("deep/src"));
    m_dir.makeDir(QStringLiteral("deep/src/a/b"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("deep"), {{src, false}},
            m_dir.makeDir(QStringLiteral("deep/dst")), 1);
    AddTask(m_host->db, QStringLiteral("2"), QStringLiteral("manual"), {{src, false}},
            m_dir.makeDir(QStringLiteral("deep/dst2")), 0);
    QVERIFY(startMonitor());
    m_dir.writeFile(src + QStringLiteral("/a/b/new.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !m_host->asked.isEmpty(); }, 3000));
    QCOMPARE(m_host->started, QStringList({QStringLiteral("1")}));
}

void TestTMonitorDirThread::readingStartsNothing()
{
    const QString src = m_dir.makeDir(QStringLiteral("read/src"));
    m_dir.writeFile(src + QStringLiteral("/file.txt"), "content");
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("read"), {{src, true}},
            m_dir.makeDir(QStringLiteral("read/dst")), 1);
    addSentinel();
    QVERIFY(startMonitor());
    QFile file(src + QStringLiteral("/file.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("content"));
    file.close();
    QDir(src).entryList();
    QVERIFY(settled());
    QVERIFY(asked().isEmpty());
    // The quiet above means something only if the monitor hears a change
    // in the same folder: a write there starts the task, once.
    m_dir.writeFile(src + QStringLiteral("/written.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !asked().isEmpty(); }, 3000));
    QVERIFY(settled());
    QCOMPARE(started(), QStringList{QStringLiteral("1")});
}

void TestTMonitorDirThread::twoFoldersOfOneTaskStartOneRun()
{
    const QString one = m_dir.makeDir(QStringLiteral("two/one"));
    const QString two = m_dir.makeDir(QStringLiteral("two/two"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("two"), {{one, true}, {two, true}},
            m_dir.makeDir(QStringLiteral("two/dst")), 1);
    addSentinel();
    QVERIFY(startMonitor());
    m_dir.writeFile(one + QStringLiteral("/x"));
    m_dir.writeFile(two + QStringLiteral("/y"));
    QVERIFY(QTest::qWaitFor([&] { return !asked().isEmpty(); }, 3000));
    QVERIFY(settled());
    QCOMPARE(started(), QStringList({QStringLiteral("1")}));
}

void TestTMonitorDirThread::oneWriteStartsOneRun()
{
    // Create, write and close within a millisecond are several events of
    // one change; each such change must start exactly one run.
    const QString src = m_dir.makeDir(QStringLiteral("burst/src"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("burst"), {{src, true}},
            m_dir.makeDir(QStringLiteral("burst/dst")), 1);
    m_host->runsEndAtOnce = true;
    addSentinel();
    QVERIFY(startMonitor());
    for (int write = 1; write <= 4; ++write) {
        QFile file(src + QStringLiteral("/file%1.txt").arg(write));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("content");
        file.close();
        QVERIFY(QTest::qWaitFor([&] { return started().size() >= write; }, 3000));
        QVERIFY(settled());
        QCOMPARE(started().size(), write);
    }
}

void TestTMonitorDirThread::changeDuringRunStartsOneMoreAfterIt()
{
    const QString src = m_dir.makeDir(QStringLiteral("during/src"));
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("during"), {{src, true}},
            m_dir.makeDir(QStringLiteral("during/dst")), 1);
    addSentinel();
    QVERIFY(startMonitor());
    m_dir.writeFile(src + QStringLiteral("/first.txt"));
    QVERIFY(QTest::qWaitFor([&] { return started().size() == 1; }, 3000));
    // The run is still going when the next change comes: it may have walked
    // past it, so the task runs once more when that run has ended.
    m_dir.writeFile(src + QStringLiteral("/second.txt"));
    QVERIFY(settled());
    QCOMPARE(started().size(), 1);
    m_host->running.clear();
    QVERIFY(QTest::qWaitFor([&] { return started().size() == 2; }, 3000));
    m_host->running.clear();
    QVERIFY(settled());
    QCOMPARE(started(), QStringList({u"1"_s, u"1"_s}));
}

void TestTMonitorDirThread::ownWritesIntoTargetInsideSourceIgnored_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("target spelled inside the source") << false;
    QTest::newRow("target spelled through a link outside the source") << true;
}

void TestTMonitorDirThread::ownWritesIntoTargetInsideSourceIgnored()
{
    QFETCH(bool, throughLink);
    const QString base = throughLink ? QStringLiteral("linked") : QStringLiteral("inside");
    const QString src = m_dir.makeDir(base + QStringLiteral("/src"));
    QString target = m_dir.makeDir(base + QStringLiteral("/src/mirror"));
    if (throughLink) {
        const QString link = m_dir.filePath(base + QStringLiteral("/mirror-link"));
        QVERIFY(QFile::link(target, link));
        target = link;
    }
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("inside"), {{src, true}}, target, 1);
    addSentinel();
    QVERIFY(startMonitor());
    m_dir.writeFile(target + QStringLiteral("/copied.txt"));
    m_dir.makeDir(target + QStringLiteral("/sub"));
    m_dir.writeFile(target + QStringLiteral("/sub/copied2.txt"));
    QVERIFY(settled());
    QVERIFY(asked().isEmpty());
    m_dir.writeFile(src + QStringLiteral("/real-change.txt"));
    QVERIFY(QTest::qWaitFor([&] { return !asked().isEmpty(); }, 3000));
    QCOMPARE(started(), QStringList({QStringLiteral("1")}));
}

void TestTMonitorDirThread::noWatchedTaskStopsPromptly()
{
    AddTask(m_host->db, QStringLiteral("1"), QStringLiteral("manual"),
            {{m_dir.makeDir(QStringLiteral("none/src")), true}},
            m_dir.makeDir(QStringLiteral("none/dst")), 0);
    QVERIFY(startMonitor());
    QElapsedTimer timer;
    timer.start();
    m_monitor->Terminate();
    QVERIFY(QTest::qWaitFor([&] { return m_monitor.isNull(); }, 3000));
    QVERIFY(timer.elapsed() < 1500);
    QVERIFY(m_host->asked.isEmpty());
}

void TestTMonitorDirThread::replacedMonitorHandsItsChangesOn_data()
{
    // How long after the change the monitor is replaced, and whether the
    // task's run of an earlier change was still going then.
    QTest::addColumn<int>("afterMs");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("at once") << 0 << false;
    QTest::newRow("while gathering its events") << 300 << false;
    QTest::newRow("while the task runs") << 300 << true;
}

void TestTMonitorDirThread::replacedMonitorHandsItsChangesOn()
{
    QFETCH(int, afterMs);
    QFETCH(bool, duringRun);
    const QString src = m_dir.makeDir(u"handover/src"_s);
    AddTask(m_host->db, u"1"_s, u"handover"_s, {{src, true}}, m_dir.makeDir(u"handover/dst"_s),
            1);
    AddTask(m_host->db, u"2"_s, u"quiet"_s, {{m_dir.makeDir(u"handover/other"_s), true}},
            m_dir.makeDir(u"handover/dst2"_s), 1);
    addSentinel();
    QVERIFY(startMonitor());
    if (duringRun) {
        m_dir.writeFile(src + u"/first.txt"_s);
        QVERIFY(QTest::qWaitFor([&] { return started().size() == 1; }, 3000));
    }
    m_dir.writeFile(src + u"/changed.txt"_s);
    QTest::qWait(afterMs);
    // A change to the tasks replaces the monitor, as a command-line edit does.
    m_monitor->Terminate();
    QVERIFY(QTest::qWaitFor([&] { return m_monitor.isNull(); }, 3000));
    m_host->running.clear();
    QVERIFY(startMonitor());

    const qsizetype runs = duringRun ? 2 : 1;
    QVERIFY(QTest::qWaitFor([&] { return started().size() == runs; }, 3000));
    m_host->running.clear();
    QVERIFY(settled());
    QCOMPARE(started(), QStringList(runs, u"1"_s));
    QVERIFY(m_host->pending.isEmpty());
}

QTEST_GUILESS_MAIN(TestTMonitorDirThread)
#include "TestTMonitorDirThread.moc"
