// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule entry dialog at a pinned moment: the strip for each kind with
// and without a start time, the entry OK gives, the refusals (no week day, a
// Once date or time already passed), an entry loaded for editing, and the
// page buttons that only show a page.
#include "FakeDesktop.h"

#include "platform/Clock.h"
#include "store/DateTexts.h"
#include "store/ScheduleEntry.h"
#include "ui/TfrmTaskSchedule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimeEdit>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace Qt::StringLiterals;

namespace {

// Wednesday 9 December 2026, 10:00.
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));

// "kind=N", "minutes=N", "hours=N", "days=N", "week=MASK", "month=N",
// "once=yyyy-MM-dd", "at=HH:mm:ss" (ticks Start Time), "tab=N" (a page button).
void apply(TfrmTaskSchedule& dialog, const QString& step)
{
    const QString key = step.section(u'=', 0, 0);
    const QString value = step.section(u'=', 1);
    const auto child = [&dialog](const QString& name) {
        return dialog.findChild<QWidget*>(name);
    };
    if (key == u"kind") {
        qobject_cast<QComboBox*>(child(u"cboSchType"_s))->setCurrentIndex(value.toInt());
    } else if (key == u"minutes") {
        qobject_cast<QSpinBox*>(child(u"CSpinEdtMinutes"_s))->setValue(value.toInt());
    } else if (key == u"hours") {
        qobject_cast<QSpinBox*>(child(u"CSpinEitHour"_s))->setValue(value.toInt());
    } else if (key == u"days") {
        qobject_cast<QSpinBox*>(child(u"CSpinEitDay"_s))->setValue(value.toInt());
    } else if (key == u"week") {
        for (int i = 0; i < 7; ++i)
            qobject_cast<QCheckBox*>(child(u"chkWeek%1"_s.arg(i + 1)))
                ->setChecked(value.at(i) == u'1');
    } else if (key == u"month") {
        qobject_cast<QComboBox*>(child(u"cboMonth"_s))->setCurrentText(value);
    } else if (key == u"once") {
        qobject_cast<QDateEdit*>(child(u"DateTimePickerOnce"_s))
            ->setDate(QDate::fromString(value, u"yyyy-MM-dd"_s));
    } else if (key == u"at") {
        qobject_cast<QCheckBox*>(child(u"chkStartTime"_s))->setChecked(true);
        qobject_cast<QTimeEdit*>(child(u"DateTimePicker"_s))
            ->setTime(QTime::fromString(value, u"HH:mm:ss"_s));
    } else if (key == u"tab") {
        const QStringList tabs{u"spbtnMinute"_s, u"spbtnHour"_s, u"spbtnDay"_s,
                               u"spbtnWeek"_s,   u"spbtnMonth"_s, u"spbtnOnce"_s};
        qobject_cast<QPushButton*>(child(tabs.at(value.toInt())))->click();
    } else {
        QFAIL(qPrintable(u"unknown step "_s + step));
    }
}

QString columns(const ScheduleEntry& entry)
{
    QString value;
    switch (entry.kind) {
    case ScheduleKind::WithinWeek:
        value = entry.weekMask;
        break;
    case ScheduleKind::Once:
        value = DateText(entry.onceDate);
        break;
    default:
        value = QString::number(entry.value);
        break;
    }
    return u"%1|%2|%3"_s.arg(int(entry.kind)).arg(value, entry.startTime);
}

} // namespace

class TestTfrmTaskSchedule : public QObject
{
    Q_OBJECT

private:
    FixedClock m_clock{kNow};

private slots:
    void opensWithItsStartingValues();
    void okGivesTheEntry_data();
    void okGivesTheEntry();
    void loadEntryShowsIt_data();
    void loadEntryShowsIt();
};

void TestTfrmTaskSchedule::opensWithItsStartingValues()
{
    FakeDesktop desktop(m_clock);
    TfrmTaskSchedule dialog(desktop);
    QCOMPARE(dialog.windowTitle(), u"Task Scheduler"_s);
    QCOMPARE(dialog.findChild<QLabel*>(u"lblDisplay"_s)->text(), u"Run every 30 minute(s)."_s);
    QCOMPARE(dialog.description(), u"Run every 30 minute(s)."_s);
    auto* minutes = dialog.findChild<QSpinBox*>(u"CSpinEdtMinutes"_s);
    QCOMPARE(minutes->minimum(), 2);
    QCOMPARE(minutes->maximum(), 1000);
    QCOMPARE(dialog.findChild<QSpinBox*>(u"CSpinEitHour"_s)->minimum(), 1);
    QCOMPARE(dialog.findChild<QComboBox*>(u"cboMonth"_s)->count(), 28);
    QCOMPARE(dialog.findChild<QDateEdit*>(u"DateTimePickerOnce"_s)->date(), QDate(2027, 1, 8));
    QVERIFY(!dialog.findChild<QTimeEdit*>(u"DateTimePicker"_s)->isEnabled());
    QCOMPARE(dialog.findChild<QTimeEdit*>(u"DateTimePicker"_s)->time(), QTime(9, 0));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(columns(dialog.entry()), u"0|30|0"_s);
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        QCOMPARE(button->isDefault() || button->autoDefault(), button->objectName() == u"spbtnOK");
}

