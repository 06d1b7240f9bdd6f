// SPDX-License-Identifier: GPL-3.0-or-later
// The mirror walk: decisions, counters, the exact lines of a run, and the
// cases where a plain walk would loop, hang, copy for ever or tear a file.
#include "EndedProcess.h"
#include "engine/FolderMirror.h"
#include "engine/RunMirror.h"
#include "store/RunJob.h"
#include "platform/MountTable.h"
#include "platform/FileStatus.h"
#include "platform/RunControl.h"
#include "platform/TemporaryFiles.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include "TestDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <chrono>
#include <csignal>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBase = 1622541600; // 2021-06-01 10:00:00 UTC

using Line = std::pair<LogKind, QString>;

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

qint64 MTime(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_mtim.tv_sec) : -1;
}

// Names of a folder in the kernel's order, as the walk meets them.
QStringList KernelOrder(const QString& path)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            names << QFile::decodeName(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    return names;
}

// src/d0 ... src/d<folders-1>, each with files f0 ... f<files-1> holding
// `content`, all of the same time.
void MakeFolders(const TestDir& dir, int folders, int files, const QByteArray& content)
{
    for (int folder = 0; folder < folders; ++folder) {
        QDir().mkpath(dir.filePath(u"src/d%1"_s.arg(folder)));
        for (int i = 0; i < files; ++i)
            dir.writeFile(u"src/d%1/f%2"_s.arg(folder).arg(i), content, kBase);
    }
}

// A test folder with the source and target folder most cases mirror
// between, both made; isValid() says whether they could be.
struct MirrorFolders
{
    MirrorFolders()
    {
        if (dir.isValid()) {
            src = dir.makeDir(QStringLiteral("src"));
            dst = dir.makeDir(QStringLiteral("dst"));
        }
    }
    bool isValid() const
    {
        return dir.isValid() && QFileInfo(src).isDir() && QFileInfo(dst).isDir();
    }

    TestDir dir;
    QString src; // <dir>/src
    QString dst; // <dir>/dst
};

// Every name below `path`, but the index a versions folder keeps of the
// versions kept there (onlyTheNewestVersionsStay looks at that).
QStringList AllNames(const QString& path)
{
    QStringList names;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(path).relativeFilePath(it.next());
        if (QFileInfo(name).fileName() != u".tarnwick-kept")
            names << name;
    }
    names.sort();
    return names;
}

// One run of a job given directly, its lines collected.
struct Run
{
    std::vector<Line> lines;
    MirrorResult result;
    RunControl control;
    FixedClock clock{QDateTime(QDate(2026, 12, 9), QTime(9, 5, 0))};

    void start(const MirrorJob& given, const ExcludeTest& exclude = {},
               const std::function<void(Run&, const Line&)>& onLine = {},
               const MirrorOptions& options = {})
    {
        // TestFolderMirrorOverlapped runs every case again with copies
        // under way side by side: each must give the same lines, summary
        // and target.
        MirrorJob job = given;
        if (const int copies = qEnvironmentVariableIntValue("TARNWICK_TEST_COPIES"))
            job.parallel = copies;
        lines.clear();
        result = RunMirror(
            job.taskId, [&job](const QString&, RunControl&) { return job; }, exclude, control,
            [&](LogKind kind, const QString& text) {
                lines.emplace_back(kind, text);
                if (onLine)
                    onLine(*this, lines.back());
            },
            [&](const MirrorJob&, const QString& start) {
                lines.emplace_back(LogKind::StartFinish,
                                   QStringLiteral("<after walk %1>").arg(start));
            },
            clock, options);
    }
    QStringList texts(LogKind kind) const
    {
        QStringList out;
        for (const Line& line : lines) {
            if (line.first == kind)
                out << line.second;
        }
        return out;
    }
};

// The unprivileged user the permission cases run as: root reads and
// searches every folder whatever its mode.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// Hands `tree` to the unprivileged user and runs `job` in a child process
// that has become that user; the child's lines and counters come back
// through a pipe. Returns why it could not be done, or an empty text.
QString RunAsOtherUser(const QString& tree, const QByteArray& mustBeUnreadable, Run& run,
                       const MirrorJob& job)
{
    QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths{tree};
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        if (::lchown(QFile::encodeName(path).constData(), kNobody, kNogroup) != 0)
            return QStringLiteral("cannot hand the files to another user");
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child < 0)
        return QStringLiteral("no fork");
    if (child == 0) {
        ::close(pipeFds[0]);
        QByteArray out;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0 ||
            ::geteuid() == 0 ||
            (!mustBeUnreadable.isEmpty() && ::access(mustBeUnreadable.constData(), R_OK) == 0)) {
            out = "SKIP\n";
        } else {
            run.start(job);
            for (const Line& line : run.lines)
                out += QByteArray::number(int(line.first)) + '\t' + line.second.toUtf8() + '\n';
            const MirrorCounters& c = run.result.counters;
            for (quint64 v :
                 {c.totalFolders, c.totalFiles, c.totalBytes, c.mirroredFolders, c.mirroredFiles,
                  c.mirroredBytes, c.skippedNewer, c.skippedUnchanged, c.errors})
                out += QByteArray::number(v) + ' ';
            out += '\n';
        }
        const char* data = out.constData();
        qsizetype left = out.size();
        while (left > 0) {
            const ssize_t wrote = ::write(pipeFds[1], data, size_t(left));
            if (wrote <= 0)
                break;
            data += wrote;
            left -= wrote;
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray in;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        in.append(buffer, got);
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (in == "SKIP\n")
        return QStringLiteral("cannot run as an unprivileged user here");
    QList<QByteArray> rows = in.split('\n');
    if (!WIFEXITED(status) || rows.size() < 2)
        return QStringLiteral("the child run failed");
    rows.removeLast(); // after the last newline
    const QList<QByteArray> numbers = rows.takeLast().trimmed().split(' ');
    run.lines.clear();
    for (const QByteArray& row : rows) {
        const qsizetype tab = row.indexOf('\t');
        run.lines.emplace_back(LogKind(row.left(tab).toInt()), QString::fromUtf8(row.mid(tab + 1)));
    }
    std::vector<quint64> v;
    for (const QByteArray& number : numbers)
        v.push_back(number.toULongLong());
    v.resize(9);
    run.result.counters = MirrorCounters{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
    return QString();
}


// A name of the form of a copy's temporary files, of the writer `pid`.
QString OurTemporaryName(pid_t pid, const char* random)
{
    return QStringLiteral(".tarnwick-%1-%2.tmp").arg(pid).arg(QLatin1StringView(random));
}

MirrorOptions OptionsFor(MirrorMode mode)
{
    MirrorOptions options;
    options.mode = mode;
    return options;
}

MirrorJob Job(const QString& target, const QList<SourceEntry>& sources)
{
    MirrorJob job;
    job.taskId = QStringLiteral("1234");
    job.taskName = QStringLiteral("T");
    job.targetDir = target;
    job.sources = sources;
    return job;
}

// The job keeping `keep` versions of each replaced file, by default in the
// versions folder inside the target.
MirrorJob VersionsJob(const QString& target, const QList<SourceEntry>& sources, int keep,
                      const QString& versionsDir = QString())
{
    MirrorJob job = Job(target, sources);
    job.keepVersions = keep;
    job.versionsDir = versionsDir.isEmpty() ? target + u"/.tarnwick-versions"_s : versionsDir;
    return job;
}

QStringList Texts(const std::vector<Line>& lines)
{
    QStringList texts;
    for (const Line& line : lines)
        texts << line.second;
    return texts;
}

int ModeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

namespace tarnwick {

// A failed comparison names each counter.
char* toString(const MirrorCounters& c)
{
    return QTest::toString(
        QStringLiteral("{totalFolders %1, totalFiles %2, totalBytes %3, mirroredFolders %4, "
                       "mirroredFiles %5, mirroredBytes %6, skippedNewer %7, "
                       "skippedUnchanged %8, errors %9}")
            .arg(c.totalFolders)
            .arg(c.totalFiles)
            .arg(c.totalBytes)
            .arg(c.mirroredFolders)
            .arg(c.mirroredFiles)
            .arg(c.mirroredBytes)
            .arg(c.skippedNewer)
            .arg(c.skippedUnchanged)
            .arg(c.errors));
}

} // namespace tarnwick

Q_DECLARE_METATYPE(TargetState)
Q_DECLARE_METATYPE(MirrorCounters)

class TestFolderMirror : public QObject
{
    Q_OBJECT

private slots:
    void decisionAgainstPath_data();
    void decisionAgainstPath();
    void decisionAtPrecision_data();
    void decisionAtPrecision();
    void changeWithinTimeStep_data();
    void changeWithinTimeStep();
    void exactLinesOfSmallRun();
    void progressHooksFollowTheWalk();
    void copyFailures_data();
    void copyFailures();
    void readOnlyCopyUpdated();
    void targetSubfolders();
    void missingTargetRoot();
    void stopMidWalk();
    void summaryCountsPast4GiB();
    void sparseFiveGiBFileCounted();
    void specialFileAndLinkLoop();
    void targetInsideSource();
    void sourceWrittenDuringCopyIsCopiedAgain();
    void nameNotUtf8();
    void loadJobFromStore();
    void unreadablePlacesAreErrors_data();
    void unreadablePlacesAreErrors();
    void twoRunsOfOneTaskAtOnce();
    void kernelFileSystemsNotWalked_data();
    void kernelFileSystemsNotWalked();
    void temporaryFilesOfKilledRuns();
    void userFilesNamedLikeTemporaryFiles_data();
    void userFilesNamedLikeTemporaryFiles();
    void linksInTargetNeverFollowed_data();
    void linksInTargetNeverFollowed();
    void newFoldersKeepTheirPermissions_data();
    void newFoldersKeepTheirPermissions();
    void coarseTargetTimes();
    void replacedFilesKeptAsVersions_data();
    void replacedFilesKeptAsVersions();
    void versionNamesNeverReused();
    void onlyTheNewestVersionsStay();
    void versionsFolderNeverMirrored_data();
    void versionsFolderNeverMirrored();
    void dryRunReportsVersionsAndWritesNothing();
    void linesKeepWalkOrderWhenCopiesEndInReverse();
    void stopWhileCopiesAreQueued();
    void targetGoneEndsTheRun();
    void runStartedByADriveChecksTheDriveIsThere();
    void linksFollowedByTheirOwnersLeave_data();
    void linksFollowedByTheirOwnersLeave();
    void killedOverlappedRunsLeaveNoPartialFile();
    void fileStaysWhenItsVersionCannotBeKept_data();
    void fileStaysWhenItsVersionCannotBeKept();
    void versionsOnAnotherFileSystem();
    void killedRunsNeverLoseAFile();
    void twoRunsKeepingVersionsAtOnce();
};

void TestFolderMirror::decisionAgainstPath_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint64>("targetTime");
    QTest::addColumn<int>("mode");
    QTest::addColumn<CopyDecision>("expected");

    QTest::newRow("missing") << "none" << qint64(0) << 0644 << CopyDecision::Missing;
    QTest::newRow("folder is no file") << "folder" << qint64(0) << 0755 << CopyDecision::Missing;
    QTest::newRow("older") << "file" << qint64(-1) << 0644 << CopyDecision::Older;
    QTest::newRow("unchanged") << "file" << qint64(0) << 0644 << CopyDecision::Unchanged;
    QTest::newRow("newer") << "file" << qint64(1) << 0644 << CopyDecision::Newer;
    QTest::newRow("unreadable older") << "file" << qint64(-100) << 0600 << CopyDecision::Newer;
}

void TestFolderMirror::decisionAgainstPath()
{
    QFETCH(QString, target);
    QFETCH(qint64, targetTime);
    QFETCH(int, mode);
    QFETCH(CopyDecision, expected);

    TestDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"t"_s);
    if (target == u"folder"_s)
        QVERIFY(QDir().mkpath(path));
    if (target == u"file"_s) {
        // One 100-ns unit decides: the comparison is exact.
        dir.writeFile(QStringLiteral("t"), "x", kBase, 1000000 + targetTime * 100);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    }
    // Judged for a user that owns nothing here, so the permission bits count.
    Credentials other;
    other.uid = 4242;
    other.gid = 4242;
    const qint64 source = FileTimeFromUnix(kBase, 1000000);
    QCOMPARE(CompareWithTarget(source, QFile::encodeName(path), other), expected);
}

void TestFolderMirror::decisionAtPrecision_data()
{
    QTest::addColumn<qint64>("source");
    QTest::addColumn<qint64>("target");
    QTest::addColumn<qint64>("precision");
    QTest::addColumn<CopyDecision>("expected");

    const qint64 t = FileTimeFromUnix(kBase, 0); // an even second
    QTest::newRow("exact: 1 unit later is older") << t + 1 << t << qint64(1) << CopyDecision::Older;
    QTest::newRow("FAT: copy stored 1.5 s earlier")
        << t + 15000000 << t << qint64(20000000) << CopyDecision::Unchanged;
    QTest::newRow("FAT: next 2 s step")
        << t + 20000000 << t << qint64(20000000) << CopyDecision::Older;
    QTest::newRow("FAT: target newer by a step")
        << t << t + 20000000 << qint64(20000000) << CopyDecision::Newer;
    QTest::newRow("exFAT: within 10 ms")
        << t + 99999 << t << qint64(100000) << CopyDecision::Unchanged;
    QTest::newRow("exFAT: 10 ms later") << t + 100000 << t << qint64(100000) << CopyDecision::Older;
    // ext4 made with 128-byte inodes keeps whole seconds.
    QTest::newRow("1 s: copy stored without its fraction")
        << t + 9999999 << t << qint64(10000000) << CopyDecision::Unchanged;
    QTest::newRow("1 s: next second")
        << t + 10000000 << t << qint64(10000000) << CopyDecision::Older;
}

