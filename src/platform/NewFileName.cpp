// SPDX-License-Identifier: GPL-3.0-or-later
// Rename without replacing.
#include "platform/NewFileName.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

NewFileName GiveNewFileName(const QString& from, const QString& to, QString* error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) == 0)
        return NewFileName::Given;
    int why = errno;
    if (why == EEXIST)
        return NewFileName::Taken;
    // File systems without RENAME_NOREPLACE (some network and FUSE ones)
    // still refuse a hard link to a name that is taken.
    if (why == EINVAL || why == ENOSYS || why == EOPNOTSUPP) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return NewFileName::Given;
        }
        why = errno;
        if (why == EEXIST)
            return NewFileName::Taken;
    }
    if (error)
        *error = QStringLiteral("Cannot rename %1 to %2: %3")
                     .arg(from, to, QString::fromLocal8Bit(std::strerror(why)));
    return NewFileName::Failed;
}

} // namespace tarnwick
