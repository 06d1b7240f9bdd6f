// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunMirror.h"

#include "engine/FolderMirror.h"
#include "engine/RunLines.h"
#include "platform/DisplayPath.h"
#include "platform/FileStatus.h"
#include "platform/MountTable.h"
#include "platform/RunControl.h"
#include "platform/TargetPlace.h"
#include "platform/TaskRunLock.h"
#include "platform/UniqueFd.h"
#include "store/DateTexts.h"
#include "store/StoreError.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace tarnwick {

namespace {

// A run waiting for a locked task database, or for another process's run
// of its task, tries again every second.
constexpr int kRetrySlices = 10;
constexpr int kRetrySliceMs = 100;

using ScopedFd = UniqueFd;


// The file system holding the folder at `path` (links followed), as a run
// remembers it: its mount point, its type and its source, a line each.
std::optional<QString> TargetFileSystemNow(const QByteArray& path)
{
    char* real = ::realpath(path.constData(), nullptr);
    if (!real)
        return std::nullopt;
    const QString folder = QFile::decodeName(real);
    std::free(real);
    const std::optional<MountedFileSystem> holder =
        FileSystemHolding(ReadMountedFileSystems(), folder);
    if (!holder)
        return std::nullopt;
    return holder->path + u'\n' + holder->type + u'\n' + holder->source;
}

// The device of the folder at `path` (links followed).
std::optional<quint64> DeviceOf(const QByteArray& path)
{
    ScopedFd folder(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    FileIdentity identity;
    if (folder.get() < 0 || !IdentityOf(folder.get(), identity))
        return std::nullopt;
    return identity.device;
}

// Whether anything is mounted where the remembered file system was.
bool MountedAt(const QString& remembered)
{
    const QString mountPoint = remembered.section(u'\n', 0, 0);
    const QList<MountedFileSystem> table = ReadMountedFileSystems();
    return std::any_of(table.cbegin(), table.cend(),
                       [&](const MountedFileSystem& fs) { return fs.path == mountPoint; });
}

// The task's settings that decide what a run copies where, with its rules:
// a change to any of them may change what a run copies where no file did.
QByteArray TaskFingerprint(const MirrorJob& job, const QByteArray& rules)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&hash](const QString& text) {
        hash.addData(text.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    };
    for (const SourceEntry& source : job.sources) {
        add(source.sourceDir);
        add(source.includeSubDir ? QStringLiteral("1") : QStringLiteral("0"));
    }
    add(job.targetDir);
    add(QString::number(job.keepVersions));
    add(job.versionsDir);
    hash.addData(rules);
    return hash.result();
}

// The target folder as a run finds it: which folder it is, and on which
// file system. Empty when it is not there.
QString TargetIdentity(const QByteArray& path, const std::optional<QString>& fileSystem)
{
    // The mount's own number tells a drive mounted anew from the one that
    // was there, whatever its device number and folder.
#ifdef STATX_MNT_ID_UNIQUE
    constexpr unsigned kMountId = STATX_MNT_ID_UNIQUE;
#else
    constexpr unsigned kMountId = STATX_MNT_ID;
#endif
    struct statx st;
    if (::statx(AT_FDCWD, path.constData(), 0, STATX_INO | kMountId, &st) != 0)
        return {};
    const quint64 mount = (st.stx_mask & kMountId) ? st.stx_mnt_id : 0;
    return QStringLiteral("%1:%2:%3:%4\n")
               .arg(st.stx_dev_major)
               .arg(st.stx_dev_minor)
               .arg(st.stx_ino)
               .arg(mount) +
           fileSystem.value_or(QString());
}

// Why a run given `scope` walks every folder, or empty when it may look at
// the changed ones alone.
QString FullWalkReason(const ChangeScope& scope, const MirrorJob& job, const MirrorResult& result)
{
    if (job.fullWalkAlways)
        return QStringLiteral("the task is set to walk every folder on each run");
    if (!scope.fullReason.isEmpty())
        return scope.fullReason;
    if (scope.lastFingerprint != result.taskFingerprint)
        return QStringLiteral("the task was changed since its last complete run");
    if (scope.lastTarget != result.targetIdentity)
        return QStringLiteral("the target folder is not the one of the last complete run");
    return {};
}

// Takes the task's run lock for `result`'s run: at once, after waiting for
// the run of another process (one line says so), or not at all: the run is
// then not started, with an error unless it was stopped while it waited.
void TakeRunLock(TaskRunLock& lock, const MirrorOptions& options, MirrorResult& result,
                 RunControl& control, const LogSink& sink)
{
    const MirrorJob& job = result.job;
    const auto process = [&lock] {
        return lock.holder() > 0 ? QStringLiteral("process %1").arg(lock.holder())
                                 : QStringLiteral("another process");
    };
    const auto notStarted = [&](const QString& why) {
        result.notStarted = true;
        result.counters.errors = 1;
        result.firstError = why;
        sink(LogKind::Error, u'[' + job.taskName + QStringLiteral("] ") + why);
    };
    bool told = false;
    for (;;) {
        switch (lock.tryAcquire(options.runLockFolder, job.taskId)) {
        case TaskRunLock::Outcome::Acquired:
            return;
        case TaskRunLock::Outcome::Failed:
            notStarted(QStringLiteral("Not started: ") + lock.error());
            return;
        case TaskRunLock::Outcome::HeldElsewhere:
            break;
        }
        if (!options.waitForOtherRun) {
            notStarted(QStringLiteral("Not started: the task is running in %1").arg(process()));
            return;
        }
        if (!told) {
            told = true;
            sink(LogKind::StartFinish, WaitingForRunLine(job.taskName, process()));
        }
        for (int slice = 0; slice < kRetrySlices; ++slice) {
            if (control.checkpoint()) {
                result.notStarted = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetrySliceMs));
        }
    }
}

