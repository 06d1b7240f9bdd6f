// SPDX-License-Identifier: GPL-3.0-or-later
// Whole tasks through the catalogue's editor statements. Reads follow the
// editor's load exactly; every write is one transaction, so neither a store
// error nor a refused value can leave a task half written or half deleted.
#include "store/TaskWriter.h"

#include "platform/Clock.h"
#include "store/ExcludeRule.h"
#include "store/DateTexts.h"
#include "store/ScheduleRules.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"

#include <QHash>

#include <algorithm>

namespace tarnwick {

namespace {

// A stored rule row of this type stands for "include all files"; rows after
// it are not the task's rules.
constexpr qint64 kIncludeAllRow = -1;

TaskRunMode RunModeFromText(const QString& text)
{
    if (text == u"0")
        return TaskRunMode::Manual;
    if (text == u"1")
        return TaskRunMode::OnSourceChange;
    return TaskRunMode::Scheduled;
}

// An empty NextRunTime reads as the zero date-time, as NULL does.
QDateTime StoredNextRun(const TaskQuery& row)
{
    if (row.isNull("NextRunTime") || row.text("NextRunTime").trimmed().isEmpty())
        return ZeroDateTime();
    return row.dateTime("NextRunTime");
}

void ReadSources(TaskDatabase& db, const QString& taskId, TaskRecord& task)
{
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectSourcesForEditor, {taskId}));
    for (; !rows.eof(); rows.next())
        task.sources.append({rows.text("SourceDir"), rows.yesNo("IncludeSubDir")});
}

void ReadRules(TaskDatabase& db, const QString& taskId, TaskRecord& task)
{
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectRulesForEditor, {taskId}));
    for (; !rows.eof(); rows.next()) {
        ExcludeRule rule;
        rule.excludeId = rows.integer("ExcludeID");
        rule.type = rows.integer("type");
        rule.stype = rows.integer("stype");
        rule.sstype = rows.integer("sstype");
        rule.value = rows.text("value");
        if (rule.type == kIncludeAllRow) {
            task.excludeMode = false;
            return;
        }
        task.excludeMode = true;
        if (rule.type == kRuleDate && rule.sstype == kWindowBetween)
            rule.endDate = rows.text("EndDate");
        task.rules.append(rule);
    }
}

void ReadSchedules(TaskDatabase& db, const QString& taskId, TaskRecord& task)
{
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectSchedulesForEditor, {taskId}));
    for (; !rows.eof(); rows.next()) {
        TaskScheduleItem item;
        item.entry.kind = static_cast<ScheduleKind>(rows.integer("ScheduleType"));
        item.entry.value = rows.integer("value");
        item.taskSchId = rows.integer("TaskSchID");
        item.entry.startTime = rows.text("StartTime");
        if (item.entry.kind == ScheduleKind::WithinWeek)
            item.entry.weekMask = rows.text("withweek");
        if (item.entry.kind == ScheduleKind::Once) {
            // The stored time is the date plus the start time; the start
            // time has its own column, so only the date is the entry's.
            const QDateTime next = StoredNextRun(rows);
            item.entry.onceDate = next.date();
            item.nextRunText = DateTimeText(next);
        }
        task.schedules.append(item);
    }
}

} // namespace

TaskExtras ReadTaskExtras(TaskDatabase& db, const QString& taskId)
{
    return TaskExtrasFrom(ReadTaskOptions(db, taskId));
}

TaskExtras TaskExtrasFrom(const QHash<QString, QString>& options)
{
    TaskExtras extras;
    extras.keepVersions = std::clamp(options.value(QString::fromLatin1(kOptionKeepVersions)).toInt(),
                                     0, kMaxKeepVersions);
    extras.versionsFolder = options.value(QString::fromLatin1(kOptionVersionsFolder));
    extras.whenTargetAppears =
        options.value(QString::fromLatin1(kOptionWhenTargetAppears)) == u'1';
    extras.parallel = std::clamp(options.value(QString::fromLatin1(kOptionParallel)).toInt(), 0,
                                 kMaxParallel);
    extras.fullWalkAlways = options.value(QString::fromLatin1(kOptionFullWalkAlways)) == u'1';
    return extras;
}

