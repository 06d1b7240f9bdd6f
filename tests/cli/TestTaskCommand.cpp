// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli task and group: what `task add` stores equals what the task
// editor's core save stores for the same choices (every start mode and rule
// kind), bad input ends with status 2 and the editor's message, `edit`
// replaces only what it is given, a task the running instance lists as
// running is not removed, and a change signals no process that holds the
// lock without being Tarnwick, nor one the lock file merely names.
#include "CliProcess.h"
#include "LockHolder.h"
#include "ProgramFolder.h"
#include "Rules.h"
#include "TestDir.h"

#include "cli/CliCommand.h"
#include "cli/TaskCommand.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"
#include "store/ScheduleRules.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <functional>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// Monday 2026-06-01, 10:00:00.
const QDateTime kNow(QDate(2026, 6, 1), QTime(10, 0, 0));

// Every row of every table, in stored order, as text.
QStringList Dump(TaskDatabase& db)
{
    QStringList rows;
    for (const char* table :
         {"TaskGroup", "Task", "SourceDir", "Exclude", "TaskSchedule", "TaskOption"}) {
        TaskQuery query(db);
        RunQuery(query, u"select * from %1 order by rowid"_s.arg(QLatin1StringView(table)));
        const char* columns[] = {
            "TaskGroupID",  "Name",          "TaskID",    "TaskName",    "SourceDir",  "TargetDir",
            "ScheduleType", "IncludeSubDir", "type",      "stype",       "sstype",     "value",
            "EndDate",      "withweek",      "StartTime", "LastRunTime", "NextRunTime",
            "Value"};
        for (; !query.eof(); query.next()) {
            QString row = QLatin1StringView(table);
            for (const char* column : columns) {
                try {
                    row += u'|' + QLatin1StringView(column) + u'=' +
                           (query.isNull(column) ? u"NULL"_s : query.text(column));
                } catch (const StoreError&) {
                    // Not a column of this table.
                }
            }
            rows << row;
        }
    }
    return rows;
}

TaskScheduleItem Entry(ScheduleKind kind, qint64 value, const QString& start = u"0"_s)
{
    TaskScheduleItem item;
    item.entry.kind = kind;
    item.entry.value = value;
    item.entry.startTime = start;
    return item;
}

using Expect = std::function<void(TaskRecord&)>;

} // namespace

Q_DECLARE_METATYPE(Expect)
Q_DECLARE_METATYPE(LockHolderProcess::Runs)

class TestTaskCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addStoresWhatTheEditorStores_data();
    void addStoresWhatTheEditorStores();
    void badInput_data();
    void badInput();
    void overlapIsWarnedNotRefused();
    void editReplacesOnlyWhatIsGiven();
    void showDescribesScheduleAndRules();
    void showAsJson();
    void runningTaskIsNotRemoved();
    void changesSignalNoOtherProgram_data();
    void changesSignalNoOtherProgram();
    void groups();

private:
    CliResult cli(const QStringList& args)
    {
        return RunCli(args, m_folder->home.path(), m_folder->config.path());
    }
    QString database() const { return m_folder->databasePath(); }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<TestDir> m_dir; // the runtime folder and the cases' own files
    FixedClock m_clock{kNow};
};

void TestTaskCommand::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_dir = std::make_unique<TestDir>();
    m_dir->makeDir(u"runtime"_s);
    qputenv("XDG_RUNTIME_DIR", m_dir->filePath(u"runtime"_s).toUtf8());
}

void TestTaskCommand::cleanup()
{
    // The folder goes first and puts back the variables it set, before the
    // next case's folder takes them.
    m_folder.reset();
    m_dir.reset();
}

