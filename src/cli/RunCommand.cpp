// Resolves the task, reads the runner's settings and rules, runs the mirror
// and routes each line: every line to stdout (coloured on a terminal), the
// switched-on kinds to the log file. SIGINT and SIGTERM ask the run to stop;
// the file being copied is finished and the summary still comes.
#include "cli/RunCommand.h"

#include "engine/ExcludeRules.h"
#include "engine/FolderMirror.h"
#include "engine/LogFile.h"
#include "engine/LogGate.h"
#include "engine/RunControl.h"
#include "schedule/ScheduleRules.h"
#include "store/Settings.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <csignal>
#include <cstdio>
#include <sched.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// The runner's priority for this process; refused raises are ignored.
void ApplyPriority(ThreadPriority priority)
{
    int niceValue = 0;
    switch (priority) {
    case ThreadPriority::Idle: {
        struct sched_param param = {};
        ::sched_setscheduler(0, SCHED_IDLE, &param);
        constexpr int kIoprioClassIdle = 3, kIoprioClassShift = 13, kIoprioWhoProcess = 1;
        ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift);
        return;
    }
    case ThreadPriority::Lowest:
        niceValue = 10;
        break;
    case ThreadPriority::Lower:
        niceValue = 5;
        break;
    case ThreadPriority::Normal:
        niceValue = 0;
        break;
    case ThreadPriority::Higher:
        niceValue = -5;
        break;
    case ThreadPriority::Highest:
        niceValue = -10;
        break;
    case ThreadPriority::RealTime:
        niceValue = -20;
        break;
    }
    ::setpriority(PRIO_PROCESS, 0, niceValue);
}

// Lines to stdout through stdio's own buffer; ANSI 24-bit colour only on a
// terminal.
class LinePrinter
{
public:
    LinePrinter() : m_colour(::isatty(STDOUT_FILENO))
    {
        // Fully buffered even on a terminal: a run may print a line per file.
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    }
    void print(const QString& line, quint32 colour)
    {
        m_bytes = line.toUtf8();
        if (m_colour) {
            char prefix[32];
            const int n = std::snprintf(prefix, sizeof prefix, "\x1b[38;2;%u;%u;%um", colour & 0xFF,
                                        (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
            std::fwrite(prefix, 1, static_cast<std::size_t>(n), stdout);
        }
        std::fwrite(m_bytes.constData(), 1, static_cast<std::size_t>(m_bytes.size()), stdout);
        if (m_colour)
            std::fputs("\x1b[0m", stdout);
        std::fputc('\n', stdout);
    }
    bool onTerminal() const { return m_colour; }

private:
    bool m_colour;
    QByteArray m_bytes;
};

constexpr qsizetype kLogBatchBytes = 64 * 1024;

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
    ApplyPriority(settings.priority);

    RunControl control;
    StopSignals stopSignals(control);
    const Clock& clock = Clock::system();
    const ExcludeTest exclude =
        MakeExcludeTest(LoadExcludeRules(db, taskId, &control), &control, clock);

    const LogGate gate(settings);
    LogFile logFile(settings.logFileName);
    LinePrinter printer;
    const LogSink sink = [&](LogKind kind, const QString& line) {
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
    const AfterWalkStep afterWalk = [&db, &clock](const MirrorJob& job, const QString& start) {
        try {
            UpdateAfterRun(db, job.taskId, start, clock);
        } catch (const StoreError& e) {
            std::fflush(stdout);
            Print(stderr, QStringLiteral("tarnwick-cli run: %1\n").arg(e.message()));
        }
    };

    MirrorResult result;
    try {
        result = RunMirror(
            taskId, [&db](const QString& id, RunControl& c) { return LoadMirrorJob(db, id, c); },
            exclude, control, sink, afterWalk, clock);
    } catch (...) {
        logFile.flush();
        std::fflush(stdout);
        throw;
    }
    logFile.flush();
    std::fflush(stdout);
    return result.counters.errors == 0 ? kExitOk : kExitFailure;
}

} // namespace tarnwick::cli
