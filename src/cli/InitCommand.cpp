// SPDX-License-Identifier: GPL-3.0-or-later
// Making the program folder's files. An existing database may hold the
// user's tasks, so it is never touched; finding one is no failure, as a
// second `git init` is none: a set-up script may run init every time.
#include "cli/InitCommand.h"

#include "platform/PrivateFolder.h"
#include "platform/ProgramFolder.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick::cli {

QString InitCommand::summary() const
{
    return QStringLiteral("make an empty task database and Log/ in the data folder");
}

QString InitCommand::help() const
{
    return QStringLiteral("Usage: tarnwick-cli init\n"
                          "\n"
                          "Makes Tarnwick.dat (an empty task database) and the Log/ folder when\n"
                          "they are missing: in the program folder (the folder of tarnwick-cli,\n"
                          "or TARNWICK_HOME), or for an installed program in the user's data\n"
                          "folder $XDG_DATA_HOME/Tarnwick/ (~/.local/share/Tarnwick/), which an\n"
                          "installed program also makes by itself at its first start. An existing\n"
                          "Tarnwick.dat is left as it is, nothing else is made, and the command\n"
                          "says so and succeeds.\n"
                          "\n"
                          "Exit status: 0 made or already there, 1 the folder or the database\n"
                          "could not be made, 2 an argument was given.\n");
}

int InitCommand::run(const QStringList& args)
{
    ExpectNoArguments(name(), args);
    const FolderLayout layout = CurrentFolderLayout();
    if (layout.data.isEmpty()) {
        Print(stderr, QStringLiteral("tarnwick-cli init: there is no folder to keep the task "
                                     "database in: XDG_DATA_HOME is not an absolute path and "
                                     "there is no home folder (HOME)\n"));
        return kExitFailure;
    }
    const QString database = TaskDatabasePath();
    if (QFileInfo::exists(database)) {
        Print(stdout, QStringLiteral("%1 already exists; nothing changed\n").arg(database));
        return kExitOk;
    }
    // An installed program's data folder is the user's alone; a program
    // folder keeps the modes it has always had.
    QString error;
    if (layout.installed) {
        if (!MakePrivateFolder(layout.data, &error) || !MakePrivateFolder(LogFolder(), &error)) {
            Print(stderr, QStringLiteral("tarnwick-cli init: %1\n").arg(error));
            return kExitFailure;
        }
    } else if (!QDir().mkpath(LogFolder())) {
        Print(stderr, QStringLiteral("tarnwick-cli init: cannot make %1\n").arg(LogFolder()));
        return kExitFailure;
    }
    try {
        CreateTaskDatabase(database);
    } catch (const StoreError& e) {
        Print(stderr, QStringLiteral("tarnwick-cli init: %1\n").arg(e.message()));
        return kExitFailure;
    }
    Print(stdout, QStringLiteral("Made %1\n").arg(database));
    return kExitOk;
}

} // namespace tarnwick::cli
