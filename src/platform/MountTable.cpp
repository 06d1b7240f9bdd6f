// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MountTable.h"

#include "platform/ReadToEnd.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// Blanks, tabs, line breaks and backslashes in a path come as \ooo.
QString Unescaped(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && code < 256) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}

// The entry of `table` whose mount point is the deepest at or above `path`,
// the later of two at the same place.
template <class Mount>
std::optional<Mount> Holding(const QList<Mount>& table, const QString& path)
{
    std::optional<Mount> holding;
    for (const Mount& mount : table) {
        const bool above = mount.path == u"/" || path == mount.path ||
                           path.startsWith(mount.path + u'/');
        if (above && (!holding || mount.path.size() >= holding->path.size()))
            holding = mount;
    }
    return holding;
}

} // namespace

QList<MountPoint> ParseMountTable(const QByteArray& text)
{
    QList<MountPoint> table;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        bool ok = false;
        const qint64 id = fields.at(0).toLongLong(&ok);
        const QString path = Unescaped(fields.at(4));
        if (!ok || !path.startsWith(u'/'))
            continue;
        table.append({id, path});
    }
    return table;
}

QList<MountedFileSystem> ParseMountedFileSystems(const QByteArray& text)
{
    QList<MountedFileSystem> table;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (fields.size() < 5 || dash < 0 || dash + 2 >= fields.size())
            continue;
        MountedFileSystem mount;
        mount.path = Unescaped(fields.at(4));
        const QList<QByteArray> numbers = fields.at(2).split(':');
        bool majorOk = false;
        bool minorOk = false;
        if (numbers.size() == 2) {
            const quint64 major = numbers.at(0).toULongLong(&majorOk);
            const quint64 minor = numbers.at(1).toULongLong(&minorOk);
            mount.device = (major << 32) | minor;
        }
        if (!majorOk || !minorOk || !mount.path.startsWith(u'/'))
            continue;
        mount.type = Unescaped(fields.at(dash + 1));
        mount.source = Unescaped(fields.at(dash + 2));
        table.append(mount);
    }
    return table;
}

QList<MountedFileSystem> ReadMountedFileSystems()
{
    const int fd = ::open(MountWatcher::kSystemTable, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const QByteArray text = ReadToEnd(fd);
    ::close(fd);
    return ParseMountedFileSystems(text);
}

std::optional<MountedFileSystem> FileSystemHolding(const QList<MountedFileSystem>& table,
                                                   const QString& path)
{
    return Holding(table, path);
}

std::optional<MountPoint> MountHolding(const QList<MountPoint>& table, const QString& path)
{
    return Holding(table, path);
}

MountWatcher::MountWatcher(const QString& file, QObject* parent) : QObject(parent)
{
    m_fd = ::open(file.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    readTable();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        readTable();
        emit changed(m_table);
    });
}

MountWatcher::~MountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void MountWatcher::readTable()
{
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        return;
    m_table = ParseMountTable(ReadToEnd(m_fd));
}

} // namespace tarnwick