void TestTfrmTaskSchedule::okGivesTheEntry_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("strip");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("columns"); // kind|value slot|start slot
    const QString nine = u"09:00:00"_s;
    QTest::newRow("every hour") << QStringList{u"kind=1"_s} << u"Run every hour"_s << QString()
                                << u"1|1|0"_s;
    QTest::newRow("every 2 hours at nine")
        << QStringList{u"kind=1"_s, u"hours=2"_s, u"at=09:00:00"_s}
        << u"Run every 2 hour(s); Starting at "_s + nine + u"."_s << QString()
        << u"1|2|09:00:00"_s;
    QTest::newRow("every 45 minutes") << QStringList{u"minutes=45"_s}
                                      << u"Run every 45 minute(s)"_s << QString() << u"0|45|0"_s;
    QTest::newRow("every 3 days") << QStringList{u"kind=2"_s, u"days=3"_s}
                                  << u"Run every 3 day(s)"_s << QString() << u"2|3|0"_s;
    QTest::newRow("day 15 of the month")
        << QStringList{u"kind=4"_s, u"month=15"_s} << u"Run on 15 day of every month"_s
        << QString() << u"4|15|0"_s;
    QTest::newRow("day 15 at nine")
        << QStringList{u"kind=4"_s, u"month=15"_s, u"at=09:00:00"_s}
        << u"Run on 15 day of every month; starting at "_s + nine << QString()
        << u"4|15|09:00:00"_s;
    QTest::newRow("no week day") << QStringList{u"kind=3"_s, u"week=0000000"_s} << QString()
                                 << u"None selected day!"_s << QString();
    QTest::newRow("Monday and Sunday") << QStringList{u"kind=3"_s, u"week=1000001"_s}
                                       << QString() << QString() << u"3|1000001|0"_s;
    QTest::newRow("once today") << QStringList{u"kind=5"_s, u"once=2026-12-09"_s} << QString()
                                << QString() << u"5|2026-12-09|0"_s;
    QTest::newRow("once yesterday")
        << QStringList{u"kind=5"_s, u"once=2026-12-08"_s} << QString()
        << u"The run date is earlier than current date!"_s << QString();
    QTest::newRow("once today, a minute ago")
        << QStringList{u"kind=5"_s, u"once=2026-12-09"_s, u"at=09:59:00"_s} << QString()
        << u"The run date is earlier current date!"_s << QString();
    QTest::newRow("once today, a minute ahead")
        << QStringList{u"kind=5"_s, u"once=2026-12-09"_s, u"at=10:01:00"_s} << QString()
        << QString() << u"5|2026-12-09|10:01:00"_s;
    // A page button only shows a page; the kind stays the list's.
    QTest::newRow("week page shown, minutes chosen")
        << QStringList{u"tab=3"_s, u"week=0000000"_s} << QString() << QString()
        << u"0|30|0"_s;
}

void TestTfrmTaskSchedule::okGivesTheEntry()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, strip);
    QFETCH(QString, message);
    QFETCH(QString, columns);
    FakeDesktop desktop(m_clock);
    TfrmTaskSchedule dialog(desktop);
    for (const QString& step : steps)
        apply(dialog, step);
    if (!strip.isEmpty()) {
        QCOMPARE(dialog.findChild<QLabel*>(u"lblDisplay"_s)->text(), strip);
        QCOMPARE(dialog.description(), strip);
    }
    dialog.accept();
    if (!message.isEmpty()) {
        QCOMPARE(desktop.informations, QStringList{message});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        return;
    }
    QCOMPARE(desktop.informations, QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(::columns(dialog.entry()), columns);
}

void TestTfrmTaskSchedule::loadEntryShowsIt_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QDate>("once");
    QTest::addColumn<QString>("startTime");
    QTest::newRow("minutes") << 0 << qint64(45) << QString() << QDate() << u"0"_s;
    QTest::newRow("days at six") << 2 << qint64(3) << QString() << QDate() << u"06:00:00"_s;
    QTest::newRow("Monday and Sunday") << 3 << qint64(0) << u"1000001"_s << QDate() << u"0"_s;
    QTest::newRow("month day") << 4 << qint64(28) << QString() << QDate() << u"0"_s;
    QTest::newRow("once, stored date") << 5 << qint64(0) << QString() << QDate(2027, 3, 4)
                                       << u"08:30:00"_s;
}

void TestTfrmTaskSchedule::loadEntryShowsIt()
{
    QFETCH(int, kind);
    QFETCH(qint64, value);
    QFETCH(QString, mask);
    QFETCH(QDate, once);
    QFETCH(QString, startTime);
    ScheduleEntry stored;
    stored.kind = static_cast<ScheduleKind>(kind);
    stored.value = value;
    stored.weekMask = mask;
    stored.onceDate = once;
    stored.startTime = startTime;
    FakeDesktop desktop(m_clock);
    TfrmTaskSchedule dialog(desktop);
    dialog.LoadEntry(stored);
    QCOMPARE(dialog.findChild<QComboBox*>(u"cboSchType"_s)->currentIndex(), kind);
    QCOMPARE(dialog.findChild<QStackedWidget*>(u"PageControl"_s)->currentIndex(), kind);
    QCOMPARE(dialog.findChild<QCheckBox*>(u"chkStartTime"_s)->isChecked(), startTime != u"0");
    // Unchanged, OK gives back the entry it was given.
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(columns(dialog.entry()), columns(stored));
    QCOMPARE(dialog.description(), dialog.findChild<QLabel*>(u"lblDisplay"_s)->text());
}

QTEST_MAIN(TestTfrmTaskSchedule)
#include "TestTfrmTaskSchedule.moc"
