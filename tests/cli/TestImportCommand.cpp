// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli export and import: a document read into an empty program
// folder and written again is the same document; a damaged or foreign file
// changes nothing; identifiers already taken are replaced and reported.
#include "CliProcess.h"
#include "TestDir.h"

#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// Every row of every table, in stored order.
QStringList Rows(const QString& path)
{
    TaskDatabase db;
    db.open(path);
    QStringList rows;
    for (const char* table : {"TaskGroup", "Task", "SourceDir", "Exclude", "TaskSchedule"}) {
        TaskQuery query(db);
        RunQuery(query, u"select count(*) as N, group_concat(quote(rowid)) as R from %1"_s.arg(
                            QLatin1StringView(table)));
        rows << QLatin1StringView(table) + u':' + query.text("N") + u':' + query.text("R");
    }
    TaskQuery query(db);
    RunQuery(query, u"select TaskID, TaskName, TargetDir from Task order by rowid"_s);
    for (; !query.eof(); query.next())
        rows << query.text("TaskID") + u'|' + query.text("TaskName") + u'|' +
                    query.text("TargetDir");
    return rows;
}

} // namespace

class TestImportCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTripGivesTheSameDocument();
    void unreadableFileChangesNothing_data();
    void unreadableFileChangesNothing();
    void takenIdentifiersAreReplaced();
    void documentWithoutTaskOptionsImports();

private:
    CliResult cli(const QStringList& args, const QString& home = u"home"_s)
    {
        return RunCli(args, m_dir->filePath(home), m_dir->filePath(u"config"_s));
    }
    void addTasks();

    std::unique_ptr<TestDir> m_dir;
};

void TestImportCommand::init()
{
    m_dir = std::make_unique<TestDir>();
    for (const QString& home : {u"home"_s, u"empty"_s}) {
        m_dir->makeDir(home);
        CreateTaskDatabase(m_dir->filePath(home + u"/Tarnwick.dat"_s));
    }
    m_dir->makeDir(u"config"_s);
}

void TestImportCommand::addTasks()
{
    QCOMPARE(cli({u"group"_s, u"add"_s, u"Work"_s}).exitCode, 0);
    const QStringList base{u"task"_s, u"add"_s, u"--source"_s, u"/s"_s, u"--target"_s, u"/t"_s};
    QCOMPARE(cli(base + QStringList{u"Plain"_s}).exitCode, 0);
    QCOMPARE(cli(base + QStringList{u"Rich's"_s,
                                    u"--group"_s,
                                    u"Work"_s,
                                    u"--no-subfolders"_s,
                                    u"/s2"_s,
                                    u"--every"_s,
                                    u"2h"_s,
                                    u"--at"_s,
                                    u"07:00"_s,
                                    u"--weekly"_s,
                                    u"sat"_s,
                                    u"--monthly"_s,
                                    u"28"_s,
                                    u"--once"_s,
                                    u"2099-12-31"_s,
                                    u"--exclude-ext"_s,
                                    u"doc"_s,
                                    u"--exclude-size"_s,
                                    u">1M"_s,
                                    u"--exclude-date"_s,
                                    u"2004-01-10..2004-01-20"_s,
                                    u"--exclude-attr"_s,
                                    u"system"_s,
                                    u"--exclude-file"_s,
                                    u"/s/x"_s,
                                    u"--keep-versions"_s,
                                    u"7"_s,
                                    u"--versions-folder"_s,
                                    u"/old"_s,
                                    u"--when-target-appears"_s,
                                    u"--parallel"_s,
                                    u"12"_s})
                 .exitCode,
             0);
    QCOMPARE(cli(base + QStringList{u"Watched"_s, u"--on-change"_s, u"--keep-versions"_s, u"1"_s})
                 .exitCode,
             0);
}

void TestImportCommand::roundTripGivesTheSameDocument()
{
    addTasks();
    const CliResult exported = cli({u"export"_s});
    QCOMPARE(exported.exitCode, 0);
    const QString file = m_dir->filePath(u"tasks.json"_s);
    QCOMPARE(cli({u"export"_s, file}).exitCode, 0);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()), exported.out);

    const CliResult imported = cli({u"import"_s, file}, u"empty"_s);
    QCOMPARE(imported.exitCode, 0);
    QVERIFY2(imported.out.contains(u"Imported 1 groups and 3 tasks"_s), qPrintable(imported.out));
    QCOMPARE(cli({u"export"_s}, u"empty"_s).out, exported.out);
    const QJsonObject root = QJsonDocument::fromJson(exported.out.toUtf8()).object();
    QCOMPARE(root.value(u"version"_s).toInt(), 1);
}

