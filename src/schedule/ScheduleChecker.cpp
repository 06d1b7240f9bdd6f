// Due test of the schedule checker.
#include "schedule/ScheduleChecker.h"

#include "store/ScheduleRules.h"
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

QList<CheckEntry> LoadCheckEntries(TaskDatabase& db, QStringList* unreadable)
{
    TaskQuery query(db);
    RunQuery(query, QString::fromLatin1(sql::SelectSchedulesToCheck));
    QList<CheckEntry> entries;
    for (; !query.eof(); query.next()) {
        // A hand-edited or older row must not end the checker: it is passed
        // over and named, and every other entry is still served.
        try {
            entries.append({query.text("TaskID"), query.integer("ScheduleType"),
                            query.dateTime("NextRunTime"), query.text("StartTime")});
        } catch (const StoreError& e) {
            if (unreadable)
                *unreadable << QStringLiteral("A schedule entry of task %1 cannot be read and is "
                                              "passed over: %2")
                                   .arg(query.text("TaskID"), e.message());
        }
    }
    return entries;
}

ScheduleChecker::ScheduleChecker(const QDateTime& startedAt, QSet<QString>* startedByDate)
    : m_last(wholeSecond(startedAt).addSecs(-1)),
      m_startedByDate(startedByDate ? startedByDate : &m_ownStartedByDate)
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
                !m_startedByDate->contains(dateKey(entry, today)))
                due.append(entry);
        } else {
            const QDateTime at = wholeSecond(entry.nextRunTime);
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
        m_startedByDate->insert(dateKey(entry, on));
}

void ScheduleChecker::refused(const CheckEntry& entry)
{
    // Date entries stay due all day by themselves.
    if (!entry.dueByDate() && !m_refused.contains(entry))
        m_refused.append(entry);
}

} // namespace tarnwick
