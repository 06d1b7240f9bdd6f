// SPDX-License-Identifier: GPL-3.0-or-later
// Ticker on a standard thread: it touches nothing of Qt's.
#include "platform/Ticker.h"

#include <chrono>

namespace tarnwick {

Ticker::Ticker(int intervalMs, std::function<void()> tick)
{
    m_thread = std::thread([this, intervalMs, tick = std::move(tick)] {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs),
                                [this] { return m_stop; })) {
            lock.unlock();
            tick();
            lock.lock();
        }
    });
}

Ticker::~Ticker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

} // namespace tarnwick
