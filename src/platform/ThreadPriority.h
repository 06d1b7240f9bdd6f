// SPDX-License-Identifier: GPL-3.0-or-later
// The seven priority levels of a worker thread and how they are given to
// the calling thread: nice values, and SCHED_IDLE with the idle I/O class
// for the lowest. Raising above normal needs privileges; where the system
// refuses, the thread keeps its priority and nothing is reported.
#pragma once

namespace tarnwick {

enum class ThreadPriority
{
    Idle,
    Lowest,
    Lower,
    Normal,
    Higher,
    Highest,
    RealTime
};

void ApplyThreadPriority(ThreadPriority priority);

} // namespace tarnwick
