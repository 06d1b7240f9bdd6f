// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli init and the command dispatch: a new program folder, an
// existing database left alone, and bad input refused with status 2.
#include "CliProcess.h"

#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include "BuildInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestInitCommand : public QObject
{
    Q_OBJECT

private slots:
    void makesProgramFolderFiles();
    void leavesExistingDatabaseAlone();
    void badInput_data();
    void badInput();
    void helpTexts_data();
    void helpTexts();
};

void TestInitCommand::makesProgramFolderFiles()
{
    QTemporaryDir home, config;
    const CliResult result = RunCli({QStringLiteral("init")}, home.path(), config.path());
    QCOMPARE(result.exitCode, 0);
    QVERIFY(QDir(home.filePath(QStringLiteral("Log"))).exists());

    TaskDatabase db;
    db.open(home.filePath(QStringLiteral("Tarnwick.dat")));
    TaskQuery query(db);
    RunQuery(query,
             QStringLiteral("select name from sqlite_master where type='table' order by name"));
    QStringList tables;
    for (; !query.eof(); query.next())
        tables << query.text("name");
    tables.removeAll(QStringLiteral("sqlite_sequence"));
    // The five tables of the task store, and the run history and task
    // options beside them.
    QCOMPARE(tables, QStringList({QStringLiteral("Exclude"), QStringLiteral("RunHistory"),
                                  QStringLiteral("SourceDir"), QStringLiteral("Task"),
                                  QStringLiteral("TaskGroup"), QStringLiteral("TaskOption"),
                                  QStringLiteral("TaskSchedule")}));
}

void TestInitCommand::leavesExistingDatabaseAlone()
{
    QTemporaryDir home, config;
    QCOMPARE(RunCli({QStringLiteral("init")}, home.path(), config.path()).exitCode, 0);
    const QString path = home.filePath(QStringLiteral("Tarnwick.dat"));
    {
        TaskDatabase db;
        db.open(path);
        TaskQuery query(db);
        RunStatement(
            query, FillStatement(sql::InsertGroup, {QStringLiteral("1"), QStringLiteral("mine")}));
        RunQuery(query, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    auto digest = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    };
    const QByteArray before = digest();
    const CliResult result = RunCli({QStringLiteral("init")}, home.path(), config.path());
    // As a second `git init`: no failure, said so, nothing touched.
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, path + QStringLiteral(" already exists; nothing changed\n"));
    QCOMPARE(result.err, QString());
    QCOMPARE(digest(), before);
}

void TestInitCommand::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown command")
        << QStringList{QStringLiteral("frobnicate")} << "unknown command 'frobnicate'";
    QTest::newRow("init with argument")
        << QStringList{QStringLiteral("init"), QStringLiteral("extra")}
        << "unexpected argument 'extra'";
    QTest::newRow("list with option")
        << QStringList{QStringLiteral("list"), QStringLiteral("--all")}
        << "unexpected argument '--all'";
}

void TestInitCommand::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir home, config;
    const CliResult result = RunCli(args, home.path(), config.path());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(result.err.count(u'\n'), 1);
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("Tarnwick.dat"))));
}

void TestInitCommand::helpTexts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no arguments") << QStringList{} << "Commands:";
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << "list";
    QTest::newRow("init --help") << QStringList{QStringLiteral("init"), QStringLiteral("--help")}
                                 << "Usage: tarnwick-cli init";
    QTest::newRow("list --help") << QStringList{QStringLiteral("list"), QStringLiteral("--help")}
                                 << "Usage: tarnwick-cli list";
    // The same version and build as the About box shows.
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")}
                               << QStringLiteral("tarnwick-cli %1\n")
                                      .arg(QLatin1String(kVersionAndBuild));
}

void TestInitCommand::helpTexts()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QTemporaryDir home, config;
    const CliResult result = RunCli(args, home.path(), config.path());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(expected), qPrintable(result.out));
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("Tarnwick.dat"))));
}

QTEST_GUILESS_MAIN(TestInitCommand)
#include "TestInitCommand.moc"
