// SPDX-License-Identifier: GPL-3.0-or-later
// The kept runs of each task against real task database files: every way a
// run ends stored and read back with its short result, the newest hundred
// kept per task, the newest run per task, the seen mark, a task's runs
// leaving with it, and files made by an older build (writable: the table is
// added; read-only: nothing is kept and nothing fails); the task list's
// last run time is the newest kept run's, not the task's saving.
#include "TestDir.h"

#include "store/RunHistory.h"
#include "store/Statements.h"
#include "platform/Clock.h"
#include "store/DateTexts.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "store/TaskWriter.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace tarnwick;

namespace {

const QDateTime kStart(QDate(2026, 12, 11), QTime(9, 30, 0));

RunRecord Run(const QString& taskId, int minute, RunEnding outcome = RunEnding::Succeeded)
{
    RunRecord run;
    run.taskId = taskId;
    run.start = kStart.addSecs(60 * minute);
    run.end = run.start.addSecs(42);
    run.outcome = outcome;
    return run;
}

} // namespace

class TestRunHistory : public QObject
{
    Q_OBJECT

private:
    TestDir m_dir;
    int m_files = 0;

    QString freshDatabase()
    {
        const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++m_files));
        CreateTaskDatabase(path);
        return path;
    }

private slots:
    void everyOutcomeRoundTrips_data();
    void everyOutcomeRoundTrips();
    void newestHundredKeptPerTask();
    void lastRunPerTaskAndSeenMark();
    void runsLeaveWithTheirTask();
    void taskListShowsTheLastRealRun();
    void olderFiles_data();
    void olderFiles();
};

void TestRunHistory::everyOutcomeRoundTrips_data()
{
    QTest::addColumn<RunEnding>("outcome");
    QTest::addColumn<quint64>("errors");
    QTest::addColumn<QString>("firstError");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("seen"); // as stored: only a failure waits to be seen

    QTest::newRow("succeeded") << RunEnding::Succeeded << quint64(0) << QString()
                               << QStringLiteral("OK") << QStringLiteral("succeeded") << true;
    QTest::newRow("one error") << RunEnding::WithErrors << quint64(1)
                               << QStringLiteral("Permission denied")
                               << QStringLiteral("1 error") << QStringLiteral("with errors")
                               << false;
    QTest::newRow("four errors, quote in the reason")
        << RunEnding::WithErrors << quint64(4) << QStringLiteral("can't open 'a'")
        << QStringLiteral("4 errors") << QStringLiteral("with errors") << false;
    QTest::newRow("stopped") << RunEnding::Stopped << quint64(0) << QString()
                             << QStringLiteral("Stopped") << QStringLiteral("stopped") << true;
    QTest::newRow("could not start")
        << RunEnding::NotStarted << quint64(1)
        << QStringLiteral("Target drive is not present: /media/backup")
        << QStringLiteral("Could not start") << QStringLiteral("could not start") << false;
}

