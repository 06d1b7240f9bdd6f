// SPDX-License-Identifier: GPL-3.0-or-later
// A thread whose body does nothing: it stands in a running-list entry.
#pragma once

#include "platform/TThread.h"

class IdleThread : public tarnwick::TThread
{
public:
    IdleThread() : TThread(true) {}
    // The body must not outlive the object that provides it.
    ~IdleThread() override { wait(); }

protected:
    void Execute() override {}
};
