// SPDX-License-Identifier: GPL-3.0-or-later
// What a finished run leaves behind beyond its log: its row in the run
// history, and after a good run, whether its target folder was a drive of
// its own (the next run's guard against an unplugged drive). The window's
// runs, the daemon's and `tarnwick-cli run` keep it the same way.
#pragma once

#include "engine/MirrorTypes.h"
#include "store/RunHistory.h"

#include <QDateTime>

namespace tarnwick {

class TaskDatabase;

// The history row of the run that gave `result`: stopped when a stop was
// requested, else could not start, with errors or succeeded.
RunRecord RunRecordOf(const QString& taskId, const MirrorResult& result, bool stopped,
                      const QDateTime& end);

// Stores the row and, after a good run, the target's kind, in one
// transaction. Nothing on a database without the added tables.
void KeepRunEnding(TaskDatabase& db, const RunRecord& run, const MirrorResult& result);

} // namespace tarnwick
