// SPDX-License-Identifier: GPL-3.0-or-later
// The system's mount table, read from the kernel's per-process list, and a
// watcher that wakes when it changes. A drive that is plugged in and mounted
// shows up here before anything is written to it, so a task whose target is
// on that drive can start then instead of at its next schedule.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

namespace tarnwick {

struct MountPoint
{
    qint64 id = -1; // new for every mount, also at a path mounted before
    QString path;   // where it is mounted

    friend bool operator==(const MountPoint&, const MountPoint&) = default;
};

// The mount points of a table in the kernel's mountinfo layout, in its order
// (a later mount at the same path lies over an earlier one). Lines that do
// not parse are left out.
QList<MountPoint> ParseMountTable(const QByteArray& text);

// A mounted file system as the table tells it: where it is mounted, the
// device number the kernel gave it, its type and what it was mounted from
// (a device, an image, a network address, or a mere word such as "tmpfs").
struct MountedFileSystem
{
    QString path;
    quint64 device = 0; // major << 32 | minor
    QString type;       // "ext4", "vfat", "fuseblk", "fuse.sshfs", ...
    QString source;

    friend bool operator==(const MountedFileSystem&, const MountedFileSystem&) = default;
};

// The same table with those fields, in its order.
QList<MountedFileSystem> ParseMountedFileSystems(const QByteArray& text);
// This process's table, read now; empty when it cannot be read.
QList<MountedFileSystem> ReadMountedFileSystems();
// The file system that holds `path` (clean and absolute): the deepest mount
// point at or above it, the later of two at the same place.
std::optional<MountedFileSystem> FileSystemHolding(const QList<MountedFileSystem>& table,
                                                   const QString& path);

// The mount that holds `path`: the deepest mount point at or above it, the
// later one of two at the same place. `path` is a clean absolute path; it
// need not exist (a drive's folder may be made only when it is mounted).
// Empty when no mount point is above it.
std::optional<MountPoint> MountHolding(const QList<MountPoint>& table, const QString& path);

// Reads the table at `file` and tells every change. The kernel marks the
// table's descriptor with an urgent condition when a mount comes or goes;
// reading the table anew through that descriptor clears the mark. Lives on
// the thread that owns it and never blocks it.
class MountWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr char kSystemTable[] = "/proc/self/mountinfo";

    explicit MountWatcher(const QString& file = QString::fromLatin1(kSystemTable),
                          QObject* parent = nullptr);
    ~MountWatcher() override;

    // Whether the table could be opened.
    bool isWatching() const { return m_fd >= 0; }
    // The table as last read.
    const QList<MountPoint>& table() const { return m_table; }

signals:
    void changed(const QList<tarnwick::MountPoint>& table);

private:
    void readTable();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QList<MountPoint> m_table;
};

} // namespace tarnwick
