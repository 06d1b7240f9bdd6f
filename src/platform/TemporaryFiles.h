// The visible temporary files of a copy. Where a file system offers no
// unnamed files (FUSE, FAT) the content is written under a name of our own,
// ".tarnwick-<pid>-<n>.tmp", and renamed into place when complete; a copy
// replacing a file gives its finished unnamed file such a name for the
// rename too. A writer holds an flock on its file from the moment it exists
// until it is renamed or removed, so such a file that nobody holds is what a
// killed run left behind, and a later run removes it.
#pragma once

#include "platform/Clock.h"

#include <QByteArray>

#include <sys/types.h>

namespace tarnwick {

// A new name of that form, unique within this process.
QByteArray TemporaryName();

// Whether `name` has that form; the writer's process ID in `writer`.
bool IsTemporaryName(const char* name, pid_t* writer = nullptr);

// Creates a new temporary file in the folder `dirFd`, write-only with mode
// 0600, locked for its writer; its name in `name`. Returns the descriptor,
// or -1 with errno set.
int CreateTemporaryFile(int dirFd, QByteArray& name);

// Removes from the folder `dirFd` the temporary files whose writer is gone:
// nobody holds the lock, and the process named in the file's name no longer
// runs or the file has not changed for a minute (a writer that has only just
// made its file may not hold the lock yet). Returns how many were removed.
int RemoveStaleTemporaryFiles(int dirFd, const Clock& clock = Clock::system());

} // namespace tarnwick
