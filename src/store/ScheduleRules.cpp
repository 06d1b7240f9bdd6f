// SPDX-License-Identifier: GPL-3.0-or-later
// Next run times and descriptions of schedule entries. All time comes from
// the Clock the caller passes, so the rules can be checked at any moment.
//
// Entries of kinds 0 and 1 are due to the second; entries of kinds 2 to 5
// without a start time are due for a whole date. After a run the recomputes
// therefore never leave an entry on a moment that has already passed, nor a
// date-only entry on today's date: either would make the checker start the
// task again at once.
#include "store/ScheduleRules.h"
#include "store/StoreError.h"

#include "platform/Clock.h"
#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"

#include <algorithm>

namespace tarnwick {

namespace {

bool IsDayChosen(const QString& weekMask, int weekDay)
{
    const qsizetype index = weekDay - 1;
    return index < weekMask.size() && weekMask.at(index) == u'1';
}

// The first chosen day strictly after today, up to a week ahead.
std::optional<QDate> NextChosenDayAfter(const QString& weekMask, const QDate& today)
{
    for (int offset = 1; offset <= 7; ++offset) {
        const QDate day = today.addDays(offset);
        if (IsDayChosen(weekMask, day.dayOfWeek()))
            return day;
    }
    return std::nullopt;
}

// Interval entries with a broken N of zero or less would come due again at
// once; they count as one.
qint64 Interval(const ScheduleEntry& entry)
{
    return std::max<qint64>(entry.value, 1);
}

// The text `date` + " " + start time. A start time that is no time of day
// is refused here, as the store would refuse the text, before anything is
// written.
QString WithStartTime(const QDate& date, const QString& startTime)
{
    const QString text = DateText(date) + u' ' + startTime;
    const QDateTime at = DateTimeFromText(text);
    // A local time that the clock skips (the spring change of daylight
    // saving time) would never come: the entry is due at the first moment
    // after the gap instead, and that moment is what is stored.
    if (at.time() != DateTimeFromText(startTime).time() || at.date() != date)
        return DateTimeText(at);
    return text;
}

// The first moment at the start time from `now` on: today's when it is still
// ahead, else tomorrow's.
QString StartTimeFrom(const QDateTime& now, const QString& startTime)
{
    const QString today = WithStartTime(now.date(), startTime);
    if (DateTimeFromText(today) > now)
        return today;
    return WithStartTime(now.date().addDays(1), startTime);
}

bool IsMarker(ScheduleKind kind)
{
    return kind == ScheduleKind::ManualRow || kind == ScheduleKind::OnChangeRow;
}

ScheduleEntry EntryFromRow(const TaskQuery& row)
{
    ScheduleEntry entry;
    entry.kind = static_cast<ScheduleKind>(row.integer("ScheduleType"));
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
    case ScheduleKind::EveryHours:
    case ScheduleKind::EveryDays:
    case ScheduleKind::WithinMonth:
        entry.value = row.integer("value");
        break;
    default:
        break;
    }
    entry.weekMask = row.text("withweek");
    entry.startTime = row.text("StartTime");
    return entry;
}

// An empty NextRunTime reads as the zero date-time, as NULL does.
QDateTime StoredNextRun(const TaskQuery& row)
{
    if (row.isNull("NextRunTime") || row.text("NextRunTime").trimmed().isEmpty())
        return ZeroDateTime();
    return row.dateTime("NextRunTime");
}

} // namespace

bool HasStartTime(const QString& startTime)
{
    const QString trimmed = startTime.trimmed();
    return !trimmed.isEmpty() && trimmed != QLatin1String(kNoStartTime);
}

bool IsDueByDate(qint64 kind, const QString& startTime)
{
    return kind >= qint64(ScheduleKind::EveryDays) && kind < qint64(ScheduleKind::ManualRow) &&
           !HasStartTime(startTime);
}

std::optional<QDate> WeekdayScan(const QString& weekMask, const QDate& today)
{
    const int weekDay = today.dayOfWeek();
    int chosen = 0;
    for (int day = weekDay + 1; day <= 7 && chosen == 0; ++day) {
        if (IsDayChosen(weekMask, day))
            chosen = day;
    }
    // Monday up to and including today; on a Monday that is Monday itself.
    for (int day = 1; day <= weekDay && chosen == 0; ++day) {
        if (IsDayChosen(weekMask, day))
            chosen = day;
    }
    if (chosen == 0)
        return std::nullopt;
    return today.addDays((chosen - weekDay + 7) % 7);
}

