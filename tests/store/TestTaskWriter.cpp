// SPDX-License-Identifier: GPL-3.0-or-later
// The task write path against real task database files, at a pinned moment:
// every rule and schedule kind stored column by column and read back, edits
// that replace every row, writes that fail part-way, the group commands and
// the editor's checks.
#include "StoredRows.h"

#include "platform/Clock.h"
#include "store/RunHistory.h"
#include "store/ScheduleRules.h"
#include "store/TaskChecks.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"
#include "store/TaskWriter.h"

#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace tarnwick;

namespace {

// Wednesday 9 December 2026.
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));
const QString kNowText = QStringLiteral("2026-12-09 10:00:00");
const QString kId = QStringLiteral("4242");

QStringList RuleRows(TaskDatabase& db, const QString& taskId)
{
    return Rows(
        db,
        QStringLiteral("select * from Exclude where TaskID='%1' order by ExcludeID").arg(taskId),
        {"type", "stype", "sstype", "value", "EndDate"});
}

QStringList ScheduleRows(TaskDatabase& db, const QString& taskId)
{
    return Rows(db,
                QStringLiteral("select * from TaskSchedule where TaskID='%1' order by TaskSchID")
                    .arg(taskId),
                {"ScheduleType", "value", "withweek", "StartTime", "LastRunTime", "NextRunTime"});
}

QList<qint64> Keys(TaskDatabase& db, const char* table, const char* key)
{
    QList<qint64> keys;
    TaskQuery query(db);
    RunQuery(query, QStringLiteral("select %1 from %2 where TaskID='%3' order by %1")
                        .arg(QLatin1String(key), QLatin1String(table), kId));
    for (; !query.eof(); query.next())
        keys << query.integer(key);
    return keys;
}

TaskRecord BaseTask(const QString& taskId, TaskRunMode mode)
{
    TaskRecord task;
    task.taskId = taskId;
    task.groupId = QStringLiteral("77");
    task.name = QStringLiteral("Photos");
    task.targetDir = QStringLiteral("/mnt/backup");
    task.runMode = mode;
    task.sources = {{QStringLiteral("/home/ann/photos"), true}};
    return task;
}

TaskScheduleItem Entry(ScheduleKind kind, qint64 value, const QString& start = QStringLiteral("0"))
{
    TaskScheduleItem item;
    item.entry.kind = kind;
    item.entry.value = value;
    item.entry.startTime = start;
    return item;
}

ExcludeRule Rule(qint64 type, const QString& value)
{
    ExcludeRule rule;
    rule.type = type;
    rule.value = value;
    return rule;
}

enum class FailingWrite
{
    SaveNew,
    SaveEdit,
    SaveTakenId,
    DeleteTask,
    AddTakenGroup,
    RenameGroup,
    DeleteGroup,
};

} // namespace

class TestTaskWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_fileNumber = 0;
    FixedClock m_clock{kNow};

    void openFresh(TaskDatabase& db)
    {
        const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++m_fileNumber));
        CreateTaskDatabase(path);
        db.open(path);
    }

    TaskListRow save(TaskDatabase& db, const TaskRecord& task,
                     TaskSaveMode mode = TaskSaveMode::New)
    {
        return SaveTask(db, task, mode, m_clock);
    }

private slots:
    void targetKindForgottenWithItsTarget_data();
    void targetKindForgottenWithItsTarget();
    void rulesRoundTrip_data();
    void rulesRoundTrip();
    void schedulesRoundTrip_data();
    void schedulesRoundTrip();
    void taskAndSourceRows_data();
    void taskAndSourceRows();
    void editReplacesEveryRow();
    void loadStopsAtIncludeAllRowAndSkipsMarkers();
    void failingWriteLeavesEveryRow_data();
    void failingWriteLeavesEveryRow();
    void deleteTaskAndGroupCommands();
    void checks_data();
    void checks();
};

