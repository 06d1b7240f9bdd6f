// SPDX-License-Identifier: GPL-3.0-or-later
// The task database helpers against real SQLCipher files: the schema takes
// every catalogue statement, values round-trip, NULL reads and open errors.
#include "TestDir.h"

#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace tarnwick;

class TestTaskDatabase : public QObject
{
    Q_OBJECT

private:
    TestDir m_dir;
    int m_fileNumber = 0;

    QString freshDatabase()
    {
        const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++m_fileNumber));
        CreateTaskDatabase(path);
        return path;
    }

private slots:
    void quotesRoundTrip_data();
    void quotesRoundTrip();
    void nullsReadAsEmpty();
    void everyCatalogueStatementIsAccepted();
    void refusesTextThatIsNoDateTime_data();
    void refusesTextThatIsNoDateTime();
    void openFailures_data();
    void openFailures();
    void olderSchemaIsKept();
    void keyedForTheShellToo_data();
    void keyedForTheShellToo();
    void readOnlyDatabase();
    void readOnlyWithChangesInWal();
    void createRefusesExistingFile();
    void filesAreTheUsersAlone();
    void duplicateTaskIdFails();
    void transactionRollsBackOnFailure();
    void fillStatementChecksValues();
    void unknownColumnIsAnError();
};

void TestTaskDatabase::quotesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << QStringLiteral("Bob's files");
    QTest::newRow("only quotes") << QStringLiteral("''''");
    QTest::newRow("sql-looking") << QStringLiteral("x'); delete from Task; --");
    QTest::newRow("non-latin") << QStringLiteral("Fotos \u00e9t\u00e9 \u65e5\u672c");
}

void TestTaskDatabase::quotesRoundTrip()
{
    QFETCH(QString, name);
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunStatement(query,
                 FillStatement(sql::InsertTask,
                               {QStringLiteral("1"), QStringLiteral("AllTask"), name,
                                QStringLiteral("/src/it's"), QStringLiteral("/dst"), qint64(0)}));
    RunStatement(query, FillStatement(sql::InsertTask,
                                      {QStringLiteral("2"), QStringLiteral("AllTask"),
                                       QStringLiteral("other"), QString(), QString(), qint64(0)}));
    RunQuery(query, FillStatement(sql::SelectTaskForEditor, {QStringLiteral("1")}));
    QCOMPARE(query.rowCount(), std::size_t(1));
    QCOMPARE(query.text("TaskName"), name);
    RunQuery(query, QString::fromLatin1(sql::SelectAllTaskRows));
    QCOMPARE(query.rowCount(), std::size_t(2));
    QCOMPARE(query.text("SourceDir"), QStringLiteral("/src/it's"));
}

void TestTaskDatabase::nullsReadAsEmpty()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunStatement(query,
                 FillStatement(sql::InsertManualRow,
                               {QStringLiteral("7"), QStringLiteral("2026-12-09 09:05:00")}));
    RunQuery(query, FillStatement(sql::SelectSchedulesAfterRun, {QStringLiteral("7")}));
    QCOMPARE(query.integer("value"), qint64(0));
    QCOMPARE(query.text("StartTime"), QString());
    QCOMPARE(query.dateTime("NextRunTime"), ZeroDateTime());
    QCOMPARE(query.dateTime("LastRunTime"), QDateTime(QDate(2026, 12, 9), QTime(9, 5)));
    QCOMPARE(query.integer("ScheduleType"), qint64(19));

    RunStatement(query, FillStatement(sql::InsertSource,
                                      {QStringLiteral("7"), QStringLiteral("/a"), qint64(1)}));
    RunQuery(query, FillStatement(sql::SelectSourcesForRun, {QStringLiteral("7")}));
    QCOMPARE(query.yesNo("IncludeSubDir"), true);

    // Aggregates over no rows give one row of NULL.
    RunQuery(query, FillStatement(sql::SelectNextRunTime, {QStringLiteral("nothing")}));
    QVERIFY(!query.eof());
    QVERIFY(query.isNull("NextRunTime"));
    QCOMPARE(query.dateTime("NextRunTime"), ZeroDateTime());
}

