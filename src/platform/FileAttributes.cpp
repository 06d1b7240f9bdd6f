// SPDX-License-Identifier: GPL-3.0-or-later
// Attribute bits of a file named by its path, read from the file system now.
#include "platform/FileAttributes.h"

#include "platform/FileStatus.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tarnwick {

std::optional<quint32> ReadFileAttributes(const QByteArray& path)
{
    if (path.isEmpty())
        return std::nullopt;
    struct statx st = {};
    // No AT_SYMLINK_NOFOLLOW: a link reports what it leads to.
    if (statx(AT_FDCWD, path.constData(), AT_STATX_SYNC_AS_STAT, STATX_TYPE | STATX_MODE, &st) != 0)
        return std::nullopt;

    // A path may end in '/' for a folder; the name is the last non-empty part.
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const qsizetype start = path.lastIndexOf('/', end - 1) + 1;
    return AttributesOf(st, start < end && path[start] == '.');
}

} // namespace tarnwick