void TestRunHistory::everyOutcomeRoundTrips()
{
    QFETCH(RunEnding, outcome);
    QFETCH(quint64, errors);
    QFETCH(QString, firstError);
    QFETCH(QString, result);
    QFETCH(QString, name);
    QFETCH(bool, seen);

    TaskDatabase db;
    db.open(freshDatabase());
    QVERIFY(db.hasAddedTables());
    RunRecord run = Run(QStringLiteral("7"), 0, outcome);
    run.copiedFiles = 12;
    run.copiedBytes = 5'000'000'000ull; // beyond 32 bits
    run.skippedFiles = 3;
    run.errors = errors;
    run.firstError = firstError;
    RecordRun(db, run);

    const QList<RunRecord> history = TaskHistory(db, QStringLiteral("7"));
    QCOMPARE(history.size(), 1);
    const RunRecord& back = history.first();
    QVERIFY(back.id > 0);
    QCOMPARE(back.taskId, QStringLiteral("7"));
    QCOMPARE(back.start, run.start);
    QCOMPARE(back.end, run.end);
    QCOMPARE(back.copiedFiles, quint64(12));
    QCOMPARE(back.copiedBytes, 5'000'000'000ull);
    QCOMPARE(back.skippedFiles, quint64(3));
    QCOMPARE(back.errors, errors);
    QCOMPARE(back.outcome, outcome);
    QCOMPARE(back.firstError, firstError);
    QCOMPARE(back.seen, seen);
    QCOMPARE(ResultText(back), result);
    QCOMPARE(EndingName(back.outcome), name);
}

void TestRunHistory::newestHundredKeptPerTask()
{
    TaskDatabase db;
    db.open(freshDatabase());
    RecordRun(db, Run(QStringLiteral("other"), 0));
    for (int minute = 0; minute < kRunsKeptPerTask + 5; ++minute)
        RecordRun(db, Run(QStringLiteral("busy"), minute));

    const QList<RunRecord> history = TaskHistory(db, QStringLiteral("busy"));
    QCOMPARE(history.size(), kRunsKeptPerTask);
    QCOMPARE(history.first().start, kStart.addSecs(60 * (kRunsKeptPerTask + 4)));
    QCOMPARE(history.last().start, kStart.addSecs(60 * 5)); // the five oldest went
    QCOMPARE(TaskHistory(db, QStringLiteral("other")).size(), 1);
}

void TestRunHistory::lastRunPerTaskAndSeenMark()
{
    TaskDatabase db;
    db.open(freshDatabase());
    RecordRun(db, Run(QStringLiteral("a"), 0, RunEnding::Succeeded));
    RecordRun(db, Run(QStringLiteral("a"), 1, RunEnding::WithErrors));
    RecordRun(db, Run(QStringLiteral("b"), 2, RunEnding::WithErrors));
    RecordRun(db, Run(QStringLiteral("b"), 3, RunEnding::Succeeded));

    QHash<QString, RunRecord> last = LastRuns(db);
    QCOMPARE(last.size(), 2);
    QCOMPARE(last.value(QStringLiteral("a")).outcome, RunEnding::WithErrors);
    QVERIFY(!last.value(QStringLiteral("a")).seen);
    QCOMPARE(last.value(QStringLiteral("b")).outcome, RunEnding::Succeeded);

    MarkRunsSeen(db, QStringLiteral("a"));
    last = LastRuns(db);
    QVERIFY(last.value(QStringLiteral("a")).seen);
    // Marking one task leaves the other's unseen failure as it was.
    QVERIFY(!TaskHistory(db, QStringLiteral("b")).last().seen);
}

void TestRunHistory::taskListShowsTheLastRealRun()
{
    TaskDatabase db;
    db.open(freshDatabase());
    // Saved an hour after its runs: the saving is no run.
    const FixedClock saved(kStart.addSecs(3600));
    for (const QString& id : {QStringLiteral("ran"), QStringLiteral("never"),
                              QStringLiteral("refused")}) {
        TaskRecord task;
        task.taskId = id;
        task.name = id;
        task.targetDir = QStringLiteral("/t");
        task.sources.append({QStringLiteral("/s"), true});
        SaveTask(db, task, TaskSaveMode::New, saved);
    }
    RecordRun(db, Run(QStringLiteral("ran"), 0));
    RecordRun(db, Run(QStringLiteral("ran"), 5, RunEnding::WithErrors));
    RecordRun(db, Run(QStringLiteral("refused"), 7, RunEnding::NotStarted));

    QHash<QString, QString> shown;
    for (const TaskListRow& row : ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID)))
        shown.insert(row.taskId, row.lastRunText);
    QCOMPARE(shown.value(QStringLiteral("ran")), DateTimeText(kStart.addSecs(300)));
    // No run, or one that never began its walk: the stored time stays.
    QCOMPARE(shown.value(QStringLiteral("never")), DateTimeText(saved.now()));
    QCOMPARE(shown.value(QStringLiteral("refused")), DateTimeText(saved.now()));
}

void TestRunHistory::runsLeaveWithTheirTask()
{
    TaskDatabase db;
    db.open(freshDatabase());
    RecordRun(db, Run(QStringLiteral("gone"), 0));
    RecordRun(db, Run(QStringLiteral("kept"), 0));
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::SetTaskOption, {QStringLiteral("gone"),
                                                           QStringLiteral("KeepVersions"),
                                                           QStringLiteral("5")}));
    DeleteTask(db, QStringLiteral("gone"));
    QVERIFY(TaskHistory(db, QStringLiteral("gone")).isEmpty());
    QCOMPARE(TaskHistory(db, QStringLiteral("kept")).size(), 1);
    RunQuery(query, FillStatement(sql::SelectTaskOptions, {QStringLiteral("gone")}));
    QVERIFY(query.eof());
}

void TestRunHistory::olderFiles_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("writable: the table is added") << false;
    QTest::newRow("read-only: works without it") << true;
}

void TestRunHistory::olderFiles()
{
    QFETCH(bool, readOnly);
    // A file with the first five tables only, as an older build made it.
    const QString path = m_dir.filePath(QStringLiteral("older%1.dat").arg(++m_files));
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {path});
    shell.write(QByteArray("PRAGMA key = '") + sql::DatabaseKey + "';" + sql::CreateSchema);
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);
    if (readOnly)
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));

    TaskDatabase db;
    db.open(path, TaskDatabase::OpenFor::Reading);
    QCOMPARE(db.isReadOnly(), readOnly);
    QCOMPARE(db.hasAddedTables(), !readOnly);
    RecordRun(db, Run(QStringLiteral("7"), 0, RunEnding::WithErrors));
    MarkRunsSeen(db, QStringLiteral("7"));
    QCOMPARE(TaskHistory(db, QStringLiteral("7")).size(), readOnly ? 0 : 1);
    QCOMPARE(LastRuns(db).size(), readOnly ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestRunHistory)
#include "TestRunHistory.moc"
