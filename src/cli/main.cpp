// tarnwick-cli: runs tasks and the scheduler without the window. Picks the
// command by its name and turns what it throws into a message and a status.
#include "cli/DaemonCommand.h"
#include "cli/ExportCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/GroupCommand.h"
#include "cli/ImportCommand.h"
#include "cli/InitCommand.h"
#include "cli/ListCommand.h"
#include "cli/RunCommand.h"
#include "cli/TaskCommand.h"
#include "store/FirstStart.h"
#include "store/StoreError.h"

#include "BuildInfo.h"

#include <QCoreApplication>

#include <memory>
#include <vector>

using namespace tarnwick::cli;

namespace {

std::vector<std::unique_ptr<CliCommand>> MakeCommands()
{
    std::vector<std::unique_ptr<CliCommand>> commands;
    commands.push_back(std::make_unique<InitCommand>());
    commands.push_back(std::make_unique<ListCommand>());
    commands.push_back(std::make_unique<TaskCommand>());
    commands.push_back(std::make_unique<GroupCommand>());
    commands.push_back(std::make_unique<RunCommand>());
    commands.push_back(std::make_unique<HistoryCommand>());
    commands.push_back(std::make_unique<DaemonCommand>());
    commands.push_back(std::make_unique<ExportCommand>());
    commands.push_back(std::make_unique<ImportCommand>());
    return commands;
}

QString Overview(const std::vector<std::unique_ptr<CliCommand>>& commands)
{
    QString text = QStringLiteral("Usage: tarnwick-cli COMMAND [ARGUMENTS]\n\n"
                                  "Sets up, shows, runs and schedules Tarnwick's mirror tasks without the\n"
                                  "window.\n\n"
                                  "Commands:\n");
    for (const auto& command : commands)
        text +=
            QStringLiteral("  %1  %2\n").arg(command->name().leftJustified(8), command->summary());
    text += QStringLiteral("\n'tarnwick-cli COMMAND --help' tells more about a command;\n"
                           "'tarnwick-cli --version' prints the version and the build.\n");
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const auto commands = MakeCommands();

    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h") || args.first() == QLatin1String("help")) {
        Print(stdout, Overview(commands));
        return kExitOk;
    }
    if (args.first() == QLatin1String("--version")) {
        Print(stdout, QStringLiteral("tarnwick-cli %1\n").arg(QLatin1String(tarnwick::kVersionAndBuild)));
        return kExitOk;
    }

    const QString name = args.takeFirst();
    for (const auto& command : commands) {
        if (command->name() != name)
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            Print(stdout, command->help());
            return kExitOk;
        }
        try {
            if (command->needsDataFolder())
                tarnwick::PrepareDataFolder();
            return command->run(args);
        } catch (const UsageError& e) {
            Print(stderr,
                  QStringLiteral("tarnwick-cli: %1\n").arg(QString::fromStdString(e.what())));
            return kExitUsage;
        } catch (const RefusedError& e) {
            Print(stderr,
                  QStringLiteral("tarnwick-cli: %1\n").arg(QString::fromStdString(e.what())));
            return kExitFailure;
        } catch (const tarnwick::StoreError& e) {
            QString message = e.message();
            if (e.kind() == tarnwick::StoreError::Kind::NoDatabaseFile)
                message += QStringLiteral("; 'tarnwick-cli init' makes one");
            Print(stderr, QStringLiteral("tarnwick-cli %1: %2\n").arg(name, message));
            return kExitFailure;
        }
    }
    Print(
        stderr,
        QStringLiteral("tarnwick-cli: unknown command '%1' (see tarnwick-cli --help)\n").arg(name));
    return kExitUsage;
}
