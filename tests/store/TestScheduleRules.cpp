// SPDX-License-Identifier: GPL-3.0-or-later
// Schedule rules at pinned moments: the week-day and month-day rules, the
// next run written at save, the two recomputes against a real task database,
// the next-run cell and the two description texts.
#include "ProgramFolder.h"
#include "ScopedTimeZone.h"

#include "platform/Clock.h"
#include "store/ScheduleRules.h"
#include "store/DateTexts.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"

#include <QTest>


using namespace tarnwick;

namespace {

// Wednesday 9 December 2026 is the usual "today"; Monday is the 7th.
QDateTime At(const char* text, int msec = 0)
{
    return DateTimeFromText(QString::fromLatin1(text)).addMSecs(msec);
}

const QString kTask = QStringLiteral("4242");
const QString kSavedAt = QStringLiteral("2026-12-01 08:00:00");
const QString kRunStart = QStringLiteral("2026-12-09 09:59:00");

void InsertEntry(TaskQuery& query, const QString& taskId, int kind, qint64 value,
                 const QString& mask, const QString& start, const QString& next)
{
    switch (kind) {
    case 0:
    case 1:
    case 2:
        RunStatement(query, FillStatement(sql::InsertIntervalEntry,
                                          {taskId, qint64(kind), value, kSavedAt, next, start}));
        break;
    case 3:
        RunStatement(query, FillStatement(sql::InsertWeekEntry,
                                          {taskId, qint64(kind), mask, start, kSavedAt, next}));
        break;
    case 4:
        RunStatement(query, FillStatement(sql::InsertMonthEntry,
                                          {taskId, qint64(kind), QString::number(value), start,
                                           kSavedAt, next}));
        break;
    case 5:
        RunStatement(query, FillStatement(sql::InsertOnceEntry,
                                          {taskId, qint64(kind), start, kSavedAt, next}));
        break;
    case 19:
        RunStatement(query, FillStatement(sql::InsertManualRow, {taskId, kSavedAt}));
        break;
    case 20:
        RunStatement(query, FillStatement(sql::InsertOnChangeRow, {taskId, kSavedAt}));
        break;
    default:
        QFAIL("no insert statement for this kind");
    }
}

void InsertTask(TaskQuery& query, const QString& taskId, qint64 mode)
{
    RunStatement(query, FillStatement(sql::InsertTask,
                                      {taskId, QStringLiteral("AllTask"), QStringLiteral("Photos"),
                                       QStringLiteral("/src"), QStringLiteral("/dst"), mode}));
}

struct StoredTimes
{
    QString next;
    QString last;
};

QList<StoredTimes> ReadTimes(TaskDatabase& db, const QString& taskId)
{
    QList<StoredTimes> times;
    TaskQuery query(db);
    RunQuery(query, FillStatement(sql::SelectSchedulesAfterRun, {taskId}));
    for (; !query.eof(); query.next())
        times.append({query.text("NextRunTime"), query.text("LastRunTime")});
    return times;
}

} // namespace

class TestScheduleRules : public QObject
{
    Q_OBJECT

private:
    ProgramFolderFixture m_folder;
    // One database made fresh for the run and emptied before each case:
    // making a keyed file costs far more than the rules under test.
    TaskDatabase m_db;

private slots:
    void initTestCase();
    void init();
    void weekdayScan_data();
    void weekdayScan();
    void monthDayRule_data();
    void monthDayRule();
    void nextRunAtSave_data();
    void nextRunAtSave();
    void recompute_data();
    void recompute();
    void startupLeavesFutureRowsAndLastRunAlone();
    void afterRunRecordsLastRunOfMarkerRows_data();
    void afterRunRecordsLastRunOfMarkerRows();
    void afterRunUpdatesEveryRowOfTheTask();
    void badStartTimeStopsAtThatRow();
    void skippedLocalTimesMoveToTheEndOfTheGap();
    void nextRunCellText();
    void describeStoredEntry_data();
    void describeStoredEntry();
    void describeEditorEntry_data();
    void describeEditorEntry();
};

void TestScheduleRules::initTestCase()
{
    QVERIFY(m_folder.home.isValid());
    m_db.open(m_folder.databasePath());
}

