// SPDX-License-Identifier: GPL-3.0-or-later
// The copies a run has under way side by side, oldest first, each with the
// lines the walk wrote after it. A line goes out at once while no copy is
// under way, else behind the copies before it, and a copy's own lines go
// out when it has ended, in its turn: the log keeps the walk's order
// whichever copy ends first, and the first error and the error count are
// taken as lines go out, so both follow walk order too.
#pragma once

#include "engine/CopyPool.h"
#include "engine/MirrorTypes.h"

#include <QString>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tarnwick {

class OrderedCopies
{
public:
    // A line and, for an error line, its first-error text.
    struct Line
    {
        LogKind kind;
        QString text;
        QString error;
    };
    struct Pending
    {
        std::shared_ptr<CopyPool::Job> job;
        LogKind kind;
        QString decision; // the decision line, when the walk decided
        QString path;     // the source file, as shown
        QString shown;    // for the progress hook; empty without one
        std::vector<Line> after{};
    };
    // Sends one line out.
    using Send = std::function<void(const Line& line)>;
    // Tells and counts an ended copy (its own lines go out through Send).
    using Ended = std::function<void(const Pending& copy)>;

    explicit OrderedCopies(Send send) : m_send(std::move(send)) {}

    bool empty() const { return m_pending.empty(); }
    std::size_t size() const { return m_pending.size(); }

    // Sends `line` now, or holds it behind the newest copy under way.
    void sendOrHold(Line line);
    // A copy handed to the pool, newest of all.
    void add(Pending pending) { m_pending.push_back(std::move(pending)); }

    enum class Settle
    {
        Ended,  // those that have ended, and more while over `bound` are under way
        Oldest, // at least the oldest, waiting for it
        All     // every one, waiting for each
    };
    // Lets the copies out in walk order as `how` says: `ended` for each,
    // then the lines held behind it.
    void settle(CopyPool& pool, Settle how, std::size_t bound, const Ended& ended);

private:
    Send m_send;
    std::deque<Pending> m_pending;
};

} // namespace tarnwick
