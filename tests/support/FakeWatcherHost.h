// SPDX-License-Identifier: GPL-3.0-or-later
// A user-interface side for the checker and the monitor that records which
// tasks they asked to start. A started task stays "running" until the test
// says it ended, so a second start of it is refused as the real list would.
#pragma once

#include "schedule/WatcherHost.h"
#include "store/TaskDatabase.h"

#include <QSet>
#include <QStringList>

class FakeWatcherHost : public tarnwick::WatcherHost
{
public:
    tarnwick::TaskDatabase db;
    QStringList asked;   // every start request, in order
    QStringList started; // the requests that started a run
    QSet<QString> running;

    tarnwick::TaskDatabase& watcherDatabase() override { return db; }
    QSet<QString> refused; // tasks whose runs cannot be made
    bool runsEndAtOnce = false; // a started task is not left running
    QSet<QString> dateMemory;

    StartResult startTaskIfIdle(const QString& taskId) override
    {
        asked << taskId;
        if (running.contains(taskId))
            return StartResult::AlreadyRunning;
        if (refused.contains(taskId))
            return StartResult::Refused;
        if (!runsEndAtOnce)
            running.insert(taskId);
        started << taskId;
        return StartResult::Started;
    }
    QSet<QString>& startedByDate() override { return dateMemory; }
    QStringList pending;
    QStringList& pendingChanges() override { return pending; }
    void watcherEnded(tarnwick::TThread*, const QString& failure) override { failures << failure; }
    void watcherWarning(const QString& text) override { warnings << text; }
    QStringList failures; // one per watcher that ended, empty when it ended normally
    QStringList warnings;
    // The monitors that said they watch every folder they were given, in order.
    QList<tarnwick::TThread*> watching;
    void monitorWatching(tarnwick::TThread* monitor) override { watching << monitor; }
};
