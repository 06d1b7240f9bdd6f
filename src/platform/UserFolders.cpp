// SPDX-License-Identifier: GPL-3.0-or-later
// Home and XDG base folders.
#include "platform/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace tarnwick {

namespace {

// A session started without HOME (a service manager, `env -i`) still has
// a home in the password database; QDir::homePath() would give "/".
QString PasswordDatabaseHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    struct passwd entry = {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return QString();
    return QFile::decodeName(found->pw_dir);
}

// A home that is not there is not made: a system user's home such as
// /nonexistent must stay missing.
QString ExistingFolder(const QString& path)
{
    return QDir::isAbsolutePath(path) && QFileInfo(path).isDir() ? QDir::cleanPath(path)
                                                                 : QString();
}

} // namespace

QString HomeFolder(const QProcessEnvironment& environment)
{
    const QString home = environment.value(QStringLiteral("HOME"));
    if (QDir::isAbsolutePath(home))
        return ExistingFolder(home);
    return ExistingFolder(PasswordDatabaseHome());
}

QString XdgBaseFolder(const QProcessEnvironment& environment, const QString& variable,
                      const QString& fallbackBelowHome)
{
    const QString base = environment.value(variable);
    if (QDir::isAbsolutePath(base))
        return QDir::cleanPath(base);
    const QString home = HomeFolder(environment);
    if (home.isEmpty())
        return QString();
    return QDir::cleanPath(home + u'/' + fallbackBelowHome);
}

} // namespace tarnwick