void TestTaskWriter::rulesRoundTrip_data()
{
    QTest::addColumn<qint64>("type");
    QTest::addColumn<qint64>("stype");
    QTest::addColumn<qint64>("sstype");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("endDate");
    QTest::addColumn<QString>("stored"); // type|stype|sstype|value|EndDate
    QTest::addColumn<QString>("loadedEndDate");

    QTest::newRow("extensions, value trimmed")
        << qint64(0) << qint64(0) << qint64(0) << QStringLiteral(" doc,txt, ") << QString()
        << QStringLiteral("0|-|-|doc,txt,|-") << QString();
    QTest::newRow("single file with a quote")
        << qint64(1) << qint64(0) << qint64(0) << QStringLiteral("/home/ann/it's.txt") << QString()
        << QStringLiteral("1|-|-|/home/ann/it's.txt|-") << QString();
    QTest::newRow("size") << qint64(2) << qint64(2) << qint64(1) << QStringLiteral("10")
                          << QString() << QStringLiteral("2|2|1|10|-") << QString();
    QTest::newRow("last months") << qint64(3) << qint64(0) << qint64(0) << QStringLiteral("3")
                                 << QString() << QStringLiteral("3|0|0|3|") << QString();
    QTest::newRow("last days") << qint64(3) << qint64(1) << qint64(1) << QStringLiteral("7")
                               << QString() << QStringLiteral("3|1|1|7|") << QString();
    QTest::newRow("between, end date trimmed")
        << qint64(3) << qint64(2) << qint64(2) << QStringLiteral("2026-01-01")
        << QStringLiteral(" 2026-02-01 ") << QStringLiteral("3|2|2|2026-01-01|2026-02-01")
        << QStringLiteral("2026-02-01");
    QTest::newRow("attributes") << qint64(4) << qint64(0) << qint64(0) << QStringLiteral("100001")
                                << QString() << QStringLiteral("4|-|-|100001|-") << QString();
}

void TestTaskWriter::rulesRoundTrip()
{
    QFETCH(qint64, type);
    QFETCH(qint64, stype);
    QFETCH(qint64, sstype);
    QFETCH(QString, value);
    QFETCH(QString, endDate);
    QFETCH(QString, stored);
    QFETCH(QString, loadedEndDate);

    TaskDatabase db;
    openFresh(db);
    TaskRecord task = BaseTask(kId, TaskRunMode::Manual);
    task.excludeMode = true;
    task.rules = {{type, stype, sstype, value, endDate, -1}};
    save(db, task);
    QCOMPARE(RuleRows(db, kId), QStringList{stored});

    const TaskRecord loaded = LoadTask(db, kId);
    QVERIFY(loaded.excludeMode);
    QCOMPARE(loaded.rules.size(), 1);
    const ExcludeRule& rule = loaded.rules.first();
    QCOMPARE(rule.type, type);
    QCOMPARE(rule.stype, stype);
    QCOMPARE(rule.sstype, sstype);
    QCOMPARE(rule.value, value.trimmed());
    QCOMPARE(rule.endDate, loadedEndDate);
    QCOMPARE(rule.excludeId, Keys(db, "Exclude", "ExcludeID").value(0));
}

