// SPDX-License-Identifier: GPL-3.0-or-later
// The checks every front end asks before the store takes a value: the
// wildcard value and its entries, each kind of exclude rule at the edges
// of its ranges, each kind of schedule entry at a pinned moment, and group
// names; the names and folders of a task, and when its target overlaps a
// source.
#include "Rules.h"

#include "platform/Clock.h"
#include "store/TaskChecks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// Wednesday 9 December 2026, 10:00.
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));

ScheduleEntry entry(ScheduleKind kind, qint64 value, const QString& startTime = u"0"_s)
{
    ScheduleEntry e;
    e.kind = kind;
    e.value = value;
    e.startTime = startTime;
    return e;
}

} // namespace

class TestTaskChecks : public QObject
{
    Q_OBJECT

private slots:
    void wildcardValue_data();
    void wildcardValue();
    void wildcardEntry();
    void excludeRule_data();
    void excludeRule();
    void scheduleEntry_data();
    void scheduleEntry();
    void groupName_data();
    void groupName();
    void taskTexts_data();
    void taskTexts();
    void targetOverlap_data();
    void targetOverlap();
};

void TestTaskChecks::wildcardValue_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("value");
    QTest::newRow("in order, each with a comma") << QStringList{u"doc"_s, u"txt"_s} << u"doc,txt,"_s;
    QTest::newRow("blanks around trimmed") << QStringList{u" doc "_s} << u"doc,"_s;
    QTest::newRow("blank entries left out") << QStringList{u" "_s, u"doc"_s, u""_s} << u"doc,"_s;
    QTest::newRow("an entry with its own commas")
        << QStringList{u"doc,"_s, u"a, b"_s} << u"doc,a,b,"_s;
    QTest::newRow("nothing left") << QStringList{u" , "_s, u","_s} << QString();
}

void TestTaskChecks::wildcardValue()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, value);
    QCOMPARE(WildcardValue(entries), value);
}

void TestTaskChecks::wildcardEntry()
{
    const QStringList entries{u"doc"_s, u"txt"_s};
    QCOMPARE(CheckWildcardEntry(entries, u"doc"_s), std::optional(u"The Wildcard has included"_s));
    // Compared exactly: case and blanks count.
    QCOMPARE(CheckWildcardEntry(entries, u"DOC"_s), std::nullopt);
    QCOMPARE(CheckWildcardEntry(entries, u" doc"_s), std::nullopt);
    QCOMPARE(CheckWildcardEntry({}, u"doc"_s), std::nullopt);
}

