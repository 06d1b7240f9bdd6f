#include "store/RunJob.h"

#include "platform/DisplayPath.h"
#include "platform/RunControl.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"
#include "store/TaskWriter.h"

namespace tarnwick {

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

} // namespace tarnwick