QDate MonthDayRule(qint64 day, const QDate& today)
{
    const int wanted = static_cast<int>(std::clamp<qint64>(day, 1, 28));
    if (wanted > today.day())
        return QDate(today.year(), today.month(), wanted);
    const QDate nextMonth = QDate(today.year(), today.month(), 1).addMonths(1);
    return QDate(nextMonth.year(), nextMonth.month(), wanted);
}

QDateTime BaseNextRun(const ScheduleEntry& entry, const QDateTime& current, const QDateTime& now)
{
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        return now.addSecs(Interval(entry) * 60);
    case ScheduleKind::EveryHours:
        return now.addSecs(Interval(entry) * 3600);
    case ScheduleKind::EveryDays:
        return now.addDays(Interval(entry));
    case ScheduleKind::WithinWeek:
        if (const auto day = WeekdayScan(entry.weekMask, now.date()))
            return QDateTime(*day, now.time());
        return current;
    case ScheduleKind::WithinMonth:
        return QDateTime(MonthDayRule(entry.value, now.date()), now.time());
    default:
        return current;
    }
}

QString NextRunAtSave(const ScheduleEntry& entry, const Clock& clock)
{
    const QDateTime now = clock.now();
    const QDateTime current =
        entry.kind == ScheduleKind::Once ? QDateTime(entry.onceDate, QTime(0, 0)) : ZeroDateTime();
    const QDateTime base = BaseNextRun(entry, current, now);
    const bool hasStart = HasStartTime(entry.startTime);

    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
    case ScheduleKind::EveryHours:
        // The start time places the first run: today's when it is still
        // ahead, else tomorrow's, whatever the date of now + N.
        if (hasStart)
            return StartTimeFrom(now, entry.startTime);
        return DateTimeText(base);
    case ScheduleKind::EveryDays: {
        if (!hasStart)
            return DateTimeText(base);
        const QString text = WithStartTime(base.date(), entry.startTime);
        const QDateTime at = DateTimeFromText(text);
        if (at <= now)
            return DateTimeText(at.addDays(1));
        return text;
    }
    case ScheduleKind::Once:
        if (hasStart)
            return WithStartTime(entry.onceDate, entry.startTime);
        return DateText(entry.onceDate);
    default:
        if (hasStart)
            return WithStartTime(base.date(), entry.startTime);
        return DateText(base.date());
    }
}

std::optional<QString> RecomputeNextRun(const ScheduleEntry& entry, const QDateTime& storedNextRun,
                                        RecomputeMoment moment, const QDateTime& now)
{
    if (!(storedNextRun < now.addMSecs(-1)))
        return std::nullopt;
    // A date entry dated today reads as today's midnight, yet it is due all
    // day: at start-up it has not passed, and it runs today.
    if (moment == RecomputeMoment::Startup &&
        IsDueByDate(static_cast<qint64>(entry.kind), entry.startTime) &&
        storedNextRun.date() == now.date())
        return std::nullopt;
    if (IsMarker(entry.kind))
        return DateText(ZeroDateTime().date());

    const bool hasStart = HasStartTime(entry.startTime);
    QDateTime base = BaseNextRun(entry, storedNextRun, now);

    // The week-day rule gives today only when today is the one chosen day.
    // Once today's start time has passed, or once a date-only entry has run
    // today, the entry belongs to that day next week.
    if (entry.kind == ScheduleKind::WithinWeek && WeekdayScan(entry.weekMask, now.date())) {
        const bool passed =
            hasStart ? DateTimeFromText(WithStartTime(base.date(), entry.startTime)) <= now
                     : moment == RecomputeMoment::AfterRun && base.date() <= now.date();
        if (passed) {
            if (const auto next = NextChosenDayAfter(entry.weekMask, now.date()))
                base.setDate(*next);
        }
    }

    const bool toTheSecond =
        entry.kind == ScheduleKind::EveryMinutes || entry.kind == ScheduleKind::EveryHours;
    if (hasStart && toTheSecond) {
        // The start time places the first run only: at start-up today's start
        // time when it is still ahead; otherwise, and after every run, the
        // entry keeps its own interval, across midnight too.
        if (moment == RecomputeMoment::Startup) {
            const QString today = WithStartTime(now.date(), entry.startTime);
            if (DateTimeFromText(today) > now)
                return today;
        }
        return DateTimeText(base);
    }
    if (hasStart)
        return WithStartTime(base.date(), entry.startTime);
    if (toTheSecond)
        return DateTimeText(base);
    return DateText(base.date());
}

