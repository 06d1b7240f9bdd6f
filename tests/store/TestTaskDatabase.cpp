// The task database helpers against real SQLCipher files: the schema takes
// every catalogue statement, values round-trip, NULL reads and open errors.
#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarnwick;

class TestTaskDatabase : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
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
    void readOnlyDatabase();
    void readOnlyWithChangesInWal();
    void createRefusesExistingFile();
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

    // Every statement of the catalogue header is in the table above, so a
    // statement added there without a schema check here fails this test.
    QFile header(QStringLiteral(TARNWICK_SOURCE_DIR "/src/store/Statements.h"));
    QVERIFY(header.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(header.readAll());
    const qsizetype declared =
        text.count(QRegularExpression(QStringLiteral("inline constexpr char \\w+\\[\\]"))) -
        2; // the key and the schema are not statements
    QCOMPARE(statements, int(declared));
}

void TestTaskDatabase::refusesTextThatIsNoDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("date time") << QStringLiteral("2026-12-09 09:05:00") << true;
    QTest::newRow("date only") << QStringLiteral("2026-12-09") << true;
    QTest::newRow("time only") << QStringLiteral("09:05:00") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("words") << QStringLiteral("next tuesday") << false;
    QTest::newRow("month 13") << QStringLiteral("2026-13-01") << false;
}

void TestTaskDatabase::refusesTextThatIsNoDateTime()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TaskDatabase db;
    db.open(freshDatabase());
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertManualRow,
                                      {QStringLiteral("1"), QStringLiteral("2026-01-01")}));
    bool stored = true;
    try {
        RunStatement(query, FillStatement(sql::UpdateNextRunTime, {text, qint64(1)}));
    } catch (const StoreError& e) {
        stored = false;
        QVERIFY(e.message().contains(QStringLiteral("constraint"), Qt::CaseInsensitive));
    }
    QCOMPARE(stored, accepted);
}

void TestTaskDatabase::openFailures_data()
{
    QTest::addColumn<bool>("present");       // false: no file at all
    QTest::addColumn<QByteArray>("content"); // the file's bytes, or
    QTest::addColumn<QByteArray>("script");  // what the sqlcipher shell makes it with
    QTest::addColumn<QString>("message");    // %1: the file's path
    QTest::addColumn<StoreError::Kind>("kind");
    const QString notOne =
        QStringLiteral("%1 is not a task database (%2); it was left as it is");
    QTest::newRow("missing") << false << QByteArray() << QByteArray()
                             << QStringLiteral("no task database at %1 (unable to open database file)")
                             << StoreError::Kind::NoDatabaseFile;
    QTest::newRow("empty file") << true << QByteArray() << QByteArray()
                                << notOne.arg(QStringLiteral("%1"),
                                              QStringLiteral("the file is empty"))
                                << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("not a database")
        << true << QByteArray(4096, 'x') << QByteArray()
        << notOne.arg(QStringLiteral("%1"), QStringLiteral("file is encrypted or is not a database"))
        << StoreError::Kind::NotATaskDatabase;
    QTest::newRow("other key")
        << true << QByteArray() << QByteArray("PRAGMA key = 'other'; CREATE TABLE Task (x);")
        << notOne.arg(QStringLiteral("%1"), QStringLiteral("file is encrypted or is not a database"))
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
    QVERIFY_THROWS_EXCEPTION(StoreError, RunStatement(query, FillStatement(sql::DeleteGroup,
                                                                           {QStringLiteral("5")})));
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
