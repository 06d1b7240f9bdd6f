// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli history and the last result in list: runs of tarnwick-cli
// run kept newest first, as lines and as JSON, for one task or every task;
// a dry run keeps nothing; an unknown task is a usage error.
#include "CliProcess.h"
#include "TestDir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

class TestHistoryCommand : public QObject
{
    Q_OBJECT

private slots:
    void keptRunsShown();
    void badArguments_data();
    void badArguments();
};

void TestHistoryCommand::keptRunsShown()
{
    TestDir home, config, files;
    QVERIFY(QDir().mkpath(files.filePath(QStringLiteral("src"))));
    QVERIFY(QDir().mkpath(files.filePath(QStringLiteral("dst"))));
    files.writeFile(QStringLiteral("src/a.txt"), "abc");
    const auto cli = [&](const QStringList& args) { return RunCli(args, home.path(), config.path()); };
    QCOMPARE(cli({QStringLiteral("init")}).exitCode, 0);
    const QString good = cli({QStringLiteral("task"), QStringLiteral("add"), QStringLiteral("Good"),
                              QStringLiteral("--source"), files.filePath(QStringLiteral("src")),
                              QStringLiteral("--target"), files.filePath(QStringLiteral("dst"))})
                             .out.trimmed();
    // Its source is gone by the time it runs: one error.
    QVERIFY(QDir().mkpath(files.filePath(QStringLiteral("gone"))));
    const QString bad = cli({QStringLiteral("task"), QStringLiteral("add"), QStringLiteral("Bad"),
                             QStringLiteral("--source"), files.filePath(QStringLiteral("gone")),
                             QStringLiteral("--target"), files.filePath(QStringLiteral("dst"))})
                            .out.trimmed();
    QVERIFY(QDir(files.filePath(QStringLiteral("gone"))).removeRecursively());
    QVERIFY(!good.isEmpty() && !bad.isEmpty());

    QCOMPARE(cli({QStringLiteral("run"), good}).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("run"), good}).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("run"), QStringLiteral("--dry-run"), good}).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("run"), bad}).exitCode, 1);

    const CliResult json = cli({QStringLiteral("history"), QStringLiteral("--json")});
    QCOMPARE(json.exitCode, 0);
    const QJsonArray runs = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(runs.size(), 3); // the dry run kept nothing
    QStringList seen;
    for (const QJsonValue& value : runs) {
        const QJsonObject run = value.toObject();
        seen << run[QStringLiteral("name")].toString() + u' ' + run[QStringLiteral("result")].toString() +
                    u' ' + QString::number(run[QStringLiteral("copiedFiles")].toInt()) + u' ' +
                    QString::number(run[QStringLiteral("errors")].toInt());
    }
    // Tasks in list order, each task's runs newest first.
    QCOMPARE(seen, (QStringList{QStringLiteral("Good succeeded 0 0"),
                                QStringLiteral("Good succeeded 1 0"),
                                QStringLiteral("Bad with errors 0 1")}));
    QVERIFY(runs.last().toObject()[QStringLiteral("firstError")].toString().contains(
        QStringLiteral("gone")));
    // Start and end as moments with their offset from UTC, read back alike
    // in any zone.
    const QRegularExpression moment(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
    for (const QJsonValue& value : runs) {
        const QJsonObject run = value.toObject();
        for (const QString& member : {QStringLiteral("start"), QStringLiteral("end")}) {
            const QString text = run[member].toString();
            QVERIFY2(moment.match(text).hasMatch(), qPrintable(member + u' ' + text));
            const QDateTime at = QDateTime::fromString(text, Qt::ISODate);
            QVERIFY(at.isValid());
            QVERIFY(qAbs(at.secsTo(QDateTime::currentDateTime())) < 600);
        }
    }

    const CliResult one = cli({QStringLiteral("history"), QStringLiteral("Bad")});
    QCOMPARE(one.exitCode, 0);
    QVERIFY2(one.out.startsWith(QStringLiteral("[%1] Bad\n").arg(bad)), qPrintable(one.out));
    QCOMPARE(one.out.count(u'\n'), 2);
    QVERIFY(one.out.contains(QStringLiteral("1 error ")));

    const CliResult list = cli({QStringLiteral("list")});
    QVERIFY(list.out.contains(QStringLiteral("last result: OK\n")));
    QVERIFY(list.out.contains(QStringLiteral("last result: 1 error\n")));
}

void TestHistoryCommand::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown task") << QStringList{QStringLiteral("history"), QStringLiteral("nope")};
    QTest::newRow("two tasks") << QStringList{QStringLiteral("history"), QStringLiteral("a"),
                                              QStringLiteral("b")};
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("history"), QStringLiteral("--xml")};
}

void TestHistoryCommand::badArguments()
{
    QFETCH(QStringList, args);
    TestDir home, config;
    QCOMPARE(RunCli({QStringLiteral("init")}, home.path(), config.path()).exitCode, 0);
    const CliResult result = RunCli(args, home.path(), config.path());
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY(!result.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestHistoryCommand)
#include "TestHistoryCommand.moc"
