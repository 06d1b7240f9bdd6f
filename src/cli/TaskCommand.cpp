// SPDX-License-Identifier: GPL-3.0-or-later
// The task subcommands. Every change is checked with ValidateTask and
// written with SaveTask or deleteTask in one transaction, and the running
// instance is then told to read the tasks anew.
#include "cli/TaskCommand.h"

#include "cli/ArgumentReader.h"
#include "cli/TaskOptions.h"
#include "engine/ExcludeRules.h"
#include "platform/DisplayPath.h"
#include "store/ScheduleRules.h"
#include "store/Identifiers.h"
#include "store/TaskChecks.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "store/DateTexts.h"
#include "store/TaskOptionValues.h"
#include "store/TaskTransfer.h"
#include "store/TaskWriter.h"

#include <QJsonDocument>

namespace tarnwick::cli {

namespace {

// The one plain word a subcommand takes (the name or the task).
QString OneWord(const QStringList& words, const QString& command, const QString& what)
{
    if (words.size() != 1)
        throw UsageError(
            QStringLiteral("%1: expected %2 (see tarnwick-cli task --help)").arg(command, what));
    return words.first();
}

QString GroupText(TaskDatabase& db, const QString& groupId)
{
    if (groupId == QLatin1StringView(kAllTaskGroupID))
        return QStringLiteral("none");
    for (const TaskGroupRow& group : ReadTaskGroups(db)) {
        if (group.groupId == groupId)
            return QStringLiteral("%1 [%2]").arg(DisplayText(group.name), DisplayText(groupId));
    }
    return QStringLiteral("[%1] (deleted; shown under All Tasks)").arg(DisplayText(groupId));
}

// Lines after the first are indented under a label.
void PrintList(const QString& label, const QStringList& lines)
{
    const QString pad = QString(label.size(), u' ');
    for (qsizetype i = 0; i < lines.size(); ++i)
        Print(stdout, (i == 0 ? label : pad) + lines.at(i) + u'\n');
}

// Allowed, but most likely a slip of the user's.
void WarnOfOverlap(const TaskRecord& task, const QString& command)
{
    if (const std::optional<QString> warning = TargetOverlapWarning(task))
        Print(stderr, QStringLiteral("%1: warning: %2\n").arg(command, *warning));
}

} // namespace

QString TaskCommand::summary() const
{
    return QStringLiteral("add, show, edit or remove a task");
}

QString TaskCommand::help() const
{
    return QStringLiteral(
               "Usage: tarnwick-cli task add NAME --target DIR --source DIR [OPTIONS]\n"
               "       tarnwick-cli task show TASK [--json]\n"
               "       tarnwick-cli task edit TASK [--name NAME] [OPTIONS]\n"
               "       tarnwick-cli task remove TASK\n"
               "\n"
               "TASK is a task ID, or a task name when no ID matches. 'add' prints the new\n"
               "task's ID. 'edit' replaces what its options give: any --source or\n"
               "--no-subfolders gives the whole source list, any start mode option the whole\n"
               "start mode, any exclude option the whole rule list. 'edit' and 'remove'\n"
               "refuse a task that is running in the Tarnwick window or daemon. After a change\n"
               "the running window or daemon reads the tasks anew.\n"
               "\n"
               "'show --json' prints the task as one JSON object with the members\n"
               "'tarnwick-cli export' writes for it, and lastRun and nextRun (ISO 8601\n"
               "with the UTC offset, or null).\n"
               "\n") +
           TaskOptionsHelp() +
           QStringLiteral("\n"
                          "Exit status: 0 done, 1 refused or the database failed, 2 bad input\n"
                          "(with the task editor's message, like \"Target is empty!\").\n");
}

int TaskCommand::run(const QStringList& args)
{
    if (args.isEmpty())
        throw UsageError(QStringLiteral(
            "task: expected add, show, edit or remove (see tarnwick-cli task --help)"));
    const QString sub = args.first();
    const QStringList rest = args.mid(1);
    if (sub == u"add")
        return add(rest);
    if (sub == u"show")
        return show(rest);
    if (sub == u"edit")
        return edit(rest);
    if (sub == u"remove")
        return remove(rest);
    throw UsageError(
        QStringLiteral("task: unknown subcommand '%1' (see tarnwick-cli task --help)").arg(sub));
}

int TaskCommand::add(const QStringList& args)
{
    const QString command = QStringLiteral("task add");
    ArgumentReader reader(command, args);
    QStringList words;
    const TaskChanges changes = ReadTaskOptions(reader, false, m_clock, words);
    const QString name = OneWord(words, command, QStringLiteral("one task name"));

    TaskRecord task;
    changes.applyTo(task);
    task.name = name;
    // Checked before the database is opened: bad input is told as such
    // even where no database is.
    if (const auto failure = ValidateTask(task))
        throw UsageError(QStringLiteral("%1: %2").arg(command, failure->message));
    WarnOfOverlap(task, command);

    TaskDatabase db;
    OpenTaskDatabase(db);
    if (changes.group)
        task.groupId = ResolveGroupId(db, *changes.group, command);
    task.taskId = NewTaskID(db, m_clock);
    SaveTask(db, task, TaskSaveMode::New, m_clock);
    Print(stdout, task.taskId + u'\n');
    NotifyRunningInstance();
    return kExitOk;
}

int TaskCommand::show(const QStringList& args)
{
    const QString command = QStringLiteral("task show");
    ArgumentReader reader(command, args);
    QStringList words;
    bool json = false;
    while (reader.next()) {
        if (!reader.isOption()) {
            words << reader.word();
            continue;
        }
        if (reader.option() != u"--json")
            reader.refuse();
        reader.noValue();
        json = true;
    }
    const QString wanted = OneWord(words, command, QStringLiteral("one task ID or name"));

    TaskDatabase db;
    OpenTaskDatabase(db, TaskDatabase::OpenFor::Reading);
    const QString taskId = ResolveTaskId(db, wanted, command);
    const TaskRecord task = LoadTask(db, taskId);

    if (json) {
        QJsonObject object = TaskDocumentObject(task);
        for (const auto& [key, stored] :
             {std::pair{QStringLiteral("lastRun"), LastRunCellText(db, taskId)},
              std::pair{QStringLiteral("nextRun"), NextRunCellText(db, taskId)}}) {
            const QString iso = IsoDateTimeText(stored);
            object.insert(key, iso.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(iso));
        }
        Print(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
        return kExitOk;
    }

    // Stored texts from an older database may hold control characters.
    Print(stdout,
          QStringLiteral("Task %1 [%2]\n").arg(DisplayText(task.name), DisplayText(task.taskId)));
    Print(stdout, QStringLiteral("  group:    %1\n").arg(GroupText(db, task.groupId)));
    Print(stdout, QStringLiteral("  target:   %1\n").arg(DisplayText(task.targetDir)));
    QStringList sources;
    for (const TaskSource& source : task.sources)
        sources << DisplayText(source.path) + (source.includeSubfolders ? QStringLiteral("  (with subfolders)")
                                                           : QStringLiteral("  (no subfolders)"));
    if (sources.isEmpty())
        sources << QStringLiteral("-");
    PrintList(QStringLiteral("  sources:  "), sources);
    Print(stdout, QStringLiteral("  start:    %1\n").arg(RunModeName(task.runMode)));
    if (task.runMode == TaskRunMode::Scheduled) {
        QStringList entries;
        for (const TaskScheduleItem& item : task.schedules)
            entries << DescribeStoredEntry(item.entry, item.nextRunText);
        if (entries.isEmpty())
            entries << QStringLiteral("-");
        PrintList(QStringLiteral("  schedule: "), entries);
    }
    QStringList rules;
    for (const ExcludeRule& rule : task.rules)
        rules << DescribeStoredRule(rule);
    if (!task.excludeMode || rules.isEmpty())
        rules = QStringList{QStringLiteral("Include all files")};
    PrintList(QStringLiteral("  filter:   "), rules);
    Print(stdout,
          QStringLiteral("  versions: %1\n")
              .arg(task.extras.keepVersions == 0
                       ? QStringLiteral("off")
                       : QStringLiteral("%1 kept in %2")
                             .arg(task.extras.keepVersions)
                             .arg(DisplayText(VersionsFolderPath(task.targetDir,
                                                                 task.extras.versionsFolder)))));
    Print(stdout, QStringLiteral("  at once:  %1\n")
                      .arg(task.extras.parallel == 0 ? QStringLiteral("chosen by the target")
                                                     : QString::number(task.extras.parallel)));
    Print(stdout, QStringLiteral("  when target appears: %1\n")
                      .arg(task.extras.whenTargetAppears ? QStringLiteral("run")
                                                         : QStringLiteral("no")));
    Print(stdout, QStringLiteral("  on change: %1\n")
                      .arg(task.extras.fullWalkAlways
                               ? QStringLiteral("on-change runs walk every folder")
                               : QStringLiteral("on-change runs look at changed folders only")));
    const QString lastRun = LastRunCellText(db, taskId);
    const QString nextRun = NextRunCellText(db, taskId);
    Print(
        stdout,
        QStringLiteral("  last run: %1\n").arg(lastRun.isEmpty() ? QStringLiteral("-") : lastRun));
    Print(
        stdout,
        QStringLiteral("  next run: %1\n").arg(nextRun.isEmpty() ? QStringLiteral("-") : nextRun));
    return kExitOk;
}

int TaskCommand::edit(const QStringList& args)
{
    const QString command = QStringLiteral("task edit");
    ArgumentReader reader(command, args);
    QStringList words;
    const TaskChanges changes = ReadTaskOptions(reader, true, m_clock, words);
    const QString wanted = OneWord(words, command, QStringLiteral("one task ID or name"));

    TaskDatabase db;
    OpenTaskDatabase(db);
    const QString taskId = ResolveTaskId(db, wanted, command);
    TaskRecord task = LoadTask(db, taskId);
    RefuseWhileRunning(taskId, task.name, command);
    changes.applyTo(task);
    if (changes.group)
        task.groupId = ResolveGroupId(db, *changes.group, command);
    if (const auto failure = ValidateTask(task))
        throw UsageError(QStringLiteral("%1: %2").arg(command, failure->message));
    WarnOfOverlap(task, command);
    SaveTask(db, task, TaskSaveMode::Edit, m_clock);
    NotifyRunningInstance();
    return kExitOk;
}

int TaskCommand::remove(const QStringList& args)
{
    const QString command = QStringLiteral("task remove");
    const QStringList words = ArgumentReader::plainWords(command, args);
    const QString wanted = OneWord(words, command, QStringLiteral("one task ID or name"));

    TaskDatabase db;
    OpenTaskDatabase(db);
    const QString taskId = ResolveTaskId(db, wanted, command);
    RefuseWhileRunning(taskId, LoadTask(db, taskId).name, command);
    DeleteTask(db, taskId);
    NotifyRunningInstance();
    return kExitOk;
}

} // namespace tarnwick::cli
