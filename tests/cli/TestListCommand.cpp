// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli list: groups with their tasks, the task list's cell rules,
// a database that cannot be opened, one that can only be read, and a
// damaged row that list and export name and pass over; the JSON form.
#include "CliProcess.h"
#include "ScopedTimeZone.h"
#include "TestDir.h"

#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tarnwick;

class TestListCommand : public QObject
{
    Q_OBJECT

private slots:
    void showsGroupsTasksAndCells();
    void jsonHoldsTheDocumentsMembers();
    void unopenableDatabase_data();
    void unopenableDatabase();
    void readOnlyDatabase_data();
    void readOnlyDatabase();
    void unreadableRowIsNamedAndPassedOver_data();
    void unreadableRowIsNamedAndPassedOver();

private:
    // One group with a manual task, an on-change task, a scheduled task
    // with two entries and one without any.
    static void FillTasks(const QTemporaryDir& home);
};

void TestListCommand::FillTasks(const QTemporaryDir& home)
{
    {
        TaskDatabase db;
        db.open(home.filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery q(db);
        const auto task = [&](const char* id, const char* group, const char* name, qint64 mode) {
            RunStatement(q, FillStatement(sql::InsertTask,
                                          {QString::fromLatin1(id), QString::fromLatin1(group),
                                           QString::fromUtf8(name), QStringLiteral("/src"),
                                           QStringLiteral("/dst"), mode}));
        };
        RunStatement(q, FillStatement(sql::InsertGroup,
                                      {QStringLiteral("77"), QStringLiteral("Bob's group")}));
        task("1", "77", "Bob's files", 0);
        task("2", "AllTask", "watched", 1);
        task("3", "AllTask", "timed", 2);
        task("4", "AllTask", "timed, no entries", 2);
        RunStatement(q,
                     FillStatement(sql::InsertManualRow,
                                   {QStringLiteral("1"), QStringLiteral("2026-12-01 08:00:00")}));
        RunStatement(q, FillStatement(sql::InsertIntervalEntry,
                                      {QStringLiteral("3"), qint64(2), qint64(1),
                                       QStringLiteral("2026-12-01 08:00:00"),
                                       QStringLiteral("2026-12-05"), QStringLiteral("0")}));
        RunStatement(q,
                     FillStatement(sql::InsertIntervalEntry,
                                   {QStringLiteral("3"), qint64(0), qint64(5),
                                    QStringLiteral("2026-12-02 09:30:00"),
                                    QStringLiteral("2026-12-06 10:00:00"), QStringLiteral("0")}));
    }
}

void TestListCommand::showsGroupsTasksAndCells()
{
    QTemporaryDir home, config;
    QCOMPARE(RunCli({QStringLiteral("init")}, home.path(), config.path()).exitCode, 0);
    FillTasks(home);
    const CliResult result = RunCli({QStringLiteral("list")}, home.path(), config.path());
    QCOMPARE(result.exitCode, 0);
    const QString& out = result.out;
    QVERIFY2(out.contains(QStringLiteral("Group Bob's group [77]\n  [1] Bob's files\n")),
             qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("last run: 2026-12-01 08:00:00   next run: Manually")));
    QVERIFY(out.contains(QStringLiteral("next run: On Source Folder(s) Contents Change")));
    // Earliest next run, shown without a time at midnight; latest last run.
    QVERIFY(out.contains(QStringLiteral("last run: 2026-12-02 09:30:00   next run: 2026-12-05\n")));
    QVERIFY(out.contains(QStringLiteral(
        "[4] timed, no entries\n      start: scheduled   last run: -   next run: -")));
    // A grouped task is not listed again among the ungrouped ones.
    QCOMPARE(out.count(QStringLiteral("Bob's files")), 1);
}

