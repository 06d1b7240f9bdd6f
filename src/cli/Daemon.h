// The scheduler without the window: the user-interface side of runs, the
// schedule checker and the change monitor, serving them from the main
// thread's event loop and printing every run's lines to the terminal.
#pragma once

#include "engine/RunHost.h"
#include "engine/RunningTaskList.h"
#include "platform/Clock.h"
#include "schedule/WatcherHost.h"
#include "store/TaskDatabase.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace tarnwick {
class TCheckThread;
class TMonitorDirThread;
class TThread;
} // namespace tarnwick

namespace tarnwick::cli {

class Daemon : public QObject, public RunHost, public WatcherHost
{
    Q_OBJECT

public:
    // `echo` prints one line of a run; it is called from the runs' threads.
    Daemon(TaskDatabase& db, std::function<void(LogKind, const QString&, quint32 colour)> echo,
           const Clock& clock = Clock::system());
    ~Daemon() override;

    // Moves passed schedule entries forward, then starts the checker and
    // the monitor about a second later.
    void start();
    // Replaces the checker and the monitor so they read the stored tasks anew.
    void RestartWatchers();
    // Stops the watchers and every run (a suspended run is resumed so it
    // can write its summary), waits until they have ended or `timeoutMs`
    // has passed, then calls `done`.
    void shutdown(int timeoutMs, std::function<void()> done);

    // RunHost
    TaskDatabase& runDatabase() override { return m_db; }
    RunningTaskList& runningTasks() override { return m_running; }
    void runCreated(TMyThread* run) override;
    void appendLogLines(const QString& logFileName, const QList<ShownLine>& lines) override;
    void taskTimesChanged(const QString&, const QString&, const QString&) override {}
    void showFinishedMessage() override {}
    void runEnded(TMyThread* run, const QString& failure) override;

    // WatcherHost
    TaskDatabase& watcherDatabase() override { return m_db; }
    bool startTaskIfIdle(const QString& taskId) override;

private:
    void startWatchers();
    void stopWatchers();

    TaskDatabase& m_db;
    std::function<void(LogKind, const QString&, quint32 colour)> m_echo;
    const Clock& m_clock;
    RunningTaskList m_running;
    QPointer<TCheckThread> m_checker;
    QPointer<TMonitorDirThread> m_monitor;
    QList<QPointer<TThread>> m_threads; // every thread still alive
    bool m_shuttingDown = false;
};

} // namespace tarnwick::cli
