// SPDX-License-Identifier: GPL-3.0-or-later
// What a finished run leaves behind: the history row for each way a run
// ends, and the guard against an unplugged backup drive, on a real mount
// (a tmpfs mounted and unmounted between runs; root only, skipped
// otherwise): a drive seen at the last good run and now gone leaves its
// empty mount folder untouched, and the run says so; a folder that holds
// files, or a task that never saw a drive, runs as ever.
#include "TestDir.h"

#include "engine/FolderMirror.h"
#include "engine/RunMirror.h"
#include "store/RunJob.h"
#include "engine/RunEnding.h"
#include "platform/Clock.h"
#include "platform/RunControl.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;

Q_DECLARE_METATYPE(tarnwick::RunEnding)

namespace {

// A new task database in `dir`, opened, with one manual task mirroring
// `source` (with its subfolders) to `target`.
void OpenWithTask(TaskDatabase& db, TestDir& dir, const QString& id, const QString& name,
                  const QString& source, const QString& target)
{
    const QString path = dir.filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(path);
    db.open(path);
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertTask, {id, QStringLiteral("AllTask"), name,
                                                        source, target, qint64(0)}));
    RunStatement(query, FillStatement(sql::InsertSource, {id, source, qint64(1)}));
}

} // namespace

class TestRunEnding : public QObject
{
    Q_OBJECT

private slots:
    void recordOfEachEnd_data();
    void recordOfEachEnd();
    void unpluggedDriveNeverFilled();
    void fileSystemLearntOnce();
};

void TestRunEnding::recordOfEachEnd_data()
{
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("notStarted");
    QTest::addColumn<int>("errors");
    QTest::addColumn<RunEnding>("outcome");

    QTest::newRow("clean") << false << false << 0 << RunEnding::Succeeded;
    QTest::newRow("errors") << false << false << 3 << RunEnding::WithErrors;
    QTest::newRow("stopped, with errors") << true << false << 2 << RunEnding::Stopped;
    QTest::newRow("drive not there") << false << true << 1 << RunEnding::NotStarted;
}

void TestRunEnding::recordOfEachEnd()
{
    QFETCH(bool, stopped);
    QFETCH(bool, notStarted);
    QFETCH(int, errors);
    QFETCH(RunEnding, outcome);

    MirrorResult result;
    result.startTimeText = QStringLiteral("2026-12-11 09:00:00");
    result.counters.mirroredFiles = 4;
    result.counters.mirroredBytes = 4096;
    result.counters.skippedNewer = 1;
    result.counters.skippedUnchanged = 2;
    result.counters.errors = quint64(errors);
    result.notStarted = notStarted;
    result.firstError = errors ? QStringLiteral("/src/a: Permission denied") : QString();
    const QDateTime end(QDate(2026, 12, 11), QTime(9, 1, 30));

    const RunRecord run = RunRecordOf(QStringLiteral("7"), result, stopped, end);
    QCOMPARE(run.outcome, outcome);
    QCOMPARE(run.taskId, QStringLiteral("7"));
    QCOMPARE(run.start, QDateTime(QDate(2026, 12, 11), QTime(9, 0)));
    QCOMPARE(run.end, end);
    QCOMPARE(run.copiedFiles, quint64(4));
    QCOMPARE(run.copiedBytes, quint64(4096));
    QCOMPARE(run.skippedFiles, quint64(3));
    QCOMPARE(run.errors, quint64(errors));
    QCOMPARE(run.firstError, result.firstError);
    QCOMPARE(run.seen, !run.failed());
}

