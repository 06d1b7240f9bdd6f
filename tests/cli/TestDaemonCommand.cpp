// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli daemon from the outside: a scheduled task and an on-change
// task run on their own, their lines reach the log file, the schedule row
// moves on, SIGHUP picks up a task added later (two in a row leave one
// checker and one monitor), a second instance leaves at once with status 1
// and names the holder of the lock, and SIGTERM ends the daemon with
// status 0. Daemons of two program folders run side by side, and a change
// in one folder reaches only its own daemon.
#include "LockHolder.h"
#include "ProgramFolder.h"
#include "TaskFixture.h"
#include "TestDir.h"

#include "platform/InstanceLock.h"
#include "store/DateTexts.h"
#include "store/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace tarnwick;

class TestDaemonCommand : public QObject
{
    Q_OBJECT

private:
    ProgramFolderFixture m_folder;
    TestDir m_dir; // the tasks' folders, the runtime and cache folders
    QProcessEnvironment m_env;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString log() const
    {
        QFile file(m_folder.logPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The names of the process's threads, as the kernel keeps them.
    static QStringList threadNames(qint64 pid)
    {
        QStringList names;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
            if (comm.open(QIODevice::ReadOnly))
                names << QString::fromUtf8(comm.readAll()).trimmed();
        }
        return names;
    }
    // The id of the process's schedule checker thread; 0 while it has none.
    // A SIGHUP restarts the watchers, so a new id shows it was received.
    static qint64 checkerThread(qint64 pid)
    {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "TCheckThread")
                return task.toLongLong();
        }
        return 0;
    }
    void start(QProcess& process, const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("TARNWICK_CLI"), {QStringLiteral("daemon")});
        QVERIFY(process.waitForStarted());
    }
    void start(QProcess& process) { start(process, m_env); }
    // The lock file the daemon takes for `home` with `cache` as its cache
    // folder (the defaults: the test's own).
    QString lockFile(const QString& home = {}, const QString& cache = {}) const
    {
        qputenv("TARNWICK_HOME", QFile::encodeName(home.isEmpty() ? m_folder.home.path() : home));
        qputenv("XDG_CACHE_HOME",
                QFile::encodeName(cache.isEmpty() ? path(QStringLiteral("cache")) : cache));
        return InstanceLock::lockFilePath();
    }
    // Waits until the daemon has named itself in its lock file: SIGHUP is
    // in place and it holds the lock.
    bool announced(const QProcess& daemon, const QString& file) const
    {
        return QTest::qWaitFor(
            [&] {
                QFile lock(file);
                return lock.open(QIODevice::ReadOnly) &&
                       lock.readLine().trimmed().toLongLong() == daemon.processId();
            },
            10000);
    }
    static QString heldMessage(const QString& file, qint64 pid, const QString& program)
    {
        return QStringLiteral("tarnwick-cli daemon: the lock file %1 is held by process %2 (%3); "
                              "only one Tarnwick runs the tasks of a program folder\n")
            .arg(file)
            .arg(pid)
            .arg(program);
    }

private slots:
    void initTestCase();
    void runsScheduledAndChangedTasks();
    void lockFileThatCannotBeMadeIsAnError();
    void picksUpATaskAddedByTheCommandLine();
    void lockHeldByAnotherProgram();
    void twoProgramFoldersRunSideBySide();
};

void TestDaemonCommand::initTestCase()
{
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("TARNWICK_HOME"), m_folder.home.path());
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.config.path());
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.makeDir(QStringLiteral("runtime")));
    m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.makeDir(QStringLiteral("cache")));
}

