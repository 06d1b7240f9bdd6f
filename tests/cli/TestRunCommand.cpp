// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli run, as a user starts it: task lookup, settings failures,
// the log file's share of the lines, a run cut off from outside, the split
// of its lines between stdout and stderr, colour and the progress line on a
// terminal, output that cannot be written, and `help`/`--`.
#include "CliProcess.h"
#include "FileSizeLimit.h"
#include "TestDir.h"
#include "platform/TaskRunLock.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBase = 1622541600;

// A file of real data, so that its copy takes a while: a sparse file's
// holes are not copied and would be done at once.
void WriteDataFile(const QString& path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray chunk(4 << 20, '\0');
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = char(i % 251 + 1);
    for (qint64 left = size; left > 0; left -= chunk.size())
        QCOMPARE(file.write(chunk.constData(), std::min<qint64>(left, chunk.size())),
                 std::min<qint64>(left, chunk.size()));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

QStringList Names(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                QDir::NoDotAndDotDot);
}

// The options key with every value the runner reads; `drop` leaves one out.
QByteArray OptionsKey(const QString& drop, bool start, bool copy, bool skip, bool error)
{
    const QList<std::pair<QString, QString>> values{
        {u"LogFileName"_s, u"\"run.log\""_s},
        {u"StartFilshMsg"_s, start ? u"dword:00000001"_s : u"dword:00000000"_s},
        {u"CopyMsg"_s, copy ? u"dword:00000001"_s : u"dword:00000000"_s},
        {u"SkipMsg"_s, skip ? u"dword:00000001"_s : u"dword:00000000"_s},
        {u"ErrorMsg"_s, error ? u"dword:00000001"_s : u"dword:00000000"_s},
        {u"StartFilshClr"_s, u"dword:00008000"_s},
        {u"CopyClr"_s, u"dword:00000000"_s},
        {u"SkipClr"_s, u"dword:00000000"_s},
        {u"ErrorClr"_s, u"dword:000000ff"_s},
        {u"ShowDlg"_s, u"dword:00000000"_s},
        {u"PlaySound"_s, u"dword:00000000"_s},
        {u"SoundFile"_s, u"\"\""_s},
        {u"ThrdPRI"_s, u"dword:00000003"_s},
    };
    QByteArray text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_"
                      "USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption]\r\n";
    for (const auto& [name, value] : values) {
        if (name != drop)
            text += '"' + name.toUtf8() + "\"=" + value.toUtf8() + "\r\n";
    }
    return text;
}

// An error line of a run, which goes to standard error.
bool IsErrorLine(const QString& line)
{
    return line.contains(u"] Error: "_s) || line.contains(u"Status   : Mirror Finished!!"_s) ||
           line.contains(u"Status   : Mirror Stopped!!"_s);
}

QString ShellQuoted(const QString& word)
{
    QString quoted = word;
    quoted.replace(u"'"_s, u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

// Runs tarnwick-cli with `env` (NAME=VALUE words) added to a plain terminal
// type and no NO_COLOR: on a pseudo-terminal of `columns` columns, made by
// script(1), when `terminal` (stdout and stderr then arrive as one), else
// on pipes.
CliResult RunCliOn(bool terminal, const QStringList& args, const QStringList& env,
                   const QString& home, const QString& configHome, int columns = 80)
{
    QStringList command{u"env"_s, u"-u"_s, u"NO_COLOR"_s, u"TERM=xterm-256color"_s};
    command << env << qEnvironmentVariable("TARNWICK_CLI") << args;
    if (!terminal)
        return RunCliProgram(command.takeFirst(), command, home, configHome, 120000);
    QStringList quoted;
    for (const QString& word : std::as_const(command))
        quoted << ShellQuoted(word);
    const QString line = u"stty cols %1 rows 24 2>/dev/null; exec "_s.arg(columns) +
                         quoted.join(u' ');
    return RunCliProgram(u"script"_s, {u"-qfec"_s, line, u"/dev/null"_s}, home, configHome,
                         120000);
}

} // namespace

class TestRunCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void taskLookup_data();
    void taskLookup();
    void settingsWithoutPriority();
    void logFileTakesSwitchedOnKinds_data();
    void logFileTakesSwitchedOnKinds();
    void killedMidCopyLeavesNoPartialFile();
    void terminateFinishesFileAndReports_data();
    void terminateFinishesFileAndReports();
    void missingDatabase();
    void failedRunExitsOne_data();
    void failedRunExitsOne();
    void scheduleUpdateFailureExitsOne();
    void lockedDatabaseIsWaitedFor();
    void namesCannotForgeLines();
    void dryRunDecidesAsTheRealRun();
    void quietAndProgressOnAPipe();
    void manyLinesArriveWholeAndOnce();
    void lostLogLinesFailTheRun_data();
    void lostLogLinesFailTheRun();
    void oneRunOfATaskAcrossProcesses();
    void errorLinesGoToStandardError_data();
    void errorLinesGoToStandardError();
    void colourOnATerminal_data();
    void colourOnATerminal();
    void progressKeepsTheFileName();
    void unwritableOutputFails_data();
    void unwritableOutputFails();
    void helpAndPlainArguments_data();
    void helpAndPlainArguments();

private:
    void addTask(const QString& id, const QString& name, const QString& source,
                 const QString& target);
    // Task 101 ("t") over a source of one file, with the marker row its
    // run updates after the walk.
    void addMarkedTask();
    void writeOptions(const QByteArray& text);
    CliResult run(const QString& task)
    {
        return RunCli({u"run"_s, task}, m_home->path(), m_config->path());
    }
    QProcess* start(const QString& task, const QStringList& options = {});
    bool waitForCopy(QProcess* process, const QString& dst);

    std::unique_ptr<QTemporaryDir> m_home, m_config;
    std::unique_ptr<TestDir> m_files;
};

