// Due test of the schedule checker.
#include "schedule/ScheduleChecker.h"

#include "schedule/ScheduleRules.h"
#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"

namespace tarnwick {

namespace {

QDateTime wholeSecond(const QDateTime& at)
{
    return at.addMSecs(-at.time().msec());
}

QString dateKey(const CheckEntry& entry, const QDate& on)
{
    return entry.taskId + u'|' + QString::number(entry.kind) + u'|' +
           DateTimeText(entry.nextRunTime) + u'|' + DateText(on);
}

} // namespace

bool CheckEntry::dueByDate() const
{
    return IsDueByDate(kind, startTime);
}

QList<CheckEntry> LoadCheckEntries(TaskDatabase& db)
{
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectSchedulesToCheck));
    QList<CheckEntry> entries;
    for (; !query.eof(); query.next()) {
        entries.append({query.text("TaskID"), query.integer("ScheduleType"),
                        query.dateTime("NextRunTime"), query.text("StartTime")});
    }
    return entries;
}

ScheduleChecker::ScheduleChecker(const QDateTime& startedAt)
    : m_last(wholeSecond(startedAt).addSecs(-1))
{
}

QList<CheckEntry> ScheduleChecker::dueEntries(const QList<CheckEntry>& entries,
                                              const QDateTime& now)
{
    const QDateTime second = wholeSecond(now);
    QList<CheckEntry> due;
    if (second <= m_last)
        return due;
    const QDate today = second.date();
    for (const CheckEntry& entry : entries) {
        if (entry.dueByDate()) {
            if (entry.nextRunTime.date() == today &&
                !m_startedByDate.contains(dateKey(entry, today)))
                due.append(entry);
        } else {
            const QDateTime at = wholeSecond(entry.nextRunTime);
            if (at > m_last && at <= second)
                due.append(entry);
        }
    }
    m_last = second;
    return due;
}

void ScheduleChecker::started(const CheckEntry& entry, const QDate& on)
{
    if (entry.dueByDate())
        m_startedByDate.insert(dateKey(entry, on));
}

} // namespace tarnwick
