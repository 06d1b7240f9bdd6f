// SPDX-License-Identifier: GPL-3.0-or-later
// The stop request and pause gate of one run. The walk asks at each of its
// stop checks and between the chunks of a copy; a paused run waits there,
// holding no lock and no half-written file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace tarnwick {

class RunControl
{
public:
    // Sets the stop request and releases a paused run so it can end.
    void requestStop();
    // Only sets the flag: safe to call from a signal handler.
    void requestStopFromSignal() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }

    void pause();
    void resume();
    bool paused() const;

    // Waits while paused (unless a stop arrives), then tells whether a stop
    // has been requested.
    bool checkpoint();

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
};

} // namespace tarnwick
