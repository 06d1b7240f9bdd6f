// SPDX-License-Identifier: GPL-3.0-or-later
// The run coordinator with real runs and watchers on a real task database:
// one run per task whoever starts it, restarts that leave exactly one
// checker and one monitor, a suspended run that never holds the
// user-interface thread, shutdown that keeps a suspended run's summary, a
// watcher failure reported once, a finish box that does not hold the run,
// and a log file that loses a run's lines told once.
#include "ProgramFolder.h"
#include "TaskFixture.h"

#include "platform/Registry.h"
#include "schedule/RunCoordinator.h"
#include "schedule/TMonitorDirThread.h"
#include "store/Settings.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tarnwick;

namespace {

// What the coordinator told its owner, in order.
struct Reports
{
    QStringList started, finished, failures, boxes, problems, lines;
    QList<bool> shutdowns;
    QStringList order; // "box:ID", "kept:ID" and "end:ID" in arrival order
    QList<RunRecord> kept;

    void watch(RunCoordinator& c)
    {
        QObject::connect(&c, &RunCoordinator::runStarted, &c,
                         [this](const QString& id) { started << id; });
        QObject::connect(&c, &RunCoordinator::runFinished, &c,
                         [this](const QString& id, const QString& failure) {
                             finished << id;
                             failures << failure;
                             order << QStringLiteral("end:") + id;
                         });
        QObject::connect(&c, &RunCoordinator::runRecorded, &c, [this](const RunRecord& run) {
            kept << run;
            order << QStringLiteral("kept:") + run.taskId;
        });
        QObject::connect(&c, &RunCoordinator::finishedMessageRequested, &c,
                         [this](const QString& id) {
                             boxes << id;
                             order << QStringLiteral("box:") + id;
                         });
        QObject::connect(&c, &RunCoordinator::problem, &c,
                         [this](const QString& text) { problems << text; });
        QObject::connect(&c, &RunCoordinator::linesLogged, &c,
                         [this](const QList<ShownLine>& shown) {
                             for (const ShownLine& line : shown)
                                 lines << line.text;
                         });
        QObject::connect(&c, &RunCoordinator::shutdownFinished, &c,
                         [this](bool allEnded) { shutdowns << allEnded; });
    }
};

} // namespace

class TestRunCoordinator : public QObject
{
    Q_OBJECT

private:
    ProgramFolderFixture m_folder;
    TestDir& m_home = m_folder.home;
    TestDir& m_config = m_folder.config;
    TaskDatabase m_db;
    std::unique_ptr<RunCoordinator> m_coordinator;
    Reports m_reports;
    int m_task = 0;