void TestTaskChecks::excludeRule_data()
{
    QTest::addColumn<ExcludeRule>("rule");
    QTest::addColumn<QString>("refusal"); // empty: taken
    const QString months = u"The number of months must be a number from 0 to 10000."_s;
    const QString size = u"The size must be a number from 0 to 2147483647."_s;
    const QString attributes = u"A Attributes must been checked! at least!"_s;
    QTest::newRow("extensions") << Rule(kRuleExtensions, 0, 0, u"doc,"_s) << QString();
    QTest::newRow("a lone comma") << Rule(kRuleExtensions, 0, 0, u","_s) << u"Wildcard is empty!"_s;
    QTest::newRow("blank pieces") << Rule(kRuleExtensions, 0, 0, u" , "_s)
                                  << u"Wildcard is empty!"_s;
    QTest::newRow("a file") << Rule(kRuleSingleFile, 0, 0, u"/a/b.txt"_s) << QString();
    QTest::newRow("a file of blanks") << Rule(kRuleSingleFile, 0, 0, u"  "_s)
                                      << u"File is empty!"_s;
    QTest::newRow("a file by a relative path")
        << Rule(kRuleSingleFile, 0, 0, u"notes/b.txt"_s)
        << u"The file to leave out must be a full path, not 'notes/b.txt'."_s;
    QTest::newRow("size 0") << Rule(kRuleSize, kSizeEqual, kSizeBytes, u"0"_s) << QString();
    QTest::newRow("size at the top") << Rule(kRuleSize, kSizeLess, kSizeMegabytes, u"2147483647"_s)
                                     << QString();
    QTest::newRow("size below 0") << Rule(kRuleSize, kSizeLess, kSizeKilobytes, u"-1"_s) << size;
    QTest::newRow("size past the top")
        << Rule(kRuleSize, kSizeLess, kSizeKilobytes, u"2147483648"_s) << size;
    QTest::newRow("size not a number") << Rule(kRuleSize, kSizeLess, kSizeKilobytes, u"ten"_s)
                                       << size;
    QTest::newRow("unknown comparison") << Rule(kRuleSize, 3, kSizeBytes, u"1"_s)
                                        << u"Unknown comparison for a size rule."_s;
    QTest::newRow("unknown unit") << Rule(kRuleSize, kSizeLess, 3, u"1"_s)
                                  << u"Unknown unit for a size rule."_s;
    QTest::newRow("0 months") << Rule(kRuleDate, kDateLastWrite, kWindowLastMonths, u"0"_s)
                              << QString();
    QTest::newRow("10000 days") << Rule(kRuleDate, kDateCreation, kWindowLastDays, u"10000"_s)
                                << QString();
    QTest::newRow("10001 months") << Rule(kRuleDate, kDateLastWrite, kWindowLastMonths, u"10001"_s)
                                  << months;
    QTest::newRow("a range of one day")
        << Rule(kRuleDate, kDateLastAccess, kWindowBetween, u"2024-01-10"_s, u"2024-01-10"_s)
        << QString();
    QTest::newRow("a reversed range")
        << Rule(kRuleDate, kDateLastWrite, kWindowBetween, u"2024-01-20"_s, u"2024-01-10"_s)
        << u"Begin date must be earlier than To date!"_s;
    QTest::newRow("a range without its end")
        << Rule(kRuleDate, kDateLastWrite, kWindowBetween, u"2024-01-20"_s)
        << u"A date rule between two dates needs both dates."_s;
    QTest::newRow("unknown file time") << Rule(kRuleDate, 3, kWindowLastDays, u"1"_s)
                                       << u"Unknown file time for a date rule."_s;
    QTest::newRow("only encrypted") << Rule(kRuleAttributes, 0, 0, u"000001"_s) << QString();
    QTest::newRow("no attribute") << Rule(kRuleAttributes, 0, 0, u"000000"_s) << attributes;
    QTest::newRow("too few flags") << Rule(kRuleAttributes, 0, 0, u"10"_s) << attributes;
    QTest::newRow("a file with a line break")
        << Rule(kRuleSingleFile, 0, 0, u"/a\nb"_s)
        << u"A rule's value must not hold control characters (line breaks, tabs, escapes)."_s;
    QTest::newRow("unknown kind") << Rule(5, 0, 0, u"x"_s)
                                  << u"Unknown kind of exclude rule."_s;
}

void TestTaskChecks::excludeRule()
{
    QFETCH(ExcludeRule, rule);
    QFETCH(QString, refusal);
    QCOMPARE(CheckExcludeRule(rule).value_or(QString()), refusal);
}

void TestTaskChecks::scheduleEntry_data()
{
    QTest::addColumn<ScheduleEntry>("entry");
    QTest::addColumn<QString>("refusal");
    const QString minutes = u"The number of minutes must be a number from 2 to 1000."_s;
    const QString startTime = u"The start time must be a time of day."_s;
    QTest::newRow("every 2 minutes") << entry(ScheduleKind::EveryMinutes, 2) << QString();
    QTest::newRow("every minute") << entry(ScheduleKind::EveryMinutes, 1) << minutes;
    QTest::newRow("every 1001 minutes") << entry(ScheduleKind::EveryMinutes, 1001) << minutes;
    QTest::newRow("every hour") << entry(ScheduleKind::EveryHours, 1) << QString();
    QTest::newRow("every 0 days") << entry(ScheduleKind::EveryDays, 0)
                                  << u"The number of days must be a number from 1 to 1000."_s;
    QTest::newRow("day 28") << entry(ScheduleKind::WithinMonth, 28) << QString();
    QTest::newRow("day 29") << entry(ScheduleKind::WithinMonth, 29)
                            << u"The day of the month must be a number from 1 to 28."_s;
    ScheduleEntry week = entry(ScheduleKind::WithinWeek, 0);
    week.weekMask = u"1000001"_s;
    QTest::newRow("Monday and Sunday") << week << QString();
    week.weekMask = u"0000000"_s;
    QTest::newRow("no week day") << week << u"None selected day!"_s;
    week.weekMask = u"101"_s;
    QTest::newRow("a short mask") << week << u"None selected day!"_s;
    QTest::newRow("at nine") << entry(ScheduleKind::EveryHours, 2, u"09:00:00"_s) << QString();
    QTest::newRow("at 25 o'clock") << entry(ScheduleKind::EveryHours, 2, u"25:00:00"_s)
                                   << startTime;
    QTest::newRow("at no time") << entry(ScheduleKind::EveryHours, 2, u"abc"_s) << startTime;
    QTest::newRow("at a date") << entry(ScheduleKind::EveryHours, 2, u"2026-12-09"_s)
                               << startTime;
    ScheduleEntry once = entry(ScheduleKind::Once, 0);
    once.onceDate = kNow.date();
    QTest::newRow("once today") << once << QString();
    once.onceDate = kNow.date().addDays(-1);
    QTest::newRow("once yesterday") << once << u"The run date is earlier than current date!"_s;
    once.onceDate = kNow.date();
    once.startTime = u"09:59:00"_s;
    QTest::newRow("once a minute ago") << once << u"The run date is earlier current date!"_s;
    once.startTime = u"10:00:00"_s;
    QTest::newRow("once now") << once << u"The run date is earlier current date!"_s;
    once.startTime = u"10:01:00"_s;
    QTest::newRow("once a minute ahead") << once << QString();
    QTest::newRow("a marker row") << entry(ScheduleKind::ManualRow, 0)
                                  << u"Unknown kind of schedule entry."_s;
}

