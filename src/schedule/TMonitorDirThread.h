// SPDX-License-Identifier: GPL-3.0-or-later
// The source change monitor thread: watches the source folders of every
// task that runs on change, all at once, and starts a task's run when
// something changes below one of its folders.
#pragma once

#include <atomic>

#include "platform/TThread.h"

namespace tarnwick {

class WatcherHost;

class TMonitorDirThread : public TThread
{
    Q_OBJECT

public:
    explicit TMonitorDirThread(WatcherHost& host);

    // Milliseconds one pass waits for a change.
    static constexpr int kPassMs = 500;

    // Replaced by a new monitor that is not watching yet: this one goes on
    // hearing changes but leaves them to the new one to serve, starting
    // nothing on the tasks it read before the change. Any thread.
    void retire() { m_retired = true; }

protected:
    void Execute() override;
    void AfterExecute() override;

private:
    WatcherHost& m_host;
    std::atomic<bool> m_retired{false};
};

} // namespace tarnwick
