// A run started by a change against the full walk of the same tree: a
// generated tree of FILES files in FOLDERS folders under ROOT, mirrored once
// into a target beside it, then one file changed and 100 files in 10 folders
// changed, each timed from the write to the run's finished line (the
// monitor's gathering pass of TMonitorDirThread::kPassMs left out: it is a
// wait on purpose), and a full walk of the unchanged tree beside them. Also
// the memory the watches and a record of 10,000 changed folders take.
//
//   onchange_bench ROOT [FILES] [FOLDERS] [TARGET]
#include "ProcessMemory.h"

#include "engine/TaskRun.h"
#include "platform/ChangeNotifier.h"
#include "platform/Clock.h"
#include "platform/RunControl.h"
#include "schedule/ChangeTrack.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

using namespace tarnwick;

namespace {

void Write(const QByteArray& path, const QByteArray& content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        (void)!::write(fd, content.constData(), size_t(content.size()));
        ::close(fd);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: onchange_bench ROOT [FILES] [FOLDERS] [TARGET]\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000000;
    const int folders = argc > 3 ? std::atoi(argv[3]) : 10000;
    const QString target = argc > 4 ? QString::fromLocal8Bit(argv[4]) : root + QStringLiteral("/target");
    const QString src = root + QStringLiteral("/source");
    QDir().mkpath(root + QStringLiteral("/home/Log"));
    QDir().mkpath(target);
    qputenv("TARNWICK_HOME", QFile::encodeName(root + QStringLiteral("/home")));
    const QString dbPath = root + QStringLiteral("/home/Tarnwick.dat");
    if (!QFile::exists(dbPath))
        CreateTaskDatabase(dbPath);
    TaskDatabase db;
    db.open(dbPath);

    // Two levels: sqrt(FOLDERS) folders of as many subfolders each.
    int side = 1;
    while (side * side < folders)
        ++side;
    QElapsedTimer timer;
    timer.start();
    if (!QFile::exists(src)) {
        int made = 0;
        for (int a = 0; a < side && made < folders; ++a) {
            for (int b = 0; b < side && made < folders; ++b, ++made) {
                const QByteArray folder =
                    QFile::encodeName(src + QStringLiteral("/a%1/b%2").arg(a).arg(b));
                QDir().mkpath(QFile::decodeName(folder));
                for (int f = made; f < files; f += folders)
                    Write(folder + "/f" + QByteArray::number(f), "data");
            }
        }
        std::printf("generated %d files in %d folders: %.1f s\n", files, folders,
                    double(timer.elapsed()) / 1000);
    }

    TaskRecord task;
    task.taskId = QStringLiteral("bench");
    task.name = QStringLiteral("bench");
    task.targetDir = target;
    task.runMode = TaskRunMode::OnSourceChange;
    task.sources.append({src, true});
    try {
        LoadTask(db, task.taskId);
    } catch (const std::exception&) {
        SaveTask(db, task, TaskSaveMode::New, Clock::system());
    }

    const long long before = ProcessMemory::residentKib();
    ChangeNotifier notifier;
    const int tree = notifier.addTree(QFile::encodeName(src));
    const long long watching = ProcessMemory::residentKib();
    ChangeTrack track;
    track.setWatched(task.taskId, quint64(notifier.watchedFolderCount(tree)));

    const auto runOnce = [&](bool onChange, QString* lookedAt) {
        TaskRunHooks hooks;
        hooks.withStore = [&](const std::function<void(TaskDatabase&)>& step) { step(db); };
        hooks.sink = [&](LogKind, const QString& line) {
            if (lookedAt && (line.contains(QLatin1String("Looked at")) ||
                             line.contains(QLatin1String("Full walk"))))
                *lookedAt = line;
        };
        MirrorOptions options;
        options.scope = track.take(task.taskId, onChange, QDateTime::currentDateTimeUtc());
        RunControl control;
        const TaskRunOutcome outcome = RunTask(task.taskId, hooks, control, Clock::system(), options);
        track.ended(task.taskId, &outcome.result, false,
                    outcome.record.outcome == RunEnding::Succeeded);
    };
    // Everything copied once, and the record trusted from here on.
    runOnce(false, nullptr);

    const auto changedRun = [&](const char* what, int count, int inFolders) {
        timer.restart();
        for (int i = 0; i < count; ++i) {
            const int folder = (i % inFolders) * (folders / inFolders);
            Write(QFile::encodeName(src + QStringLiteral("/a%1/b%2/f%3")
                                              .arg(folder / side)
                                              .arg(folder % side)
                                              .arg(folder + i / inFolders * folders)),
                  QByteArray::number(timer.nsecsElapsed()));
        }
        // Every event of the writes read, as the monitor reads them.
        while (!notifier.wait(0).isEmpty() || timer.elapsed() < 2) {
        }
        track.heard(task.taskId, src, notifier.takeChanges(tree));
        QString line;
        runOnce(true, &line);
        std::printf("%-34s %8.1f ms   %s\n", what, double(timer.nsecsElapsed()) / 1e6,
                    qPrintable(line.section(QLatin1Char(']'), 1).trimmed()));
    };
    for (int round = 0; round < 3; ++round) {
        changedRun("one file changed", 1, 1);
        changedRun("100 files in 10 folders changed", 100, 10);
        timer.restart();
        runOnce(false, nullptr);
        std::printf("%-34s %8.1f ms\n", "full walk, nothing changed", double(timer.nsecsElapsed()) / 1e6);
    }

    // A record of as many changed folders as are watched.
    for (int i = 0; i < folders; ++i)
        track.heard(task.taskId, src,
                    FolderChanges{{QStringLiteral("a%1/b%2").arg(i / side).arg(i % side).toUtf8()},
                                  {}, {}});
    const long long marked = ProcessMemory::residentKib();
    std::printf("memory: %d watched folders %lld KiB, a record of %llu changed folders %lld KiB\n",
                notifier.watchedFolderCount(tree), watching - before,
                static_cast<unsigned long long>(track.waitingFolders(task.taskId)),
                marked - watching);
    return 0;
}
