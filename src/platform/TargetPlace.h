// SPDX-License-Identifier: GPL-3.0-or-later
// What a target folder is like before a run begins: whether it is there,
// whether it is empty, and whether it has a file system of its own. A
// backup drive that is not plugged in leaves its mount folder behind:
// there, empty, and on the file system of the folder above it.
#pragma once

#include <QByteArray>

namespace tarnwick {

struct TargetPlace
{
    bool present = false;        // an openable folder
    bool empty = false;          // no entries but . and ..
    bool ownFileSystem = false;  // another device than its parent folder's
};

// Looks at the folder at `path` (following links, as a run opens it).
TargetPlace LookAtTargetPlace(const QByteArray& path);

} // namespace tarnwick
