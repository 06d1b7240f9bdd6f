// SPDX-License-Identifier: GPL-3.0-or-later
// statfs magic numbers for the kernel's file systems, and the mount table for
// devtmpfs, which reports itself as tmpfs.
#include "platform/PseudoFileSystems.h"

#include "platform/ReadToEnd.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tarnwick {

namespace {

struct KernelFileSystem
{
    quint32 magic;
    const char* name;
};

// Numbers as in <linux/magic.h>; written out so an older header lacking one
// of them still builds.
// clang-format off
constexpr KernelFileSystem kKernelFileSystems[] = {
    {0x9fa0, "proc"},
    {0x62656572, "sysfs"},
    {0x1cd1, "devpts"},
    {0x27e0eb, "cgroup"},
    {0x63677270, "cgroup2"},
    {0x64626720, "debugfs"},
    {0x74726163, "tracefs"},
    {0x73636673, "securityfs"},
    {0x6165676c, "pstore"},
    {0xcafe4a11, "bpf"},
    {0x62656570, "configfs"},
    {0x19800202, "mqueue"},
    {0x958458f6, "hugetlbfs"},
    {0x42494e4d, "binfmt_misc"},
    {0xde5e81e4, "efivarfs"},
    {0x0187, "autofs"},
    {0x65735543, "fusectl"},
    {0xf97cff8c, "selinuxfs"},
    {0x43415d53, "smackfs"},
    {0x6e736673, "nsfs"},
    {0x67596969, "rpc_pipefs"},
    {0x6e667364, "nfsd"},
    {0x9fa2, "usbdevfs"},
};
// clang-format on

constexpr quint32 kTmpfsMagic = 0x01021994;
constexpr quint32 kRamfsMagic = 0x858458f6;

quint64 DeviceKey(unsigned major, unsigned minor)
{
    return (quint64(major) << 32) | minor;
}

QByteArray ReadWholeFile(const char* path)
{
    QByteArray text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    text = ReadToEnd(fd);
    ::close(fd);
    return text;
}

} // namespace

void PseudoFileSystems::readMountTable()
{
    m_mountsRead = true;
    // Each line: id parent major:minor root mount-point options... - type source ...
    const QByteArray table = ReadWholeFile("/proc/self/mountinfo");
    for (const QByteArray& line : table.split('\n')) {
        const qsizetype dash = line.indexOf(" - ");
        if (dash < 0)
            continue;
        const QList<QByteArray> fields = line.left(dash).split(' ');
        const QList<QByteArray> after = line.mid(dash + 3).split(' ');
        if (fields.size() < 5 || after.isEmpty())
            continue;
        if (after.first() != "devtmpfs" && fields.at(4) != "/dev")
            continue;
        const QList<QByteArray> numbers = fields.at(2).split(':');
        if (numbers.size() == 2)
            m_deviceFolders.push_back(DeviceKey(numbers.at(0).toUInt(), numbers.at(1).toUInt()));
    }
}

QLatin1StringView PseudoFileSystems::kindOf(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return {};
    const auto magic = static_cast<quint32>(fs.f_type);
    for (const KernelFileSystem& known : kKernelFileSystems) {
        if (known.magic == magic)
            return QLatin1StringView(known.name);
    }
    if (magic != kTmpfsMagic && magic != kRamfsMagic)
        return {};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return {};
    if (!m_mountsRead)
        readMountTable();
    const quint64 device = DeviceKey(major(st.st_dev), minor(st.st_dev));
    if (std::find(m_deviceFolders.begin(), m_deviceFolders.end(), device) != m_deviceFolders.end())
        return QLatin1StringView("devtmpfs");
    return {};
}

} // namespace tarnwick
