// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule checker and change monitor threads of a running process, as
// the kernel lists them: each thread carries its class's name (cut at 15
// bytes), so a test can tell which watchers are alive, and whether they are
// the ones that ran before a restart, without asking the program.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

struct WatcherThreads
{
    QSet<qint64> checkers; // thread ids
    QSet<qint64> monitors;

    static WatcherThreads of(qint64 pid)
    {
        WatcherThreads threads;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
            if (!comm.open(QIODevice::ReadOnly))
                continue;
            const QByteArray name = comm.readAll().trimmed();
            if (name == "TCheckThread")
                threads.checkers.insert(task.toLongLong());
            else if (name == "TMonitorDirThre")
                threads.monitors.insert(task.toLongLong());
        }
        return threads;
    }

    // Exactly one checker and one monitor run, and neither of them is one
    // of `before`: a restart is over and every old watcher has ended.
    bool onlyOneNewPairSince(const WatcherThreads& before) const
    {
        return checkers.size() == 1 && monitors.size() == 1 &&
               !before.checkers.contains(*checkers.cbegin()) &&
               !before.monitors.contains(*monitors.cbegin());
    }
};
