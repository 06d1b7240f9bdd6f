// Schedule checker loop. It sleeps to the next whole second rather than a
// fixed second, and the due test covers every second since the last pass,
// so a slow pass never skips an entry.
#include "schedule/TCheckThread.h"

#include "schedule/ScheduleChecker.h"
#include "schedule/WatcherHost.h"

namespace tarnwick {

TCheckThread::TCheckThread(WatcherHost& host, const Clock& clock)
    : TThread(false), m_host(host), m_clock(clock)
{
    SetFreeOnTerminate(true);
    SetPriority(ThreadPriority::Lowest);
    // The thread carries this name, so a look at the process's threads
    // shows how many watchers are alive.
    setObjectName(QStringLiteral("TCheckThread"));
}

void TCheckThread::Execute()
{
    ScheduleChecker checker(m_clock.now());
    while (!Terminated()) {
        QList<CheckEntry> entries;
        Synchronize([&] { entries = LoadCheckEntries(m_host.watcherDatabase()); });
        const QDateTime now = m_clock.now();
        for (const CheckEntry& entry : checker.dueEntries(entries, now)) {
            if (Terminated())
                break;
            bool started = false;
            Synchronize([&] { started = m_host.startTaskIfIdle(entry.taskId); });
            if (started)
                checker.started(entry, now.date());
        }
        // Sleep to just past the next whole second.
        const int msecs = 1000 - m_clock.now().time().msec() + 5;
        SleepUnlessTerminated(msecs);
    }
}

void TCheckThread::AfterExecute()
{
    const QString error = failure();
    Synchronize([&] { m_host.watcherEnded(this, error); });
}

} // namespace tarnwick
