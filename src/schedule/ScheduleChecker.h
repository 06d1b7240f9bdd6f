// SPDX-License-Identifier: GPL-3.0-or-later
// Which schedule entries are due between two passes of the checker. Every
// whole second from the checker's start is looked at exactly once, however
// long a pass takes; an entry due by date starts its task only once on that
// date while the program runs, whichever checker finds it; and an entry
// whose run could not be made stays due until its run starts.
#pragma once

#include "store/ScheduleRules.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tarnwick {

// The entries come from the store (CheckEntry, LoadCheckEntries).
class ScheduleChecker
{
public:
    // Seconds before the one of `startedAt` are not looked at: they passed
    // before the checker existed. `startedByDate`,
    // when given, is the memory of date entries already started, kept by
    // the owner across checkers; else the checker keeps its own.
    explicit ScheduleChecker(const QDateTime& startedAt, QSet<QString>* startedByDate = nullptr);

    // The entries due in the seconds after the last pass up to and
    // including `now`, in table order, then the refused ones still stored
    // unchanged. Call `started` for those whose run was started, so a date
    // entry is not started again that day, and `refused` for those whose
    // run could not be made, so they are tried again at the next pass.
    QList<CheckEntry> dueEntries(const QList<CheckEntry>& entries, const QDateTime& now);
    void started(const CheckEntry& entry, const QDate& on);
    void refused(const CheckEntry& entry);

    QDateTime lastSecond() const { return m_last; }

private:
    QDateTime m_last;
    QSet<QString> m_ownStartedByDate;
    QSet<QString>* m_startedByDate;
    QList<CheckEntry> m_refused;
};

} // namespace tarnwick
