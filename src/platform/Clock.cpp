// SPDX-License-Identifier: GPL-3.0-or-later
// System clock and the replaceable default.
#include "platform/Clock.h"

#include <atomic>

namespace tarnwick {

namespace {
const Clock g_systemClock;
std::atomic<const Clock*> g_current{&g_systemClock};
} // namespace

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 Clock::secondsSinceEpoch() const
{
    return QDateTime::currentSecsSinceEpoch();
}

const Clock& Clock::system()
{
    return *g_current.load();
}

void Clock::setSystem(const Clock* clock)
{
    g_current.store(clock ? clock : &g_systemClock);
}

} // namespace tarnwick