void TestRunCommand::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    m_config = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<TestDir>();
    QVERIFY(m_home->isValid() && m_config->isValid() && m_files->isValid());
    QCOMPARE(RunCli({u"init"_s}, m_home->path(), m_config->path()).exitCode, 0);
    QVERIFY(QDir().mkpath(m_home->filePath(u"Log"_s)));
    QVERIFY(QDir().mkpath(m_files->filePath(u"src"_s)) &&
            QDir().mkpath(m_files->filePath(u"dst"_s)));
}

void TestRunCommand::cleanup()
{
    m_home.reset(), m_config.reset(), m_files.reset();
}

void TestRunCommand::addTask(const QString& id, const QString& name, const QString& source,
                             const QString& target)
{
    TaskDatabase db;
    db.open(m_home->filePath(u"Tarnwick.dat"_s));
    TaskQuery query(db);
    RunStatement(
        query, FillStatement(sql::InsertTask, {id, u"AllTask"_s, name, source, target, qint64(0)}));
    RunStatement(query, FillStatement(sql::InsertSource, {id, source, qint64(1)}));
}

void TestRunCommand::addMarkedTask()
{
    m_files->writeFile(QStringLiteral("src/f"), "x", kBase);
    addTask(u"101"_s, u"t"_s, m_files->filePath(u"src"_s), m_files->filePath(u"dst"_s));
    TaskDatabase db;
    db.open(m_home->filePath(u"Tarnwick.dat"_s));
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertManualRow, {u"101"_s, u"2026-12-01"_s}));
}

void TestRunCommand::writeOptions(const QByteArray& text)
{
    QVERIFY(QDir().mkpath(m_config->filePath(u"Tarnwick"_s)));
    QFile file(m_config->filePath(u"Tarnwick/user.reg"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QProcess* TestRunCommand::start(const QString& task, const QStringList& options)
{
    auto* process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TARNWICK_HOME"_s, m_home->path());
    env.insert(u"XDG_CONFIG_HOME"_s, m_config->path());
    process->setProcessEnvironment(env);
    process->start(qEnvironmentVariable("TARNWICK_CLI"), QStringList{u"run"_s} + options + QStringList{task});
    return process;
}

// Waits until the run has the copy's unnamed file open in `dst`.
bool TestRunCommand::waitForCopy(QProcess* process, const QString& dst)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(process->processId());
    for (int i = 0; i < 2000; ++i) {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::System | QDir::Files)) {
            if (fd.symLinkTarget().startsWith(dst) && fd.symLinkTarget().contains(u"(deleted)"_s))
                return true;
        }
        if (process->state() != QProcess::Running)
            return false;
        QTest::qWait(5);
    }
    return false;
}

void TestRunCommand::taskLookup_data()
{
    QTest::addColumn<QString>("task");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText");

    QTest::newRow("by ID") << "101" << 0 << "";
    QTest::newRow("by name") << "unique" << 0 << "";
    QTest::newRow("ID wins over a name") << "twin" << 0 << "";
    QTest::newRow("unknown") << "nothing" << 2 << "no task with the ID or name 'nothing'";
    QTest::newRow("ambiguous name") << "same" << 2 << "ambiguous; task IDs: 102, 103";
}

void TestRunCommand::taskLookup()
{
    QFETCH(QString, task);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);

    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(QStringLiteral("src/f"), "x", kBase);
    addTask(u"101"_s, u"unique"_s, src, dst);
    addTask(u"102"_s, u"same"_s, src, dst);
    addTask(u"103"_s, u"same"_s, src, dst);
    addTask(u"twin"_s, u"101"_s, src, dst);
    addTask(u"104"_s, u"twin"_s, src, dst);

    const CliResult result = run(task);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(errorText), qPrintable(result.err));
    if (exitCode == 0) {
        QVERIFY(result.out.contains(u"synchronize finished"_s));
        QVERIFY(!result.out.contains(u'\x1b')); // no colour into a pipe
    } else {
        QVERIFY(result.out.isEmpty());
        QVERIFY(Names(dst).isEmpty());
    }
}

void TestRunCommand::settingsWithoutPriority()
{
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(QStringLiteral("src/f"), "x", kBase);
    addTask(u"101"_s, u"t"_s, src, dst);
    writeOptions(OptionsKey(u"ThrdPRI"_s, true, true, true, true));

    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(u"Failed to get data for 'ThrdPRI'"_s), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    QVERIFY(Names(dst).isEmpty());
    QVERIFY(!QFile::exists(m_home->filePath(u"Log/run.log"_s)));
}

void TestRunCommand::logFileTakesSwitchedOnKinds_data()
{
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<bool>("error");

    QTest::newRow("start and error only") << true << false << false << true;
    QTest::newRow("copy and skip only") << false << true << true << false;
    QTest::newRow("copy and error") << false << true << false << true;
    QTest::newRow("none") << false << false << false << false;
}