// Moves the task's schedule on after its walk, saying once that it waits
// when another program holds the database.
void MoveScheduleOn(const AfterWalkStep& afterWalk, const MirrorJob& job,
                    const QString& startTimeText, RunControl& control, const LogSink& sink)
{
    RetryWhileStoreBusy([&] { afterWalk(job, startTimeText); }, control, [&] {
        sink(LogKind::StartFinish, WaitingForStoreLine(job.taskName));
    });
}

} // namespace

quint64 ChangeScope::changedFolders() const
{
    quint64 count = 0;
    for (const Source& source : sources) {
        count += static_cast<quint64>(source.folders.size());
        for (const QByteArray& subtree : source.subtrees)
            count += source.folders.contains(subtree) ? 0 : 1;
    }
    return count;
}

void RetryWhileStoreBusy(const std::function<void()>& step, RunControl& control,
                         const std::function<void()>& waiting)
{
    bool told = false;
    for (;;) {
        try {
            step();
            return;
        } catch (const StoreError& e) {
            if (e.kind() != StoreError::Kind::Busy || control.stopRequested())
                throw;
            if (!told && waiting)
                waiting();
            told = true;
        }
        for (int slice = 0; slice < kRetrySlices; ++slice) {
            if (control.checkpoint())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetrySliceMs));
        }
    }
}

