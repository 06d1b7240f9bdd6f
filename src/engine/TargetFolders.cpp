#include "engine/TargetFolders.h"

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

} // namespace tarnwick
