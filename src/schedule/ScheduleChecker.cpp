// SPDX-License-Identifier: GPL-3.0-or-later
// Due test of the schedule checker.
#include "schedule/ScheduleChecker.h"

#include "store/ScheduleRules.h"
#include "store/DateTexts.h"

namespace tarnwick {

namespace {

QDateTime WholeSecond(const QDateTime& at)
{
    return at.addMSecs(-at.time().msec());
}

QString DateKey(const CheckEntry& entry, const QDate& on)
{
    return entry.taskId + u'|' + QString::number(entry.kind) + u'|' +
           DateTimeText(entry.nextRunTime) + u'|' + DateText(on);
}

} // namespace

ScheduleChecker::ScheduleChecker(const QDateTime& startedAt, QSet<QString>* startedByDate)
    : m_last(WholeSecond(startedAt).addSecs(-1)),
      m_startedByDate(startedByDate ? startedByDate : &m_ownStartedByDate)
{
}

QList<CheckEntry> ScheduleChecker::dueEntries(const QList<CheckEntry>& entries,
                                              const QDateTime& now)
{
    const QDateTime second = WholeSecond(now);
    QList<CheckEntry> due;
    if (second <= m_last)
        return due;
    const QDate today = second.date();
    for (const CheckEntry& entry : entries) {
        if (entry.dueByDate()) {
            if (entry.nextRunTime.date() == today &&
                !m_startedByDate->contains(DateKey(entry, today)))
                due.append(entry);
        } else {
            const QDateTime at = WholeSecond(entry.nextRunTime);
            if (at > m_last && at <= second)
                due.append(entry);
        }
    }
    // A refused start stays due while its row is stored unchanged; a run
    // that moved the row on, or an edit, ends that.
    QList<CheckEntry> stillRefused;
    for (const CheckEntry& entry : std::as_const(m_refused)) {
        if (entries.contains(entry) && !stillRefused.contains(entry)) {
            stillRefused.append(entry);
            if (!due.contains(entry))
                due.append(entry);
        }
    }
    m_refused = stillRefused;
    m_last = second;
    return due;
}

void ScheduleChecker::started(const CheckEntry& entry, const QDate& on)
{
    m_refused.removeAll(entry);
    if (entry.dueByDate())
        m_startedByDate->insert(DateKey(entry, on));
}

void ScheduleChecker::refused(const CheckEntry& entry)
{
    // Date entries stay due all day by themselves.
    if (!entry.dueByDate() && !m_refused.contains(entry))
        m_refused.append(entry);
}

} // namespace tarnwick
