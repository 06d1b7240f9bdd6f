// SPDX-License-Identifier: GPL-3.0-or-later
// The permission bits of a folder, for tests of folders that must stay
// private.
#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// The permission bits of `path`, or -1 when it is not a folder.
inline int FolderMode(const QString& path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return -1;
    return static_cast<int>(status.st_mode & 07777);
}