// A script reads the list as JSON: the tasks with the very members the
// task document has, and the run times as moments with their offset, which
// mean the same wherever the document is read.
void TestListCommand::jsonHoldsTheDocumentsMembers()
{
    const ScopedTimeZone zone("Europe/Berlin");
    QTemporaryDir home, config;
    QCOMPARE(RunCli({QStringLiteral("init")}, home.path(), config.path()).exitCode, 0);
    FillTasks(home);
    const CliResult result =
        RunCli({QStringLiteral("list"), QStringLiteral("--json")}, home.path(), config.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    const QJsonObject list = QJsonDocument::fromJson(result.out.toUtf8()).object();
    const CliResult exported = RunCli({QStringLiteral("export")}, home.path(), config.path());
    QCOMPARE(exported.exitCode, 0);
    const QJsonObject document = QJsonDocument::fromJson(exported.out.toUtf8()).object();

    QCOMPARE(list.value(QStringLiteral("groups")), document.value(QStringLiteral("groups")));
    const QJsonArray tasks = list.value(QStringLiteral("tasks")).toArray();
    const QJsonArray documented = document.value(QStringLiteral("tasks")).toArray();
    QCOMPARE(tasks.size(), 4);
    QCOMPARE(tasks.size(), documented.size());
    QHash<QString, QJsonObject> byId;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        QJsonObject task = tasks.at(i).toObject();
        byId.insert(task.value(QStringLiteral("id")).toString(), task);
        for (const char* added : {"lastRun", "nextRun", "lastResult"}) {
            QVERIFY2(task.contains(QLatin1StringView(added)), added);
            task.remove(QLatin1StringView(added));
        }
        QCOMPARE(task, documented.at(i).toObject());
    }
    const auto value = [&](const char* id, const char* member) {
        return byId.value(QLatin1StringView(id)).value(QLatin1StringView(member));
    };
    QCOMPARE(value("1", "lastRun").toString(), QStringLiteral("2026-12-01T08:00:00+01:00"));
    QVERIFY(value("1", "nextRun").isNull()); // "Manually" is no moment
    QVERIFY(value("2", "nextRun").isNull());
    QCOMPARE(value("3", "lastRun").toString(), QStringLiteral("2026-12-02T09:30:00+01:00"));
    QCOMPARE(value("3", "nextRun").toString(), QStringLiteral("2026-12-05T00:00:00+01:00"));
    QVERIFY(value("4", "lastRun").isNull());
    QVERIFY(value("1", "lastResult").isNull()); // no run kept

    const CliResult extra = RunCli({QStringLiteral("list"), QStringLiteral("--json"),
                                    QStringLiteral("more")},
                                   home.path(), config.path());
    QCOMPARE(extra.exitCode, 2);
    QVERIFY(extra.out.isEmpty());
}

void TestListCommand::unreadableRowIsNamedAndPassedOver_data()
{
    QTest::addColumn<QString>("damage"); // run on a database of tasks 1 (grouped) and 2
    QTest::addColumn<bool>("listed");    // whether list can still show task 1
    QTest::newRow("the task's start mode") << QStringLiteral(
        "update Task set ScheduleType = 'zz' where TaskID = '1'") << false;
    QTest::newRow("a schedule entry's kind")
        << QStringLiteral("update TaskSchedule set ScheduleType = 'zz' where TaskID = '1'") << true;
}