void TestTaskChecks::scheduleEntry()
{
    QFETCH(ScheduleEntry, entry);
    QFETCH(QString, refusal);
    const FixedClock clock(kNow);
    QCOMPARE(CheckScheduleEntry(entry, clock).value_or(QString()), refusal);
}

void TestTaskChecks::groupName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("empty") << QString() << u"Group name is empty"_s;
    QTest::newRow("a blank is a name") << u" "_s << QString();
    QTest::newRow("30 characters") << QString(30, u'g') << QString();
    QTest::newRow("31 characters") << QString(31, u'g')
                                   << u"A group name has at most 30 characters."_s;
    QTest::newRow("a line break")
        << u"a\nb"_s << u"A group name must not hold control characters (line breaks, tabs, "
                        "escapes)."_s;
}

void TestTaskChecks::groupName()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QCOMPARE(CheckGroupName(name).value_or(QString()), refusal);
}

namespace {

// A task that passes every check, with `field` set to `value`: "name",
// "source" (the second of two sources) or "target".
TaskRecord taskWith(const QString& field, const QString& value)
{
    TaskRecord task;
    task.name = u"Photos"_s;
    task.sources = {{u"/home/u/Photos"_s, true}, {u"/home/u/Music"_s, false}};
    task.targetDir = u"/media/backup"_s;
    if (field == u"name")
        task.name = value;
    else if (field == u"source")
        task.sources[1].path = value;
    else
        task.targetDir = value;
    return task;
}

} // namespace

