// Which schedule entries are due between two passes of the checker. Every
// whole second from the checker's start is looked at exactly once, however
// long a pass takes, and an entry due by date starts its task only once on
// that date while the program runs.
#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tarnwick {

class TaskDatabase;

struct CheckEntry
{
    QString taskId;
    qint64 kind = 0;
    QDateTime nextRunTime;
    QString startTime;

    // Kinds 2 and above without a start time are due for a whole day;
    // the others to the second.
    bool dueByDate() const;
};

// Every entry of kinds 0 to 6, in store order.
QList<CheckEntry> LoadCheckEntries(TaskDatabase& db);

class ScheduleChecker
{
public:
    // Seconds up to and including `startedAt` (cut to the second) are not
    // looked at: they passed before the checker existed.
    explicit ScheduleChecker(const QDateTime& startedAt);

    // The entries due in the seconds after the last pass up to and
    // including `now`, in table order. Call `started` for those whose run
    // was started, so a date entry is not started again that day.
    QList<CheckEntry> dueEntries(const QList<CheckEntry>& entries, const QDateTime& now);
    void started(const CheckEntry& entry, const QDate& on);

    QDateTime lastSecond() const { return m_last; }

private:
    QDateTime m_last;
    QSet<QString> m_startedByDate;
};

} // namespace tarnwick
