// SPDX-License-Identifier: GPL-3.0-or-later
// The data of one mirror run: the job loaded from the task store, its
// counters, the decision for one file, and the kinds of the lines it emits.
#pragma once

#include "store/RunJob.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <functional>
#include <memory>
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
    quint64 excludedFiles = 0;    // files the task's rules left out

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

// What a run started by a change to its sources may look at: the folders
// the change monitor saw change since the task's last complete run, and
// what that run found, to tell whether the record still holds.
struct ChangeScope
{
    // Paths below a source folder, as FolderChanges gives them.
    struct Source
    {
        QSet<QByteArray> folders;  // their files are looked at
        QSet<QByteArray> subtrees; // everything below them is looked at
    };
    // By source folder as the task stores it; a source without an entry
    // had no change.
    QHash<QString, Source> sources;
    // Folders the monitor watches for the task, for the summary.
    quint64 watchedFolders = 0;
    // Set: the record cannot be trusted and the run walks everything; this
    // says why.
    QString fullReason;
    // A run by hand or by schedule: it walks everything as ever, says
    // nothing of it, and only learns the task and target for later runs.
    bool walkAll = false;
    // Of the task's last complete run (empty: none): the task's settings
    // and rules, and the target folder it mirrored to.
    QByteArray lastFingerprint;
    QString lastTarget;
    // The task's exclude rules as the run reads them (RunTask fills it).
    QByteArray rulesFingerprint;

    // Folders and subtrees marked, over every source.
    quint64 changedFolders() const;
};

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
    // Set for a run started by a change to its sources: it looks at the
    // changed folders alone, unless the scope or the task says to walk
    // everything (and one line says why).
    std::shared_ptr<const ChangeScope> scope;
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
    // Of a run given a scope: whether it looked at the changed folders
    // alone, and the task and target as it found them (ChangeScope's last*).
    bool changedOnly = false;
    QByteArray taskFingerprint;
    QString targetIdentity;
    // The walk went into a folder through a symbolic link: the change
    // monitor does not follow links, so changes there are never seen.
    bool linkedFolders = false;
};

} // namespace tarnwick
