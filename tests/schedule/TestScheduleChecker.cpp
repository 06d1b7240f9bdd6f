// SPDX-License-Identifier: GPL-3.0-or-later
// The checker's due test: every second after its start looked at once,
// however the passes fall, entries due by date once per date (whichever
// checker finds them), refused starts tried again, unreadable rows passed
// over, and the six date-time fields never confused.
#include "ScopedTimeZone.h"

#include "schedule/ScheduleChecker.h"
#include "store/DateTexts.h"
#include "store/TaskDatabase.h"

#include <QTemporaryDir>
#include <QTest>


using namespace tarnwick;

namespace {

const QDate kDay(2026, 12, 10);

QDateTime at(int h, int m, int s, int ms = 0, QDate day = kDay)
{
    return QDateTime(day, QTime(h, m, s, ms));
}

CheckEntry timed(const char* task, const QDateTime& next, qint64 kind = 0)
{
    return {QString::fromLatin1(task), kind, next, QStringLiteral("09:00:00")};
}

CheckEntry byDate(const char* task, const QDate& day, qint64 kind = 2)
{
    return {QString::fromLatin1(task), kind, QDateTime(day, QTime(0, 0)), QStringLiteral("0")};
}

QStringList tasks(const QList<CheckEntry>& entries)
{
    QStringList ids;
    for (const CheckEntry& e : entries)
        ids << e.taskId;
    return ids;
}

} // namespace

class TestScheduleChecker : public QObject
{
    Q_OBJECT

private slots:
    void dueToTheSecond_data();
    void dueToTheSecond();
    void everySecondOnceWhateverThePasses();
    void secondsBeforeStartAreNotCovered();
    void dueByDateOncePerDate();
    void dueByDateRetriedUntilStarted();
    void whichEntriesAreDueByDate_data();
    void whichEntriesAreDueByDate();
    void refusedStartStaysDueUntilItStarts();
    void dateMemoryOutlivesTheChecker();
    void unreadableRowsArePassedOver();
    void repeatedAutumnHourDueOnce();
};

void TestScheduleChecker::dueToTheSecond_data()
{
    QTest::addColumn<QDateTime>("next");
    QTest::addColumn<QDateTime>("pass");
    QTest::addColumn<bool>("due");
    QTest::newRow("that second") << at(10, 30, 0) << at(10, 30, 0, 700) << true;
    QTest::newRow("a second early") << at(10, 30, 0) << at(10, 29, 59, 999) << false;
    QTest::newRow("next run has milliseconds") << at(10, 30, 0, 400) << at(10, 30, 0, 100) << true;
    // Digits that would run together alike: 10:01:55 and 10:15:05, and
    // 1 November against 11 January.
    QTest::newRow("10:01:55 vs 10:15:05") << at(10, 1, 55) << at(10, 15, 5) << false;
    QTest::newRow("1 Nov vs 11 Jan")
        << at(10, 0, 0, 0, QDate(2026, 11, 1)) << at(10, 0, 0, 0, QDate(2027, 1, 11)) << false;
}

void TestScheduleChecker::dueToTheSecond()
{
    QFETCH(QDateTime, next);
    QFETCH(QDateTime, pass);
    QFETCH(bool, due);
    // The checker starts a few seconds before the pass, so only `pass`
    // itself and the seconds just before it are looked at.
    ScheduleChecker checker(pass.addSecs(-1));
    QCOMPARE(checker.dueEntries({timed("1", next)}, pass).size(), due ? 1 : 0);
}

void TestScheduleChecker::everySecondOnceWhateverThePasses()
{
    // A slow pass jumps from 10:29:58 to 10:30:02: the entry of 10:30:00
    // still comes, once; two entries of one task both come (the start step
    // lets only one of them start a run).
    ScheduleChecker checker(at(10, 29, 57));
    const QList<CheckEntry> entries = {timed("1", at(10, 30, 0)), timed("1", at(10, 30, 0), 1),
                                       timed("2", at(10, 30, 5))};
    QCOMPARE(checker.dueEntries(entries, at(10, 29, 58, 10)).size(), 0);
    QCOMPARE(tasks(checker.dueEntries(entries, at(10, 30, 2, 900))),
             QStringList({QStringLiteral("1"), QStringLiteral("1")}));
    QCOMPARE(checker.dueEntries(entries, at(10, 30, 2, 950)).size(), 0); // same second again
    QCOMPARE(checker.dueEntries(entries, at(10, 30, 4)).size(), 0);
    QCOMPARE(tasks(checker.dueEntries(entries, at(10, 30, 5))), QStringList({QStringLiteral("2")}));
    QCOMPARE(checker.dueEntries(entries, at(10, 30, 6)).size(), 0);
}