void TestRunCommand::logFileTakesSwitchedOnKinds()
{
    QFETCH(bool, start);
    QFETCH(bool, copy);
    QFETCH(bool, skip);
    QFETCH(bool, error);

    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(QStringLiteral("src/new"), "n", kBase);
    m_files->writeFile(QStringLiteral("src/same"), "s", kBase);
    m_files->writeFile(QStringLiteral("dst/same"), "s", kBase);
    m_files->writeFile(QStringLiteral("src/blocked"), "b", kBase);
    QVERIFY(QDir().mkpath(dst + u"/blocked"_s));
    addTask(u"101"_s, u"t"_s, src, dst);
    writeOptions(OptionsKey(QString(), start, copy, skip, error));

    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1); // the blocked copy counts as an error
    const QStringList out = result.out.split(u'\n', Qt::SkipEmptyParts);
    const QStringList err = result.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(out.size() + err.size(), 11); // every line, whatever the switches

    QStringList expected;
    for (const QString& line : out + err) {
        const bool isCopy = line.contains(u"] Mirroring: "_s);
        const bool isSkip = line.contains(u"] Skipping: "_s);
        const bool isError = line.contains(u"] Error: "_s);
        // The rest, the failure status line included, follow the start switch.
        const bool isStart = !isCopy && !isSkip && !isError;
        if ((isCopy && copy) || (isSkip && skip) || (isError && error) || (isStart && start))
            expected << line;
    }
    QByteArray logged = ReadFile(m_home->filePath(u"Log/run.log"_s));
    if (expected.isEmpty()) {
        QCOMPARE(logged, QByteArray("<absent>"));
    } else {
        QVERIFY(logged.endsWith("\r\n"));
        // The log keeps the lines of both streams, each stream's in its order.
        const QStringList lines = QString::fromUtf8(logged).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), expected.size());
        QStringList loggedOut = lines, loggedErr = lines;
        loggedOut.removeIf(IsErrorLine);
        loggedErr.removeIf([](const QString& line) { return !IsErrorLine(line); });
        QStringList expectedOut = expected, expectedErr = expected;
        expectedOut.removeIf([&](const QString& line) { return !out.contains(line); });
        expectedErr.removeIf([&](const QString& line) { return !err.contains(line); });
        QCOMPARE(loggedOut, expectedOut);
        QCOMPARE(loggedErr, expectedErr);
    }
}

void TestRunCommand::killedMidCopyLeavesNoPartialFile()
{
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    WriteDataFile(src + u"/big"_s, 1ll << 30);
    m_files->writeFile(QStringLiteral("dst/big"), "the old copy", kBase);
    addTask(u"101"_s, u"t"_s, src, dst);
    writeOptions(OptionsKey(QString(), true, true, true, true));

    QProcess* process = start(u"101"_s);
    QVERIFY(process->waitForStarted());
    const bool copying = waitForCopy(process, dst);
    // The line announcing the copy is in the log file while it goes on.
    const QByteArray announced = "[t] Mirroring: Overwrite the existing older file: " +
                                 QFile::encodeName(src) + "/big\r\n";
    const bool logged = QTest::qWaitFor(
        [&] { return ReadFile(m_home->filePath(u"Log/run.log"_s)).contains(announced); }, 1000);
    const bool stillRunning = process->state() == QProcess::Running;
    ::kill(pid_t(process->processId()), SIGKILL);
    QVERIFY(process->waitForFinished());
    QVERIFY2(logged, ReadFile(m_home->filePath(u"Log/run.log"_s)).constData());
    if (!copying || !stillRunning)
        QSKIP("the copy ended before it could be cut off");
    QCOMPARE(Names(dst), QStringList{u"big"_s});
    QCOMPARE(ReadFile(dst + u"/big"_s), QByteArray("the old copy"));
}

void TestRunCommand::terminateFinishesFileAndReports_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("named");
    QTest::newRow("SIGTERM") << int(SIGTERM) << u"SIGTERM"_s;
    QTest::newRow("SIGINT, as Ctrl+C sends") << int(SIGINT) << u"SIGINT (Ctrl+C)"_s;
}

void TestRunCommand::terminateFinishesFileAndReports()
{
    QFETCH(int, signal);
    QFETCH(QString, named);
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    WriteDataFile(src + u"/big"_s, 512ll << 20);
    addTask(u"101"_s, u"t"_s, src, dst);

    QProcess* process = start(u"101"_s);
    QVERIFY(process->waitForStarted());
    // Once the copy is under way the stop handler is certainly in place.
    if (!waitForCopy(process, dst))
        QSKIP("the copy ended before the stop could be sent");
    ::kill(pid_t(process->processId()), signal);
    QVERIFY(process->waitForFinished(120000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    // A stopped run is incomplete: 128 + the signal (143, 130), said on
    // standard error.
    QCOMPARE(process->exitCode(), 128 + signal);
    // The stopped run's status line is an error line; the last word on
    // standard error says what stopped it.
    QCOMPARE(QString::fromUtf8(process->readAllStandardError()),
             u"[t]          Status   : Mirror Stopped!!\n"
             "tarnwick-cli run: stopped by %1; the target is not complete\n"_s.arg(named));
    const QString out = QString::fromUtf8(process->readAllStandardOutput());
    QVERIFY(out.contains(u"synchronize finished  [t]"_s));
    // The file under way when the stop came was finished, not torn.
    if (out.contains(u"Mirrored : 0 folders, 1 files"_s))
        QCOMPARE(QFileInfo(dst + u"/big"_s).size(), 512ll << 20);
    else
        QCOMPARE(Names(dst), QStringList());
}

void TestRunCommand::missingDatabase()
{
    const QString path = m_home->filePath(u"Tarnwick.dat"_s);
    QVERIFY(QFile::remove(path));
    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, QStringLiteral("tarnwick-cli run: no task database at %1 (unable to open "
                                        "database file); 'tarnwick-cli init' makes one\n")
                             .arg(path));
    QVERIFY(result.out.isEmpty());
    QVERIFY(!QFile::exists(path));
}

void TestRunCommand::scheduleUpdateFailureExitsOne()
{
    const QString dst = m_files->filePath(u"dst"_s);
    addMarkedTask();
    {
        // The after-walk update of the task's marker row is refused.
        TaskDatabase db;
        db.open(m_home->filePath(u"Tarnwick.dat"_s));
        db.execute(u"CREATE TRIGGER refuse BEFORE UPDATE ON TaskSchedule "
                   "BEGIN SELECT RAISE(ABORT, 'update refused'); END"_s);
    }
    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.startsWith(u"tarnwick-cli run: "_s) &&
                 result.err.contains(u"update refused"_s),
             qPrintable(result.err));
    // The copy was made, but the run did not end as a success.
    QCOMPARE(Names(dst), QStringList{u"f"_s});
    QVERIFY2(!result.out.contains(u"Mirror Successed!!"_s), qPrintable(result.out));
}

