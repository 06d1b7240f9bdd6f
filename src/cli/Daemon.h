// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler without the window: a terminal owner of the run
// coordinator. Every run's lines go to the terminal as they are made; what
// the window would show in its status bar (a run that could not be made, a
// watcher that stopped, a run cut short) goes to standard error.
#pragma once

#include "schedule/RunCoordinator.h"

#include <QObject>

#include <functional>

namespace tarnwick {
class TaskDatabase;
} // namespace tarnwick

namespace tarnwick::cli {

class Daemon : public QObject
{
    Q_OBJECT

public:
    // `echo` prints one line of a run; it is called from the runs' threads.
    Daemon(TaskDatabase& db, RunCoordinator::Echo echo, const Clock& clock = Clock::system());

    // Moves passed schedule entries forward, then starts the checker and
    // the monitor about a second later.
    void start();
    // Replaces the checker and the monitor so they read the stored tasks anew.
    void RestartWatchers() { m_coordinator.RestartWatchers(); }
    // Stops the watchers and every run and calls `done` once all have ended
    // or the bound has passed (`allEnded` false then).
    void shutdown(std::function<void(bool allEnded)> done);

    RunCoordinator& coordinator() { return m_coordinator; }

private:
    TaskDatabase& m_db;
    const Clock& m_clock;
    RunCoordinator m_coordinator;
};

} // namespace tarnwick::cli
