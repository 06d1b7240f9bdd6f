// SPDX-License-Identifier: GPL-3.0-or-later
// Shared bits of the command classes.
#include "cli/CliCommand.h"

#include "platform/InstanceLock.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"

namespace tarnwick::cli {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

void ExpectNoArguments(const QString& command, const QStringList& args)
{
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("%1: unexpected argument '%2'").arg(command, args.first()));
}

QString ResolveTaskId(TaskDatabase& db, const QString& wanted, const QString& command)
{
    QStringList byName;
    for (const auto& [id, taskName] : ReadTaskNames(db)) {
        if (id == wanted)
            return id;
        if (taskName == wanted)
            byName << id;
    }
    if (byName.isEmpty())
        throw UsageError(QStringLiteral("%1: no task with the ID or name '%2' "
                                        "('tarnwick-cli list' shows them)")
                             .arg(command, wanted));
    if (byName.size() > 1)
        throw UsageError(QStringLiteral("%1: the name '%2' is ambiguous; task IDs: %3")
                             .arg(command, wanted, byName.join(QStringLiteral(", "))));
    return byName.first();
}

QString ResolveGroupId(TaskDatabase& db, const QString& wanted, const QString& command)
{
    if (wanted == QLatin1StringView(kAllTaskGroupID))
        return wanted;
    QStringList byName;
    for (const TaskGroupRow& group : ReadTaskGroups(db)) {
        if (group.groupId == wanted)
            return group.groupId;
        if (group.name == wanted)
            byName << group.groupId;
    }
    if (byName.isEmpty())
        throw UsageError(QStringLiteral("%1: no group with the ID or name '%2' "
                                        "('tarnwick-cli group add NAME' makes one)")
                             .arg(command, wanted));
    if (byName.size() > 1)
        throw UsageError(QStringLiteral("%1: the group name '%2' is ambiguous; group IDs: %3")
                             .arg(command, wanted, byName.join(QStringLiteral(", "))));
    return byName.first();
}

void RefuseWhileRunning(const QString& taskId, const QString& taskName, const QString& command)
{
    const auto holder = InstanceLock::holder();
    if (holder && holder->runningTaskIds.contains(taskId))
        throw RefusedError(QStringLiteral("%1: the task '%2' [%3] is running in Tarnwick "
                                          "(process %4); stop it first")
                               .arg(command, taskName, taskId)
                               .arg(holder->pid));
}

void NotifyRunningInstance()
{
    InstanceLock::askHolderToReload();
}

} // namespace tarnwick::cli
