// SPDX-License-Identifier: GPL-3.0-or-later
// The walk works on byte paths and open folder descriptors: one enumeration
// per source folder, one statx per source entry, one statx of the target
// path per file, and nothing held in memory beyond the current folder chain.
#include "engine/FolderMirror.h"

#include "engine/TargetFolders.h"

#include "platform/RunControl.h"
#include "platform/DisplayPath.h"
#include "platform/FolderReader.h"
#include "platform/TemporaryFiles.h"
#include "platform/UniqueFd.h"


#include <algorithm>
#include <cstring>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// The error slot of a target folder that is not there and that a real run
// would make: a dry run counts it as made and walks into it as if empty.
constexpr int kFolderToMake = -1;

// Empties a line buffer for the next line. A sink that kept the last line
// keeps it: the buffer then starts afresh, with the same room.
void StartLine(QString& line)
{
    if (line.isDetached()) {
        line.resize(0);
        return;
    }
    const qsizetype room = line.capacity();
    line = QString();
    line.reserve(room);
}

} // namespace

FileDecision DecideFile(const EntryRecord& source, int targetDirFd, const char* name,
                        qint64 precision, const Credentials& credentials)
{
    FileDecision file;
    file.target = LookAtTarget(targetDirFd, name, credentials);
    if (file.target.lookError == 0)
        file.decision =
            CompareWithTarget(source.lastWriteTime, source.size, file.target, precision);
    return file;
}

FolderMirror::FolderMirror(QString taskName, ExcludeTest exclude, RunControl& control, LogSink sink,
                           Credentials credentials, const Clock& clock)
    : m_taskName(std::move(taskName)), m_exclude(std::move(exclude)), m_control(control),
      m_sink(std::move(sink)), m_credentials(std::move(credentials)), m_clock(clock),
      m_copier([&control] { control.checkpoint(); }), m_versions(clock),
      m_copies([this](const OrderedCopies::Line& line) {
          sendLine(line.kind, line.text, line.error);
      })
{
}

FolderMirror::~FolderMirror() = default;

void FolderMirror::setVersions(int keep, const QString& versionsDir)
{
    m_versions.set(keep, versionsDir);
}

void FolderMirror::setSources(const QList<SourceEntry>& sources)
{
    m_sources.clear();
    for (const SourceEntry& source : sources) {
        QByteArray path;
        if (PathBytes(source.sourceDir, path) == 0)
            m_sources.emplace_back(std::move(path), source.includeSubDir);
    }
}

bool FolderMirror::sourceWouldCopy(int sourceFd, const char* name) const
{
    return sourceWouldCopyAt(m_targetPath.mid(m_targetRootLength), sourceFd, name);
}

bool FolderMirror::sourceWouldCopyAt(const QByteArray& relative, int sourceFd,
                                     const char* name) const
{
    // Anything that is there, or might be: only a name surely absent from
    // every source is a leftover of ours.
    auto held = [](int dirFd, const char* path) {
        struct stat st;
        return ::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) == 0 ||
               (errno != ENOENT && errno != ENOTDIR);
    };
    if (held(sourceFd, name))
        return true;
    // The same place in the other sources, which share the target.
    for (const auto& [root, includeSubDir] : m_sources) {
        if (!relative.isEmpty() && !includeSubDir)
            continue;
        const QByteArray path = root + '/' + relative + '/' + name;
        if (held(AT_FDCWD, path.constData()))
            return true;
    }
    return false;
}

void FolderMirror::mirrorFolder(const QString& sourceDir, bool includeSubDir,
                                const QString& targetDir, const ChangeScope::Source& scope)
{
    m_scope = &scope;
    m_scopeAncestors.clear();
    const auto addAncestors = [this](const QSet<QByteArray>& paths) {
        for (const QByteArray& path : paths) {
            for (qsizetype slash = path.indexOf('/'); slash > 0; slash = path.indexOf('/', slash + 1))
                m_scopeAncestors.insert(path.left(slash));
        }
    };
    addAncestors(scope.folders);
    addAncestors(scope.subtrees);
    mirrorFolder(sourceDir, includeSubDir, targetDir);
    m_scope = nullptr;
    m_scopeAncestors.clear();
}

