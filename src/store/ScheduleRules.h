// SPDX-License-Identifier: GPL-3.0-or-later
// What a schedule entry means and when it runs next: the next run time
// written when a task is saved, moved forward at start-up and after every
// run, the task list's next-run cell, and the two description texts the
// task editor and the schedule editor show for an entry.
#pragma once

#include "store/ScheduleEntry.h"
#include "store/TextEntry.h"

#include <QDate>
#include <QList>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>

namespace tarnwick {

class Clock;
class TaskDatabase;

// True when `startTime` names a time of day rather than "0" or nothing.
bool HasStartTime(const QString& startTime);

// Entries of kinds 2 to 6 without a start time are due for a whole date
// rather than to the second.
bool IsDueByDate(qint64 kind, const QString& startTime);

// The chosen day of the week mask (Monday first): the first chosen day after
// today up to Sunday, else the first from Monday up to and including today.
// Gives the date of that day within today .. today + 6, so today only when
// today is the one chosen day; nothing when no day is chosen. Characters
// missing from a short mask count as not chosen.
std::optional<QDate> WeekdayScan(const QString& weekMask, const QDate& today);

// Day `day` of this month when it is still ahead, else of the next month.
// Days run 1 to 28; a day outside that range is taken to the nearest one.
QDate MonthDayRule(qint64 day, const QDate& today);

// The base time of an entry before its start time is applied: now plus N
// minutes, hours or days, the week-day or month-day rule at the current time
// of day, else `current` (at save the once date or the zero date-time, in
// the recomputes the row's NextRunTime). An interval below one counts as one.
QDateTime BaseNextRun(const ScheduleEntry& entry, const QDateTime& current, const QDateTime& now);

// The NextRunTime text to insert for an entry being saved now.
QString NextRunAtSave(const ScheduleEntry& entry, const Clock& clock);

// When a stored row is recomputed: at program start or after a run of its task.
enum class RecomputeMoment
{
    Startup,
    AfterRun
};

// The new NextRunTime text of a stored row, or nothing when its next run has
// not passed (it is not earlier than now by more than a millisecond). Marker
// rows get the zero date. A start time that does not read as a time of day
// raises StoreError.
std::optional<QString> RecomputeNextRun(const ScheduleEntry& entry, const QDateTime& storedNextRun,
                                        RecomputeMoment moment, const QDateTime& now);

// Moves every passed next run time of kinds 0 to 6, of all tasks, forward.
// LastRunTime stays as it is. Returns the number of rows written. A row
// whose times cannot be read is passed over, with a message for it in
// `unreadable`, so one bad row never stops the program's start; a failing
// write stops at that row, and rows already written stay written.
int RecomputeOnStartup(TaskDatabase& db, const Clock& clock, QStringList* unreadable = nullptr);

// After a run of `taskId` that began at `startText` (a DateTimeText): moves
// every passed row of the task forward, markers included, and records the
// start as their LastRunTime. Returns the task's next-run cell text.
QString UpdateAfterRun(TaskDatabase& db, const QString& taskId, const QString& startText,
                       const Clock& clock);

// The task list's next-run cell for `taskId`: "Manually", the on-change
// text, or the earliest NextRunTime of a scheduled task. Empty when the task
// is not stored.
QString NextRunCellText(TaskDatabase& db, const QString& taskId);

// The text the task editor shows for a stored entry; `nextRunText` is the
// display text of its NextRunTime (used by Once). In the words `look`
// gives; English when none.
QString DescribeStoredEntry(const ScheduleEntry& entry, const QString& nextRunText,
                            const TextLookup& look = EnglishText);

// The text the schedule editor shows for the entry being edited; it becomes
// the list text of the entry.
QString DescribeEditorEntry(const ScheduleEntry& entry, const TextLookup& look = EnglishText);

// Every word the two descriptions use, for the language files.
std::span<const TextEntry> ScheduleDescriptionTexts();

struct CheckEntry
{
    QString taskId;
    qint64 kind = 0;
    QDateTime nextRunTime;
    QString startTime;

    // Kinds 2 and above without a start time are due for a whole day;
    // the others to the second.
    bool dueByDate() const;
    bool operator==(const CheckEntry&) const = default;
};

// Every entry of kinds 0 to 6, in store order. A row whose next run time
// cannot be read is passed over, with a message for it in `unreadable`.
QList<CheckEntry> LoadCheckEntries(TaskDatabase& db, QStringList* unreadable = nullptr);

} // namespace tarnwick