void TestTaskWriter::schedulesRoundTrip_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QDate>("onceDate");
    QTest::addColumn<QString>("start");
    // ScheduleType|value|withweek|StartTime|LastRunTime|NextRunTime
    QTest::addColumn<QString>("stored");

    const QString none = QStringLiteral("0");
    const QString week = QStringLiteral("1000100"); // Monday and Friday
    const QDate christmasEve(2026, 12, 24);
    auto row = [&](const char* name, int mode, int kind, qint64 value, const QString& mask,
                   const QDate& once, const QString& start, const char* stored) {
        QTest::newRow(name) << mode << kind << value << mask << once << start
                            << QString::fromLatin1(stored).replace(QStringLiteral("NOW"), kNowText);
    };
    row("every 30 minutes", 2, 0, 30, {}, {}, none, "0|30|-|0|NOW|2026-12-09 10:30:00");
    row("every 30 minutes, start passed today", 2, 0, 30, {}, {}, QStringLiteral("09:00:00"),
        "0|30|-|09:00:00|NOW|2026-12-10 09:00:00");
    row("every 2 hours", 2, 1, 2, {}, {}, none, "1|2|-|0|NOW|2026-12-09 12:00:00");
    row("every 2 hours, start trimmed", 2, 1, 2, {}, {}, QStringLiteral(" 11:15:00 "),
        "1|2|-|11:15:00|NOW|2026-12-09 11:15:00");
    row("every 3 days", 2, 2, 3, {}, {}, none, "2|3|-|0|NOW|2026-12-12 10:00:00");
    row("every 3 days at 08:00", 2, 2, 3, {}, {}, QStringLiteral("08:00:00"),
        "2|3|-|08:00:00|NOW|2026-12-12 08:00:00");
    row("week days", 2, 3, 0, week, {}, none, "3|-|1000100|0|NOW|2026-12-11");
    row("week days at 07:30", 2, 3, 0, week, {}, QStringLiteral("07:30:00"),
        "3|-|1000100|07:30:00|NOW|2026-12-11 07:30:00");
    row("day 15 of the month", 2, 4, 15, {}, {}, none, "4|15|-|0|NOW|2026-12-15");
    row("day 15 at 06:00", 2, 4, 15, {}, {}, QStringLiteral("06:00:00"),
        "4|15|-|06:00:00|NOW|2026-12-15 06:00:00");
    row("once", 2, 5, 0, {}, christmasEve, none, "5|-|-|0|NOW|2026-12-24");
    row("once at 18:00", 2, 5, 0, {}, christmasEve, QStringLiteral("18:00:00"),
        "5|-|-|18:00:00|NOW|2026-12-24 18:00:00");
    // The entry in the record is not stored: only the marker row is.
    row("manual", 0, 0, 30, {}, {}, none, "19|-|-|-|NOW|-");
    row("on source change", 1, 0, 30, {}, {}, none, "20|-|-|-|NOW|-");
}

void TestTaskWriter::schedulesRoundTrip()
{
    QFETCH(int, mode);
    QFETCH(int, kind);
    QFETCH(qint64, value);
    QFETCH(QString, mask);
    QFETCH(QDate, onceDate);
    QFETCH(QString, start);
    QFETCH(QString, stored);

    TaskDatabase db;
    openFresh(db);
    TaskRecord task = BaseTask(kId, static_cast<TaskRunMode>(mode));
    TaskScheduleItem item = Entry(static_cast<ScheduleKind>(kind), value, start);
    item.entry.weekMask = mask;
    item.entry.onceDate = onceDate;
    task.schedules = {item};
    const TaskListRow listRow = save(db, task);
    QCOMPARE(ScheduleRows(db, kId), QStringList{stored});

    const QString storedNext = stored.section(u'|', 5);
    const QString listNext = mode == 0   ? QStringLiteral("Manually")
                             : mode == 1 ? QStringLiteral("On Source Folder(s) Contents Change")
                                         : storedNext;
    QCOMPARE(listRow.nextRunText, listNext);
    QCOMPARE(listRow.lastRunText, kNowText);
    QCOMPARE(listRow.runMode, qint64(mode));

    const TaskRecord loaded = LoadTask(db, kId);
    QCOMPARE(int(loaded.runMode), mode);
    if (mode != 2) {
        QVERIFY(loaded.schedules.isEmpty());
        return;
    }
    QCOMPARE(loaded.schedules.size(), 1);
    const TaskScheduleItem& back = loaded.schedules.first();
    QCOMPARE(int(back.entry.kind), kind);
    QCOMPARE(back.entry.value, value);
    QCOMPARE(back.entry.weekMask, mask);
    QCOMPARE(back.entry.onceDate, onceDate);
    QCOMPARE(back.entry.startTime, start.trimmed());
    QCOMPARE(back.taskSchId, Keys(db, "TaskSchedule", "TaskSchID").value(0));
    QCOMPARE(back.nextRunText, kind == 5 ? storedNext : QString());
}

void TestTaskWriter::taskAndSourceRows_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("sourceText");
    QTest::addColumn<QStringList>("sourceRows");

    QTest::newRow("one source, trimmed only in the task row")
        << QStringList{QStringLiteral(" /home/ann/it's photos ")}
        << QStringLiteral("/home/ann/it's photos")
        << QStringList{QStringLiteral(" /home/ann/it's photos |1")};
    QTest::newRow("two sources") << QStringList{QStringLiteral("/home/bob's"),
                                                QStringLiteral(" /srv/music ")}
                                 << QStringLiteral(" !>/home/bob's !>/srv/music")
                                 << QStringList{QStringLiteral("/home/bob's|1"),
                                                QStringLiteral(" /srv/music |0")};
}

