// tarnwick-cli list: groups with their tasks, the task list's cell rules,
// and a database that cannot be opened.
#include "CliProcess.h"

#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestListCommand : public QObject
{
    Q_OBJECT

private slots:
    void showsGroupsTasksAndCells();
    void unopenableDatabase_data();
    void unopenableDatabase();
};

void TestListCommand::showsGroupsTasksAndCells()
{
    QTemporaryDir home, config;
    QCOMPARE(RunCli({QStringLiteral("init")}, home.path(), config.path()).exitCode, 0);
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

QTEST_GUILESS_MAIN(TestListCommand)
#include "TestListCommand.moc"