void TestScheduleRules::init()
{
    m_db.execute(QStringLiteral("delete from TaskSchedule; delete from Task;"));
}

void TestScheduleRules::weekdayScan_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("expected"); // null: no day chosen

    const QDate monday(2026, 12, 7);
    const QDate tuesday(2026, 12, 8);
    const QDate wednesday(2026, 12, 9);
    const QDate thursday(2026, 12, 10);
    const QDate sunday(2026, 12, 13);
    QTest::newRow("Mon+Wed on Tuesday: the next day") << "1010000" << tuesday << wednesday;
    QTest::newRow("Mon+Wed on Thursday: next Monday")
        << "1010000" << thursday << QDate(2026, 12, 14);
    QTest::newRow("Mon+Wed on Wednesday: next Monday")
        << "1010000" << wednesday << QDate(2026, 12, 14);
    QTest::newRow("Wednesday only on a Wednesday: today") << "0010000" << wednesday << wednesday;
    QTest::newRow("Monday only on a Monday: today") << "1000000" << monday << monday;
    QTest::newRow("Mon+Fri on a Monday: Friday") << "1000100" << monday << QDate(2026, 12, 11);
    QTest::newRow("Sunday only on a Sunday: today") << "0000001" << sunday << sunday;
    QTest::newRow("Mon+Sun on a Sunday: next Monday") << "1000001" << sunday << QDate(2026, 12, 14);
    QTest::newRow("Saturday across the month end")
        << "0000010" << QDate(2026, 12, 28) << QDate(2027, 1, 2);
    QTest::newRow("no day chosen") << "0000000" << wednesday << QDate();
    QTest::newRow("short mask: missing days not chosen")
        << "01" << wednesday << QDate(2026, 12, 15);
    QTest::newRow("empty mask") << "" << wednesday << QDate();
}

void TestScheduleRules::weekdayScan()
{
    QFETCH(QString, mask);
    QFETCH(QDate, today);
    QFETCH(QDate, expected);
    const auto day = WeekdayScan(mask, today);
    QCOMPARE(day.has_value(), expected.isValid());
    if (day)
        QCOMPARE(*day, expected);
}

void TestScheduleRules::monthDayRule_data()
{
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("expected");

    QTest::newRow("15 on the 10th") << 15 << QDate(2026, 11, 10) << QDate(2026, 11, 15);
    QTest::newRow("15 on the 15th") << 15 << QDate(2026, 11, 15) << QDate(2026, 12, 15);
    QTest::newRow("15 on the 20th") << 15 << QDate(2026, 11, 20) << QDate(2026, 12, 15);
    QTest::newRow("15 on 20 December") << 15 << QDate(2026, 12, 20) << QDate(2027, 1, 15);
    QTest::newRow("15 on 15 December") << 15 << QDate(2026, 12, 15) << QDate(2027, 1, 15);
    QTest::newRow("15 on the 1st") << 15 << QDate(2026, 2, 1) << QDate(2026, 2, 15);
    QTest::newRow("28 on the 30th, into February")
        << 28 << QDate(2027, 1, 30) << QDate(2027, 2, 28);
    QTest::newRow("1 on the 1st") << 1 << QDate(2026, 3, 1) << QDate(2026, 4, 1);
    QTest::newRow("31 taken as 28") << 31 << QDate(2027, 1, 30) << QDate(2027, 2, 28);
}

void TestScheduleRules::monthDayRule()
{
    QFETCH(int, day);
    QFETCH(QDate, today);
    QFETCH(QDate, expected);
    QCOMPARE(MonthDayRule(day, today), expected);
}

