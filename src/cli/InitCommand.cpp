// Making the program folder's files. An existing database may hold the
// user's tasks, so it is never touched.
#include "cli/InitCommand.h"

#include "platform/ProgramFolder.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick::cli {

QString InitCommand::summary() const
{
    return QStringLiteral("make an empty task database and Log/ in the program folder");
}

QString InitCommand::help() const
{
    return QStringLiteral("Usage: tarnwick-cli init\n"
                          "\n"
                          "Makes Tarnwick.dat (an empty task database) and the Log/ folder in the\n"
                          "program folder when they are missing. An existing Tarnwick.dat is left\n"
                          "as it is and the command fails.\n");
}

int InitCommand::run(const QStringList& args)
{
    ExpectNoArguments(name(), args);
    const QString database = TaskDatabasePath();
    if (QFileInfo::exists(database)) {
        Print(stderr, QStringLiteral("tarnwick-cli init: %1 already exists; nothing was changed\n")
                          .arg(database));
        return kExitFailure;
    }
    if (!QDir().mkpath(LogFolder())) {
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
