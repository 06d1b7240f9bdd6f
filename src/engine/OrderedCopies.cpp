// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/OrderedCopies.h"

namespace tarnwick {

void OrderedCopies::sendOrHold(Line line)
{
    if (m_pending.empty())
        m_send(line);
    else
        m_pending.back().after.push_back(std::move(line));
}

void OrderedCopies::settle(CopyPool& pool, Settle how, std::size_t bound, const Ended& ended)
{
    bool settledOne = false;
    while (!m_pending.empty()) {
        Pending& front = m_pending.front();
        const bool wait = how == Settle::All || m_pending.size() > bound ||
                          (how == Settle::Oldest && !settledOne);
        if (!wait && !pool.ended(*front.job))
            break;
        pool.wait(*front.job);
        settledOne = true;
        // Its own lines first, then those written after it: all of them
        // before the next copy was handed over, so before that copy's end.
        const Pending copy = std::move(front);
        m_pending.pop_front();
        ended(copy);
        for (const Line& line : copy.after)
            m_send(line);
    }
}

} // namespace tarnwick
