// The source change monitor thread: watches the source folders of every
// task that runs on change, all at once, and starts a task's run when
// something changes below one of its folders.
#pragma once

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

protected:
    void Execute() override;
    void AfterExecute() override;

private:
    WatcherHost& m_host;
};

} // namespace tarnwick