void TestTaskDatabase::everyCatalogueStatementIsAccepted()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    const QString id = QStringLiteral("4711");
    const QString quoted = QStringLiteral("it's");
    const QString when = QStringLiteral("2026-12-09 09:05:00");
    const QString date = QStringLiteral("2026-12-10");
    const QString time = QStringLiteral("09:00:00");

    struct Case
    {
        const char* statement;
        std::vector<StatementArg> args;
        bool givesRows;
    };
    // Inserts first so that the selects, updates and deletes meet rows.
    const Case cases[] = {
        {sql::InsertGroup, {id, quoted}, false},
        {sql::RenameGroup, {quoted, id}, false},
        {sql::SelectGroups, {}, true},
        {sql::CountGroupID, {id}, true},
        {sql::InsertTask, {id, id, quoted, quoted, quoted, qint64(2)}, false},
        {sql::SelectAllTaskRows, {}, true},
        {sql::SelectGroupTaskRows, {id}, true},
        {sql::SelectTaskForEditor, {id}, true},
        {sql::SelectTaskForRun, {id}, true},
        {sql::SelectTaskRunMode, {id}, true},
        {sql::SelectWatchedTasks, {}, false},
        {sql::CountTaskID, {id}, true},
        {sql::InsertSource, {id, quoted, qint64(1)}, false},
        {sql::SelectSourcesForEditor, {id}, true},
        {sql::SelectSourcesForRun, {id}, true},
        {sql::SelectWatchedFolders, {id}, true},
        {sql::InsertRule, {id, qint64(0), quoted}, false},
        {sql::InsertSizeRule, {id, qint64(2), qint64(0), qint64(1), QStringLiteral("10")}, false},
        {sql::InsertDateRule, {id, qint64(3), qint64(0), qint64(2), date, date}, false},
        {sql::SelectRulesForEditor, {id}, true},
        {sql::SelectRulesForRun, {id}, true},
        {sql::InsertManualRow, {id, when}, false},
        {sql::InsertOnChangeRow, {id, when}, false},
        {sql::InsertIntervalEntry,
         {id, qint64(0), qint64(30), when, when, QStringLiteral("0")},
         false},
        {sql::InsertWeekEntry, {id, qint64(3), QStringLiteral("1010000"), time, when, date}, false},
        {sql::InsertMonthEntry, {id, qint64(4), QStringLiteral("15"), time, when, date}, false},
        {sql::InsertOnceEntry, {id, qint64(5), time, when, date + u' ' + time}, false},
        {sql::SelectLastRunTime, {id}, true},
        {sql::SelectNextRunTime, {id}, true},
        {sql::SelectNextRunTimeAfterSave, {id}, true},
        {sql::SelectNextRunTimeAfterRun, {id}, true},
        {sql::SelectSchedulesForEditor, {id}, true},
        {sql::SelectSchedulesAfterRun, {id}, true},
        {sql::SelectSchedulesAtStartup, {}, true},
        {sql::SelectSchedulesToCheck, {}, true},
        {sql::UpdateNextRunTime, {date, qint64(1)}, false},
        {sql::UpdateRunTimes, {when, when, qint64(2)}, false},
        {sql::CountAddedTables, {}, true},
        {sql::InsertRun,
         {id, when, when, qint64(3), qint64(4096), qint64(5), qint64(1), qint64(1), quoted,
          qint64(0)},
         false},
        {sql::PruneRuns, {id, id, qint64(100)}, false},
        {sql::SelectRuns, {id}, true},
        {sql::SelectLastRuns, {}, true},
        {sql::MarkRunsSeen, {id}, false},
        {sql::SetTaskOption, {id, QStringLiteral("WhenTargetAppears"), QStringLiteral("1")}, false},
        {sql::SelectTasksRunWhenTargetAppears, {}, true},
        {sql::SetTaskOption, {id, quoted, quoted}, false},
        {sql::SelectTaskOptions, {id}, true},
        {sql::DeleteTaskOption, {id, quoted}, false},
        {sql::DeleteTaskOptions, {id}, false},
        {sql::DeleteRuns, {id}, false},
        {sql::DeleteSources, {id}, false},
        {sql::DeleteSchedules, {id}, false},
        {sql::DeleteRules, {id}, false},
        {sql::DeleteTask, {id}, false},
        {sql::DeleteGroup, {id}, false},
    };

    int statements = 0;
    for (const Case& c : cases) {
        const QString statement = FillStatement(c.statement, c.args);
        try {
            if (c.givesRows) {
                RunQuery(query, statement);
                if (query.eof())
                    QFAIL(qPrintable(QStringLiteral("no rows from: ") + statement));
            } else {
                RunStatement(query, statement);
            }
        } catch (const StoreError& e) {
            QFAIL(qPrintable(statement + QStringLiteral(" -> ") + e.message()));
        }
        ++statements;
    }

    // Stored values came through as written: the quoted number of the
    // month entry became an integer, the week mask stayed text.
    RunStatement(query, FillStatement(sql::InsertMonthEntry,
                                      {id, qint64(4), QStringLiteral("15"), time, when, date}));
    RunQuery(query, FillStatement(sql::SelectSchedulesAfterRun, {id}));
    QCOMPARE(query.integer("value"), qint64(15));
    QCOMPARE(query.integer("ScheduleType"), qint64(4));

    // Every statement of the catalogue header is in the table above (one of
    // them twice), so a statement added there without a schema check here
    // fails this test.
    QFile header(QStringLiteral(TARNWICK_SOURCE_DIR "/src/store/Statements.h"));
    QVERIFY(header.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(header.readAll());
    const qsizetype declared =
        text.count(
            QRegularExpression(QStringLiteral("inline constexpr char (?!Database|Create)\\w+\\[\\]")));
    // The schemas (Create...) and the key material (Database...) are not statements.
    QCOMPARE(statements, int(declared) + 1);
}

