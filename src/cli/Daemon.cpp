// SPDX-License-Identifier: GPL-3.0-or-later
// Daemon: the coordinator's reports on the terminal.
#include "cli/Daemon.h"

#include "cli/CliCommand.h"
#include "store/ScheduleRules.h"

namespace tarnwick::cli {

Daemon::Daemon(TaskDatabase& db, RunCoordinator::Echo echo, const Clock& clock)
    : m_db(db), m_clock(clock), m_coordinator(db, clock)
{
    m_coordinator.setEcho(std::move(echo));
    connect(&m_coordinator, &RunCoordinator::problem, this, [](const QString& text) {
        Print(stderr, QStringLiteral("tarnwick-cli daemon: %1\n").arg(text));
    });
    connect(&m_coordinator, &RunCoordinator::runFinished, this,
            [](const QString& taskId, const QString& failure) {
                if (!failure.isEmpty())
                    Print(stderr,
                          QStringLiteral("tarnwick-cli daemon: the run of task %1 stopped: %2\n")
                              .arg(taskId, failure));
            });
}

void Daemon::start()
{
    QStringList unreadable;
    RecomputeOnStartup(m_db, m_clock, &unreadable);
    for (const QString& text : std::as_const(unreadable))
        m_coordinator.watcherWarning(text); // told once, also when the checker meets it
    m_coordinator.start();
}

void Daemon::shutdown(std::function<void(bool allEnded)> done)
{
    connect(&m_coordinator, &RunCoordinator::shutdownFinished, this,
            [done = std::move(done)](bool allEnded) { done(allEnded); });
    m_coordinator.shutdown();
}

} // namespace tarnwick::cli
