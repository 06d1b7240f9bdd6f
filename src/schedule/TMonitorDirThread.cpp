// SPDX-License-Identifier: GPL-3.0-or-later
// Change monitor loop. The watched tasks and folders are read once, when the
// monitor starts; a change to the tasks replaces the monitor. Changes not yet
// served live with the host, not here: a monitor that is replaced leaves
// them, and the events still queued for it, to the next one. The one
// replaced goes on listening until the new one watches, so no change falls
// between the two. A task whose
// target lies inside one of its sources does not watch that target, so its
// own copies do not start it again. Beside starting runs, it hands over
// which folders changed, so a run it starts can look at those alone.
#include "schedule/TMonitorDirThread.h"

#include "platform/ChangeNotifier.h"
#include "schedule/WatcherHost.h"
#include "store/TaskList.h"

#include <QElapsedTimer>
#include <QFile>

namespace tarnwick {

namespace {

struct WatchPair
{
    QString taskId;
    QString folder;
};

} // namespace

TMonitorDirThread::TMonitorDirThread(WatcherHost& host) : TThread(false), m_host(host)
{
    SetFreeOnTerminate(true);
    SetPriority(ThreadPriority::Lowest);
    // The thread carries this name, so a look at the process's threads
    // shows how many watchers are alive.
    setObjectName(QStringLiteral("TMonitorDirThread"));
}

void TMonitorDirThread::Execute()
{
    QList<WatchedTask> watched;
    const auto loadTasks = [&] {
        Synchronize(
            [&] { watched = ReadWatchedTasks(m_host.watcherDatabase(), [this] { return Terminated(); }); });
    };
    loadTasks();
    if (watched.isEmpty())
        Synchronize([&] { m_host.monitorWatching(this); });
    while (watched.isEmpty()) {
        if (!SleepUnlessTerminated(1000))
            return;
        loadTasks();
    }
    QStringList tasks;
    QList<WatchPair> pairs;
    QHash<QString, QString> targets;
    for (const WatchedTask& task : std::as_const(watched)) {
        tasks << task.taskId;
        for (const QString& folder : task.folders)
            pairs.append({task.taskId, folder});
        if (!task.targetDir.isEmpty())
            targets.insert(task.taskId, task.targetDir);
    }

    ChangeNotifier notifier;
    notifier.setWarningHandler(
        [this](const QString& text) { Synchronize([&] { m_host.watcherWarning(text); }); });
    QHash<int, QString> treeTask;
    QHash<int, QString> treeFolder;
    QHash<QString, QString> unwatched; // task ID, why a source of it is not watched
    for (const WatchPair& pair : pairs) {
        const int tree = notifier.addTree(QFile::encodeName(pair.folder));
        if (tree < 0) {
            if (!unwatched.contains(pair.taskId))
                unwatched.insert(pair.taskId, QStringLiteral("the source folder %1 cannot be "
                                                             "watched")
                                                  .arg(pair.folder));
            continue;
        }
        treeTask.insert(tree, pair.taskId);
        treeFolder.insert(tree, pair.folder);
        // The notifier finds the target below the source by the folders
        // themselves, however either is spelled (links, bind mounts).
        const QString target = targets.value(pair.taskId);
        if (!target.isEmpty())
            notifier.setIgnoredSubtree(tree, QFile::encodeName(target));
    }

    QHash<QString, quint64> watchedFolders;
    for (auto it = treeTask.cbegin(); it != treeTask.cend(); ++it)
        watchedFolders[it.value()] += static_cast<quint64>(notifier.watchedFolderCount(it.key()));

    // From here on nothing is missed: the monitor this one replaces may go.
    Synchronize([&] {
        for (const QString& taskId : std::as_const(tasks))
            m_host.foldersWatched(taskId, watchedFolders.value(taskId), unwatched.value(taskId));
        m_host.monitorWatching(this);
    });

    // What changed in every source of the tasks that changed, with what
    // each tree cannot vouch for.
    struct Heard
    {
        QString taskId;
        QString folder;
        FolderChanges changes;
    };
    const auto takeChanges = [&](const QStringList& changedTasks) {
        QList<Heard> heard;
        for (auto it = treeTask.cbegin(); it != treeTask.cend(); ++it) {
            if (!changedTasks.contains(it.value()))
                continue;
            FolderChanges changes = notifier.takeChanges(it.key());
            if (!changes.isEmpty())
                heard.append({it.value(), treeFolder.value(it.key()), std::move(changes)});
        }
        return heard;
    };
    const auto handOver = [&](const QList<Heard>& heard) {
        for (const Heard& h : heard)
            m_host.foldersChanged(h.taskId, h.folder, h.changes);
    };

    const auto taskIdsOf = [&](const QList<int>& trees) {
        QStringList taskIds;
        for (int tree : trees) {
            const QString taskId = treeTask.value(tree);
            if (!taskId.isEmpty() && !taskIds.contains(taskId))
                taskIds << taskId;
        }
        return taskIds;
    };
    while (!Terminated()) {
        QList<int> changed = notifier.wait(kPassMs);
        if (!changed.isEmpty()) {
            // One change is often several events (create, write, close):
            // gather the rest of them for a pass before starting anything,
            // so they start one run, not two.
            QElapsedTimer gathering;
            gathering.start();
            for (qint64 left = kPassMs; left > 0 && !Terminated();
                 left = kPassMs - gathering.elapsed())
                changed += notifier.wait(static_cast<int>(left));
        }
        const QStringList changedTasks = taskIdsOf(changed);
        const QList<Heard> heard = takeChanges(changedTasks);
        Synchronize([&] {
            handOver(heard);
            QStringList& pending = m_host.pendingChanges();
            for (const QString& taskId : changedTasks) {
                if (!pending.contains(taskId))
                    pending << taskId;
            }
            if (Terminated() || m_retired)
                return; // the next monitor starts them
            // A task that is running when its change comes runs once more
            // after that run has ended: its walk may have passed the change
            // already. A task no longer watched has no change to serve.
            QStringList waiting;
            for (const QString& taskId : std::as_const(pending)) {
                if (tasks.contains(taskId) &&
                    m_host.startTaskOnChange(taskId) != WatcherHost::StartResult::Started)
                    waiting << taskId;
            }
            pending = waiting;
        });
    }
    // Replaced or stopped: what was heard but not read yet is handed on too.
    const QStringList unread = taskIdsOf(notifier.wait(0));
    if (!unread.isEmpty()) {
        const QList<Heard> heard = takeChanges(unread);
        Synchronize([&] {
            handOver(heard);
            QStringList& pending = m_host.pendingChanges();
            for (const QString& taskId : unread) {
                if (!pending.contains(taskId))
                    pending << taskId;
            }
        });
    }
}

void TMonitorDirThread::AfterExecute()
{
    const QString error = failure();
    Synchronize([&] { m_host.watcherEnded(this, error); });
}

} // namespace tarnwick
