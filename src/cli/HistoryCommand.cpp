// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the kept runs, newest first, as lines for a person or as JSON for
// a script. Only reads: looking at the history from a terminal does not
// count as the user having seen a failure in the window.
#include "cli/HistoryCommand.h"

#include "cli/ArgumentReader.h"
#include "platform/DisplayPath.h"
#include "store/DateTexts.h"
#include "store/RunHistory.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tarnwick::cli {

namespace {

struct TaskRuns
{
    QString taskId;
    QString taskName;
    QList<RunRecord> runs;
};

QString RunLine(const RunRecord& run)
{
    QString line = QStringLiteral("  %1 - %2  %3  copied %4 files, %5 bytes; skipped %6")
                       .arg(DateTimeText(run.start), TimeText(run.end.time()),
                            ResultText(run).leftJustified(15), QString::number(run.copiedFiles),
                            QString::number(run.copiedBytes), QString::number(run.skippedFiles));
    if (!run.firstError.isEmpty())
        line += QStringLiteral("; first error: ") + DisplayText(run.firstError);
    return line + u'\n';
}

QJsonObject RunObject(const TaskRuns& task, const RunRecord& run)
{
    // Counts as numbers; a byte count beyond 2^53 loses its last digits in
    // a JSON reader, which no run reaches.
    return QJsonObject{
        {QStringLiteral("task"), task.taskId},
        {QStringLiteral("name"), task.taskName},
        // Moments with their offset: a reader elsewhere knows no local zone.
        {QStringLiteral("start"), IsoDateTimeText(run.start)},
        {QStringLiteral("end"), IsoDateTimeText(run.end)},
        {QStringLiteral("result"), EndingName(run.outcome)},
        {QStringLiteral("copiedFiles"), static_cast<double>(run.copiedFiles)},
        {QStringLiteral("copiedBytes"), static_cast<double>(run.copiedBytes)},
        {QStringLiteral("skippedFiles"), static_cast<double>(run.skippedFiles)},
        {QStringLiteral("errors"), static_cast<double>(run.errors)},
        {QStringLiteral("firstError"), run.firstError},
    };
}

} // namespace

QString HistoryCommand::summary() const
{
    return QStringLiteral("show the kept runs of a task, or of every task");
}

QString HistoryCommand::help() const
{
    return QStringLiteral(
        "Usage: tarnwick-cli history [TASK] [--json]\n"
        "\n"
        "Shows the kept runs of TASK (an ID, or a name when no ID matches), or of\n"
        "every task, newest first: start and end, the result (OK, N errors,\n"
        "Stopped, Could not start), files and bytes copied, files skipped and\n"
        "the first error. The newest 100 runs of each task are kept; runs of\n"
        "the window, the daemon and 'tarnwick-cli run' alike.\n"
        "\n"
        "  --json    one JSON array of runs: task, name, start, end (ISO 8601 with\n"
        "            the UTC offset, as 2026-12-11T08:36:54+01:00), result\n"
        "            (succeeded, with errors, stopped, could not start),\n"
        "            copiedFiles, copiedBytes, skippedFiles, errors, firstError\n"
        "\n"
        "Exit status: 0, 1 the database cannot be read or the output written, 2 a\n"
        "bad argument or an unknown task.\n");
}

int HistoryCommand::run(const QStringList& args)
{
    ArgumentReader reader(name(), args);
    QStringList words;
    bool json = false;
    while (reader.next()) {
        if (!reader.isOption()) {
            words << reader.word();
            continue;
        }
        if (reader.option() == u"--json")
            json = true;
        else
            reader.refuse();
        reader.noValue();
    }
    if (words.size() > 1)
        throw UsageError(QStringLiteral(
            "history: expected at most one task ID or name (see tarnwick-cli history --help)"));

    TaskDatabase db;
    OpenTaskDatabase(db, TaskDatabase::OpenFor::Reading);
    QList<TaskRuns> tasks;
    QStringList unreadable;
    const QList<TaskListRow> rows =
        ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID), &unreadable);
    const QString only = words.isEmpty() ? QString() : ResolveTaskId(db, words.first(), name());
    for (const TaskListRow& row : rows) {
        if (only.isEmpty() || row.taskId == only)
            tasks.append({row.taskId, row.taskName, TaskHistory(db, row.taskId)});
    }

    if (json) {
        QJsonArray runs;
        for (const TaskRuns& task : std::as_const(tasks)) {
            for (const RunRecord& run : task.runs)
                runs.append(RunObject(task, run));
        }
        Print(stdout, QString::fromUtf8(QJsonDocument(runs).toJson(QJsonDocument::Indented)));
        return kExitOk;
    }
    for (const TaskRuns& task : std::as_const(tasks)) {
        Print(stdout, QStringLiteral("[%1] %2\n")
                          .arg(DisplayText(task.taskId), DisplayText(task.taskName)));
        if (task.runs.isEmpty())
            Print(stdout, QStringLiteral("  (no runs kept)\n"));
        for (const RunRecord& run : task.runs)
            Print(stdout, RunLine(run));
    }
    return kExitOk;
}

} // namespace tarnwick::cli