void TestTaskDatabase::refusesTextThatIsNoDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    // The three stored forms.
    QTest::newRow("date time") << QStringLiteral("2026-12-09 09:05:00") << true;
    QTest::newRow("date only") << QStringLiteral("2026-12-09") << true;
    QTest::newRow("time only") << QStringLiteral("09:05:00") << true;
    QTest::newRow("midnight spelled out") << QStringLiteral("2030-01-01 00:00:00") << true;
    QTest::newRow("leap day") << QStringLiteral("2028-02-29 23:59:59") << true;
    QTest::newRow("zero date-time") << QStringLiteral("1899-12-30") << true;
    QTest::newRow("first year") << QStringLiteral("0001-01-01") << true;
    QTest::newRow("last day") << QStringLiteral("9999-12-31 23:59:59") << true;
    // What the engine's datetime() takes but the program cannot read.
    QTest::newRow("no seconds") << QStringLiteral("2030-01-01 09:00") << false;
    QTest::newRow("T between") << QStringLiteral("2030-01-01T09:00:00") << false;
    QTest::newRow("now") << QStringLiteral("now") << false;
    QTest::newRow("julian day") << QStringLiteral("2459000") << false;
    QTest::newRow("february 30") << QStringLiteral("2030-02-30") << false;
    QTest::newRow("no leap day") << QStringLiteral("2030-02-29 10:00:00") << false;
    QTest::newRow("hour 24") << QStringLiteral("24:00:00") << false;
    QTest::newRow("hour 24 with date") << QStringLiteral("2030-01-01 24:00:00") << false;
    QTest::newRow("fraction") << QStringLiteral("2030-01-01 09:00:00.5") << false;
    QTest::newRow("zone") << QStringLiteral("2030-01-01 09:00:00Z") << false;
    QTest::newRow("two blanks") << QStringLiteral("2030-01-01  09:00:00") << false;
    QTest::newRow("leading blank") << QStringLiteral(" 2030-01-01") << false;
    QTest::newRow("trailing blank") << QStringLiteral("2030-01-01 ") << false;
    QTest::newRow("year 0") << QStringLiteral("0000-01-01") << false;
    // What neither takes.
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("words") << QStringLiteral("next tuesday") << false;
    QTest::newRow("month 13") << QStringLiteral("2026-13-01") << false;
    QTest::newRow("day 0") << QStringLiteral("2026-01-00") << false;
    QTest::newRow("minute 60") << QStringLiteral("12:60:00") << false;
    QTest::newRow("one-digit month") << QStringLiteral("2030-1-01") << false;
    QTest::newRow("one-digit hour") << QStringLiteral("2030-01-01 9:00:00") << false;
    QTest::newRow("other digits") << QStringLiteral("\u0662\u0660\u0663\u0660-01-01") << false;
}

