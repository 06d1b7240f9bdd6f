// Worker threads over QThread. Priorities map onto nice values and
// SCHED_IDLE; raising above normal needs privileges, and where the system
// refuses the thread simply keeps its priority.
#include "platform/TThread.h"

#include <QCoreApplication>

#include <exception>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnwick {

namespace {

void setIdleIoClass()
{
    // ioprio_set(IOPRIO_WHO_PROCESS, this thread, IOPRIO_CLASS_IDLE)
    constexpr int kWhoProcess = 1;
    constexpr int kClassIdle = 3;
    constexpr int kClassShift = 13;
    syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift);
}

} // namespace

TThread::TThread(bool createSuspended, QObject* parent)
    : QThread(parent), m_createdSuspended(createSuspended)
{
    connect(this, &QThread::finished, this, [this] {
        if (m_freeOnTerminate)
            deleteLater();
    });
}

TThread::~TThread()
{
    if (isRunning()) {
        Terminate();
        wait();
    }
}

void TThread::Start()
{
    if (!m_started) {
        m_started = true;
        start();
    }
}

void TThread::Suspend()
{
    m_control.pause();
}

void TThread::Resume()
{
    m_control.resume();
    if (m_createdSuspended && !m_started)
        Start();
}

bool TThread::Suspended() const
{
    return (m_createdSuspended && !m_started) || m_control.paused();
}

void TThread::Synchronize(const std::function<void()>& step)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        step();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        app,
        [&] {
            try {
                step();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void TThread::applyPriority()
{
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    int nice = 0;
    switch (m_priority) {
    case ThreadPriority::Idle: {
        sched_param param{};
        sched_setscheduler(tid, SCHED_IDLE, &param);
        setIdleIoClass();
        return;
    }
    case ThreadPriority::Lowest:
        nice = 10;
        break;
    case ThreadPriority::Lower:
        nice = 5;
        break;
    case ThreadPriority::Normal:
        nice = 0;
        break;
    case ThreadPriority::Higher:
        nice = -5;
        break;
    case ThreadPriority::Highest:
        nice = -10;
        break;
    case ThreadPriority::RealTime:
        nice = -20;
        break;
    }
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

void TThread::run()
{
    applyPriority();
    try {
        Execute();
    } catch (const std::exception& e) {
        m_failure = QString::fromStdString(e.what());
    } catch (...) {
        m_failure = QStringLiteral("unknown error");
    }
    try {
        AfterExecute();
    } catch (...) {
    }
}

} // namespace tarnwick
