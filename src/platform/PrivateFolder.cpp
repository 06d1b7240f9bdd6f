// SPDX-License-Identifier: GPL-3.0-or-later
// Private folder creation, level by level with mkdir(2), since QDir::mkpath
// leaves the mode to the umask (usually 0755).
#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tarnwick {

namespace {

bool IsFolder(const QByteArray& path)
{
    struct stat status = {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool MakePrivateFolder(const QString& path, QString* error)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    // The missing levels, from the top down.
    QStringList missing;
    for (QString level = clean; !IsFolder(QFile::encodeName(level));) {
        missing.prepend(level);
        const QString parent = QDir::cleanPath(level + QStringLiteral("/.."));
        if (parent == level)
            break;
        level = parent;
    }
    for (const QString& level : std::as_const(missing)) {
        const QByteArray native = QFile::encodeName(level);
        // EEXIST: another process made it meanwhile, or something other
        // than a folder is in the way, which the check below tells apart.
        if (::mkdir(native.constData(), 0700) == 0 || (errno == EEXIST && IsFolder(native)))
            continue;
        const int why = errno == EEXIST ? ENOTDIR : errno;
        if (error)
            *error = QStringLiteral("Cannot make the folder %1: %2").arg(level, Reason(why));
        return false;
    }
    return true;
}

} // namespace tarnwick