void TestScheduleRules::nextRunAtSave_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QDate>("onceDate");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("expected");

    const QDate noDate;
    QTest::newRow("minutes 30 without start at 10:00")
        << At("2026-12-09 10:00:00") << 0 << 30 << "" << noDate << "0"
        << "2026-12-09 10:30:00";
    QTest::newRow("minutes 30 reaching midnight: date only")
        << At("2026-12-09 23:30:00") << 0 << 30 << "" << noDate << "0"
        << "2026-12-10";
    QTest::newRow("hours 2 without start across midnight")
        << At("2026-12-09 23:30:15") << 1 << 2 << "" << noDate << "0"
        << "2026-12-10 01:30:15";
    QTest::newRow("days 1 without start: full date and time")
        << At("2026-12-09 10:00:00") << 2 << 1 << "" << noDate << "0"
        << "2026-12-10 10:00:00";
    QTest::newRow("days 1 start 09:00 saved at 10:00")
        << At("2026-12-09 10:00:00") << 2 << 1 << "" << noDate << "09:00:00"
        << "2026-12-10 09:00:00";
    QTest::newRow("days 1 start 09:00 saved at 08:00")
        << At("2026-12-09 08:00:00") << 2 << 1 << "" << noDate << "09:00:00"
        << "2026-12-10 09:00:00";
    QTest::newRow("minutes 30 start 09:00 saved at 08:00")
        << At("2026-12-09 08:00:00") << 0 << 30 << "" << noDate << "09:00:00"
        << "2026-12-09 09:00:00";
    QTest::newRow("minutes 30 start 09:00 saved at 10:00")
        << At("2026-12-09 10:00:00") << 0 << 30 << "" << noDate << "09:00:00"
        << "2026-12-10 09:00:00";
    QTest::newRow("week Mon+Wed on Tuesday")
        << At("2026-12-08 10:00:00") << 3 << 0 << "1010000" << noDate << "0"
        << "2026-12-09";
    QTest::newRow("week Mon+Wed on Thursday with start")
        << At("2026-12-10 10:00:00") << 3 << 0 << "1010000" << noDate << "09:00:00"
        << "2026-12-14 09:00:00";
    QTest::newRow("week Mon+Wed on Wednesday")
        << At("2026-12-09 10:00:00") << 3 << 0 << "1010000" << noDate << "0"
        << "2026-12-14";
    QTest::newRow("week Wednesday only on a Wednesday")
        << At("2026-12-09 10:00:00") << 3 << 0 << "0010000" << noDate << "0"
        << "2026-12-09";
    QTest::newRow("week Monday only on a Monday: today")
        << At("2026-12-07 10:00:00") << 3 << 0 << "1000000" << noDate << "0"
        << "2026-12-07";
    QTest::newRow("week no day chosen: the zero date")
        << At("2026-12-09 10:00:00") << 3 << 0 << "0000000" << noDate << "0"
        << "1899-12-30";
    QTest::newRow("month 15 on 20 December with start")
        << At("2026-12-20 10:00:00") << 4 << 15 << "" << noDate << "09:00:00"
        << "2027-01-15 09:00:00";
    QTest::newRow("month 15 on the 10th")
        << At("2026-11-10 10:00:00") << 4 << 15 << "" << noDate << "0"
        << "2026-11-15";
    QTest::newRow("minutes 30 start 23:55 saved at 23:50: today, not the date of now + N")
        << At("2026-12-09 23:50:00") << 0 << 30 << "" << noDate << "23:55:00"
        << "2026-12-09 23:55:00";
    QTest::newRow("hours 2 start 23:00 saved at 23:30: tomorrow's start time")
        << At("2026-12-09 23:30:00") << 1 << 2 << "" << noDate << "23:00:00"
        << "2026-12-10 23:00:00";
    QTest::newRow("once without start")
        << At("2026-12-09 10:00:00") << 5 << 0 << "" << QDate(2026, 12, 24) << "0"
        << "2026-12-24";
    QTest::newRow("once with start")
        << At("2026-12-09 10:00:00") << 5 << 0 << "" << QDate(2026, 12, 24) << "18:30:00"
        << "2026-12-24 18:30:00";
}

void TestScheduleRules::nextRunAtSave()
{
    QFETCH(QDateTime, now);
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, mask);
    QFETCH(QDate, onceDate);
    QFETCH(QString, start);
    QFETCH(QString, expected);

    const FixedClock clock(now);
    const ScheduleEntry entry{static_cast<ScheduleKind>(kind), value, mask, onceDate, start};
    QCOMPARE(NextRunAtSave(entry, clock), expected);
}