void TestRunCommand::namesCannotForgeLines()
{
    // A task name stored by an older build and a file name, each holding a
    // line break and what follows it in a successful run's log.
    const QString forged = u"[t]          Status   : Mirror Successed!!"_s;
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(u"src/x\n"_s + forged, "x", kBase);
    QVERIFY(QDir().mkpath(dst + u"/x\n"_s + forged)); // the copy fails: an error run
    addTask(u"101"_s, u"t\n"_s + forged, src, dst);
    writeOptions(OptionsKey(QString(), true, true, true, true));

    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1);
    const QStringList out = result.out.split(u'\n', Qt::SkipEmptyParts);
    const QStringList err = result.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(err.filter(u"Status   : Mirror Finished!! Find 1 Errors."_s).size() == 1,
             qPrintable(result.err));
    for (const QString& line : out + err)
        QVERIFY2(!line.startsWith(forged), qPrintable(line));
    QVERIFY2(result.out.contains(u"synchronize started  [t\\x0A[t]"_s), qPrintable(result.out));
    QVERIFY2(result.out.contains(u"/src/x\\x0A[t]"_s), qPrintable(result.out));
    const QString logged = QString::fromUtf8(ReadFile(m_home->filePath(u"Log/run.log"_s)));
    QStringList loggedOut = logged.split(u"\r\n"_s, Qt::SkipEmptyParts), loggedErr = loggedOut;
    loggedOut.removeIf(IsErrorLine);
    loggedErr.removeIf([](const QString& line) { return !IsErrorLine(line); });
    QCOMPARE(loggedOut, out);
    QCOMPARE(loggedErr, err);

    const CliResult list = RunCli({u"list"_s}, m_home->path(), m_config->path());
    QVERIFY2(list.out.contains(u"[101] t\\x0A[t]"_s), qPrintable(list.out));
}

void TestRunCommand::lockedDatabaseIsWaitedFor()
{
    addMarkedTask();
    // Another program writing for longer than the store's busy timeout, as
    // a long import does.
    TaskDatabase importer;
    importer.open(m_home->filePath(u"Tarnwick.dat"_s));
    TaskQuery query(importer);
    importer.execute(u"BEGIN IMMEDIATE"_s);

    std::unique_ptr<QProcess> process(start(u"101"_s));
    QVERIFY(process->waitForStarted());
    QByteArray out;
    const QByteArray waiting = "[t] Waiting for the task database: another program is writing to it.";
    QVERIFY(QTest::qWaitFor(
        [&] {
            out += process->readAllStandardOutput();
            return out.contains(waiting) || process->state() != QProcess::Running;
        },
        20000));
    QVERIFY2(out.contains(waiting), out.constData());
    QVERIFY(!out.contains("Summary:"));
    QTest::qWait(1500);
    importer.execute(u"COMMIT"_s);

    QVERIFY(process->waitForFinished(20000));
    out += process->readAllStandardOutput();
    QCOMPARE(process->exitCode(), 0);
    QCOMPARE(process->readAllStandardError(), QByteArray());
    QCOMPARE(out.count(waiting), 1);
    QVERIFY(out.contains("Status   : Mirror Successed!!"));
    QVERIFY(out.trimmed().endsWith("synchronize finished  [t]"));
    // The lines reached the log too, and the schedule moved on.
    const QByteArray logged = ReadFile(m_home->filePath(u"Log/Tarnwick.log"_s));
    QVERIFY2(logged.contains(waiting) && logged.contains("synchronize finished  [t]"),
             logged.constData());
    RunQuery(query, u"select LastRunTime from TaskSchedule where TaskID = '101'"_s);
    QVERIFY(query.text("LastRunTime") != u"2026-12-01"_s);
}

void TestRunCommand::manyLinesArriveWholeAndOnce()
{
    // Lines of some 200 bytes, several times the output's block, with
    // characters of two and three bytes, so lines fall across every block
    // boundary and characters across some.
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    const QString stem = QString(60, u'\u00e9') + QString(30, u'\u20ac');
    QStringList expected;
    for (int i = 0; i < 1500; ++i) {
        const QString name = stem + QString::number(i);
        m_files->writeFile(u"src/"_s + name, "x", kBase);
        expected << u"[t] Skipping: Keep the existing unchanged file: "_s + src + u'/' + name;
    }
    addTask(u"101"_s, u"t"_s, src, dst);
    QCOMPARE(run(u"101"_s).exitCode, 0);

    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 0);
    QStringList printed = result.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(printed.size() > 6, qPrintable(result.out.left(1000)));
    QVERIFY(printed.first().endsWith(u" synchronize started  [t]"_s));
    QVERIFY(printed.last().endsWith(u" synchronize finished  [t]"_s));
    printed = printed.mid(1, printed.size() - 7); // the start, summary and finish lines
    printed.sort();
    expected.sort();
    QCOMPARE(printed, expected);
}