void TestFolderMirror::decisionAtPrecision()
{
    QFETCH(qint64, source);
    QFETCH(qint64, target);
    QFETCH(qint64, precision);
    QFETCH(CopyDecision, expected);
    TargetState state;
    state.kind = TargetState::File;
    state.lastWriteTime = target;
    QCOMPARE(CompareWithTarget(source, state, precision), expected);
}

// A file changed within the target's time step right after its copy: the
// times agree only at the target's step, the sizes tell it apart. Where the
// times agree exactly, or the target is newer beyond the step, the size
// says nothing.
void TestFolderMirror::changeWithinTimeStep_data()
{
    QTest::addColumn<qint64>("source");
    QTest::addColumn<quint64>("sourceSize");
    QTest::addColumn<qint64>("precision");
    QTest::addColumn<CopyDecision>("expected");

    const qint64 t = FileTimeFromUnix(kBase, 1000000); // 0.1 s past a second
    const qint64 stored = TimeAtPrecision(t, 10000000);
    QTest::newRow("1 s step, 0.6 s later, other size")
        << t + 6000000 << quint64(23) << qint64(10000000) << CopyDecision::Older;
    QTest::newRow("1 s step, 0.6 s later, same size")
        << t + 6000000 << quint64(14) << qint64(10000000) << CopyDecision::Unchanged;
    QTest::newRow("FAT 2 s step, other size")
        << t + 6000000 << quint64(23) << qint64(20000000) << CopyDecision::Older;
    QTest::newRow("exact times, other size (kept, as ever)")
        << stored << quint64(23) << qint64(10000000) << CopyDecision::Unchanged;
    QTest::newRow("nanosecond target, exact times, other size")
        << stored << quint64(23) << qint64(1) << CopyDecision::Unchanged;
    QTest::newRow("target newer beyond the step, other size")
        << stored - 10000000 << quint64(23) << qint64(10000000) << CopyDecision::Newer;
}

void TestFolderMirror::changeWithinTimeStep()
{
    QFETCH(qint64, source);
    QFETCH(quint64, sourceSize);
    QFETCH(qint64, precision);
    QFETCH(CopyDecision, expected);
    TargetState state;
    state.kind = TargetState::File;
    state.lastWriteTime = TimeAtPrecision(FileTimeFromUnix(kBase, 1000000), 10000000);
    state.size = 14;
    QCOMPARE(CompareWithTarget(source, sourceSize, state, precision), expected);
}

void TestFolderMirror::exactLinesOfSmallRun()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString s1 = dir.filePath(u"src1"_s), s2 = dir.filePath(u"src2"_s) + u'/',
                  dst = dir.filePath(u"dst"_s);
    QVERIFY(QDir().mkpath(s1 + u"/notwalked"_s) && QDir().mkpath(s2 + u"sub"_s) &&
            QDir().mkpath(dst));
    dir.writeFile(QStringLiteral("src1/a.txt"), "one", kBase);
    dir.writeFile(QStringLiteral("src1/notwalked/x.txt"), "xx", kBase);
    dir.writeFile(QStringLiteral("src2/a.txt"), "second", kBase + 10);
    dir.writeFile(QStringLiteral("src2/sub/b.txt"), "bee", kBase);
    dir.writeFile(QStringLiteral("src2/sub/c.txt"), "newer in target", kBase);
    dir.writeFile(QStringLiteral("src2/skip.me"), "12345", kBase);
    QVERIFY(QDir().mkpath(dst + u"/sub"_s));
    dir.writeFile(QStringLiteral("dst/sub/c.txt"), "kept", kBase + 50);
    dir.writeFile(QStringLiteral("dst/only-in-target"), "untouched", kBase);

    Run run;
    run.start(Job(dst, {{s1, false}, {s2, true}}),
              [](const QByteArray& path, const EntryRecord&) { return path.endsWith(".me"); });

    QStringList walk2;
    for (const QString& name : KernelOrder(s2)) {
        if (name == u"a.txt"_s)
            walk2 << u"[T] Mirroring: Overwrite the existing older file: "_s + s2 + u"a.txt"_s;
        if (name != u"sub"_s)
            continue;
        for (const QString& inner : KernelOrder(s2 + u"sub"_s)) {
            if (inner == u"b.txt"_s)
                walk2 << u"[T] Mirroring: Copy the new file: "_s + s2 + u"sub/b.txt"_s;
            else
                walk2 << u"[T] Skipping: Keep the existing newer file: "_s + s2 + u"sub/c.txt"_s;
        }
    }
    const QStringList expected =
        QStringList{
            u"2026-12-09 09:05:00 synchronize started  [T]"_s,
            u"[T] Mirroring: Copy the new file: "_s + s1 + u"/a.txt"_s,
        } +
        walk2 +
        QStringList{
            u"<after walk 2026-12-09 09:05:00>"_s,
            u"[T] Summary:"_s,
            u"[T]          Total    : 1 folders, 5 files, 32 bytes."_s,
            u"[T]          Mirrored : 0 folders, 3 files, 12 bytes."_s,
            u"[T]          Skipped  : 1 newer files, 0 unchanged files."_s,
            u"[T]          Status   : Mirror Successed!!"_s,
            u"2026-12-09 09:05:00 synchronize finished  [T]"_s,
        };
    QStringList texts;
    for (const Line& line : run.lines)
        texts << line.second;
    QCOMPARE(texts, expected);
    QCOMPARE(run.lines.front().first, LogKind::StartFinish);
    QCOMPARE(run.texts(LogKind::Copy).size(), 3);
    QCOMPARE(run.texts(LogKind::Skip).size(), 1);
    // Counters left unnamed are expected to be zero.
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1,
                                                  .totalFiles = 5,
                                                  .totalBytes = 32,
                                                  .mirroredFiles = 3,
                                                  .mirroredBytes = 12,
                                                  .skippedNewer = 1,
                                                  .excludedFiles = 1}));
    // Both sources merged into the one target root; the second a.txt
    // replaced the first's copy; the target-only file is untouched.
    QCOMPARE(AllNames(dst), (QStringList{u"a.txt"_s, u"only-in-target"_s, u"sub"_s, u"sub/b.txt"_s,
                                         u"sub/c.txt"_s}));
    QCOMPARE(ReadFile(dst + u"/a.txt"_s), QByteArray("second"));
    QCOMPARE(MTime(dst + u"/a.txt"_s), kBase + 10);
    QCOMPARE(ReadFile(dst + u"/sub/c.txt"_s), QByteArray("kept"));

    // A second run finds everything in place.
    run.start(Job(dst, {{s1, false}, {s2, true}}),
              [](const QByteArray& path, const EntryRecord&) { return path.endsWith(".me"); });
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1,
                                                  .totalFiles = 5,
                                                  .totalBytes = 32,
                                                  .skippedNewer = 2,
                                                  .skippedUnchanged = 2,
                                                  .excludedFiles = 1}));
}

void TestFolderMirror::progressHooksFollowTheWalk()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QVERIFY(QDir().mkpath(dst + u"/blocked"_s));
    dir.writeFile(QStringLiteral("src/new.txt"), "new", kBase);
    dir.writeFile(QStringLiteral("src/same.txt"), "same", kBase);
    dir.writeFile(QStringLiteral("dst/same.txt"), "same", kBase);
    dir.writeFile(QStringLiteral("src/skip.me"), "excluded", kBase);
    dir.writeFile(QStringLiteral("src/blocked"), "a folder holds its name", kBase);
    const qint64 bigSize = 20 << 20;
    {
        QFile big(src + u"/big"_s);
        // Sparse: data at its start and 10 MiB in, told when the copy gets there.
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(bigSize));
        QVERIFY(big.write("data") == 4 && big.seek(10 << 20) && big.write("data") == 4);
    }

    // Every call of the three, in order.
    QStringList events;
    MirrorOptions options;
    options.progress = [&](const QString& path, quint64 size, bool done, bool copied) {
        events << (done ? u"end %1 %2 %3"_s.arg(path).arg(size).arg(copied)
                        : u"start %1 %2"_s.arg(path).arg(size));
    };
    options.looked = [&](quint64 files) { events << u"looked %1"_s.arg(files); };
    options.advance = [&](quint64 done) { events << u"advance %1"_s.arg(done); };
    Run run;
    run.start(Job(dst, {{src, false}}),
              [](const QByteArray& path, const EntryRecord&) { return path.endsWith(".me"); },
              {}, options);
    QCOMPARE(run.result.counters.totalFiles, 5u);
    QCOMPARE(run.result.counters.excludedFiles, 1u);

    QStringList expected;
    quint64 looked = 0;
    for (const QString& name : KernelOrder(src)) {
        expected << u"looked %1"_s.arg(++looked);
        const QString path = src + u'/' + name;
        if (name == u"new.txt"_s)
            expected << u"start %1 3"_s.arg(path) << u"end %1 3 1"_s.arg(path);
        else if (name == u"blocked"_s)
            expected << u"start %1 23"_s.arg(path) << u"end %1 23 0"_s.arg(path);
        else if (name == u"big"_s)
            expected << u"start %1 %2"_s.arg(path).arg(bigSize)
                     << u"advance %1"_s.arg(10 << 20) << u"end %1 %2 1"_s.arg(path).arg(bigSize);
    }
    if (qEnvironmentVariableIsSet("TARNWICK_TEST_COPIES")) {
        // Copies under way side by side end after later files are looked
        // at: the same calls, each copy's end after its start.
        for (const QString& event : std::as_const(events)) {
            if (event.startsWith(u"end "))
                QVERIFY(events.indexOf(u"start "_s + event.section(u' ', 1, -2)) >= 0 &&
                        events.indexOf(u"start "_s + event.section(u' ', 1, -2)) <
                        events.indexOf(event));
        }
        events.sort();
        expected.sort();
    }
    QCOMPARE(events, expected);
}

void TestFolderMirror::copyFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("decisionText");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder at the file's target path") << "folder"
                                                      << "Mirroring: Copy the new file: "
                                                      << "Is a directory";
}

void TestFolderMirror::copyFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, decisionText);
    QFETCH(QString, reason);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.writeFile(QStringLiteral("src/f"), "new", kBase);
    QVERIFY(QDir().mkpath(dst + u"/f"_s));

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.lines.at(1), Line(LogKind::Copy, u"[T] "_s + decisionText + src + u"/f"_s));
    QCOMPARE(run.lines.at(2), Line(LogKind::Error, u"[T] Error: Copy file fail: "_s + src +
                                                       u"/f, "_s + reason + u". "_s));
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFiles = 1, .totalBytes = 3, .errors = 1}));
    QCOMPARE(run.texts(LogKind::ErrorStatus),
             QStringList{u"[T]          Status   : Mirror Finished!! Find 1 Errors."_s});
    QCOMPARE(AllNames(dst), QStringList{u"f"_s});
}

// A copy takes its source's bits, so a read-only source has a read-only
// copy; when the source changes, that copy is replaced like any other (the
// target folder's permission decides), and the next run finds it unchanged.
void TestFolderMirror::readOnlyCopyUpdated()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.writeFile(QStringLiteral("src/f"), "old", kBase - 10);
    const QByteArray source = QFile::encodeName(src + u"/f"_s);
    QCOMPARE(::chmod(source.constData(), 0444), 0);

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters.mirroredFiles, quint64(1));
    dir.writeFile(QStringLiteral("src/f"), "new content", kBase);
    QCOMPARE(::chmod(source.constData(), 0444), 0);
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.texts(LogKind::Copy),
             QStringList{u"[T] Mirroring: Overwrite the existing older file: "_s + src + u"/f"_s});
    QCOMPARE(run.texts(LogKind::Error), QStringList());
    QCOMPARE(ReadFile(dst + u"/f"_s), QByteArray("new content"));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(dst + u"/f"_s).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0444));
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters.skippedUnchanged, quint64(1));
}

void TestFolderMirror::targetSubfolders()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QVERIFY(QDir().mkpath(src + u"/have/deeper"_s) && QDir().mkpath(src + u"/make"_s) &&
            QDir().mkpath(src + u"/blocked"_s) && QDir().mkpath(dst + u"/have"_s));
    dir.writeFile(QStringLiteral("src/have/deeper/f"), "1", kBase);
    dir.writeFile(QStringLiteral("src/blocked/g"), "2", kBase);
    dir.writeFile(QStringLiteral("dst/blocked"), "a file holds the folder's name", kBase);

    Run run;
    run.start(Job(dst, {{src, true}}));
    // Existing "have" is walked but not counted as made; "deeper" and "make"
    // are made; "blocked" fails and its subtree is skipped.
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 4,
                                                  .totalFiles = 1,
                                                  .totalBytes = 1,
                                                  .mirroredFolders = 2,
                                                  .mirroredFiles = 1,
                                                  .mirroredBytes = 1,
                                                  .errors = 1}));
    QCOMPARE(run.texts(LogKind::Error),
             QStringList{u"[T] Error: Copy file fail: "_s + src + u"/blocked, File exists. "_s});
    QCOMPARE(AllNames(dst), (QStringList{u"blocked"_s, u"have"_s, u"have/deeper"_s,
                                         u"have/deeper/f"_s, u"make"_s}));
}

