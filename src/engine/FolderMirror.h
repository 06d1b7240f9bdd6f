// SPDX-License-Identifier: GPL-3.0-or-later
// One run of a mirror task: load the job, walk every source onto the target
// root, decide and copy file by file, and report each decision and a summary
// as lines. Mirroring only adds and overwrites; nothing is ever deleted but
// the oldest versions of replaced files beyond the count a task keeps.
#pragma once

#include "engine/CopyPool.h"
#include "engine/ExcludeTest.h"
#include "engine/MirrorTypes.h"
#include "engine/OrderedCopies.h"
#include "engine/RunLines.h"
#include "engine/TargetFolders.h"
#include "engine/VersionsFolder.h"
#include "platform/Clock.h"
#include "platform/FileCopier.h"
#include "platform/FileStatus.h"
#include "platform/KeptVersions.h"
#include "platform/PseudoFileSystems.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace tarnwick {

class FolderReader;
class RunControl;

// The decision for a source file whose last-write time is `sourceLastWrite`
// against what a look at its target path found. Times are compared at the
// target file system's `precision` (100-ns units).
CopyDecision CompareWithTarget(qint64 sourceLastWrite, const TargetState& target,
                               qint64 precision = 1);
// The same knowing the source's size: times equal only at a coarser
// `precision` than the times themselves, with sizes that differ, are a
// change within the file system's time step, and the target is older.
CopyDecision CompareWithTarget(qint64 sourceLastWrite, quint64 sourceSize,
                               const TargetState& target, qint64 precision);
// The same for a target given by its path.
CopyDecision CompareWithTarget(qint64 sourceLastWrite, const QByteArray& targetPath,
                               const Credentials& credentials = Credentials::ofProcess());

// The look at a file's target path and the decision, as the walk and the
// copiers make it alike. `lookError` set: whether a copy is there is
// unknown, and the file is neither copied nor kept.
struct FileDecision
{
    TargetState target;
    CopyDecision decision = CopyDecision::Missing;
    bool copy() const
    {
        return target.lookError == 0 &&
               (decision == CopyDecision::Missing || decision == CopyDecision::Older);
    }
};

FileDecision DecideFile(const EntryRecord& source, int targetDirFd, const char* name,
                        qint64 precision, const Credentials& credentials);

// The walk of one run: counters and lines accumulate over every call of
// mirrorFolder.
class FolderMirror
{
public:
    ~FolderMirror();
    FolderMirror(QString taskName, ExcludeTest exclude, RunControl& control, LogSink sink,
                 Credentials credentials = Credentials::ofProcess(),
                 const Clock& clock = Clock::system());

    // Walks `sourceDir` (and its subfolders when `includeSubDir`) onto
    // `targetDir`. A source or source subfolder that cannot be read is an
    // error line, as is a target file that cannot be looked at; a missing
    // target root is not created. The target root may be a symbolic link;
    // below it none is followed to a folder, so nothing is written outside.
    // A target folder the walk makes has its source folder's permission
    // bits; one that is there already is left as it is.
    void mirrorFolder(const QString& sourceDir, bool includeSubDir, const QString& targetDir);
    // The same looking only at what `scope` marks below `sourceDir`: the
    // files of its folders, everything below its subtrees, and the folders
    // on the way down to them. What it looks at it decides and copies as
    // the whole walk would.
    void mirrorFolder(const QString& sourceDir, bool includeSubDir, const QString& targetDir,
                      const ChangeScope::Source& scope);

    // After the last mirrorFolder, where the run wrote anything into the
    // target: makes the target's file system write out what it holds, and
    // counts a failure there as an error. A drive the run says it mirrored
    // to can then be pulled.
    void flushTarget(const QString& targetDir);

    // What an earlier run learnt of the file system of `device`: not learnt
    // again, which on a drive or a share saves writing to it. Set before the
    // first mirrorFolder.
    void rememberFileSystem(quint64 device, const TargetFileSystem& fs);
    // What the run knows of the file system of `device`, learnt by a real
    // run or remembered.
    std::optional<TargetFileSystem> knownFileSystem(quint64 device) const;

