// Options of a task beyond the task's own columns, one text per task and
// name, in the TaskOption table: what a run keeps about its target between
// runs, and the task settings added after the first five tables. A
// database without the table (read-only, made by an older build) reads as
// having none and takes no writes.
#pragma once

#include <QHash>
#include <QString>

namespace tarnwick {

class TaskDatabase;

// The names, as stored.
inline constexpr char kOptionTargetIsMountPoint[] = "TargetIsMountPoint"; // "1" or "0"

// Every option of the task, by name.
QHash<QString, QString> ReadTaskOptions(TaskDatabase& db, const QString& taskId);

// Sets one option, replacing its value.
void WriteTaskOption(TaskDatabase& db, const QString& taskId, const char* name,
                     const QString& value);

} // namespace tarnwick
