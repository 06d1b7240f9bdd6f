// SPDX-License-Identifier: GPL-3.0-or-later
// Thread priorities on Linux. setpriority with a thread id changes only
// that thread, which is what a per-run priority needs.
#include "platform/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnwick {

namespace {

int NiceValue(ThreadPriority priority)
{
    switch (priority) {
    case ThreadPriority::Idle:
    case ThreadPriority::Lowest:
        return 10;
    case ThreadPriority::Lower:
        return 5;
    case ThreadPriority::Normal:
        return 0;
    case ThreadPriority::Higher:
        return -5;
    case ThreadPriority::Highest:
        return -10;
    case ThreadPriority::RealTime:
        return -20;
    }
    return 0;
}

} // namespace

void ApplyThreadPriority(ThreadPriority priority)
{
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    if (priority == ThreadPriority::Idle) {
        sched_param param{};
        sched_setscheduler(tid, SCHED_IDLE, &param);
        // ioprio_set(IOPRIO_WHO_PROCESS, this thread, IOPRIO_CLASS_IDLE)
        constexpr int kWhoProcess = 1, kClassIdle = 3, kClassShift = 13;
        syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift);
        return;
    }
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceValue(priority));
}

} // namespace tarnwick
