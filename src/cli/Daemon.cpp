// Daemon host. All database work and every run start happen here, on the
// main thread, one step at a time; the worker threads wait for their steps.
#include "cli/Daemon.h"

#include "cli/CliCommand.h"
#include "engine/LogFile.h"
#include "engine/TMyThread.h"
#include "schedule/ScheduleRules.h"
#include "schedule/TCheckThread.h"
#include "schedule/TMonitorDirThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <stdexcept>

namespace tarnwick::cli {

namespace {
constexpr int kWatcherStartDelayMs = 1000;
constexpr int kRestartPauseMs = 500;
} // namespace

Daemon::Daemon(TaskDatabase& db, std::function<void(LogKind, const QString&, quint32 colour)> echo,
               const Clock& clock)
    : m_db(db), m_echo(std::move(echo)), m_clock(clock)
{
}

Daemon::~Daemon() = default;

void Daemon::start()
{
    RecomputeOnStartup(m_db, m_clock);
    QTimer::singleShot(kWatcherStartDelayMs, this, [this] {
        if (!m_shuttingDown)
            startWatchers();
    });
}

void Daemon::startWatchers()
{
    auto* checker = new TCheckThread(*this, m_clock);
    auto* monitor = new TMonitorDirThread(*this);
    m_checker = checker;
    m_monitor = monitor;
    m_threads << QPointer<TThread>(checker) << QPointer<TThread>(monitor);
    checker->Start();
    monitor->Start();
}

void Daemon::stopWatchers()
{
    if (m_checker)
        m_checker->Terminate();
    if (m_monitor)
        m_monitor->Terminate();
    m_checker.clear();
    m_monitor.clear();
}

void Daemon::RestartWatchers()
{
    if (m_shuttingDown)
        return;
    stopWatchers();
    QTimer::singleShot(kRestartPauseMs, this, [this] {
        if (!m_shuttingDown)
            startWatchers();
    });
}

void Daemon::shutdown(int timeoutMs, std::function<void()> done)
{
    m_shuttingDown = true;
    stopWatchers();
    m_running.StopAll();

    auto* poll = new QTimer(this);
    auto* deadline = new QElapsedTimer;
    deadline->start();
    connect(poll, &QTimer::timeout, this, [this, poll, deadline, timeoutMs, done] {
        m_threads.removeAll(QPointer<TThread>());
        bool alive = false;
        for (const QPointer<TThread>& thread : std::as_const(m_threads))
            alive = alive || (thread && !thread->isFinished());
        if (alive && deadline->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete deadline;
        done();
    });
    poll->start(20);
}

void Daemon::runCreated(TMyThread* run)
{
    run->setEcho(m_echo);
    m_threads << QPointer<TThread>(run);
}

void Daemon::appendLogLines(const QString& logFileName, const QList<ShownLine>& lines)
{
    LogFile file(logFileName);
    for (const ShownLine& line : lines)
        file.add(line.text);
    file.flush();
}

void Daemon::runEnded(TMyThread* run, const QString& failure)
{
    if (!failure.isEmpty())
        Print(stderr, QStringLiteral("tarnwick-cli daemon: the run of task %1 stopped: %2\n")
                          .arg(run->taskId(), failure));
}

bool Daemon::startTaskIfIdle(const QString& taskId)
{
    if (m_shuttingDown)
        return false;
    TThread* started = m_running.StartIfIdle(taskId, [&]() -> TThread* {
        try {
            return new TMyThread(false, taskId, *this, m_clock);
        } catch (const std::exception& e) {
            // The settings could not be read: the run is not created.
            Print(
                stderr,
                QStringLiteral("tarnwick-cli daemon: %1\n").arg(QString::fromStdString(e.what())));
            return nullptr;
        }
    });
    if (!started)
        return false;
    started->Start();
    return true;
}

} // namespace tarnwick::cli
