// SPDX-License-Identifier: GPL-3.0-or-later
// The options that describe a task on the command line (sources, target,
// group, start mode and schedule entries, exclude rules), read into the
// same editor record the window's task editor fills. Each value is checked
// as the editor's dialogs check it, with their messages; what the record as
// a whole needs is left to ValidateTask, as in the editor.
#pragma once

#include "store/TaskWriter.h"

#include <QString>

#include <optional>

namespace tarnwick {
class Clock;
} // namespace tarnwick

namespace tarnwick::cli {

class ArgumentReader;

// What the options change. Parts not given stay unset, so `task edit`
// replaces only what is given.
struct TaskChanges
{
    std::optional<QString> name;
    std::optional<QString> target;
    std::optional<QString> group; // an ID or a name, resolved by the command
    std::optional<QList<TaskSource>> sources;
    std::optional<TaskRunMode> runMode;
    QList<TaskScheduleItem> schedules;           // with runMode Scheduled
    std::optional<QList<ExcludeRule>> rules; // empty: include all files
    std::optional<int> keepVersions;
    std::optional<QString> versionsFolder;
    std::optional<bool> whenTargetAppears;
    std::optional<bool> fullWalkAlways;
    std::optional<int> parallel;

    // Writes the given parts into `task` (the group as given).
    void applyTo(TaskRecord& task) const;
};

// Reads every remaining argument of `reader`. Plain words go to `words` in
// order. `--name` is taken only when `allowName`. Raises UsageError with the
// editor's message for a value the editor refuses, or for an unknown option.
TaskChanges ReadTaskOptions(ArgumentReader& reader, bool allowName, const Clock& clock,
                            QStringList& words);

// The help text of the options, for the commands that take them.
QString TaskOptionsHelp();

} // namespace tarnwick::cli