void TestFolderMirror::missingTargetRoot()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s), dst = dir.filePath(u"missing/dst"_s);
    QVERIFY(QDir().mkpath(src + u"/sub"_s));
    dir.writeFile(QStringLiteral("src/f"), "abc", kBase);
    dir.writeFile(QStringLiteral("src/sub/g"), "x", kBase);

    Run run;
    run.start(Job(dst, {{src, true}, {dir.filePath(u"no-such-source"_s), true}}));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"missing"_s)));
    QCOMPARE(run.result.counters,
             (MirrorCounters{.totalFolders = 1, .totalFiles = 1, .totalBytes = 3, .errors = 3}));
    QStringList errors = run.texts(LogKind::Error);
    errors.sort();
    QCOMPARE(errors,
             (QStringList{
                 u"[T] Error: Copy file fail: "_s + dir.filePath(u"no-such-source"_s) +
                     u", No such file or directory. "_s,
                 u"[T] Error: Copy file fail: "_s + src + u"/f, No such file or directory. "_s,
                 u"[T] Error: Copy file fail: "_s + src + u"/sub, No such file or directory. "_s}));
}

void TestFolderMirror::stopMidWalk()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    for (int i = 0; i < 5; ++i)
        dir.writeFile(QStringLiteral("src/f%1").arg(i), "12", kBase);

    if (qEnvironmentVariableIsSet("TARNWICK_TEST_COPIES"))
        QSKIP("a queued copy's line goes out when the copy ends, after the walk has gone on: "
              "stopWhileCopiesAreQueued stops such a run");
    Run run;
    // The stop arrives while the first file is being decided on: that file
    // is still copied, the rest are not looked at.
    run.start(Job(dst, {{src, true}, {src, true}}), {}, [](Run& r, const Line& line) {
        if (line.first == LogKind::Copy)
            r.control.requestStop();
    });
    QCOMPARE(
        run.result.counters,
        (MirrorCounters{.totalFiles = 1, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 2}));
    QCOMPARE(AllNames(dst).size(), 1);
    QCOMPARE(run.lines.size(), std::size_t(9)); // started, 1 file, after walk, 5 summary, finished
    // Stopped is incomplete, never a success, though no file failed.
    QCOMPARE(run.lines.at(7),
             Line(LogKind::ErrorStatus, u"[T]          Status   : Mirror Stopped!!"_s));
    QVERIFY(run.lines.back().second.endsWith(u"synchronize finished  [T]"_s));
}

// The summary's counts past 32 bits; the line of files left out.
void TestFolderMirror::summaryCountsPast4GiB()
{
    const quint64 five = 5ull << 30;
    std::vector<Line> lines;
    EmitSummary(u"T"_s,
                MirrorCounters{.totalFolders = 70000,
                               .totalFiles = 3000000000ull,
                               .totalBytes = five,
                               .mirroredFolders = 1,
                               .mirroredFiles = 2,
                               .mirroredBytes = five,
                               .skippedNewer = 3,
                               .skippedUnchanged = 4,
                               .errors = 3000000000ull,
                               .excludedFiles = 6},
                [&lines](LogKind kind, const QString& text) { lines.emplace_back(kind, text); });
    const std::vector<Line> expected{
        {LogKind::StartFinish, u"[T] Summary:"_s},
        {LogKind::StartFinish,
         u"[T]          Total    : 70000 folders, 3000000000 files, 5368709120 bytes."_s},
        {LogKind::StartFinish, u"[T]          Mirrored : 1 folders, 2 files, 5368709120 bytes."_s},
        {LogKind::StartFinish, u"[T]          Skipped  : 3 newer files, 4 unchanged files."_s},
        {LogKind::ErrorStatus,
         u"[T]          Status   : Mirror Finished!! Find 3000000000 Errors."_s},
    };
    QCOMPARE(lines, expected);

    // Every file left out by the rules: said after the skipped counts, so
    // the run does not read as one that found all up to date.
    lines.clear();
    EmitSummary(u"T"_s, MirrorCounters{.totalFiles = 6, .excludedFiles = 6},
                [&lines](LogKind kind, const QString& text) { lines.emplace_back(kind, text); });
    QCOMPARE(lines.at(4), Line(LogKind::StartFinish,
                               u"[T]          Excluded : 6 files left out by the task's rules."_s));
    QCOMPARE(lines.size(), std::size_t(6));
}

void TestFolderMirror::sparseFiveGiBFileCounted()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QFile big(src + u"/big"_s);
    QVERIFY(big.open(QIODevice::WriteOnly));
    if (!big.resize(5ll << 30))
        QSKIP("no sparse 5 GiB file on this file system");
    big.close();
    dir.writeFile(QStringLiteral("src/small"), "abc", kBase);

    Run run;
    // The big file is excluded, so only the arithmetic is at stake here.
    run.start(Job(dst, {{src, true}}),
              [](const QByteArray& path, const EntryRecord&) { return path.endsWith("/big"); });
    QCOMPARE(run.result.counters.totalBytes, (5ull << 30) + 3);
    QVERIFY(run.texts(LogKind::StartFinish)
                .contains(u"[T]          Total    : 0 folders, 2 files, 5368709123 bytes."_s));
}

void TestFolderMirror::specialFileAndLinkLoop()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QVERIFY(QDir().mkpath(src + u"/sub"_s));
    QCOMPARE(::mkfifo(QFile::encodeName(src + u"/sub/pipe"_s).constData(), 0644), 0);
    QVERIFY(QFile::link(src, src + u"/sub/back-to-root"_s));
    QVERIFY(QFile::link(src + u"/sub"_s, src + u"/sub/self"_s));
    dir.writeFile(QStringLiteral("src/sub/f"), "x", kBase);

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.texts(LogKind::Error), QStringList{u"[T] Error: Copy file fail: "_s + src +
                                                    u"/sub/pipe, Operation not supported. "_s});
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1,
                                                  .totalFiles = 2,
                                                  .totalBytes = 1,
                                                  .mirroredFolders = 1,
                                                  .mirroredFiles = 1,
                                                  .mirroredBytes = 1,
                                                  .errors = 1}));
    QCOMPARE(AllNames(dst), (QStringList{u"sub"_s, u"sub/f"_s}));
}

void TestFolderMirror::targetInsideSource()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s), dst = src + u"/mirror"_s;
    QVERIFY(QDir().mkpath(src + u"/sub"_s) && QDir().mkpath(dst));
    dir.writeFile(QStringLiteral("src/f"), "x", kBase);
    dir.writeFile(QStringLiteral("src/sub/g"), "y", kBase);

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1,
                                                  .totalFiles = 2,
                                                  .totalBytes = 2,
                                                  .mirroredFolders = 1,
                                                  .mirroredFiles = 2,
                                                  .mirroredBytes = 2}));
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters,
             (MirrorCounters{
                 .totalFolders = 1, .totalFiles = 2, .totalBytes = 2, .skippedUnchanged = 2}));
    QCOMPARE(AllNames(dst), (QStringList{u"f"_s, u"sub"_s, u"sub/g"_s}));
}

void TestFolderMirror::sourceWrittenDuringCopyIsCopiedAgain()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.writeFile(QStringLiteral("src/f"), "first", kBase);

    Run run;
    // The exclusion test runs after the entry was read and before the copy:
    // a write there stands for a writer racing the copy.
    run.start(Job(dst, {{src, true}}), [&dir](const QByteArray&, const EntryRecord&) {
        dir.writeFile(QStringLiteral("src/f"), "second", kBase + 5);
        return false;
    });
    QCOMPARE(MTime(dst + u"/f"_s), kBase);
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.texts(LogKind::Copy),
             QStringList{u"[T] Mirroring: Overwrite the existing older file: "_s + src + u"/f"_s});
    QCOMPARE(ReadFile(dst + u"/f"_s), QByteArray("second"));
    QCOMPARE(MTime(dst + u"/f"_s), kBase + 5);
}

void TestFolderMirror::nameNotUtf8()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QByteArray name("caf\xe9-\xc3\xa9.txt");
    dir.writeFile("src/" + name, "bytes", kBase);

    Run run;
    QByteArray seen;
    run.start(Job(dst, {{src, true}}), [&seen](const QByteArray& path, const EntryRecord& entry) {
        seen = path;
        Q_UNUSED(entry);
        return false;
    });
    QCOMPARE(seen, QFile::encodeName(src) + '/' + name);
    QCOMPARE(run.texts(LogKind::Copy), QStringList{u"[T] Mirroring: Copy the new file: "_s + src +
                                                   QString::fromUtf8("/caf\\xE9-\xc3\xa9.txt")});
    struct stat st;
    const QByteArray copied = QFile::encodeName(dst) + '/' + name;
    QCOMPARE(::stat(copied.constData(), &st), 0);
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters.skippedUnchanged, quint64(1));
    // QDir cannot remove what it cannot name.
    QCOMPARE(::unlink(copied.constData()), 0);
    QCOMPARE(::unlink(QByteArray(QFile::encodeName(src) + '/' + name).constData()), 0);
}

void TestFolderMirror::loadJobFromStore()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"Tarnwick.dat"_s);
    CreateTaskDatabase(path);
    TaskDatabase db;
    db.open(path);
    TaskQuery query(db);
    RunStatement(query, FillStatement(sql::InsertTask, {u"77"_s, u"AllTask"_s, u"it's mine"_s,
                                                        u"/s0"_s, u"/target"_s, qint64(0)}));
    for (int i = 0; i < 12; ++i)
        RunStatement(query,
                     FillStatement(sql::InsertSource, {u"77"_s, u"/s%1"_s.arg(i), qint64(i % 2)}));

    RunControl control;
    const MirrorJob job = LoadRunJob(db, u"77"_s, control);
    QCOMPARE(job.taskId, u"77"_s);
    QCOMPARE(job.taskName, u"it's mine"_s);
    QCOMPARE(job.targetDir, u"/target"_s);
    QCOMPARE(job.sources.size(), 12); // every row, not only the first ten
    QCOMPARE(job.sources.at(11).sourceDir, u"/s11"_s);
    QCOMPARE(job.sources.at(11).includeSubDir, true);
    QCOMPARE(job.sources.at(10).includeSubDir, false);

    const MirrorJob missing = LoadRunJob(db, u"78"_s, control);
    QVERIFY(missing.taskName.isEmpty() && missing.targetDir.isEmpty() && missing.sources.isEmpty());

    control.requestStop();
    QVERIFY(LoadRunJob(db, u"77"_s, control).sources.isEmpty());

    // A run of a task without rows: empty brackets, nothing walked, success.
    Run run;
    run.result = RunMirror(
        u"78"_s, [&db](const QString& id, RunControl& c) { return LoadRunJob(db, id, c); }, {},
        run.control,
        [&run](LogKind kind, const QString& text) { run.lines.emplace_back(kind, text); }, {},
        FixedClock(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 0))));
    QCOMPARE(run.lines.front().second, u"2026-12-09 synchronize started  []"_s);
    QCOMPARE(run.lines.at(5).second, u"[]          Status   : Mirror Successed!!"_s);
}

void TestFolderMirror::unreadablePlacesAreErrors_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("otherUser");
    QTest::addColumn<QStringList>("expectedLines"); // "%s" stands for the source root
    QTest::addColumn<MirrorCounters>("expected");
    QTest::addColumn<QStringList>("targetNames");

    QTest::newRow("missing source root")
        << "missing root" << false
        << QStringList{u"[T] Error: Copy file fail: %s, No such file or directory. "_s}
        << (MirrorCounters{.errors = 1}) << QStringList();
    QTest::newRow("source root closed (mode 000)")
        << "closed root" << true
        << QStringList{u"[T] Error: Copy file fail: %s, Permission denied. "_s}
        << (MirrorCounters{.errors = 1}) << QStringList();
    QTest::newRow("source subfolder closed (mode 000)")
        << "closed subfolder" << true
        << QStringList{u"[T] Mirroring: Copy the new file: %s/f"_s,
                       u"[T] Error: Copy file fail: %s/closed, Permission denied. "_s}
        << (MirrorCounters{.totalFolders = 1,
                           .totalFiles = 1,
                           .totalBytes = 1,
                           .mirroredFiles = 1,
                           .mirroredBytes = 1,
                           .errors = 1})
        << QStringList{u"f"_s};
    // The target folder can be listed but not searched: nothing can be
    // known about the files in it, so none is "kept as newer".
    QTest::newRow("target subfolder not searchable (mode 0600)")
        << "unsearchable target" << true
        << QStringList{u"[T] Error: Copy file fail: %s/sub/f, Permission denied. "_s}
        << (MirrorCounters{.totalFolders = 1, .totalFiles = 1, .totalBytes = 1, .errors = 1})
        << QStringList{u"sub"_s};
    // Stored paths that name no file: the system would read the NUL as the
    // end and walk the folder before it.
    QTest::newRow("empty source path")
        << "empty path" << false
        << QStringList{u"[T] Error: Copy file fail: , No such file or directory. "_s}
        << (MirrorCounters{.errors = 1}) << QStringList();
    QTest::newRow("source path holding a NUL")
        << "NUL in path" << false
        << QStringList{u"[T] Error: Copy file fail: %s\\x00/elsewhere, Invalid argument. "_s}
        << (MirrorCounters{.errors = 1}) << QStringList();
}

