// SPDX-License-Identifier: GPL-3.0-or-later
// The one path by which whole tasks and task groups are read and written.
// The window's task editor and the command-line companion both go through
// here, so a task is loaded, checked, saved and deleted the same way
// whichever front end the user works in. Every write runs in one
// transaction: a failure part-way leaves every row as it was.
#pragma once

#include "store/ExcludeRule.h"
#include "store/ScheduleEntry.h"
#include "store/TaskList.h"

#include <QHash>
#include <QList>
#include <QString>


namespace tarnwick {

class Clock;
class TaskDatabase;

// One source folder of a task, in list order.
struct TaskSource
{
    QString path;
    bool includeSubfolders = true;
};

// One schedule entry as the editor holds it. For Once, entry.onceDate is
// the date part of the stored NextRunTime.
struct TaskScheduleItem
{
    ScheduleEntry entry;
    qint64 taskSchId = -1; // -1 for an entry not yet stored
    // The stored NextRunTime as display text, which the editor's description
    // of a Once entry shows; empty for an entry not yet stored. Not written.
    QString nextRunText;
};

// Settings of a task kept beside its rows, in TaskOption.
struct TaskExtras
{
    int keepVersions = 0;   // replaced files kept per file; 0 keeps none
    QString versionsFolder; // empty: the default folder inside the target
    bool whenTargetAppears = false; // also run when the target's drive is mounted
    int parallel = 0; // target operations at once; 0 lets the target's file system decide
    // A run started by a change walks every folder, not only the changed ones.
    bool fullWalkAlways = false;

    friend bool operator==(const TaskExtras&, const TaskExtras&) = default;
};

// The settings of a task beyond its own columns, as stored: the one reader
// of them, clamping each to its range (an older or hand-edited database may
// hold anything).
TaskExtras ReadTaskExtras(TaskDatabase& db, const QString& taskId);
// The same from the task's options as ReadTaskOptions gives them.
TaskExtras TaskExtrasFrom(const QHash<QString, QString>& options);

// A whole task as the editor holds it. A front end that keeps a source in an
// edit box appends it (untrimmed, with its subfolder flag) as the last
// source before checking and saving.
struct TaskRecord
{
    QString taskId;
    QString groupId = QString::fromLatin1(kAllTaskGroupID);
    QString name;
    QString targetDir;
    TaskRunMode runMode = TaskRunMode::Manual;
    QList<TaskSource> sources;
    bool excludeMode = false; // false: include all files; the rules are then not stored
    QList<ExcludeRule> rules;
    QList<TaskScheduleItem> schedules; // stored only for TaskRunMode::Scheduled
    TaskExtras extras;
};

// Task.SourceDir for a source list: the one path trimmed, or for several,
// " !>" followed by each trimmed path, in list order. Empty for none.
QString SourceListText(const QList<TaskSource>& sources);

// Reads a stored task as the editor shows it: its row, every source, the
// rules up to a row of type -1 (which means "include all files" and ends
// the rules), and the schedule rows unless the task runs by hand or on
// change. Raises StoreError when no task has the identifier `taskId`.
TaskRecord LoadTask(TaskDatabase& db, const QString& taskId);

// The checks a task passes before it is saved: ValidateTask in
// store/TaskChecks.h.

// Whether a save makes a new task or replaces the stored rows of one.
enum class TaskSaveMode
{
    New,
    Edit
};

// Writes `task` in one transaction. Edit first deletes the task's stored
// rows; New adds a task and fails when its identifier is taken. Identifiers,
// name, target, rule values and schedule slots are stored trimmed, source
// paths as given. Rules and schedule entries of kinds the store does not
// know are left out. `clock` gives the saved rows' last run and the
// entries' next runs, by the schedule rules. Returns the
// task's row for the task list. Raises StoreError with the store's text,
// leaving every row as it was.
TaskListRow SaveTask(TaskDatabase& db, const TaskRecord& task, TaskSaveMode mode,
                     const Clock& clock);

// Deletes every row of the task (its sources, schedule rows, rules, then
// the task, its options and kept runs) in one transaction. Raises StoreError, leaving every row as it
// was.
void DeleteTask(TaskDatabase& db, const QString& taskId);

// The group commands. The identifier is trimmed, the name stored as given.
// Each raises StoreError with the store's text and changes nothing on
// failure. Deleting a group leaves its tasks where they are: they are then
// shown only under the root.
void AddTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name);
void RenameTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name);
void DeleteTaskGroup(TaskDatabase& db, const QString& groupId);

} // namespace tarnwick
