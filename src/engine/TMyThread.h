// SPDX-License-Identifier: GPL-3.0-or-later
// The thread that carries one run of one task: it copies the settings at
// its creation, runs the folder mirror on its own thread, hands the lines
// of switched-on kinds to the user-interface thread in order, advances the
// schedule after the walk, and finally leaves the running-task list.
#pragma once

#include "engine/LogFile.h"
#include "engine/LogGate.h"
#include "engine/MirrorTypes.h"
#include "engine/RunHost.h"
#include "engine/RunProgress.h"
#include "platform/Clock.h"
#include "platform/TThread.h"
#include "store/RunHistory.h"
#include "store/Settings.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace tarnwick {

class TMyThread : public TThread
{
    Q_OBJECT

public:
    // Reads the settings (on the calling, user-interface thread) and sets
    // the priority. Throws what the settings read throws: the run is then
    // not created. The host's run controls go to their running state.
    TMyThread(bool createSuspended, QString taskId, RunHost& host,
              const Clock& clock = Clock::system());

    const QString& taskId() const { return m_taskId; }
    const RunnerSettings& settings() const { return m_settings; }
    // Before Start(): the run was started because a drive was mounted at
    // `mountPoint` (MirrorOptions::expectedTargetMount).
    void setExpectedTargetMount(const QString& mountPoint) { m_expectedTargetMount = mountPoint; }
    // Before Start(): what the run may look at (MirrorOptions::scope).
    void setChangeScope(std::shared_ptr<const ChangeScope> scope) { m_scope = std::move(scope); }
    const MirrorResult& result() const { return m_result; }
    // The run's history row, once it has ended (an empty task ID before,
    // and after a run that failed outright).
    const RunRecord& record() const { return m_record; }

    // Called on the run's own thread for every line, whatever the switches
    // (the daemon prints them all). Set before the run starts.
    void setEcho(std::function<void(LogKind, const QString&, quint32 colour)> echo)
    {
        m_echo = std::move(echo);
    }

    // Most lines a run may have emitted before they reach the user-interface
    // thread; a run that gets further ahead waits for it. Room for what a
    // quick run emits while the window is busy for a few tens of
    // milliseconds (showing the log view's gathered lines, say).
    static constexpr int kMaxPendingLines = 4096;
    // Hand-overs follow one another at least this far apart, so that each
    // carries the lines of that time rather than the one or two that came
    // since the last: every hand-over appends to the log file on its own.
    static constexpr int kDeliveryGapMs = 5;

protected:
    void Execute() override;
    void AfterExecute() override;

private:
    void emitLine(LogKind kind, const QString& text);
    // On the user-interface thread: hands the waiting lines to the host now,
    // or once kDeliveryGapMs have passed since the last hand-over.
    void deliverSoon();
    // On the user-interface thread: hands the waiting lines to the host.
    void deliverLines();
    // On the run's thread: returns once every line emitted so far has
    // reached the host.
    void flushLines();
    // On the user-interface thread: hands the run's progress to the host
    // now, or once ProgressPace allows.
    void progressSoon();
    void deliverProgress();

    RunnerSettings m_settings;
    LogGate m_gate;
    QString m_taskId;
    RunHost& m_host;
    const Clock& m_clock;
    std::function<void(LogKind, const QString&, quint32 colour)> m_echo;
    // Lines on their way to the host. The run adds them and asks the
    // user-interface thread to deliver them without waiting for it, so a
    // line is shown and logged at once even when the run then spends
    // minutes on one copy or stays paused.
    std::mutex m_linesMutex;
    std::condition_variable m_linesRoom;
    QList<ShownLine> m_pending;
    int m_inFlight = 0; // added and not yet delivered
    bool m_deliveryAsked = false;
    // On the user-interface thread: when the last hand-over was, and the
    // clock of the next one.
    QElapsedTimer m_sinceDelivery;
    QTimer m_deliveryTimer;
    LogFile m_logFile;      // used on the user-interface thread only
    bool m_logLost = false; // under m_linesMutex
    QString m_expectedTargetMount;
    std::shared_ptr<const ChangeScope> m_scope;
    // The run's progress: written by the walk, read by the user-interface
    // thread, which sets the pace on its own clock. No hand-over follows
    // the run's end.
    ProgressBoard m_progress;
    ProgressPace m_progressPace;
    QElapsedTimer m_progressClock;
    QTimer m_progressTimer;
    bool m_progressEnded = false;
    MirrorResult m_result;
    RunRecord m_record;
};

} // namespace tarnwick