void TestScheduleRules::recompute_data()
{
    QTest::addColumn<bool>("afterRun");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stored"); // empty: NULL, as the marker rows are written
    QTest::addColumn<QString>("expected");

    const bool startup = false;
    const bool afterRun = true;
    const QDateTime wed10 = At("2026-12-09 10:00:00");

    // At start-up.
    // A date entry dated today has not passed: it runs today.
    QTest::newRow("startup: daily by date, stored today, later that day")
        << startup << wed10 << 2 << 1 << ""
        << "0"
        << "2026-12-09"
        << "2026-12-09";
    QTest::newRow("startup: week by date, stored today") << startup << wed10 << 3 << 0
                                                         << "1010000"
                                                         << "0"
                                                         << "2026-12-09"
                                                         << "2026-12-09";
    QTest::newRow("startup: once by date, empty start time, stored today")
        << startup << wed10 << 5 << 0 << ""
        << ""
        << "2026-12-09"
        << "2026-12-09";
    QTest::newRow("startup: minutes 30 from 23:55 at 23:50: today's start time")
        << startup << At("2026-12-09 23:50:00") << 0 << 30 << ""
        << "23:55:00"
        << "2026-12-08 23:55:00"
        << "2026-12-09 23:55:00";
    QTest::newRow("startup: every 3 days by date") << startup << wed10 << 2 << 3 << ""
                                                   << "0"
                                                   << "2026-11-20"
                                                   << "2026-12-12";
    QTest::newRow("startup: minutes 30, today's start time passed")
        << startup << wed10 << 0 << 30 << ""
        << "09:00:00"
        << "2026-12-08 09:00:00"
        << "2026-12-09 10:30:00";
    QTest::newRow("startup: minutes 30, today's start time ahead")
        << startup << At("2026-12-09 08:00:00") << 0 << 30 << ""
        << "09:00:00"
        << "2026-12-08 09:00:00"
        << "2026-12-09 09:00:00";
    QTest::newRow("startup: hours 2 without start") << startup << wed10 << 1 << 2 << ""
                                                    << "0"
                                                    << "2026-12-08 17:00:00"
                                                    << "2026-12-09 12:00:00";
    QTest::newRow("startup: week only today, by date, not yet run today")
        << startup << wed10 << 3 << 0 << "0010000"
        << "0"
        << "2026-12-02"
        << "2026-12-09";
    QTest::newRow("startup: week only today, start time passed")
        << startup << wed10 << 3 << 0 << "0010000"
        << "09:00:00"
        << "2026-12-02 09:00:00"
        << "2026-12-16 09:00:00";
    QTest::newRow("startup: week only today, start time ahead")
        << startup << wed10 << 3 << 0 << "0010000"
        << "18:00:00"
        << "2026-12-02 18:00:00"
        << "2026-12-09 18:00:00";
    QTest::newRow("startup: once with start never moves") << startup << wed10 << 5 << 0 << ""
                                                          << "09:00:00"
                                                          << "2026-12-01 09:00:00"
                                                          << "2026-12-01 09:00:00";
    QTest::newRow("startup: future row untouched") << startup << wed10 << 0 << 30 << ""
                                                   << "0"
                                                   << "2026-12-09 10:20:00"
                                                   << "2026-12-09 10:20:00";
    QTest::newRow("startup: passed by one millisecond, untouched")
        << startup << At("2026-12-09 10:00:00", 1) << 0 << 30 << ""
        << "0"
        << "2026-12-09 10:00:00"
        << "2026-12-09 10:00:00";
    QTest::newRow("startup: passed by two milliseconds, moved")
        << startup << At("2026-12-09 10:00:00", 2) << 0 << 30 << ""
        << "0"
        << "2026-12-09 10:00:00"
        << "2026-12-09 10:30:00";

    // After a run.
    QTest::newRow("after run: minutes 30 with start moves by 30 minutes")
        << afterRun << wed10 << 0 << 30 << ""
        << "09:00:00"
        << "2026-12-09 09:00:00"
        << "2026-12-09 10:30:00";
    QTest::newRow("after run: hours 1 with start moves by an hour")
        << afterRun << At("2026-12-09 09:00:04") << 1 << 1 << ""
        << "09:00:00"
        << "2026-12-09 09:00:00"
        << "2026-12-09 10:00:04";
    // After a run every N means every N, across midnight too.
    QTest::newRow("after run: hours 2 from 23:00, the 23:00 run")
        << afterRun << At("2026-12-09 23:00:00", 500) << 1 << 2 << ""
        << "23:00:00"
        << "2026-12-09 23:00:00"
        << "2026-12-10 01:00:00";
    QTest::newRow("after run: minutes 30 from 09:00, a 23:45 run")
        << afterRun << At("2026-12-09 23:45:00", 500) << 0 << 30 << ""
        << "09:00:00"
        << "2026-12-09 23:45:00"
        << "2026-12-10 00:15:00";
    QTest::newRow("after run: minutes 30 from 09:00, the 00:15 run")
        << afterRun << At("2026-12-10 00:15:00", 500) << 0 << 30 << ""
        << "09:00:00"
        << "2026-12-10 00:15:00"
        << "2026-12-10 00:45:00";
    QTest::newRow("after run: minutes 30 without start") << afterRun << wed10 << 0 << 30 << ""
                                                         << "0"
                                                         << "2026-12-09 09:59:00"
                                                         << "2026-12-09 10:30:00";
    QTest::newRow("after run: days by date, not today") << afterRun << wed10 << 2 << 1 << ""
                                                        << "0"
                                                        << "2026-12-09"
                                                        << "2026-12-10";
    QTest::newRow("after run: every 2 days at the start time")
        << afterRun << At("2026-12-09 09:00:30") << 2 << 2 << ""
        << "09:00:00"
        << "2026-12-09 09:00:00"
        << "2026-12-11 09:00:00";
    QTest::newRow("after run: week only today, by date: next week")
        << afterRun << wed10 << 3 << 0 << "0010000"
        << "0"
        << "2026-12-09"
        << "2026-12-16";
    QTest::newRow("after run: week only today, start passed: next chosen day")
        << afterRun << wed10 << 3 << 0 << "0010000"
        << "09:00:00"
        << "2026-12-09 09:00:00"
        << "2026-12-16 09:00:00";
    QTest::newRow("after run: Monday only on a Monday: next Monday")
        << afterRun << At("2026-12-07 10:00:00") << 3 << 0 << "1000000"
        << "0"
        << "2026-12-07"
        << "2026-12-14";
    QTest::newRow("after run: Mon+Wed on Wednesday: Monday")
        << afterRun << wed10 << 3 << 0 << "1010000"
        << "0"
        << "2026-12-09"
        << "2026-12-14";
    QTest::newRow("after run: month day by date on its day")
        << afterRun << At("2026-12-15 10:00:00") << 4 << 15 << ""
        << "0"
        << "2026-12-15"
        << "2027-01-15";
    QTest::newRow("after run: month day with start on its day")
        << afterRun << At("2026-12-15 10:00:00") << 4 << 15 << ""
        << "09:00:00"
        << "2026-12-15 09:00:00"
        << "2027-01-15 09:00:00";
    QTest::newRow("after run: once stays on its date") << afterRun << wed10 << 5 << 0 << ""
                                                       << "0"
                                                       << "2026-12-09"
                                                       << "2026-12-09";
    QTest::newRow("after run: manual marker") << afterRun << wed10 << 19 << 0 << ""
                                              << ""
                                              << ""
                                              << "1899-12-30";
    QTest::newRow("after run: on-change marker") << afterRun << wed10 << 20 << 0 << ""
                                                 << ""
                                                 << ""
                                                 << "1899-12-30";
}