    QString addTask(int files, qint64 mode = 0)
    {
        const QString id = QString::number(++m_task);
        const QString src = m_home.filePath(QStringLiteral("src") + id);
        QDir().mkpath(src);
        for (int i = 0; i < files; ++i) {
            QFile file(src + QStringLiteral("/f%1.txt").arg(i));
            if (file.open(QIODevice::WriteOnly))
                file.write("data");
        }
        const QString dst = m_home.filePath(QStringLiteral("dst") + id);
        QDir().mkpath(dst);
        AddTask(m_db, id, QStringLiteral("task ") + id, {{src, true}}, dst, mode);
        return id;
    }
    QString logFile() const
    {
        QFile file(m_home.filePath(QStringLiteral("Log/Tarnwick.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    bool waitFinished(int count, int ms = 20000)
    {
        return QTest::qWaitFor([&] { return m_reports.finished.size() >= count; }, ms);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void oneRunPerTaskWhoeverStartsIt();
    void restartsLeaveOneCheckerAndOneMonitor_data();
    void restartsLeaveOneCheckerAndOneMonitor();
    void suspendedRunNeverHoldsTheUserInterface();
    void shutdownKeepsSuspendedRunSummary();
    void watcherFailureReportedOnce();
    void finishBoxDoesNotHoldTheRun();
    void runThatCannotBeMadeSaysWhy();
    void lostLogLinesToldOncePerRun();
    void everyRunKeptInHistory_data();
    void everyRunKeptInHistory();
    void taskStartsWhenItsTargetAppears();
    void changeRightAfterARestartIsRun();
};

void TestRunCoordinator::initTestCase()
{
    qputenv("SDL_AUDIODRIVER", "dummy");
    m_db.open(m_home.filePath(QStringLiteral("Tarnwick.dat")));
}

void TestRunCoordinator::init()
{
    QFile::remove(m_config.filePath(QStringLiteral("Tarnwick/user.reg")));
    m_reports = Reports();
    m_coordinator = std::make_unique<RunCoordinator>(m_db);
    m_reports.watch(*m_coordinator);
}

void TestRunCoordinator::cleanup()
{
    // Leave no thread behind that could reach a destroyed coordinator.
    m_coordinator->shutdown();
    QVERIFY(QTest::qWaitFor([&] { return !m_reports.shutdowns.isEmpty(); }, 15000));
    QCOMPARE(m_reports.shutdowns.last(), true);
    m_coordinator.reset();
}

void TestRunCoordinator::oneRunPerTaskWhoeverStartsIt()
{
    const QString id = addTask(3);
    // The checker and the monitor asking in the same turn: one run.
    using Start = WatcherHost::StartResult;
    QCOMPARE(m_coordinator->startTaskIfIdle(id), Start::Started);
    QCOMPARE(m_coordinator->startTaskIfIdle(id), Start::AlreadyRunning);
    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::AlreadyRunning);
    QVERIFY(waitFinished(1));
    QCOMPARE(m_reports.started, QStringList{id});
    QCOMPARE(m_reports.failures, QStringList{QString()});
    QCOMPARE(m_coordinator->runningTasks().count(), 0);
    // The coordinator wrote the shown lines to the log file before handing
    // them on, and the task may run again once its run has ended.
    QVERIFY(m_reports.lines.last().endsWith(QStringLiteral("synchronize finished  [task ") + id +
                                            u']'));
    QVERIFY(logFile().contains(m_reports.lines.last() + QStringLiteral("\r\n")));
    QCOMPARE(m_coordinator->startTaskIfIdle(id), Start::Started);
    QVERIFY(waitFinished(2));
}

void TestRunCoordinator::restartsLeaveOneCheckerAndOneMonitor_data()
{
    QTest::addColumn<int>("waitBeforeMs"); // after start(), before the restarts
    QTest::addColumn<int>("restarts");
    QTest::newRow("one restart before the first start") << 0 << 1;
    QTest::newRow("three restarts within the pause") << 1500 << 3;
}

void TestRunCoordinator::restartsLeaveOneCheckerAndOneMonitor()
{
    QFETCH(int, waitBeforeMs);
    QFETCH(int, restarts);
    m_coordinator->start();
    QTest::qWait(waitBeforeMs);
    for (int i = 0; i < restarts; ++i)
        m_coordinator->RestartWatchers();
    // Old watchers end within a pass once asked; the new pair lives on.
    QTest::qWait(3000);
    QCOMPARE(m_coordinator->aliveWatcherCount(), 2);
    QCOMPARE(m_reports.problems, QStringList());
}

void TestRunCoordinator::suspendedRunNeverHoldsTheUserInterface()
{
    const QString id = addTask(20);
    using State = RunCoordinator::TaskRunState;
    QCOMPARE(m_coordinator->runState(id), State::Idle);
    // Suspend right after Run: the run has not loaded its rows yet.
    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Started);
    QCOMPARE(m_coordinator->runState(id), State::Running);
    QVERIFY(m_coordinator->suspendByHand(id));
    QCOMPARE(m_coordinator->runState(id), State::Suspended);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(10);
    QTest::qWait(500);
    QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    QVERIFY(m_reports.finished.isEmpty());
    QVERIFY(m_coordinator->runningTasks().IsRunning(id));

    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Resumed);
    QVERIFY(waitFinished(1));
    QCOMPARE(m_reports.failures, QStringList{QString()});
    QVERIFY(m_reports.lines.last().contains(QStringLiteral("synchronize finished")));
    QCOMPARE(m_coordinator->runState(id), State::Idle);
}

void TestRunCoordinator::shutdownKeepsSuspendedRunSummary()
{
    const QString id = addTask(20);
    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Started);
    QVERIFY(m_coordinator->suspendByHand(id));
    QTest::qWait(200);
    m_coordinator->shutdown();
    QVERIFY(QTest::qWaitFor([&] { return !m_reports.shutdowns.isEmpty(); }, 15000));
    QCOMPARE(m_reports.shutdowns, QList<bool>{true});
    QCOMPARE(m_reports.finished, QStringList{id});
    const QString summary = QStringLiteral("[task ") + id + QStringLiteral("] Summary:");
    QVERIFY2(m_reports.lines.contains(summary), qPrintable(m_reports.lines.join(u'\n')));
    QVERIFY(logFile().contains(summary));
    // Nothing new starts once shutting down.
    QVERIFY(m_coordinator->startTaskIfIdle(id) != WatcherHost::StartResult::Started);
    QString reason;
    QCOMPARE(m_coordinator->runByHand(id, &reason), RunningTaskList::RunOutcome::NotCreated);
    QVERIFY(!reason.isEmpty());
}

void TestRunCoordinator::watcherFailureReportedOnce()
{
    // The checker's scan fails on a database without its schedule table.
    QTemporaryDir other;
    const QString path = other.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    TaskDatabase broken;
    broken.open(path);
    broken.execute(QStringLiteral("DROP TABLE TaskSchedule"));
    Reports reports;
    {
        RunCoordinator coordinator(broken);
        reports.watch(coordinator);
        coordinator.start();
        QVERIFY(QTest::qWaitFor([&] { return !reports.problems.isEmpty(); }, 5000));
        QTest::qWait(2500); // no second report, and the checker is not restarted by itself
        coordinator.shutdown();
        QVERIFY(QTest::qWaitFor([&] { return !reports.shutdowns.isEmpty(); }, 15000));
    }
    QCOMPARE(reports.problems.size(), 1);
    QVERIFY2(reports.problems.first().startsWith(QStringLiteral("The schedule checker stopped: ")),
             qPrintable(reports.problems.first()));
    QVERIFY(reports.problems.first().contains(QStringLiteral("TaskSchedule")));
}

void TestRunCoordinator::finishBoxDoesNotHoldTheRun()
{
    OptionSettings options;
    options.showDlg = true;
    WriteOptionSettings(options);
    const QString id = addTask(1);
    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Started);
    // Nobody closes the box: the run still ends and leaves the list.
    QVERIFY(waitFinished(1));
    QCOMPARE(m_reports.order, QStringList({QStringLiteral("box:") + id, QStringLiteral("kept:") + id,
                                           QStringLiteral("end:") + id}));
    QCOMPARE(m_coordinator->runningTasks().count(), 0);
}