void TestTaskCommand::addStoresWhatTheEditorStores_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Expect>("expect");
    const auto sched = [](QList<TaskScheduleItem> items) {
        return Expect([items](TaskRecord& t) {
            t.runMode = TaskRunMode::Scheduled;
            t.schedules = items;
        });
    };
    const auto rules = [](QList<ExcludeRule> list) {
        return Expect([list](TaskRecord& t) {
            t.excludeMode = true;
            t.rules = list;
        });
    };

    QTest::newRow("manual by default") << QStringList{} << Expect([](TaskRecord&) {});
    QTest::newRow("on change") << QStringList{u"--on-change"_s} << Expect([](TaskRecord& t) {
        t.runMode = TaskRunMode::OnSourceChange;
    });
    QTest::newRow("two sources, one without subfolders")
        << QStringList{u"--no-subfolders"_s, u"/data/b"_s} << Expect([](TaskRecord& t) {
               t.sources.append({u"/data/b"_s, false});
           });
    QTest::newRow("every 30 minutes")
        << QStringList{u"--every"_s, u"30m"_s} << sched({Entry(ScheduleKind::EveryMinutes, 30)});
    QTest::newRow("every 2 hours at nine")
        << QStringList{u"--every"_s, u"2h"_s, u"--at"_s, u"9:00"_s}
        << sched({Entry(ScheduleKind::EveryHours, 2, u"09:00:00"_s)});
    QTest::newRow("every 3 days") << QStringList{u"--every=3d"_s}
                                  << sched({Entry(ScheduleKind::EveryDays, 3)});
    TaskScheduleItem week = Entry(ScheduleKind::WithinWeek, 0, u"09:00:00"_s);
    week.entry.weekMask = u"1000100"_s;
    QTest::newRow("weekly") << QStringList{u"--weekly"_s, u"mon,fri"_s, u"--at"_s, u"09:00:00"_s}
                            << sched({week});
    QTest::newRow("monthly") << QStringList{u"--monthly"_s, u"15"_s}
                             << sched({Entry(ScheduleKind::WithinMonth, 15)});
    TaskScheduleItem once = Entry(ScheduleKind::Once, 0, u"08:30:00"_s);
    once.entry.onceDate = QDate(2027, 1, 1);
    QTest::newRow("once") << QStringList{u"--once"_s, u"2027-01-01"_s, u"--at"_s, u"08:30"_s}
                          << sched({once});
    // The editor's list keeps its entries sorted by their captions.
    QTest::newRow("several entries in the editor's order")
        << QStringList{u"--monthly"_s, u"3"_s, u"--every"_s, u"5h"_s}
        << sched({Entry(ScheduleKind::EveryHours, 5), Entry(ScheduleKind::WithinMonth, 3)});
    QTest::newRow("extensions") << QStringList{u"--exclude-ext"_s, u"doc,tmp"_s}
                                << rules({Rule(0, 0, 0, u"doc,tmp,"_s)});
    QTest::newRow("one file") << QStringList{u"--exclude-file"_s, u"/data/a/it's.txt"_s}
                              << rules({Rule(1, 0, 0, u"/data/a/it's.txt"_s)});
    QTest::newRow("sizes") << QStringList{u"--exclude-size"_s, u">10M"_s,
                                          u"--exclude-size"_s, u"<5K"_s,
                                          u"--exclude-size"_s, u"=0"_s}
                           << rules({Rule(2, 2, 0, u"10"_s), Rule(2, 0, 1, u"5"_s),
                                     Rule(2, 1, 2, u"0"_s)});
    QTest::newRow("date windows") << QStringList{u"--exclude-date"_s,
                                                 u"2m"_s,
                                                 u"--exclude-date"_s,
                                                 u"accessed:7d"_s,
                                                 u"--exclude-date"_s,
                                                 u"created:2004-01-10..2004-01-20"_s}
                                  << rules({Rule(3, 0, 0, u"2"_s), Rule(3, 2, 1, u"7"_s),
                                            Rule(3, 1, 2, u"2004-01-10"_s, u"2004-01-20"_s)});
    QTest::newRow("attributes") << QStringList{u"--exclude-attr"_s, u"hidden,readonly"_s}
                                << rules({Rule(4, 0, 0, u"101000"_s)});
    const auto extras = [](TaskExtras given) {
        return Expect([given](TaskRecord& t) { t.extras = given; });
    };
    QTest::newRow("versions in the default folder")
        << QStringList{u"--keep-versions"_s, u"5"_s} << extras({5, QString(), false});
    // A relative folder stays relative: it lies inside the target.
    QTest::newRow("versions in a folder of their own")
        << QStringList{u"--keep-versions=2"_s, u"--versions-folder"_s, u"old"_s}
        << extras({2, u"old"_s, false});
    QTest::newRow("run when the target appears")
        << QStringList{u"--when-target-appears"_s} << extras({0, QString(), true});
    QTest::newRow("operations at once")
        << QStringList{u"--parallel"_s, u"16"_s} << extras({0, QString(), false, 16});
    QTest::newRow("the last of two choices holds")
        << QStringList{u"--when-target-appears"_s, u"--not-when-target-appears"_s}
        << extras({0, QString(), false});
}