void TestScheduleRules::recompute()
{
    QFETCH(bool, afterRun);
    QFETCH(QDateTime, now);
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, mask);
    QFETCH(QString, start);
    QFETCH(QString, stored);
    QFETCH(QString, expected);

    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, kTask, kind == 19 ? 0 : kind == 20 ? 1 : 2);
    InsertEntry(query, kTask, kind, value, mask, start, stored);

    const FixedClock clock(now);
    if (afterRun)
        UpdateAfterRun(db, kTask, kRunStart, clock);
    else
        RecomputeOnStartup(db, clock);

    const QList<StoredTimes> times = ReadTimes(db, kTask);
    QCOMPARE(times.size(), 1);
    QCOMPARE(times[0].next, expected);
    // Start-up never writes LastRunTime; a run writes its start into every
    // row whose next run had passed, and into no other.
    const bool passed = stored.isEmpty() || DateTimeFromText(stored) < now.addMSecs(-1);
    QCOMPARE(times[0].last, afterRun && passed ? kRunStart : kSavedAt);
}

void TestScheduleRules::startupLeavesFutureRowsAndLastRunAlone()
{
    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, QStringLiteral("1"), 2);
    InsertEntry(query, QStringLiteral("1"), 0, 30, QString(), QStringLiteral("0"),
                QStringLiteral("2026-12-09 11:00:00"));
    InsertEntry(query, QStringLiteral("1"), 2, 1, QString(), QStringLiteral("0"),
                QStringLiteral("2026-12-08"));
    InsertTask(query, QStringLiteral("2"), 0);
    InsertEntry(query, QStringLiteral("2"), 19, 0, QString(), QString(), QString());

    const FixedClock clock(At("2026-12-09 10:00:00"));
    QCOMPARE(RecomputeOnStartup(db, clock), 1);

    const QList<StoredTimes> first = ReadTimes(db, QStringLiteral("1"));
    QCOMPARE(first.size(), 2);
    QCOMPARE(first[0].next, QStringLiteral("2026-12-09 11:00:00"));
    QCOMPARE(first[0].last, kSavedAt);
    QCOMPARE(first[1].next, QStringLiteral("2026-12-10"));
    QCOMPARE(first[1].last, kSavedAt);

    // Marker rows are not schedule entries: start-up leaves them as saved.
    const QList<StoredTimes> marker = ReadTimes(db, QStringLiteral("2"));
    QCOMPARE(marker.size(), 1);
    QCOMPARE(marker[0].next, QString());
    QCOMPARE(marker[0].last, kSavedAt);
}