bool FolderMirror::scopeEnters(const char* name, std::size_t length) const
{
    if (m_scopeAll)
        return true;
    QByteArray relative;
    if (m_path.size() > m_sourceRootLength)
        relative = m_path.mid(m_sourceRootLength + 1) + '/';
    relative.append(name, static_cast<qsizetype>(length));
    return m_scope->subtrees.contains(relative) || m_scope->folders.contains(relative) ||
           m_scopeAncestors.contains(relative);
}

void FolderMirror::scopeFolder()
{
    if (!m_scope || m_scopeAll)
        return;
    const QByteArray relative =
        m_path.size() > m_sourceRootLength ? m_path.mid(m_sourceRootLength + 1) : QByteArray();
    m_scopeAll = m_scope->subtrees.contains(relative);
    m_scopeFiles = m_scopeAll || m_scope->folders.contains(relative);
}

void FolderMirror::mirrorFolder(const QString& sourceDir, bool includeSubDir,
                                const QString& targetDir)
{
    if (m_targetGone)
        return;
    FolderReader source;
    // A source that cannot be read is an unmounted drive or a folder closed
    // to us, never an empty folder: a run that copied nothing must not report
    // success.
    int sourceError = PathBytes(sourceDir, m_path);
    if (sourceError == 0)
        sourceError = source.open(AT_FDCWD, m_path.constData());
    if (sourceError != 0) {
        emitError(SystemErrorText(sourceError));
        return;
    }
    if (leadsIntoKernel(source.fd()))
        return;
    // Paths in a scope are spelled from the source folder, without a
    // trailing '/'.
    m_sourceRootLength = m_path.size();
    while (m_sourceRootLength > 1 && m_path.at(m_sourceRootLength - 1) == '/')
        --m_sourceRootLength;
    m_scopeAll = true;
    m_scopeFiles = true;
    if (m_scope) {
        m_scopeAll = false;
        scopeFolder();
    }

    QByteArray targetPath;
    int targetError = PathBytes(targetDir, targetPath);
    UniqueFd target(
        targetError != 0 ? -1 : ::open(targetPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (target.get() < 0 && targetError == 0)
        targetError = errno;
    m_haveTargetRoot = target.get() >= 0 && IdentityOf(target.get(), m_targetRoot);
    m_targetRootPath = targetPath;
    m_targetPath = targetPath;
    m_targetRootLength = m_targetPath.size();
    m_versions.setDryRun(dryRun());
    m_fileSystems.setDryRun(dryRun());
    m_versions.beginTarget(targetDir, target.get());

    m_walkPath.clear();
    FileIdentity root;
    if (IdentityOf(source.fd(), root))
        m_walkPath.push_back(root);
    if (!m_pool && !dryRun() && target.get() >= 0) {
        if (const int copies = CopiesAtOnce(source.fd(), target.get(), m_parallel); copies > 1)
            m_pool = std::make_unique<CopyPool>(
                copies, [this] { m_control.checkpoint(); },
                [this](CopyPool::Job& job) { return decideInPool(job); }, m_poolCopy);
    }
    TargetFolder rootTarget{.fd = target.get(),
                            .error = targetError,
                            .versions = {.targetFd = target.get()}};
    walk(source, rootTarget, includeSubDir);
    // A later source may hold files of the same names: it decides against
    // the target these copies leave.
    settleCopies(Settle::All);
    m_walkPath.clear();
    m_versions.endTarget();
}

bool FolderMirror::onWalkPath(const FileIdentity& identity) const
{
    for (const FileIdentity& folder : m_walkPath) {
        if (folder == identity)
            return true;
    }
    return false;
}

bool FolderMirror::leadsIntoKernel(int fd)
{
    const QLatin1StringView kind = m_pseudo.kindOf(fd);
    if (kind.isEmpty())
        return false;
    if (!m_kernelPathsReported.contains(m_path)) {
        m_kernelPathsReported.insert(m_path);
        emitError(QStringLiteral("Not mirrored, it lies on the kernel's %1 file system").arg(kind));
    }
    return true;
}

void FolderMirror::walk(FolderReader& source, TargetFolder& target, bool includeSubDir)
{
    const qsizetype base = m_path.size();
    const qsizetype targetBase = m_targetPath.size();
    // Where this folder lies; an entry elsewhere came through a link or a
    // mount and may lead into a kernel file system.
    const bool deviceKnown = !m_walkPath.empty();
    const quint64 device = deviceKnown ? m_walkPath.back().device : 0;
    const char* name;
    std::size_t length;
    unsigned char type;
    while (source.next(name, length, type)) {
        // Before each entry, so a file being copied when the stop comes is finished.
        if (m_control.checkpoint() || m_targetGone)
            return;
        if (IsDotOrDotDot(name) || (type == DT_DIR && !includeSubDir))
            continue;
        // Outside the changed folders only the way down to them is walked.
        if (!m_scopeFiles && type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        if (type == DT_DIR && !scopeEnters(name, length))
            continue;

        // With copiers at hand, a plain file's own look at the source goes
        // to them as well: on a NAS as the source it is a round trip too.
        // Not where the walk needs the file's record before deciding: to
        // test the exclude rules, to keep versions, to tell a big file's
        // bytes as they go.
        // A name that clashes by case is told of where the file is met.
        if (type == DT_REG && !m_exclude && !m_versions.on() && !m_options.advance &&
            copiersTake(target, 0) && caseClash(target, name, length).isEmpty()) {
            AppendName(m_path, name, length);
            m_entry = EntryRecord();
            m_entry.name = QByteArray(name, static_cast<qsizetype>(length));
            queueCopy(source.fd(), name, target, nullptr, LogKind::Copy, QString(), true);
            m_path.truncate(base);
            continue;
        }
        FileIdentity identity;
        if (StatEntry(source.fd(), name, m_entry, &identity) != 0) {
            RecordFromListing(type, m_entry);
            identity = {};
        }
        if (m_entry.isDirectory()) {
            if (includeSubDir && scopeEnters(name, length)) {
                if (type == DT_LNK)
                    m_metLinkedFolder = true;
                enterFolder(source, name, length, identity, target, includeSubDir,
                            type == DT_LNK || type == DT_UNKNOWN);
            }
        } else if (!m_scopeFiles) {
            m_path.truncate(base);
            continue;
        } else {
            m_entry.name.resize(0);
            m_entry.name.append(name, static_cast<qsizetype>(length));
            AppendName(m_path, name, length);
            mirrorFile(source.fd(), name, target,
                       !deviceKnown || identity.inode == 0 || identity.device != device);
        }
        m_path.truncate(base);
        m_targetPath.truncate(targetBase);
    }
    // A listing cut short left entries unseen: say so for the folder.
    if (source.error() != 0 && !m_control.stopRequested())
        emitError(SystemErrorText(source.error()));
}

void FolderMirror::enterFolder(FolderReader& parent, const char* name, std::size_t length,
                               const FileIdentity& identity, TargetFolder& parentTarget,
                               bool includeSubDir, bool viaLink)
{
    const int targetFd = parentTarget.fd;
    const int targetError = parentTarget.error;
    // A link back to a folder already on the way down would never end, and
    // the target root inside a source would mirror the mirror.
    const bool known = identity.inode != 0;
    if (known && (onWalkPath(identity) || (m_haveTargetRoot && identity == m_targetRoot)))
        return;
    bool itself = false;
    if (m_versions.holds(identity, targetFd, m_targetPath.mid(m_targetRootLength), name, itself)) {
        // The user's files there are not mirrored: an error, never silence.
        AppendName(m_path, name, length);
        emitError(itself ? QStringLiteral("not mirrored: it is the task's versions folder")
                         : QStringLiteral("not mirrored: it would land in the task's versions "
                                          "folder"));
        return;
    }

    ++m_counters.totalFolders;
    AppendName(m_path, name, length);
    if (const QByteArray other = caseClash(parentTarget, name, length); !other.isEmpty()) {
        emitError(CaseClashText(other));
        return;
    }
    AppendName(m_targetPath, name, length);

    // The source first: a subfolder that cannot be read is reported, and no
    // empty target folder is made for it.
    FolderReader sub;
    if (const int error = sub.open(parent.fd(), name)) {
        emitError(SystemErrorText(error));
        return;
    }
    if (viaLink) {
        if (const int refused = LinkOwnerRefusal(parent.fd(), name, sub.fd())) {
            emitError(CopyFailureText(refused));
            return;
        }
    }
    const bool sameDevice =
        known && !m_walkPath.empty() && identity.device == m_walkPath.back().device;
    if (!sameDevice && leadsIntoKernel(sub.fd()))
        return;

    if (targetFd < 0 && targetError != kFolderToMake) {
        emitError(SystemErrorText(targetError));
        return;
    }
    struct stat sourceFolder;
    const mode_t sourcePermissions =
        ::fstat(sub.fd(), &sourceFolder) == 0 ? sourceFolder.st_mode & 07777 : 0777;
    // Below a folder a dry run found missing, every folder is one a real
    // run makes.
    const TargetSubfolder entered =
        targetFd < 0 ? TargetSubfolder{.outcome = TargetSubfolder::Made}
                     : EnterTargetSubfolder(targetFd, name, sourcePermissions, dryRun());
    int subTargetError = 0;
    switch (entered.outcome) {
    case TargetSubfolder::LinkHeld:
        reportTargetLink();
        return;
    case TargetSubfolder::Failed:
        emitError(entered.failure);
        return;
    case TargetSubfolder::Made:
        ++m_counters.mirroredFolders;
        // A dry run walks into it as if empty.
        subTargetError = entered.fd >= 0 ? 0 : entered.error != 0 ? entered.error : kFolderToMake;
        break;
    case TargetSubfolder::Unopenable:
        subTargetError = entered.error;
        break;
    case TargetSubfolder::Opened:
        break;
    }
    const int subTarget = entered.fd;
    const std::optional<mode_t> finalMode = entered.finalMode;
    UniqueFd subTargetFd(subTarget);

    if (known)
        m_walkPath.push_back(identity);
    const bool scopeAll = m_scopeAll;
    const bool scopeFiles = m_scopeFiles;
    scopeFolder();
    TargetFolder subTargetFolder{.fd = subTargetFd.get(),
                                 .error = subTargetError,
                                 .versions = {.parent = &parentTarget.versions,
                                              .name = QByteArray(name, qsizetype(length)),
                                              .targetFd = subTargetFd.get()}};
    walk(sub, subTargetFolder, includeSubDir);
    m_scopeAll = scopeAll;
    m_scopeFiles = scopeFiles;
    if (known)
        m_walkPath.pop_back();
    // Filled, or the run stopped: nothing more is written into it. As in
    // FitNewFolder, a file system that keeps no such bits may refuse. With
    // copies into it still under way, the last of them does it.
    if (finalMode && subTargetFolder.shared)
        subTargetFolder.shared->finalMode = static_cast<int>(*finalMode);
    else if (finalMode)
        ::fchmod(subTargetFd.get(), *finalMode);
}

void FolderMirror::mirrorFile(int sourceFd, const char* name, TargetFolder& target,
                              bool otherDevice)
{
    const quint64 size = m_entry.size;
    ++m_counters.totalFiles;
    m_counters.totalBytes += size;
    if (m_options.looked)
        m_options.looked(m_counters.totalFiles);
    if (m_exclude && m_exclude(m_path, m_entry)) {
        ++m_counters.excludedFiles;
        return;
    }
    if (const QByteArray other = caseClash(target, name, std::strlen(name)); !other.isEmpty()) {
        emitError(CaseClashText(other));
        return;
    }
    if (otherDevice) {
        // A link to /proc/kcore or a file under /sys: kernel state, not a file.
        UniqueFd at(::openat(sourceFd, name, O_PATH | O_CLOEXEC));
        if (at.get() >= 0 && leadsIntoKernel(at.get()))
            return;
    }

    // With nothing kept as versions, the look at the target and the
    // decision go to the copiers too: on a slow target each look is a round
    // trip as well, and a run that copies nothing is all looks.
    if (!m_versions.on() && copiersTake(target, size)) {
        queueCopy(sourceFd, name, target, nullptr, LogKind::Copy, QString());
        return;
    }
    decideHere(sourceFd, name, target);
}

void FolderMirror::decideHere(int sourceFd, const char* name, TargetFolder& target)
{
    const quint64 size = m_entry.size;
    const FileDecision file =
        DecideFile(m_entry, target.fd, name, fileSystemOf(target).precision, m_credentials);
    const TargetState& existing = file.target;
    if (existing.lookError != 0) {
        emitError(SystemErrorText(existing.lookError));
        return;
    }
    const CopyDecision decision = file.decision;
    // The line of every file goes through one kept buffer: DecisionLine's
    // text, without a string of its own for the path or the line.
    StartLine(m_line);
    m_line += u'[';
    m_line += m_taskName;
    m_line += QLatin1StringView("] ");
    m_line += DecisionText(decision);
    AppendDisplayPath(m_line, m_path.constData(), m_path.size());
    // The file the copy replaces is kept as a version first.
    const bool keep = decision == CopyDecision::Older && m_versions.on();
    // A kept version moves files in the versions folder as it goes: such
    // copies are made here in turn.
    const bool queued = file.copy() && !keep && copiersTake(target, size);
    // A queued copy's line goes out with it, in its turn.
    if (!queued)
        emitLine(DecisionKind(decision), m_line);

    switch (decision) {
    case CopyDecision::Unchanged:
        ++m_counters.skippedUnchanged;
        return;
    case CopyDecision::Newer:
        ++m_counters.skippedNewer;
        return;
    case CopyDecision::Missing:
    case CopyDecision::Older:
        break;
    }
    if (dryRun()) {
        // What the copy would refuse before writing anything is reported as
        // the real run reports it; everything else counts as copied.
        int refused = target.fd < 0 && target.error != kFolderToMake
                          ? target.error
                          : FileCopier::targetRefusal(existing);
        if (refused == 0)
            refused = FileCopier::sourceRefusal(sourceFd, name, m_entry);
        if (refused == 0)
            refused = FileCopier::sizeRefusal(m_entry.size, placeOf(target));
        if (refused != 0) {
            emitError(CopyFailureText(refused));
            return;
        }
        if (keep) {
            if (const int error = m_versions.nameDry(target.versions, name, m_versionPath)) {
                emitError(KeepErrorText(m_versions.pathOf(target.versions), error));
                return;
            }
            reportKeptVersion();
        }
        ++m_counters.mirroredFiles;
        m_counters.mirroredBytes += size;
        return;
    }
    if (target.fd >= 0 && !target.swept) {
        target.creationMask =
            SweepTargetFolder(target.fd, m_clock, [this, sourceFd](const char* leftover) {
                return sourceWouldCopy(sourceFd, leftover);
            });
        target.swept = true;
    }
    if (queued)
        queueCopy(sourceFd, name, target, &existing, DecisionKind(decision), m_line);
    else
        copyHere(sourceFd, name, target, existing, keep);
}

void FolderMirror::copyHere(int sourceFd, const char* name, TargetFolder& target,
                            const TargetState& existing, bool keep)
{
    const quint64 size = m_entry.size;
    const QString shown = m_options.progress ? DisplayPath(m_path) : QString();
    if (m_options.progress)
        m_options.progress(shown, size, false, false);
    int keepError = 0;
    bool kept = false;
    FileCopier::BeforeReplace keepOld;
    if (keep) {
        keepOld = [&] {
            keepError = m_versions.keep(target.versions, name, kept, m_versionPath);
            return keepError;
        };
    }
    const int error = target.fd < 0 ? target.error
                                    : m_copier.copy(sourceFd, name, m_entry, target.fd, name,
                                                    &existing, placeOf(target), keepOld);
    if (m_options.progress)
        m_options.progress(shown, size, true, error == 0);
    if (kept) {
        reportKeptVersion();
        for (const auto& [path, why] : m_versions.removeOld(target.versions, QByteArray(name))) {
            if (why == 0)
                emitLine(LogKind::Copy, RemoveVersionLine(m_taskName, DisplayPath(path)));
            else
                emitError(QStringLiteral("Old version not removed: ") + DisplayPath(path) +
                          QStringLiteral(": ") + SystemErrorText(why));
        }
    }
    if (error != 0) {
        emitError(keepError != 0 ? KeepErrorText(m_versions.pathOf(target.versions), keepError)
                                 : CopyFailureText(error));
        return;
    }
    ++m_counters.mirroredFiles;
    m_counters.mirroredBytes += size;
}

void FolderMirror::reportKeptVersion()
{
    ++m_counters.keptVersions;
    emitLine(LogKind::Copy, KeepVersionLine(m_taskName, DisplayPath(m_versionPath)));
}

} // namespace tarnwick