void TestDaemonCommand::runsScheduledAndChangedTasks()
{
    const QString timedSource = m_dir.makeDir(QStringLiteral("timed/src"));
    m_dir.writeFile(timedSource + QStringLiteral("/a.txt"), "content");
    const QString watchedSource = m_dir.makeDir(QStringLiteral("watched/src"));
    const QString lateSource = m_dir.makeDir(QStringLiteral("late/src"));
    const QDateTime saved = QDateTime::currentDateTime();
    const QString due = DateTimeText(saved.addSecs(6));
    {
        TaskDatabase db;
        db.open(m_folder.databasePath());
        AddTask(db, QStringLiteral("10"), QStringLiteral("timed"), {{timedSource, true}},
                m_dir.makeDir(QStringLiteral("timed/dst")), 2);
        AddTask(db, QStringLiteral("20"), QStringLiteral("watched"), {{watchedSource, false}},
                m_dir.makeDir(QStringLiteral("watched/dst")), 1);
        TaskQuery q(db);
        RunStatement(q, FillStatement(sql::InsertIntervalEntry,
                                      {QStringLiteral("10"), qint64(0), qint64(1),
                                       DateTimeText(saved), due, QStringLiteral("0")}));
    }

    QProcess daemon;
    start(daemon);
    QVERIFY(announced(daemon, lockFile()));

    // Another instance leaves at once, saying which process holds the lock.
    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    QCOMPARE(QString::fromUtf8(second.readAllStandardError()),
             heldMessage(lockFile(), daemon.processId(),
                         QFileInfo(qEnvironmentVariable("TARNWICK_CLI")).canonicalFilePath()));

    // The watchers start about a second after the daemon; on a busy machine
    // later, so the change is repeated until the monitor has seen one.
    int changes = 0;
    const auto seenAfterChanges = [&](const QString& source, const QString& line) {
        return QTest::qWaitFor(
            [&] {
                if (log().contains(line))
                    return true;
                m_dir.writeFile(source + QStringLiteral("/new%1.txt").arg(++changes), "content");
                QTest::qWait(1500);
                return log().contains(line);
            },
            30000);
    };
    QVERIFY2(seenAfterChanges(watchedSource, QStringLiteral("synchronize finished  [watched]")),
             qPrintable(log()));
    QVERIFY2(
        QTest::qWaitFor(
            [&] { return log().contains(QStringLiteral("synchronize finished  [timed]")); }, 20000),
        qPrintable(log()));
    QVERIFY(QFile::exists(path(QStringLiteral("timed/dst/a.txt"))));
    QVERIFY(QFile::exists(path(QStringLiteral("watched/dst/new1.txt"))));
    // Only the switched-on kinds reach the file: no per-file lines.
    QVERIFY(!log().contains(QStringLiteral("Mirroring:")));

    {
        TaskDatabase db;
        db.open(m_folder.databasePath());
        TaskQuery q(db);
        RunQuery(q, FillStatement(sql::SelectSchedulesAfterRun, {QStringLiteral("10")}));
        QVERIFY(q.dateTime("NextRunTime") > QDateTime::currentDateTime());
        QVERIFY(q.dateTime("LastRunTime") >= DateTimeFromText(due));
        // A task added while the daemon runs is picked up after SIGHUP.
        AddTask(db, QStringLiteral("30"), QStringLiteral("late"), {{lateSource, true}},
                m_dir.makeDir(QStringLiteral("late/dst")), 1);
    }
    // Two SIGHUPs in a row: after the old watchers have ended, exactly one
    // checker and one monitor are alive (threads carry their class names).
    ::kill(static_cast<pid_t>(daemon.processId()), SIGHUP);
    ::kill(static_cast<pid_t>(daemon.processId()), SIGHUP);
    QTest::qWait(3000);
    const QStringList threads = threadNames(daemon.processId());
    QCOMPARE(threads.count(QStringLiteral("TCheckThread")), 1);
    QCOMPARE(threads.count(QStringLiteral("TMonitorDirThre")), 1); // names are cut at 15 bytes
    QVERIFY2(seenAfterChanges(lateSource, QStringLiteral("synchronize finished  [late]")),
             qPrintable(log()));

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    QVERIFY(daemon.waitForFinished(15000));
    QCOMPARE(daemon.exitStatus(), QProcess::NormalExit);
    QCOMPARE(daemon.exitCode(), 0);
    // Standard output carries every line of the runs, per-file ones too.
    const QString out = QString::fromUtf8(daemon.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("[timed] Mirroring: Copy the new file: ")),
             qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("[late] Summary:")));
}

