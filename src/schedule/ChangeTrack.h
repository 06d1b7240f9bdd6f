// SPDX-License-Identifier: GPL-3.0-or-later
// What the change monitor knows of each task that runs on change, kept by
// the run coordinator so it outlives every monitor: the folders changed since
// the task's last complete run, why that record cannot be trusted when it
// cannot, and what the last complete run found. A run started by a change
// takes the record at its start, so a change heard while it runs goes to the
// next run; copying a file twice is harmless, missing one is not.
#pragma once

#include "engine/MirrorTypes.h"
#include "platform/ChangeNotifier.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>

namespace tarnwick {

class ChangeTrack
{
public:
    // A run started by a change walks everything this long after the last
    // full walk: changes in the target, which no event tells of, are then
    // mended too.
    static constexpr qint64 kFullWalkEverySecs = 24 * 60 * 60;
    // With more than one in this many of the watched folders changed, the
    // whole walk costs about the same and is taken instead.
    static constexpr quint64 kMostChangedShare = 4;

    // The monitor heard `changes` in the task's source `folder`.
    void heard(const QString& taskId, const QString& folder, const FolderChanges& changes);
    // The monitor watches `folders` folders for the task, over all its
    // sources; `unwatched` says why some of them cannot be watched at all
    // (every run started by a change then walks everything), or is empty.
    void setWatched(const QString& taskId, quint64 folders, const QString& unwatched = {});

    // A run of the task starts at `now`. A run started by a change
    // (`onChange`) gets the record and why it cannot be trusted, if so;
    // any other run walks everything and takes the record too, which it
    // covers. Either way the task's record starts afresh.
    std::shared_ptr<const ChangeScope> take(const QString& taskId, bool onChange,
                                            const QDateTime& now);
    // The run that took the record last has ended: `result` is null for a
    // run that failed outright; `complete` when it ran to its end without
    // errors.
    void ended(const QString& taskId, const MirrorResult* result, bool stopped, bool complete);

    // Changed folders waiting for the task's next run (for tests and
    // diagnostics).
    quint64 waitingFolders(const QString& taskId) const;

private:
    struct Task
    {
        QHash<QString, ChangeScope::Source> marked;
        QString lost;       // events lost since the last take
        QString lastEnding; // why the last run leaves the record untrusted
        QString unwatched;  // why some folders are not watched at all
        quint64 watched = 0;
        QDateTime taken;    // when the last run took the record
        QByteArray fingerprint; // of the last complete run
        QString target;
        QDateTime lastFullWalk; // start of the last complete full walk
        bool linkedFolders = false;
    };
    QHash<QString, Task> m_tasks;
};

} // namespace tarnwick