void TestFolderMirror::unreadablePlacesAreErrors()
{
    QFETCH(QString, setup);
    QFETCH(bool, otherUser);
    QFETCH(QStringList, expectedLines);
    QFETCH(MirrorCounters, expected);
    QFETCH(QStringList, targetNames);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s), dst = dir.filePath(u"dst"_s);
    QVERIFY(QDir().mkpath(dst));
    QByteArray unreadable;
    if (setup == u"closed root"_s) {
        QVERIFY(QDir().mkpath(src));
        TestDir::writeFileAt(src + u"/f"_s, "1", kBase);
        unreadable = QFile::encodeName(src);
    } else if (setup == u"closed subfolder"_s) {
        QVERIFY(QDir().mkpath(src + u"/closed"_s));
        TestDir::writeFileAt(src + u"/f"_s, "1", kBase);
        TestDir::writeFileAt(src + u"/closed/g"_s, "2", kBase);
        unreadable = QFile::encodeName(src + u"/closed"_s);
    } else if (setup == u"unsearchable target"_s) {
        QVERIFY(QDir().mkpath(src + u"/sub"_s) && QDir().mkpath(dst + u"/sub"_s));
        TestDir::writeFileAt(src + u"/sub/f"_s, "1", kBase);
    } else if (setup != u"missing root"_s) {
        QVERIFY(QDir().mkpath(src));
        TestDir::writeFileAt(src + u"/f"_s, "1", kBase);
    }
    QString source = src;
    if (setup == u"empty path"_s)
        source.clear();
    if (setup == u"NUL in path"_s)
        source += QChar(u'\0') + QStringLiteral("/elsewhere");

    Run run;
    const MirrorJob job = Job(dst, {{source, true}});
    if (otherUser) {
        if (!unreadable.isEmpty())
            QCOMPARE(::chmod(unreadable.constData(), 0), 0);
        else
            QCOMPARE(::chmod(QFile::encodeName(dst + u"/sub"_s).constData(), 0600), 0);
        const QString why = RunAsOtherUser(dir.path(), unreadable, run, job);
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    } else {
        run.start(job);
    }

    QStringList perFile;
    for (const Line& line : run.lines) {
        if (line.first == LogKind::Copy || line.first == LogKind::Skip ||
            line.first == LogKind::Error)
            perFile << line.second;
    }
    QCOMPARE(perFile, expectedLines.replaceInStrings(u"%s"_s, src));
    QCOMPARE(run.result.counters, expected);
    QCOMPARE(run.texts(LogKind::ErrorStatus),
             QStringList{u"[T]          Status   : Mirror Finished!! Find 1 Errors."_s});
    QCOMPARE(QDir(dst).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), targetNames);
}

void TestFolderMirror::twoRunsOfOneTaskAtOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s);
    constexpr int kFolders = 40;
    for (int i = 0; i < kFolders; ++i) {
        const QString folder = src + QStringLiteral("/d%1/inner").arg(i);
        QVERIFY(QDir().mkpath(folder));
        TestDir::writeFileAt(folder + u"/f"_s, "x", kBase);
    }

    // Both runs make the same folders at the same moments; whichever makes
    // one first, the other walks into it. Several rounds, as the overlap
    // is up to the scheduler.
    for (int round = 0; round < 6; ++round) {
        const QString dst = dir.filePath(QStringLiteral("dst%1").arg(round));
        QVERIFY(QDir().mkpath(dst));
        const MirrorJob job = Job(dst, {{src, true}});
        Run first, second;
        std::atomic<int> ready{0};
        auto go = [&ready, &job](Run& run) {
            ++ready;
            while (ready.load() < 2)
                std::this_thread::yield();
            run.start(job);
        };
        std::thread a(go, std::ref(first)), b(go, std::ref(second));
        a.join();
        b.join();
        QCOMPARE(first.texts(LogKind::Error), QStringList());
        QCOMPARE(second.texts(LogKind::Error), QStringList());
        QCOMPARE(first.result.counters.errors + second.result.counters.errors, quint64(0));
        // Each folder was made once, by one of the two.
        QCOMPARE(first.result.counters.mirroredFolders + second.result.counters.mirroredFolders,
                 quint64(2 * kFolders));
        QCOMPARE(AllNames(dst).size(), 3 * kFolders);
    }
}

void TestFolderMirror::kernelFileSystemsNotWalked_data()
{
    QTest::addColumn<QString>("linkTo");
    QTest::addColumn<QString>("kind"); // empty: a file system with files, walked as usual
    QTest::addColumn<MirrorCounters>("expected"); // of a run with the source listed twice

    QTest::newRow("link to /proc") << "/proc"
                                   << "proc" << (MirrorCounters{.totalFolders = 2, .totalFiles = 2, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 1, .skippedUnchanged = 1, .errors = 1});
    // /dev/fd leads on to /proc/self/fd, which holds the run's own folders.
    QTest::newRow("link to /dev/fd") << "/dev/fd"
                                     << "proc" << (MirrorCounters{.totalFolders = 2, .totalFiles = 2, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 1, .skippedUnchanged = 1, .errors = 1});
    QTest::newRow("link to /dev") << "/dev"
                                  << "devtmpfs" << (MirrorCounters{.totalFolders = 2, .totalFiles = 2, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 1, .skippedUnchanged = 1, .errors = 1});
    QTest::newRow("link to /sys") << "/sys"
                                  << "sysfs" << (MirrorCounters{.totalFolders = 2, .totalFiles = 2, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 1, .skippedUnchanged = 1, .errors = 1});
    QTest::newRow("link to a file in /proc") << "/proc/self/status"
                                             << "proc" << (MirrorCounters{.totalFiles = 4, .totalBytes = 2, .mirroredFiles = 1, .mirroredBytes = 1, .skippedUnchanged = 1, .errors = 1});
    QTest::newRow("link to a tmpfs folder") << "tmpfs"
                                            << "" << (MirrorCounters{.totalFolders = 2, .totalFiles = 4, .totalBytes = 4, .mirroredFolders = 1, .mirroredFiles = 2, .mirroredBytes = 2, .skippedUnchanged = 2});
}

void TestFolderMirror::kernelFileSystemsNotWalked()
{
    QFETCH(QString, linkTo);
    QFETCH(QString, kind);
    QFETCH(MirrorCounters, expected);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    TestDir::writeFileAt(src + u"/f"_s, "1", kBase);
    std::unique_ptr<QTemporaryDir> shm;
    if (linkTo == u"tmpfs"_s) {
        // tmpfs holds real files, even when it lies under /dev.
        shm = std::make_unique<QTemporaryDir>(u"/dev/shm/tarnwick-test-XXXXXX"_s);
        if (!shm->isValid())
            QSKIP("no /dev/shm here");
        linkTo = shm->path();
        TestDir::writeFileAt(linkTo + u"/g"_s, "2", kBase);
    }
    if (!QFileInfo::exists(linkTo))
        QSKIP("nothing to link to here");
    const QString link = src + u"/link"_s;
    QVERIFY(QFile::link(linkTo, link));

    Run run;
    run.start(Job(dst, {{src, true}, {src, true}}));
    // The second source is the first again: still one line for the link.
    const QStringList errors = kind.isEmpty()
                                   ? QStringList()
                                   : QStringList{u"[T] Error: Copy file fail: "_s + link +
                                                 u", Not mirrored, it lies on the kernel's "_s +
                                                 kind + u" file system. "_s};
    QCOMPARE(run.texts(LogKind::Error), errors);
    QCOMPARE(run.result.counters, expected);
    QCOMPARE(AllNames(dst),
             kind.isEmpty() ? (QStringList{u"f"_s, u"link"_s, u"link/g"_s}) : QStringList{u"f"_s});
}

void TestFolderMirror::temporaryFilesOfKilledRuns()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QVERIFY(QDir().mkpath(src + u"/sub"_s) && QDir().mkpath(dst + u"/sub"_s));
    TestDir::writeFileAt(src + u"/sub/f"_s, "new", kBase);

    // What a run killed on a file system without unnamed files leaves: a
    // partial copy under a temporary name, its process gone.
    const pid_t child = EndedProcess();
    const QString stale = dst + u"/sub/"_s + OurTemporaryName(child, "000000000000000a");
    TestDir::writeFileAt(stale, "part of f", kBase);
    // One a live writer (another run) still holds.
    const QString live = dst + u"/sub/"_s + OurTemporaryName(child, "000000000000000b");
    TestDir::writeFileAt(live, "being written", kBase);
    QFile held(live);
    QVERIFY(held.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(held.handle(), LOCK_EX), 0);

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1, .totalFiles = 1, .totalBytes = 3, .mirroredFiles = 1, .mirroredBytes = 3}));
    QCOMPARE(run.texts(LogKind::Copy),
             QStringList{u"[T] Mirroring: Copy the new file: "_s + src + u"/sub/f"_s});
    QCOMPARE(run.texts(LogKind::Skip) + run.texts(LogKind::Error), QStringList());
    QVERIFY(!QFile::exists(stale));
    QVERIFY(QFile::exists(live));
    QCOMPARE(AllNames(dst),
             (QStringList{u"sub"_s, u"sub/"_s + QFileInfo(live).fileName(), u"sub/f"_s}));
}

void TestFolderMirror::userFilesNamedLikeTemporaryFiles_data()
{
    QTest::addColumn<QString>("name"); // "%1": a process that has ended

    QTest::newRow("the form names once had") << ".tarnwick-%1-5.tmp";
    QTest::newRow("the form names have now") << ".tarnwick-%1-0123456789abcdef.tmp";
    QTest::newRow("the prefix alone") << ".tarnwick-";
    QTest::newRow("the form with capitals") << ".tarnwick-%1-0123456789ABCDEF.tmp";
}

void TestFolderMirror::userFilesNamedLikeTemporaryFiles()
{
    QFETCH(QString, name);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString other = dir.filePath(u"other"_s);
    QVERIFY(QDir().mkpath(src + u"/sub"_s) && QDir().mkpath(other + u"/sub"_s) &&
            QDir().mkpath(dst + u"/sub"_s));
    const pid_t ended = EndedProcess();
    name.replace(u"%1"_s, QString::number(ended));
    TestDir::writeFileAt(src + u"/sub/"_s + name, "the user's own", kBase);
    TestDir::writeFileAt(src + u"/sub/f"_s, "f", kBase);
    // A second source sharing the target folder, without that name.
    TestDir::writeFileAt(other + u"/sub/g"_s, "g", kBase);
    // A file of the user's that is only in the target, in the form names once had.
    const QString targetOnly = QStringLiteral(".tarnwick-%1-9.tmp").arg(ended);
    TestDir::writeFileAt(dst + u"/sub/"_s + targetOnly, "the target's own", kBase);
    const MirrorJob job = Job(dst, {{src, true}, {other, true}});

    Run run;
    run.start(job);
    QVERIFY(run.texts(LogKind::Copy)
                .contains(u"[T] Mirroring: Copy the new file: "_s + src + u"/sub/"_s + name));
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 2,
                                                  .totalFiles = 3,
                                                  .totalBytes = 16,
                                                  .mirroredFiles = 3,
                                                  .mirroredBytes = 16}));

    // Copies due again in the folder from both sources: the target folder
    // is cleaned up while each is walked, after the file was judged or
    // before.
    TestDir::writeFileAt(src + u"/sub/f"_s, "f2", kBase + 10);
    TestDir::writeFileAt(other + u"/sub/g"_s, "g2", kBase + 10);
    run.start(job);
    QCOMPARE(run.texts(LogKind::Skip),
             QStringList{u"[T] Skipping: Keep the existing unchanged file: "_s + src + u"/sub/"_s +
                         name});
    QCOMPARE(run.texts(LogKind::Error), QStringList());
    QCOMPARE(run.result.counters.mirroredFiles, quint64(2));
    QCOMPARE(ReadFile(dst + u"/sub/"_s + name), QByteArray("the user's own"));
    QCOMPARE(ReadFile(dst + u"/sub/"_s + targetOnly), QByteArray("the target's own"));
    QCOMPARE(AllNames(dst).size(), 5); // sub and its four files
}