void TestScheduleChecker::secondsBeforeStartAreNotCovered()
{
    ScheduleChecker checker(at(10, 30, 1, 500));
    QCOMPARE(checker.dueEntries({timed("1", at(10, 30, 0))}, at(10, 30, 1, 600)).size(), 0);
    // The second the checker started in is covered.
    ScheduleChecker sameSecond(at(10, 30, 0, 500));
    QCOMPARE(sameSecond.dueEntries({timed("1", at(10, 30, 0))}, at(10, 30, 1)).size(), 1);
}

void TestScheduleChecker::dueByDateOncePerDate()
{
    // Every pass is at a later second than the one before, so each "not
    // again" below comes from the once-per-date memory, not from the checker
    // passing over a second it has already looked at.
    ScheduleChecker checker(at(0, 0, 0));
    const CheckEntry once = byDate("5", kDay, 5);
    QCOMPARE(checker.dueEntries({once}, at(0, 0, 1)).size(), 1);
    checker.started(once, kDay);
    // The run ended and the entry still stands on today's date: not again,
    // neither the next second nor late in the day.
    QCOMPARE(checker.dueEntries({once}, at(0, 0, 2)).size(), 0);
    QCOMPARE(checker.dueEntries({once}, at(9, 0, 0)).size(), 0);
    QCOMPARE(checker.dueEntries({once}, at(23, 59, 58)).size(), 0);
    // A different entry of the task on the same date is its own entry: due
    // beside the started one, and then once only as well.
    const CheckEntry weekly = byDate("5", kDay, 3);
    const QList<CheckEntry> dueOn10th = checker.dueEntries({once, weekly}, at(23, 59, 59));
    QCOMPARE(dueOn10th.size(), 1);
    QCOMPARE(dueOn10th.first().kind, qint64(3));
    checker.started(weekly, kDay);

    // The next date: entries still dated the day before are not due; an
    // entry dated the new day is, once.
    const QDate nextDay = kDay.addDays(1);
    QCOMPARE(checker.dueEntries({once, weekly}, at(0, 0, 0, 0, nextDay)).size(), 0);
    const CheckEntry daily = byDate("5", nextDay);
    const QList<CheckEntry> dueOn11th =
        checker.dueEntries({once, weekly, daily}, at(0, 0, 1, 0, nextDay));
    QCOMPARE(dueOn11th.size(), 1);
    QCOMPARE(dueOn11th.first().kind, qint64(2));
    checker.started(daily, nextDay);
    QCOMPARE(checker.dueEntries({once, weekly, daily}, at(12, 0, 0, 0, nextDay)).size(), 0);

    // The memory lasts as long as the checker: a new one, as after a
    // restart of the program, starts the entry again on its date.
    ScheduleChecker fresh(at(12, 0, 0));
    QCOMPARE(fresh.dueEntries({once}, at(12, 0, 1)).size(), 1);
}

void TestScheduleChecker::dueByDateRetriedUntilStarted()
{
    // While the task is busy the entry is not started, so it stays due at
    // every pass of the day until a start succeeds.
    ScheduleChecker checker(at(8, 0, 0));
    const CheckEntry daily = byDate("7", kDay);
    QCOMPARE(checker.dueEntries({daily}, at(8, 0, 1)).size(), 1);
    QCOMPARE(checker.dueEntries({daily}, at(8, 0, 2)).size(), 1);
    checker.started(daily, kDay);
    QCOMPARE(checker.dueEntries({daily}, at(8, 0, 3)).size(), 0);
    // Not due on another day.
    QCOMPARE(checker.dueEntries({byDate("8", kDay.addDays(1))}, at(8, 0, 4)).size(), 0);
}

void TestScheduleChecker::whichEntriesAreDueByDate_data()
{
    QTest::addColumn<qint64>("kind");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<bool>("byDate");
    QTest::newRow("minutes") << qint64(0) << "0" << false;
    QTest::newRow("hours") << qint64(1) << "0" << false;
    QTest::newRow("days") << qint64(2) << "0" << true;
    QTest::newRow("days at a time") << qint64(2) << "09:00:00" << false;
    QTest::newRow("week") << qint64(3) << "0" << true;
    QTest::newRow("month") << qint64(4) << "0" << true;
    QTest::newRow("once") << qint64(5) << "0" << true;
    QTest::newRow("once at a time") << qint64(5) << "07:30:00" << false;
    QTest::newRow("kind 6") << qint64(6) << "0" << true;
    // An empty or blank start time is no start time, as the rules read it.
    QTest::newRow("days, empty start time") << qint64(2) << "" << true;
    QTest::newRow("once, blank start time") << qint64(5) << " " << true;
    QTest::newRow("minutes, empty start time") << qint64(0) << "" << false;
}

void TestScheduleChecker::whichEntriesAreDueByDate()
{
    QFETCH(qint64, kind);
    QFETCH(QString, startTime);
    QFETCH(bool, byDate);
    const CheckEntry entry{QStringLiteral("1"), kind, at(0, 0, 0), startTime};
    QCOMPARE(entry.dueByDate(), byDate);
}

