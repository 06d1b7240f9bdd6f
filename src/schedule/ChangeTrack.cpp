// SPDX-License-Identifier: GPL-3.0-or-later
// The record is plain data on the coordinator's thread: the monitor hands
// what it heard over there, and a run takes it there when it is made, so
// taking and adding never overlap.
#include "schedule/ChangeTrack.h"

namespace tarnwick {

void ChangeTrack::heard(const QString& taskId, const QString& folder, const FolderChanges& changes)
{
    Task& task = m_tasks[taskId];
    if (task.lost.isEmpty())
        task.lost = changes.lost;
    if (changes.folders.isEmpty() && changes.subtrees.isEmpty())
        return;
    ChangeScope::Source& source = task.marked[folder];
    source.folders.unite(changes.folders);
    source.subtrees.unite(changes.subtrees);
}

void ChangeTrack::setWatched(const QString& taskId, quint64 folders, const QString& unwatched)
{
    m_tasks[taskId].watched = folders;
    m_tasks[taskId].unwatched = unwatched;
}

std::shared_ptr<const ChangeScope> ChangeTrack::take(const QString& taskId, bool onChange,
                                                     const QDateTime& now)
{
    Task& task = m_tasks[taskId];
    task.taken = now;
    auto scope = std::make_shared<ChangeScope>();
    scope->sources = std::exchange(task.marked, {});
    scope->watchedFolders = task.watched;
    scope->lastFingerprint = task.fingerprint;
    scope->lastTarget = task.target;
    const QString lost = std::exchange(task.lost, {});
    const QString lastEnding = std::exchange(task.lastEnding, {});
    if (!onChange) {
        scope->walkAll = true;
        scope->sources.clear();
        return scope;
    }
    if (!task.lastFullWalk.isValid())
        scope->fullReason = QStringLiteral("the first run since the change monitor started");
    else if (!lastEnding.isEmpty())
        scope->fullReason = lastEnding;
    else if (!task.unwatched.isEmpty() || !lost.isEmpty())
        scope->fullReason = QStringLiteral("changes may have been missed: ") +
                            (lost.isEmpty() ? task.unwatched : lost);
    else if (task.linkedFolders)
        scope->fullReason =
            QStringLiteral("the source holds folders reached through links, which are not watched");
    else if (task.lastFullWalk.secsTo(now) >= kFullWalkEverySecs || task.lastFullWalk > now)
        scope->fullReason = QStringLiteral("24 hours have passed since the last full walk");
    else if (scope->changedFolders() * kMostChangedShare > task.watched)
        scope->fullReason = QStringLiteral("more than a quarter of the watched folders changed");
    return scope;
}

void ChangeTrack::ended(const QString& taskId, const MirrorResult* result, bool stopped,
                        bool complete)
{
    Task& task = m_tasks[taskId];
    if (!result || !complete) {
        // What the run took is not known to be copied.
        task.lastEnding = stopped ? QStringLiteral("the last run was stopped")
                          : result ? QStringLiteral("the last run did not end without errors")
                                   : QStringLiteral("the last run failed");
        return;
    }
    task.fingerprint = result->taskFingerprint;
    task.target = result->targetIdentity;
    task.linkedFolders = task.linkedFolders || result->linkedFolders;
    if (!result->changedOnly) {
        task.lastFullWalk = task.taken;
        task.linkedFolders = result->linkedFolders;
    }
}

quint64 ChangeTrack::waitingFolders(const QString& taskId) const
{
    const auto found = m_tasks.constFind(taskId);
    if (found == m_tasks.cend())
        return 0;
    ChangeScope scope;
    scope.sources = found->marked;
    return scope.changedFolders();
}

} // namespace tarnwick