void TestFolderMirror::linksInTargetNeverFollowed_data()
{
    QTest::addColumn<QString>("linkAt");   // below dst; empty: dst itself
    QTest::addColumn<QString>("pointsTo"); // below outside
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QStringList>("errors"); // "%s" the source, "%d" the target root
    QTest::addColumn<QStringList>("outsideAfter");

    const QStringList sourceFolder{
        u"[T] Error: Copy file fail: %s/sub, Target folder is a link: %d/sub. "_s};
    QTest::newRow("link at a folder's place")
        << "sub" << "" << false << sourceFolder << QStringList{u"keep.txt"_s};
    QTest::newRow("link at a folder's place, dry run")
        << "sub" << "" << true << sourceFolder << QStringList{u"keep.txt"_s};
    QTest::newRow("link at a folder's place, leading nowhere")
        << "sub" << "gone" << false << sourceFolder << QStringList{u"keep.txt"_s};
    QTest::newRow("link at a folder's place, leading nowhere, dry run")
        << "sub" << "gone" << true << sourceFolder << QStringList{u"keep.txt"_s};
    QTest::newRow("link at a nested folder's place")
        << "deep/sub" << "" << false
        << QStringList{u"[T] Error: Copy file fail: %s/deep/sub, Target folder is a link: %d/deep/sub. "_s}
        << QStringList{u"keep.txt"_s};
    // The name is replaced by the copy; the file the link led to is not written.
    QTest::newRow("link at a file's place")
        << "a.txt" << "keep.txt" << false << QStringList() << QStringList{u"keep.txt"_s};
    // The user's own choice of place: followed, as any path given.
    QTest::newRow("target root is a link")
        << "" << "" << false << QStringList()
        << QStringList{u"a.txt"_s, u"deep"_s, u"deep/sub"_s, u"deep/sub/b.txt"_s, u"keep.txt"_s,
                       u"sub"_s, u"sub/b.txt"_s};
}

void TestFolderMirror::linksInTargetNeverFollowed()
{
    QFETCH(QString, linkAt);
    QFETCH(QString, pointsTo);
    QFETCH(bool, dryRun);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, outsideAfter);

    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s), outside = dir.makeDir(u"outside"_s);
    const QString dst = linkAt.isEmpty() ? dir.filePath(u"dst"_s) : dir.makeDir(u"dst"_s);
    dir.makeDir(u"src/sub"_s);
    dir.makeDir(u"src/deep/sub"_s);
    dir.writeFile(QStringLiteral("src/a.txt"), "source a", kBase);
    dir.writeFile(QStringLiteral("src/sub/b.txt"), "source b", kBase);
    dir.writeFile(QStringLiteral("src/deep/sub/b.txt"), "source b", kBase);
    dir.writeFile(QStringLiteral("outside/keep.txt"), "not the target's", kBase - 100);
    if (linkAt.contains(u'/'))
        dir.makeDir(dst + u'/' + QFileInfo(linkAt).path());
    const QString link = linkAt.isEmpty() ? dst : dst + u'/' + linkAt;
    const QString linkTarget = pointsTo.isEmpty() ? outside : outside + u'/' + pointsTo;
    QVERIFY(QFile::link(linkTarget, link));
    const QByteArray outsideBefore = ReadFile(outside + u"/keep.txt"_s);
    const qint64 outsideTime = MTime(outside + u"/keep.txt"_s);

    Run run;
    MirrorOptions options;
    options.mode = dryRun ? MirrorMode::DryRun : MirrorMode::Copy;
    run.start(Job(dst, {{src, true}}), {}, {}, options);

    QCOMPARE(run.texts(LogKind::Error),
             errors.replaceInStrings(u"%s"_s, src).replaceInStrings(u"%d"_s, dst));
    QCOMPARE(run.result.counters.errors, quint64(errors.size()));
    if (!errors.isEmpty()) {
        QCOMPARE(run.texts(LogKind::ErrorStatus),
                 QStringList{u"[T]          Status   : Mirror Finished!! Find 1 Errors."_s});
    }
    // Nothing landed where the link leads, and nothing there changed.
    QCOMPARE(AllNames(outside), outsideAfter);
    QCOMPARE(ReadFile(outside + u"/keep.txt"_s), outsideBefore);
    QCOMPARE(MTime(outside + u"/keep.txt"_s), outsideTime);
    if (linkAt.isEmpty() || linkAt == u"a.txt"_s) {
        QCOMPARE(ReadFile(dst + u"/a.txt"_s), QByteArray("source a"));
        QVERIFY(!QFileInfo(dst + u"/a.txt"_s).isSymLink());
        return;
    }
    // The link is left as it was; the rest of the run went on.
    QCOMPARE(QFileInfo(link).symLinkTarget(), linkTarget);
    if (!dryRun)
        QCOMPARE(ReadFile(dst + u"/a.txt"_s), QByteArray("source a"));
    // Its files were neither copied nor counted as kept.
    QCOMPARE(run.texts(LogKind::Skip), QStringList());
    QCOMPARE(run.result.counters.mirroredFiles, quint64(2));
}

void TestFolderMirror::newFoldersKeepTheirPermissions_data()
{
    QTest::addColumn<QList<int>>("sourceModes"); // of src/a, src/a/b, ...
    QTest::addColumn<int>("umask");
    QTest::addColumn<int>("existingMode"); // of a dst/a there before the run; 0: none
    QTest::addColumn<bool>("otherUser");
    QTest::addColumn<QList<int>>("expectedModes");

    for (const int mask : {022, 077}) {
        const QString under = QStringLiteral(", umask %1").arg(mask, 3, 8, QChar(u'0'));
        QTest::addRow("private folder%s", qPrintable(under))
            << QList<int>{0700} << mask << 0 << false << QList<int>{0700};
        QTest::addRow("group folder inside a private one%s", qPrintable(under))
            << QList<int>{0700, 0750} << mask << 0 << false << QList<int>{0700, 0750};
        // The bits the umask took are given back.
        QTest::addRow("open folder%s", qPrintable(under))
            << QList<int>{0777} << mask << 0 << false << QList<int>{0777};
        QTest::addRow("sticky folder%s", qPrintable(under))
            << QList<int>{01777} << mask << 0 << false << QList<int>{01777};
    }
    QTest::newRow("folder already in the target is left as it is")
        << QList<int>{0700, 0750} << 022 << 0755 << false << QList<int>{0755, 0750};
    // Its files still arrive: the owner writes into it until it is filled.
    QTest::newRow("read-only folder, run by its owner")
        << QList<int>{0555, 0500} << 022 << 0 << true << QList<int>{0555, 0500};
}

void TestFolderMirror::newFoldersKeepTheirPermissions()
{
    QFETCH(QList<int>, sourceModes);
    QFETCH(int, umask);
    QFETCH(int, existingMode);
    QFETCH(bool, otherUser);
    QFETCH(QList<int>, expectedModes);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    QStringList folders; // below src and dst
    QString folder;
    for (qsizetype i = 0; i < sourceModes.size(); ++i) {
        folder += (folder.isEmpty() ? u""_s : u"/"_s) + QChar(char16_t(u'a' + i));
        folders << folder;
        QVERIFY(QDir().mkpath(src + u'/' + folder));
        TestDir::writeFileAt(src + u'/' + folder + u"/f"_s, "private", kBase);
    }
    if (existingMode != 0) {
        QVERIFY(QDir().mkpath(dst + u"/a"_s));
        QCOMPARE(::chmod(QFile::encodeName(dst + u"/a"_s).constData(), mode_t(existingMode)), 0);
    }
    // The modes last: a read-only folder takes no file.
    for (qsizetype i = sourceModes.size() - 1; i >= 0; --i) {
        const QByteArray path = QFile::encodeName(src + u'/' + folders.at(i));
        QCOMPARE(::chmod(path.constData(), mode_t(sourceModes.at(i))), 0);
    }
    struct Umask
    {
        mode_t before;
        ~Umask() { ::umask(before); }
    } restore{::umask(mode_t(umask))};

    // Each file is looked at before its copy: no folder above it may be
    // open to more users than its source is, not even for a moment.
    QStringList widened;
    auto check = [&](const QByteArray& path, const EntryRecord&) {
        const QString relative = QDir(src).relativeFilePath(QFile::decodeName(path));
        for (qsizetype i = 0; i < folders.size(); ++i) {
            struct stat st;
            if (!relative.startsWith(folders.at(i) + u'/') ||
                ::stat(QFile::encodeName(dst + u'/' + folders.at(i)).constData(), &st) != 0)
                continue;
            const int shown = int(st.st_mode & 077), source = sourceModes.at(i) & 077;
            if ((shown & ~source) != 0 && !(i == 0 && existingMode != 0))
                widened << folders.at(i);
        }
        return false;
    };
    Run run;
    const MirrorJob job = Job(dst, {{src, true}});
    if (otherUser) {
        const QString why = RunAsOtherUser(dir.path(), QByteArray(), run, job);
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    } else {
        run.start(job, check);
    }

    QCOMPARE(widened, QStringList());
    QCOMPARE(run.texts(LogKind::Error), QStringList());
    QCOMPARE(run.result.counters.mirroredFiles, quint64(folders.size()));
    // In octal, as modes are read.
    QStringList modes, expected;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(dst + u'/' + folders.at(i)).constData(), &st), 0);
        modes << QString::number(st.st_mode & 07777, 8);
        expected << QString::number(expectedModes.at(i), 8);
        QCOMPARE(ReadFile(dst + u'/' + folders.at(i) + u"/f"_s), QByteArray("private"));
    }
    QCOMPARE(modes, expected);
}

void TestFolderMirror::coarseTargetTimes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString image = dir.filePath(u"seconds.img"_s), mount = dir.filePath(u"mnt"_s);
    QVERIFY(QDir().mkpath(mount));
    {
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 << 20));
    }
    // An ext4 whose inodes have no room for the fractions of a second.
    QProcess mkfs;
    mkfs.start(u"mkfs.ext4"_s, {u"-q"_s, u"-F"_s, u"-I"_s, u"128"_s, image});
    if (!mkfs.waitForFinished(60000) || mkfs.exitStatus() != QProcess::NormalExit ||
        mkfs.exitCode() != 0)
        QSKIP("mkfs.ext4 is not at hand");
    QProcess mounter;
    mounter.start(u"mount"_s, {u"-o"_s, u"loop"_s, image, mount});
    if (!mounter.waitForFinished(60000) || mounter.exitStatus() != QProcess::NormalExit ||
        mounter.exitCode() != 0)
        QSKIP("no loop mount here (not root, or no loop devices)");
    struct Unmount
    {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(mount)};

    const QString src = dir.filePath(u"src"_s), dst = mount + u"/dst"_s;
    QVERIFY(QDir().mkpath(src + u"/sub"_s) && QDir().mkpath(dst));
    TestDir::writeFileAt(src + u"/a"_s, "a", kBase, 123456789);
    TestDir::writeFileAt(src + u"/sub/b"_s, "b", kBase + 1, 999999999);

    const int folder = ::open(QFile::encodeName(dst).constData(), O_RDONLY | O_DIRECTORY);
    TargetFileSystem fs;
    QCOMPARE(LearnTargetFileSystem(folder, fs), 0);
    ::close(folder);
    QCOMPARE(fs.precision, qint64(10000000));
    QVERIFY(!fs.caseBlind);
    QVERIFY(!fs.renameStampsTime);
    QVERIFY(!fs.fat);

    Run run;
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1, .totalFiles = 2, .totalBytes = 2, .mirroredFolders = 1, .mirroredFiles = 2, .mirroredBytes = 2}));
    QCOMPARE(MTime(dst + u"/sub/b"_s), kBase + 1);
    // The copies keep whole seconds only; at that precision they are the
    // sources' times, and nothing is copied again.
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.texts(LogKind::Copy), QStringList());
    QCOMPARE(run.result.counters, (MirrorCounters{.totalFolders = 1, .totalFiles = 2, .totalBytes = 2, .skippedUnchanged = 2}));
    // A source written a second later is still seen.
    TestDir::writeFileAt(src + u"/a"_s, "a2", kBase + 1, 0);
    run.start(Job(dst, {{src, true}}));
    QCOMPARE(run.texts(LogKind::Copy),
             QStringList{u"[T] Mirroring: Overwrite the existing older file: "_s + src + u"/a"_s});

    // Where the file system keeps nanoseconds, the step is the 100-ns unit.
    const int here = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    QCOMPARE(LearnTargetFileSystem(here, fs), 0);
    ::close(here);
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(src + u"/sub/b"_s).constData(), &st), 0);
    if (st.st_mtim.tv_nsec == 999999999)
        QCOMPARE(fs.precision, qint64(1));
}

void TestFolderMirror::replacedFilesKeptAsVersions_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QString>("version"); // in the versions folder

    QTest::newRow("extension") << "report.txt" << 5 << "report 2026-12-11 140307.txt";
    QTest::newRow("two dots") << "archive.tar.gz" << 5 << "archive.tar 2026-12-11 140307.gz";
    QTest::newRow("leading dot only") << ".bashrc" << 5 << ".bashrc 2026-12-11 140307";
    QTest::newRow("no extension") << "noext" << 1 << "noext 2026-12-11 140307";
    QTest::newRow("in a subfolder") << "a/b/report.txt" << 5 << "a/b/report 2026-12-11 140307.txt";
    QTest::newRow("versions off") << "a/b/report.txt" << 0 << "";
}

