// SPDX-License-Identifier: GPL-3.0-or-later
// The rule dialog: the rule and the description each page gives, the
// wildcard list's entries (typed, copied, duplicates, blanks), every
// refusal with its message and the dialog left open, and the command line
// refusing the same bad rule with the same words.
#include "CliProcess.h"
#include "FakeDesktop.h"
#include "ProgramFolder.h"

#include "store/ExcludeRule.h"
#include "ui/TfrmFilter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace Qt::StringLiterals;

namespace {

// One step on the dialog's controls, written "control=value":
//   type=N           the filter type list's item
//   edtWildcard=T    text typed into the wildcard field
//   add              the wildcard Add button
//   copy=T           the predefined entry T chosen and copied with "<"
//   edtFile=T, size=N, compare=N, unit=N, time=N
//   months=N, days=N, range=FROM..TO (yyyy-MM-dd)
//   attr=FLAGS       the six boxes, in the stored order
using Steps = QStringList;

void apply(TfrmFilter& dialog, const QString& step)
{
    const QString key = step.section(u'=', 0, 0);
    const QString value = step.section(u'=', 1);
    const auto child = [&dialog](const char* name) {
        return dialog.findChild<QWidget*>(QString::fromLatin1(name));
    };
    if (key == u"type") {
        qobject_cast<QComboBox*>(child("cboFilterType"))->setCurrentIndex(value.toInt());
    } else if (key == u"edtWildcard") {
        auto* box = qobject_cast<QLineEdit*>(child("edtWildcard"));
        box->clear();
        QTest::keyClicks(box, value);
    } else if (key == u"add") {
        qobject_cast<QPushButton*>(child("spbtnAddWidcard"))->click();
    } else if (key == u"copy") {
        auto* list = qobject_cast<QListWidget*>(child("lboExpad"));
        list->setCurrentItem(list->findItems(value, Qt::MatchExactly).first());
        qobject_cast<QPushButton*>(child("spbtnTo"))->click();
    } else if (key == u"edtFile") {
        qobject_cast<QLineEdit*>(child("edtFile"))->setText(value);
    } else if (key == u"size") {
        qobject_cast<QSpinBox*>(child("CSpinEditByes"))->setValue(value.toInt());
    } else if (key == u"compare") {
        qobject_cast<QComboBox*>(child("cboCompare"))->setCurrentIndex(value.toInt());
    } else if (key == u"unit") {
        qobject_cast<QComboBox*>(child("cboSizeUnit"))->setCurrentIndex(value.toInt());
    } else if (key == u"time") {
        qobject_cast<QComboBox*>(child("cboDateOrTime"))->setCurrentIndex(value.toInt());
    } else if (key == u"months") {
        qobject_cast<QRadioButton*>(child("RadiobtnMonth"))->setChecked(true);
        qobject_cast<QSpinBox*>(child("CSpinEditMonth"))->setValue(value.toInt());
    } else if (key == u"days") {
        qobject_cast<QRadioButton*>(child("RadiobtnDay"))->setChecked(true);
        qobject_cast<QSpinBox*>(child("CSpinEditDay"))->setValue(value.toInt());
    } else if (key == u"range") {
        qobject_cast<QRadioButton*>(child("RadiobtnDate"))->setChecked(true);
        const QString format = u"yyyy-MM-dd"_s;
        qobject_cast<QDateEdit*>(child("dpFrom"))
            ->setDate(QDate::fromString(value.section(u".."_s, 0, 0), format));
        qobject_cast<QDateEdit*>(child("dtpTo"))
            ->setDate(QDate::fromString(value.section(u".."_s, 1), format));
    } else if (key == u"attr") {
        const char* boxes[] = {"chkReadOnly", "chkArchive", "chkHidden",
                               "chkSystem",   "chkCompress", "chkEncrypted"};
        for (int i = 0; i < 6; ++i)
            qobject_cast<QCheckBox*>(child(boxes[i]))->setChecked(value.at(i) == u'1');
    } else {
        QFAIL(qPrintable(u"unknown step "_s + step));
    }
}

QString columns(const ExcludeRule& rule)
{
    return u"%1|%2|%3|%4|%5"_s.arg(rule.type).arg(rule.value).arg(rule.stype).arg(rule.sstype).arg(
        rule.endDate);
}

} // namespace

class TestTfrmFilter : public QObject
{
    Q_OBJECT

private slots:
    void opensWithItsStartingValues();
    void okGivesTheRule_data();
    void okGivesTheRule();
    void wildcardEntries_data();
    void wildcardEntries();
    void commandLineRefusesTheSameRule_data();
    void commandLineRefusesTheSameRule();
};