void TestRunCommand::lostLogLinesFailTheRun_data()
{
    QTest::addColumn<QString>("logFileName");
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("told"); // on standard error, once; empty: nothing lost

    QTest::newRow("a full log disk")
        << u"run.log"_s << true
        << u"tarnwick-cli run: Lines could not be written to the log file %h/Log/run.log (File "
           "too large): this run's lines from there on are missing from it."_s;
    QTest::newRow("a log name outside the Log folder")
        << u"../Tarnwick.dat"_s << false
        << u"tarnwick-cli run: The log file name \"../Tarnwick.dat\" is not a plain file name "
           "in the Log folder: this run's lines are not logged."_s;
    QTest::newRow("no log file") << QString() << false << QString();
}

void TestRunCommand::lostLogLinesFailTheRun()
{
    QFETCH(QString, logFileName);
    QFETCH(bool, fullDisk);
    QFETCH(QString, told);
    told.replace(u"%h"_s, m_home->path());
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    for (int i = 0; i < 40; ++i)
        m_files->writeFile(u"src/file%1"_s.arg(i, 2, 10, QChar(u'0')), "x", kBase);
    addTask(u"101"_s, u"t"_s, src, dst);
    QByteArray options = OptionsKey(QString(), true, true, true, true);
    options.replace("\"LogFileName\"=\"run.log\"",
                    QByteArray("\"LogFileName\"=\"" + logFileName.toUtf8() + '"'));
    writeOptions(options);
    // A log that has room for a few lines only: the disk fills in the middle
    // of the run, and the short summary lines would still fit afterwards.
    constexpr qint64 kRoom = 1 << 20;
    const QString log = m_home->filePath(u"Log/run.log"_s);
    const QByteArray earlier = QByteArray(kRoom - 400 - 2, 'e') + "\r\n";
    if (fullDisk)
        m_files->writeFile(log, earlier);
    const QByteArray database = ReadFile(m_home->filePath(u"Tarnwick.dat"_s));

    CliResult result;
    {
        FileSizeLimit limit(fullDisk ? kRoom : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        result = run(u"101"_s);
    }

    QCOMPARE(Names(dst).size(), 40); // the copies themselves are made
    QCOMPARE(result.exitCode, told.isEmpty() ? 0 : 1);
    QCOMPARE(result.err, told.isEmpty() ? QString() : told + u'\n');
    // The history says what the exit status says, as the window's and the
    // daemon's runs do.
    const CliResult history =
        RunCli({u"history"_s, u"101"_s, u"--json"_s}, m_home->path(), m_config->path());
    QCOMPARE(history.exitCode, 0);
    const QJsonArray runs = QJsonDocument::fromJson(history.out.toUtf8()).array();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.at(0).toObject().value(u"errors"_s).toInt(), told.isEmpty() ? 0 : 1);
    if (fullDisk) {
        // Whole lines, each as printed, and none after the first lost one.
        const QByteArray logged = ReadFile(log);
        QVERIFY(logged.startsWith(earlier));
        const QStringList printed = result.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList kept =
            QString::fromUtf8(logged.mid(earlier.size())).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QVERIFY(!kept.isEmpty() && kept.size() < printed.size());
        QCOMPARE(kept, printed.mid(0, kept.size()));
        QVERIFY(logged.endsWith("\r\n"));
    } else {
        QCOMPARE(Names(m_home->filePath(u"Log"_s)), QStringList());
        if (!logFileName.isEmpty())
            QVERIFY(ReadFile(m_home->filePath(u"Tarnwick.dat"_s)).startsWith(database.left(16)));
    }
}

// Two runs of one task at once would take each other's new files for old
// ones. While another process (here: this test) runs the task, a run
// refuses with status 1, naming the process, or with --wait waits for it
// and then runs.
void TestRunCommand::oneRunOfATaskAcrossProcesses()
{
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(u"src/a"_s, "a", kBase);
    addTask(u"101"_s, u"t"_s, src, dst);
    TaskRunLock other;
    QCOMPARE(other.tryAcquire(m_home->path(), u"101"_s), TaskRunLock::Outcome::Acquired);
    const QString process = QString::number(QCoreApplication::applicationPid());

    const CliResult refused = run(u"101"_s);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(u"[t] Not started: the task is running in process "_s + process +
                                  u'\n'),
             qPrintable(refused.err));
    QCOMPARE(Names(dst), QStringList());
    // Another task runs meanwhile.
    QVERIFY(QDir().mkpath(m_files->filePath(u"other"_s)));
    addTask(u"102"_s, u"u"_s, src, m_files->filePath(u"other"_s));
    QCOMPARE(run(u"102"_s).exitCode, 0);

    QProcess* waiting = start(u"101"_s, {u"--wait"_s});
    QVERIFY(QTest::qWaitFor([&] { return waiting->bytesAvailable() > 0 ||
                                         waiting->state() != QProcess::Running; }, 10000));
    QTest::qWait(300);
    QCOMPARE(waiting->state(), QProcess::Running);
    QCOMPARE(Names(dst), QStringList());
    other.release();
    QVERIFY(waiting->waitForFinished(10000));
    QCOMPARE(waiting->exitCode(), 0);
    const QString out = QString::fromUtf8(waiting->readAllStandardOutput());
    QVERIFY2(out.contains(u"[t] Waiting for the run of t in process "_s + process + u'\n'),
             qPrintable(out));
    QCOMPARE(Names(dst), QStringList{u"a"_s});
}

void TestRunCommand::failedRunExitsOne_data()
{
    QTest::addColumn<QString>("source"); // "%f" stands for the files folder
    QTest::addColumn<QString>("errorLine");

    QTest::newRow("source root missing (a drive not mounted)")
        << "%f/unmounted"
        << "[t] Error: Copy file fail: %f/unmounted, No such file or directory. ";
    QTest::newRow("empty source path in the stored row")
        << ""
        << "[t] Error: Copy file fail: , No such file or directory. ";
}