void TestTaskCommand::addStoresWhatTheEditorStores()
{
    QFETCH(QStringList, options);
    QFETCH(Expect, expect);

    cli::TaskCommand command(m_clock);
    QCOMPARE(command.run(QStringList{u"add"_s, u"Bob's task"_s, u"--source"_s, u"/data/a"_s,
                                     u"--target"_s, u"/backup"_s} +
                         options),
             cli::kExitOk);
    TaskDatabase stored;
    stored.open(database());
    const QStringList byCommand = Dump(stored);

    // The same choices through the editor's core save, in a database of its own.
    TaskRecord task;
    const QRegularExpression idField(u"^Task\\|.*\\|TaskID=(\\d+)\\|"_s);
    task.taskId = idField.match(byCommand.filter(u"Task|"_s).value(0)).captured(1);
    QVERIFY(!task.taskId.isEmpty());
    task.name = u"Bob's task"_s;
    task.targetDir = u"/backup"_s;
    task.sources = {{u"/data/a"_s, true}};
    expect(task);
    const QString reference = m_dir->filePath(u"reference.dat"_s);
    CreateTaskDatabase(reference);
    TaskDatabase db;
    db.open(reference);
    SaveTask(db, task, TaskSaveMode::New, m_clock);
    QCOMPARE(byCommand, Dump(db));
}

void TestTaskCommand::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QStringList base{u"task"_s, u"add"_s,      u"T"_s, u"--source"_s,
                           u"/s"_s,   u"--target"_s, u"/t"_s};
    QTest::newRow("unknown option")
        << base + QStringList{u"--colour"_s} << u"unknown option '--colour'"_s;
    QTest::newRow("bad interval") << base + QStringList{u"--every"_s, u"5x"_s}
                                  << u"bad interval '5x'"_s;
    QTest::newRow("interval below the bound")
        << base + QStringList{u"--every"_s, u"1m"_s} << u"from 2 to 1000"_s;
    QTest::newRow("day of month past 28")
        << base + QStringList{u"--monthly"_s, u"29"_s} << u"from 1 to 28"_s;
    QTest::newRow("empty name") << QStringList{u"task"_s, u"add"_s,      u""_s,  u"--source"_s,
                                               u"/s"_s,   u"--target"_s, u"/t"_s}
                                << u"task add: Task name is empty!"_s;
    QTest::newRow("a name of blanks") << QStringList{u"task"_s, u"add"_s, u"   "_s, u"--source"_s,
                                                     u"/s"_s, u"--target"_s, u"/t"_s}
                                      << u"task add: Task name is empty!"_s;
    const QString control =
        u"A task name must not hold control characters (line breaks, tabs, escapes)."_s;
    QTest::newRow("a name holding a log line")
        << QStringList{u"task"_s, u"add"_s, u"T\n[12:00:00] Mirror Successed!!"_s,
                       u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s}
        << control;
    QTest::newRow("a name holding an escape")
        << QStringList{u"task"_s, u"add"_s, u"T\x1b[2J"_s, u"--source"_s, u"/s"_s,
                       u"--target"_s, u"/t"_s}
        << control;
    QTest::newRow("a target that is a file")
        << QStringList{u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s,
                       u"/dev/null"_s}
        << u"The target '/dev/null' is a file, not a folder."_s;
    QTest::newRow("missing target")
        << QStringList{u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s}
        << u"task add: Target is empty!"_s;
    QTest::newRow("missing source")
        << QStringList{u"task"_s, u"add"_s, u"T"_s, u"--target"_s, u"/t"_s}
        << u"task add: Source is empty!"_s;
    QTest::newRow("no week day") << base + QStringList{u"--weekly"_s, u","_s}
                                 << u"None selected day!"_s;
    QTest::newRow("once in the past") << base + QStringList{u"--once"_s, u"2001-01-01"_s}
                                      << u"The run date is earlier than current date!"_s;
    QTest::newRow("empty extension list")
        << base + QStringList{u"--exclude-ext"_s, u","_s} << u"Wildcard is empty!"_s;
    QTest::newRow("no attribute") << base + QStringList{u"--exclude-attr"_s, u""_s}
                                  << u"A Attributes must been checked! at least!"_s;
    QTest::newRow("window the wrong way round")
        << base + QStringList{u"--exclude-date"_s, u"2004-01-20..2004-01-10"_s}
        << u"Begin date must be earlier than To date!"_s;
    QTest::newRow("--at without a schedule")
        << base + QStringList{u"--at"_s, u"09:00"_s} << u"--at gives the time"_s;
    QTest::newRow("two start modes")
        << base + QStringList{u"--manual"_s, u"--every"_s, u"2h"_s} << u"choose one start mode"_s;
    QTest::newRow("option without its value")
        << base + QStringList{u"--group"_s} << u"option '--group' needs a value"_s;
    QTest::newRow("unknown group")
        << base + QStringList{u"--group"_s, u"Nope"_s} << u"no group with the ID or name 'Nope'"_s;
    QTest::newRow("unknown task") << QStringList{u"task"_s, u"show"_s, u"Nope"_s}
                                  << u"no task with the ID or name 'Nope'"_s;
    QTest::newRow("a hundred versions") << base + QStringList{u"--keep-versions"_s, u"100"_s}
                                        << u"--keep-versions is from 0 (off) to 99"_s;
    QTest::newRow("too many at once") << base + QStringList{u"--parallel"_s, u"65"_s}
                                      << u"--parallel is from 0 (chosen by the target) to 64"_s;
    QTest::newRow("versions as a word") << base + QStringList{u"--keep-versions"_s, u"all"_s}
                                        << u"--keep-versions must be a number, not 'all'"_s;
    // Versions kept in the target itself would be mirrored over and over.
    const QString notTheTarget =
        u"The versions folder cannot be the target folder or a folder above it."_s;
    QTest::newRow("versions in the target")
        << base + QStringList{u"--keep-versions"_s, u"3"_s, u"--versions-folder"_s, u"."_s}
        << notTheTarget;
    QTest::newRow("versions above the target")
        << base + QStringList{u"--keep-versions"_s, u"3"_s, u"--versions-folder"_s, u"/"_s}
        << notTheTarget;
    // In a source, the user's own files there would never be mirrored and
    // replaced files would be written into the source.
    const QString notInASource =
        u"The versions folder cannot be a source folder, lie inside one or hold one."_s;
    QTest::newRow("versions in a source")
        << base + QStringList{u"--keep-versions"_s, u"3"_s, u"--versions-folder"_s, u"/s/old"_s}
        << notInASource;
    QTest::newRow("versions as the source")
        << base + QStringList{u"--keep-versions"_s, u"3"_s, u"--versions-folder"_s, u"/s"_s}
        << notInASource;
}

