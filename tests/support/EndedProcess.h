// SPDX-License-Identifier: GPL-3.0-or-later
// The ID of a process that has ended, for tests of what is done with the
// leftovers of a process that is gone.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

inline pid_t EndedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}