void TestRunCommand::failedRunExitsOne()
{
    QFETCH(QString, source);
    QFETCH(QString, errorLine);
    source.replace(u"%f"_s, m_files->path());
    errorLine.replace(u"%f"_s, m_files->path());
    addTask(u"101"_s, u"t"_s, source, m_files->filePath(u"dst"_s));

    const CliResult result = run(u"101"_s);
    QCOMPARE(result.exitCode, 1);
    const QStringList printed = result.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(printed.contains(errorLine), qPrintable(result.err));
    QVERIFY2(printed.contains(u"[t]          Status   : Mirror Finished!! Find 1 Errors."_s),
             qPrintable(result.err));
}

// Paths, sizes and times of everything below `root`, the root's own times
// included: what a run that writes nothing leaves exactly as it was.
static QStringList Snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << u"%1 %2 %3"_s.arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    entries << u"root %1"_s.arg(QFileInfo(root).lastModified().toMSecsSinceEpoch());
    return entries;
}

// The lines a run prints about its files and its summary; not the start and
// finish lines, which carry the time.
static QStringList Decisions(const QString& out)
{
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return !line.startsWith(u"[tree]"_s); });
    return lines;
}

void TestRunCommand::dryRunDecidesAsTheRealRun()
{
    const QString src = m_files->filePath(u"src"_s);
    const QString dst = m_files->filePath(u"dst"_s);
    for (const QString& folder : {u"src/made/deeper"_s, u"src/there"_s, u"src/blocked"_s})
        QVERIFY(QDir().mkpath(m_files->filePath(folder)));
    m_files->writeFile(u"src/new.txt"_s, "new", kBase);
    m_files->writeFile(u"src/older.txt"_s, "source", kBase + 100);
    m_files->writeFile(u"dst/older.txt"_s, "target", kBase);
    m_files->writeFile(u"src/newer.txt"_s, "source", kBase);
    m_files->writeFile(u"dst/newer.txt"_s, "target", kBase + 100);
    m_files->writeFile(u"src/same.txt"_s, "same", kBase);
    m_files->writeFile(u"dst/same.txt"_s, "same", kBase);
    m_files->writeFile(u"src/made/deeper/a.txt"_s, "a", kBase);
    m_files->writeFile(u"src/made/b.txt"_s, "bb", kBase);
    m_files->writeFile(u"src/there/c.txt"_s, "ccc", kBase);
    QVERIFY(QDir().mkpath(m_files->filePath(u"dst/there"_s)));
    // A file holds the name of a source folder: an error in both runs.
    m_files->writeFile(u"src/blocked/d.txt"_s, "d", kBase);
    m_files->writeFile(u"dst/blocked"_s, "file", kBase);
    addTask(u"101"_s, u"tree"_s, src, dst);
    {
        TaskDatabase db;
        db.open(m_home->filePath(u"Tarnwick.dat"_s));
        TaskQuery query(db);
        RunStatement(query, FillStatement(sql::InsertManualRow, {u"101"_s, u"2001-01-01"_s}));
    }
    const QStringList before = Snapshot(dst);

    const CliResult dry = RunCli({u"run"_s, u"--dry-run"_s, u"tree"_s}, m_home->path(),
                                 m_config->path());
    QCOMPARE(dry.exitCode, 1); // the blocked folder
    QCOMPARE(Snapshot(dst), before);
    {
        TaskDatabase db;
        db.open(m_home->filePath(u"Tarnwick.dat"_s));
        TaskQuery query(db);
        RunQuery(query, u"select LastRunTime from TaskSchedule"_s);
        QCOMPARE(query.text("LastRunTime"), u"2001-01-01"_s);
    }
    QVERIFY2(dry.out.contains(u"Mirrored : 2 folders, 5 files, 15 bytes."_s), qPrintable(dry.out));

    const CliResult real = run(u"tree"_s);
    QCOMPARE(real.exitCode, 1);
    QCOMPARE(Decisions(dry.out), Decisions(real.out));
    QVERIFY(Snapshot(dst) != before);
    QCOMPARE(ReadFile(m_files->filePath(u"dst/made/deeper/a.txt"_s)), QByteArray("a"));
}

void TestRunCommand::quietAndProgressOnAPipe()
{
    m_files->writeFile(u"src/a.txt"_s, "a", kBase);
    addTask(u"101"_s, u"tree"_s, m_files->filePath(u"src"_s), m_files->filePath(u"dst"_s));
    // Standard error is a pipe here: no progress line, nothing at all.
    const CliResult result = RunCli({u"run"_s, u"--progress"_s, u"--quiet"_s, u"101"_s},
                                    m_home->path(), m_config->path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    QVERIFY(!result.out.contains(u"Mirroring:"_s));
    QVERIFY2(result.out.contains(u"[tree]          Mirrored : 0 folders, 1 files, 1 bytes."_s),
             qPrintable(result.out));
    QCOMPARE(ReadFile(m_files->filePath(u"dst/a.txt"_s)), QByteArray("a"));
    const CliResult bad = RunCli({u"run"_s, u"--fast"_s, u"101"_s}, m_home->path(),
                                 m_config->path());
    QCOMPARE(bad.exitCode, 2);
    QVERIFY(bad.err.contains(u"unknown option '--fast'"_s));
}

// As rsync does: the error lines on standard error, every other line on
// standard output, --quiet or not; the log file keeps them all in the order
// they were made.
void TestRunCommand::errorLinesGoToStandardError_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("copyLinesShown");
    QTest::newRow("all lines") << QStringList() << true;
    QTest::newRow("--quiet") << QStringList{u"--quiet"_s} << false;
}