void TestRunEnding::unpluggedDriveNeverFilled()
{
    if (::geteuid() != 0)
        QSKIP("mounting a file system needs root");
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("src"));
    const QString drive = dir.filePath(QStringLiteral("media/backup"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(QDir().mkpath(drive));
    dir.writeFile(QStringLiteral("src/a.txt"), "a");
    dir.writeFile(QStringLiteral("src/b.txt"), "bb");
    const QByteArray mountPoint = QFile::encodeName(drive);
    if (::mount("none", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("no tmpfs mount here");
    bool mounted = true;
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            ::umount(mountPoint.constData());
    });

    TaskDatabase db;
    const QString id = QStringLiteral("7");
    OpenWithTask(db, dir, id, QStringLiteral("Backup"), source, drive);

    struct Run
    {
        MirrorResult result;
        QStringList lines;
        RunRecord record;
    };
    const auto run = [&]() {
        Run r;
        RunControl control;
        r.result = RunMirror(
            id, [&](const QString& taskId, RunControl& c) { return LoadRunJob(db, taskId, c); },
            {}, control, [&](LogKind, const QString& line) { r.lines << line; }, {},
            Clock::system());
        r.record = RunRecordOf(id, r.result, false, QDateTime::currentDateTime());
        KeepRunEnding(db, r.record, r.result);
        return r;
    };
    const auto entries = [&] {
        return QDir(drive).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };

    // Plugged in: copied, and the drive is remembered.
    Run first = run();
    QCOMPARE(first.record.outcome, RunEnding::Succeeded);
    QCOMPARE(entries(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QCOMPARE(ReadTaskOptions(db, id).value(QString::fromLatin1(kOptionTargetIsMountPoint)),
             QStringLiteral("1"));

    // Unplugged: the mount folder stays empty, one error line says why.
    QCOMPARE(::umount(mountPoint.constData()), 0);
    mounted = false;
    Run second = run();
    QCOMPARE(second.record.outcome, RunEnding::NotStarted);
    QCOMPARE(second.result.counters.errors, quint64(1));
    QVERIFY(entries().isEmpty());
    const QString told = QStringLiteral("[Backup] Target drive is not present: ") + drive;
    QCOMPARE(second.lines.filter(QStringLiteral("not present")), QStringList{told});
    QCOMPARE(second.record.firstError, told.mid(QStringLiteral("[Backup] ").size()));
    // A failed run does not change what the target is meant to be.
    QCOMPARE(ReadTaskOptions(db, id).value(QString::fromLatin1(kOptionTargetIsMountPoint)),
             QStringLiteral("1"));

    // A stray file in the bare mount folder changes nothing: the drive is
    // known by its file system, which is not mounted.
    dir.writeFile(QStringLiteral("media/backup/stray.txt"), "s");
    Run third = run();
    QCOMPARE(third.record.outcome, RunEnding::NotStarted);
    QCOMPARE(entries(), QStringList{QStringLiteral("stray.txt")});

    // Nor do errors of earlier runs: a run with an error still tells which
    // drive the target is.
    QCOMPARE(::mount("none", mountPoint.constData(), "tmpfs", 0, "size=1m"), 0);
    mounted = true;
    QCOMPARE(::mkfifo(QFile::encodeName(source + QStringLiteral("/pipe")).constData(), 0600), 0);
    Run fourth = run();
    QCOMPARE(fourth.record.outcome, RunEnding::WithErrors);
    QCOMPARE(entries(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QCOMPARE(::umount(mountPoint.constData()), 0);
    mounted = false;
    Run fifth = run();
    QCOMPARE(fifth.record.outcome, RunEnding::NotStarted);
    QCOMPARE(entries(), QStringList{QStringLiteral("stray.txt")});

    QVERIFY(!ReadTaskOptions(db, id).value(QString::fromLatin1(kOptionTargetFileSystem)).isEmpty());
}

// What a run learns of the target's file system by writing a short-lived
// file there is kept with the task: the next run on the same file system
// writes nothing to learn it again and decides by what was kept, while a
// target on another file system is learnt afresh.
void TestRunEnding::fileSystemLearntOnce()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("src"));
    const QString target = dir.filePath(QStringLiteral("dst"));
    QVERIFY(QDir().mkpath(source) && QDir().mkpath(target));
    dir.writeFile(QStringLiteral("src/a.txt"), "a", 1622541600);

    TaskDatabase db;
    const QString id = QStringLiteral("8");
    OpenWithTask(db, dir, id, QStringLiteral("Keep"), source, target);
    const auto run = [&] {
        RunControl control;
        QStringList copies;
        const MirrorResult result = RunMirror(
            id, [&](const QString& taskId, RunControl& c) { return LoadRunJob(db, taskId, c); },
            {}, control,
            [&](LogKind kind, const QString& line) {
                if (kind == LogKind::Copy)
                    copies << line;
            },
            {}, Clock::system());
        KeepRunEnding(db, RunRecordOf(id, result, false, QDateTime::currentDateTime()), result);
        return copies;
    };
    const auto traits = [&] {
        return ReadTaskOptions(db, id).value(QString::fromLatin1(kOptionTargetTraits));
    };
    const auto folderChanged = [&] {
        struct stat st;
        ::stat(QFile::encodeName(target).constData(), &st);
        return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    };

    QCOMPARE(run().size(), 1);
    const QString learnt = traits();
    QCOMPARE(learnt.count(u'\n'), 3);
    QVERIFY2(learnt.endsWith(QStringLiteral(" 0 0 0")), qPrintable(learnt)); // case, rename, FAT

    // Kept: a no-change run writes nothing into the target folder.
    const qint64 before = folderChanged();
    QTest::qWait(20);
    QCOMPARE(run(), QStringList());
    QCOMPARE(folderChanged(), before);

    // Decided by what was kept: a two-second step hides a change of one second.
    const QString fat = learnt.section(u'\n', 0, 2) + QStringLiteral("\n20000000 0 0 0");
    WriteTaskOption(db, id, kOptionTargetTraits, fat);
    dir.writeFile(QStringLiteral("src/a.txt"), "b", 1622541601);
    QCOMPARE(run(), QStringList());
    // Kept for another file system: learnt afresh, and the change is seen.
    WriteTaskOption(db, id, kOptionTargetTraits,
                    QStringLiteral("/elsewhere\next4\n/dev/sdz1\n20000000 0 0 0"));
    QCOMPARE(run().size(), 1);
    QCOMPARE(traits(), learnt);
}

QTEST_GUILESS_MAIN(TestRunEnding)
#include "TestRunEnding.moc"