void TestTaskCommand::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const CliResult result = cli(args);
    QCOMPARE(result.exitCode, cli::kExitUsage);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    TaskDatabase db;
    db.open(database());
    QVERIFY(Dump(db).isEmpty());
}

void TestTaskCommand::overlapIsWarnedNotRefused()
{
    const CliResult added = cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/data"_s,
                                 u"--target"_s, u"/data/backup"_s});
    QCOMPARE(added.exitCode, 0);
    QVERIFY2(added.err.startsWith(u"task add: warning: The target /data/backup lies inside the "
                                  "source folder /data"_s),
             qPrintable(added.err));
    const CliResult edited =
        cli({u"task"_s, u"edit"_s, u"T"_s, u"--target"_s, u"/data"_s});
    QCOMPARE(edited.exitCode, 0);
    QVERIFY2(edited.err.contains(u"task edit: warning: The target is the source folder /data"_s),
             qPrintable(edited.err));
    TaskDatabase db;
    db.open(database());
    QCOMPARE(LoadTask(db, added.out.trimmed()).targetDir, u"/data"_s);
}

void TestTaskCommand::editReplacesOnlyWhatIsGiven()
{
    const CliResult added =
        cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s,
             u"--every"_s, u"2h"_s, u"--exclude-ext"_s, u"doc"_s, u"--keep-versions"_s, u"4"_s,
             u"--when-target-appears"_s});
    QCOMPARE(added.exitCode, 0);
    const QString id = added.out.trimmed();

    // A new target: sources, schedule and rules stay.
    CliResult edited = cli({u"task"_s, u"edit"_s, id, u"--target"_s, u"/t2"_s});
    QCOMPARE(edited.exitCode, 0);
    QVERIFY(edited.out.isEmpty() && edited.err.isEmpty());
    {
        TaskDatabase db;
        db.open(database());
        const TaskRecord task = LoadTask(db, id);
        QCOMPARE(task.targetDir, u"/t2"_s);
        QCOMPARE(task.sources.size(), 1);
        QCOMPARE(task.runMode, TaskRunMode::Scheduled);
        QCOMPARE(task.schedules.size(), 1);
        QCOMPARE(task.rules.size(), 1);
        QCOMPARE(task.extras, (TaskExtras{4, QString(), true}));
    }
    // A start mode replaces the schedule; --include-all the rules; a new
    // source list the old one; the name by the task's name.
    edited = cli({u"task"_s, u"edit"_s, u"T"_s, u"--on-change"_s, u"--include-all"_s, u"--source"_s,
                  u"/s2"_s, u"--name"_s, u"U"_s});
    QCOMPARE(edited.exitCode, 0);
    TaskDatabase db;
    db.open(database());
    const TaskRecord task = LoadTask(db, id);
    QCOMPARE(task.name, u"U"_s);
    QCOMPARE(task.runMode, TaskRunMode::OnSourceChange);
    QVERIFY(task.schedules.isEmpty());
    QVERIFY(!task.excludeMode);
    QCOMPARE(task.sources.size(), 1);
    QCOMPARE(task.sources.first().path, u"/s2"_s);
    QCOMPARE(task.extras, (TaskExtras{4, QString(), true}));
    // Turning versions off leaves no row behind.
    QCOMPARE(cli({u"task"_s, u"edit"_s, id, u"--keep-versions"_s, u"0"_s,
                  u"--not-when-target-appears"_s})
                 .exitCode,
             0);
    QCOMPARE(LoadTask(db, id).extras, TaskExtras{});
    QVERIFY(Dump(db).filter(u"TaskOption|"_s).isEmpty());
    // An edit the editor refuses changes nothing.
    edited = cli({u"task"_s, u"edit"_s, id, u"--name"_s, u""_s});
    QCOMPARE(edited.exitCode, 2);
    QVERIFY(edited.err.contains(u"Task name is empty!"_s));
    QCOMPARE(LoadTask(db, id).name, u"U"_s);
}

