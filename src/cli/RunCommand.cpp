// SPDX-License-Identifier: GPL-3.0-or-later
// Resolves the task, reads the runner's settings and rules, runs the mirror
// and routes each line: error lines to stderr and every other line to
// stdout, as rsync splits them (coloured on a terminal), the switched-on
// kinds to the log file. SIGINT and SIGTERM ask the run to stop;
// the file being copied is finished and the summary still comes. A dry run
// is the same walk told not to write: the same lines and counts, no copy,
// no folder, no schedule row, no log file lines.
#include "cli/RunCommand.h"

#include "cli/ArgumentReader.h"
#include "cli/ProgressLine.h"
#include "cli/TerminalPrinter.h"
#include "engine/LogFile.h"
#include "engine/LogGate.h"
#include "engine/RunEnding.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "platform/RunControl.h"
#include "platform/Ticker.h"
#include "store/Settings.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <csignal>
#include <mutex>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tarnwick::cli {

namespace {

RunControl* g_control = nullptr;
// The signal that stopped the run, for its exit status (128 + the signal).
volatile sig_atomic_t g_stoppedBy = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stoppedBy = signal;
    if (g_control)
        g_control->requestStopFromSignal();
}

class StopSignals
{
public:
    explicit StopSignals(RunControl& control)
    {
        g_control = &control;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~StopSignals()
    {
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_control = nullptr;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};

constexpr qsizetype kLogBatchBytes = 64 * 1024;
// How long a made line may wait for its batch.
constexpr int kLogFlushMs = 100;

} // namespace

QString RunCommand::summary() const
{
    return QStringLiteral("run a task now and print its lines");
}

QString RunCommand::help() const
{
    return QStringLiteral(
        "Usage: tarnwick-cli run [--dry-run] [--quiet] [--progress] [--wait]\n"
        "                        [--color=WHEN] TASK\n"
        "\n"
        "Runs the mirror task TASK (a task ID, or a task name when no ID matches)\n"
        "on this terminal: every line of the run is printed, coloured by kind on a\n"
        "terminal, and the kinds switched on in the options are added to the log\n"
        "file. The error lines (\"Error: ...\" and a status line that counts\n"
        "errors or says the run was stopped) go to standard error, every other line\n"
        "to standard output; the log file keeps them all in one. Ctrl+C stops the\n"
        "run after the file being copied; the summary still follows.\n"
        "\n"
        "  -n, --dry-run   decide every file and print the lines and the summary a\n"
        "                  real run would, copying nothing, making no folder and\n"
        "                  changing no schedule or log file\n"
        "  -q, --quiet     print only errors and the summary (the log file still\n"
        "                  gets what the options switch on)\n"
        "  --progress      on a terminal, keep one line on standard error with the\n"
        "                  files and bytes copied of those to copy, the rate and the\n"
        "                  file being copied; nothing when standard error is no\n"
        "                  terminal\n"
        "  --wait          when another process (the window, the daemon, another\n"
        "                  tarnwick-cli run) runs the task, wait for its end; without\n"
        "                  it the run does not start and the exit status is 1\n"
        "  --color=WHEN    colour the lines by kind: auto (the default: on a\n"
        "                  terminal, unless NO_COLOR is set or TERM is dumb),\n"
        "                  always or never\n"
        "\n"
        "Exit status: 0 when the run counted no error (also when there was nothing\n"
        "to copy), 1 when it did, the settings cannot be read or the lines could not\n"
        "be written, 2 for a bad argument or an unknown task, 130 or 143 when Ctrl+C\n"
        "(SIGINT) or SIGTERM stopped it: a stopped run is incomplete, and its status\n"
        "line says \"Mirror Stopped!!\".\n");
}

int RunCommand::run(const QStringList& args)
{
    ArgumentReader reader(name(), args);
    QStringList words;
    bool dryRun = false;
    bool quiet = false;
    bool progress = false;
    bool wait = false;
    ColourChoice colour = ColourChoice::Auto;
    while (reader.next()) {
        if (!reader.isOption()) {
            words << reader.word();
            continue;
        }
        const QString option = reader.option();
        if (option == u"--color" || option == u"--colour") {
            const QString when = reader.value();
            const std::optional<ColourChoice> choice = ParseColourChoice(when);
            if (!choice)
                throw UsageError(QStringLiteral("run: --color takes auto, always or never, "
                                                "not '%1'")
                                     .arg(when));
            colour = *choice;
            continue;
        }
        if (option == u"--dry-run" || option == u"-n")
            dryRun = true;
        else if (option == u"--quiet" || option == u"-q")
            quiet = true;
        else if (option == u"--progress")
            progress = true;
        else if (option == u"--wait")
            wait = true;
        else
            reader.refuse();
        reader.noValue();
    }
    if (words.size() != 1)
        throw UsageError(
            QStringLiteral("run: expected one task ID or name (see tarnwick-cli run --help)"));

    TaskDatabase db;
    // A dry run changes nothing, so a read-only database does for it.
    OpenTaskDatabase(db, dryRun ? TaskDatabase::OpenFor::Reading : TaskDatabase::OpenFor::Changes);
    const QString taskId = ResolveTaskId(db, words.first(), name());

    RunnerSettings settings;
    try {
        settings = ReadRunnerSettings();
    } catch (const std::runtime_error& e) {
        Print(stderr, QStringLiteral("tarnwick-cli run: %1\n").arg(QString::fromUtf8(e.what())));
        return kExitFailure;
    }
    ApplyThreadPriority(settings.priority);

    RunControl control;
    StopSignals stopSignals(control);
    const Clock& clock = Clock::system();

    ProgressLine progressLine(stderr);
    MirrorOptions options;
    options.mode = dryRun ? MirrorMode::DryRun : MirrorMode::Copy;
    // One run of a task at a time, whichever process starts it.
    options.runLockFolder = DataFolder();
    options.waitForOtherRun = wait;
    const bool showProgress = progress && !dryRun && progressLine.shown();
    if (showProgress) {
        // What there is to copy is learnt from a dry walk first.
        MirrorOptions count;
        count.mode = MirrorMode::DryRun;
        TaskRunHooks counting;
        counting.withStore = [&db](const std::function<void(TaskDatabase&)>& step) { step(db); };
        counting.sink = [](LogKind, const QString&) {};
        const MirrorResult planned = RunTask(taskId, counting, control, clock, count).result;
        progressLine.setTotals(planned.counters.mirroredFiles, planned.counters.mirroredBytes);
    }

    const LogGate gate(settings);
    LogFile logFile(settings.logFileName);
    TerminalPrinter printer(stdout, false, colour);
    // Few lines, each out at once, after what stdout holds: on a terminal
    // that shows both streams the lines stay in the order they were made.
    TerminalPrinter errorPrinter(stderr, true, colour);
    // Lines are written in batches, and at the latest a moment after they
    // were made, even while the run spends minutes on one copy: a line that
    // announces a copy is out before the copy is far along, and a killed run
    // leaves the lines of the files it did copy.
    std::mutex output;
    // Called with `output` held, after each write of the log: a loss is told
    // once, on standard error, where a script sees it.
    const auto tellLogLoss = [&] {
        const QString lost = logFile.takeProblem();
        if (lost.isEmpty())
            return;
        if (showProgress)
            progressLine.clear();
        printer.flush();
        Print(stderr, QStringLiteral("tarnwick-cli run: %1\n").arg(lost));
    };
    const auto flushOutput = [&] {
        std::lock_guard lock(output);
        logFile.flush();
        tellLogLoss();
        printer.flush();
        if (showProgress)
            progressLine.draw();
    };
    const LogSink sink = [&](LogKind kind, const QString& line) {
        std::lock_guard lock(output);
        if (kind == LogKind::Error || kind == LogKind::ErrorStatus) {
            if (showProgress)
                progressLine.clear();
            printer.flush();
            errorPrinter.print(line, gate.colour(kind));
        } else if (!quiet || (kind != LogKind::Copy && kind != LogKind::Skip)) {
            if (showProgress)
                progressLine.clear();
            printer.print(line, gate.colour(kind));
        }
        if (dryRun || !gate.isOn(kind))
            return;
        logFile.add(line);
        // The few start, finish and error lines go out at once; per-file
        // lines in batches.
        if (kind != LogKind::Copy && kind != LogKind::Skip)
            logFile.flush();
        else if (logFile.pendingBytes() >= kLogBatchBytes)
            logFile.flush();
        tellLogLoss();
    };
    if (showProgress) {
        options.progress = [&](const QString& path, quint64 size, bool done, bool) {
            std::lock_guard lock(output);
            if (done)
                progressLine.copyEnded(size);
            else
                progressLine.copyStarted(path);
        };
    }
    const Ticker flushInTime(kLogFlushMs, flushOutput);
    // The command line owns its database: a step reaches it at once.
    TaskRunHooks hooks;
    hooks.withStore = [&db](const std::function<void(TaskDatabase&)>& step) { step(db); };
    hooks.sink = sink;
    hooks.logLost = [&] {
        flushOutput();
        return logFile.lost();
    };

    TaskRunOutcome outcome;
    const auto finishOutput = [&] {
        flushOutput();
        std::lock_guard lock(output);
        progressLine.clear();
    };
    try {
        outcome = RunTask(taskId, hooks, control, clock, options);
    } catch (...) {
        finishOutput();
        throw;
    }
    finishOutput();
    const MirrorResult& result = outcome.result;
    if (outcome.notKept)
        Print(stderr, QStringLiteral("tarnwick-cli run: the run's result was not kept: %1\n")
                          .arg(*outcome.notKept));
    // Lines that never reached standard output: the run's report is not
    // what its caller was given.
    if (const int error = printer.writeError(); error != 0)
        Print(stderr, QStringLiteral("tarnwick-cli run: cannot write to standard output: %1\n")
                          .arg(QString::fromLocal8Bit(std::strerror(error))));
    if (const int signal = g_stoppedBy; signal != 0) {
        Print(stderr, QStringLiteral("tarnwick-cli run: stopped by %1; the target is not "
                                     "complete\n")
                          .arg(signal == SIGINT ? QStringLiteral("SIGINT (Ctrl+C)")
                                                : QStringLiteral("SIGTERM")));
        return 128 + signal;
    }
    return result.counters.errors == 0 && printer.writeError() == 0 ? kExitOk : kExitFailure;
}

} // namespace tarnwick::cli
