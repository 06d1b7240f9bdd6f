// SPDX-License-Identifier: GPL-3.0-or-later
// One run of a task as every front end makes it: the window and the daemon
// on a run's own thread, reaching the task database through hand-overs to
// the thread that owns it, and tarnwick-cli on its only thread, reaching it
// at once. What differs is only how the database is reached and where the
// lines go; the recipe (rules and job read, the walk, the schedule moved on,
// lost log lines counted, the run's row kept in its history) is this one.
#pragma once

#include "engine/MirrorTypes.h"
#include "engine/RunEnding.h"

#include <QString>

#include <functional>
#include <optional>

namespace tarnwick {

class Clock;
class RunControl;
class TaskDatabase;

struct TaskRunHooks
{
    // Runs `step` with the task database and returns when it has run: at
    // once, or handed over to the thread that owns the database. A step
    // that meets a database another program holds raises the store's busy
    // error; the run then waits on its own thread and tries again.
    std::function<void(const std::function<void(TaskDatabase&)>& step)> withStore;
    LogSink sink;
    // After the walk, before the schedule moves on; may be empty.
    std::function<void()> walkEnded;
    // The schedule moved on: the run's start and the next run's text; may
    // be empty.
    std::function<void(const QString& startText, const QString& nextText)> timesChanged;
    // Whether the log lost lines of this run, asked once the run is over;
    // may be empty.
    std::function<bool()> logLost;
};

struct TaskRunOutcome
{
    MirrorResult result;
    RunRecord record;
    // Why the run's row could not be kept in its history, if it could not.
    std::optional<QString> notKept;
};

// Runs the task. A dry run (options.mode) reads the task, walks and decides
// as a real run does, and changes nothing: no schedule row, no history.
TaskRunOutcome RunTask(const QString& taskId, const TaskRunHooks& hooks, RunControl& control,
                       const Clock& clock, const MirrorOptions& options);

} // namespace tarnwick
