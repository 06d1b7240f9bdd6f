// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the task list as every front end shows them: the name, the
// last and next run texts, the source and the target, and the groups above
// them. The window's list and `tarnwick-cli list` read through here.
#pragma once

#include <QList>
#include <QStringList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace tarnwick {

class TaskDatabase;

// How a task is started (Task.ScheduleType).
enum class TaskRunMode
{
    Manual = 0,
    OnSourceChange = 1,
    Scheduled = 2
};

// The short name of a start mode, as the task document stores it and the
// command line shows it: "manual", "on-change", "scheduled"; for a stored
// number that is no mode, "unknown (N)".
QString RunModeName(qint64 mode);
inline QString RunModeName(TaskRunMode mode)
{
    return RunModeName(static_cast<qint64>(mode));
}
// The mode a short name stands for.
std::optional<TaskRunMode> RunModeFromName(const QString& name);

// The group identifier of the root node and of tasks that belong to no group.
inline constexpr char kAllTaskGroupID[] = "AllTask";

inline constexpr char kManuallyText[] = "Manually";
inline constexpr char kOnChangeText[] = "On Source Folder(s) Contents Change";

struct TaskGroupRow
{
    QString groupId;
    QString name;
};

struct TaskListRow
{
    QString taskId;
    QString taskName;
    qint64 runMode = 0;
    // The start of the newest run kept in the history, else the latest
    // LastRunTime, as DateTimeText; empty when none.
    QString lastRunText;
    QString nextRunText; // "Manually", the on-change text, or the earliest NextRunTime
    QString sourceText;  // Task.SourceDir as stored
    QString targetDir;
};

QList<TaskGroupRow> ReadTaskGroups(TaskDatabase& db);

// All tasks when `groupId` is "AllTask", else the tasks of that group. A
// row that cannot be read (a damaged value) is left out and named in
// `unreadable`, so one bad row never hides every other task.
QList<TaskListRow> ReadTaskList(TaskDatabase& db, const QString& groupId,
                                QStringList* unreadable = nullptr);

// What is told of a task row that cannot be read and is left out.
QString UnreadableTaskText(const QString& taskId, const QString& why);

// The last-run cell: the latest LastRunTime of the task's schedule rows.
QString LastRunCellText(TaskDatabase& db, const QString& taskId);

// The next-run cell for a task of the given run mode: "Manually", the
// on-change text, the earliest NextRunTime for a scheduled task (empty when
// it has none), and empty for any other mode.
QString NextRunCellTextFor(TaskDatabase& db, const QString& taskId, qint64 runMode,
                           const char* minStatement);

// A task started by a change of its source folders: the folders to watch
// and its target, which is not watched where it lies inside a source.
struct WatchedTask
{
    QString taskId;
    QStringList folders;
    QString targetDir;
};
// Every such task, in store order; reading stops early once `stop` says so.
QList<WatchedTask> ReadWatchedTasks(TaskDatabase& db, const std::function<bool()>& stop = {});

// Every task's ID and name, in store order.
QList<std::pair<QString, QString>> ReadTaskNames(TaskDatabase& db);

} // namespace tarnwick