    const MirrorCounters& counters() const { return m_counters; }
    // Whether the walk entered a folder through a symbolic link.
    bool metLinkedFolder() const { return m_metLinkedFolder; }
    // "<path>: <reason>" of the first error, or empty.
    const QString& firstError() const { return m_firstError; }

    // Set before the first mirrorFolder.
    void setOptions(MirrorOptions options)
    {
        m_options = std::move(options);
        m_copier.setAdvance(m_options.advance);
    }
    // The run's sources, all of them, set before the first mirrorFolder: a
    // clean-up of temporary files left in the target by a killed run never
    // removes a file that one of them holds at that place.
    void setSources(const QList<SourceEntry>& sources);
    // Set before the first mirrorFolder: an older target file is moved into
    // `versionsDir` before its replacement takes its place, and the newest
    // `keep` of each file are kept there; `keep` 0 keeps none.
    void setVersions(int keep, const QString& versionsDir);
    // Set before the first mirrorFolder: how many copies the run keeps under
    // way at once; 0 lets the target's file system decide.
    void setParallel(int copies) { m_parallel = copies; }
    // How the pool's copies are made, for tests that make them end out of
    // order; set before the first mirrorFolder.
    void setPoolCopy(CopyPool::Copy copy) { m_poolCopy = std::move(copy); }

private:
    // The target folder of the source folder being walked.
    struct TargetFolder
    {
        int fd = -1;          // below 0: it could not be opened
        int error = 0;        // why not
        // The file system it lies on; learnt when first needed.
        const TargetFileSystem* fs = nullptr;
        TargetFileSystem guessed{}; // where nothing could be learnt
        // Names given in it so far, by their case-folded form, on a file
        // system that does not tell names apart by case.
        QHash<QByteArray, QByteArray> names{};
        bool swept = false;   // its stale temporary files removed
        int creationMask = -1; // FileCopier::creationMask, asked with the sweep

        // Its counterpart in the versions folder.
        VersionsFolder::Place versions{};
        // This folder and its source folder, shared with the copies under
        // way into it; made at the first.
        std::shared_ptr<CopyPool::Folders> shared{};
    };

    void walk(FolderReader& source, TargetFolder& target, bool includeSubDir);
    // Whether the subfolder `name` of the folder being walked is looked at.
    bool scopeEnters(const char* name, std::size_t length) const;
    // Sets what is looked at in the folder at m_path, just entered.
    void scopeFolder();
    // `viaLink`: the listing did not say the entry is a folder itself.
    void enterFolder(FolderReader& parent, const char* name, std::size_t length,
                     const FileIdentity& identity, TargetFolder& parentTarget, bool includeSubDir,
                     bool viaLink);
    void mirrorFile(int sourceFd, const char* name, TargetFolder& target, bool otherDevice);
    // Says so for a kept version at m_versionPath, and counts it.
    void reportKeptVersion();
    bool dryRun() const { return m_options.mode == MirrorMode::DryRun; }
    void emitError(const QString& reason);
    // Every line goes out here: at once while no copy is under way, else
    // after the lines of the copies before it, so the log keeps the walk's
    // order whichever copy ends first. `error` is the first-error text of
    // an error line, counted when the line goes out.
    void emitLine(LogKind kind, const QString& line, const QString& error = QString());
    void sendLine(LogKind kind, const QString& line, const QString& error);
    // Hands the copy of the file at m_path to the pool, with its decision
    // line, which goes out in its turn (or never, for a copy a stop cancels).
    // Without `existing`, the pool looks at the target and decides too.
    // With `lookAtSource`, the pool reads the file's record as well.
    void queueCopy(int sourceFd, const char* name, TargetFolder& target,
                   const TargetState* existing, LogKind kind, const QString& decisionLine,
                   bool lookAtSource = false);
    // Ends the copies under way in the walk's order, as OrderedCopies
    // says; a stop or a target gone cancels those not begun.
    using Settle = OrderedCopies::Settle;
    void settleCopies(Settle how);
    // Tells and counts a copy that has ended.
    void copyEnded(const OrderedCopies::Pending& copy);
    // Whether the copiers take a copy of `size` bytes into `target`,
    // rather than the walk making it here: the one answer for the walk,
    // the file and the decision.
    bool copiersTake(const TargetFolder& target, quint64 size) const;
    // Makes the copy of the file at m_path on the walk's own thread.
    void copyHere(int sourceFd, const char* name, TargetFolder& target,
                  const TargetState& existing, bool keep);
    // The error of a source folder whose place in the target holds a
    // symbolic link (at m_targetPath).
    void reportTargetLink();
    // What the file system holding the target folder does.
    const TargetFileSystem& fileSystemOf(TargetFolder& target);
    // How a copy is made into the target folder.
    CopyPlace placeOf(TargetFolder& target);
    // On a file system that does not tell names apart by case, the name
    // given before in the target folder that `name` would land on, when it
    // differs from `name`; else empty, and `name` is taken.
    QByteArray caseClash(TargetFolder& target, const char* name, std::size_t length);
    // Whether the target root the run opened has gone (a drive pulled, a
    // share dropped): its path now leads elsewhere or nowhere. Said once.
    bool targetGone();
    bool onWalkPath(const FileIdentity& identity) const;
    // Whether `name` is held in the source folder `sourceFd` or at the same
    // place in another source: a file the run would copy into the target
    // folder at m_targetPath.
    bool sourceWouldCopy(int sourceFd, const char* name) const;
    // The same for the target folder at `relative` below the target root.
    bool sourceWouldCopyAt(const QByteArray& relative, int sourceFd, const char* name) const;
    // Looks at the target, decides and copies the file at m_path here.
    void decideHere(int sourceFd, const char* name, TargetFolder& target);
    // The same on a copier's thread for a queued job: touches nothing of
    // the walk's.
    bool decideInPool(CopyPool::Job& job);
    // True when `fd` (at m_path) lies on a kernel file system; reports it,
    // once per path and run.
    bool leadsIntoKernel(int fd);