void TestTfrmFilter::opensWithItsStartingValues()
{
    FakeDesktop desktop;
    TfrmFilter dialog(desktop);
    QCOMPARE(dialog.windowTitle(), u"Filter "_s);
    auto* expad = dialog.findChild<QListWidget*>(u"lboExpad"_s);
    QCOMPARE(expad->count(), 18);
    QCOMPARE(expad->item(11)->text(), u"exe"_s);
    QVERIFY(!dialog.findChild<QPushButton*>(u"spbtnAddWidcard"_s)->isEnabled());
    // The period options enable their own controls only.
    QVERIFY(dialog.findChild<QSpinBox*>(u"CSpinEditMonth"_s)->isEnabled());
    QVERIFY(!dialog.findChild<QSpinBox*>(u"CSpinEditDay"_s)->isEnabled());
    QVERIFY(!dialog.findChild<QDateEdit*>(u"dpFrom"_s)->isEnabled());
    apply(dialog, u"days=3"_s);
    QVERIFY(!dialog.findChild<QSpinBox*>(u"CSpinEditMonth"_s)->isEnabled());
    QVERIFY(dialog.findChild<QSpinBox*>(u"CSpinEditDay"_s)->isEnabled());
    // The size box has a floor and a ceiling.
    auto* size = dialog.findChild<QSpinBox*>(u"CSpinEditByes"_s);
    QCOMPARE(size->minimum(), 0);
    QCOMPARE(size->maximum(), 2147483647);
    // The type list shows its page; OK is the only default button.
    apply(dialog, u"type=3"_s);
    QCOMPARE(dialog.findChild<QStackedWidget*>(u"PageControl"_s)->currentWidget()->objectName(),
             u"TabShtDateTime"_s);
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        QCOMPARE(button->isDefault() || button->autoDefault(), button->objectName() == u"spbtnOK");
    for (QLineEdit* box : dialog.findChildren<QLineEdit*>()) {
        if (qobject_cast<QAbstractSpinBox*>(box->parentWidget()))
            continue;
        bool labelled = false;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            labelled = labelled || label->buddy() == box;
        QVERIFY2(labelled, qPrintable(box->objectName()));
    }
}

void TestTfrmFilter::okGivesTheRule_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("columns"); // type|value|stype|sstype|endDate
    QTest::addColumn<QString>("description");

    QTest::newRow("typed, never added") << Steps{u"edtWildcard=doc"_s} << QString()
                                        << u"0|doc,|0|0|"_s
                                        << u"Excluder files watching the wildcard: doc,"_s;
    QTest::newRow("two entries in order")
        << Steps{u"edtWildcard=doc"_s, u"add"_s, u"copy=txt"_s} << QString() << u"0|doc,txt,|0|0|"_s
        << u"Excluder files watching the wildcard: doc,txt,"_s;
    QTest::newRow("nothing") << Steps() << u"Wildcard is empty!"_s << QString() << QString();
    QTest::newRow("only blanks and commas")
        << Steps{u"edtWildcard= , "_s} << u"Wildcard is empty!"_s << QString() << QString();
    QTest::newRow("empty pieces left out")
        << Steps{u"edtWildcard=doc,"_s} << QString() << u"0|doc,|0|0|"_s
        << u"Excluder files watching the wildcard: doc,"_s;
    QTest::newRow("file") << Steps{u"type=1"_s, u"edtFile=/home/a/it's.txt"_s} << QString()
                          << u"1|/home/a/it's.txt|0|0|"_s
                          << u"Excluder file: /home/a/it's.txt"_s;
    QTest::newRow("no file") << Steps{u"type=1"_s} << u"File is empty!"_s << QString()
                             << QString();
    QTest::newRow("size, starting values")
        << Steps{u"type=2"_s} << QString() << u"2|10|0|1|"_s
        << u"Excluder if file size: Less than (<) 10 KBytes."_s;
    QTest::newRow("size 0, greater, bytes")
        << Steps{u"type=2"_s, u"size=0"_s, u"compare=2"_s, u"unit=2"_s} << QString()
        << u"2|0|2|2|"_s << u"Excluder if file size: Greater than (>) 0 Bytes."_s;
    QTest::newRow("date, starting values")
        << Steps{u"type=3"_s} << QString() << u"3|1|0|0|"_s
        << u"Excluder if file modified in the last 1 months."_s;
    QTest::newRow("created in the last 7 days")
        << Steps{u"type=3"_s, u"time=1"_s, u"days=7"_s} << QString() << u"3|7|1|1|"_s
        << u"Excluder if file created in the last 7 days."_s;
    QTest::newRow("accessed between")
        << Steps{u"type=3"_s, u"time=2"_s, u"range=2024-01-10..2024-01-20"_s} << QString()
        << u"3|2024-01-10|2|2|2024-01-20"_s
        << u"Excluder if file last accessed between 2024-01-10 and 2024-01-20."_s;
    QTest::newRow("a range of one day")
        << Steps{u"type=3"_s, u"range=2024-01-10..2024-01-10"_s} << QString()
        << u"3|2024-01-10|0|2|2024-01-10"_s
        << u"Excluder if file modified between 2024-01-10 and 2024-01-10."_s;
    QTest::newRow("a reversed range")
        << Steps{u"type=3"_s, u"range=2024-01-20..2024-01-10"_s}
        << u"Begin date must be earlier than To date!"_s << QString() << QString();
    // The pickers only count when "Date between" is chosen.
    QTest::newRow("a reversed range not chosen")
        << Steps{u"type=3"_s, u"range=2024-01-20..2024-01-10"_s, u"months=2"_s} << QString()
        << u"3|2|0|0|"_s << u"Excluder if file modified in the last 2 months."_s;
    QTest::newRow("attributes, starting values")
        << Steps{u"type=4"_s} << QString() << u"4|101100|0|0|"_s
        << u"Excluder if file attribute(s) set: Read Only or Hidden or System"_s;
    QTest::newRow("only encrypted") << Steps{u"type=4"_s, u"attr=000001"_s} << QString()
                                    << u"4|000001|0|0|"_s
                                    << u"Excluder if file attribute(s) set: Encrypted"_s;
    QTest::newRow("no attribute") << Steps{u"type=4"_s, u"attr=000000"_s}
                                  << u"A Attributes must been checked! at least!"_s << QString()
                                  << QString();
    // The type chosen decides, whatever the other pages hold.
    QTest::newRow("type decides") << Steps{u"edtWildcard=doc"_s, u"type=1"_s, u"edtFile=/f"_s}
                                  << QString() << u"1|/f|0|0|"_s << u"Excluder file: /f"_s;
}

