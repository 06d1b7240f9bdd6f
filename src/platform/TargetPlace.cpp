// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TargetPlace.h"

#include "platform/FolderReader.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

TargetPlace LookAtTargetPlace(const QByteArray& path)
{
    TargetPlace place;
    FolderReader folder;
    if (path.isEmpty() || folder.open(AT_FDCWD, path.constData()) != 0)
        return place;
    place.present = true;
    struct stat self = {};
    struct stat parent = {};
    // The root of every file system is its own parent: a mount point.
    if (::fstat(folder.fd(), &self) == 0 && ::fstatat(folder.fd(), "..", &parent, 0) == 0)
        place.ownFileSystem = self.st_dev != parent.st_dev ||
                              (self.st_ino == parent.st_ino && self.st_dev == parent.st_dev);
    const char* name = nullptr;
    std::size_t length = 0;
    unsigned char type = 0;
    place.empty = true;
    while (folder.next(name, length, type)) {
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
            place.empty = false;
            break;
        }
    }
    // A listing cut short by an error tells nothing: not taken for empty.
    if (place.empty && folder.error() != 0)
        place.empty = false;
    return place;
}

} // namespace tarnwick