namespace {

// A setting at its default has no row, so a database keeps rows only for
// the tasks that use the setting.
void WriteExtras(TaskQuery& query, const QString& taskId, const TaskExtras& extras)
{
    const auto put = [&](const char* name, const QString& value, bool isDefault) {
        if (isDefault)
            RunStatement(query,
                         FillStatement(sql::DeleteTaskOption, {taskId, QString::fromLatin1(name)}));
        else
            RunStatement(query, FillStatement(sql::SetTaskOption,
                                              {taskId, QString::fromLatin1(name), value}));
    };
    put(kOptionKeepVersions, QString::number(extras.keepVersions), extras.keepVersions == 0);
    put(kOptionVersionsFolder, extras.versionsFolder.trimmed(),
        extras.versionsFolder.trimmed().isEmpty());
    put(kOptionWhenTargetAppears, QStringLiteral("1"), !extras.whenTargetAppears);
    put(kOptionParallel, QString::number(extras.parallel), extras.parallel == 0);
    put(kOptionFullWalkAlways, QStringLiteral("1"), !extras.fullWalkAlways);
}

// The four deletes, in the order every deleter of a task keeps.
void DeleteTaskRows(TaskQuery& query, const QString& taskId)
{
    RunStatement(query, FillStatement(sql::DeleteSources, {taskId}));
    RunStatement(query, FillStatement(sql::DeleteSchedules, {taskId}));
    RunStatement(query, FillStatement(sql::DeleteRules, {taskId}));
    RunStatement(query, FillStatement(sql::DeleteTask, {taskId}));
}

void InsertRule(TaskQuery& query, const QString& taskId, const ExcludeRule& rule)
{
    const QString value = rule.value.trimmed();
    switch (rule.type) {
    case kRuleExtensions:
    case kRuleSingleFile:
    case kRuleAttributes:
        RunStatement(query, FillStatement(sql::InsertRule, {taskId, rule.type, value}));
        break;
    case kRuleSize:
        RunStatement(query, FillStatement(sql::InsertSizeRule,
                                          {taskId, rule.type, rule.stype, rule.sstype, value}));
        break;
    case kRuleDate:
        RunStatement(query,
                     FillStatement(sql::InsertDateRule, {taskId, rule.type, rule.stype, rule.sstype,
                                                         value, rule.endDate.trimmed()}));
        break;
    default:
        break;
    }
}

void InsertScheduleEntry(TaskQuery& query, const QString& taskId, const ScheduleEntry& given,
                         const QString& lastRun, const Clock& clock)
{
    switch (given.kind) {
    case ScheduleKind::EveryMinutes:
    case ScheduleKind::EveryHours:
    case ScheduleKind::EveryDays:
    case ScheduleKind::WithinWeek:
    case ScheduleKind::WithinMonth:
    case ScheduleKind::Once:
        break;
    default:
        return;
    }
    ScheduleEntry entry = given;
    entry.weekMask = entry.weekMask.trimmed();
    entry.startTime = entry.startTime.trimmed();
    const QString next = NextRunAtSave(entry, clock);
    const qint64 kind = static_cast<qint64>(entry.kind);

    switch (entry.kind) {
    case ScheduleKind::WithinWeek:
        RunStatement(query, FillStatement(sql::InsertWeekEntry, {taskId, kind, entry.weekMask,
                                                                 entry.startTime, lastRun, next}));
        break;
    case ScheduleKind::WithinMonth:
        RunStatement(
            query, FillStatement(sql::InsertMonthEntry, {taskId, kind, QString::number(entry.value),
                                                         entry.startTime, lastRun, next}));
        break;
    case ScheduleKind::Once:
        RunStatement(query, FillStatement(sql::InsertOnceEntry,
                                          {taskId, kind, entry.startTime, lastRun, next}));
        break;
    default:
        RunStatement(query,
                     FillStatement(sql::InsertIntervalEntry,
                                   {taskId, kind, entry.value, lastRun, next, entry.startTime}));
        break;
    }
}

} // namespace

QString SourceListText(const QList<TaskSource>& sources)
{
    if (sources.size() == 1)
        return sources.first().path.trimmed();
    QString text;
    for (const TaskSource& source : sources)
        text += QStringLiteral(" !>") + source.path.trimmed();
    return text;
}

