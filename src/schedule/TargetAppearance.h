// SPDX-License-Identifier: GPL-3.0-or-later
// Which tasks to start when the mount table changes: a task that asks to run
// when its target appears starts once when the mount holding its target is
// replaced by one at least as deep (a drive mounted at or above the target),
// and not again until that mount has gone (the target falls back to a
// shallower mount) and a mount comes back. Kept apart from the watcher so
// the rules can be tried on made-up tables.
#pragma once

#include "platform/MountTable.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarnwick {

class TargetAppearance
{
public:
    struct Task
    {
        QString taskId;
        QString targetDir;
    };

    // The tasks to follow, and the table as it is now: what is mounted now
    // starts nothing for a task not followed before. A task followed
    // before with the same target keeps what it knew, so a drive that came
    // while the tasks were read anew still counts.
    void reset(const QList<Task>& tasks, const QList<MountPoint>& table);

    // The tasks whose target has appeared since the last table, in the
    // order they were given.
    QStringList update(const QList<MountPoint>& table);

    bool isEmpty() const { return m_tasks.isEmpty(); }

private:
    struct Followed
    {
        QString taskId;
        QString targetDir; // clean, absolute
        std::optional<MountPoint> holding;
    };
    QList<Followed> m_tasks;
};

} // namespace tarnwick
