// SPDX-License-Identifier: GPL-3.0-or-later
// Task runner. Lines of switched-off kinds never leave the worker; the
// others are queued and delivered by the user-interface thread in batches of
// whatever has gathered: a line after a quiet spell as soon as that thread
// gets to it, lines that come thick and fast every kDeliveryGapMs, and all
// of them before every step that changes what the user sees. So the log
// never lags the run by more than kMaxPendingLines nor by more than a moment.
#include "engine/TMyThread.h"

#include "engine/RunningTaskList.h"
#include "engine/TaskRun.h"
#include "platform/ProgramFolder.h"
#include "platform/SoundPlayer.h"
#include "store/TaskDatabase.h"

namespace tarnwick {

TMyThread::TMyThread(bool createSuspended, QString taskId, RunHost& host, const Clock& clock)
    : TThread(createSuspended), m_settings(ReadRunnerSettings()), m_gate(m_settings),
      m_taskId(std::move(taskId)), m_host(host), m_clock(clock), m_logFile(m_settings.logFileName)
{
    SetFreeOnTerminate(true);
    SetPriority(m_settings.priority);
    m_deliveryTimer.setSingleShot(true);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &TMyThread::deliverLines);
    m_progressTimer.setSingleShot(true);
    connect(&m_progressTimer, &QTimer::timeout, this, &TMyThread::deliverProgress);
    m_progressClock.start();
    // The walk asks once; it asks again only after the board was read.
    m_progress.setChanged([this] {
        QMetaObject::invokeMethod(this, &TMyThread::progressSoon, Qt::QueuedConnection);
    });
    m_host.runCreated(this);
}

void TMyThread::emitLine(LogKind kind, const QString& text)
{
    const bool shown = m_gate.isOn(kind);
    std::unique_lock lock(m_linesMutex, std::defer_lock);
    if (shown) {
        lock.lock();
        m_linesRoom.wait(lock, [this] { return m_inFlight < kMaxPendingLines; });
    }
    if (m_echo)
        m_echo(kind, text, m_gate.colour(kind));
    if (!shown)
        return;
    m_pending.append({kind, text, m_gate.colour(kind)});
    ++m_inFlight;
    if (!m_deliveryAsked) {
        m_deliveryAsked = true;
        QMetaObject::invokeMethod(this, &TMyThread::deliverSoon, Qt::QueuedConnection);
    }
}

void TMyThread::deliverSoon()
{
    const qint64 wait = m_sinceDelivery.isValid() ? kDeliveryGapMs - m_sinceDelivery.elapsed() : 0;
    if (wait <= 0)
        deliverLines();
    else if (!m_deliveryTimer.isActive())
        m_deliveryTimer.start(static_cast<int>(wait));
}

void TMyThread::deliverLines()
{
    m_deliveryTimer.stop();
    m_sinceDelivery.start();
    QList<ShownLine> lines;
    {
        std::lock_guard lock(m_linesMutex);
        lines = std::exchange(m_pending, {});
        m_deliveryAsked = false;
    }
    if (!lines.isEmpty())
        m_host.appendLogLines(m_logFile, lines);
    {
        std::lock_guard lock(m_linesMutex);
        m_inFlight -= static_cast<int>(lines.size());
        m_logLost = m_logFile.lost();
    }
    m_linesRoom.notify_all();
}

void TMyThread::progressSoon()
{
    if (m_progressEnded)
        return;
    const qint64 wait = m_progressPace.waitMs(m_progressClock.elapsed());
    if (wait <= 0)
        deliverProgress();
    else if (!m_progressTimer.isActive())
        m_progressTimer.start(static_cast<int>(wait));
}

void TMyThread::deliverProgress()
{
    if (m_progressEnded)
        return;
    RunProgress reading;
    if (!m_progress.tryRead(reading)) {
        // The walk is at a copy's start or end this instant: soon over.
        m_progressTimer.start(1);
        return;
    }
    m_host.runProgress(this, m_progressPace.take(std::move(reading), m_progressClock.elapsed()));
}

void TMyThread::flushLines()
{
    {
        std::lock_guard lock(m_linesMutex);
        if (m_inFlight == 0)
            return;
    }
    // Delivered in order: what an earlier delivery has taken is handed over
    // before this step runs on the same thread.
    Synchronize([this] { deliverLines(); });
}

void TMyThread::Execute()
{
    if (Terminated())
        return;

    // The task database lives on the user-interface thread, which must not
    // wait for another program holding it: a step meets such a database at
    // once, and the run waits for it here, on its own thread.
    TaskRunHooks hooks;
    hooks.withStore = [this](const std::function<void(TaskDatabase&)>& step) {
        Synchronize([&] {
            const NoBusyWait quick(m_host.runDatabase());
            step(m_host.runDatabase());
        });
    };
    hooks.sink = [this](LogKind kind, const QString& text) { emitLine(kind, text); };
    hooks.walkEnded = [this] { flushLines(); };
    hooks.timesChanged = [this](const QString& startText, const QString& nextText) {
        Synchronize([&] { m_host.taskTimesChanged(m_taskId, startText, nextText); });
    };
    hooks.logLost = [this] {
        flushLines();
        std::lock_guard lock(m_linesMutex);
        return m_logLost;
    };

    MirrorOptions options;
    options.progress = [this](const QString& path, quint64 size, bool done, bool copied) {
        if (done)
            m_progress.copyEnded(size, copied);
        else
            m_progress.copyStarted(path, size);
    };
    options.looked = [this](quint64 files) { m_progress.looked(files); };
    options.advance = [this](quint64 bytes) { m_progress.copyAdvanced(bytes); };
    // A run of the task by tarnwick-cli is waited for.
    options.runLockFolder = DataFolder();
    options.expectedTargetMount = m_expectedTargetMount;
    options.scope = m_scope;
    const TaskRunOutcome outcome = RunTask(m_taskId, hooks, control(), m_clock, options);
    m_result = outcome.result;
    m_record = outcome.record;

    if (m_settings.showDlg)
        Synchronize([&] { m_host.showFinishedMessage(m_taskId); });
    // The sound plays on the run's own thread: the run waits for it, the
    // user-interface thread does not.
    if (m_settings.playSound)
        SoundPlayer::playToEnd(m_settings.soundFile);
}

void TMyThread::AfterExecute()
{
    // Lines emitted before a failure still reach the log.
    try {
        flushLines();
    } catch (...) {
    }
    const QString error = failure();
    Synchronize([&] {
        m_progressEnded = true;
        m_progressTimer.stop();
        m_host.runningTasks().RemoveThread(this);
        m_host.runEnded(this, error);
    });
}

} // namespace tarnwick
