// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RunHistory.h"

#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/StoreError.h"
#include "store/TaskDatabase.h"

#include <limits>

namespace tarnwick {

namespace {

qint64 Stored(quint64 count)
{
    return static_cast<qint64>(qMin<quint64>(count, quint64(std::numeric_limits<qint64>::max())));
}

quint64 Counted(const TaskQuery& rows, const char* column)
{
    return static_cast<quint64>(qMax<qint64>(0, rows.integer(column)));
}

RunEnding OutcomeOf(qint64 stored)
{
    switch (stored) {
    case 1:
        return RunEnding::WithErrors;
    case 2:
        return RunEnding::Stopped;
    case 3:
        return RunEnding::NotStarted;
    default:
        return RunEnding::Succeeded;
    }
}

RunRecord RecordOf(const TaskQuery& rows)
{
    RunRecord run;
    run.id = rows.integer("RunID");
    run.taskId = rows.text("TaskID");
    run.start = rows.dateTime("StartTime");
    run.end = rows.dateTime("EndTime");
    run.copiedFiles = Counted(rows, "CopiedFiles");
    run.copiedBytes = Counted(rows, "CopiedBytes");
    run.skippedFiles = Counted(rows, "SkippedFiles");
    run.errors = Counted(rows, "Errors");
    run.outcome = OutcomeOf(rows.integer("Outcome"));
    run.firstError = rows.text("FirstError");
    run.seen = rows.yesNo("Seen");
    return run;
}

} // namespace

void RecordRun(TaskDatabase& db, const RunRecord& run)
{
    if (!db.hasAddedTables())
        return;
    StoreTransaction transaction(db);
    TaskQuery query(db);
    RunStatement(query,
                 FillStatement(sql::InsertRun,
                               {run.taskId, DateTimeText(run.start), DateTimeText(run.end),
                                Stored(run.copiedFiles), Stored(run.copiedBytes),
                                Stored(run.skippedFiles), Stored(run.errors),
                                static_cast<qint64>(run.outcome), run.firstError,
                                qint64(run.failed() ? 0 : 1)}));
    RunStatement(query, FillStatement(sql::PruneRuns,
                                      {run.taskId, run.taskId, qint64(kRunsKeptPerTask)}));
    transaction.commit();
}

QList<RunRecord> TaskHistory(TaskDatabase& db, const QString& taskId)
{
    QList<RunRecord> runs;
    if (!db.hasAddedTables())
        return runs;
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectRuns, {taskId}));
    for (; !rows.eof(); rows.next())
        runs.append(RecordOf(rows));
    return runs;
}

QHash<QString, RunRecord> LastRuns(TaskDatabase& db)
{
    QHash<QString, RunRecord> last;
    if (!db.hasAddedTables())
        return last;
    TaskQuery rows(db);
    RunQuery(rows, QString::fromLatin1(sql::SelectLastRuns));
    for (; !rows.eof(); rows.next()) {
        RunRecord run = RecordOf(rows);
        last.insert(run.taskId, run);
    }
    return last;
}

void MarkRunsSeen(TaskDatabase& db, const QString& taskId)
{
    if (!db.hasAddedTables() || db.isReadOnly())
        return;
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::MarkRunsSeen, {taskId}));
}

QString ResultText(const RunRecord& run)
{
    switch (run.outcome) {
    case RunEnding::Succeeded:
        return QStringLiteral("OK");
    case RunEnding::WithErrors:
        return run.errors == 1 ? QStringLiteral("1 error")
                               : QStringLiteral("%1 errors").arg(run.errors);
    case RunEnding::Stopped:
        return QStringLiteral("Stopped");
    case RunEnding::NotStarted:
        return QStringLiteral("Could not start");
    }
    return QString();
}

QString EndingName(RunEnding outcome)
{
    switch (outcome) {
    case RunEnding::Succeeded:
        return QStringLiteral("succeeded");
    case RunEnding::WithErrors:
        return QStringLiteral("with errors");
    case RunEnding::Stopped:
        return QStringLiteral("stopped");
    case RunEnding::NotStarted:
        return QStringLiteral("could not start");
    }
    return QString();
}

} // namespace tarnwick
