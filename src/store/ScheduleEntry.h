// SPDX-License-Identifier: GPL-3.0-or-later
// A schedule entry as it is stored in a TaskSchedule row. The store writes
// and reads entries; what they mean and when they run next is the business
// of the schedule rules above it.
#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

namespace tarnwick {

// TaskSchedule.ScheduleType.
enum class ScheduleKind
{
    EveryMinutes = 0,
    EveryHours = 1,
    EveryDays = 2,
    WithinWeek = 3,
    WithinMonth = 4,
    Once = 5,
    ManualRow = 19,
    OnChangeRow = 20,
};

// The StartTime text of an entry that has no start time.
inline constexpr char kNoStartTime[] = "0";

// One schedule entry as the editors hold it and as a stored row reads.
struct ScheduleEntry
{
    ScheduleKind kind = ScheduleKind::EveryMinutes;
    qint64 value = 0; // N (kinds 0 to 2) or the day of the month (kind 4)
    QString weekMask; // kind 3: seven "0"/"1", Monday first
    QDate onceDate;   // kind 5, when the entry is saved
    QString startTime = QString::fromLatin1(kNoStartTime); // TimeText, or "0" (or empty) for none
};

} // namespace tarnwick
