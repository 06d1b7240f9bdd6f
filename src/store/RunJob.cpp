// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RunJob.h"

#include "platform/DisplayPath.h"
#include "platform/RunControl.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"
#include "store/TaskWriter.h"

namespace tarnwick {

namespace {

// An integer column that does not hold a number leaves the rule unreadable.
std::optional<qint64> ReadIntegerColumn(const TaskQuery& query, const char* column)
{
    try {
        return query.integer(column);
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

} // namespace

RunJob LoadRunJob(TaskDatabase& db, const QString& taskId, const RunControl& control)
{
    RunJob job;
    job.taskId = taskId;
    TaskQuery query(db);
    RunQuery(query, FillStatement(sql::SelectSourcesForRun, {taskId}));
    for (; !query.eof(); query.next()) {
        if (control.stopRequested())
            break;
        job.sources.append({query.text("SourceDir"), query.yesNo("IncludeSubDir")});
    }
    RunQuery(query, FillStatement(sql::SelectTaskForRun, {taskId}));
    if (!query.eof()) {
        // Every line of the run carries the name: one that still holds a
        // line break from an older database must not forge lines.
        job.taskName = DisplayText(query.text("TaskName"));
        job.targetDir = query.text("TargetDir");
    }
    query.close();
    const QHash<QString, QString> options = ReadTaskOptions(db, taskId);
    const TaskExtras extras = TaskExtrasFrom(options);
    job.parallel = extras.parallel;
    job.fullWalkAlways = extras.fullWalkAlways;
    if (extras.keepVersions > 0 && !job.targetDir.isEmpty()) {
        job.keepVersions = extras.keepVersions;
        job.versionsDir = VersionsFolderPath(job.targetDir, extras.versionsFolder);
    }
    // What earlier runs learnt of the target.
    job.targetWasMountPoint =
        options.value(QString::fromLatin1(kOptionTargetIsMountPoint)) == u'1';
    job.targetFileSystem = options.value(QString::fromLatin1(kOptionTargetFileSystem));
    job.targetTraits = options.value(QString::fromLatin1(kOptionTargetTraits));
    return job;
}

QList<ExcludeRule> LoadExcludeRules(TaskDatabase& db, const QString& taskId,
                                    const RunControl* control)
{
    QList<ExcludeRule> rules;
    TaskQuery query(db);
    RunQuery(query, FillStatement(sql::SelectRulesForRun, {taskId}));
    for (; !query.eof(); query.next()) {
        if (control && control->stopRequested())
            break;
        const std::optional<qint64> type = ReadIntegerColumn(query, "type");
        const std::optional<qint64> stype = ReadIntegerColumn(query, "stype");
        const std::optional<qint64> sstype = ReadIntegerColumn(query, "sstype");
        ExcludeRule rule;
        rule.type = type && stype && sstype ? *type : -1;
        rule.stype = stype.value_or(0);
        rule.sstype = sstype.value_or(0);
        rule.value = query.text("value");
        rule.endDate = query.text("EndDate");
        rules.append(rule);
    }
    query.close();
    return rules;
}

} // namespace tarnwick
