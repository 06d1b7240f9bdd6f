// Change monitor loop. The watched tasks and folders are read once, when the
// monitor starts; a change to the tasks replaces the monitor. A task whose
// target lies inside one of its sources does not watch that target, so its
// own copies do not start it again.
#include "schedule/TMonitorDirThread.h"

#include "platform/ChangeNotifier.h"
#include "schedule/WatcherHost.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QDir>
#include <QFile>

namespace tarnwick {

namespace {

struct WatchPair
{
    QString taskId;
    QString folder;
};

// `inner` at or below `outer`, both as absolute clean paths.
bool isAtOrBelow(const QString& inner, const QString& outer)
{
    const QString a = QDir::cleanPath(inner);
    const QString b = QDir::cleanPath(outer);
    return a == b || a.startsWith(b.endsWith(u'/') ? b : b + u'/');
}

} // namespace

TMonitorDirThread::TMonitorDirThread(WatcherHost& host) : TThread(false), m_host(host)
{
    SetFreeOnTerminate(true);
    SetPriority(ThreadPriority::Lowest);
    // The thread carries this name, so a look at the process's threads
    // shows how many watchers are alive.
    setObjectName(QStringLiteral("TMonitorDirThread"));
}

void TMonitorDirThread::Execute()
{
    QStringList tasks;
    const auto loadTasks = [&] {
        Synchronize([&] {
            TaskQuery query(m_host.watcherDatabase());
            RunQuery(query, QString::fromLatin1(sql::SelectWatchedTasks));
            for (; !query.eof() && !Terminated(); query.next())
                tasks << query.text("TaskID");
        });
    };
    loadTasks();
    while (tasks.isEmpty()) {
        if (!SleepUnlessTerminated(1000))
            return;
        loadTasks();
    }

    QList<WatchPair> pairs;
    QHash<QString, QString> targets;
    Synchronize([&] {
        TaskQuery query(m_host.watcherDatabase());
        for (const QString& taskId : tasks) {
            RunQuery(query, FillStatement(sql::SelectWatchedFolders, {taskId}));
            for (; !query.eof(); query.next())
                pairs.append({taskId, query.text("SourceDir")});
            RunQuery(query, FillStatement(sql::SelectTaskForRun, {taskId}));
            if (!query.eof())
                targets.insert(taskId, query.text("TargetDir"));
        }
    });

    ChangeNotifier notifier;
    notifier.setWarningHandler(
        [this](const QString& text) { Synchronize([&] { m_host.watcherWarning(text); }); });
    QHash<int, QString> treeTask;
    for (const WatchPair& pair : pairs) {
        const int tree = notifier.addTree(QFile::encodeName(pair.folder));
        if (tree < 0)
            continue;
        treeTask.insert(tree, pair.taskId);
        const QString target = targets.value(pair.taskId);
        if (!target.isEmpty() && isAtOrBelow(target, pair.folder))
            notifier.setIgnoredSubtree(tree, QFile::encodeName(QDir::cleanPath(target)));
    }

    while (!Terminated()) {
        const QList<int> changed = notifier.wait(kPassMs);
        QStringList started;
        for (int tree : changed) {
            const QString taskId = treeTask.value(tree);
            if (taskId.isEmpty() || started.contains(taskId))
                continue;
            if (Terminated())
                break;
            started << taskId;
            Synchronize([&] { m_host.startTaskIfIdle(taskId); });
            if (!SleepUnlessTerminated(500))
                break;
        }
    }
}

void TMonitorDirThread::AfterExecute()
{
    const QString error = failure();
    Synchronize([&] { m_host.watcherEnded(this, error); });
}

} // namespace tarnwick
