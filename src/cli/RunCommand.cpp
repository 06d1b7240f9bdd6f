// Resolves the task, reads the runner's settings and rules, runs the mirror
// and routes each line: every line to stdout (coloured on a terminal), the
// switched-on kinds to the log file. SIGINT and SIGTERM ask the run to stop;
// the file being copied is finished and the summary still comes.
#include "cli/RunCommand.h"

#include "cli/TerminalPrinter.h"

#include "engine/ExcludeRules.h"
#include "engine/FolderMirror.h"
#include "engine/LogFile.h"
#include "engine/LogGate.h"
#include "platform/RunControl.h"
#include "platform/Ticker.h"
#include "schedule/ScheduleRules.h"
#include "store/Settings.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <csignal>
#include <mutex>
#include <cstdio>
#include <stdexcept>

namespace tarnwick::cli {

namespace {

RunControl* g_control = nullptr;

extern "C" void OnStopSignal(int)
{
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

// The task ID for an ID or, when no ID matches, a name.
QString ResolveTask(TaskDatabase& db, const QString& wanted)
{
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectAllTaskRows));
    QStringList byName;
    for (; !query.eof(); query.next()) {
        const QString id = query.text("TaskID");
        if (id == wanted)
            return id;
        if (query.text("TaskName") == wanted)
            byName << id;
    }
    if (byName.isEmpty())
        throw UsageError(QStringLiteral("run: no task with the ID or name '%1'").arg(wanted));
    if (byName.size() > 1)
        throw UsageError(QStringLiteral("run: the name '%1' is ambiguous; task IDs: %2")
                             .arg(wanted, byName.join(QStringLiteral(", "))));
    return byName.first();
}

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
        "Usage: tarnwick-cli run TASK\n"
        "\n"
        "Runs the mirror task TASK (a task ID, or a task name when no ID matches)\n"
        "on this terminal: every line of the run is printed, coloured by kind on a\n"
        "terminal, and the kinds switched on in the options are added to the log\n"
        "file. Ctrl+C stops the run after the file being copied; the summary still\n"
        "follows.\n"
        "\n"
        "Exit status: 0 when the run counted no error, 1 when it did or the\n"
        "settings cannot be read, 2 for a bad argument or an unknown task.\n");
}

int RunCommand::run(const QStringList& args)
{
    if (args.size() != 1)
        throw UsageError(
            QStringLiteral("run: expected one task ID or name (see tarnwick-cli run --help)"));

    TaskDatabase db;
    OpenTaskDatabase(db);
    const QString taskId = ResolveTask(db, args.first());

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
    const ExcludeTest exclude =
        MakeExcludeTest(LoadExcludeRules(db, taskId, &control), &control, clock);

    const LogGate gate(settings);
    LogFile logFile(settings.logFileName);
    TerminalPrinter printer(stdout, false);
    // Lines are written in batches, and at the latest a moment after they
    // were made, even while the run spends minutes on one copy: a line that
    // announces a copy is out before the copy is far along, and a killed run
    // leaves the lines of the files it did copy.
    std::mutex output;
    const auto flushOutput = [&] {
        std::lock_guard lock(output);
        logFile.flush();
        printer.flush();
    };
    const LogSink sink = [&](LogKind kind, const QString& line) {
        std::lock_guard lock(output);
        printer.print(line, gate.colour(kind));
        if (!gate.isOn(kind))
            return;
        logFile.add(line);
        // The few start, finish and error lines go out at once; per-file
        // lines in batches.
        if (kind != LogKind::Copy && kind != LogKind::Skip)
            logFile.flush();
        else if (logFile.pendingBytes() >= kLogBatchBytes)
            logFile.flush();
    };
    const Ticker flushInTime(kLogFlushMs, flushOutput);
    // A schedule that cannot be moved on would run the task again at once:
    // the run fails there, without a summary, as a run on a thread does.
    const AfterWalkStep afterWalk = [&db, &clock](const MirrorJob& job, const QString& start) {
        UpdateAfterRun(db, job.taskId, start, clock);
    };

    MirrorResult result;
    try {
        result = RunMirror(
            taskId, [&db](const QString& id, RunControl& c) { return LoadMirrorJob(db, id, c); },
            exclude, control, sink, afterWalk, clock);
    } catch (...) {
        flushOutput();
        throw;
    }
    flushOutput();
    return result.counters.errors == 0 ? kExitOk : kExitFailure;
}

} // namespace tarnwick::cli
