// SPDX-License-Identifier: GPL-3.0-or-later
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
    // The checker's memory of date entries is the host's and lives on the
    // user-interface thread: every look at it happens inside a hand-over.
    QSet<QString>* startedByDate = nullptr;
    Synchronize([&] { startedByDate = &m_host.startedByDate(); });
    ScheduleChecker checker(m_clock.now(), startedByDate);
    while (!Terminated()) {
        const QDateTime now = m_clock.now();
        QList<CheckEntry> due;
        Synchronize([&] {
            QStringList unreadable;
            due = checker.dueEntries(LoadCheckEntries(m_host.watcherDatabase(), &unreadable), now);
            for (const QString& text : std::as_const(unreadable))
                m_host.watcherWarning(text);
        });
        for (const CheckEntry& entry : std::as_const(due)) {
            if (Terminated())
                break;
            Synchronize([&] {
                switch (m_host.startTaskIfIdle(entry.taskId)) {
                case WatcherHost::StartResult::Started:
                    checker.started(entry, now.date());
                    break;
                case WatcherHost::StartResult::Refused:
                    checker.refused(entry);
                    break;
                case WatcherHost::StartResult::AlreadyRunning:
                    break;
                }
            });
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
