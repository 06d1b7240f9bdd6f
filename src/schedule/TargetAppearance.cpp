// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/TargetAppearance.h"

#include <QDir>

#include <algorithm>

namespace tarnwick {

void TargetAppearance::reset(const QList<Task>& tasks, const QList<MountPoint>& table)
{
    QList<Followed> followed;
    for (const Task& task : tasks) {
        const QString target = QDir::cleanPath(task.targetDir.trimmed());
        if (!QDir::isAbsolutePath(target))
            continue;
        const auto before = std::find_if(m_tasks.cbegin(), m_tasks.cend(), [&](const Followed& f) {
            return f.taskId == task.taskId && f.targetDir == target;
        });
        followed.append({task.taskId, target,
                         before != m_tasks.cend() ? before->holding : MountHolding(table, target)});
    }
    m_tasks = std::move(followed);
}

QStringList TargetAppearance::update(const QList<MountPoint>& table)
{
    QStringList appeared;
    for (Followed& task : m_tasks) {
        const std::optional<MountPoint> now = MountHolding(table, task.targetDir);
        const bool replaced = now && (!task.holding || now->id != task.holding->id);
        // A shallower mount now holding the target means its drive went.
        const bool deeper = now && (!task.holding || now->path.size() >= task.holding->path.size());
        if (replaced && deeper)
            appeared << task.taskId;
        task.holding = now;
    }
    return appeared;
}

} // namespace tarnwick