// Both date-time columns take exactly what the program reads back, so no
// stored row is one the program then fails on.
void TestTaskDatabase::refusesTextThatIsNoDateTime()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(ParseDateTimeText(text).has_value(), accepted);

    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    const QString good = QStringLiteral("2026-01-01 10:00:00");
    const auto stores = [&](const QString& last, const QString& next) {
        try {
            RunStatement(query, FillStatement(sql::InsertIntervalEntry,
                                              {QStringLiteral("1"), qint64(0), qint64(5), last,
                                               next, QStringLiteral("0")}));
            return true;
        } catch (const StoreError& e) {
            if (!e.message().contains(QStringLiteral("CHECK constraint failed")))
                qWarning("%s", qPrintable(e.message()));
            return false;
        }
    };
    QCOMPARE(stores(text, good), accepted);
    QCOMPARE(stores(good, text), accepted);

    // An update is held to the same forms.
    RunStatement(query, FillStatement(sql::InsertManualRow, {QStringLiteral("2"), good}));
    RunQuery(query, FillStatement(sql::SelectSchedulesAfterRun, {QStringLiteral("2")}));
    const qint64 row = query.integer("TaskSchID");
    bool updated = true;
    try {
        RunStatement(query, FillStatement(sql::UpdateRunTimes, {text, text, row}));
    } catch (const StoreError&) {
        updated = false;
    }
    QCOMPARE(updated, accepted);
    if (accepted) {
        RunQuery(query, FillStatement(sql::SelectSchedulesAfterRun, {QStringLiteral("2")}));
        QCOMPARE(query.dateTime("NextRunTime"), *ParseDateTimeText(text));
    }
}

void TestTaskDatabase::openFailures_data()
{
    QTest::addColumn<bool>("present");       // false: no file at all
    QTest::addColumn<QByteArray>("content"); // the file's bytes, or
    QTest::addColumn<QByteArray>("script");  // what the sqlcipher shell makes it with
    QTest::addColumn<QString>("message");    // %1: the file's path
    QTest::addColumn<StoreError::Kind>("kind");
    const QString notOne = QStringLiteral("%1 is not a task database (%2); it was left as it is");
    QTest::newRow("missing") << false << QByteArray() << QByteArray()
                             << QStringLiteral(
                                    "no task database at %1 (unable to open database file)")
                             << StoreError::Kind::NoDatabaseFile;
    QTest::newRow("empty file") << true << QByteArray() << QByteArray()
                                << notOne.arg(QStringLiteral("%1"),
                                              QStringLiteral("the file is empty"))
                                << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("not a database")
        << true << QByteArray(4096, 'x') << QByteArray()
        << notOne.arg(QStringLiteral("%1"),
                      QStringLiteral("file is encrypted or is not a database"))
        << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("other key") << true << QByteArray()
                               << QByteArray("PRAGMA key = 'other'; CREATE TABLE Task (x);")
                               << notOne.arg(
                                      QStringLiteral("%1"),
                                      QStringLiteral("file is encrypted or is not a database"))
                               << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("no key") << true << QByteArray() << QByteArray("CREATE TABLE Task (x);")
                            << notOne.arg(QStringLiteral("%1"),
                                          QStringLiteral("file is encrypted or is not a database"))
                            << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("other tables")
        << true << QByteArray()
        << QByteArray("PRAGMA key = '27190436'; CREATE TABLE TaskGroup (x); CREATE TABLE Task (x);")
        << notOne.arg(QStringLiteral("%1"), QStringLiteral("it has no table SourceDir"))
        << StoreError::Kind::NotATaskDatabase;
    // The five names, but another program's columns: found out before the
    // switch to WAL would rewrite the header.
    const QByteArray fiveTables = "PRAGMA key = '27190436'; CREATE TABLE TaskGroup (TaskGroupID, "
                                  "Name); CREATE TABLE SourceDir (TaskID, SourceDir, "
                                  "IncludeSubDir); CREATE TABLE Exclude (x); CREATE TABLE "
                                  "TaskSchedule (x); ";
    QTest::newRow("the five tables, other columns")
        << true << QByteArray()
        << QByteArray(fiveTables + "CREATE TABLE Task (TaskID, TaskGroupID, TaskName);")
        << notOne.arg(QStringLiteral("%1"), QStringLiteral("its table Task has no column SourceDir"))
        << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("a view in a table's place")
        << true << QByteArray()
        << QByteArray(fiveTables + "CREATE VIEW Task AS SELECT 1 AS TaskID;")
        << notOne.arg(QStringLiteral("%1"), QStringLiteral("it has no table Task"))
        << StoreError::Kind::NotATaskDatabase;
}

