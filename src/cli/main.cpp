// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <cerrno>
#include <cstring>
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

CliCommand* FindCommand(const std::vector<std::unique_ptr<CliCommand>>& commands,
                        const QString& name)
{
    for (const auto& command : commands) {
        if (command->name() == name)
            return command.get();
    }
    return nullptr;
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
    text += QStringLiteral(
        "\n'tarnwick-cli COMMAND --help' or 'tarnwick-cli help COMMAND' tells more about a\n"
        "command; 'tarnwick-cli --version' prints the version and the build. After '--'\n"
        "every word is an argument, even one that starts with '-'.\n"
        "\n"
        "Exit status: 0 done (a run with nothing to copy too), 1 a run counted errors or\n"
        "the command failed (output that could not be written included), 2 a bad\n"
        "argument, 130 or 143 a run stopped by SIGINT (Ctrl+C) or SIGTERM.\n"
        "The manual page tarnwick-cli(1) tells the whole.\n");
    return text;
}

// Whether `--help` or `-h` stands among the options: not after `--`, where
// every word is an argument (a task may be called "--help").
bool AsksForHelp(const QStringList& args)
{
    for (const QString& arg : args) {
        if (arg == u"--")
            return false;
        if (arg == u"--help" || arg == u"-h")
            return true;
    }
    return false;
}

int RunCommandLine(QStringList args)
{
    const auto commands = MakeCommands();

    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        Print(stdout, Overview(commands));
        return kExitOk;
    }
    if (args.first() == QLatin1String("help")) {
        // `help COMMAND` says what `COMMAND --help` says.
        if (args.size() == 1) {
            Print(stdout, Overview(commands));
            return kExitOk;
        }
        if (const CliCommand* command = FindCommand(commands, args.at(1))) {
            Print(stdout, command->help());
            return kExitOk;
        }
        Print(stderr, QStringLiteral("tarnwick-cli help: unknown command '%1' (see tarnwick-cli "
                                     "--help)\n")
                          .arg(args.at(1)));
        return kExitUsage;
    }
    if (args.first() == QLatin1String("--version")) {
        Print(stdout, QStringLiteral("tarnwick-cli %1\n").arg(QLatin1String(tarnwick::kVersionAndBuild)));
        return kExitOk;
    }

    const QString name = args.takeFirst();
    CliCommand* const found = FindCommand(commands, name);
    if (!found) {
        Print(stderr,
              QStringLiteral("tarnwick-cli: unknown command '%1' (see tarnwick-cli --help)\n")
                  .arg(name));
        return kExitUsage;
    }
    CliCommand& command = *found;
    if (AsksForHelp(args)) {
        Print(stdout, command.help());
        return kExitOk;
    }
    try {
        if (command.needsDataFolder())
            tarnwick::PrepareDataFolder();
        return command.run(args);
    } catch (const UsageError& e) {
        Print(stderr, QStringLiteral("tarnwick-cli: %1\n").arg(QString::fromStdString(e.what())));
        return kExitUsage;
    } catch (const RefusedError& e) {
        Print(stderr, QStringLiteral("tarnwick-cli: %1\n").arg(QString::fromStdString(e.what())));
        return kExitFailure;
    } catch (const tarnwick::StoreError& e) {
        QString message = e.message();
        if (e.kind() == tarnwick::StoreError::Kind::NoDatabaseFile)
            message += QStringLiteral("; 'tarnwick-cli init' makes one");
        Print(stderr, QStringLiteral("tarnwick-cli %1: %2\n").arg(name, message));
        return kExitFailure;
    }
}

// What a command printed may still sit in the stream's buffer, and a write
// may have failed on the way (a full disk, /dev/full): a command whose
// output was lost has not done its job, whatever it returned.
int FinishOutput(int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && std::ferror(stdout) == 0)
        return status;
    Print(stderr, QStringLiteral("tarnwick-cli: cannot write to standard output: %1\n")
                      .arg(error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                      : QStringLiteral("write error")));
    std::fflush(stderr);
    return status == kExitOk ? kExitFailure : status;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return FinishOutput(RunCommandLine(app.arguments().mid(1)));
}