void TestScheduleRules::afterRunRecordsLastRunOfMarkerRows_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("markerKind");
    QTest::addColumn<QString>("cell");
    QTest::newRow("manual") << 0 << 19 << "Manually";
    QTest::newRow("on source change") << 1 << 20 << "On Source Folder(s) Contents Change";
}

void TestScheduleRules::afterRunRecordsLastRunOfMarkerRows()
{
    QFETCH(int, mode);
    QFETCH(int, markerKind);
    QFETCH(QString, cell);

    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, kTask, mode);
    InsertEntry(query, kTask, markerKind, 0, QString(), QString(), QString());

    const FixedClock clock(At("2026-12-09 10:00:00"));
    QCOMPARE(UpdateAfterRun(db, kTask, kRunStart, clock), cell);
    QCOMPARE(LastRunCellText(db, kTask), kRunStart);
    const QList<TaskListRow> list = ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID));
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].lastRunText, kRunStart);
    QCOMPARE(list[0].nextRunText, cell);

    // A second run moves the last run on again.
    const QString secondStart = QStringLiteral("2026-12-09 11:00:00");
    UpdateAfterRun(db, kTask, secondStart, clock);
    QCOMPARE(LastRunCellText(db, kTask), secondStart);
}

void TestScheduleRules::afterRunUpdatesEveryRowOfTheTask()
{
    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, kTask, 2);
    const int rows = 25;
    for (int i = 0; i < rows; ++i)
        InsertEntry(query, kTask, 0, 2 + i, QString(), QStringLiteral("0"),
                    QStringLiteral("2026-12-09 09:00:00"));
    const QString other = QStringLiteral("77");
    InsertTask(query, other, 2);
    InsertEntry(query, other, 0, 2, QString(), QStringLiteral("0"),
                QStringLiteral("2026-12-09 09:00:00"));

    const FixedClock clock(At("2026-12-09 10:00:00"));
    QCOMPARE(UpdateAfterRun(db, kTask, kRunStart, clock), QStringLiteral("2026-12-09 10:02:00"));

    const QList<StoredTimes> times = ReadTimes(db, kTask);
    QCOMPARE(times.size(), rows);
    for (int i = 0; i < rows; ++i) {
        QCOMPARE(times[i].next, DateTimeText(At("2026-12-09 10:00:00").addSecs(60 * (2 + i))));
        QCOMPARE(times[i].last, kRunStart);
    }
    const QList<StoredTimes> untouched = ReadTimes(db, other);
    QCOMPARE(untouched.size(), 1);
    QCOMPARE(untouched[0].next, QStringLiteral("2026-12-09 09:00:00"));
    QCOMPARE(untouched[0].last, kSavedAt);
}