void TestFolderMirror::replacedFilesKeptAsVersions()
{
    QFETCH(QString, file);
    QFETCH(int, keep);
    QFETCH(QString, version);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString versions = dst + u"/.tarnwick-versions"_s;
    const QString folder = QFileInfo(file).path();
    QVERIFY(QDir().mkpath(src + u'/' + folder) && QDir().mkpath(dst + u'/' + folder));
    dir.writeFile(u"src/"_s + file, "new", kBase + 10);
    dir.writeFile(u"dst/"_s + file, "old", kBase);
    if (folder != u"."_s) {
        // Private target folders have private versions folders.
        QCOMPARE(::chmod(QFile::encodeName(dst + u"/a"_s).constData(), 0750), 0);
        QCOMPARE(::chmod(QFile::encodeName(dst + u"/a/b"_s).constData(), 0700), 0);
    }

    Run run;
    run.clock.set(QDateTime(QDate(2026, 12, 11), QTime(14, 3, 7, 500)));
    run.start(VersionsJob(dst, {{src, true}}, keep));

    const int folders = int(file.count(u'/'));
    QStringList expected{
        u"2026-12-11 14:03:07 synchronize started  [T]"_s,
        u"[T] Mirroring: Overwrite the existing older file: "_s + src + u'/' + file,
    };
    if (keep > 0)
        expected << u"[T] Keep version: "_s + versions + u'/' + version;
    expected << u"<after walk 2026-12-11 14:03:07>"_s << u"[T] Summary:"_s
             << u"[T]          Total    : %1 folders, 1 files, 3 bytes."_s.arg(folders)
             << u"[T]          Mirrored : 0 folders, 1 files, 3 bytes."_s
             << u"[T]          Skipped  : 0 newer files, 0 unchanged files."_s;
    if (keep > 0)
        expected << u"[T]          Versions : 1 replaced files kept."_s;
    expected << u"[T]          Status   : Mirror Successed!!"_s
             << u"2026-12-11 14:03:07 synchronize finished  [T]"_s;
    QCOMPARE(Texts(run.lines), expected);
    QCOMPARE(run.lines.at(2).first, keep > 0 ? LogKind::Copy : LogKind::StartFinish);
    QCOMPARE(run.result.counters.keptVersions, quint64(keep > 0 ? 1 : 0));
    QCOMPARE(ReadFile(dst + u'/' + file), QByteArray("new"));
    QCOMPARE(MTime(dst + u'/' + file), kBase + 10);
    if (keep == 0) {
        QVERIFY(!QFileInfo::exists(versions));
        return;
    }
    // The old file itself: its content and its time.
    QCOMPARE(ReadFile(versions + u'/' + version), QByteArray("old"));
    QCOMPARE(MTime(versions + u'/' + version), kBase);
    QStringList names{version};
    if (folder != u"."_s) {
        names << u"a"_s << u"a/b"_s;
        QCOMPARE(ModeOf(versions + u"/a"_s), 0750);
        QCOMPARE(ModeOf(versions + u"/a/b"_s), 0700);
    }
    names.sort();
    QCOMPARE(AllNames(versions), names);
    QCOMPARE(ModeOf(versions), ModeOf(dst) | 0700);
}

void TestFolderMirror::versionNamesNeverReused()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString dst = dir.filePath(u"dst"_s), versions = dst + u"/.tarnwick-versions"_s;
    QVERIFY(QDir().mkpath(versions));
    QList<SourceEntry> sources;
    // Three sources share the target: within the run's one second the file
    // is replaced three times.
    for (int i = 1; i <= 3; ++i) {
        dir.makeDir(u"src%1"_s.arg(i));
        dir.writeFile(u"src%1/f.txt"_s.arg(i), u"from %1"_s.arg(i).toUtf8(), kBase + 10 * i);
        sources.append({dir.filePath(u"src%1"_s.arg(i)), false});
    }
    dir.writeFile(u"dst/f.txt"_s, "old", kBase);
    // Kept by an earlier run in that same second.
    dir.writeFile(u"dst/.tarnwick-versions/f 2026-12-09 090500.txt"_s, "earlier", kBase - 100);

    Run run;
    run.start(VersionsJob(dst, sources, 10));
    const QString kept = u"[T] Keep version: "_s + versions + u"/f 2026-12-09 090500"_s;
    QCOMPARE(run.texts(LogKind::Copy),
             (QStringList{u"[T] Mirroring: Overwrite the existing older file: "_s +
                              sources[0].sourceDir + u"/f.txt"_s,
                          kept + u" (2).txt"_s,
                          u"[T] Mirroring: Overwrite the existing older file: "_s +
                              sources[1].sourceDir + u"/f.txt"_s,
                          kept + u" (3).txt"_s,
                          u"[T] Mirroring: Overwrite the existing older file: "_s +
                              sources[2].sourceDir + u"/f.txt"_s,
                          kept + u" (4).txt"_s}));
    QCOMPARE(run.result.counters.keptVersions, quint64(3));
    QCOMPARE(run.result.counters.errors, quint64(0));
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090500.txt"_s), QByteArray("earlier"));
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090500 (2).txt"_s), QByteArray("old"));
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090500 (3).txt"_s), QByteArray("from 1"));
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090500 (4).txt"_s), QByteArray("from 2"));
    QCOMPARE(ReadFile(dst + u"/f.txt"_s), QByteArray("from 3"));
}

// Beyond the count kept, the oldest versions this program kept go, each with
// a line. A file of the user's that merely has a version's name (a versions
// folder may be any folder the user names) is never removed.
void TestFolderMirror::onlyTheNewestVersionsStay()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString versions = dst + u"/.tarnwick-versions"_s;
    QVERIFY(QDir().mkpath(versions + u"/f 2019-01-01 000000.txt"_s)); // a folder
    dir.writeFile(u"dst/f.txt"_s, "v0", kBase);
    // The user's own files, one of them named exactly as a version of f.txt
    // from long ago, the others close to such names: never removed.
    const QStringList others{
        u"f 2020-01-01 000000.txt"_s,     u"F 2020-01-01 000000.txt"_s,
        u"f 2020-01-01 00000.txt"_s,      u"f 2020-01-01 000000 (1).txt"_s,
        u"f 2020-01-01 000000.txt.bak"_s, u"f 2020-01-01 000000.TXT"_s,
        u"f.txt"_s,                       u"g 2020-01-01 000000.txt"_s,
        u"f 2020-01-01 000000"_s,
    };
    for (const QString& name : others)
        dir.writeFile(u"dst/.tarnwick-versions/"_s + name, "other", kBase - 1000);

    Run run;
    QStringList removed;
    for (int round = 1; round <= 4; ++round) {
        dir.writeFile(u"src/f.txt"_s, u"v%1"_s.arg(round).toUtf8(), kBase + 10 * round);
        run.clock.set(QDateTime(QDate(2026, 12, 9), QTime(9, 5 + round, 0)));
        run.start(VersionsJob(dst, {{src, false}}, 2));
        QCOMPARE(run.result.counters.keptVersions, quint64(1));
        QCOMPARE(run.texts(LogKind::Error), QStringList());
        removed += run.texts(LogKind::Copy).filter(u"Remove old version"_s);
    }
    QCOMPARE(ReadFile(dst + u"/f.txt"_s), QByteArray("v4"));
    // The two newest versions, by the times in their names.
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090800.txt"_s), QByteArray("v2"));
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090900.txt"_s), QByteArray("v3"));
    QCOMPARE(removed, (QStringList{
                          u"[T] Remove old version: "_s + versions + u"/f 2026-12-09 090600.txt"_s,
                          u"[T] Remove old version: "_s + versions + u"/f 2026-12-09 090700.txt"_s}));
    QStringList names =
        others + QStringList{u"f 2019-01-01 000000.txt"_s, u"f 2026-12-09 090800.txt"_s,
                             u"f 2026-12-09 090900.txt"_s};
    names.sort();
    QCOMPARE(AllNames(versions), names);
    for (const QString& name : others)
        QCOMPARE(ReadFile(versions + u'/' + name), QByteArray("other"));
    // What this program kept is listed in the folder's index.
    QVERIFY(ReadFile(versions + u"/.tarnwick-kept"_s).contains("f 2026-12-09 090900.txt\n"));
}

void TestFolderMirror::versionsFolderNeverMirrored_data()
{
    QTest::addColumn<QString>("versionsDir");  // below the test folder
    QTest::addColumn<QString>("sourceFolder"); // a subfolder of the source
    QTest::addColumn<bool>("replace");         // the target holds an older f
    QTest::addColumn<QStringList>("targetNames");
    QTest::addColumn<QString>("skipped"); // the source folder told of, below the source
    QTest::addColumn<QString>("why");

    const QString itIs = u"not mirrored: it is the task's versions folder"_s;
    const QString itWouldLand = u"not mirrored: it would land in the task's versions folder"_s;
    // Made by an earlier run inside the source.
    QTest::newRow("versions folder inside the source")
        << "src/versions" << "versions" << true << QStringList{u"f"_s} << "versions" << itIs;
    // The versions folder made by the walk itself, before the walk meets it.
    QTest::newRow("made inside the source during the walk")
        << "src/versions" << "" << true << QStringList{u"f"_s} << "versions" << itIs;
    QTest::newRow("source folder over the versions folder")
        << "dst/.tarnwick-versions"
        << ".tarnwick-versions" << true
        << QStringList{u".tarnwick-versions"_s, u".tarnwick-versions/f 2026-12-09 090500"_s,
                       u"f"_s}
        << ".tarnwick-versions" << itWouldLand;
    QTest::newRow("source folder over a versions folder yet to be")
        << "dst/.tarnwick-versions"
        << ".tarnwick-versions" << false << QStringList{u"f"_s} << ".tarnwick-versions"
        << itWouldLand;
    QTest::newRow("source folder over a deeper versions folder")
        << "dst/keep/versions"
        << "keep" << true
        << QStringList{u"f"_s, u"keep"_s, u"keep/x"_s, u"keep/versions"_s,
                       u"keep/versions/f 2026-12-09 090500"_s}
        << "keep/versions" << itWouldLand;
}

// The versions folder is never walked as a source folder, nor is a source
// folder mirrored into it; the user's files such a folder holds are not
// mirrored, and the run says so for each walk that met it.
void TestFolderMirror::versionsFolderNeverMirrored()
{
    QFETCH(QString, versionsDir);
    QFETCH(QString, sourceFolder);
    QFETCH(bool, replace);
    QFETCH(QStringList, targetNames);
    QFETCH(QString, skipped);
    QFETCH(QString, why);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.writeFile(u"src/f"_s, "new", kBase + 10);
    if (replace)
        dir.writeFile(u"dst/f"_s, "old", kBase);
    if (!sourceFolder.isEmpty()) {
        dir.makeDir(u"src/"_s + sourceFolder);
        dir.writeFile(u"src/"_s + sourceFolder + u"/x"_s, "x", kBase);
        if (sourceFolder == u"keep"_s)
            dir.makeDir(u"src/keep/versions"_s);
        if (sourceFolder == u"keep"_s)
            dir.writeFile(u"src/keep/versions/y"_s, "y", kBase);
    }
    // Two walks of the source, so that the second meets the versions folder
    // the first has made.
    const MirrorJob job =
        VersionsJob(dst, {{src, true}, {src, true}}, 5, dir.filePath(versionsDir));
    Run run;
    run.start(job);
    const QStringList errors = run.texts(LogKind::Error);
    // One made during the first walk is met by it or not, as the listing goes.
    const bool madeDuringWalk = sourceFolder.isEmpty();
    QVERIFY2(errors.size() == 2 || (madeDuringWalk && errors.size() == 1),
             qPrintable(errors.join(u'\n')));
    for (const QString& error : errors)
        QCOMPARE(error, CopyErrorLine(u"T"_s, src + u'/' + skipped, why));
    QCOMPARE(run.result.counters.keptVersions, quint64(replace ? 1 : 0));
    targetNames.sort();
    QCOMPARE(AllNames(dst), targetNames);
    QCOMPARE(ReadFile(dir.filePath(versionsDir) + u"/f 2026-12-09 090500"_s),
             replace ? QByteArray("old") : QByteArray("<absent>"));
    // Neither walk counted the versions folder as a source folder.
    const quint64 folders = sourceFolder == u"keep"_s ? 1 : 0;
    QCOMPARE(run.result.counters.totalFolders, 2 * folders);
}

void TestFolderMirror::dryRunReportsVersionsAndWritesNothing()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.makeDir(u"src/a"_s);
    dir.makeDir(u"dst/a"_s);
    dir.writeFile(u"src/f.txt"_s, "new f", kBase + 10);
    dir.writeFile(u"src/a/g"_s, "new g", kBase + 10);
    dir.writeFile(u"src/a/h"_s, "new h", kBase + 10);
    dir.writeFile(u"dst/f.txt"_s, "old f", kBase);
    dir.writeFile(u"dst/a/g"_s, "old g", kBase);
    dir.makeDir(u"dst/.tarnwick-versions"_s);
    dir.writeFile(u"dst/.tarnwick-versions/f 2026-12-09 090500.txt"_s, "earlier", kBase - 100);
    const QStringList before = AllNames(dst);

    const MirrorJob job = VersionsJob(dst, {{src, true}}, 3);
    Run dry;
    dry.start(job, {}, {}, OptionsFor(MirrorMode::DryRun));
    QCOMPARE(AllNames(dst), before);
    QCOMPARE(ReadFile(dst + u"/f.txt"_s), QByteArray("old f"));
    QCOMPARE(ReadFile(dst + u"/a/g"_s), QByteArray("old g"));
    QCOMPARE(dry.result.counters.keptVersions, quint64(2));
    const QString versions = dst + u"/.tarnwick-versions"_s;
    QVERIFY(dry.texts(LogKind::Copy)
                .contains(u"[T] Keep version: "_s + versions + u"/f 2026-12-09 090500 (2).txt"_s));
    QVERIFY(dry.texts(LogKind::Copy)
                .contains(u"[T] Keep version: "_s + versions + u"/a/g 2026-12-09 090500"_s));

    // The real run says and counts the same.
    Run real;
    real.start(job);
    QCOMPARE(Texts(real.lines), Texts(dry.lines));
    QCOMPARE(real.result.counters, dry.result.counters);
    QCOMPARE(ReadFile(versions + u"/f 2026-12-09 090500 (2).txt"_s), QByteArray("old f"));
    QCOMPARE(ReadFile(versions + u"/a/g 2026-12-09 090500"_s), QByteArray("old g"));
}

