// SPDX-License-Identifier: GPL-3.0-or-later
// What a run needs from the user-interface side that started it: the task
// database of that thread, the running-task list, and the places its lines
// and times are shown. The window implements it with its controls; the
// daemon with the terminal and the log file. Every call arrives on the
// user-interface thread.
#pragma once

#include "engine/MirrorTypes.h"
#include "engine/RunProgress.h"

#include <QList>
#include <QString>

namespace tarnwick {

class LogFile;
class RunningTaskList;
class TaskDatabase;
class TMyThread;

// A line whose kind is switched on, with the colour of its kind (0x00BBGGRR).
struct ShownLine
{
    LogKind kind;
    QString text;
    quint32 colour;
};

class RunHost
{
public:
    virtual ~RunHost() = default;

    virtual TaskDatabase& runDatabase() = 0;
    virtual RunningTaskList& runningTasks() = 0;

    // Run controls to their running state (a run has been created).
    virtual void runCreated(TMyThread* run) = 0;
    // Lines to show and append to the run's log file, in emission order.
    // When the file has lost lines, the host tells the user once per run
    // (the file's takeProblem()).
    virtual void appendLogLines(LogFile& logFile, const QList<ShownLine>& lines) = 0;
    // The task's row gets its new last and next run texts.
    virtual void taskTimesChanged(const QString& taskId, const QString& lastRunText,
                                  const QString& nextRunText) = 0;
    // The finish box ("\nSynchronize finished ") of the task's run. The host
    // shows it without waiting for it to be closed: the run goes on to its
    // end and leaves the running-task list at once.
    virtual void showFinishedMessage(const QString& taskId) = 0;
    // How far the run has come, at most ten times a second while it
    // changes; none after runEnded. A host that shows no progress leaves
    // it.
    virtual void runProgress(TMyThread* run, const RunProgress& progress)
    {
        Q_UNUSED(run);
        Q_UNUSED(progress);
    }
    // The run has left the running-task list; run controls to idle. `failure`
    // is the error that cut the run short, empty when it ran to its end.
    virtual void runEnded(TMyThread* run, const QString& failure) = 0;
};

} // namespace tarnwick
