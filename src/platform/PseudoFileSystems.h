// SPDX-License-Identifier: GPL-3.0-or-later
// Tells the kernel's own file systems (/proc, /sys, /dev and their kin) from
// file systems that hold files. A link in a source that leads into one of
// them would have the walk copy kernel state, follow /proc/self/fd into its
// own open target folders and build folders without end; the walk asks here
// before it descends or copies across a device boundary.
#pragma once

#include <QLatin1StringView>
#include <QtGlobal>

#include <vector>

namespace tarnwick {

class PseudoFileSystems
{
public:
    // The kind of kernel file system the open descriptor `fd` lies on
    // ("proc", "sysfs", "devtmpfs", ...), or an empty view for one that
    // holds files (tmpfs included: it holds real user files, except the
    // device folder /dev, known from the mount table).
    QLatin1StringView kindOf(int fd);

private:
    void readMountTable();

    bool m_mountsRead = false;
    std::vector<quint64> m_deviceFolders; // device numbers of /dev and of devtmpfs mounts
};

} // namespace tarnwick
