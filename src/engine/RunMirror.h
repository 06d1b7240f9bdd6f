// SPDX-License-Identifier: GPL-3.0-or-later
// The frame of one run of a task: load its job, take its run lock, make
// sure its target drive is the one it was, walk every source onto the
// target, flush what was written, move the schedule on and write the
// summary. The walk itself is FolderMirror's; the texts are RunLines'.
#pragma once

#include "engine/ExcludeTest.h"
#include "engine/MirrorTypes.h"
#include "platform/Clock.h"

#include <functional>

namespace tarnwick {

class RunControl;

// Runs `step`, a write to the task database. Another program writing to
// the database (a long import) may hold it for minutes: while it does, the
// step is tried again every second, `waiting` (may be empty) is called
// once, and a stop request ends the wait with the store's error. Any other
// failure is raised at once.
void RetryWhileStoreBusy(const std::function<void()>& step, RunControl& control,
                         const std::function<void()>& waiting);

// The whole run: start line, every source in list order, the after-walk
// step, the summary and the finished line. A stopped run still reports.
// A dry run (options.mode) copies nothing and makes no folder; pass no
// after-walk step for it, so that no schedule row changes either.
MirrorResult RunMirror(const QString& taskId, const MirrorJobLoader& loader,
                       const ExcludeTest& exclude, RunControl& control, const LogSink& sink,
                       const AfterWalkStep& afterWalk, const Clock& clock = Clock::system(),
                       const MirrorOptions& options = {});

} // namespace tarnwick