void TestListCommand::unreadableRowIsNamedAndPassedOver()
{
    QFETCH(QString, damage);
    QFETCH(bool, listed);
    QTemporaryDir home, config;
    const auto cli = [&](const QStringList& args) {
        return RunCli(args, home.path(), config.path());
    };
    QCOMPARE(cli({QStringLiteral("init")}).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("group"), QStringLiteral("add"), QStringLiteral("G")}).exitCode,
             0);
    const QStringList task{QStringLiteral("task"),   QStringLiteral("add"), QStringLiteral("--source"),
                           QStringLiteral("/src"),   QStringLiteral("--target"),
                           QStringLiteral("/dst"),   QStringLiteral("--every"),
                           QStringLiteral("2h")};
    const QString damaged =
        cli(task + QStringList{QStringLiteral("damaged"), QStringLiteral("--group"),
                               QStringLiteral("G")})
            .out.trimmed();
    QCOMPARE(cli(task + QStringList{QStringLiteral("sound")}).exitCode, 0);
    {
        TaskDatabase db;
        db.open(home.filePath(QStringLiteral("Tarnwick.dat")));
        db.execute(QString(damage).replace(QStringLiteral("'1'"), u'\'' + damaged + u'\''));
    }
    const QString told = QStringLiteral("The task %1 cannot be read (").arg(damaged);

    const CliResult list = cli({QStringLiteral("list")});
    QCOMPARE(list.exitCode, 0);
    QVERIFY2(list.out.contains(QStringLiteral("] sound\n")), qPrintable(list.out));
    QCOMPARE(list.out.contains(QStringLiteral("] damaged\n")), listed);
    QCOMPARE(list.err.count(told), listed ? 0 : 1);

    const CliResult exported = cli({QStringLiteral("export")});
    QCOMPARE(exported.exitCode, 1);
    QVERIFY(exported.out.contains(QStringLiteral("\"name\": \"sound\"")));
    QVERIFY(!exported.out.contains(QStringLiteral("\"name\": \"damaged\"")));
    QVERIFY2(exported.err.startsWith(QStringLiteral("tarnwick-cli export: ") + told),
             qPrintable(exported.err));
    QCOMPARE(exported.err.count(u'\n'), 1);
}

void TestListCommand::unopenableDatabase_data()
{
    QTest::addColumn<bool>("present");       // false: no file at all
    QTest::addColumn<QByteArray>("content"); // the file's bytes
    QTest::addColumn<QString>("message");    // %1: the database's path
    QTest::newRow("missing") << false << QByteArray()
                             << "tarnwick-cli list: no task database at %1 (unable to open "
                                "database file); 'tarnwick-cli init' makes one\n";
    QTest::newRow("empty file") << true << QByteArray()
                                << "tarnwick-cli list: %1 is not a task database (the file is "
                                   "empty); it was left as it is\n";
    QTest::newRow("not a database")
        << true << QByteArray(2048, 'z')
        << "tarnwick-cli list: %1 is not a task database (file is encrypted or is not a "
           "database); it was left as it is\n";
}

void TestListCommand::unopenableDatabase()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir home, config;
    const QString path = home.filePath(QStringLiteral("Tarnwick.dat"));
    const QDateTime stamp(QDate(2020, 1, 2), QTime(3, 4, 5));
    if (present) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    const CliResult result = RunCli({QStringLiteral("list")}, home.path(), config.path());
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, message.arg(path));
    QVERIFY(result.out.isEmpty());

    // The file is as it was, and nothing was made beside it.
    QCOMPARE(QFile::exists(path), present);
    if (present) {
        QCOMPARE(QFileInfo(path).size(), content.size());
        QCOMPARE(QFileInfo(path).lastModified(), stamp);
    }
    QCOMPARE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             present ? QStringList{QStringLiteral("Tarnwick.dat")} : QStringList());
}

void TestListCommand::readOnlyDatabase_data()
{
    QTest::addColumn<bool>("asNobody");  // run the commands as the user nobody
    QTest::addColumn<bool>("ownFolder"); // nobody owns the program folder
    // Why run still refuses once the file is writable again; empty: it works.
    QTest::addColumn<QString>("stillReadOnly");
    QTest::newRow("this user") << false << true << QString();
    QTest::newRow("nobody, own folder") << true << true << QString();
    QTest::newRow("nobody, another's folder")
        << true << false << QStringLiteral("its folder is not writable");
}