void TestFolderMirror::fileStaysWhenItsVersionCannotBeKept_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("versionsDir"); // below the test folder
    QTest::addColumn<QString>("blocker");     // what stands in the way, below the test folder
    QTest::addColumn<QString>("place");       // the versions folder named in the line
    QTest::addColumn<QString>("reason");

    QTest::newRow("a file at the versions folder") << "f"
                                                   << "dst/.tarnwick-versions"
                                                   << "file dst/.tarnwick-versions"
                                                   << "dst/.tarnwick-versions"
                                                   << "Not a directory";
    QTest::newRow("a file at a versions subfolder") << "a/f"
                                                    << "dst/.tarnwick-versions"
                                                    << "file dst/.tarnwick-versions/a"
                                                    << "dst/.tarnwick-versions/a"
                                                    << "Not a directory";
    QTest::newRow("a link at the versions folder") << "f"
                                                   << "dst/.tarnwick-versions"
                                                   << "link dst/.tarnwick-versions"
                                                   << "dst/.tarnwick-versions"
                                                   << "Too many levels of symbolic links";
    QTest::newRow("a link at a versions subfolder") << "a/f"
                                                    << "dst/.tarnwick-versions"
                                                    << "link dst/.tarnwick-versions/a"
                                                    << "dst/.tarnwick-versions/a"
                                                    << "Too many levels of symbolic links";
    QTest::newRow("the folder above the versions folder missing") << "f"
                                                                  << "gone/versions"
                                                                  << ""
                                                                  << "gone/versions"
                                                                  << "No such file or directory";
}

void TestFolderMirror::fileStaysWhenItsVersionCannotBeKept()
{
    QFETCH(QString, file);
    QFETCH(QString, versionsDir);
    QFETCH(QString, blocker);
    QFETCH(QString, place);
    QFETCH(QString, reason);

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.makeDir(u"src/a"_s);
    dir.makeDir(u"dst/a"_s);
    const QString elsewhere = dir.makeDir(u"elsewhere"_s);
    dir.writeFile(u"src/"_s + file, "new", kBase + 10);
    dir.writeFile(u"dst/"_s + file, "old", kBase);
    const QString blocked = blocker.mid(5);
    if (blocked.startsWith(u"dst/.tarnwick-versions/"_s))
        dir.makeDir(u"dst/.tarnwick-versions"_s);
    if (blocker.startsWith(u"file "_s))
        dir.writeFile(blocked, "in the way");
    else if (blocker.startsWith(u"link "_s))
        QVERIFY(QFile::link(elsewhere, dir.filePath(blocked)));
    const QStringList before = AllNames(dst);

    const MirrorJob job = VersionsJob(dst, {{src, true}}, 5, dir.filePath(versionsDir));
    const QStringList expected{
        u"[T] Mirroring: Overwrite the existing older file: "_s + src + u'/' + file,
        u"[T] Error: Copy file fail: "_s + src + u'/' + file +
            u", Could not keep the replaced file in the versions folder "_s + dir.filePath(place) +
            u": "_s + reason + u". "_s,
    };
    for (const MirrorMode mode : {MirrorMode::DryRun, MirrorMode::Copy}) {
        Run run;
        run.start(job, {}, {}, OptionsFor(mode));
        QCOMPARE(Texts(run.lines).mid(1, 2), expected);
        QCOMPARE(run.lines.at(2).first, LogKind::Error);
        QCOMPARE(run.result.counters.errors, quint64(1));
        QCOMPARE(run.result.counters.mirroredFiles, quint64(0));
        QCOMPARE(run.result.counters.keptVersions, quint64(0));
        QCOMPARE(run.texts(LogKind::StartFinish).filter(u"Versions :"_s),
                 QStringList{u"[T]          Versions : 0 replaced files kept."_s});
        // The old file is where it was, as it was; nothing is left behind.
        QCOMPARE(ReadFile(dst + u'/' + file), QByteArray("old"));
        QCOMPARE(MTime(dst + u'/' + file), kBase);
        QCOMPARE(AllNames(dst), before);
        QCOMPARE(AllNames(elsewhere), QStringList());
        QVERIFY(!QFileInfo::exists(dir.filePath(u"gone"_s)));
    }
}

void TestFolderMirror::versionsOnAnotherFileSystem()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString mount = dir.makeDir(u"mnt"_s);
    if (::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, "size=8m") != 0)
        QSKIP("no tmpfs mount here (not root)");
    struct Unmount
    {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(mount)};

    const QString versions = mount + u"/versions"_s;
    dir.writeFile(u"src/f.txt"_s, "new", kBase + 10);
    const QString target = dir.writeFile(u"dst/f.txt"_s, "the old content", kBase);
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    // A link held at a target name is kept as the link it was.
    dir.writeFile(u"src/link"_s, "new", kBase + 10);
    dir.writeFile(u"dst/other"_s, "linked to", kBase);
    QVERIFY(QFile::link(dst + u"/other"_s, dst + u"/link"_s));

    Run run;
    run.start(VersionsJob(dst, {{src, false}}, 5, versions));
    QCOMPARE(run.texts(LogKind::Error), QStringList());
    QCOMPARE(run.result.counters.keptVersions, quint64(2));
    const QString version = versions + u"/f 2026-12-09 090500.txt"_s;
    QCOMPARE(ReadFile(version), QByteArray("the old content"));
    QCOMPARE(MTime(version), kBase);
    QCOMPARE(ModeOf(version), 0640);
    QCOMPARE(ReadFile(dst + u"/f.txt"_s), QByteArray("new"));
    QCOMPARE(QFileInfo(versions + u"/link 2026-12-09 090500"_s).symLinkTarget(), dst + u"/other"_s);
    QCOMPARE(ReadFile(dst + u"/link"_s), QByteArray("new"));
    QCOMPARE(ReadFile(dst + u"/other"_s), QByteArray("linked to"));
    // Nothing but the versions, no temporary file of the copy.
    QCOMPARE(AllNames(versions),
             (QStringList{u"f 2026-12-09 090500.txt"_s, u"link 2026-12-09 090500"_s}));
    QCOMPARE(AllNames(dst), (QStringList{u"f.txt"_s, u"link"_s, u"other"_s}));
}

namespace {

// The content of file `i` of the kill test, old or new: long enough that a
// cut-off copy would show.
QByteArray KillContent(int i, bool fresh)
{
    QByteArray text = (fresh ? "new " : "old ") + QByteArray::number(i) + ' ';
    return text.repeated(fresh ? 6000 : 3000);
}

} // namespace

void TestFolderMirror::killedRunsNeverLoseAFile()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString versions = dst + u"/.tarnwick-versions"_s;
    constexpr int kFiles = 80;
    for (int i = 0; i < kFiles; ++i)
        dir.writeFile(u"src/f%1.txt"_s.arg(i), KillContent(i, true), kBase + 10);
    const MirrorJob job = VersionsJob(dst, {{src, false}}, 3);
    auto lay = [&] {
        QVERIFY(QDir(dst).removeRecursively() || !QFileInfo::exists(dst));
        dir.makeDir(u"dst"_s);
        for (int i = 0; i < kFiles; ++i)
            dir.writeFile(u"dst/f%1.txt"_s.arg(i), KillContent(i, false), kBase);
    };
    // The run in a child process, killed `delayUs` after it began (or left
    // to end when negative). Returns how long the child lived, in µs.
    auto runChild = [&](qint64 delayUs) -> qint64 {
        QElapsedTimer timer;
        timer.start();
        const pid_t child = ::fork();
        if (child == 0) {
            Run run;
            run.start(job);
            ::_exit(run.result.counters.errors == 0 ? 0 : 1);
        }
        if (child < 0)
            return -1;
        if (delayUs >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return timer.nsecsElapsed() / 1000;
    };

    lay();
    const qint64 whole = runChild(-1);
    QVERIFY(whole > 0);

    int cutMidway = 0;
    for (int attempt = 0; attempt < 30; ++attempt) {
        lay();
        runChild(qint64(QRandomGenerator::global()->bounded(quint64(whole))));
        int replaced = 0;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray oldContent = KillContent(i, false), newContent = KillContent(i, true);
            const QString name = u"f%1.txt"_s.arg(i);
            const QByteArray target = ReadFile(dst + u'/' + name);
            QVERIFY2(target == oldContent || target == newContent || target == "<absent>",
                     qPrintable(name + u" is torn"_s));
            // Whatever is in the versions folder is whole and the old file.
            int kept = 0;
            for (const QString& version :
                 QDir(versions).entryList({u"f%1 *"_s.arg(i)}, QDir::Files | QDir::Hidden)) {
                QCOMPARE(ReadFile(versions + u'/' + version), oldContent);
                ++kept;
            }
            QVERIFY2(kept <= 1, qPrintable(name));
            if (target != oldContent) {
                QVERIFY2(kept == 1, qPrintable(name + u": the old file is lost"_s));
                ++replaced;
            }
        }
        if (replaced > 0 && replaced < kFiles)
            ++cutMidway;
        for (const QString& name : AllNames(dst)) {
            if (name != u".tarnwick-versions"_s && !name.startsWith(u".tarnwick-versions/f"_s))
                QVERIFY2(name.startsWith(u'f') || IsTemporaryName(QFile::encodeName(name)),
                         qPrintable(name));
        }

        // A run after the kill completes the work, and keeps each old file once.
        Run again;
        again.start(job);
        QCOMPARE(again.texts(LogKind::Error), QStringList());
        for (int i = 0; i < kFiles; ++i) {
            QCOMPARE(ReadFile(dst + u"/f%1.txt"_s.arg(i)), KillContent(i, true));
            const QStringList kept =
                QDir(versions).entryList({u"f%1 *"_s.arg(i)}, QDir::Files | QDir::Hidden);
            QCOMPARE(kept.size(), 1);
            QCOMPARE(ReadFile(versions + u'/' + kept.front()), KillContent(i, false));
        }
        QCOMPARE(AllNames(dst).size(), 2 * kFiles + 1);
    }
    // The kills fell while the run was replacing files, not only before or after.
    QVERIFY2(cutMidway > 0, "no kill fell inside the run");
}

void TestFolderMirror::twoRunsKeepingVersionsAtOnce()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.makeDir(u"src"_s);
    constexpr int kFiles = 40;
    for (int i = 0; i < kFiles; ++i)
        dir.writeFile(u"src/f%1"_s.arg(i), "new", kBase + 10);

    // Both runs decide to replace the same files at the same moments; one
    // keeps the old file, and the other finds it gone or keeps the first
    // one's copy. Neither fails, and no old file is lost.
    for (int round = 0; round < 6; ++round) {
        const QString dst = dir.makeDir(u"dst%1"_s.arg(round));
        for (int i = 0; i < kFiles; ++i)
            dir.writeFile(u"dst%1/f%2"_s.arg(round).arg(i), "old", kBase);
        const MirrorJob job = VersionsJob(dst, {{src, false}}, 5);
        Run first, second;
        std::atomic<int> ready{0};
        auto go = [&ready, &job](Run& run) {
            ++ready;
            while (ready.load() < 2)
                std::this_thread::yield();
            run.start(job);
        };
        std::thread a(go, std::ref(first)), b(go, std::ref(second));
        a.join();
        b.join();
        QCOMPARE(first.texts(LogKind::Error).join(u'\n') + second.texts(LogKind::Error).join(u'\n'),
                 QString());
        const QString versions = dst + u"/.tarnwick-versions"_s;
        for (int i = 0; i < kFiles; ++i) {
            QCOMPARE(ReadFile(dst + u"/f%1"_s.arg(i)), QByteArray("new"));
            QStringList kept;
            for (const QString& name : QDir(versions).entryList({u"f%1 *"_s.arg(i)}, QDir::Files))
                kept << QString::fromLatin1(ReadFile(versions + u'/' + name));
            QVERIFY2(kept.contains(u"old"_s), qPrintable(kept.join(u',')));
        }
    }
}