void TestRunCoordinator::runThatCannotBeMadeSaysWhy()
{
    // An options key without its switches: no run, and the reason is told
    // to the user whether the Run command or a watcher asked.
    Registry registry;
    QVERIFY(registry.openKey(QString::fromLatin1(kOptionKeyPath), true));
    registry.writeString(QStringLiteral("LogFileName"), QStringLiteral("x.log"));
    registry.closeKey();
    const QString id = addTask(1);
    const QString why = QStringLiteral("Failed to get data for 'StartFilshMsg'");
    QString reason;
    QCOMPARE(m_coordinator->runByHand(id, &reason), RunningTaskList::RunOutcome::NotCreated);
    QCOMPARE(reason, why);
    // A watcher asking every second hears the same refusal, told once.
    for (int pass = 0; pass < 3; ++pass)
        QCOMPARE(m_coordinator->startTaskIfIdle(id), WatcherHost::StartResult::Refused);
    QCOMPARE(m_reports.problems, QStringList{why});
    QVERIFY(m_reports.started.isEmpty());
    QCOMPARE(m_coordinator->runningTasks().count(), 0);
}

void TestRunCoordinator::lostLogLinesToldOncePerRun()
{
    OptionSettings options = ReadOptionSettings();
    options.logFileName = QStringLiteral("../Tarnwick.dat");
    options.copyMsg = true;
    WriteOptionSettings(options);
    const QString id = addTask(3);
    for (int run = 1; run <= 2; ++run) {
        QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Started);
        QVERIFY(waitFinished(run));
    }
    // Each run's lines still reach the pane; each run says once that its
    // log lost them.
    QVERIFY(m_reports.lines.size() >= 2 * 4);
    const QString told = QStringLiteral("The log file name \"../Tarnwick.dat\" is not a plain file "
                                        "name in the Log folder: this run's lines are not logged.");
    QCOMPARE(m_reports.problems, (QStringList{told, told}));
}

// The window and the daemon keep each run's row as tarnwick-cli run does,
// and tell their owner before the run's end.
void TestRunCoordinator::everyRunKeptInHistory_data()
{
    QTest::addColumn<bool>("sourceGone");
    QTest::addColumn<RunEnding>("outcome");
    QTest::addColumn<QString>("result");
    QTest::newRow("clean") << false << RunEnding::Succeeded << QStringLiteral("OK");
    QTest::newRow("source gone") << true << RunEnding::WithErrors << QStringLiteral("1 error");
}