void TestRunCommand::errorLinesGoToStandardError()
{
    QFETCH(QStringList, options);
    QFETCH(bool, copyLinesShown);
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(u"src/new"_s, "n", kBase);
    m_files->writeFile(u"src/blocked"_s, "b", kBase);
    QVERIFY(QDir().mkpath(dst + u"/blocked"_s)); // the copy fails
    addTask(u"101"_s, u"t"_s, src, dst);
    writeOptions(OptionsKey(QString(), true, true, true, true));

    const CliResult result =
        RunCli(QStringList{u"run"_s} + options + QStringList{u"101"_s}, m_home->path(),
               m_config->path());
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err, u"[t] Error: Copy file fail: %1/blocked, Is a directory. \n"
                         "[t]          Status   : Mirror Finished!! Find 1 Errors.\n"_s.arg(src));
    const QStringList out = result.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(out.filter(u"Error"_s).isEmpty(), qPrintable(result.out));
    QCOMPARE(out.contains(u"[t] Mirroring: Copy the new file: %1/new"_s.arg(src)), copyLinesShown);
    QVERIFY2(out.contains(u"[t]          Mirrored : 0 folders, 1 files, 1 bytes."_s),
             qPrintable(result.out));
    QVERIFY(out.last().endsWith(u" synchronize finished  [t]"_s));

    // One log of both, in the order made: the error before the summary.
    QStringList logged = QString::fromUtf8(ReadFile(m_home->filePath(u"Log/run.log"_s)))
                             .split(u"\r\n"_s, Qt::SkipEmptyParts);
    const qsizetype error = logged.indexOf(result.err.section(u'\n', 0, 0));
    const qsizetype summary = logged.indexOf(u"[t] Summary:"_s);
    QVERIFY2(error > 0 && summary > error, qPrintable(logged.join(u'\n')));
    if (!copyLinesShown)
        logged.removeIf([](const QString& line) { return line.contains(u"] Mirroring: "_s); });
    QCOMPARE(logged.size(), out.size() + 2);
}

// Colour as terminals and their users ask for it: NO_COLOR, TERM=dumb and
// --color; lines of the default colour (black) in the terminal's own text
// colour, never in a black that a dark terminal hides.
void TestRunCommand::colourOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<bool>("coloured");

    QTest::newRow("terminal") << true << QStringList() << QStringList() << true;
    QTest::newRow("terminal, NO_COLOR set") << true << QStringList() << QStringList{u"NO_COLOR=1"_s}
                                            << false;
    QTest::newRow("terminal, NO_COLOR empty")
        << true << QStringList() << QStringList{u"NO_COLOR="_s} << true;
    QTest::newRow("terminal, TERM=dumb") << true << QStringList() << QStringList{u"TERM=dumb"_s}
                                         << false;
    QTest::newRow("terminal, --color=never")
        << true << QStringList{u"--color=never"_s} << QStringList() << false;
    QTest::newRow("terminal, --color=always beats NO_COLOR")
        << true << QStringList{u"--color=always"_s} << QStringList{u"NO_COLOR=1"_s} << true;
    QTest::newRow("pipe") << false << QStringList() << QStringList() << false;
    QTest::newRow("pipe, --color always")
        << false << QStringList{u"--color"_s, u"always"_s} << QStringList() << true;
    QTest::newRow("pipe, --color=auto") << false << QStringList{u"--color=auto"_s}
                                        << QStringList() << false;
}

void TestRunCommand::colourOnATerminal()
{
    QFETCH(bool, terminal);
    QFETCH(QStringList, options);
    QFETCH(QStringList, env);
    QFETCH(bool, coloured);
    const QString src = m_files->filePath(u"src"_s), dst = m_files->filePath(u"dst"_s);
    m_files->writeFile(u"src/new"_s, "n", kBase);
    m_files->writeFile(u"src/blocked"_s, "b", kBase);
    QVERIFY(QDir().mkpath(dst + u"/blocked"_s));
    addTask(u"101"_s, u"t"_s, src, dst);
    // Start lines green, copy lines black, errors red.
    writeOptions(OptionsKey(QString(), true, true, true, true));

    const CliResult result = RunCliOn(terminal, QStringList{u"run"_s} + options + QStringList{u"101"_s},
                                      env, m_home->path(), m_config->path());
    QCOMPARE(result.exitCode, 1);
    const QString shown = result.out + result.err;
    QCOMPARE(shown.contains(u"\x1b[38;2;0;128;0m"_s), coloured);
    QCOMPARE(shown.contains(u"\x1b[38;2;255;0;0m[t] Error: "_s), coloured);
    QVERIFY2(!shown.contains(u"\x1b[38;2;0;0;0m"_s), qPrintable(shown));
    if (!coloured)
        QVERIFY2(!shown.contains(u'\x1b'), qPrintable(shown));
    // The copy line in the terminal's own colour, from the start of its line.
    QVERIFY2(QRegularExpression(u"(^|\\n)\\[t\\] Mirroring: Copy the new file: "_s)
                 .match(shown)
                 .hasMatch(),
             qPrintable(shown));

    const CliResult bad = RunCli({u"run"_s, u"--color=sometimes"_s, u"101"_s}, m_home->path(),
                                 m_config->path());
    QCOMPARE(bad.exitCode, 2);
    QVERIFY2(bad.err.contains(u"--color takes auto, always or never, not 'sometimes'"_s),
             qPrintable(bad.err));
}