int RecomputeOnStartup(TaskDatabase& db, const Clock& clock, QStringList* unreadable)
{
    const QDateTime now = clock.now();
    TaskQuery rows(db);
    RunQuery(rows, QString::fromLatin1(sql::SelectSchedulesAtStartup));
    TaskQuery update(db);
    int written = 0;
    for (; !rows.eof(); rows.next()) {
        std::optional<QString> next;
        try {
            next = RecomputeNextRun(EntryFromRow(rows), StoredNextRun(rows),
                                    RecomputeMoment::Startup, now);
        } catch (const StoreError& e) {
            if (unreadable)
                *unreadable << QStringLiteral("A schedule entry of task %1 cannot be read and is "
                                              "passed over: %2")
                                   .arg(rows.text("TaskID"), e.message());
            continue;
        }
        if (!next)
            continue;
        RunStatement(update,
                     FillStatement(sql::UpdateNextRunTime, {*next, rows.integer("TaskSchID")}));
        ++written;
    }
    return written;
}

QString UpdateAfterRun(TaskDatabase& db, const QString& taskId, const QString& startText,
                       const Clock& clock)
{
    const QDateTime now = clock.now();
    TaskQuery rows(db);
    RunQuery(rows, FillStatement(sql::SelectSchedulesAfterRun, {taskId}));
    TaskQuery update(db);
    for (; !rows.eof(); rows.next()) {
        const auto next = RecomputeNextRun(EntryFromRow(rows), StoredNextRun(rows),
                                           RecomputeMoment::AfterRun, now);
        if (!next)
            continue;
        RunStatement(update, FillStatement(sql::UpdateRunTimes,
                                           {*next, startText, rows.integer("TaskSchID")}));
    }
    return NextRunCellText(db, taskId);
}

QString NextRunCellText(TaskDatabase& db, const QString& taskId)
{
    TaskQuery task(db);
    RunQuery(task, FillStatement(sql::SelectTaskRunMode, {taskId}));
    if (task.eof())
        return QString();
    return NextRunCellTextFor(db, taskId, task.integer("ScheduleType"),
                              sql::SelectNextRunTimeAfterRun);
}

namespace {

constexpr TextEntry kEveryMinute{"ScheduleEveryMinute", "Run every minute"};
constexpr TextEntry kEveryMinutes{"ScheduleEveryMinutes", "Run every %1 minutes"};
constexpr TextEntry kEveryHour{"ScheduleEveryHour", "Run every hour"};
constexpr TextEntry kEveryHours{"ScheduleEveryHours", "Run every %1 hours"};
constexpr TextEntry kEveryDay{"ScheduleEveryDay", "Run every day"};
constexpr TextEntry kEveryDays{"ScheduleEveryDays", "Run every %1 days"};
constexpr TextEntry kOnDays{"ScheduleOnDays", "Run on: %1"};
constexpr TextEntry kDaySeparator{"ScheduleDaySeparator", ", "};
constexpr TextEntry kMonthDay{"ScheduleMonthDay", "Run on %1 day of every month"};
constexpr TextEntry kOnceAt{"ScheduleOnceAt", "Run once at : %1"};
constexpr TextEntry kStartingAt{"ScheduleStartingAt", "; Starting at %1"};
constexpr TextEntry kEveryOne{"ScheduleEveryOne", "Run every %1"};
constexpr TextEntry kEveryMany{"ScheduleEveryMany", "Run every %1 %2"};
constexpr TextEntry kMinuteName{"ScheduleMinute", "minute"};
constexpr TextEntry kMinutesName{"ScheduleMinutesName", "minute(s)"};
constexpr TextEntry kHourName{"ScheduleHour", "hour"};
constexpr TextEntry kHoursName{"ScheduleHoursName", "hour(s)"};
constexpr TextEntry kDayName{"ScheduleDay", "day"};
constexpr TextEntry kDaysName{"ScheduleDaysName", "day(s)"};
constexpr TextEntry kEditorStartingAt{"ScheduleEditorStartingAt", "; Starting at %1."};
constexpr TextEntry kEditorMonthDayAt{"ScheduleMonthDayAt",
                                      "Run on %1 day of every month; starting at %2"};
constexpr TextEntry kOnceOn{"ScheduleOnceOn", "Run on %1"};
// Monday first, as the stored week mask counts.
constexpr TextEntry kDays[] = {
    {"ScheduleMonday", "Monday"},     {"ScheduleTuesday", "Tuesday"},
    {"ScheduleWednesday", "Wednesday"}, {"ScheduleThursday", "Thurday"},
    {"ScheduleFriday", "Friday"},     {"ScheduleSaturday", "Saturday"},
    {"ScheduleSunday", "Sunday"},
};

constexpr TextEntry kAllTexts[] = {
    kEveryMinute, kEveryMinutes, kEveryHour,   kEveryHours,   kEveryDay,   kEveryDays,
    kOnDays,      kDaySeparator, kMonthDay,    kOnceAt,       kStartingAt, kEveryOne,
    kEveryMany,   kMinuteName,   kMinutesName, kHourName,     kHoursName,  kDayName,
    kDaysName,    kEditorStartingAt, kEditorMonthDayAt, kOnceOn, kDays[0], kDays[1],
    kDays[2],     kDays[3],      kDays[4],     kDays[5],      kDays[6],
};

// The chosen days, in `order` (1 Monday ... 7 Sunday), joined as a list.
QString ChosenDays(const QString& weekMask, std::span<const int> order, const TextLookup& look)
{
    QStringList names;
    for (const int day : order) {
        if (IsDayChosen(weekMask, day))
            names << look(kDays[day - 1]);
    }
    return names.join(look(kDaySeparator));
}

} // namespace

