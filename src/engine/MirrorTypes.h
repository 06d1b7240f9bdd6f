// SPDX-License-Identifier: GPL-3.0-or-later
// The data of one mirror run: the job loaded from the task store, its
// counters, the decision for one file, and the kinds of the lines it emits.
#pragma once

#include "store/RunJob.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace tarnwick {

// The job of a run, as the store reads it.
using MirrorJob = RunJob;

// 64-bit throughout: a byte total never wraps or prints negative.
struct MirrorCounters
{
    quint64 totalFolders = 0;     // subfolders entered in the sources
    quint64 totalFiles = 0;       // files met, excluded ones included
    quint64 totalBytes = 0;       // their sizes
    quint64 mirroredFolders = 0;  // target folders created
    quint64 mirroredFiles = 0;    // files copied
    quint64 mirroredBytes = 0;    // their sizes
    quint64 skippedNewer = 0;     // target newer, unreadable or its time unreadable
    quint64 skippedUnchanged = 0; // equal last-write times
    quint64 errors = 0;           // failed copies and failed folder creations
    quint64 keptVersions = 0;     // replaced files moved into the versions folder

    bool operator==(const MirrorCounters&) const = default;
};

enum class CopyDecision
{
    Missing,
    Older,
    Unchanged,
    Newer
};

enum class LogKind
{
    StartFinish,
    Copy,
    Skip,
    Error,
    ErrorStatus
};

// Receives each line, complete, in emission order.
using LogSink = std::function<void(LogKind kind, const QString& line)>;

class RunControl;

// Runs between the walk and the summary, with the job and the start time text.
using AfterWalkStep = std::function<void(const MirrorJob& job, const QString& startTimeText)>;

// Loads the job of a task; may carry the loading onto another thread.
using MirrorJobLoader = std::function<MirrorJob(const QString& taskId, RunControl& control)>;

// A real run copies; a dry run walks, decides and reports the same lines
// and counts, and writes nothing into the target.
enum class MirrorMode
{
    Copy,
    DryRun
};

// Told on the walk's thread when the copy of a file starts (`done` false)
// and when it has ended (`done` true, `copied` whether it succeeded), with
// the file's path as shown and its size.
using CopyProgress =
    std::function<void(const QString& path, quint64 size, bool done, bool copied)>;

// Told on the walk's thread for every file the walk meets, excluded ones
// too, with the number met so far: a run that copies nothing still shows
// that it moves on.
using FilesLooked = std::function<void(quint64 filesLooked)>;

// Told on the walk's thread while a big file is copied (as large as
// FileCopier::kAdvanceStep or larger): how many bytes into it the copy has
// come, about every kAdvanceStep.
using CopyAdvance = std::function<void(quint64 bytesDone)>;

struct MirrorOptions
{
    MirrorMode mode = MirrorMode::Copy;
    // Each may be empty.
    CopyProgress progress;
    FilesLooked looked;
    CopyAdvance advance;
    // The data folder whose run locks keep a task to one run at a time
    // across processes; empty: no lock (a dry run takes none either).
    QString runLockFolder;
    // When another process runs the task: wait for its end, saying so in a
    // line, or start nothing and say why (an error of the run).
    bool waitForOtherRun = true;
    // Set for a run started because a drive was mounted at this path: when
    // the walk begins the target must still lie on the file system mounted
    // there (a drive that came and went at once leaves a bare folder).
    QString expectedTargetMount;
};

struct MirrorResult
{
    MirrorJob job;
    MirrorCounters counters;
    QString startTimeText;
    // The first error of the run, "<path>: <reason>" (or why it did not
    // start); empty without errors.
    QString firstError;
    // The walk did not begin: the target drive is not there.
    bool notStarted = false;
    // Whether the target folder was a mount point of its own when the run
    // began; unset when it could not be looked at.
    std::optional<bool> targetIsMountPoint;
    // The file system the target lay on when the run began, when the run
    // found it there (TargetFileSystemText).
    std::optional<QString> targetFileSystem;
    // What the run knew of the target's file system, learnt or remembered.
    std::optional<QString> targetTraits;
};

} // namespace tarnwick
