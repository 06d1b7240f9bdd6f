// SPDX-License-Identifier: GPL-3.0-or-later
// The log writer: lines with CR LF appended to the file in the Log folder
// (made again when it is gone), private to the user, names that would write
// anywhere else refused, only whole lines left on a full disk and nothing
// after a lost line, every loss told once, and a fifo in the log's place
// never waited on.
#include "FileSizeLimit.h"
#include "ProgramFolder.h"

#include "engine/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace tarnwick;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void appendsLinesWithCrLf();
    void refusesNamesOutsideLogFolder_data();
    void refusesNamesOutsideLogFolder();
    void fullDiskLeavesWholeLines_data();
    void fullDiskLeavesWholeLines();
    void fifoIsNotWaitedOn();

private:
    // No task database: the refused-name cases put a file of their own there.
    ProgramFolderFixture m_folder{false};
    QString m_logFolder;
};

void TestLogFile::initTestCase()
{
    QVERIFY(m_folder.home.isValid());
    m_logFolder = m_folder.home.path() + QStringLiteral("/Log/");
}

void TestLogFile::init()
{
    QDir(m_logFolder).removeRecursively();
    QVERIFY(QDir().mkpath(m_logFolder));
}

void TestLogFile::appendsLinesWithCrLf()
{
    const QString path = m_logFolder + QStringLiteral("run.log");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("kept\r\n");
    file.close();

    LogFile log(QStringLiteral("run.log"));
    QCOMPARE(log.path(), path);
    QVERIFY(log.append(QStringLiteral("[task] Grüße")));
    log.add(QStringLiteral("two"));
    log.add(QStringLiteral("three"));
    QCOMPARE(ReadAll(path), QByteArray("kept\r\n[task] Gr\xC3\xBC\xC3\x9F\x65\r\n"));
    QVERIFY(log.flush());
    QCOMPARE(ReadAll(path),
             QByteArray("kept\r\n[task] Gr\xC3\xBC\xC3\x9F\x65\r\ntwo\r\nthree\r\n"));


    // The Log folder removed while a run writes: made again, for the user
    // alone, and nothing is lost.
    QVERIFY(QDir(m_logFolder).removeRecursively());
    QVERIFY(log.append(QStringLiteral("four")));
    QCOMPARE(ReadAll(path), QByteArray("four\r\n"));
    QCOMPARE(QFileInfo(m_logFolder).permissions() & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(!log.lost());
    QCOMPARE(log.takeProblem(), QString());
}

void TestLogFile::refusesNamesOutsideLogFolder_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("empty") << QString();
    QTest::newRow("task database") << QStringLiteral("../Tarnwick.dat");
    QTest::newRow("subfolder") << QStringLiteral("a/b");
    QTest::newRow("absolute") << QStringLiteral("/tmp/tarnwick-refused.log");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("NUL") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("/../b"));
}

void TestLogFile::refusesNamesOutsideLogFolder()
{
    QFETCH(QString, name);

    // What the names would reach: the task database beside the Log folder
    // and a file in a folder below it.
    const QString database = m_folder.databasePath();
    QFile file(database);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("SQLite format 3");
    file.close();
    QVERIFY(QDir().mkpath(m_logFolder + QStringLiteral("a")));

    QVERIFY(!LogFile::isPlainFileName(name));
    LogFile log(name);
    QCOMPARE(log.path(), QString());
    QVERIFY(!log.append(QStringLiteral("a line")));
    log.add(QStringLiteral("a batched line"));
    QVERIFY(!log.flush());
    QCOMPARE(log.pendingBytes(), qsizetype(0));
    // No log file at all is what an empty name asks for; any other refused
    // name loses the run's lines, and says so once.
    QCOMPARE(log.lost(), !name.isEmpty());
    if (!name.isEmpty()) {
        QCOMPARE(log.takeProblem(), QStringLiteral("The log file name \"%1\" is not a plain file "
                                                   "name in the Log folder: this run's lines are "
                                                   "not logged.")
                                        .arg(name));
    }
    QCOMPARE(log.takeProblem(), QString());

    QCOMPARE(ReadAll(database), QByteArray("SQLite format 3"));
    QVERIFY(!QFileInfo::exists(m_logFolder + QStringLiteral("a/b")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/tarnwick-refused.log")));
    QCOMPARE(QDir(m_logFolder).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

void TestLogFile::fullDiskLeavesWholeLines_data()
{
    QTest::addColumn<int>("room");            // bytes the disk takes past the existing line
    QTest::addColumn<QByteArray>("expected"); // what follows the existing line
    // "first line\r\n" is 12 bytes, "second line\r\n" 13.
    QTest::newRow("cut inside the first line") << 5 << QByteArray();
    QTest::newRow("cut between CR and LF") << 11 << QByteArray();
    QTest::newRow("cut inside the second line") << 17 << QByteArray("first line\r\n");
    QTest::newRow("room for both") << 25 << QByteArray("first line\r\nsecond line\r\n");
}

void TestLogFile::fullDiskLeavesWholeLines()
{
    QFETCH(int, room);
    QFETCH(QByteArray, expected);
    const QString path = m_logFolder + QStringLiteral("run.log");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier\r\n");
    }
    LogFile log(QStringLiteral("run.log"));
    log.add(QStringLiteral("first line"));
    log.add(QStringLiteral("second line"));
    bool written = false;
    {
        FileSizeLimit full(static_cast<rlim_t>(9 + room));
        QVERIFY(full.isActive());
        written = log.flush();
    }
    QCOMPARE(written, room >= 25);
    QCOMPARE(ReadAll(path), QByteArray("earlier\r\n") + expected);
    QCOMPARE(log.lost(), room < 25);
    QCOMPARE(log.takeProblem(),
             room < 25 ? QStringLiteral("Lines could not be written to the log file %1 (File too "
                                        "large): this run's lines from there on are missing from "
                                        "it.")
                             .arg(path)
                       : QString());
    QCOMPARE(log.takeProblem(), QString());
    // With room again, a run that lost a line writes none after it: its
    // later lines (the success line above all) would tell a story with a
    // hole in it.
    QCOMPARE(log.append(QStringLiteral("same run")), room >= 25);
    // The next run's line starts on a line of its own.
    QVERIFY(LogFile(QStringLiteral("run.log")).append(QStringLiteral("next run")));
    QCOMPARE(ReadAll(path), QByteArray("earlier\r\n") + expected +
                                (room >= 25 ? "same run\r\n" : "") + "next run\r\n");
}

void TestLogFile::fifoIsNotWaitedOn()
{
    const QString path = m_logFolder + QStringLiteral("run.log");
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
    // Nobody reads the fifo: the line is dropped rather than the run held.
    LogFile log(QStringLiteral("run.log"));
    QVERIFY(!log.append(QStringLiteral("line")));
    QVERIFY(log.lost());
    QVERIFY(log.takeProblem().startsWith(
        QStringLiteral("Lines could not be written to the log file %1 (").arg(path)));
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "TestLogFile.moc"