std::span<const TextEntry> ScheduleDescriptionTexts()
{
    return kAllTexts;
}

QString DescribeStoredEntry(const ScheduleEntry& entry, const QString& nextRunText,
                            const TextLookup& look)
{
    auto every = [&](const TextEntry& one, const TextEntry& many) -> QString {
        return entry.value == 1 ? look(one) : look(many).arg(entry.value);
    };

    QString text;
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        text = every(kEveryMinute, kEveryMinutes);
        break;
    case ScheduleKind::EveryHours:
        text = every(kEveryHour, kEveryHours);
        break;
    case ScheduleKind::EveryDays:
        text = every(kEveryDay, kEveryDays);
        break;
    case ScheduleKind::WithinWeek: {
        static constexpr int kMondayFirst[] = {1, 2, 3, 4, 5, 6, 7};
        text = look(kOnDays).arg(ChosenDays(entry.weekMask, kMondayFirst, look));
        break;
    }
    case ScheduleKind::WithinMonth:
        text = look(kMonthDay).arg(entry.value);
        break;
    case ScheduleKind::Once:
        text = look(kOnceAt).arg(nextRunText);
        break;
    default:
        return QString();
    }
    if (HasStartTime(entry.startTime))
        text += look(kStartingAt).arg(entry.startTime);
    return text;
}

QString DescribeEditorEntry(const ScheduleEntry& entry, const TextLookup& look)
{
    const bool hasStart = HasStartTime(entry.startTime);
    const QString startingAt = hasStart ? look(kEditorStartingAt).arg(entry.startTime) : QString();
    auto every = [&](const TextEntry& one, const TextEntry& many) -> QString {
        return (entry.value == 1 ? look(kEveryOne).arg(look(one))
                                 : look(kEveryMany).arg(entry.value).arg(look(many))) +
               startingAt;
    };

    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        return every(kMinuteName, kMinutesName);
    case ScheduleKind::EveryHours:
        return every(kHourName, kHoursName);
    case ScheduleKind::EveryDays:
        return every(kDayName, kDaysName);
    case ScheduleKind::WithinWeek: {
        // Sunday first, as the dialog's boxes read.
        static constexpr int kSundayFirst[] = {7, 1, 2, 3, 4, 5, 6};
        return look(kOnDays).arg(ChosenDays(entry.weekMask, kSundayFirst, look)) + startingAt;
    }
    case ScheduleKind::WithinMonth:
        if (hasStart)
            return look(kEditorMonthDayAt).arg(entry.value).arg(entry.startTime);
        return look(kMonthDay).arg(entry.value);
    case ScheduleKind::Once: {
        QString text = look(kOnceOn).arg(DateText(entry.onceDate));
        if (hasStart)
            text += u' ' + entry.startTime;
        return text;
    }
    default:
        return QString();
    }
}

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

} // namespace tarnwick
