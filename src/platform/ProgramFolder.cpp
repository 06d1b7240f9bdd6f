// SPDX-License-Identifier: GPL-3.0-or-later
// Program folder lookup. /proc/self/exe is used rather than argv[0] so that
// a program started through a link or a relative path still finds its files.
//
// "Installed" is decided by a marker file the install rules write,
// <prefix>/share/tarnwick/installed, found relative to the executable's
// folder, not by a compiled-in prefix or by folder names:
// - relative, so that a tree staged with DESTDIR, a private prefix
//   (~/.local) and the package's /usr are all recognised by the same rule,
//   and an install moved as a whole keeps working;
// - a marker written only by the install, because "<dir>/bin with a
//   <dir>/share/tarnwick beside it" can also be met by a build or copied
//   folder that happens to sit in such a tree (a build folder configured
//   inside a prefix, or next to what an earlier install left), whose
//   Tarnwick.dat beside the executables would then be passed over without
//   a word.
#include "platform/ProgramFolder.h"

#include "platform/UserFolders.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick {

namespace {

QString WithSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

FolderLayout ResolveFolderLayout(const QString& executableFolder,
                                 const QProcessEnvironment& environment)
{
    FolderLayout layout;
    const QString home = environment.value(QStringLiteral("TARNWICK_HOME"));
    if (!home.isEmpty()) {
        layout.resources = layout.data = WithSlash(QDir(home).absolutePath());
        return layout;
    }
    const QString executable = WithSlash(QDir::cleanPath(executableFolder));
    const QFileInfo marker(QDir::cleanPath(executable + QLatin1String(kInstalledMarker)));
    if (!marker.isFile()) {
        layout.resources = layout.data = executable;
        return layout;
    }
    layout.installed = true;
    layout.resources = WithSlash(marker.absolutePath());
    const QString dataHome =
        XdgBaseFolder(environment, QStringLiteral("XDG_DATA_HOME"), QStringLiteral(".local/share"));
    if (!dataHome.isEmpty())
        layout.data = WithSlash(dataHome) + QStringLiteral("Tarnwick/");
    return layout;
}

FolderLayout CurrentFolderLayout()
{
    return ResolveFolderLayout(ExecutableFolder(), QProcessEnvironment::systemEnvironment());
}

QString ExecutableFolder()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return WithSlash(QFileInfo(executable).absolutePath());
}

QString ResourceFolder()
{
    return CurrentFolderLayout().resources;
}

QString LanguageFolder()
{
    return ResourceFolder() + QStringLiteral("Language/");
}

QString HelpFolder()
{
    return ResourceFolder() + QStringLiteral("Help/");
}

QString DataFolder()
{
    return CurrentFolderLayout().data;
}

QString ProgramFolder()
{
    return ResourceFolder();
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString TaskDatabasePath()
{
    return DataFolder() + QStringLiteral("Tarnwick.dat");
}

QString LogFolder()
{
    return DataFolder() + QStringLiteral("Log/");
}

} // namespace tarnwick