    QString m_taskName;
    ExcludeTest m_exclude;
    RunControl& m_control;
    LogSink m_sink;
    Credentials m_credentials;
    const Clock& m_clock;
    FileCopier m_copier;
    MirrorCounters m_counters;
    QString m_firstError;
    MirrorOptions m_options;

    QByteArray m_path;                    // the source path being looked at
    QByteArray m_targetPath;              // the target folder of the folder being walked
    qsizetype m_targetRootLength = 0;     // of its target root part
    QString m_line;                       // the decision line being built
    EntryRecord m_entry;                  // the entry being looked at
    std::vector<FileIdentity> m_walkPath; // folders from the source root down
    // The scope of the source being walked (null: all of it), the folders
    // on the way to what it marks, and what the folder being walked shows.
    const ChangeScope::Source* m_scope = nullptr;
    QSet<QByteArray> m_scopeAncestors;
    qsizetype m_sourceRootLength = 0;
    bool m_scopeAll = true;   // everything below the folder
    bool m_scopeFiles = true; // its files
    bool m_metLinkedFolder = false;
    // The run's source paths, and whether their subfolders are walked.
    std::vector<std::pair<QByteArray, bool>> m_sources;
    PseudoFileSystems m_pseudo;
    TargetFileSystems m_fileSystems;
    // Names given per target folder (path below the root) when several
    // sources fill one target, on a file system blind to case.
    QHash<QByteArray, QHash<QByteArray, QByteArray>> m_namesByFolder;
    QByteArray m_targetRootPath;
    bool m_targetGone = false;
    bool m_targetGoneTold = false;
    QSet<QByteArray> m_kernelPathsReported;
    FileIdentity m_targetRoot;
    bool m_haveTargetRoot = false;

    // Versions of replaced files.
    VersionsFolder m_versions;
    QByteArray m_versionPath; // the last version kept

    int m_parallel = 0;
    CopyPool::Copy m_poolCopy;
    std::unique_ptr<CopyPool> m_pool;
    OrderedCopies m_copies;
    // Folders held open for copies, so their number stays bounded.
    std::vector<std::weak_ptr<CopyPool::Folders>> m_openFolders;
};

} // namespace tarnwick
