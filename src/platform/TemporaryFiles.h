// SPDX-License-Identifier: GPL-3.0-or-later
// The visible temporary files of a copy. Where a file system offers no
// unnamed files (FUSE, FAT) the content is written under a name of our own,
// ".tarnwick-<pid>-<16 random hex digits>.tmp", and renamed into place when
// complete; a copy replacing a file gives its finished unnamed file such a
// name for the rename too. The random part, new for every file, keeps a
// name of the user's from ever being taken for one of ours by chance. A
// writer holds an flock on its file from the moment it exists until it is
// renamed or removed, so such a file that nobody holds is what a killed run
// left behind, and a later run removes it; unless the caller keeps the name,
// as one a copy is made under: such a file is the user's own.
#pragma once

#include "platform/Clock.h"

#include <QByteArray>

#include <functional>
#include <sys/types.h>

namespace tarnwick {

// A new name of that form, with a random part of its own.
QByteArray TemporaryName();

// Whether `name` has that form, exactly; the writer's process ID in `writer`.
bool IsTemporaryName(const char* name, pid_t* writer = nullptr);

// Creates a new temporary file in the folder `dirFd`, write-only with
// `mode` (less the umask), locked for its writer; its name in `name`.
// Returns the descriptor, or -1 with errno set.
int CreateTemporaryFile(int dirFd, QByteArray& name, mode_t mode = 0600);

// Says whether a file of the name would be copied into the folder being
// cleaned up: such a file is never removed.
using KeepName = std::function<bool(const char* name)>;

// Removes from the folder `dirFd` the temporary files whose writer is gone:
// nobody holds the lock, and the process named in the file's name no longer
// runs or the file has not changed for a minute (a writer that has only just
// made its file may not hold the lock yet). A name `keep` holds on to stays.
// Returns how many were removed.
int RemoveStaleTemporaryFiles(int dirFd, const Clock& clock = Clock::system(),
                              const KeepName& keep = {});

} // namespace tarnwick