// Copies under way side by side end in any order; the log must not. Here
// each copy waits until every copy handed over after it has ended, so they
// end in exactly the reverse order, one of them failing (a folder at its
// target path): the lines, counters and first error are those of the run that
// copies one file at a time. One file a folder: copies into one folder are
// made one after another.
void TestFolderMirror::linesKeepWalkOrderWhenCopiesEndInReverse()
{
    TestDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath(u"src"_s);
    for (int i = 0; i < 6; ++i) {
        QVERIFY(QDir().mkpath(src + u"/d%1"_s.arg(i)));
        dir.writeFile(u"src/d%1/f%1"_s.arg(i), QByteArray(100 * (i + 1), 'x'), kBase);
    }

    const auto mirror = [&](const QString& dst, int copies, CopyPool::Copy copy) {
        // Checked below: the folder at the file's target path stays.
        QDir().mkpath(dst + u"/d3/f3"_s);
        std::vector<Line> lines;
        RunControl control;
        FolderMirror run(u"T"_s, {}, control,
                         [&](LogKind kind, const QString& text) { lines.emplace_back(kind, text); });
        run.setParallel(copies);
        run.setPoolCopy(std::move(copy));
        run.mirrorFolder(src, true, dst);
        QStringList texts;
        for (const Line& line : lines)
            texts << QString::number(int(line.first)) + u' ' +
                         QString(line.second).replace(dst, u"<dst>"_s);
        return std::tuple(texts, run.counters(), run.firstError());
    };
    const auto [oneAtATime, counters, firstError] = mirror(dir.filePath(u"one"_s), 1, {});
    QCOMPARE(counters.mirroredFiles, quint64(5));
    QCOMPARE(counters.errors, quint64(1));
    QVERIFY(QFileInfo(dir.filePath(u"one/d3/f3"_s)).isDir());
    QCOMPARE(counters.mirroredFolders, quint64(5));

    std::mutex mutex;
    std::condition_variable ended;
    std::set<quint64> done;
    std::vector<quint64> endOrder;
    CopyPool::Copy reverse = [&](FileCopier& copier, const CopyPool::Job& job) {
        {
            std::unique_lock lock(mutex);
            ended.wait(lock, [&] {
                for (quint64 later = job.sequence + 1; later < 6; ++later)
                    if (!done.count(later))
                        return false;
                return true;
            });
        }
        const int error = copier.copy(job.sourceDirFd, job.name.constData(), job.source,
                                      job.targetDirFd, job.name.constData(), &job.target,
                                      job.place);
        {
            const std::lock_guard lock(mutex);
            done.insert(job.sequence);
            endOrder.push_back(job.sequence);
        }
        ended.notify_all();
        return error;
    };
    const auto [overlapped, overlappedCounters, overlappedError] =
        mirror(dir.filePath(u"many"_s), 6, reverse);
    QCOMPARE(endOrder, (std::vector<quint64>{5, 4, 3, 2, 1, 0}));
    QCOMPARE(overlapped, oneAtATime);
    QCOMPARE(AllNames(dir.filePath(u"many"_s)), AllNames(dir.filePath(u"one"_s)));
    QCOMPARE(overlappedCounters, counters);
    QCOMPARE(QString(overlappedError).replace(dir.filePath(u"many"_s), u"<dst>"_s),
             QString(firstError).replace(dir.filePath(u"one"_s), u"<dst>"_s));
}

// A drive pulled in the middle of a run: every copy after it fails. The run
// says so in one line, counted as one error, cancels what it had not begun
// and ends its walk there; no file after it is told of as an error.
void TestFolderMirror::targetGoneEndsTheRun()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    MakeFolders(dir, 4, 50, "x");

    std::atomic<int> copies{0};
    std::atomic<bool> pulled{false};
    std::mutex pulling;
    std::vector<Line> lines;
    RunControl control;
    FolderMirror run(u"T"_s, {}, control,
                     [&](LogKind kind, const QString& text) { lines.emplace_back(kind, text); });
    run.setParallel(4);
    run.setPoolCopy([&](FileCopier& copier, const CopyPool::Job& job) {
        if (++copies > 10) {
            // The bare mount folder left where the drive was.
            const std::lock_guard lock(pulling);
            if (!pulled.exchange(true)) {
                QDir().rename(dst, dst + u".pulled"_s);
                QDir().mkpath(dst);
            }
            return EIO;
        }
        return copier.copy(job.sourceDirFd, job.name.constData(), job.source, job.targetDirFd,
                           job.name.constData(), &job.target, job.place);
    });
    run.mirrorFolder(src, true, dst);
    run.flushTarget(dst);

    QStringList errors;
    for (const Line& line : lines) {
        if (line.first == LogKind::Error)
            errors << line.second;
    }
    QCOMPARE(errors, QStringList{u"[T] The target drive went away during the run"_s});
    QCOMPARE(run.counters().errors, quint64(1));
    QCOMPARE(run.firstError(), dst + u": The target drive went away during the run"_s);
    QVERIFY(run.counters().mirroredFiles <= 10);
    QVERIFY(AllNames(dst).isEmpty());
}

// A link in a source is followed only when its owner owns what it leads to,
// or runs the run: otherwise a user who can write a mirrored folder could
// have root's run publish a file only root may read.
void TestFolderMirror::linksFollowedByTheirOwnersLeave_data()
{
    QTest::addColumn<bool>("folder");     // the link leads to a folder
    QTest::addColumn<uid_t>("linkOwner");
    QTest::addColumn<uid_t>("targetOwner");
    QTest::addColumn<bool>("followed");

    const uid_t other = 65534, me = ::geteuid();
    QTest::newRow("file: my link to my file") << false << me << me << true;
    QTest::newRow("file: my link to another's file") << false << me << other << true;
    QTest::newRow("file: another's link to that user's file") << false << other << other << true;
    QTest::newRow("file: another's link to my file") << false << other << me << false;
    QTest::newRow("folder: another's link to that user's folder") << true << other << other << true;
    QTest::newRow("folder: another's link to my folder") << true << other << me << false;
}

void TestFolderMirror::linksFollowedByTheirOwnersLeave()
{
    QFETCH(bool, folder);
    QFETCH(uid_t, linkOwner);
    QFETCH(uid_t, targetOwner);
    QFETCH(bool, followed);
    if (::geteuid() != 0)
        QSKIP("giving files to another user needs root");

    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    const QString secret = dir.filePath(u"private"_s);
    QVERIFY(QDir().mkpath(secret));
    dir.writeFile(QStringLiteral("private/note"), "secret", kBase);
    const QString reached = folder ? secret : secret + u"/note"_s;
    QCOMPARE(::chown(QFile::encodeName(reached).constData(), targetOwner, 0), 0);
    const QByteArray link = QFile::encodeName(src + u"/link"_s);
    QCOMPARE(::symlink(QFile::encodeName(reached).constData(), link.constData()), 0);
    QCOMPARE(::lchown(link.constData(), linkOwner, 0), 0);

    Run run;
    run.start(Job(dst, {{src, true}}));
    const QStringList errors = run.texts(LogKind::Error);
    if (followed) {
        QCOMPARE(errors, QStringList());
        QCOMPARE(ReadFile(dst + (folder ? u"/link/note"_s : u"/link"_s)), QByteArray("secret"));
    } else {
        QCOMPARE(errors, QStringList{u"[T] Error: Copy file fail: "_s + src +
                                     u"/link, not followed: the link's owner does not own its "
                                     "target. "_s});
        QCOMPARE(run.result.counters.errors, quint64(1));
        QCOMPARE(AllNames(dst), QStringList());
    }
}

// A run started because a drive was mounted checks, as its walk begins,
// that the target still lies on the file system mounted there: a drive
// that came and went at once leaves a bare folder on the disk above.
void TestFolderMirror::runStartedByADriveChecksTheDriveIsThere()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    dir.writeFile(QStringLiteral("src/f"), "1", kBase);
    const std::optional<MountedFileSystem> holding =
        FileSystemHolding(ReadMountedFileSystems(), QFileInfo(dst).canonicalFilePath());
    QVERIFY(holding);

    MirrorOptions options;
    Run run;
    // The drive is gone: its mount point holds nothing.
    options.expectedTargetMount = dst;
    run.start(Job(dst, {{src, true}}), {}, {}, options);
    QCOMPARE(run.texts(LogKind::Error),
             QStringList{u"[T] Target drive is not present: "_s + dst});
    QVERIFY(run.result.notStarted);
    QCOMPARE(AllNames(dst), QStringList());
    // The drive is there.
    options.expectedTargetMount = holding->path;
    run.start(Job(dst, {{src, true}}), {}, {}, options);
    QCOMPARE(run.texts(LogKind::Error), QStringList());
    QCOMPARE(AllNames(dst), QStringList{u"f"_s});
}

// A stop while many copies wait their turn: the run ends at once with the
// copies under way, cancels the rest, and tells and counts exactly the
// files it copied; nothing half-made is left in the target.
void TestFolderMirror::stopWhileCopiesAreQueued()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    MakeFolders(dir, 20, 20, "12");
    std::vector<Line> lines;
    RunControl control;
    FolderMirror run(u"T"_s, {}, control,
                     [&](LogKind kind, const QString& text) { lines.emplace_back(kind, text); });
    run.setParallel(4);
    // Each copy takes 20 ms, as over a slow network: all 400 one after
    // another would take 8 s, four at a time 2 s.
    std::atomic<int> begun{0};
    run.setPoolCopy([&](FileCopier& copier, const CopyPool::Job& job) {
        ++begun;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return copier.copy(job.sourceDirFd, job.name.constData(), job.source, job.targetDirFd,
                           job.name.constData(), &job.target, job.place);
    });
    std::thread stopper([&] {
        while (begun < 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        control.requestStop();
    });
    QElapsedTimer clock;
    clock.start();
    run.mirrorFolder(src, true, dst);
    const qint64 took = clock.elapsed();
    stopper.join();
    qInfo("stopped after %lld ms, %d copies begun", took, int(begun));

    int copyLines = 0;
    for (const Line& line : lines)
        copyLines += line.first == LogKind::Copy ? 1 : 0;
    const MirrorCounters& counters = run.counters();
    QVERIFY2(counters.mirroredFiles < 400, "the stop cancelled nothing");
    QCOMPARE(quint64(copyLines), counters.mirroredFiles);
    QCOMPARE(counters.totalFiles, counters.mirroredFiles);
    QCOMPARE(counters.errors, quint64(0));
    // Temporary files included: a cancelled copy must leave none.
    QStringList copied;
    QDirIterator files(dst, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext())
        copied << files.next();
    QCOMPARE(quint64(copied.size()), counters.mirroredFiles);
    for (const QString& path : std::as_const(copied))
        QCOMPARE(ReadFile(path), QByteArray("12"));
}

// Killed at any moment while copies are under way side by side, a run
// leaves every target file whole (old, new or not there) and nothing but
// its own temporary names besides; the next run completes the target.
void TestFolderMirror::killedOverlappedRunsLeaveNoPartialFile()
{
    MirrorFolders tree;
    QVERIFY(tree.isValid());
    const auto& [dir, src, dst] = tree;
    for (int d = 0; d < 10; ++d) {
        dir.makeDir(u"src/d%1"_s.arg(d));
        for (int i = 0; i < 20; ++i)
            dir.writeFile(u"src/d%1/f%2"_s.arg(d).arg(i), KillContent(d * 20 + i, true),
                          kBase + 10);
    }
    // Half the files are there in an older form: replaced, not made.
    auto lay = [&] {
        QVERIFY(QDir(dst).removeRecursively() || !QFileInfo::exists(dst));
        for (int d = 0; d < 10; ++d) {
            dir.makeDir(u"dst/d%1"_s.arg(d));
            for (int i = 0; i < 20; i += 2)
                dir.writeFile(u"dst/d%1/f%2"_s.arg(d).arg(i), KillContent(d * 20 + i, false),
                              kBase);
        }
    };
    auto runChild = [&](qint64 delayUs) -> qint64 {
        QElapsedTimer timer;
        timer.start();
        const pid_t child = ::fork();
        if (child == 0) {
            RunControl control;
            FolderMirror run(u"T"_s, {}, control, [](LogKind, const QString&) {});
            run.setParallel(8);
            run.mirrorFolder(src, true, dst);
            ::_exit(run.counters().errors == 0 ? 0 : 1);
        }
        if (child < 0)
            return -1;
        if (delayUs >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? timer.nsecsElapsed() / 1000 : -1;
    };
    lay();
    const qint64 whole = runChild(-1);
    QVERIFY(whole > 0);

    int cutMidway = 0;
    for (int attempt = 0; attempt < 30; ++attempt) {
        lay();
        runChild(qint64(QRandomGenerator::global()->bounded(quint64(whole))));
        int copied = 0;
        for (int d = 0; d < 10; ++d) {
            for (int i = 0; i < 20; ++i) {
                const QString name = u"d%1/f%2"_s.arg(d).arg(i);
                const QByteArray target = ReadFile(dst + u'/' + name);
                const bool isNew = target == KillContent(d * 20 + i, true);
                QVERIFY2(isNew || target == "<absent>" || target == KillContent(d * 20 + i, false),
                         qPrintable(name + u" is torn"_s));
                copied += isNew ? 1 : 0;
            }
        }
        if (copied > 0 && copied < 200)
            ++cutMidway;
        for (const QString& name : AllNames(dst)) {
            const QString file = name.section(u'/', -1);
            QVERIFY2(file.startsWith(u'f') || file.startsWith(u'd') ||
                         IsTemporaryName(QFile::encodeName(file)),
                     qPrintable(name));
        }
        // The next run completes what the killed one left.
        QVERIFY(runChild(-1) > 0);
        for (int d = 0; d < 10; ++d)
            for (int i = 0; i < 20; ++i)
                QCOMPARE(ReadFile(dst + u"/d%1/f%2"_s.arg(d).arg(i)), KillContent(d * 20 + i, true));
    }
    QVERIFY2(cutMidway > 0, "no kill landed while the copies were under way");
}

QTEST_GUILESS_MAIN(TestFolderMirror)
#include "TestFolderMirror.moc"
