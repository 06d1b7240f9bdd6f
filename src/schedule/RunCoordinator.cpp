// SPDX-License-Identifier: GPL-3.0-or-later
// Run coordinator. Everything here runs on the owner's thread, one step at a
// time; the worker threads wait for their steps. Threads free themselves,
// so the coordinator holds them only through guarded pointers.
#include "schedule/RunCoordinator.h"

#include "engine/LogFile.h"
#include "engine/TMyThread.h"
#include "platform/InstanceLock.h"
#include "schedule/TCheckThread.h"
#include "schedule/TMonitorDirThread.h"
#include "store/TaskOptionValues.h"

#include <QDir>
#include <QElapsedTimer>

#include <exception>
#include <memory>

namespace tarnwick {

namespace {
constexpr int kShutdownPollMs = 20;
} // namespace

RunCoordinator::RunCoordinator(TaskDatabase& db, const Clock& clock, QObject* parent)
    : QObject(parent), m_db(db), m_clock(clock)
{
    m_watcherTimer.setSingleShot(true);
    connect(&m_watcherTimer, &QTimer::timeout, this, [this] {
        if (!m_shuttingDown)
            startWatchers();
    });
}

RunCoordinator::~RunCoordinator()
{
    stopWatchers();
}

void RunCoordinator::start()
{
    if (m_shuttingDown || m_checker || m_monitor)
        return;
    m_watcherTimer.start(kWatcherStartDelayMs);
}

void RunCoordinator::RestartWatchers()
{
    if (m_shuttingDown)
        return;
    // The checker reads its entries afresh when it starts; the monitor
    // goes on listening until its successor watches.
    if (m_checker)
        m_checker->Terminate();
    m_checker.clear();
    retireMonitor();
    // One timer for the first start and every restart: a restart before the
    // first start, or several within the pause, leave one pending start.
    if (!m_watcherTimer.isActive() || m_watcherTimer.remainingTime() < kRestartPauseMs)
        m_watcherTimer.start(kRestartPauseMs);
}

void RunCoordinator::retireMonitor()
{
    if (auto* monitor = qobject_cast<TMonitorDirThread*>(m_monitor.data())) {
        monitor->retire();
        m_retiring << QPointer<TMonitorDirThread>(monitor);
    }
    m_monitor.clear();
}

void RunCoordinator::monitorWatching(TThread* monitor)
{
    if (monitor != m_monitor)
        return;
    for (const QPointer<TMonitorDirThread>& old : std::as_const(m_retiring)) {
        if (old)
            old->Terminate();
    }
    m_retiring.clear();
}

void RunCoordinator::startWatchers()
{
    if (m_checker)
        m_checker->Terminate();
    m_checker.clear();
    retireMonitor();
    auto* checker = new TCheckThread(*this, m_clock);
    auto* monitor = new TMonitorDirThread(*this);
    m_checker = checker;
    m_monitor = monitor;
    m_watchers << QPointer<TThread>(checker) << QPointer<TThread>(monitor);
    checker->Start();
    monitor->Start();
    followTargets();
}

// The mount watcher runs on this thread: a change of the table costs one
// read of a small kernel file, and a start goes through the same door as a
// scheduled one.
void RunCoordinator::followTargets()
{
    QList<TaskTarget> stored;
    try {
        stored = TasksRunWhenTargetAppears(m_db);
    } catch (const std::exception& e) {
        watcherWarning(QString::fromUtf8(e.what()));
    }
    if (stored.isEmpty()) {
        m_mounts.reset();
        m_appearance.reset({}, {});
        return;
    }
    if (!m_mounts) {
        m_mounts = std::make_unique<MountWatcher>(m_mountTableFile);
        if (!m_mounts->isWatching()) {
            watcherWarning(QStringLiteral("Cannot watch the mount table %1: targets that appear "
                                          "start nothing.")
                               .arg(m_mountTableFile));
            m_mounts.reset();
            return;
        }
        connect(m_mounts.get(), &MountWatcher::changed, this,
                &RunCoordinator::mountTableChanged);
    }
    QList<TargetAppearance::Task> tasks;
    m_appearanceTargets.clear();
    for (const TaskTarget& task : std::as_const(stored)) {
        tasks.append({task.taskId, task.targetDir});
        m_appearanceTargets.insert(task.taskId, task.targetDir);
    }
    m_appearance.reset(tasks, m_mounts->table());
    mountTableChanged(m_mounts->table());
}

void RunCoordinator::mountTableChanged(const QList<MountPoint>& table)
{
    if (m_shuttingDown)
        return;
    // The run checks that its target still lies on the drive that came:
    // one that went again at once leaves only its bare folder.
    for (const QString& taskId : m_appearance.update(table)) {
        const std::optional<MountPoint> mount =
            MountHolding(table, QDir::cleanPath(m_appearanceTargets.value(taskId)));
        startTaskIfIdle(taskId, mount ? mount->path : QString(), false);
    }
}

void RunCoordinator::stopWatchers()
{
    if (m_checker)
        m_checker->Terminate();
    if (m_monitor)
        m_monitor->Terminate();
    for (const QPointer<TMonitorDirThread>& old : std::as_const(m_retiring)) {
        if (old)
            old->Terminate();
    }
    m_retiring.clear();
    m_checker.clear();
    m_monitor.clear();
}

int RunCoordinator::aliveWatcherCount() const
{
    int alive = 0;
    for (const QPointer<TThread>& watcher : m_watchers)
        alive += watcher && watcher->isRunning() ? 1 : 0;
    return alive;
}

TMyThread* RunCoordinator::makeRun(const QString& taskId, bool suspended, QString* reason,
                                   bool onChange)
{
    if (m_shuttingDown) {
        if (reason)
            *reason = QStringLiteral("Shutting down: no new run of task %1 is started.").arg(taskId);
        return nullptr;
    }
    try {
        auto* run = new TMyThread(suspended, taskId, *this, m_clock);
        // Changes heard from now on go to the next run.
        run->setChangeScope(m_changeTrack.take(taskId, onChange, m_clock.now()));
        return run;
    } catch (const std::exception& e) {
        // The settings could not be read: the run is not created.
        if (reason)
            *reason = QString::fromStdString(e.what());
        return nullptr;
    }
}

RunningTaskList::RunOutcome RunCoordinator::runByHand(const QString& taskId, QString* reason)
{
    return m_running.RunOrResume(taskId,
                                 [&]() -> TThread* { return makeRun(taskId, true, reason); });
}

bool RunCoordinator::suspendByHand(const QString& taskId)
{
    return m_running.SuspendFirst(taskId);
}

RunCoordinator::TaskRunState RunCoordinator::runState(const QString& taskId) const
{
    const RunningTaskList::Entry* entry = m_running.FindFirst(taskId);
    if (!entry)
        return TaskRunState::Idle;
    return entry->thread && entry->thread->Suspended() ? TaskRunState::Suspended
                                                       : TaskRunState::Running;
}

const RunProgress* RunCoordinator::progress(const QString& taskId) const
{
    const auto found = m_progress.constFind(taskId);
    return found == m_progress.cend() ? nullptr : &*found;
}

bool RunCoordinator::stopByHand(const QString& taskId)
{
    return m_running.StopFirst(taskId);
}

WatcherHost::StartResult RunCoordinator::startTaskIfIdle(const QString& taskId)
{
    return startTaskIfIdle(taskId, QString(), false);
}

WatcherHost::StartResult RunCoordinator::startTaskOnChange(const QString& taskId)
{
    return startTaskIfIdle(taskId, QString(), true);
}

void RunCoordinator::foldersChanged(const QString& taskId, const QString& folder,
                                    const FolderChanges& changes)
{
    m_changeTrack.heard(taskId, folder, changes);
}

void RunCoordinator::foldersWatched(const QString& taskId, quint64 folders,
                                    const QString& unwatched)
{
    m_changeTrack.setWatched(taskId, folders, unwatched);
}

WatcherHost::StartResult RunCoordinator::startTaskIfIdle(const QString& taskId,
                                                         const QString& expectedTargetMount,
                                                         bool onChange)
{
    if (m_shuttingDown || m_running.IsRunning(taskId))
        return StartResult::AlreadyRunning;
    QString reason;
    TThread* started = m_running.StartIfIdle(taskId, [&]() -> TThread* {
        TMyThread* run = makeRun(taskId, false, &reason, onChange);
        if (run)
            run->setExpectedTargetMount(expectedTargetMount);
        return run;
    });
    if (!started) {
        // The checker tries again at its next passes; the same failure of
        // the same task is told once, until it changes or a run starts.
        if (m_refusals.value(taskId) != reason) {
            m_refusals.insert(taskId, reason);
            emit problem(reason);
        }
        return StartResult::Refused;
    }
    m_refusals.remove(taskId);
    started->Start();
    return StartResult::Started;
}

void RunCoordinator::runCreated(TMyThread* run)
{
    if (m_echo)
        run->setEcho(m_echo);
    pruneThreads();
    m_runs << QPointer<TThread>(run);
    emit runStarted(run->taskId());
}

void RunCoordinator::appendLogLines(LogFile& logFile, const QList<ShownLine>& lines)
{
    for (const ShownLine& line : lines)
        logFile.add(line.text);
    logFile.flush();
    emit linesLogged(lines);
    if (const QString lost = logFile.takeProblem(); !lost.isEmpty())
        emit problem(lost);
}

void RunCoordinator::taskTimesChanged(const QString& taskId, const QString& lastRunText,
                                      const QString& nextRunText)
{
    emit taskTimesUpdated(taskId, lastRunText, nextRunText);
}

void RunCoordinator::showFinishedMessage(const QString& taskId)
{
    emit finishedMessageRequested(taskId);
}

void RunCoordinator::runProgress(TMyThread* run, const RunProgress& progress)
{
    m_progress.insert(run->taskId(), progress);
    emit progressChanged(run->taskId());
}

void RunCoordinator::runEnded(TMyThread* run, const QString& failure)
{
    // The run has already taken its own entry off the running-task list.
    m_runs.removeAll(QPointer<TThread>(run));
    m_progress.remove(run->taskId());
    const bool made = failure.isEmpty() && !run->record().taskId.isEmpty();
    m_changeTrack.ended(run->taskId(), made ? &run->result() : nullptr,
                        run->control().stopRequested(),
                        made && run->record().outcome == RunEnding::Succeeded);
    if (!run->record().taskId.isEmpty())
        emit runRecorded(run->record());
    emit runFinished(run->taskId(), failure);
}

void RunCoordinator::watcherEnded(TThread* watcher, const QString& failure)
{
    // A watcher that was asked to stop ends quietly; one that ended on its
    // own leaves its kind of start unserved until the next restart.
    if (watcher->Terminated())
        return;
    const bool checker = watcher == m_checker;
    if (checker)
        m_checker.clear();
    else if (watcher == m_monitor)
        m_monitor.clear();
    const QString what = checker ? QStringLiteral("The schedule checker stopped")
                                 : QStringLiteral("The source change monitor stopped");
    emit problem(failure.isEmpty() ? QString(what + u'.')
                                   : QString(what + QStringLiteral(": ") + failure));
}

void RunCoordinator::watcherWarning(const QString& text)
{
    // A new checker or monitor meets the same stored rows and limits again.
    if (m_warnings.contains(text))
        return;
    m_warnings.insert(text);
    emit problem(text);
}

void RunCoordinator::pruneThreads()
{
    m_runs.removeAll(QPointer<TThread>());
    m_watchers.removeAll(QPointer<TThread>());
}

bool RunCoordinator::anyThreadAlive() const
{
    const auto alive = [](const QList<QPointer<TThread>>& threads) {
        for (const QPointer<TThread>& thread : threads) {
            if (thread && thread->isRunning())
                return true;
        }
        return false;
    };
    return alive(m_runs) || alive(m_watchers);
}

void RunCoordinator::shutdown(int timeoutMs)
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    m_watcherTimer.stop();
    stopWatchers();
    m_mounts.reset();
    m_running.StopAll();

    // Hand-overs of the ending threads are served by the event loop while
    // this poll waits; nothing here blocks it.
    auto* poll = new QTimer(this);
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    connect(poll, &QTimer::timeout, this, [this, poll, deadline, timeoutMs] {
        pruneThreads();
        const bool alive = anyThreadAlive();
        if (alive && deadline->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        emit shutdownFinished(!alive);
    });
    poll->start(kShutdownPollMs);
}

void AnnounceRunningTasks(InstanceLock& lock, RunCoordinator& coordinator)
{
    RunningTaskList& running = coordinator.runningTasks();
    const auto announce = [&lock, &running] {
        QStringList ids;
        for (const RunningTaskList::Entry& entry : running.entries())
            ids << entry.taskId;
        lock.announce(ids);
    };
    QObject::connect(&running, &RunningTaskList::countChanged, &coordinator, announce);
    announce();
}

} // namespace tarnwick