void TestScheduleChecker::refusedStartStaysDueUntilItStarts()
{
    // The task's run could not be made at its second (settings unreadable):
    // later passes try again until a run starts, then it is done.
    ScheduleChecker checker(at(10, 29, 0));
    const CheckEntry entry = timed("7", at(10, 30, 0));
    const CheckEntry other = timed("8", at(10, 30, 2));
    const QList<CheckEntry> stored{entry, other};
    QCOMPARE(tasks(checker.dueEntries(stored, at(10, 30, 0, 400))),
             QStringList{QStringLiteral("7")});
    checker.refused(entry);
    QCOMPARE(tasks(checker.dueEntries(stored, at(10, 30, 1, 10))),
             QStringList{QStringLiteral("7")});
    checker.refused(entry);
    QCOMPARE(tasks(checker.dueEntries(stored, at(10, 30, 2, 10))),
             QStringList({QStringLiteral("8"), QStringLiteral("7")}));
    checker.started(entry, kDay);
    QCOMPARE(tasks(checker.dueEntries(stored, at(10, 30, 3, 10))), QStringList());

    // A refused entry whose row changed meanwhile (edited, moved on) is
    // due by its new time only.
    checker.refused(other);
    const QList<CheckEntry> edited{entry, timed("8", at(11, 0, 0))};
    QCOMPARE(tasks(checker.dueEntries(edited, at(10, 30, 4, 10))), QStringList());
}

void TestScheduleChecker::dateMemoryOutlivesTheChecker()
{
    // The tasks changed and the checker was replaced: an entry due by date
    // that ran today must not run again.
    QSet<QString> memory;
    const QList<CheckEntry> stored{byDate("5", kDay, 5)};
    {
        ScheduleChecker first(at(8, 0, 0), &memory);
        QCOMPARE(tasks(first.dueEntries(stored, at(8, 0, 1))), QStringList{QStringLiteral("5")});
        first.started(stored.first(), kDay);
    }
    ScheduleChecker second(at(9, 0, 0), &memory);
    QCOMPARE(tasks(second.dueEntries(stored, at(9, 0, 1))), QStringList());
    // Without the shared memory a new checker would start it again.
    ScheduleChecker forgetful(at(9, 0, 0));
    QCOMPARE(tasks(forgetful.dueEntries(stored, at(9, 0, 1))), QStringList{QStringLiteral("5")});
}

void TestScheduleChecker::unreadableRowsArePassedOver()
{
    // A file made before the store refused such texts may hold a next run
    // time the program cannot read: that row is named and skipped, and
    // every other entry is still served.
    QTemporaryDir dir;
    TaskDatabase db;
    CreateTaskDatabase(dir.filePath(QStringLiteral("Tarnwick.dat")));
    db.open(dir.filePath(QStringLiteral("Tarnwick.dat")));
    db.execute(QStringLiteral("DROP TABLE TaskSchedule"));
    db.execute(QStringLiteral("CREATE TABLE TaskSchedule (TaskSchID INTEGER PRIMARY KEY, "
                              "TaskID TEXT, ScheduleType INTEGER, value INTEGER, withweek TEXT, "
                              "StartTime TEXT, LastRunTime TEXT, NextRunTime TEXT)"));
    db.execute(QStringLiteral("INSERT INTO TaskSchedule (TaskID, ScheduleType, value, StartTime, "
                              "NextRunTime) VALUES ('1', 0, 5, '0', '2030-01-01 09:00'),"
                              " ('2', 0, 5, '0', '2030-01-01 09:00:00')"));
    QStringList unreadable;
    const QList<CheckEntry> entries = LoadCheckEntries(db, &unreadable);
    QCOMPARE(tasks(entries), QStringList{QStringLiteral("2")});
    QCOMPARE(unreadable.size(), 1);
    QVERIFY2(unreadable.first().startsWith(QStringLiteral("A schedule entry of task 1 cannot be "
                                                          "read and is passed over: ")),
             qPrintable(unreadable.first()));
}

void TestScheduleChecker::repeatedAutumnHourDueOnce()
{
    // Berlin repeats 02:00-03:00 on 25 October 2026. A checker passing
    // every second through that night finds a 02:30 entry due once.
    const ScopedTimeZone berlin("Europe/Berlin");
    const QDate night(2026, 10, 25);
    const QList<CheckEntry> stored{
        {QStringLiteral("1"), 2, DateTimeFromText(QStringLiteral("2026-10-25 02:30:00")),
         QStringLiteral("02:30:00")}};
    const QDateTime from(night, QTime(1, 0));
    ScheduleChecker checker(from);
    int due = 0;
    for (qint64 second = 1; second <= 4 * 3600; ++second)
        due += int(checker.dueEntries(stored, from.addSecs(second)).size());
    QCOMPARE(due, 1);
}

QTEST_GUILESS_MAIN(TestScheduleChecker)
#include "TestScheduleChecker.moc"
