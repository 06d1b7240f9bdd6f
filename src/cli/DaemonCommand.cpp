// SPDX-License-Identifier: GPL-3.0-or-later
// Runs scheduled and on-change tasks until SIGINT or SIGTERM. Only one
// Tarnwick (window or daemon) runs the tasks of a program folder at a time:
// a second one leaves at once with status 1, naming the process that holds
// the lock, so that a daemon that did not start is never taken for one that
// runs.
#include "cli/DaemonCommand.h"

#include "cli/CliCommand.h"
#include "cli/Daemon.h"
#include "cli/TerminalPrinter.h"
#include "platform/InstanceLock.h"
#include "platform/SignalNotifier.h"
#include "store/TaskDatabase.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace tarnwick::cli {

namespace {

// "process 1234 (/usr/bin/tarnwick)", as far as the system tells.
QString DescribeHolder()
{
    const auto holder = InstanceLock::holder();
    if (!holder || holder->pid <= 0)
        return QStringLiteral("another process");
    if (holder->program.isEmpty())
        return QStringLiteral("process %1").arg(holder->pid);
    return QStringLiteral("process %1 (%2)").arg(holder->pid).arg(holder->program);
}

} // namespace

QString DaemonCommand::summary() const
{
    return QStringLiteral("run scheduled and on-change tasks until stopped");
}

QString DaemonCommand::help() const
{
    return QStringLiteral("Usage: tarnwick-cli daemon\n"
                          "\n"
                          "Runs the schedule checker and the source change monitor without the\n"
                          "window. Every run prints its lines and appends the switched-on kinds\n"
                          "to the log file. When another Tarnwick already runs for this program\n"
                          "folder, names the process that holds its lock and exits with status 1.\n"
                          "\n"
                          "Signals: SIGHUP reads the stored tasks anew (the task, group and\n"
                          "import commands send it after a change); SIGINT and SIGTERM stop\n"
                          "the watchers and every run (each finishes its current file and writes\n"
                          "its summary, waiting at most 10 seconds), then exit with status 0.\n");
}

int DaemonCommand::run(const QStringList& args)
{
    ExpectNoArguments(name(), args);
    InstanceLock lock;
    switch (lock.tryAcquire()) {
    case InstanceLock::Outcome::Acquired:
        break;
    case InstanceLock::Outcome::HeldElsewhere:
        Print(stderr,
              QStringLiteral("tarnwick-cli daemon: the lock file %1 is held by %2; only one "
                             "Tarnwick runs the tasks of a program folder\n")
                  .arg(InstanceLock::lockFilePath(), DescribeHolder()));
        return kExitFailure;
    case InstanceLock::Outcome::Failed:
        Print(stderr, QStringLiteral("tarnwick-cli daemon: %1\n").arg(lock.error()));
        return kExitFailure;
    }

    TaskDatabase db;
    OpenTaskDatabase(db);

    TerminalPrinter printer(stdout, true);
    Daemon daemon(db, [&printer](LogKind, const QString& line, quint32 colour) {
        printer.print(line, colour);
    });
    SignalNotifier signalNotifier({SIGHUP, SIGINT, SIGTERM});
    // Only now that SIGHUP reads the tasks anew may the command line find
    // this process and send it; the running tasks listed beside it keep
    // `task edit` and `task remove` off them.
    AnnounceRunningTasks(lock, daemon.coordinator());
    QObject::connect(&signalNotifier, &SignalNotifier::received, &daemon, [&daemon](int number) {
        if (number == SIGHUP) {
            daemon.RestartWatchers();
            return;
        }
        daemon.shutdown([](bool allEnded) {
            if (allEnded) {
                QCoreApplication::exit(kExitOk);
                return;
            }
            // A run still busy past the bound would touch what leaving
            // destroys: leave without destructors.
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(kExitOk);
        });
    });
    daemon.start();
    return QCoreApplication::exec();
}

} // namespace tarnwick::cli
