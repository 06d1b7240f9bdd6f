// SPDX-License-Identifier: GPL-3.0-or-later
// The walk's side of the copies made side by side (FolderMirror's copy
// pool): handing a file over, what a copier decides and does with it, and
// telling and counting each copy in the walk's order once it has ended.
#include "engine/FolderMirror.h"

#include "platform/DisplayPath.h"
#include "platform/RunControl.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>

namespace tarnwick {

void FolderMirror::queueCopy(int sourceFd, const char* name, TargetFolder& target,
                             const TargetState* existing, LogKind kind,
                             const QString& decisionLine, bool lookAtSource)
{
    if (!target.shared) {
        // Each open folder holds two descriptors: well under the usual
        // limit of 1024 however the tree is shaped.
        constexpr std::size_t kMaxOpenFolders = 128;
        const auto closed = [](const std::weak_ptr<CopyPool::Folders>& f) { return f.expired(); };
        m_openFolders.erase(std::remove_if(m_openFolders.begin(), m_openFolders.end(), closed),
                            m_openFolders.end());
        while (m_openFolders.size() >= kMaxOpenFolders && !m_copies.empty()) {
            settleCopies(Settle::Oldest);
            m_openFolders.erase(
                std::remove_if(m_openFolders.begin(), m_openFolders.end(), closed),
                m_openFolders.end());
        }
        target.shared = std::make_shared<CopyPool::Folders>();
        target.shared->relative = m_targetPath.mid(m_targetRootLength);
        target.shared->source.reset(::fcntl(sourceFd, F_DUPFD_CLOEXEC, 0));
        target.shared->target.reset(::fcntl(target.fd, F_DUPFD_CLOEXEC, 0));
        m_openFolders.push_back(target.shared);
    }
    if (target.shared->source.get() < 0 || target.shared->target.get() < 0) {
        // Out of descriptors: this file is done here, as without a pool.
        target.shared.reset();
        if (lookAtSource) {
            // As the walk does it without copiers.
            if (StatEntry(sourceFd, name, m_entry, nullptr) != 0)
                RecordFromListing(DT_REG, m_entry);
            m_entry.name = QByteArray(name);
            mirrorFile(sourceFd, name, target, false);
            return;
        }
        if (!existing) {
            decideHere(sourceFd, name, target);
            return;
        }
        emitLine(kind, decisionLine);
        copyHere(sourceFd, name, target, *existing, false);
        return;
    }
    auto job = std::make_shared<CopyPool::Job>();
    job->folders = target.shared;
    job->sourceDirFd = target.shared->source.get();
    job->name = QByteArray(name);
    job->source = m_entry;
    job->targetDirFd = target.shared->target.get();
    job->place = placeOf(target);
    if (existing) {
        job->target = *existing;
    } else {
        job->decide = true;
        job->lookAtSource = lookAtSource;
        job->precision = fileSystemOf(target).precision;
    }
    OrderedCopies::Pending pending{job, kind, decisionLine, DisplayPath(m_path),
                                   m_options.progress ? DisplayPath(m_path) : QString()};
    if (m_options.progress && existing)
        m_options.progress(pending.shown, m_entry.size, false, false);
    m_copies.add(std::move(pending));
    m_pool->submit(std::move(job));
    settleCopies(Settle::Ended);
}

bool FolderMirror::decideInPool(CopyPool::Job& job)
{
    if (job.lookAtSource) {
        const QByteArray name = job.source.name;
        if (StatEntry(job.sourceDirFd, job.name.constData(), job.source, nullptr) != 0)
            RecordFromListing(DT_REG, job.source);
        job.source.name = name;
    }
    const FileDecision file =
        DecideFile(job.source, job.targetDirFd, job.name.constData(), job.precision, m_credentials);
    job.target = file.target;
    if (file.target.lookError != 0) {
        job.decision = -1;
        job.error = file.target.lookError;
        return false;
    }
    job.decision = static_cast<int>(file.decision);
    if (!file.copy())
        return false;
    // The copier has the folder to itself.
    CopyPool::Folders& folders = *job.folders;
    if (!folders.swept) {
        folders.creationMask =
            SweepTargetFolder(job.targetDirFd, m_clock, [&](const char* leftover) {
                return sourceWouldCopyAt(folders.relative, job.sourceDirFd, leftover);
            });
        folders.swept = true;
    }
    job.place.creationMask = folders.creationMask;
    return true;
}

void FolderMirror::settleCopies(Settle how)
{
    if (m_copies.empty())
        return;
    // The walk runs this far ahead of the oldest copy under way, so that the
    // copiers find copies into several folders at once (each folder takes
    // one copier at a time), and no further: a stop cancels what was not
    // begun, and the lines wait in memory.
    const std::size_t bound = std::size_t(m_pool->threads()) * 64;
    if (m_targetGone || (how == Settle::All && m_control.stopRequested()))
        m_pool->cancelQueued();
    m_copies.settle(*m_pool, how, bound,
                    [this](const OrderedCopies::Pending& copy) { copyEnded(copy); });
}

void FolderMirror::copyEnded(const OrderedCopies::Pending& copy)
{
    const CopyPool::Job& job = *copy.job;
    if (job.error == ECANCELED) {
        // Stopped before it began: as if the walk had stopped before the
        // file, it is neither told of nor counted.
        if (!job.lookAtSource) {
            --m_counters.totalFiles;
            m_counters.totalBytes -= job.source.size;
        }
        if (m_options.progress)
            m_options.progress(copy.shown, job.source.size, true, false);
        return;
    }
    if (job.lookAtSource) {
        ++m_counters.totalFiles;
        m_counters.totalBytes += job.source.size;
        if (m_options.looked)
            m_options.looked(m_counters.totalFiles);
    }
    if (job.decide) {
        if (job.decision < 0) {
            // The target could not be looked at: neither copied nor kept.
            const QString reason = SystemErrorText(job.error);
            sendLine(LogKind::Error, CopyErrorLine(m_taskName, copy.path, reason),
                     copy.path + QStringLiteral(": ") + reason);
            return;
        }
        const auto decision = static_cast<CopyDecision>(job.decision);
        sendLine(DecisionKind(decision), DecisionLine(m_taskName, decision, copy.path), QString());
        if (decision == CopyDecision::Unchanged) {
            ++m_counters.skippedUnchanged;
            return;
        }
        if (decision == CopyDecision::Newer) {
            ++m_counters.skippedNewer;
            return;
        }
        if (m_options.progress)
            m_options.progress(copy.shown, job.source.size, false, false);
    } else {
        sendLine(copy.kind, copy.decision, QString());
    }
    if (m_options.progress)
        m_options.progress(copy.shown, job.source.size, true, job.error == 0);
    if (job.error != 0) {
        const QString reason = CopyFailureText(job.error);
        sendLine(LogKind::Error, CopyErrorLine(m_taskName, copy.path, reason),
                 copy.path + QStringLiteral(": ") + reason);
    } else {
        ++m_counters.mirroredFiles;
        m_counters.mirroredBytes += job.source.size;
    }
}

} // namespace tarnwick
