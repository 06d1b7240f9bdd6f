// SPDX-License-Identifier: GPL-3.0-or-later
// Options of a task beyond the task's own columns, one text per task and
// name, in the TaskOption table: what a run keeps about its target between
// runs, and the task settings added after the first five tables. A
// database without the table (read-only, made by an older build) reads as
// having none and takes no writes.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace tarnwick {

class TaskDatabase;

// The names, as stored.
inline constexpr char kOptionTargetIsMountPoint[] = "TargetIsMountPoint"; // "1" or "0"
// The file system the target lay on at the last run that found it: its mount
// point, type and source, a line each.
inline constexpr char kOptionTargetFileSystem[] = "TargetFileSystem";
// What a run learnt of that file system (its time step, whether it tells
// names apart by case...), after those three lines a fourth: the next run
// on the same file system need not learn it again by writing to it.
inline constexpr char kOptionTargetTraits[] = "TargetTraits";
inline constexpr char kOptionKeepVersions[] = "KeepVersions";     // 0..99, 0 = off
inline constexpr char kOptionVersionsFolder[] = "VersionsFolder"; // absolute, or inside the target
inline constexpr char kOptionWhenTargetAppears[] = "WhenTargetAppears"; // "1" or "0"
inline constexpr char kOptionParallel[] = "Parallel"; // 1..64; none: chosen by the target
// "1": a run started by a change walks every folder, not the changed ones.
inline constexpr char kOptionFullWalkAlways[] = "FullWalkAlways";

// The versions folder a task gets unless it names one.
inline constexpr char kDefaultVersionsFolder[] = ".tarnwick-versions";
inline constexpr int kMaxKeepVersions = 99;
inline constexpr int kDefaultKeepVersions = 5;
// Target operations one run may have under way at once, when set by hand.
inline constexpr int kMaxParallel = 64;

// The versions folder as a path: a relative folder lies inside the target.
QString VersionsFolderPath(const QString& targetDir, const QString& folder);

// Every option of the task, by name.
QHash<QString, QString> ReadTaskOptions(TaskDatabase& db, const QString& taskId);

// The tasks that also run when their target appears: identifier and
// target folder, in stored order.
struct TaskTarget
{
    QString taskId;
    QString targetDir;
};
QList<TaskTarget> TasksRunWhenTargetAppears(TaskDatabase& db);

// Sets one option, replacing its value.
void WriteTaskOption(TaskDatabase& db, const QString& taskId, const char* name,
                     const QString& value);

} // namespace tarnwick