void TestTaskWriter::taskAndSourceRows()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, sourceText);
    QFETCH(QStringList, sourceRows);

    TaskDatabase db;
    openFresh(db);
    TaskRecord task = BaseTask(QStringLiteral(" 4242 "), TaskRunMode::Manual);
    task.groupId = QStringLiteral(" 77 ");
    task.name = QStringLiteral(" Bob's files ");
    task.targetDir = QStringLiteral(" /mnt/o'neil ");
    task.sources.clear();
    for (qsizetype i = 0; i < paths.size(); ++i)
        task.sources.append({paths[i], i == 0});
    const TaskListRow listRow = save(db, task);

    QCOMPARE(Rows(db, QStringLiteral("select * from Task"),
                  {"TaskID", "TaskGroupID", "TaskName", "SourceDir", "TargetDir", "ScheduleType"}),
             QStringList{QStringLiteral("4242|77|Bob's files|%1|/mnt/o'neil|0").arg(sourceText)});
    QCOMPARE(Rows(db, QStringLiteral("select * from SourceDir order by rowid"),
                  {"SourceDir", "IncludeSubDir"}),
             sourceRows);
    QCOMPARE(listRow.taskId, kId);
    QCOMPARE(listRow.taskName, QStringLiteral("Bob's files"));
    QCOMPARE(listRow.sourceText, sourceText);
    QCOMPARE(listRow.targetDir, QStringLiteral("/mnt/o'neil"));

    const TaskRecord loaded = LoadTask(db, kId);
    QCOMPARE(loaded.groupId, QStringLiteral("77"));
    QCOMPARE(loaded.name, QStringLiteral("Bob's files"));
    QCOMPARE(loaded.targetDir, QStringLiteral("/mnt/o'neil"));
    QCOMPARE(loaded.sources.size(), paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        QCOMPARE(loaded.sources[i].path, paths[i]);
        QCOMPARE(loaded.sources[i].includeSubfolders, i == 0);
    }
}

void TestTaskWriter::editReplacesEveryRow()
{
    TaskDatabase db;
    openFresh(db);
    TaskRecord other = BaseTask(QStringLiteral("5"), TaskRunMode::Scheduled);
    other.schedules = {Entry(ScheduleKind::EveryHours, 1)};
    save(db, other);
    const QStringList otherRows = Snapshot(db);

    TaskRecord task = BaseTask(kId, TaskRunMode::Manual);
    task.excludeMode = true;
    task.rules = {Rule(0, QStringLiteral("tmp,")), Rule(1, QStringLiteral("/a/b.txt"))};
    save(db, task);
    const QList<qint64> oldRuleKeys = Keys(db, "Exclude", "ExcludeID");
    const QList<qint64> oldScheduleKeys = Keys(db, "TaskSchedule", "TaskSchID");
    QCOMPARE(oldScheduleKeys.size(), 1);

    // Manual -> Scheduled, rules kept, another source list.
    TaskRecord edited = LoadTask(db, kId);
    QCOMPARE(edited.rules.size(), 2);
    edited.runMode = TaskRunMode::Scheduled;
    edited.schedules = {Entry(ScheduleKind::EveryDays, 1), Entry(ScheduleKind::EveryMinutes, 5)};
    edited.sources = {{QStringLiteral("/x"), false}};
    const TaskListRow listRow = save(db, edited, TaskSaveMode::Edit);

    QCOMPARE(ScheduleRows(db, kId),
             (QStringList{QStringLiteral("2|1|-|0|%1|2026-12-10 10:00:00").arg(kNowText),
                          QStringLiteral("0|5|-|0|%1|2026-12-09 10:05:00").arg(kNowText)}));
    QCOMPARE(listRow.nextRunText, QStringLiteral("2026-12-09 10:05:00"));
    QCOMPARE(RuleRows(db, kId),
             (QStringList{QStringLiteral("0|-|-|tmp,|-"), QStringLiteral("1|-|-|/a/b.txt|-")}));
    for (qint64 key : Keys(db, "Exclude", "ExcludeID"))
        QVERIFY(!oldRuleKeys.contains(key));
    for (qint64 key : Keys(db, "TaskSchedule", "TaskSchID"))
        QVERIFY(!oldScheduleKeys.contains(key));
    QCOMPARE(Rows(db, QStringLiteral("select * from SourceDir where TaskID='4242'"),
                  {"SourceDir", "IncludeSubDir"}),
             QStringList{QStringLiteral("/x|0")});
    QCOMPARE(Rows(db, QStringLiteral("select * from Task where TaskID='4242'"), {"ScheduleType"}),
             QStringList{QStringLiteral("2")});

    // Back to "include all files": the rules still held are not stored.
    edited.excludeMode = false;
    save(db, edited, TaskSaveMode::Edit);
    QVERIFY(RuleRows(db, kId).isEmpty());
    const TaskRecord reloaded = LoadTask(db, kId);
    QVERIFY(!reloaded.excludeMode);
    QVERIFY(reloaded.rules.isEmpty());

    // The other task's rows were never touched.
    DeleteTask(db, kId);
    QCOMPARE(Snapshot(db), otherRows);
}

