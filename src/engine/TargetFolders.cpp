// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TargetFolders.h"

#include "engine/RunLines.h"
#include "platform/FileCopier.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarnwick {

int OpenTargetFolder(int dirFd, const char* name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool IsLinkAt(int dirFd, const char* name)
{
    struct stat st;
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

mode_t FinalFolderMode(mode_t made, mode_t sourcePermissions)
{
    return (made & 07000) | (sourcePermissions & 0777);
}

std::optional<mode_t> FitNewFolder(int folderFd, mode_t sourcePermissions)
{
    struct stat made;
    if (::fstat(folderFd, &made) != 0)
        return std::nullopt;
    const mode_t finished = FinalFolderMode(made.st_mode, sourcePermissions);
    const mode_t filling = finished | S_IRWXU;
    // Given back through the folder's own descriptor, never by its path. A
    // file system that keeps no permission bits of its own (FAT) refuses;
    // the folder then stays narrower than its source, never wider.
    if ((made.st_mode & 07777) != filling)
        ::fchmod(folderFd, filling);
    if (finished == filling)
        return std::nullopt;
    return finished;
}

bool IdentityAt(int dirFd, const char* name, FileIdentity& identity)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    identity.device = (quint64(major(st.st_dev)) << 32) | minor(st.st_dev);
    identity.inode = st.st_ino;
    return true;
}

int SweepTargetFolder(int targetFd, const Clock& clock, const KeepName& keep)
{
    RemoveStaleTemporaryFiles(targetFd, clock, keep);
    return FileCopier::creationMask(targetFd);
}

TargetSubfolder EnterTargetSubfolder(int parentFd, const char* name, mode_t sourcePermissions,
                                     bool dryRun)
{
    TargetSubfolder sub;
    int makeError = EEXIST;
    if (!dryRun) {
        if (::mkdirat(parentFd, name, sourcePermissions | S_IRWXU) == 0) {
            sub.fd = OpenTargetFolder(parentFd, name);
            if (sub.fd >= 0) {
                sub.outcome = TargetSubfolder::Made;
                sub.finalMode = FitNewFolder(sub.fd, sourcePermissions);
                return sub;
            }
            // Something took the place of the folder just made.
            sub.error = errno;
            sub.outcome =
                IsLinkAt(parentFd, name) ? TargetSubfolder::LinkHeld : TargetSubfolder::Made;
            return sub;
        }
        makeError = errno;
    }
    sub.fd = OpenTargetFolder(parentFd, name);
    if (sub.fd >= 0) {
        sub.outcome = TargetSubfolder::Opened;
        return sub;
    }
    const int openError = errno;
    struct stat st;
    const bool nameTaken = ::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (nameTaken && S_ISLNK(st.st_mode)) {
        sub.outcome = TargetSubfolder::LinkHeld;
    } else if (dryRun && !nameTaken && openError == ENOENT) {
        sub.outcome = TargetSubfolder::Made; // one a real run makes
    } else if (makeError != EEXIST || openError == ENOENT) {
        sub.failure = makeError == EEXIST ? SystemErrorText(openError)
                                          : FolderFailureText(makeError, openError == ENOENT);
    } else if (openError == ENOTDIR) {
        // A file holds the name: the folder cannot be made.
        sub.failure = SystemErrorText(EEXIST);
    } else {
        sub.outcome = TargetSubfolder::Unopenable;
        sub.error = openError;
    }
    return sub;
}

const TargetFileSystem& TargetFileSystems::of(int fd, TargetFileSystem& guessed)
{
    FileIdentity folder;
    if (fd < 0 || !IdentityOf(fd, folder)) {
        guessed = TargetFileSystem();
        return guessed;
    }
    for (const auto& [device, fs] : m_known) {
        if (device == folder.device)
            return fs;
    }
    TargetFileSystem fs;
    if (m_dryRun) {
        fs = GuessTargetFileSystem(fd);
    } else if (LearnTargetFileSystem(fd, fs) != 0) {
        guessed = fs;
        return guessed;
    }
    m_known.emplace_back(folder.device, fs);
    return m_known.back().second;
}

void TargetFileSystems::remember(quint64 device, const TargetFileSystem& fs)
{
    m_known.emplace_back(device, fs);
}

std::optional<TargetFileSystem> TargetFileSystems::known(quint64 device) const
{
    if (m_dryRun)
        return std::nullopt;
    for (const auto& [known, fs] : m_known) {
        if (known == device)
            return fs;
    }
    return std::nullopt;
}

} // namespace tarnwick