void TestScheduleRules::badStartTimeStopsAtThatRow()
{
    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, kTask, 2);
    InsertEntry(query, kTask, 2, 1, QString(), QStringLiteral("0"), QStringLiteral("2026-12-08"));
    InsertEntry(query, kTask, 3, 0, QStringLiteral("1111111"), QStringLiteral("nine"),
                QStringLiteral("2026-12-08"));
    InsertEntry(query, kTask, 0, 30, QString(), QStringLiteral("0"), QStringLiteral("2026-12-08"));

    const FixedClock clock(At("2026-12-09 10:00:00"));
    QVERIFY_THROWS_EXCEPTION(StoreError, UpdateAfterRun(db, kTask, kRunStart, clock));

    const QList<StoredTimes> times = ReadTimes(db, kTask);
    QCOMPARE(times.size(), 3);
    QCOMPARE(times[0].next, QStringLiteral("2026-12-10"));
    QCOMPARE(times[1].next, QStringLiteral("2026-12-08"));
    QCOMPARE(times[2].next, QStringLiteral("2026-12-08"));
}

void TestScheduleRules::skippedLocalTimesMoveToTheEndOfTheGap()
{
    // Berlin's clocks skip from 02:00 to 03:00 on 29 March 2026: a daily
    // 02:30 entry must not wait for a moment that never comes.
    const ScopedTimeZone berlin("Europe/Berlin");

    QCOMPARE(DateTimeText(DateTimeFromText(QStringLiteral("2026-03-29 02:30:00"))),
             QStringLiteral("2026-03-29 03:00:00"));
    const ScheduleEntry daily{ScheduleKind::EveryDays, 1, QString(), QDate(),
                              QStringLiteral("02:30:00")};
    QCOMPARE(NextRunAtSave(daily, FixedClock(At("2026-03-28 10:00:00"))),
             QStringLiteral("2026-03-29 03:00:00"));
    QCOMPARE(RecomputeNextRun(daily, At("2026-03-28 02:30:00"), RecomputeMoment::AfterRun,
                              At("2026-03-28 02:30:05")),
             std::optional<QString>(QStringLiteral("2026-03-29 03:00:00")));
    // The moment after the gap is a real one: it comes once, an hour after 02:00 UTC+1.
    QCOMPARE(DateTimeFromText(QStringLiteral("2026-03-29 03:00:00")).toSecsSinceEpoch() -
                 DateTimeFromText(QStringLiteral("2026-03-29 01:59:00")).toSecsSinceEpoch(),
             60);
}

void TestScheduleRules::nextRunCellText()
{
    TaskDatabase& db = m_db;
    TaskQuery query(db);
    InsertTask(query, QStringLiteral("1"), 2);
    InsertEntry(query, QStringLiteral("1"), 5, 0, QString(), QStringLiteral("0"),
                QStringLiteral("2026-12-24"));
    InsertEntry(query, QStringLiteral("1"), 0, 30, QString(), QStringLiteral("0"),
                QStringLiteral("2026-12-10 08:15:00"));
    InsertTask(query, QStringLiteral("2"), 2);

    QCOMPARE(NextRunCellText(db, QStringLiteral("1")), QStringLiteral("2026-12-10 08:15:00"));
    QCOMPARE(NextRunCellText(db, QStringLiteral("2")), QString());
    QCOMPARE(NextRunCellText(db, QStringLiteral("no such task")), QString());
}