void TestTaskWriter::loadStopsAtIncludeAllRowAndSkipsMarkers()
{
    TaskDatabase db;
    openFresh(db);
    TaskRecord task = BaseTask(kId, TaskRunMode::Manual);
    task.excludeMode = true;
    task.rules = {Rule(0, QStringLiteral("tmp,"))};
    save(db, task);
    // No save writes a -1 row; it stands for "include all files".
    TaskQuery query(db);
    RunStatement(query, QStringLiteral("insert into Exclude(TaskID, type) values('4242', -1)"));
    RunStatement(query, QStringLiteral("insert into Exclude(TaskID, type, value) "
                                       "values('4242', 1, '/a')"));

    const TaskRecord loaded = LoadTask(db, kId);
    QVERIFY(!loaded.excludeMode);
    QCOMPARE(loaded.rules.size(), 1);
    QCOMPARE(loaded.rules.first().value, QStringLiteral("tmp,"));
    QCOMPARE(loaded.runMode, TaskRunMode::Manual);
    QVERIFY(loaded.schedules.isEmpty()); // the marker row is no entry

    try {
        LoadTask(db, QStringLiteral("999"));
        QFAIL("an unknown task was loaded");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("'999'")), qPrintable(e.message()));
    }
}

void TestTaskWriter::failingWriteLeavesEveryRow_data()
{
    QTest::addColumn<FailingWrite>("write");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("message");

    const QString refused = QStringLiteral("refused");
    auto refusing = [](const char* when) {
        return QStringLiteral("CREATE TRIGGER refuse %1 BEGIN SELECT RAISE(ABORT, 'refused'); END")
            .arg(QLatin1String(when));
    };
    QTest::newRow("new task, schedule insert refused")
        << FailingWrite::SaveNew << refusing("BEFORE INSERT ON TaskSchedule") << refused;
    QTest::newRow("edit, schedule insert refused after the deletes")
        << FailingWrite::SaveEdit << refusing("BEFORE INSERT ON TaskSchedule") << refused;
    QTest::newRow("new task with a taken identifier")
        << FailingWrite::SaveTakenId << QString()
        << QStringLiteral("UNIQUE constraint failed: Task.TaskID");
    QTest::newRow("delete, rule delete refused after two deletes")
        << FailingWrite::DeleteTask << refusing("BEFORE DELETE ON Exclude") << refused;
    QTest::newRow("group with a taken identifier")
        << FailingWrite::AddTakenGroup << QString()
        << QStringLiteral("UNIQUE constraint failed: TaskGroup.TaskGroupID");
    QTest::newRow("rename refused")
        << FailingWrite::RenameGroup << refusing("BEFORE UPDATE ON TaskGroup") << refused;
    QTest::newRow("group delete refused")
        << FailingWrite::DeleteGroup << refusing("BEFORE DELETE ON TaskGroup") << refused;
}

