// SPDX-License-Identifier: GPL-3.0-or-later
// The run's side of the target: how a file there compares with its source,
// what the target's file system keeps (time step, case, size limit), names
// that clash on a drive blind to case, noticing the drive going away, and
// the lines sent once the target is gone.
#include "engine/FolderMirror.h"

#include "platform/DisplayPath.h"
#include "platform/UniqueFd.h"

#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

CopyDecision CompareWithTarget(qint64 sourceLastWrite, const TargetState& target, qint64 precision)
{
    return CompareWithTarget(sourceLastWrite, target.size, target, precision);
}

CopyDecision CompareWithTarget(qint64 sourceLastWrite, quint64 sourceSize,
                               const TargetState& target, qint64 precision)
{
    // A folder of that name is no file: the copy is tried, and fails.
    if (target.kind != TargetState::File)
        return CopyDecision::Missing;
    if (!target.readable)
        return CopyDecision::Newer;
    const qint64 source = TimeAtPrecision(sourceLastWrite, precision);
    const qint64 existing = TimeAtPrecision(target.lastWriteTime, precision);
    if (source > existing)
        return CopyDecision::Older;
    if (source == existing) {
        // A file changed within the target's time step right after its
        // copy (a run started by the change does just that) shows only in
        // its size, as rsync's quick check finds it.
        if (sourceLastWrite != target.lastWriteTime && sourceSize != target.size)
            return CopyDecision::Older;
        return CopyDecision::Unchanged;
    }
    return CopyDecision::Newer;
}

CopyDecision CompareWithTarget(qint64 sourceLastWrite, const QByteArray& targetPath,
                               const Credentials& credentials)
{
    const qsizetype slash = targetPath.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : targetPath.left(slash);
    const QByteArray name = targetPath.mid(slash + 1);
    UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return CompareWithTarget(sourceLastWrite, LookAtTarget(fd.get(), name.constData(), credentials),
                             FileTimePrecision(fd.get()));
}

const TargetFileSystem& FolderMirror::fileSystemOf(TargetFolder& target)
{
    if (!target.fs)
        target.fs = &m_fileSystems.of(target.fd, target.guessed);
    return *target.fs;
}

void FolderMirror::rememberFileSystem(quint64 device, const TargetFileSystem& fs)
{
    m_fileSystems.remember(device, fs);
}

std::optional<TargetFileSystem> FolderMirror::knownFileSystem(quint64 device) const
{
    return m_fileSystems.known(device);
}

CopyPlace FolderMirror::placeOf(TargetFolder& target)
{
    const TargetFileSystem& fs = fileSystemOf(target);
    return CopyPlace{.creationMask = target.creationMask,
                     .renameStampsTime = fs.renameStampsTime,
                     .fat = fs.fat};
}

namespace {

// A name as a file system blind to case compares it: Unicode case folding
// of a UTF-8 name, the ASCII letters of any other.
QByteArray CaseFolded(const QByteArray& name)
{
    const QString text = QString::fromUtf8(name);
    if (text.toUtf8() == name)
        return text.toCaseFolded().toUtf8();
    return name.toLower();
}

} // namespace

QByteArray FolderMirror::caseClash(TargetFolder& target, const char* name, std::size_t length)
{
    if (target.fd < 0 || !fileSystemOf(target).caseBlind)
        return {};
    const QByteArray own(name, qsizetype(length));
    // Several sources fill the same target folders: the names each gave
    // are kept for the whole run.
    QHash<QByteArray, QByteArray>& names =
        m_sources.size() > 1 ? m_namesByFolder[m_targetPath.mid(m_targetRootLength)] : target.names;
    const QByteArray folded = CaseFolded(own);
    const auto given = names.constFind(folded);
    if (given == names.cend()) {
        names.insert(folded, own);
        return {};
    }
    return *given == own ? QByteArray() : *given;
}

bool FolderMirror::targetGone()
{
    if (m_targetGone)
        return true;
    if (!m_haveTargetRoot || dryRun())
        return false;
    // A pulled drive leaves its bare mount folder (another file system) or
    // nothing; a FUSE driver that died answers ENOTCONN, once asked past
    // what the kernel remembers of the folder.
    struct statx st;
    if (::statx(AT_FDCWD, m_targetRootPath.constData(), AT_STATX_FORCE_SYNC, STATX_INO, &st) ==
            0 &&
        FileIdentity{(quint64(st.stx_dev_major) << 32) | st.stx_dev_minor, st.stx_ino} ==
            m_targetRoot)
        return false;
    m_targetGone = true;
    // The copies not begun would only fail one by one.
    if (m_pool)
        m_pool->cancelQueued();
    return true;
}

void FolderMirror::flushTarget(const QString& targetDir)
{
    const quint64 written =
        m_counters.mirroredFiles + m_counters.mirroredFolders + m_counters.keptVersions;
    if (dryRun() || m_targetGone || written == 0)
        return;
    if (PathBytes(targetDir, m_path) != 0)
        return;
    UniqueFd target(::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (target.get() >= 0 && ::syncfs(target.get()) != 0)
        emitError(QStringLiteral("the target did not store everything written to it: ") +
                  SystemErrorText(errno));
}

void FolderMirror::emitError(const QString& reason)
{
    const QString path = DisplayPath(m_path);
    emitLine(LogKind::Error, CopyErrorLine(m_taskName, path, reason),
             path + QStringLiteral(": ") + reason);
}

void FolderMirror::emitLine(LogKind kind, const QString& line, const QString& error)
{
    m_copies.sendOrHold({kind, line, error});
}

void FolderMirror::sendLine(LogKind kind, const QString& line, const QString& error)
{
    // After the target went away every write fails: one line says so, in
    // the place of the first error, and the run ends there.
    if (!error.isEmpty() && (m_targetGone || targetGone())) {
        if (m_targetGoneTold)
            return;
        m_targetGoneTold = true;
        ++m_counters.errors;
        const QString gone = TargetGoneLine(m_taskName);
        if (m_firstError.isEmpty())
            m_firstError = DisplayPath(m_targetRootPath) +
                           QStringLiteral(": The target drive went away during the run");
        m_sink(LogKind::Error, gone);
        return;
    }
    if (!error.isEmpty()) {
        ++m_counters.errors;
        if (m_firstError.isEmpty())
            m_firstError = error;
    }
    m_sink(kind, line);
}

bool FolderMirror::copiersTake(const TargetFolder& target, quint64 size) const
{
    // A big file whose bytes are told as they go is copied here: its time
    // is in its data, which overlapping does not shorten. A copy with no
    // folder to go to fails here at once.
    const bool toldInBytes = m_options.advance && size >= FileCopier::kAdvanceStep;
    return m_pool && !dryRun() && target.fd >= 0 && !toldInBytes;
}

void FolderMirror::reportTargetLink()
{
    emitError(QStringLiteral("Target folder is a link: ") + DisplayPath(m_targetPath));
}

} // namespace tarnwick
