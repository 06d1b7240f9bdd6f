// SPDX-License-Identifier: GPL-3.0-or-later
// The one source of "now" for the core. Identifiers, schedules and runs ask
// a Clock, so tests can pin time to a known second.
#pragma once

#include <QDateTime>

#include <utility>

namespace tarnwick {

class Clock
{
public:
    virtual ~Clock() = default;
    // Local date and time, millisecond resolution.
    virtual QDateTime now() const;
    // Whole seconds since 1970-01-01 UTC.
    virtual qint64 secondsSinceEpoch() const;

    // The clock used where none is passed; tests may replace it.
    static const Clock& system();
    static void setSystem(const Clock* clock);
};

// A clock that stands still until told to move.
class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    qint64 secondsSinceEpoch() const override { return m_at.toSecsSinceEpoch(); }
    void set(const QDateTime& at) { m_at = at; }
    void advance(qint64 seconds) { m_at = m_at.addSecs(seconds); }

private:
    QDateTime m_at;
};

} // namespace tarnwick