// A task database without write permission: list shows it and leaves
// nothing beside it, run refuses it with one message, and once the file is
// writable everything works as before.
void TestListCommand::readOnlyDatabase()
{
    QFETCH(bool, asNobody);
    QFETCH(bool, ownFolder);
    QFETCH(QString, stillReadOnly);
    if (asNobody && ::geteuid() != 0)
        QSKIP("only root can run the commands as nobody");

    QTemporaryDir base;
    QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadOther |
                                                   QFile::ExeOther));
    const QString home = base.filePath(QStringLiteral("home"));
    const QString config = base.filePath(QStringLiteral("config"));
    const QString src = base.filePath(QStringLiteral("src"));
    const QString dst = base.filePath(QStringLiteral("dst"));
    QVERIFY(QDir().mkpath(home) && QDir().mkpath(config) && QDir().mkpath(src) &&
            QDir().mkpath(dst));
    QCOMPARE(RunCli({QStringLiteral("init")}, home, config).exitCode, 0);
    const QString path = home + QStringLiteral("/Tarnwick.dat");
    {
        QFile file(src + QStringLiteral("/f"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("content");
        TaskDatabase db;
        db.open(path);
        TaskQuery q(db);
        RunStatement(
            q, FillStatement(sql::InsertTask, {QStringLiteral("1"), QStringLiteral("AllTask"),
                                               QStringLiteral("mirror"), src, dst, qint64(0)}));
        RunStatement(q, FillStatement(sql::InsertSource, {QStringLiteral("1"), src, qint64(1)}));
        RunStatement(q, FillStatement(sql::InsertManualRow,
                                      {QStringLiteral("1"), QStringLiteral("2020-01-01")}));
    }
    if (asNobody) {
        const QStringList owned =
            ownFolder ? QStringList{base.path()} : QStringList{path, config, src, dst};
        QProcess chown;
        chown.start(QStringLiteral("chown"),
                    QStringList{QStringLiteral("-R"), QStringLiteral("nobody:nogroup")} + owned);
        QVERIFY(chown.waitForFinished());
        QCOMPARE(chown.exitCode(), 0);
    }
    const auto cli = [&](const QStringList& args) {
        return asNobody ? RunCliAsNobody(args, home, config) : RunCli(args, home, config);
    };
    const auto setMode = [&](QFile::Permissions owner) {
        QVERIFY(QFile::setPermissions(path, owner | QFile::ReadGroup | QFile::ReadOther));
    };
    const QString readOnlyMessage =
        QStringLiteral("tarnwick-cli run: %1 is read-only (%2); it can be read but not changed\n");

    setMode(QFile::ReadOwner);
    const QFileInfo before(path);
    CliResult result = cli({QStringLiteral("list")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("[1] mirror")), qPrintable(result.err));
    QVERIFY(result.out.contains(QStringLiteral("last run: 2020-01-01")));
    QCOMPARE(result.err, QString());

    result = cli({QStringLiteral("run"), QStringLiteral("1")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err,
             readOnlyMessage.arg(path, QStringLiteral("the file has no write permission")));
    QVERIFY(result.out.isEmpty());
    QVERIFY(!QFile::exists(dst + QStringLiteral("/f")));

    // Nothing was made beside the file, and the file is as it was.
    QCOMPARE(QDir(home).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             (QStringList{QStringLiteral("Log"), QStringLiteral("Tarnwick.dat")}));
    const QFileInfo after(path);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.lastModified(), before.lastModified());

    setMode(QFile::ReadOwner | QFile::WriteOwner);
    result = cli({QStringLiteral("list")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("[1] mirror")), qPrintable(result.err));
    result = cli({QStringLiteral("run"), QStringLiteral("1")});
    if (stillReadOnly.isEmpty()) {
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains(QStringLiteral("synchronize finished")),
                 qPrintable(result.err));
        QVERIFY(QFile::exists(dst + QStringLiteral("/f")));
        // The run wrote its start into the store.
        result = cli({QStringLiteral("list")});
        QVERIFY2(!result.out.contains(QStringLiteral("last run: 2020-01-01")),
                 qPrintable(result.out));
    } else {
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, readOnlyMessage.arg(path, stillReadOnly));
    }
    // A run that ran keeps its task's run lock in Runs/; one that could not
    // start made nothing.
    QStringList made{QStringLiteral("Log"), QStringLiteral("Tarnwick.dat")};
    if (stillReadOnly.isEmpty())
        made.insert(1, QStringLiteral("Runs"));
    QCOMPARE(QDir(home).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), made);
}

QTEST_GUILESS_MAIN(TestListCommand)
#include "TestListCommand.moc"
