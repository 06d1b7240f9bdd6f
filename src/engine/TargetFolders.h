// The target's folders as a run reaches them: one below another from the
// target root, never through a symbolic link (what a link below the root
// points to lies outside the target, and no copy may land there), a new
// folder with its source folder's permission bits. The walk and the
// versions folder reach theirs the same way.
#pragma once

#include "platform/FileStatus.h"

#include <QByteArray>

#include <cstddef>
#include <optional>
#include <sys/types.h>

namespace tarnwick {

// Opens the target folder `name` in the folder `dirFd` without following a
// symbolic link at that name: what a link below the target root points to
// lies outside the target, and no copy may land there.
int OpenTargetFolder(int dirFd, const char* name);

// Whether `name` in the folder `dirFd` is a symbolic link itself. Such an
// open fails with ENOTDIR, as for a file, so the name is looked at again.
bool IsLinkAt(int dirFd, const char* name);

// The mode bits a folder the run makes ends with: the source folder's
// permission bits, and the other bits as mkdirat set them (a sticky bit
// asked for, a setgid bit taken over from the folder above).
mode_t FinalFolderMode(mode_t made, mode_t sourcePermissions);

// Gives the folder the run has just made at `folderFd` the bits of its
// source folder that the umask took, and all its owner's while it is being
// filled. Returns the mode to give it once filled, if it has not that.
std::optional<mode_t> FitNewFolder(int folderFd, mode_t sourcePermissions);

// The identity of `name` in the folder `dirFd` itself, a link not followed.
bool IdentityAt(int dirFd, const char* name, FileIdentity& identity);

} // namespace tarnwick
