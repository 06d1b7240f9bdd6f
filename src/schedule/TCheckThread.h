// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule checker thread: about once a second it loads every schedule
// entry through the user-interface thread and starts the tasks whose
// entries are due. It never writes to the task database; runs move their
// own entries on.
#pragma once

#include "platform/Clock.h"
#include "platform/TThread.h"

namespace tarnwick {

class WatcherHost;

class TCheckThread : public TThread
{
    Q_OBJECT

public:
    explicit TCheckThread(WatcherHost& host, const Clock& clock = Clock::system());

protected:
    void Execute() override;
    void AfterExecute() override;

private:
    WatcherHost& m_host;
    const Clock& m_clock;
};

} // namespace tarnwick