void TestTfrmFilter::okGivesTheRule()
{
    QFETCH(Steps, steps);
    QFETCH(QString, message);
    QFETCH(QString, columns);
    QFETCH(QString, description);
    FakeDesktop desktop;
    TfrmFilter dialog(desktop);
    for (const QString& step : steps)
        apply(dialog, step);
    dialog.accept();
    if (!message.isEmpty()) {
        QCOMPARE(desktop.informations, QStringList{message});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        return;
    }
    QCOMPARE(desktop.informations, QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(::columns(dialog.rule()), columns);
    QCOMPARE(dialog.rule().excludeId, qint64(-1));
    QCOMPARE(dialog.description(), description);
}

void TestTfrmFilter::wildcardEntries_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("typed twice")
        << Steps{u"edtWildcard=doc"_s, u"add"_s, u"edtWildcard=doc"_s, u"add"_s}
        << QStringList{u"doc"_s} << QStringList{u"The Wildcard has included"_s};
    QTest::newRow("case counts")
        << Steps{u"edtWildcard=doc"_s, u"add"_s, u"edtWildcard=DOC"_s, u"add"_s}
        << QStringList{u"doc"_s, u"DOC"_s} << QStringList();
    QTest::newRow("copied twice") << Steps{u"copy=txt"_s, u"copy=txt"_s}
                                  << QStringList{u"txt"_s}
                                  << QStringList{u"The Wildcard has included"_s};
    QTest::newRow("typed, then copied") << Steps{u"edtWildcard=exe"_s, u"add"_s, u"copy=exe"_s}
                                        << QStringList{u"exe"_s}
                                        << QStringList{u"The Wildcard has included"_s};
}

void TestTfrmFilter::wildcardEntries()
{
    QFETCH(Steps, steps);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, messages);
    FakeDesktop desktop;
    TfrmFilter dialog(desktop);
    for (const QString& step : steps)
        apply(dialog, step);
    auto* list = dialog.findChild<QListWidget*>(u"lboWildcard"_s);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, entries);
    QCOMPARE(desktop.informations, messages);
    QVERIFY(dialog.findChild<QLineEdit*>(u"edtWildcard"_s)->text().isEmpty());
    // Blanks alone cannot be added; Clear empties the list.
    apply(dialog, u"edtWildcard=  "_s);
    QVERIFY(!dialog.findChild<QPushButton*>(u"spbtnAddWidcard"_s)->isEnabled());
    dialog.findChild<QPushButton*>(u"btnClear"_s)->click();
    QCOMPARE(list->count(), 0);
}

void TestTfrmFilter::commandLineRefusesTheSameRule_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("a reversed date range")
        << Steps{u"type=3"_s, u"range=2024-01-20..2024-01-10"_s}
        << QStringList{u"--exclude-date"_s, u"2024-01-20..2024-01-10"_s};
    QTest::newRow("a wildcard of blanks") << Steps{u"edtWildcard= , "_s}
                                          << QStringList{u"--exclude-ext"_s, u" , "_s};
}

void TestTfrmFilter::commandLineRefusesTheSameRule()
{
    // One bad rule, refused by the dialog and by `tarnwick-cli task add`.
    QFETCH(Steps, steps);
    QFETCH(QStringList, options);
    ProgramFolderFixture folder;
    FakeDesktop desktop;
    TfrmFilter dialog(desktop);
    for (const QString& step : steps)
        apply(dialog, step);
    dialog.accept();
    QCOMPARE(desktop.informations.size(), 1);

    const CliResult cli = RunCli(QStringList{u"task"_s, u"add"_s, u"T"_s, u"--source"_s, u"/s"_s,
                                             u"--target"_s, u"/t"_s} +
                                     options,
                                 folder.home.path(), folder.config.path());
    QCOMPARE(cli.exitCode, 2);
    QCOMPARE(cli.err.trimmed(), u"tarnwick-cli: task add: "_s + desktop.informations.first());
}

QTEST_MAIN(TestTfrmFilter)
#include "TestTfrmFilter.moc"