TaskRecord LoadTask(TaskDatabase& db, const QString& taskId)
{
    TaskRecord task;
    {
        TaskQuery row(db);
        RunQuery(row, FillStatement(sql::SelectTaskForEditor, {taskId}));
        if (row.eof())
            throw StoreError(
                QStringLiteral("There is no task with the identifier '%1'").arg(taskId));
        task.taskId = taskId;
        task.groupId = row.text("TaskGroupID");
        task.name = row.text("TaskName");
        task.targetDir = row.text("TargetDir");
        task.runMode = RunModeFromText(row.text("ScheduleType"));
    }
    ReadSources(db, taskId, task);
    ReadRules(db, taskId, task);
    if (task.runMode == TaskRunMode::Scheduled)
        ReadSchedules(db, taskId, task);
    task.extras = ReadTaskExtras(db, taskId);
    return task;
}

TaskListRow SaveTask(TaskDatabase& db, const TaskRecord& task, TaskSaveMode mode,
                     const Clock& clock)
{
    TaskListRow row;
    row.taskId = task.taskId.trimmed();
    row.taskName = task.name.trimmed();
    row.runMode = static_cast<qint64>(task.runMode);
    row.lastRunText = DateTimeText(clock.now());
    row.sourceText = SourceListText(task.sources);
    row.targetDir = task.targetDir.trimmed();
    const QString& taskId = row.taskId;

    StoreTransaction transaction(db);
    TaskQuery query(db);
    if (mode == TaskSaveMode::Edit) {
        // What the runs learnt about the old target (a drive of its own)
        // says nothing about a new one.
        RunQuery(query, FillStatement(sql::SelectTaskForRun, {taskId}));
        const bool retargeted = !query.eof() && query.text("TargetDir") != row.targetDir;
        if (retargeted && db.hasAddedTables()) {
            for (const char* learnt :
                 {kOptionTargetIsMountPoint, kOptionTargetFileSystem, kOptionTargetTraits})
                RunStatement(query, FillStatement(sql::DeleteTaskOption,
                                                  {taskId, QString::fromLatin1(learnt)}));
        }
        DeleteTaskRows(query, taskId);
    }
    RunStatement(query,
                 FillStatement(sql::InsertTask, {taskId, task.groupId.trimmed(), row.taskName,
                                                 row.sourceText, row.targetDir, row.runMode}));
    for (const TaskSource& source : task.sources)
        RunStatement(
            query, FillStatement(sql::InsertSource,
                                 {taskId, source.path, qint64(source.includeSubfolders ? 1 : 0)}));
    if (task.excludeMode) {
        for (const ExcludeRule& rule : task.rules)
            InsertRule(query, taskId, rule);
    }
    switch (task.runMode) {
    case TaskRunMode::Manual:
        RunStatement(query, FillStatement(sql::InsertManualRow, {taskId, row.lastRunText}));
        break;
    case TaskRunMode::OnSourceChange:
        RunStatement(query, FillStatement(sql::InsertOnChangeRow, {taskId, row.lastRunText}));
        break;
    case TaskRunMode::Scheduled:
        for (const TaskScheduleItem& item : task.schedules)
            InsertScheduleEntry(query, taskId, item.entry, row.lastRunText, clock);
        break;
    }
    if (db.hasAddedTables())
        WriteExtras(query, taskId, task.extras);
    // Read inside the transaction, so the row shows what was just written
    // and a failure here undoes the save as well.
    row.nextRunText = NextRunCellTextFor(db, taskId, row.runMode, sql::SelectNextRunTimeAfterSave);
    transaction.commit();
    return row;
}

void DeleteTask(TaskDatabase& db, const QString& taskId)
{
    StoreTransaction transaction(db);
    TaskQuery query(db);
    DeleteTaskRows(query, taskId);
    // Its runs and options go with it: a later task that happened to get
    // the same ID must not inherit them.
    if (db.hasAddedTables()) {
        RunStatement(query, FillStatement(sql::DeleteRuns, {taskId}));
        RunStatement(query, FillStatement(sql::DeleteTaskOptions, {taskId}));
    }
    transaction.commit();
}

void AddTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name)
{
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertGroup, {groupId.trimmed(), name}));
}

void RenameTaskGroup(TaskDatabase& db, const QString& groupId, const QString& name)
{
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::RenameGroup, {name, groupId.trimmed()}));
}

void DeleteTaskGroup(TaskDatabase& db, const QString& groupId)
{
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::DeleteGroup, {groupId.trimmed()}));
}

} // namespace tarnwick