void TestImportCommand::unreadableFileChangesNothing_data()
{
    // `damage` names a whole-document damage, or the field of the last task
    // to set to `value`.
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("message");
    const QJsonValue none;
    QTest::newRow("cut short") << QByteArray("cut") << none << u"not JSON"_s;
    QTest::newRow("other format") << QByteArray("format") << none
                                  << u"no Tarnwick task document"_s;
    QTest::newRow("newer version") << QByteArray("version") << none << u"version 2"_s;
    // The last task is broken: the ones before it must not stay either.
    const auto schedule = [](int kind, const char* key, const QJsonValue& value) {
        return QJsonValue(QJsonArray{QJsonObject{
            {u"kind"_s, kind}, {QLatin1StringView(key), value}, {u"startTime"_s, u"0"_s}}});
    };
    QTest::newRow("bad last task") << QByteArray("schedules") << schedule(0, "value", 1)
                                   << u"task 3: 'value'"_s;
    QTest::newRow("once, long past")
        << QByteArray("schedules") << schedule(5, "onceDate", u"2001-01-01"_s)
        << u"task 3: schedule 1: The run date is earlier than current date!"_s;
    QTest::newRow("task the editor refuses") << QByteArray("target") << QJsonValue(u""_s)
                                             << u"Target is empty!"_s;
    const auto rule = [](int type, int sstype, const QString& value, const QString& endDate) {
        return QJsonValue(QJsonArray{QJsonObject{{u"type"_s, type},
                                                 {u"stype"_s, 0},
                                                 {u"sstype"_s, sstype},
                                                 {u"value"_s, value},
                                                 {u"endDate"_s, endDate}}});
    };
    // A lone comma would exclude every file without an extension.
    QTest::newRow("rule the editor refuses")
        << QByteArray("rules") << rule(0, 0, u" , "_s, QString()) << u"Wildcard is empty!"_s;
    QTest::newRow("a reversed date range")
        << QByteArray("rules") << rule(3, 2, u"2004-01-20"_s, u"2004-01-10"_s)
        << u"Begin date must be earlier than To date!"_s;
    QTest::newRow("a name of 200 characters") << QByteArray("name") << QJsonValue(QString(200, u'n'))
                                              << u"A task name has at most 100 characters."_s;
    QTest::newRow("a name with an escape")
        << QByteArray("name") << QJsonValue(u"x\x1b[2J"_s)
        << u"task 3: 'name' holds a control character"_s;
    QTest::newRow("an ID with a line break") << QByteArray("id") << QJsonValue(u"T1\nT2"_s)
                                             << u"task 3: 'id' holds a control character"_s;
    QTest::newRow("the tree's root as an ID") << QByteArray("id") << QJsonValue(u"AllTask"_s)
                                              << u"task 3: 'id' must be a task identifier"_s;
    QTest::newRow("a source whose bytes were no UTF-8")
        << QByteArray("sources")
        << QJsonValue(QJsonArray{QJsonObject{{u"path"_s, u"/s\uFFFD"_s}, {u"subfolders"_s, true}}})
        << u"A source folder must be valid UTF-8 text; '/s\uFFFD' is not."_s;
    QTest::newRow("a NUL in the target") << QByteArray("target") << QJsonValue(u"/t\u0000x"_s)
                                         << u"task 3: 'target' holds a control character"_s;
    QTest::newRow("a relative target") << QByteArray("target") << QJsonValue(u"t"_s)
                                       << u"The target folder must be a full path, not 't'."_s;
    QTest::newRow("a relative source")
        << QByteArray("sources")
        << QJsonValue(QJsonArray{QJsonObject{{u"path"_s, u"s"_s}, {u"subfolders"_s, true}}})
        << u"A source folder must be a full path, not 's'."_s;
    QTest::newRow("a hundred versions") << QByteArray("keepVersions") << QJsonValue(100)
                                        << u"task 3: 'keepVersions' must be a whole number"_s;
    QTest::newRow("too many at once") << QByteArray("parallel") << QJsonValue(65)
                                      << u"task 3: 'parallel' must be a whole number"_s;
    QTest::newRow("versions in the target")
        << QByteArray("versionsFolder") << QJsonValue(u"/t"_s)
        << u"The versions folder cannot be the target folder or a folder above it."_s;
    QTest::newRow("versions in a source")
        << QByteArray("versionsFolder") << QJsonValue(u"/s/old"_s)
        << u"The versions folder cannot be a source folder, lie inside one or hold one."_s;
    QTest::newRow("a missing group")
        << QByteArray("group") << QJsonValue(u"G-gone"_s)
        << u"task 3: the group 'G-gone' is neither in the document nor in the database"_s;
}