void TestScheduleRules::describeStoredEntry_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("nextRun");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hour with start") << 1 << 1 << ""
                                     << ""
                                     << "09:00:00"
                                     << "Run every hour; Starting at 09:00:00";
    QTest::newRow("5 hours") << 1 << 5 << ""
                             << ""
                             << "0"
                             << "Run every 5 hours";
    QTest::newRow("minute") << 0 << 1 << ""
                            << ""
                            << "0"
                            << "Run every minute";
    QTest::newRow("30 minutes") << 0 << 30 << ""
                                << ""
                                << "0"
                                << "Run every 30 minutes";
    QTest::newRow("day") << 2 << 1 << ""
                         << ""
                         << "0"
                         << "Run every day";
    QTest::newRow("7 days with start") << 2 << 7 << ""
                                       << ""
                                       << "23:59:59"
                                       << "Run every 7 days; Starting at 23:59:59";
    QTest::newRow("week Mon+Wed") << 3 << 0 << "1010000"
                                  << ""
                                  << "0"
                                  << "Run on: Monday, Wednesday";
    QTest::newRow("week every day")
        << 3 << 0 << "1111111"
        << ""
        << "0"
        << "Run on: Monday, Tuesday, Wednesday, Thurday, Friday, Saturday, Sunday";
    QTest::newRow("week Sunday with start") << 3 << 0 << "0000001"
                                            << ""
                                            << "09:00:00"
                                            << "Run on: Sunday; Starting at 09:00:00";
    QTest::newRow("month") << 4 << 15 << ""
                           << ""
                           << "0"
                           << "Run on 15 day of every month";
    QTest::newRow("once") << 5 << 0 << ""
                          << "2026-12-24"
                          << "0"
                          << "Run once at : 2026-12-24";
    QTest::newRow("once with start") << 5 << 0 << ""
                                     << "2026-12-24 18:30:00"
                                     << "18:30:00"
                                     << "Run once at : 2026-12-24 18:30:00; Starting at 18:30:00";
}

void TestScheduleRules::describeStoredEntry()
{
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, mask);
    QFETCH(QString, nextRun);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    const ScheduleEntry entry{static_cast<ScheduleKind>(kind), value, mask, QDate(), start};
    QCOMPARE(DescribeStoredEntry(entry, nextRun), expected);
}

void TestScheduleRules::describeEditorEntry_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QDate>("onceDate");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("expected");

    const QDate noDate;
    QTest::newRow("30 minutes") << 0 << 30 << "" << noDate << "0"
                                << "Run every 30 minute(s)";
    QTest::newRow("30 minutes with start") << 0 << 30 << "" << noDate << "09:00:00"
                                           << "Run every 30 minute(s); Starting at 09:00:00.";
    QTest::newRow("hour") << 1 << 1 << "" << noDate << "0"
                          << "Run every hour";
    QTest::newRow("2 hours") << 1 << 2 << "" << noDate << "0"
                             << "Run every 2 hour(s)";
    QTest::newRow("hour with start") << 1 << 1 << "" << noDate << "09:00:00"
                                     << "Run every hour; Starting at 09:00:00.";
    QTest::newRow("day") << 2 << 1 << "" << noDate << "0"
                         << "Run every day";
    QTest::newRow("3 days") << 2 << 3 << "" << noDate << "0"
                            << "Run every 3 day(s)";
    QTest::newRow("week Mon+Wed") << 3 << 0 << "1010000" << noDate << "0"
                                  << "Run on: Monday, Wednesday";
    QTest::newRow("week every day")
        << 3 << 0 << "1111111" << noDate << "0"
        << "Run on: Sunday, Monday, Tuesday, Wednesday, Thurday, Friday, Saturday";
    QTest::newRow("week Sat+Sun with start") << 3 << 0 << "0000011" << noDate << "09:00:00"
                                             << "Run on: Sunday, Saturday; Starting at 09:00:00.";
    QTest::newRow("week Thursday only") << 3 << 0 << "0001000" << noDate << "0"
                                        << "Run on: Thurday";
    QTest::newRow("month") << 4 << 15 << "" << noDate << "0"
                           << "Run on 15 day of every month";
    QTest::newRow("month with start") << 4 << 15 << "" << noDate << "09:00:00"
                                      << "Run on 15 day of every month; starting at 09:00:00";
    QTest::newRow("once") << 5 << 0 << "" << QDate(2026, 12, 24) << "0"
                          << "Run on 2026-12-24";
    QTest::newRow("once with start") << 5 << 0 << "" << QDate(2026, 12, 24) << "18:30:00"
                                     << "Run on 2026-12-24 18:30:00";
}

void TestScheduleRules::describeEditorEntry()
{
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, mask);
    QFETCH(QDate, onceDate);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    const ScheduleEntry entry{static_cast<ScheduleKind>(kind), value, mask, onceDate, start};
    QCOMPARE(DescribeEditorEntry(entry), expected);
}

QTEST_GUILESS_MAIN(TestScheduleRules)
#include "TestScheduleRules.moc"
