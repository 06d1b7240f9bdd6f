// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread class every background thread derives from: a thin
// layer over QThread with a stop request, a pause gate, free-on-terminate,
// a priority, and Synchronize, which runs a step on the user-interface
// thread and waits for it. Background threads reach windows and the task
// database only through Synchronize.
#pragma once

#include "platform/RunControl.h"
#include "platform/ThreadPriority.h"

#include <QThread>

#include <functional>

namespace tarnwick {

class TThread : public QThread
{
    Q_OBJECT

public:
    // A thread created suspended starts at its first Resume; otherwise
    // call Start once construction is complete.
    explicit TThread(bool createSuspended, QObject* parent = nullptr);
    ~TThread() override;

    void Start();

    // Sets the stop request; a paused thread is released so it can end.
    void Terminate() { m_control.requestStop(); }
    bool Terminated() const { return m_control.stopRequested(); }

    // Pause gate: the body waits at its next stop check or copy chunk.
    void Suspend();
    void Resume();
    bool Suspended() const;

    // Deletes the object on the user-interface thread after the body returns.
    void SetFreeOnTerminate(bool on) { m_freeOnTerminate = on; }
    void SetPriority(ThreadPriority priority) { m_priority = priority; }
    ThreadPriority Priority() const { return m_priority; }

    RunControl& control() { return m_control; }

    // Runs `step` on the user-interface thread and waits until it has
    // returned; runs it at once when already there (or with no application).
    // An exception thrown by the step is carried back to the caller.
    static void Synchronize(const std::function<void()>& step);

    // The message of an exception that ended the body, empty if none.
    QString failure() const { return m_failure; }

protected:
    // The thread body.
    virtual void Execute() = 0;
    // Sleeps up to `msecs`, waking early for a stop request. False when a
    // stop has been requested.
    bool SleepUnlessTerminated(int msecs);
    // Runs on the worker after Execute, even when Execute threw.
    virtual void AfterExecute() {}

private:
    void run() final;

    RunControl m_control;
    bool m_createdSuspended;
    bool m_started = false;
    bool m_freeOnTerminate = false;
    ThreadPriority m_priority = ThreadPriority::Normal;
    QString m_failure;
};

} // namespace tarnwick