void TestImportCommand::unreadableFileChangesNothing()
{
    QFETCH(QByteArray, damage);
    QFETCH(QJsonValue, value);
    QFETCH(QString, message);
    addTasks();
    QString document = cli({u"export"_s}).out;
    if (damage == "cut") {
        document.chop(document.size() / 3);
    } else {
        QJsonObject root = QJsonDocument::fromJson(document.toUtf8()).object();
        QJsonArray tasks = root.value(u"tasks"_s).toArray();
        QJsonObject last = tasks.last().toObject();
        if (damage == "format")
            root.insert(u"format"_s, u"other-tool"_s);
        else if (damage == "version")
            root.insert(u"version"_s, 2);
        else
            last.insert(QString::fromLatin1(damage), value);
        if (damage == "schedules")
            last.insert(u"start"_s, u"scheduled"_s);
        tasks.replace(tasks.size() - 1, last);
        root.insert(u"tasks"_s, tasks);
        document = QString::fromUtf8(QJsonDocument(root).toJson());
    }
    QVERIFY(document != cli({u"export"_s}).out);
    const QString file = m_dir->filePath(u"damaged.json"_s);
    m_dir->writeFile(file, document.toUtf8());

    for (const QString& home : {u"home"_s, u"empty"_s}) {
        const QStringList before = Rows(m_dir->filePath(home + u"/Tarnwick.dat"_s));
        const CliResult imported = cli({u"import"_s, file}, home);
        QCOMPARE(imported.exitCode, 1);
        QVERIFY2(imported.err.contains(message), qPrintable(imported.err));
        QVERIFY(imported.err.contains(u"nothing was imported"_s));
        QCOMPARE(Rows(m_dir->filePath(home + u"/Tarnwick.dat"_s)), before);
    }
}

void TestImportCommand::takenIdentifiersAreReplaced()
{
    addTasks();
    const QString file = m_dir->filePath(u"tasks.json"_s);
    QCOMPARE(cli({u"export"_s, file}).exitCode, 0);
    const CliResult imported = cli({u"import"_s, file});
    QCOMPARE(imported.exitCode, 0);
    QVERIFY(imported.out.contains(u"Imported 1 groups and 3 tasks"_s));
    QCOMPARE(imported.out.count(u"was taken"_s), 4);
    const QStringList rows = Rows(m_dir->filePath(u"home/Tarnwick.dat"_s));
    QCOMPARE(rows.filter(u"|Rich's|"_s).size(), 2);
    // Every identifier is still unique, and the copy keeps its (new) group.
    QStringList ids;
    for (const QString& row : rows.mid(5))
        ids << row.section(u'|', 0, 0);
    ids.removeDuplicates();
    QCOMPARE(ids.size(), 6);
    TaskDatabase db;
    db.open(m_dir->filePath(u"home/Tarnwick.dat"_s));
    const QString copyId = rows.filter(u"|Rich's|"_s).last().section(u'|', 0, 0);
    const QString originalId = rows.filter(u"|Rich's|"_s).first().section(u'|', 0, 0);
    QVERIFY(LoadTask(db, copyId).groupId != LoadTask(db, originalId).groupId);
    QCOMPARE(LoadTask(db, copyId).schedules.size(), 4);
}

// Documents written before tasks had kept versions and drive starts lack
// those members; their tasks import with both off.
void TestImportCommand::documentWithoutTaskOptionsImports()
{
    addTasks();
    QJsonObject root = QJsonDocument::fromJson(cli({u"export"_s}).out.toUtf8()).object();
    QJsonArray tasks = root.value(u"tasks"_s).toArray();
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        QJsonObject task = tasks.at(i).toObject();
        for (const QString& key : {u"keepVersions"_s, u"versionsFolder"_s,
                                   u"whenTargetAppears"_s, u"parallel"_s})
            task.remove(key);
        tasks.replace(i, task);
    }
    root.insert(u"tasks"_s, tasks);
    const QString file = m_dir->filePath(u"older.json"_s);
    m_dir->writeFile(file, QJsonDocument(root).toJson());
    QCOMPARE(cli({u"import"_s, file}, u"empty"_s).exitCode, 0);
    const QJsonArray imported =
        QJsonDocument::fromJson(cli({u"export"_s}, u"empty"_s).out.toUtf8())
            .object()
            .value(u"tasks"_s)
            .toArray();
    QCOMPARE(imported.size(), 3);
    for (const QJsonValue& task : imported) {
        QCOMPARE(task[u"keepVersions"_s].toInt(-1), 0);
        QCOMPARE(task[u"versionsFolder"_s].toString(u"?"_s), QString());
        QCOMPARE(task[u"whenTargetAppears"_s].toBool(true), false);
        QCOMPARE(task[u"parallel"_s].toInt(-1), 0);
    }
}

QTEST_GUILESS_MAIN(TestImportCommand)
#include "TestImportCommand.moc"
