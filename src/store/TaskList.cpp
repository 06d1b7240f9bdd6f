// SPDX-License-Identifier: GPL-3.0-or-later
// Task list rows read with the catalogue's list statements.
#include "store/TaskList.h"

#include "store/DateTexts.h"
#include "store/RunHistory.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <array>

namespace tarnwick {

namespace {

// A date-time column as the list shows it: empty for NULL.
QString DateTimeCell(const TaskQuery& query, const char* column)
{
    if (query.eof() || query.isNull(column))
        return QString();
    return DateTimeText(query.dateTime(column));
}

} // namespace

namespace {
constexpr std::array<const char*, 3> kRunModeNames{"manual", "on-change", "scheduled"};
} // namespace

QString RunModeName(qint64 mode)
{
    if (mode >= 0 && mode < qint64(kRunModeNames.size()))
        return QString::fromLatin1(kRunModeNames[std::size_t(mode)]);
    return QStringLiteral("unknown (%1)").arg(mode);
}

std::optional<TaskRunMode> RunModeFromName(const QString& name)
{
    for (std::size_t i = 0; i < kRunModeNames.size(); ++i) {
        if (name == QLatin1StringView(kRunModeNames[i]))
            return static_cast<TaskRunMode>(i);
    }
    return std::nullopt;
}

QList<TaskGroupRow> ReadTaskGroups(TaskDatabase& db)
{
    QList<TaskGroupRow> groups;
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectGroups));
    for (; !query.eof(); query.next())
        groups.append({query.text("TaskGroupID"), query.text("Name")});
    return groups;
}

QString LastRunCellText(TaskDatabase& db, const QString& taskId)
{
    TaskQuery query(db);
    RunQuery(query, FillStatement(sql::SelectLastRunTime, {taskId}));
    return DateTimeCell(query, "LastRunTime");
}

QString NextRunCellTextFor(TaskDatabase& db, const QString& taskId, qint64 runMode,
                           const char* minStatement)
{
    switch (runMode) {
    case qint64(TaskRunMode::Manual):
        return QString::fromLatin1(kManuallyText);
    case qint64(TaskRunMode::OnSourceChange):
        return QString::fromLatin1(kOnChangeText);
    case qint64(TaskRunMode::Scheduled): {
        TaskQuery query(db);
        RunQuery(query, FillStatement(minStatement, {taskId}));
        return DateTimeCell(query, "NextRunTime");
    }
    default:
        return QString();
    }
}

QString UnreadableTaskText(const QString& taskId, const QString& why)
{
    return QStringLiteral("The task %1 cannot be read (%2); it is left out.").arg(taskId, why);
}

QList<TaskListRow> ReadTaskList(TaskDatabase& db, const QString& groupId, QStringList* unreadable)
{
    TaskQuery tasks(db);
    if (groupId == QLatin1String(kAllTaskGroupID))
        RunQuery(tasks, QString::fromLatin1(sql::SelectAllTaskRows));
    else
        RunQuery(tasks, FillStatement(sql::SelectGroupTaskRows, {groupId.trimmed()}));

    // The stored last run time is also when the task was last saved: a run
    // kept in the history is the one that really happened.
    const QHash<QString, RunRecord> lastRuns = LastRuns(db);
    QList<TaskListRow> rows;
    for (; !tasks.eof(); tasks.next()) {
        TaskListRow row;
        row.taskId = tasks.text("TaskID");
        try {
            row.taskName = tasks.text("TaskName");
            row.runMode = tasks.integer("ScheduleType");
            row.sourceText = tasks.text("SourceDir");
            row.targetDir = tasks.text("TargetDir");
            const auto run = lastRuns.constFind(row.taskId);
            row.lastRunText = run != lastRuns.cend() && run->outcome != RunEnding::NotStarted
                                  ? DateTimeText(run->start)
                                  : LastRunCellText(db, row.taskId);
            row.nextRunText =
                NextRunCellTextFor(db, row.taskId, row.runMode, sql::SelectNextRunTime);
        } catch (const StoreError& e) {
            if (unreadable)
                unreadable->append(UnreadableTaskText(row.taskId, e.message()));
            continue;
        }
        rows.append(row);
    }
    return rows;
}

QList<WatchedTask> ReadWatchedTasks(TaskDatabase& db, const std::function<bool()>& stop)
{
    QList<WatchedTask> tasks;
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectWatchedTasks));
    for (; !query.eof() && !(stop && stop()); query.next())
        tasks.append({query.text("TaskID"), {}, {}});
    for (WatchedTask& task : tasks) {
        RunQuery(query, FillStatement(sql::SelectWatchedFolders, {task.taskId}));
        for (; !query.eof(); query.next())
            task.folders << query.text("SourceDir");
        RunQuery(query, FillStatement(sql::SelectTaskForRun, {task.taskId}));
        if (!query.eof())
            task.targetDir = query.text("TargetDir");
    }
    return tasks;
}

QList<std::pair<QString, QString>> ReadTaskNames(TaskDatabase& db)
{
    QList<std::pair<QString, QString>> names;
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectAllTaskRows));
    for (; !query.eof(); query.next())
        names.append({query.text("TaskID"), query.text("TaskName")});
    return names;
}

} // namespace tarnwick
