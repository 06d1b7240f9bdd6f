// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunEnding.h"

#include "store/DateTexts.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"

namespace tarnwick {

RunRecord RunRecordOf(const QString& taskId, const MirrorResult& result, bool stopped,
                      const QDateTime& end)
{
    RunRecord run;
    run.taskId = taskId;
    run.start = DateTimeFromText(result.startTimeText);
    run.end = end;
    run.copiedFiles = result.counters.mirroredFiles;
    run.copiedBytes = result.counters.mirroredBytes;
    run.skippedFiles = result.counters.skippedNewer + result.counters.skippedUnchanged;
    run.errors = result.counters.errors;
    run.firstError = result.firstError;
    if (stopped)
        run.outcome = RunEnding::Stopped;
    else if (result.notStarted)
        run.outcome = RunEnding::NotStarted;
    else if (run.errors > 0)
        run.outcome = RunEnding::WithErrors;
    else
        run.outcome = RunEnding::Succeeded;
    run.seen = !run.failed();
    return run;
}

void KeepRunEnding(TaskDatabase& db, const RunRecord& run, const MirrorResult& result)
{
    if (!db.hasAddedTables() || db.isReadOnly())
        return;
    StoreTransaction transaction(db);
    RecordRun(db, run);
    // Only a good run tells what the target is meant to be: a run that
    // failed may have met the drive half gone.
    if (run.outcome == RunEnding::Succeeded && result.targetIsMountPoint)
        WriteTaskOption(db, run.taskId, kOptionTargetIsMountPoint,
                        *result.targetIsMountPoint ? QStringLiteral("1") : QStringLiteral("0"));
    // Every run that found the target tells which file system it was, and
    // with that which drive; written only when it changed.
    if (result.targetFileSystem && *result.targetFileSystem != result.job.targetFileSystem)
        WriteTaskOption(db, run.taskId, kOptionTargetFileSystem, *result.targetFileSystem);
    if (result.targetTraits && *result.targetTraits != result.job.targetTraits)
        WriteTaskOption(db, run.taskId, kOptionTargetTraits, *result.targetTraits);
    transaction.commit();
}

} // namespace tarnwick