void TestTaskDatabase::openFailures()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, script);
    QFETCH(QString, message);
    QFETCH(StoreError::Kind, kind);
    const QString path = m_dir.filePath(QStringLiteral("bad%1.dat").arg(++m_fileNumber));
    if (!script.isEmpty()) {
        QProcess shell;
        shell.start(QStringLiteral("sqlcipher"), {path});
        shell.write(script);
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
        QCOMPARE(shell.exitCode(), 0);
    } else if (present) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray before;
    const QDateTime stamp(QDate(2020, 1, 2), QTime(3, 4, 5));
    if (present) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        before = file.readAll();
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }

    TaskDatabase db;
    try {
        db.open(path);
        QFAIL("opened");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(), message.arg(path));
        QCOMPARE(e.kind(), kind);
    }
    QVERIFY(!db.isOpen());

    // Opening made nothing and changed nothing: same bytes, same time, no
    // journal beside it.
    QCOMPARE(QFile::exists(path), present);
    if (present) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QFileInfo(path).lastModified(), stamp);
    }
    for (const char* side : {"-wal", "-shm", "-journal"})
        QVERIFY2(!QFile::exists(path + QLatin1String(side)), side);
}

// A file made before the date-time checks were strict opens as it is: its
// schema is not rewritten.
void TestTaskDatabase::olderSchemaIsKept()
{
    const QString path = m_dir.filePath(QStringLiteral("older%1.dat").arg(++m_fileNumber));
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {path});
    shell.write(
        "PRAGMA key = '27190436';"
        "CREATE TABLE TaskGroup (TaskGroupID TEXT UNIQUE, Name TEXT);"
        "CREATE TABLE Task (TaskID TEXT UNIQUE, TaskGroupID TEXT, TaskName TEXT,"
        " SourceDir TEXT, TargetDir TEXT, ScheduleType INTEGER);"
        "CREATE TABLE SourceDir (TaskID TEXT, SourceDir TEXT, IncludeSubDir INTEGER);"
        "CREATE TABLE Exclude (ExcludeID INTEGER PRIMARY KEY AUTOINCREMENT, TaskID TEXT,"
        " type INTEGER, stype INTEGER, sstype INTEGER, value TEXT, EndDate TEXT);"
        "CREATE TABLE TaskSchedule (TaskSchID INTEGER PRIMARY KEY AUTOINCREMENT,"
        " TaskID TEXT, ScheduleType INTEGER, value INTEGER, withweek TEXT, StartTime TEXT,"
        " LastRunTime TEXT CHECK (LastRunTime IS NULL OR datetime(LastRunTime) IS NOT NULL),"
        " NextRunTime TEXT CHECK (NextRunTime IS NULL OR datetime(NextRunTime) IS NOT NULL));");
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);

    TaskDatabase db;
    db.open(path);
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertManualRow,
                                      {QStringLiteral("1"), QStringLiteral("2026-01-01")}));
    RunQuery(query, QStringLiteral("select sql from sqlite_master where name = 'TaskSchedule'"));
    QVERIFY(query.text("sql").contains(QStringLiteral("datetime(LastRunTime) IS NOT NULL")));
}

// Files made here carry the fixed salt and are opened with the key derived
// for it; files made elsewhere are opened with the password. Either way the
// sqlcipher shell with the password and this program read the same rows,
// also when the file is read-only.
void TestTaskDatabase::keyedForTheShellToo_data()
{
    QTest::addColumn<bool>("madeHere");
    QTest::newRow("made here") << true;
    QTest::newRow("made by the sqlcipher shell") << false;
}

