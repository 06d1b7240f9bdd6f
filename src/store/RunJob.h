// SPDX-License-Identifier: GPL-3.0-or-later
// The job a run of a task needs, read from the task database in one place:
// its name, sources and target, and its settings beyond those (versions,
// operations at once) through the store's one reader of them, with what
// earlier runs learnt of the target. The mirror engine gets it through a
// loader and never reads the database itself.
#pragma once

#include "store/ExcludeRule.h"

#include <QList>
#include <QString>

namespace tarnwick {

class RunControl;
class TaskDatabase;

struct SourceEntry
{
    QString sourceDir;
    bool includeSubDir = false; // walk subfolders too, to any depth
};

struct RunJob
{
    QString taskId;
    QString taskName;
    QString targetDir;
    QList<SourceEntry> sources; // in the order the store returns them
    // The target folder had a file system of its own (a mounted drive) at
    // the task's last good run; unknown counts as not.
    bool targetWasMountPoint = false;
    // The file system the target lay on at the last run that found it
    // (mount point, type and source, a line each), or empty.
    QString targetFileSystem;
    // That file system and what was learnt of it, or empty.
    QString targetTraits;
    // Replaced target files are first moved into the versions folder, the
    // newest `keepVersions` of each file kept there; 0 keeps none.
    int keepVersions = 0;
    QString versionsDir; // absolute; empty when keepVersions is 0
    // Target operations under way at once, set on the task; 0 lets the
    // target's file system decide.
    int parallel = 0;
    // A run started by a change walks every folder all the same.
    bool fullWalkAlways = false;
};

// Reads the task's source rows (all of them, stopping early when a stop is
// requested), then its name, target and settings. A task without a row has
// an empty name and target. It never waits at the pause gate: it runs on
// the thread that owns the database, which a suspended run must not hold.
RunJob LoadRunJob(TaskDatabase& db, const QString& taskId, const RunControl& control);

// Every rule of `taskId`, in the order the store returns them. Reading stops
// early, leaving the rules read so far, once `control` (may be null) has a
// stop request. A row whose type, stype or sstype is not a number is kept
// with type -1, so it matches nothing. Store failures raise StoreError.
QList<ExcludeRule> LoadExcludeRules(TaskDatabase& db, const QString& taskId,
                                    const RunControl* control);


} // namespace tarnwick