void TestDaemonCommand::lockFileThatCannotBeMadeIsAnError()
{
    // Unlike another instance holding the lock, this is a fault to report.
    QProcessEnvironment env = m_env;
    const QString cache = m_dir.makeDir(QStringLiteral("blocked-cache"));
    QVERIFY(QDir().mkpath(lockFile({}, cache)));
    QVERIFY(QFile::setPermissions(QFileInfo(lockFile({}, cache)).absolutePath(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    QProcess daemon;
    daemon.setProcessEnvironment(env);
    daemon.start(qEnvironmentVariable("TARNWICK_CLI"), {QStringLiteral("daemon")});
    QVERIFY(daemon.waitForFinished(10000));
    QCOMPARE(daemon.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(daemon.readAllStandardError()),
             QStringLiteral("tarnwick-cli daemon: Cannot make the lock file %1: Is a directory\n")
                 .arg(lockFile({}, cache)));
}

void TestDaemonCommand::picksUpATaskAddedByTheCommandLine()
{
    QProcess daemon;
    start(daemon);
    // The daemon names itself in the lock file once SIGHUP is in place.
    QVERIFY(announced(daemon, lockFile()));
    QTest::qWait(1500); // the first watchers are up

    const QString source = m_dir.makeDir(QStringLiteral("added/src"));
    QProcess add;
    add.setProcessEnvironment(m_env);
    add.start(qEnvironmentVariable("TARNWICK_CLI"),
              {QStringLiteral("task"), QStringLiteral("add"), QStringLiteral("added"),
               QStringLiteral("--source"), source, QStringLiteral("--target"),
               m_dir.makeDir(QStringLiteral("added/dst")), QStringLiteral("--on-change")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 0);
    QCOMPARE(add.readAllStandardError(), QByteArray());

    // No signal from the test: the command told the daemon itself.
    int changes = 0;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     m_dir.writeFile(source + QStringLiteral("/n%1.txt").arg(++changes), "x");
                     QTest::qWait(1500);
                     return log().contains(QStringLiteral("synchronize finished  [added]"));
                 },
                 30000),
             qPrintable(log()));
    QVERIFY(QFile::exists(path(QStringLiteral("added/dst/n1.txt"))));

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    QVERIFY(daemon.waitForFinished(15000));
    QCOMPARE(daemon.exitCode(), 0);
}

void TestDaemonCommand::lockHeldByAnotherProgram()
{
    // Another program holds the lock file and names itself in it.
    const QString file = lockFile();
    LockHolderProcess holder(LockHolderProcess::Runs::Sleep, file);
    QVERIFY(holder.isRunning());
    NameInLockFile(file, holder.pid());

    QProcess daemon;
    start(daemon);
    QVERIFY(daemon.waitForFinished(10000));
    QCOMPARE(daemon.exitStatus(), QProcess::NormalExit);
    QCOMPARE(daemon.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(daemon.readAllStandardError()),
             heldMessage(file, holder.pid(), holder.program()));
    QCOMPARE(daemon.readAllStandardOutput(), QByteArray());
    QVERIFY(holder.isRunning());
}

void TestDaemonCommand::twoProgramFoldersRunSideBySide()
{
    const QString otherHome = m_dir.makeDir(QStringLiteral("other-home"));
    m_dir.makeDir(QStringLiteral("other-home/Log"));
    CreateTaskDatabase(path(QStringLiteral("other-home/Tarnwick.dat")));
    QProcessEnvironment otherEnv = m_env;
    otherEnv.insert(QStringLiteral("TARNWICK_HOME"), otherHome);

    QProcess daemon, other;
    start(daemon);
    start(other, otherEnv);
    QVERIFY(lockFile() != lockFile(otherHome));
    QVERIFY(announced(daemon, lockFile()));
    QVERIFY(announced(other, lockFile(otherHome)));
    QCOMPARE(other.state(), QProcess::Running);

    qint64 checker = 0, otherChecker = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            checker = checkerThread(daemon.processId());
            otherChecker = checkerThread(other.processId());
            return checker != 0 && otherChecker != 0;
        },
        15000));

    // A task added to the other folder restarts the other daemon's watchers
    // only; this folder's daemon is not signalled.
    QProcess add;
    add.setProcessEnvironment(otherEnv);
    add.start(qEnvironmentVariable("TARNWICK_CLI"),
              {QStringLiteral("task"), QStringLiteral("add"), QStringLiteral("other"),
               QStringLiteral("--source"), m_dir.makeDir(QStringLiteral("other/src")),
               QStringLiteral("--target"), m_dir.makeDir(QStringLiteral("other/dst")),
               QStringLiteral("--on-change")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 0);
    QVERIFY(QTest::qWaitFor(
        [&] {
            const qint64 now = checkerThread(other.processId());
            return now != 0 && now != otherChecker;
        },
        15000));
    QTest::qWait(1000); // past the restart pause a signalled daemon would take
    QCOMPARE(checkerThread(daemon.processId()), checker);

    for (QProcess* process : {&daemon, &other}) {
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(15000));
        QCOMPARE(process->exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(TestDaemonCommand)
#include "TestDaemonCommand.moc"
