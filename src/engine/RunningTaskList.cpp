// SPDX-License-Identifier: GPL-3.0-or-later
// Running-task list.
#include "engine/RunningTaskList.h"

#include "platform/TThread.h"

namespace tarnwick {

bool RunningTaskList::IsRunning(const QString& taskId) const
{
    return FindFirst(taskId) != nullptr;
}

const RunningTaskList::Entry* RunningTaskList::FindFirst(const QString& taskId) const
{
    for (const Entry& entry : m_entries) {
        if (entry.taskId == taskId)
            return &entry;
    }
    return nullptr;
}

void RunningTaskList::AddEntry(const QString& taskId, TThread* thread, bool startedByHand)
{
    m_entries.append({taskId, thread, startedByHand});
    emit countChanged(count());
}

void RunningTaskList::removeAt(qsizetype index)
{
    m_entries.removeAt(index);
    emit countChanged(count());
}

void RunningTaskList::RemoveFirst(const QString& taskId)
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].taskId == taskId) {
            removeAt(i);
            return;
        }
    }
}

void RunningTaskList::RemoveThread(const TThread* thread)
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].thread == thread) {
            removeAt(i);
            return;
        }
    }
}

void RunningTaskList::StopAll()
{
    // A suspended run that is only told to stop would never reach a stop
    // check and never write its summary; Terminate releases the pause gate.
    const QList<Entry> entries = m_entries;
    m_entries.clear();
    for (const Entry& entry : entries) {
        if (entry.thread)
            entry.thread->Terminate();
    }
    emit countChanged(0);
}

TThread* RunningTaskList::StartIfIdle(const QString& taskId, const std::function<TThread*()>& start)
{
    if (IsRunning(taskId))
        return nullptr;
    TThread* thread = start();
    if (thread)
        AddEntry(taskId, thread, false);
    return thread;
}

RunningTaskList::RunOutcome RunningTaskList::RunOrResume(const QString& taskId,
                                                         const std::function<TThread*()>& make)
{
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.taskId == taskId && entry.thread && entry.thread->Suspended()) {
            entry.thread->Resume();
            emit countChanged(count());
            return RunOutcome::Resumed;
        }
    }
    if (IsRunning(taskId))
        return RunOutcome::AlreadyRunning;
    TThread* thread = make();
    if (!thread)
        return RunOutcome::NotCreated;
    AddEntry(taskId, thread, true);
    thread->Resume();
    return RunOutcome::Started;
}

bool RunningTaskList::SuspendFirst(const QString& taskId)
{
    const Entry* entry = FindFirst(taskId);
    if (!entry || !entry->thread || entry->thread->Suspended())
        return false;
    entry->thread->Suspend();
    emit countChanged(count());
    return true;
}

bool RunningTaskList::StopFirst(const QString& taskId)
{
    const Entry* entry = FindFirst(taskId);
    if (!entry)
        return false;
    if (TThread* thread = entry->thread) {
        // The stop request comes first: a run not started yet then starts
        // only to end at once, and a paused one is released into its stop.
        thread->Terminate();
        thread->Resume();
    }
    RemoveFirst(taskId);
    return true;
}

} // namespace tarnwick