void TestRunCoordinator::everyRunKeptInHistory()
{
    QFETCH(bool, sourceGone);
    QFETCH(RunEnding, outcome);
    QFETCH(QString, result);
    const QString id = addTask(2);
    if (sourceGone)
        QVERIFY(QDir(m_home.filePath(QStringLiteral("src") + id)).removeRecursively());
    QCOMPARE(m_coordinator->runByHand(id), RunningTaskList::RunOutcome::Started);
    QVERIFY(waitFinished(1));
    QCOMPARE(m_reports.kept.size(), 1);
    QCOMPARE(m_reports.kept.first().outcome, outcome);
    QCOMPARE(m_reports.kept.first().copiedFiles, sourceGone ? quint64(0) : quint64(2));
    QCOMPARE(m_reports.order, (QStringList{QStringLiteral("kept:") + id, QStringLiteral("end:") + id}));
    const QList<RunRecord> history = TaskHistory(m_db, id);
    QCOMPARE(history.size(), 1);
    QCOMPARE(ResultText(history.first()), result);
    QCOMPARE(history.first().seen, !sourceGone);
}

// A task that also runs when its target appears starts once each time the
// drive holding its target is mounted; other tasks never do. The table is
// handed in as the watcher would hand it.
void TestRunCoordinator::taskStartsWhenItsTargetAppears()
{
    const QString followed = addTask(2);
    const QString other = addTask(2);
    WriteTaskOption(m_db, followed, kOptionWhenTargetAppears, QStringLiteral("1"));
    const QString target = m_home.filePath(QStringLiteral("dst") + followed);
    const QString table = m_home.filePath(QStringLiteral("mountinfo"));
    m_home.writeFile(table, QByteArrayLiteral("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"));
    m_coordinator->setMountTableFile(table);
    m_coordinator->start();
    QVERIFY(QTest::qWaitFor([&] { return m_coordinator->isWatchingMounts(); }, 5000));
    QVERIFY(m_reports.started.isEmpty());

    const MountPoint root{1, QStringLiteral("/")};
    const QList<MountPoint> unplugged{root};
    const QList<MountPoint> plugged{root, {90, target}};
    m_coordinator->mountTableChanged(plugged);
    QCOMPARE(m_reports.started, QStringList{followed});
    QVERIFY(waitFinished(1));
    m_coordinator->mountTableChanged(plugged);
    m_coordinator->mountTableChanged(unplugged);
    QCOMPARE(m_reports.started, QStringList{followed});
    // Reading the tasks anew (after an edit) starts nothing by itself.
    m_coordinator->RestartWatchers();
    QTest::qWait(RunCoordinator::kRestartPauseMs + 300);
    QVERIFY(m_coordinator->isWatchingMounts());
    QCOMPARE(m_reports.started, QStringList{followed});
    m_coordinator->mountTableChanged({root, {91, target}});
    QCOMPARE(m_reports.started, (QStringList{followed, followed}));
    QVERIFY(waitFinished(2));
    QVERIFY(!m_reports.started.contains(other));

    // Without a task that asks for it, nothing watches the table.
    WriteTaskOption(m_db, followed, kOptionWhenTargetAppears, QStringLiteral("0"));
    m_coordinator->RestartWatchers();
    QVERIFY(QTest::qWaitFor([&] { return !m_coordinator->isWatchingMounts(); }, 5000));
}

// After any change to the tasks the watchers are replaced. A source change
// at any moment of that replacement is still run: the old monitor listens
// until the new one watches. Swept over the gap between the restart and
// the change.
void TestRunCoordinator::changeRightAfterARestartIsRun()
{
    const QString id = addTask(1, 1);
    const QString src = m_home.filePath(QStringLiteral("src") + id);
    const QString dst = m_home.filePath(QStringLiteral("dst") + id);
    m_coordinator->start();
    // Started by the first change once the monitor watches.
    QVERIFY(QTest::qWaitFor(
        [&] {
            m_home.writeFile(src + QStringLiteral("/first.txt"), "1");
            return !m_reports.started.isEmpty();
        },
        10000));
    QVERIFY(waitFinished(1));
    QTest::qWait(2 * TMonitorDirThread::kPassMs);
    const int startedBefore = m_reports.started.size();
    for (const int gapMs : {0, 80, 200, 350, 450, 600, 900}) {
        m_coordinator->RestartWatchers();
        QTest::qWait(gapMs);
        const QString name = QStringLiteral("after-%1ms.txt").arg(gapMs);
        m_home.writeFile(src + u'/' + name, "x");
        QVERIFY2(QTest::qWaitFor([&] { return QFile::exists(dst + u'/' + name); }, 10000),
                 qPrintable(name));
        QVERIFY(QTest::qWaitFor([&] { return m_coordinator->runningTasks().count() == 0; },
                                10000));
    }
    QVERIFY(m_reports.started.size() > startedBefore);
    QCOMPARE(m_reports.problems, QStringList());
}

QTEST_GUILESS_MAIN(TestRunCoordinator)
#include "TestRunCoordinator.moc"