void TestTaskWriter::failingWriteLeavesEveryRow()
{
    QFETCH(FailingWrite, write);
    QFETCH(QString, trigger);
    QFETCH(QString, message);

    TaskDatabase db;
    openFresh(db);
    AddTaskGroup(db, QStringLiteral("77"), QStringLiteral("Holidays"));
    TaskRecord task = BaseTask(kId, TaskRunMode::Scheduled);
    task.sources.append({QStringLiteral("/home/ann/music"), false});
    task.excludeMode = true;
    task.rules = {Rule(0, QStringLiteral("tmp,"))};
    task.schedules = {Entry(ScheduleKind::EveryHours, 2)};
    save(db, task);
    if (!trigger.isEmpty())
        db.execute(trigger);
    const QStringList before = Snapshot(db);

    TaskRecord changed = task;
    changed.name = QStringLiteral("Changed");
    changed.sources = {{QStringLiteral("/elsewhere"), true}};
    try {
        switch (write) {
        case FailingWrite::SaveNew:
            changed.taskId = QStringLiteral("6");
            save(db, changed);
            break;
        case FailingWrite::SaveEdit:
            save(db, changed, TaskSaveMode::Edit);
            break;
        case FailingWrite::SaveTakenId:
            save(db, changed);
            break;
        case FailingWrite::DeleteTask:
            DeleteTask(db, kId);
            break;
        case FailingWrite::AddTakenGroup:
            AddTaskGroup(db, QStringLiteral("77"), QStringLiteral("Again"));
            break;
        case FailingWrite::RenameGroup:
            RenameTaskGroup(db, QStringLiteral("77"), QStringLiteral("Renamed"));
            break;
        case FailingWrite::DeleteGroup:
            DeleteTaskGroup(db, QStringLiteral("77"));
            break;
        }
        QFAIL("the write did not fail");
    } catch (const StoreError& e) {
        // The store's own text, after the file it is about.
        QCOMPARE(e.message(), db.path() + QStringLiteral(": ") + message);
    }
    QCOMPARE(Snapshot(db), before);
}

void TestTaskWriter::deleteTaskAndGroupCommands()
{
    TaskDatabase db;
    openFresh(db);
    AddTaskGroup(db, QStringLiteral(" 77 "), QStringLiteral("Bob's group"));
    AddTaskGroup(db, QStringLiteral("88"), QStringLiteral("Music"));
    RenameTaskGroup(db, QStringLiteral("88"), QStringLiteral("It's music"));
    QCOMPARE(Rows(db, QStringLiteral("select * from TaskGroup"), {"TaskGroupID", "Name"}),
             (QStringList{QStringLiteral("77|Bob's group"), QStringLiteral("88|It's music")}));

    TaskRecord kept = BaseTask(QStringLiteral("5"), TaskRunMode::OnSourceChange);
    save(db, kept);
    TaskRecord gone = BaseTask(kId, TaskRunMode::Scheduled);
    gone.excludeMode = true;
    gone.rules = {Rule(1, QStringLiteral("/a"))};
    gone.schedules = {Entry(ScheduleKind::EveryDays, 1)};
    save(db, gone);

    DeleteTask(db, kId);
    DeleteTaskGroup(db, QStringLiteral("77"));
    const QStringList rows = Snapshot(db);
    for (const QString& row : rows)
        QVERIFY2(!row.contains(kId), qPrintable(row));
    // The group's remaining task keeps the identifier of the deleted group.
    QCOMPARE(rows.filter(QStringLiteral("Task:5|77|")).size(), 1);
    QCOMPARE(rows.filter(QStringLiteral("TaskGroup:")),
             QStringList{QStringLiteral("TaskGroup:88|It's music")});
    QCOMPARE(rows.size(), 4); // the group, the task, its source and its marker row
}

