// SPDX-License-Identifier: GPL-3.0-or-later
// What each run of a task ended with, kept beside the tasks: the window's
// Last Result column and tray badge, `tarnwick-cli history` and `list`
// read it; the window, the daemon and `tarnwick-cli run` write it alike
// when a run ends. Only the newest runs of each task are kept.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace tarnwick {

class TaskDatabase;

// How a run ended. The numbers are stored.
enum class RunEnding
{
    Succeeded = 0,
    WithErrors = 1,
    Stopped = 2,
    NotStarted = 3, // the run could not begin its walk
};

struct RunRecord
{
    qint64 id = 0; // given by the store
    QString taskId;
    QDateTime start;
    QDateTime end;
    quint64 copiedFiles = 0;
    quint64 copiedBytes = 0;
    quint64 skippedFiles = 0;
    quint64 errors = 0;
    RunEnding outcome = RunEnding::Succeeded;
    QString firstError; // the first error line's reason, or why it did not start
    // Whether the user has looked at the task since this run; only a failed
    // run waits to be seen.
    bool seen = true;

    bool failed() const
    {
        return outcome == RunEnding::WithErrors || outcome == RunEnding::NotStarted;
    }
};

// Runs kept per task; an older one goes when a newer one is added.
inline constexpr int kRunsKeptPerTask = 100;

// Adds `run` as its task's newest and removes what is beyond the kept
// count, in one transaction. A failed run is stored as not yet seen.
// Nothing happens on a database without the added tables (read-only).
void RecordRun(TaskDatabase& db, const RunRecord& run);

// The kept runs of a task, newest first; none without the added tables.
QList<RunRecord> TaskHistory(TaskDatabase& db, const QString& taskId);

// The newest run of every task that has one, by task ID.
QHash<QString, RunRecord> LastRuns(TaskDatabase& db);

// The user has looked at the task: its failed runs no longer wait to be
// seen.
void MarkRunsSeen(TaskDatabase& db, const QString& taskId);

// The short result shown beside a task: "OK", "1 error", "4 errors",
// "Stopped", "Could not start".
QString ResultText(const RunRecord& run);

// The outcome's name in scripts' output: "succeeded", "with errors",
// "stopped", "could not start".
QString EndingName(RunEnding outcome);

} // namespace tarnwick
