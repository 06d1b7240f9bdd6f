// SPDX-License-Identifier: GPL-3.0-or-later
// Calls a function every few milliseconds on a thread of its own until it is
// destroyed. For work that must happen in time although the thread that
// makes it is busy elsewhere (a long copy, a pause): the run of
// `tarnwick-cli run` has no event loop to fire a timer.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tarnwick {

class Ticker
{
public:
    Ticker(int intervalMs, std::function<void()> tick);
    // Stops the ticks; a tick under way finishes first.
    ~Ticker();
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace tarnwick