void TestTaskWriter::checks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("sources");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("excludeMode");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("message"); // empty: the task may be saved
    QTest::addColumn<int>("page");        // -1: the page stays as it is

    const QString name = QStringLiteral("Photos");
    const QString target = QStringLiteral("/t");
    QTest::newRow("complete") << name << 1 << target << false << 0 << QString() << -1;
    // Texts are judged without their surrounding blanks.
    QTest::newRow("a name of blanks") << QStringLiteral("  ") << 1 << target << false << 0
                                      << QStringLiteral("Task name is empty!") << -1;
    QTest::newRow("a target of blanks") << name << 1 << QStringLiteral(" \t") << false << 0
                                        << QStringLiteral("Target is empty!") << 1;
    QTest::newRow("a source of blanks") << name << -1 << target << false << 0
                                        << QStringLiteral("Source is empty!") << 0;
    QTest::newRow("a name of 100 characters") << QString(100, u'n') << 1 << target << false << 0
                                              << QString() << -1;
    QTest::newRow("a name of 101 characters")
        << QString(101, u'n') << 1 << target << false << 0
        << QStringLiteral("A task name has at most 100 characters.") << -1;
    QTest::newRow("name first of all")
        << QString() << 0 << QString() << true << 2 << QStringLiteral("Task name is empty!") << -1;
    QTest::newRow("no source") << name << 0 << QString() << false << 0
                               << QStringLiteral("Source is empty!") << 0;
    QTest::newRow("no target") << name << 1 << QString() << false << 0
                               << QStringLiteral("Target is empty!") << 1;
    QTest::newRow("exclude without rules, before the schedule")
        << name << 1 << target << true << 2 << QStringLiteral("Please add a filer!") << 2;
    QTest::newRow("scheduled without entries")
        << name << 1 << target << false << 2 << QStringLiteral("Please add a schedule!") << 3;
    QTest::newRow("on change needs no entries")
        << name << 1 << target << false << 1 << QString() << -1;
}

void TestTaskWriter::checks()
{
    QFETCH(QString, name);
    QFETCH(int, sources);
    QFETCH(QString, target);
    QFETCH(bool, excludeMode);
    QFETCH(int, mode);
    QFETCH(QString, message);
    QFETCH(int, page);

    TaskRecord task = BaseTask(kId, static_cast<TaskRunMode>(mode));
    task.name = name;
    task.targetDir = target;
    task.excludeMode = excludeMode;
    task.sources.clear();
    for (int i = 0; i < sources; ++i)
        task.sources.append({QStringLiteral("/s"), true});
    if (sources < 0) // a good source, then one of blanks
        task.sources = {{QStringLiteral("/s"), true}, {QStringLiteral("   "), false}};

    const auto failure = ValidateTask(task);
    if (message.isEmpty()) {
        QVERIFY(!failure);
        return;
    }
    QVERIFY(failure);
    QCOMPARE(failure->message, message);
    QCOMPARE(failure->page.value_or(-1), page);
}

// A run remembers whether the target was a drive of its own and which file
// system it lay on; an edit that gives the task another target forgets both (a new target is no unplugged
// drive), one that keeps the target keeps it, and runs stay.
void TestTaskWriter::targetKindForgottenWithItsTarget_data()
{
    QTest::addColumn<QString>("newTarget");
    QTest::addColumn<QString>("kept");
    QTest::newRow("same target") << QStringLiteral("/mnt/backup") << QStringLiteral("1");
    QTest::newRow("another target") << QStringLiteral("/srv/copies") << QString();
}

void TestTaskWriter::targetKindForgottenWithItsTarget()
{
    QFETCH(QString, newTarget);
    QFETCH(QString, kept);
    TaskDatabase db;
    openFresh(db);
    TaskRecord task = BaseTask(kId, TaskRunMode::Manual);
    save(db, task);
    WriteTaskOption(db, kId, kOptionTargetIsMountPoint, QStringLiteral("1"));
    const QString fileSystem = QStringLiteral("/mnt/backup\nfuseblk\n/dev/sdb1");
    WriteTaskOption(db, kId, kOptionTargetFileSystem, fileSystem);
    RunRecord run;
    run.taskId = kId;
    run.start = run.end = kNow;
    RecordRun(db, run);

    task.targetDir = newTarget;
    save(db, task, TaskSaveMode::Edit);
    QCOMPARE(ReadTaskOptions(db, kId).value(QString::fromLatin1(kOptionTargetIsMountPoint)), kept);
    QCOMPARE(ReadTaskOptions(db, kId).value(QString::fromLatin1(kOptionTargetFileSystem)),
             kept.isEmpty() ? QString() : fileSystem);
    QCOMPARE(TaskHistory(db, kId).size(), 1);
}

QTEST_GUILESS_MAIN(TestTaskWriter)
#include "TestTaskWriter.moc"