void TestTaskChecks::taskTexts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("page");
    const QString nameControl =
        u"A task name must not hold control characters (line breaks, tabs, escapes)."_s;
    QTest::newRow("a name with a line break")
        << u"name"_s << u"ok\n[12:00:00] Mirror Successed!!"_s << nameControl << -1;
    QTest::newRow("a name with an escape") << u"name"_s << u"x\x1b[2J"_s << nameControl << -1;
    QTest::newRow("a name with a NUL") << u"name"_s << QString(u"a\0b"_s) << nameControl << -1;
    QTest::newRow("a name of blanks around a word") << u"name"_s << u"  Photos "_s << QString()
                                                    << -1;
    QTest::newRow("a name in another script") << u"name"_s << u"Фото 写真"_s << QString() << -1;
    QTest::newRow("a name turned around (U+202E)")
        << u"name"_s << u"report\u202Efdp.exe"_s << nameControl << -1;
    QTest::newRow("a name with a line separator (U+2028)")
        << u"name"_s << u"a\u2028b"_s << nameControl << -1;
    QTest::newRow("a name joined by ZWJ (emoji)")
        << u"name"_s << u"Family \U0001F468\u200D\U0001F469"_s << QString() << -1;
    QTest::newRow("a source whose bytes were no UTF-8")
        << u"source"_s << u"/tmp/\uFFFD"_s
        << u"A source folder must be valid UTF-8 text; '/tmp/\uFFFD' is not."_s << 0;
    QTest::newRow("a target whose bytes were no UTF-8")
        << u"target"_s << u"/media/\uFFFDx"_s
        << u"The target folder must be valid UTF-8 text; '/media/\uFFFDx' is not."_s << 1;
    QTest::newRow("a relative source") << u"source"_s << u"Music"_s
                                       << u"A source folder must be a full path, not 'Music'."_s
                                       << 0;
    QTest::newRow("a source from the home sign")
        << u"source"_s << u"~/Music"_s
        << u"A source folder must be a full path, not '~/Music'."_s << 0;
    QTest::newRow("a source with a tab")
        << u"source"_s << u"/home/u/a\tb"_s
        << u"A source folder must not hold control characters (line breaks, tabs, escapes)."_s
        << 0;
    QTest::newRow("a source of 4097 characters")
        << u"source"_s << u"/"_s + QString(4096, u's')
        << u"A source folder has at most 4096 characters."_s << 0;
    QTest::newRow("a relative target") << u"target"_s << u"backup/"_s
                                       << u"The target folder must be a full path, not 'backup/'."_s
                                       << 1;
    QTest::newRow("a target with a line break")
        << u"target"_s << u"/media/a\nb"_s
        << u"The target folder must not hold control characters (line breaks, tabs, escapes)."_s
        << 1;
    QTest::newRow("a target not made yet") << u"target"_s << u"/nonexistent/backup"_s << QString()
                                           << -1;
    // Replaced by a file of the fixture.
    QTest::newRow("a target that is a file") << u"target"_s << u"FILE"_s
                                             << u"The target 'FILE' is a file, not a folder."_s << 1;
}

void TestTaskChecks::taskTexts()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    QFETCH(int, page);
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"notes.txt"_s);
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    value.replace(u"FILE"_s, file);
    refusal.replace(u"FILE"_s, file);

    const std::optional<TaskCheckFailure> failure = ValidateTask(taskWith(field, value));
    QCOMPARE(failure ? failure->message : QString(), refusal);
    QCOMPARE(failure ? failure->page.value_or(-1) : -1, page);
}

void TestTaskChecks::targetOverlap_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("warning");
    QTest::newRow("beside") << u"/data/a"_s << true << u"/data/ab"_s << QString();
    QTest::newRow("above") << u"/data/a/b"_s << true << u"/data/a"_s << QString();
    QTest::newRow("the same folder")
        << u"/data/a"_s << true << u"/data/a/"_s
        << u"The target is the source folder /data/a itself: a run will find nothing to copy."_s;
    QTest::newRow("the same, without subfolders")
        << u"/data/a"_s << false << u"/data/./a"_s
        << u"The target is the source folder /data/a itself: a run will find nothing to copy."_s;
    QTest::newRow("inside")
        << u"/data/a"_s << true << u"/data/a/copy"_s
        << u"The target /data/a/copy lies inside the source folder /data/a: every run will "
           "also walk what earlier runs copied there."_s;
    QTest::newRow("inside the root") << u"/"_s << true << u"/backup"_s
                                     << u"The target /backup lies inside the source folder /: "
                                        "every run will also walk what earlier runs copied "
                                        "there."_s;
    QTest::newRow("inside, not walked") << u"/data/a"_s << false << u"/data/a/copy"_s << QString();
    // A link to the source in the fixture: the same folder by another name.
    QTest::newRow("through a link")
        << u"SOURCE"_s << true << u"LINK"_s
        << u"The target is the source folder SOURCE itself: a run will find nothing to copy."_s;
}

void TestTaskChecks::targetOverlap()
{
    QFETCH(QString, source);
    QFETCH(bool, subfolders);
    QFETCH(QString, target);
    QFETCH(QString, warning);
    const QTemporaryDir dir;
    const QString real = dir.filePath(u"real"_s);
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, dir.filePath(u"link"_s)));
    for (QString* text : {&source, &target, &warning}) {
        text->replace(u"SOURCE"_s, real);
        text->replace(u"LINK"_s, dir.filePath(u"link"_s));
    }

    TaskRecord task = taskWith(u"target"_s, target);
    task.sources = {{source, subfolders}};
    QCOMPARE(TargetOverlapWarning(task).value_or(QString()), warning);
}

QTEST_GUILESS_MAIN(TestTaskChecks)
#include "TestTaskChecks.moc"