void TestTaskDatabase::keyedForTheShellToo()
{
    QFETCH(bool, madeHere);
    const QString path = m_dir.filePath(QStringLiteral("keyed%1.dat").arg(++m_fileNumber));
    const auto shell = [&path](const QByteArray& script) {
        QProcess process;
        process.start(QStringLiteral("sqlcipher"), {path});
        process.write(QByteArray("PRAGMA key = '") + sql::DatabaseKey + "';" + script);
        process.closeWriteChannel();
        process.waitForFinished();
        return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("failed");
    };
    if (madeHere) {
        CreateTaskDatabase(path);
        TaskDatabase db;
        db.open(path);
        TaskQuery query(db);
        RunStatement(query, FillStatement(sql::InsertGroup, {QStringLiteral("{g1}"),
                                                             QStringLiteral("Photos")}));
    } else {
        QCOMPARE(shell(QByteArray(sql::CreateSchema) +
                       "insert into TaskGroup values('{g1}', 'Photos');"),
                 QByteArray());
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(16) == QByteArray(sql::DatabaseSalt), madeHere);
    file.close();

    const QByteArray select = "select TaskGroupID || '|' || Name from TaskGroup;";
    QCOMPARE(shell(select), QByteArray("{g1}|Photos\n"));
    for (const bool readOnly : {false, true}) {
        if (readOnly)
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        TaskDatabase db;
        db.open(path, TaskDatabase::OpenFor::Reading);
        QCOMPARE(db.isReadOnly(), readOnly);
        TaskQuery query(db);
        RunQuery(query, QString::fromLatin1(select));
        QCOMPARE(query.text("TaskGroupID || '|' || Name"), QStringLiteral("{g1}|Photos"));
    }
}

// What a file and its folder hold, to show that opening changed nothing.
static QString FolderState(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    const QFileInfo info(path);
    return QString::fromLatin1(
               QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()) +
           u' ' + info.lastModified().toString(Qt::ISODateWithMs) + u' ' +
           QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden).join(u',');
}

void TestTaskDatabase::readOnlyDatabase()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    {
        TaskDatabase db;
        db.open(path);
        TaskQuery query(db);
        RunStatement(
            query, FillStatement(sql::InsertGroup, {QStringLiteral("5"), QStringLiteral("kept")}));
    }
    // Without the owner's write bit the file is read-only, for root too.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString before = FolderState(path);

    TaskDatabase db;
    try {
        db.open(path);
        QFAIL("opened for changes");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(), QStringLiteral("%1 is read-only (the file has no write permission); "
                                             "it can be read but not changed")
                                  .arg(path));
        QCOMPARE(e.kind(), StoreError::Kind::ReadOnly);
    }
    QVERIFY(!db.isOpen());

    db.open(path, TaskDatabase::OpenFor::Reading);
    QVERIFY(db.isReadOnly());
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectGroups));
    QCOMPARE(query.text("Name"), QStringLiteral("kept"));
    QVERIFY_THROWS_EXCEPTION(
        StoreError, RunStatement(query, FillStatement(sql::DeleteGroup, {QStringLiteral("5")})));
    db.close();
    QCOMPARE(FolderState(path), before);

    // Writable again, it opens for changes as before.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    db.open(path, TaskDatabase::OpenFor::Reading);
    QVERIFY(!db.isReadOnly());
    db.open(path);
    RunStatement(query, FillStatement(sql::DeleteGroup, {QStringLiteral("5")}));
    RunQuery(query, QString::fromLatin1(sql::SelectGroups));
    QVERIFY(query.eof());
}

void TestTaskDatabase::readOnlyWithChangesInWal()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    // A writer still open keeps its change in the -wal file.
    auto writer = std::make_unique<TaskDatabase>();
    writer->open(path);
    TaskQuery writes(*writer);
    RunStatement(writes,
                 FillStatement(sql::InsertGroup, {QStringLiteral("6"), QStringLiteral("new")}));
    QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    TaskDatabase reader;
    try {
        reader.open(path, TaskDatabase::OpenFor::Reading);
        QFAIL("read without the waiting change");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("%1 is read-only (the file has no write permission), and changes "
                                "not yet written into it wait in %1-wal; it can be read once it "
                                "is writable")
                     .arg(path));
        QCOMPARE(e.kind(), StoreError::Kind::ReadOnly);
    }

    // The writer's close folds the change in; then the reader sees it.
    writer.reset();
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    reader.open(path, TaskDatabase::OpenFor::Reading);
    QVERIFY(reader.isReadOnly());
    TaskQuery reads(reader);
    RunQuery(reads, QString::fromLatin1(sql::SelectGroups));
    QCOMPARE(reads.text("Name"), QStringLiteral("new"));
}

