// SPDX-License-Identifier: GPL-3.0-or-later
// What the schedule checker and the change monitor need from the
// user-interface side: their task database connection and a way to start a
// task's run. Both calls arrive on the user-interface thread.
#pragma once

#include "platform/ChangeNotifier.h"

#include <QSet>
#include <QtGlobal>
#include <QString>
#include <QStringList>

namespace tarnwick {

class TaskDatabase;
class TThread;

class WatcherHost
{
public:
    virtual ~WatcherHost() = default;
    virtual TaskDatabase& watcherDatabase() = 0;

    enum class StartResult
    {
        Started,
        AlreadyRunning,
        Refused // no run could be made (the settings could not be read)
    };
    // Tests and starts in one step: starts a run of the task unless one is
    // listed as running.
    virtual StartResult startTaskIfIdle(const QString& taskId) = 0;
    // The same for a run started by a change to the task's sources: it may
    // look at the changed folders alone.
    virtual StartResult startTaskOnChange(const QString& taskId) { return startTaskIfIdle(taskId); }
    // The monitor heard `changes` in the task's source `folder`.
    virtual void foldersChanged(const QString& taskId, const QString& folder,
                                const FolderChanges& changes)
    {
        Q_UNUSED(taskId) Q_UNUSED(folder) Q_UNUSED(changes)
    }
    // The monitor watches `folders` folders for the task; `unwatched` says
    // why some of its folders cannot be watched, or is empty.
    virtual void foldersWatched(const QString& taskId, quint64 folders, const QString& unwatched)
    {
        Q_UNUSED(taskId) Q_UNUSED(folders) Q_UNUSED(unwatched)
    }
    // Which entries due by date have started their task on which date. It
    // outlives every checker, so replacing the checker never runs such an
    // entry twice on one date.
    virtual QSet<QString>& startedByDate() = 0;
    // Tasks with a source change not yet served by a run that started after
    // it, in the order the changes came. It outlives every monitor, so a
    // restart of the watchers (after any change to the tasks) hands the
    // changes on instead of dropping them.
    virtual QStringList& pendingChanges() = 0;
    // The watcher's body has returned; `failure` is the error that ended
    // it, empty when it ended normally. Called once per watcher.
    virtual void watcherEnded(TThread* watcher, const QString& failure) = 0;
    // A warning of the change notifier (the system's watch limit reached,
    // no watching possible at all).
    virtual void watcherWarning(const QString& text) = 0;
    // The monitor watches every tree it was given (or has none to watch):
    // a monitor it replaces may stop now without a change going unheard.
    virtual void monitorWatching(TThread* monitor) { Q_UNUSED(monitor) }
};

} // namespace tarnwick