MirrorResult RunMirror(const QString& taskId, const MirrorJobLoader& loader,
                       const ExcludeTest& exclude, RunControl& control, const LogSink& sink,
                       const AfterWalkStep& afterWalk, const Clock& clock,
                       const MirrorOptions& options)
{
    MirrorResult result;
    result.startTimeText = DateTimeText(clock.now());
    result.job = loader(taskId, control);
    const MirrorJob& job = result.job;
    sink(LogKind::StartFinish, StartedLine(result.startTimeText, job.taskName));

    TaskRunLock runLock;
    if (!options.runLockFolder.isEmpty() && options.mode == MirrorMode::Copy)
        TakeRunLock(runLock, options, result, control, sink);

    // A backup drive that is not plugged in leaves its empty mount folder
    // on the file system above it; filling that folder would fill the
    // system disk. A target that was a drive of its own at the last good
    // run and is now an empty folder of its parent's file system is left
    // alone, and the run says why. A target that holds files, or that was
    // never seen as a drive, runs as ever.
    //
    // A drive is also known by the file system it was: a target that now
    // lies on another file system than at the last run that found it,
    // while nothing is mounted where that one was, is not there, whatever
    // the folder holds and however the earlier runs ended.
    auto notPresent = [&] {
        result.notStarted = true;
        result.counters.errors = 1;
        result.firstError =
            QStringLiteral("Target drive is not present: ") + DisplayText(job.targetDir);
        sink(LogKind::Error, u'[' + job.taskName + QStringLiteral("] ") + result.firstError);
    };
    QByteArray targetPath;
    if (!result.notStarted && PathBytes(job.targetDir, targetPath) == 0) {
        const TargetPlace place = LookAtTargetPlace(targetPath);
        if (place.present)
            result.targetIsMountPoint = place.ownFileSystem;
        if (place.present && place.empty && !place.ownFileSystem && job.targetWasMountPoint)
            notPresent();
        if (!result.notStarted && !options.expectedTargetMount.isEmpty()) {
            const std::optional<QString> now =
                place.present ? TargetFileSystemNow(targetPath) : std::nullopt;
            if (!now || now->section(u'\n', 0, 0) != options.expectedTargetMount)
                notPresent();
        }
        if (place.present && !result.notStarted) {
            const std::optional<QString> now = TargetFileSystemNow(targetPath);
            if (now && !job.targetFileSystem.isEmpty() && *now != job.targetFileSystem &&
                !MountedAt(job.targetFileSystem))
                notPresent();
            else
                result.targetFileSystem = now;
        } else if (!place.present && !job.targetFileSystem.isEmpty() &&
                   !MountedAt(job.targetFileSystem)) {
            // A folder on the drive is gone with the drive.
            notPresent();
        }
    }

    const ChangeScope* scope = options.scope.get();
    if (scope && !result.notStarted) {
        result.taskFingerprint = TaskFingerprint(job, scope->rulesFingerprint);
        result.targetIdentity = TargetIdentity(targetPath, result.targetFileSystem);
        const QString reason = scope->walkAll ? QString() : FullWalkReason(*scope, job, result);
        result.changedOnly = !scope->walkAll && reason.isEmpty();
        if (!reason.isEmpty())
            sink(LogKind::StartFinish, FullWalkLine(job.taskName, reason));
    }

    if (!result.notStarted) {
        FolderMirror mirror(job.taskName, exclude, control, sink, Credentials::ofProcess(), clock);
        mirror.setOptions(options);
        mirror.setSources(job.sources);
        mirror.setVersions(job.keepVersions, job.versionsDir);
        mirror.setParallel(job.parallel);
        // What an earlier run learnt of the target's file system holds for
        // as long as the target lies on that file system.
        const std::optional<quint64> rootDevice = DeviceOf(targetPath);
        const QString& now = result.targetFileSystem ? *result.targetFileSystem : QString();
        if (rootDevice && !now.isEmpty() && job.targetTraits.section(u'\n', 0, 2) == now) {
            if (const std::optional<TargetFileSystem> fs =
                    ParseTargetFileSystem(job.targetTraits.section(u'\n', 3).toLatin1()))
                mirror.rememberFileSystem(*rootDevice, *fs);
        }
        for (const SourceEntry& source : job.sources) {
            if (!result.changedOnly) {
                mirror.mirrorFolder(source.sourceDir, source.includeSubDir, job.targetDir);
                continue;
            }
            // A source where nothing changed is not looked at.
            const auto changed = scope->sources.constFind(source.sourceDir);
            if (changed != scope->sources.cend())
                mirror.mirrorFolder(source.sourceDir, source.includeSubDir, job.targetDir,
                                    *changed);
        }
        mirror.flushTarget(job.targetDir);
        result.linkedFolders = mirror.metLinkedFolder();
        if (rootDevice && !now.isEmpty()) {
            if (const std::optional<TargetFileSystem> fs = mirror.knownFileSystem(*rootDevice))
                result.targetTraits =
                    now + u'\n' + QString::fromLatin1(TargetFileSystemText(*fs));
        }
        result.counters = mirror.counters();
        result.firstError = mirror.firstError();
    }

    if (afterWalk)
        MoveScheduleOn(afterWalk, job, result.startTimeText, control, sink);
    std::optional<LookedAt> lookedAt;
    if (result.changedOnly)
        lookedAt = LookedAt{scope->changedFolders(), scope->watchedFolders};
    EmitSummary(job.taskName, result.counters, sink, job.keepVersions > 0,
                control.stopRequested(), lookedAt);
    sink(LogKind::StartFinish, FinishedLine(DateTimeText(clock.now()), job.taskName));
    return result;
}

} // namespace tarnwick
