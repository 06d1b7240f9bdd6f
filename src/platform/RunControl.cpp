// SPDX-License-Identifier: GPL-3.0-or-later
// Stop request and pause gate.
#include "platform/RunControl.h"

namespace tarnwick {

void RunControl::requestStop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(true);
    }
    m_wake.notify_all();
}

void RunControl::pause()
{
    std::lock_guard lock(m_mutex);
    m_paused.store(true);
}

void RunControl::resume()
{
    {
        std::lock_guard lock(m_mutex);
        m_paused.store(false);
    }
    m_wake.notify_all();
}

bool RunControl::paused() const
{
    return m_paused.load();
}

bool RunControl::checkpoint()
{
    if (m_paused.load()) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_paused.load() || m_stop.load(); });
    }
    return m_stop.load(std::memory_order_relaxed);
}

} // namespace tarnwick
