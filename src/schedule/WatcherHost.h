// What the schedule checker and the change monitor need from the
// user-interface side: their task database connection and a way to start a
// task's run. Both calls arrive on the user-interface thread.
#pragma once

#include <QString>

namespace tarnwick {

class TaskDatabase;
class TThread;

class WatcherHost
{
public:
    virtual ~WatcherHost() = default;
    virtual TaskDatabase& watcherDatabase() = 0;
    // Tests and starts in one step: starts a run of the task unless one is
    // listed as running. True when a run was started.
    virtual bool startTaskIfIdle(const QString& taskId) = 0;
    // The watcher's body has returned; `failure` is the error that ended
    // it, empty when it ended normally. Called once per watcher.
    virtual void watcherEnded(TThread* watcher, const QString& failure) = 0;
    // A warning of the change notifier (the system's watch limit reached,
    // no watching possible at all).
    virtual void watcherWarning(const QString& text) = 0;
};

} // namespace tarnwick
