// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the task list grouped as the window's tree shows it: each group
// with its tasks, then the tasks that belong to no stored group; or, for a
// script (and the shell's completion of task names), the same as JSON with
// the members of the task document.
#include "cli/ListCommand.h"

#include "platform/DisplayPath.h"
#include "store/DateTexts.h"
#include "store/RunHistory.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "store/TaskTransfer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace tarnwick::cli {

namespace {

QString Dash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

void PrintTasks(const QList<TaskListRow>& rows, const QHash<QString, RunRecord>& lastRuns)
{
    if (rows.isEmpty()) {
        Print(stdout, QStringLiteral("  (no tasks)\n"));
        return;
    }
    for (const TaskListRow& row : rows) {
        // Stored texts from an older database may hold control characters.
        Print(stdout,
              QStringLiteral("  [%1] %2\n").arg(DisplayText(row.taskId), DisplayText(row.taskName)));
        Print(stdout,
              QStringLiteral("      start: %1   last run: %2   next run: %3\n")
                  .arg(RunModeName(row.runMode), Dash(row.lastRunText), Dash(row.nextRunText)));
        Print(stdout, QStringLiteral("      source: %1\n      target: %2\n")
                          .arg(Dash(DisplayText(row.sourceText)), Dash(DisplayText(row.targetDir))));
        // Only for a task with a kept run: lines of the others stay as they were.
        if (const auto last = lastRuns.constFind(row.taskId); last != lastRuns.cend())
            Print(stdout, QStringLiteral("      last result: %1\n").arg(ResultText(*last)));
    }
}

// A moment as JSON: ISO 8601 with its offset, or null for none.
QJsonValue MomentValue(const QString& storedText)
{
    const QString iso = IsoDateTimeText(storedText);
    return iso.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(iso);
}

int PrintJson(TaskDatabase& db)
{
    QJsonArray groups;
    for (const TaskGroupRow& group : ReadTaskGroups(db))
        groups.append(GroupDocumentObject(group));
    const QHash<QString, RunRecord> lastRuns = LastRuns(db);
    QStringList unreadable;
    QJsonArray tasks;
    for (const TaskListRow& row :
         ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID), &unreadable)) {
        QJsonObject task;
        try {
            task = TaskDocumentObject(LoadTask(db, row.taskId));
        } catch (const StoreError& e) {
            unreadable.append(UnreadableTaskText(row.taskId, e.message()));
            continue;
        }
        task.insert(QStringLiteral("lastRun"), MomentValue(row.lastRunText));
        task.insert(QStringLiteral("nextRun"), MomentValue(row.nextRunText));
        const auto last = lastRuns.constFind(row.taskId);
        task.insert(QStringLiteral("lastResult"), last == lastRuns.cend()
                                                      ? QJsonValue(QJsonValue::Null)
                                                      : QJsonValue(EndingName(last->outcome)));
        tasks.append(task);
    }
    Print(stdout, QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("groups"), groups},
                                                              {QStringLiteral("tasks"), tasks}})
                                        .toJson(QJsonDocument::Indented)));
    for (const QString& text : std::as_const(unreadable))
        Print(stderr, QStringLiteral("tarnwick-cli list: %1\n").arg(text));
    return kExitOk;
}

} // namespace

QString ListCommand::summary() const
{
    return QStringLiteral("show the task groups and tasks with their last and next runs");
}

QString ListCommand::help() const
{
    return QStringLiteral("Usage: tarnwick-cli list [--json]\n"
                          "\n"
                          "Shows every task group with its tasks, then the tasks in no group:\n"
                          "ID, name, start mode, last run, next run, source and target, and\n"
                          "the result of the last kept run (see tarnwick-cli history).\n"
                          "A Tarnwick.dat without write permission is read as it is; nothing\n"
                          "is made beside it.\n"
                          "\n"
                          "  --json    one JSON object: \"groups\" (id, name) and \"tasks\", each\n"
                          "            with the members 'tarnwick-cli export' writes (id, group,\n"
                          "            name, target, start, sources, schedules, rules, ...) and\n"
                          "            lastRun and nextRun (ISO 8601 with the UTC offset, or\n"
                          "            null) and lastResult (as in history --json, or null)\n"
                          "\n"
                          "Exit status: 0 (a task that cannot be read is named on standard\n"
                          "error), 1 the database cannot be read or the output written, 2 a\n"
                          "bad argument.\n");
}

int ListCommand::run(const QStringList& args)
{
    bool json = false;
    for (const QString& arg : args) {
        if (arg != u"--json")
            throw UsageError(QStringLiteral("list: unexpected argument '%1'").arg(arg));
        json = true;
    }
    TaskDatabase db;
    // Listing only reads, so a read-only database is shown all the same.
    OpenTaskDatabase(db, TaskDatabase::OpenFor::Reading);
    if (json)
        return PrintJson(db);

    const QList<TaskGroupRow> groups = ReadTaskGroups(db);
    const QHash<QString, RunRecord> lastRuns = LastRuns(db);
    QSet<QString> grouped;
    QStringList unreadable;
    for (const TaskGroupRow& group : groups) {
        Print(stdout, QStringLiteral("Group %1 [%2]\n")
                          .arg(DisplayText(group.name), DisplayText(group.groupId)));
        const QList<TaskListRow> rows = ReadTaskList(db, group.groupId, &unreadable);
        for (const TaskListRow& row : rows)
            grouped.insert(row.taskId);
        PrintTasks(rows, lastRuns);
    }

    QList<TaskListRow> ungrouped;
    for (const TaskListRow& row :
         ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID), &unreadable)) {
        if (!grouped.contains(row.taskId))
            ungrouped.append(row);
    }
    Print(stdout,
          groups.isEmpty() ? QStringLiteral("All Tasks\n") : QStringLiteral("Not in a group\n"));
    PrintTasks(ungrouped, lastRuns);
    // The rest is shown; what could not be, is told (once: a grouped task
    // is met twice).
    unreadable.removeDuplicates();
    for (const QString& text : std::as_const(unreadable))
        Print(stderr, QStringLiteral("tarnwick-cli list: %1\n").arg(text));
    return kExitOk;
}

} // namespace tarnwick::cli
