// SPDX-License-Identifier: GPL-3.0-or-later
// Worker threads over QThread.
#include "platform/TThread.h"

#include <QCoreApplication>

#include <exception>

namespace tarnwick {

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

bool TThread::SleepUnlessTerminated(int msecs)
{
    constexpr int kSliceMs = 50;
    for (int slept = 0; slept < msecs && !Terminated(); slept += kSliceMs)
        msleep(static_cast<unsigned long>(qMin(kSliceMs, msecs - slept)));
    return !Terminated();
}

void TThread::run()
{
    ApplyThreadPriority(m_priority);
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