// On a narrow terminal the progress line loses the middle of the path, not
// its end: the counters and the file name stay, and the line never wraps.
void TestRunCommand::progressKeepsTheFileName()
{
    const QString folder = u"src/a-folder-with-a-name-long-enough-to-need-cutting"_s;
    QVERIFY(QDir().mkpath(m_files->filePath(folder)));
    WriteDataFile(m_files->filePath(folder + u"/the-file-name-stays.bin"_s), 1ll << 30);
    addTask(u"101"_s, u"t"_s, m_files->filePath(u"src"_s), m_files->filePath(u"dst"_s));

    const int columns = 70;
    const CliResult result = RunCliOn(true, {u"run"_s, u"--progress"_s, u"101"_s}, {},
                                      m_home->path(), m_config->path(), columns);
    QCOMPARE(result.exitCode, 0);
    QStringList drawn;
    for (const QString& piece : result.out.split(u'\r')) {
        if (piece.startsWith(u"\x1b[K"_s) && piece.contains(u" files, "_s))
            drawn << piece.mid(3).section(u'\n', 0, 0);
    }
    QVERIFY2(!drawn.isEmpty(), qPrintable(result.out));
    for (const QString& line : std::as_const(drawn)) {
        QVERIFY2(line.size() < columns, qPrintable(line));
        QVERIFY2(QRegularExpression(u"^\\d+/1 files, "_s).match(line).hasMatch(), qPrintable(line));
    }
    const QStringList naming = drawn.filter(u"the-file-name-stays.bin"_s);
    if (naming.isEmpty())
        QSKIP(qPrintable(u"the copy ended before the progress line showed it: "_s + drawn.join(u" | "_s)));
    for (const QString& line : naming) {
        QVERIFY2(line.endsWith(u"/the-file-name-stays.bin"_s), qPrintable(line));
        QVERIFY2(line.contains(u"..."_s), qPrintable(line));
        QVERIFY2(line.contains(u"  /"_s), qPrintable(line)); // the path's start is kept
    }
}

// Output that cannot be written (a full disk; here /dev/full) fails the
// command with one line on standard error, as `export` always did.
void TestRunCommand::unwritableOutputFails_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("run") << QStringList{u"run"_s, u"101"_s};
    QTest::newRow("run --quiet") << QStringList{u"run"_s, u"--quiet"_s, u"101"_s};
    QTest::newRow("list") << QStringList{u"list"_s};
    QTest::newRow("list --json") << QStringList{u"list"_s, u"--json"_s};
    QTest::newRow("history --json") << QStringList{u"history"_s, u"--json"_s};
    QTest::newRow("task show") << QStringList{u"task"_s, u"show"_s, u"101"_s};
    QTest::newRow("export") << QStringList{u"export"_s};
    QTest::newRow("--help") << QStringList{u"--help"_s};
}

void TestRunCommand::unwritableOutputFails()
{
    QFETCH(QStringList, args);
    m_files->writeFile(u"src/a"_s, "a", kBase);
    addTask(u"101"_s, u"t"_s, m_files->filePath(u"src"_s), m_files->filePath(u"dst"_s));
    QCOMPARE(run(u"101"_s).exitCode, 0); // a run in the history; nothing left to copy

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TARNWICK_HOME"_s, m_home->path());
    env.insert(u"XDG_CONFIG_HOME"_s, m_config->path());
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(u"/dev/full"_s);
    process.start(qEnvironmentVariable("TARNWICK_CLI"), args);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(err.count(u'\n'), 1);
    QVERIFY2(err.startsWith(u"tarnwick-cli"_s) &&
                 err.endsWith(u"cannot write to standard output: No space left on device\n"_s),
             qPrintable(err));
}

// `help COMMAND` is `COMMAND --help`; after `--` every word is an argument,
// even "--help", which may be a task's name.
void TestRunCommand::helpAndPlainArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("sameAs"); // prints what these print; empty: no comparison
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed"); // in stdout, or stderr for a failure

    QTest::newRow("help run") << QStringList{u"help"_s, u"run"_s}
                              << QStringList{u"run"_s, u"--help"_s} << 0 << u"Exit status:"_s;
    QTest::newRow("help task") << QStringList{u"help"_s, u"task"_s}
                               << QStringList{u"task"_s, u"--help"_s} << 0 << u"task show"_s;
    QTest::newRow("help alone") << QStringList{u"help"_s} << QStringList{u"--help"_s} << 0
                                << u"Commands:"_s;
    QTest::newRow("help of no command") << QStringList{u"help"_s, u"nope"_s} << QStringList() << 2
                                        << u"unknown command 'nope'"_s;
    QTest::newRow("run -- --help runs the task") << QStringList{u"run"_s, u"--"_s, u"--help"_s}
                                                 << QStringList() << 0
                                                 << u"synchronize finished  [--help]"_s;
    QTest::newRow("an option before --") << QStringList{u"run"_s, u"-q"_s, u"--"_s, u"--help"_s}
                                         << QStringList() << 0 << u"Mirrored : 0 folders, 1 files"_s;
    QTest::newRow("--help before -- is help")
        << QStringList{u"run"_s, u"--help"_s, u"--"_s, u"--help"_s}
        << QStringList{u"run"_s, u"--help"_s} << 0 << u"Usage: tarnwick-cli run"_s;
}

void TestRunCommand::helpAndPlainArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, sameAs);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    m_files->writeFile(u"src/a"_s, "a", kBase);
    addTask(u"101"_s, u"--help"_s, m_files->filePath(u"src"_s), m_files->filePath(u"dst"_s));

    const CliResult result = RunCli(args, m_home->path(), m_config->path());
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2((exitCode == 0 ? result.out : result.err).contains(printed),
             qPrintable(result.out + result.err));
    if (!sameAs.isEmpty()) {
        const CliResult reference = RunCli(sameAs, m_home->path(), m_config->path());
        QCOMPARE(reference.exitCode, 0);
        QCOMPARE(result.out, reference.out);
    }
}

QTEST_GUILESS_MAIN(TestRunCommand)
#include "TestRunCommand.moc"