void TestTaskCommand::showDescribesScheduleAndRules()
{
    const CliResult added =
        cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s,
             u"--every"_s, u"1h"_s, u"--at"_s, u"09:00"_s, u"--weekly"_s, u"mon,wed"_s,
             u"--exclude-attr"_s, u"readonly,encrypted"_s, u"--exclude-date"_s, u"3m"_s});
    QCOMPARE(added.exitCode, 0);
    const CliResult shown = cli({u"task"_s, u"show"_s, added.out.trimmed()});
    QCOMPARE(shown.exitCode, 0);
    for (const QString& text :
         {u"Run every hour; Starting at 09:00:00"_s, u"Run on: Monday, Wednesday"_s,
          u"Excluder if file attribute(s) set: Read Only or Encrypted."_s,
          u"Excluder if file Modified in the last 3 months"_s, u"/s  (with subfolders)"_s})
        QVERIFY2(shown.out.contains(text), qPrintable(shown.out));
}

// The JSON of one task has the task document's members, so that a script
// reads `task show --json` and `export` alike, and its run times as moments
// with their offset.
void TestTaskCommand::showAsJson()
{
    const CliResult added =
        cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s,
             u"--every"_s, u"1h"_s, u"--at"_s, u"09:00"_s, u"--exclude-date"_s, u"3m"_s});
    QCOMPARE(added.exitCode, 0);
    const QString id = added.out.trimmed();
    const CliResult shown = cli({u"task"_s, u"show"_s, u"--json"_s, u"T"_s});
    QCOMPARE(shown.exitCode, 0);
    QJsonObject task = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    const QRegularExpression moment(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"_s);
    for (const QString& member : {u"lastRun"_s, u"nextRun"_s}) {
        const QString value = task.take(member).toString();
        QVERIFY2(moment.match(value).hasMatch(), qPrintable(member + u": "_s + value));
    }
    const QJsonObject document =
        QJsonDocument::fromJson(cli({u"export"_s}).out.toUtf8()).object();
    QCOMPARE(task, document.value(u"tasks"_s).toArray().at(0).toObject());
    QCOMPARE(task.value(u"id"_s).toString(), id);

    const CliResult bad = cli({u"task"_s, u"show"_s, u"T"_s, u"--xml"_s});
    QCOMPARE(bad.exitCode, 2);
    QVERIFY2(bad.err.contains(u"unknown option '--xml'"_s), qPrintable(bad.err));
}