void TestTaskDatabase::createRefusesExistingFile()
{
    const QString path = freshDatabase();
    {
        TaskDatabase db;
        db.open(path);
        TaskQuery query(db);
        RunStatement(
            query, FillStatement(sql::InsertGroup, {QStringLiteral("5"), QStringLiteral("keep")}));
    }
    QVERIFY_THROWS_EXCEPTION(StoreError, CreateTaskDatabase(path));
    TaskDatabase db;
    db.open(path);
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectGroups));
    QCOMPARE(query.text("Name"), QStringLiteral("keep"));
}

void TestTaskDatabase::filesAreTheUsersAlone()
{
    // The database lists every folder the user mirrors: whatever the umask,
    // it and the engine's side files are readable by the user only.
    const QString path = m_dir.filePath(QStringLiteral("private%1.dat").arg(++m_fileNumber));
    const mode_t oldMask = ::umask(0);
    CreateTaskDatabase(path);
    ::umask(oldMask);
    TaskDatabase db;
    db.open(path);
    TaskQuery query(db);
    RunStatement(query,
                 FillStatement(sql::InsertGroup, {QStringLiteral("5"), QStringLiteral("mine")}));
    for (const char* side : {"", "-wal", "-shm"}) {
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(path + QLatin1String(side)).constData(), &status), 0);
        QVERIFY2((status.st_mode & 07777) == 0600, side);
    }
}

void TestTaskDatabase::duplicateTaskIdFails()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    const auto insert = [&](const QString& name) {
        RunStatement(query,
                     FillStatement(sql::InsertTask, {QStringLiteral("9"), QStringLiteral("AllTask"),
                                                     name, QString(), QString(), qint64(0)}));
    };
    insert(QStringLiteral("first"));
    QVERIFY_THROWS_EXCEPTION(StoreError, insert(QStringLiteral("second")));
    RunQuery(query, FillStatement(sql::SelectTaskForRun, {QStringLiteral("9")}));
    QCOMPARE(query.rowCount(), std::size_t(1));
    QCOMPARE(query.text("TaskName"), QStringLiteral("first"));
}

void TestTaskDatabase::transactionRollsBackOnFailure()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertSource,
                                      {QStringLiteral("3"), QStringLiteral("/old"), qint64(1)}));
    try {
        StoreTransaction transaction(db);
        RunStatement(query, FillStatement(sql::DeleteSources, {QStringLiteral("3")}));
        RunStatement(query, FillStatement(sql::InsertSource, {QStringLiteral("3"),
                                                              QStringLiteral("/new"), qint64(1)}));
        RunStatement(query, FillStatement(sql::InsertManualRow,
                                          {QStringLiteral("3"), QStringLiteral("soon")}));
        transaction.commit();
        QFAIL("the bad date was stored");
    } catch (const StoreError&) {
    }
    RunQuery(query, FillStatement(sql::SelectSourcesForRun, {QStringLiteral("3")}));
    QCOMPARE(query.rowCount(), std::size_t(1));
    QCOMPARE(query.text("SourceDir"), QStringLiteral("/old"));
}

void TestTaskDatabase::fillStatementChecksValues()
{
    QCOMPARE(FillStatement(sql::InsertRule,
                           {QStringLiteral("1"), qint64(0), QStringLiteral("doc,it's,")}),
             QStringLiteral(
                 "insert into Exclude([TaskID], [type], [value]) values('1', 0, 'doc,it''s,')"));
    QCOMPARE(EscapeQuotes(QStringLiteral("a'b''c")), QStringLiteral("a''b''''c"));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, FillStatement(sql::DeleteTask, {}));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, FillStatement(sql::DeleteTask, {qint64(1)}));
    QVERIFY_THROWS_EXCEPTION(
        std::logic_error,
        FillStatement(sql::DeleteTask, {QStringLiteral("1"), QStringLiteral("2")}));
}

void TestTaskDatabase::unknownColumnIsAnError()
{
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunQuery(query, FillStatement(sql::SelectLastRunTime, {QStringLiteral("1")}));
    QVERIFY_THROWS_EXCEPTION(StoreError, query.text("NoSuchColumn"));
    // The engine's failures name the file they are about.
    try {
        RunQuery(query, QStringLiteral("select Nothing from Task"));
        QFAIL("ran");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(), db.path() + QStringLiteral(": no such column: Nothing"));
    }
}

QTEST_GUILESS_MAIN(TestTaskDatabase)
#include "TestTaskDatabase.moc"
