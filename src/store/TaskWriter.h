// The one path by which whole tasks and task groups are read and written.
// The window's task editor and the command-line companion both go through
// here, so a task is loaded, checked, saved and deleted the same way
// whichever front end the user works in. Every write runs in one
// transaction: a failure part-way leaves every row as it was.
#pragma once

#include "store/ScheduleEntry.h"
#include "store/TaskList.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace tarnwick {

class Clock;
class TaskDatabase;

// One source folder of a task, in list order.
struct TaskSource
{
    QString path;
    bool includeSubfolders = true;
};

// One exclude rule as the editor holds it. The columns' meaning per kind is
// the exclude rules' business; the store writes kinds 0 to 4.
struct TaskExcludeRule
{
    qint64 type = 0;
    qint64 stype = 0;
    qint64 sstype = 0;
    QString value;
    QString endDate;       // kind 3 with sstype 2: the end date as DateText
    qint64 excludeId = -1; // -1 for a rule not yet stored
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
    QList<TaskExcludeRule> rules;
    QList<TaskScheduleItem> schedules; // stored only for TaskRunMode::Scheduled
};

// Task.SourceDir for a source list: the one path trimmed, or for several,
// " !>" followed by each trimmed path, in list order. Empty for none.
QString sourceListText(const QList<TaskSource>& sources);

// Reads a stored task as the editor shows it: its row, every source, the
// rules up to a row of type -1 (which means "include all files" and ends
// the rules), and the schedule rows unless the task runs by hand or on
// change. Raises StoreError when no task has the identifier `taskId`.
TaskRecord LoadTask(TaskDatabase& db, const QString& taskId);

// The first check a task fails before it may be saved: its message and the
// editor page to show (0 source, 1 target, 2 filter, 3 schedule), if any.
struct TaskCheckFailure
{
    QString message;
    std::optional<int> page;
};

// Checks for empty texts only; a text of blanks passes.
std::optional<TaskCheckFailure> ValidateTask(const TaskRecord& task);

// Whether a save makes a new task or replaces the stored rows of one.
enum class TaskSaveMode
{
    New,
    Edit
};

// The NextRunTime text of an entry being saved; the schedule rules give it
// (nextRunAtSaveFor in ScheduleRules.h).
using NextRunAtSaveFunction = std::function<QString(const ScheduleEntry&)>;

// Writes `task` in one transaction. Edit first deletes the task's stored
// rows; New adds a task and fails when its identifier is taken. Identifiers,
// name, target, rule values and schedule slots are stored trimmed, source
// paths as given. Rules and schedule entries of kinds the store does not
// know are left out. `clock` gives the saved rows' last run. Returns the
// task's row for the task list. Raises StoreError with the store's text,
// leaving every row as it was.
TaskListRow SaveTask(TaskDatabase& db, const TaskRecord& task, TaskSaveMode mode,
                     const Clock& clock, const NextRunAtSaveFunction& nextRunAtSave);

// Deletes every row of the task (its sources, schedule rows, rules, then
// the task) in one transaction. Raises StoreError, leaving every row as it
// was.
void deleteTask(TaskDatabase& db, const QString& taskId);

// The group commands. The identifier is trimmed, the name stored as given.
// Each raises StoreError with the store's text and changes nothing on
// failure. Deleting a group leaves its tasks where they are: they are then
// shown only under the root.
void addTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name);
void renameTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name);
void deleteTaskGroup(TaskDatabase& db, const QString& groupId);

} // namespace tarnwick