void TestTaskCommand::runningTaskIsNotRemoved()
{
    const CliResult added =
        cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s});
    const QString id = added.out.trimmed();
    {
        // This process stands in for a window or daemon running the task.
        InstanceLock lock;
        QCOMPARE(lock.tryAcquire(), InstanceLock::Outcome::Acquired);
        QVERIFY(lock.announce({id}));
        const CliResult removed = cli({u"task"_s, u"remove"_s, id});
        QCOMPARE(removed.exitCode, cli::kExitFailure);
        QVERIFY2(removed.err.contains(u"is running in Tarnwick"_s), qPrintable(removed.err));
        const CliResult edited = cli({u"task"_s, u"edit"_s, id, u"--target"_s, u"/x"_s});
        QCOMPARE(edited.exitCode, cli::kExitFailure);
    }
    TaskDatabase db;
    db.open(database());
    QCOMPARE(LoadTask(db, id).targetDir, u"/t"_s);
    // Once nobody holds the lock, what the file says is stale.
    const CliResult removed = cli({u"task"_s, u"remove"_s, id});
    QCOMPARE(removed.exitCode, 0);
    QVERIFY(Dump(db).isEmpty());
}

void TestTaskCommand::changesSignalNoOtherProgram_data()
{
    QTest::addColumn<LockHolderProcess::Runs>("holderRuns");
    QTest::addColumn<bool>("namesBystander"); // else the holder names itself
    using Runs = LockHolderProcess::Runs;
    QTest::newRow("sleep holds the lock, names itself") << Runs::Sleep << false;
    QTest::newRow("sleep holds the lock, names another sleep") << Runs::Sleep << true;
    QTest::newRow("another program holds the lock, names itself") << Runs::TestProgram << false;
}

void TestTaskCommand::changesSignalNoOtherProgram()
{
    QFETCH(LockHolderProcess::Runs, holderRuns);
    QFETCH(bool, namesBystander);
    const QString lockFile = InstanceLock::lockFilePath();
    LockHolderProcess holder(holderRuns, lockFile);
    QVERIFY(holder.isRunning());
    LockHolderProcess bystander(LockHolderProcess::Runs::Sleep);
    QVERIFY(bystander.isRunning());
    NameInLockFile(lockFile, namesBystander ? bystander.pid() : holder.pid());

    // Both change the stored tasks and then ask the running instance to
    // read them anew; SIGHUP would end either process.
    const CliResult task =
        cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s});
    QCOMPARE(task.exitCode, 0);
    QCOMPARE(task.err, QString());
    const CliResult group = cli({u"group"_s, u"add"_s, u"G"_s});
    QCOMPARE(group.exitCode, 0);
    QCOMPARE(holder.endingSignal(500), 0);
    QVERIFY(holder.isRunning());
    QVERIFY(bystander.isRunning());
}

void TestTaskCommand::groups()
{
    const CliResult added = cli({u"group"_s, u"add"_s, u"Work"_s});
    QCOMPARE(added.exitCode, 0);
    const QString groupId = added.out.trimmed();
    QCOMPARE(cli({u"group"_s, u"add"_s, u""_s}).exitCode, 2);
    QCOMPARE(cli({u"group"_s, u"add"_s, QString(31, u'x')}).exitCode, 2);
    const CliResult task = cli({u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s, u"--target"_s,
                                u"/t"_s, u"--group"_s, u"Work"_s});
    QCOMPARE(task.exitCode, 0);
    QCOMPARE(cli({u"group"_s, u"rename"_s, u"Work"_s, u"Home"_s}).exitCode, 0);
    TaskDatabase db;
    db.open(database());
    QCOMPARE(LoadTask(db, task.out.trimmed()).groupId, groupId);
    QVERIFY(Dump(db).contains(u"TaskGroup|TaskGroupID=%1|Name=Home"_s.arg(groupId)));
    QCOMPARE(cli({u"group"_s, u"remove"_s, groupId}).exitCode, 0);
    // The task stays, with its old group.
    QCOMPARE(LoadTask(db, task.out.trimmed()).groupId, groupId);
    QVERIFY(Dump(db).filter(u"TaskGroup|"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestTaskCommand)
#include "TestTaskCommand.moc"
