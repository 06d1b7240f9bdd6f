// Runs scheduled and on-change tasks until SIGINT or SIGTERM. Only one
// Tarnwick (window or daemon) runs tasks at a time: a second one leaves at
// once, quietly, so it can be started from a login script or a timer.
#include "cli/DaemonCommand.h"

#include "cli/Daemon.h"
#include "cli/TerminalPrinter.h"
#include "platform/InstanceLock.h"
#include "platform/SignalNotifier.h"
#include "store/TaskDatabase.h"

#include <QCoreApplication>

#include <csignal>

namespace tarnwick::cli {

namespace {
constexpr int kShutdownWaitMs = 10000;
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
                          "to the log file. When another Tarnwick already runs, exits at once\n"
                          "with status 0.\n"
                          "\n"
                          "Signals: SIGHUP reads the stored tasks anew; SIGINT and SIGTERM stop\n"
                          "the watchers and every run (each finishes its current file and writes\n"
                          "its summary, waiting at most 10 seconds), then exit with status 0.\n");
}

int DaemonCommand::run(const QStringList& args)
{
    ExpectNoArguments(name(), args);
    InstanceLock lock;
    if (!lock.tryAcquire())
        return kExitOk;

    TaskDatabase db;
    OpenTaskDatabase(db);

    TerminalPrinter printer(stdout, true);
    Daemon daemon(db, [&printer](LogKind, const QString& line, quint32 colour) {
        printer.print(line, colour);
    });
    SignalNotifier signalNotifier({SIGHUP, SIGINT, SIGTERM});
    QObject::connect(&signalNotifier, &SignalNotifier::received, &daemon, [&daemon](int number) {
        if (number == SIGHUP) {
            daemon.RestartWatchers();
            return;
        }
        daemon.shutdown(kShutdownWaitMs, [] { QCoreApplication::exit(kExitOk); });
    });
    daemon.start();
    return QCoreApplication::exec();
}

} // namespace tarnwick::cli
