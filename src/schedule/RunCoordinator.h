// SPDX-License-Identifier: GPL-3.0-or-later
// The one owner of runs and watchers, whichever front end is in front: the
// window and `tarnwick-cli daemon` both own a RunCoordinator and only show
// what it reports. It serves every hand-over of the runs, the schedule
// checker and the change monitor on the thread that owns it, writes the
// switched-on lines to the log file, keeps one run per task, replaces the
// watchers when the tasks change, and on shutdown keeps serving until every
// run has written its summary or a bound has passed.
#pragma once

#include "engine/RunHost.h"
#include "engine/RunningTaskList.h"
#include "platform/Clock.h"
#include "platform/MountTable.h"
#include "schedule/ChangeTrack.h"
#include "schedule/TargetAppearance.h"
#include "schedule/WatcherHost.h"
#include "store/RunHistory.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace tarnwick {

class TMonitorDirThread;

class InstanceLock;
class TaskDatabase;
class TThread;

class RunCoordinator : public QObject, public RunHost, public WatcherHost
{
    Q_OBJECT

public:
    // Called on a run's own thread for every line, whatever the switches.
    using Echo = std::function<void(LogKind kind, const QString& line, quint32 colour)>;

    // The watchers start this long after start().
    static constexpr int kWatcherStartDelayMs = 1000;
    // A restart waits this long after asking the old watchers to stop.
    static constexpr int kRestartPauseMs = 500;
    // Shutdown waits at most this long for runs and watchers to end.
    static constexpr int kShutdownWaitMs = 10000;

    explicit RunCoordinator(TaskDatabase& db, const Clock& clock = Clock::system(),
                            QObject* parent = nullptr);
    ~RunCoordinator() override;

    // Set before the first run starts.
    void setEcho(Echo echo) { m_echo = std::move(echo); }

    // Starts the schedule checker and the change monitor about a second from
    // now. The owner moves passed schedule entries forward before.
    void start();
    // Asks the watchers to stop and makes new ones, which read the stored
    // tasks anew, after the restart pause. Calls within the pause, or before
    // the first start, coalesce: one checker and one monitor follow. The
    // old monitor hears changes until the new one watches, and leaves them
    // to it.
    void RestartWatchers();

    // The Run command: resumes the task's suspended run, or starts one.
    // When no run could be made, `reason` (if given) says why.
    RunningTaskList::RunOutcome runByHand(const QString& taskId, QString* reason = nullptr);
    // Where the task's first run stands: none, running, or paused. A
    // suspended run still counts as a run (it cannot be edited or deleted).
    enum class TaskRunState
    {
        Idle,
        Running,
        Suspended
    };
    TaskRunState runState(const QString& taskId) const;

    // How far the task's run has come, as last handed over; nullptr when
    // the task has no run or its run has not told yet.
    const RunProgress* progress(const QString& taskId) const;

    // The Suspend and Stop commands on the task's first run; false when
    // there was nothing to do.
    bool suspendByHand(const QString& taskId);
    bool stopByHand(const QString& taskId);

    // Stops the watchers and asks every run to stop (a suspended one is
    // released so it can write its summary), then keeps serving hand-overs
    // until all have ended or `timeoutMs` has passed, and emits
    // shutdownFinished. Starts nothing new from then on.
    void shutdown(int timeoutMs = kShutdownWaitMs);
    bool isShuttingDown() const { return m_shuttingDown; }

    // The mount table changed: starts, once, each task that also runs when
    // its target appears and whose target just appeared.
    void mountTableChanged(const QList<tarnwick::MountPoint>& table);
    // The table the mount watcher reads; set before start(). Tests give a
    // file of their own.
    void setMountTableFile(const QString& file) { m_mountTableFile = file; }
    bool isWatchingMounts() const { return m_mounts != nullptr; }

    // Watcher threads whose body has not returned yet (old ones included
    // until they have seen their stop request).
    int aliveWatcherCount() const;

    // RunHost
    TaskDatabase& runDatabase() override { return m_db; }
    RunningTaskList& runningTasks() override { return m_running; }
    void runCreated(TMyThread* run) override;
    void appendLogLines(LogFile& logFile, const QList<ShownLine>& lines) override;
    void taskTimesChanged(const QString& taskId, const QString& lastRunText,
                          const QString& nextRunText) override;
    void showFinishedMessage(const QString& taskId) override;
    void runProgress(TMyThread* run, const RunProgress& progress) override;
    void runEnded(TMyThread* run, const QString& failure) override;

