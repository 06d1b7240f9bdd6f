// SPDX-License-Identifier: GPL-3.0-or-later
// The one record of every run in progress, whoever started it. It lives on
// the user-interface thread; background threads reach it only through
// their hand-over to that thread, so it needs no lock.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace tarnwick {

class TThread;

class RunningTaskList : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QString taskId;
        TThread* thread = nullptr;
        bool startedByHand = false; // shows "running" as its status
    };

    using QObject::QObject;

    bool IsRunning(const QString& taskId) const;
    // The first entry of the task, or nullptr.
    const Entry* FindFirst(const QString& taskId) const;
    void AddEntry(const QString& taskId, TThread* thread, bool startedByHand);
    // Removes the first entry of the task, if any.
    void RemoveFirst(const QString& taskId);
    // Removes the entry that holds this very run, if it is still listed. A
    // run that ends removes its own entry, never a newer run's of the task.
    void RemoveThread(const TThread* thread);
    // Asks every run to stop (a paused run is released so it can finish its
    // summary) and empties the list.
    void StopAll();

    // Tests and starts in one step: when the task has no entry, `start`
    // makes its run (or returns nullptr when it cannot), which is added
    // without the by-hand flag and returned.
    TThread* StartIfIdle(const QString& taskId, const std::function<TThread*()>& start);

    // The Run/Resume command: resumes the first suspended run of the task;
    // else, when the task has no run in progress, makes one with `make`
    // (created suspended), adds it as started by hand and resumes it. A run
    // in progress that is not suspended is left alone: one run per task.
    enum class RunOutcome
    {
        Resumed,
        Started,
        AlreadyRunning,
        NotCreated
    };
    RunOutcome RunOrResume(const QString& taskId, const std::function<TThread*()>& make);
    // The Suspend command: pauses the first run of the task. False when the
    // task has no run or it is already suspended.
    bool SuspendFirst(const QString& taskId);
    // The Stop command: the first run of the task is released if paused,
    // told to stop and its entry removed at once. False without a run.
    bool StopFirst(const QString& taskId);

    const QList<Entry>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }

signals:
    // After every change (an entry added or removed, a run suspended or
    // resumed): the number of entries then, so a shown count reads 0 once
    // the last run has gone and run controls can be recomputed.
    void countChanged(int count);

private:
    void removeAt(qsizetype index);

    QList<Entry> m_entries;
};

} // namespace tarnwick