    // WatcherHost
    TaskDatabase& watcherDatabase() override { return m_db; }
    StartResult startTaskIfIdle(const QString& taskId) override;
    StartResult startTaskOnChange(const QString& taskId) override;
    void foldersChanged(const QString& taskId, const QString& folder,
                        const FolderChanges& changes) override;
    void foldersWatched(const QString& taskId, quint64 folders, const QString& unwatched) override;
    // What the change monitor has heard, for every task that runs on change.
    const ChangeTrack& changeTrack() const { return m_changeTrack; }
    QSet<QString>& startedByDate() override { return m_startedByDate; }
    QStringList& pendingChanges() override { return m_pendingChanges; }
    void watcherEnded(TThread* watcher, const QString& failure) override;
    void monitorWatching(TThread* monitor) override;
    void watcherWarning(const QString& text) override;

signals:
    void runStarted(const QString& taskId);
    // Lines of switched-on kinds, already appended to the log file.
    void linesLogged(const QList<tarnwick::ShownLine>& lines);
    void taskTimesUpdated(const QString& taskId, const QString& lastRunText,
                          const QString& nextRunText);
    // The task's run has come further (see progress()), at most ten times
    // a second while it changes. The run's end is told by runFinished.
    void progressChanged(const QString& taskId);
    // The owner shows the finish box without blocking; the run does not wait.
    void finishedMessageRequested(const QString& taskId);
    // The run has left the running-task list; `failure` is the error that
    // cut it short, empty when it ran to its end.
    void runFinished(const QString& taskId, const QString& failure);
    // The run's history row, kept in the database, just before runFinished;
    // not sent for a run that failed outright.
    void runRecorded(const tarnwick::RunRecord& run);
    // Something the user should know that no run line says: a run that
    // could not be made, a watcher that ended without being asked, a
    // warning of the change notifier.
    void problem(const QString& text);
    // Shutdown is over; `allEnded` is false when threads were still alive
    // at the bound, so the owner must leave without destroying what they use.
    void shutdownFinished(bool allEnded);

private:
    // The same for a run started because a drive was mounted at
    // `expectedTargetMount` (empty: any other start).
    StartResult startTaskIfIdle(const QString& taskId, const QString& expectedTargetMount,
                                bool onChange);
    TMyThread* makeRun(const QString& taskId, bool suspended, QString* reason,
                       bool onChange = false);
    void startWatchers();
    void stopWatchers();
    // Hands the monitor to m_retiring: it listens on until the next one
    // watches.
    void retireMonitor();
    void followTargets();
    void pruneThreads();
    bool anyThreadAlive() const;

    TaskDatabase& m_db;
    const Clock& m_clock;
    Echo m_echo;
    RunningTaskList m_running;
    QTimer m_watcherTimer;
    QPointer<TThread> m_checker;
    QPointer<TThread> m_monitor;
    // Monitors replaced by m_monitor, listening until it watches.
    QList<QPointer<TMonitorDirThread>> m_retiring;
    QList<QPointer<TThread>> m_watchers; // every watcher whose body may still run
    QList<QPointer<TThread>> m_runs;     // every run whose body may still run
    bool m_shuttingDown = false;
    QSet<QString> m_startedByDate;
    QStringList m_pendingChanges;
    ChangeTrack m_changeTrack;
    QHash<QString, RunProgress> m_progress; // of running tasks that told it
    QHash<QString, QString> m_refusals; // task -> the reason last reported for it
    QSet<QString> m_warnings;          // watcher warnings already reported
    // Only while a task asks to run when its target appears.
    QString m_mountTableFile = QString::fromLatin1(MountWatcher::kSystemTable);
    std::unique_ptr<MountWatcher> m_mounts;
    TargetAppearance m_appearance;
    QHash<QString, QString> m_appearanceTargets; // task ID, target folder
};

// Writes the running tasks beside the instance lock now and after every
// change, so `tarnwick-cli` finds this instance and keeps `task edit` and
// `task remove` off the tasks it runs. Call it once SIGHUP reads the tasks
// anew: from then on the command line may signal this process.
void AnnounceRunningTasks(InstanceLock& lock, RunCoordinator& coordinator);

} // namespace tarnwick
