// SPDX-License-Identifier: GPL-3.0-or-later
// The task editor over a real task database at a pinned moment: a stored
// task of every rule and schedule kind reopened and saved unchanged writes
// the same rows; the checks in their order, each with its page; a refused
// or failing save leaves the dialog open with what was typed and every row
// as it was; a task that started running meanwhile is refused; the source,
// rule and entry lists as the buttons change them.
#include "FakeDesktop.h"
#include "ModalDialog.h"
#include "ProgramFolder.h"
#include "Rules.h"
#include "StoredRows.h"

#include "platform/Clock.h"
#include "store/ScheduleRules.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskWriter.h"
#include "ui/TfrmFilter.h"
#include "ui/TfrmFilterTest.h"
#include "ui/TfrmTask.h"
#include "ui/TfrmTaskSchedule.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QSignalSpy>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

// Wednesday 9 December 2026.
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));
const QString kId = QStringLiteral("4242");

// The rows of one task that a save decides, without keys and run times.
QStringList TaskRows(TaskDatabase& db, const QString& taskId)
{
    const auto where = [&taskId](const char* table, const char* order) {
        return QStringLiteral("select * from %1 where TaskID='%2' order by %3")
            .arg(QLatin1String(table), taskId, QLatin1String(order));
    };
    QStringList rows;
    for (const QString& row :
         Rows(db, where("Task", "rowid"),
              {"TaskID", "TaskGroupID", "TaskName", "SourceDir", "TargetDir", "ScheduleType"}))
        rows << QStringLiteral("Task:") + row;
    for (const QString& row : Rows(db, where("SourceDir", "rowid"), {"SourceDir", "IncludeSubDir"}))
        rows << QStringLiteral("SourceDir:") + row;
    for (const QString& row :
         Rows(db, where("Exclude", "ExcludeID"), {"type", "stype", "sstype", "value", "EndDate"}))
        rows << QStringLiteral("Exclude:") + row;
    for (const QString& row : Rows(db, where("TaskSchedule", "TaskSchID"),
                                   {"ScheduleType", "value", "withweek", "StartTime"}))
        rows << QStringLiteral("TaskSchedule:") + row;
    return rows;
}

TaskScheduleItem Entry(ScheduleKind kind, qint64 value, const QString& startTime = QStringLiteral("0"))
{
    TaskScheduleItem item;
    item.entry.kind = kind;
    item.entry.value = value;
    item.entry.startTime = startTime;
    return item;
}

} // namespace

class TestTfrmTask : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<TaskDatabase> m_db;
    std::unique_ptr<FixedClock> m_clock;
    std::unique_ptr<FakeDesktop> m_desktop;
    bool m_running = false;

    std::unique_ptr<TfrmTask> editor()
    {
        auto dialog = std::make_unique<TfrmTask>(
            *m_desktop, *m_db, [this](const QString&) { return m_running; });
        return dialog;
    }
    template <class T>
    static T* child(QWidget* dialog, const char* name)
    {
        T* found = dialog->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    static void click(QWidget* dialog, const char* name)
    {
        child<QPushButton>(dialog, name)->click();
    }
    // A task of every rule kind and every schedule kind, stored through the
    // write path.
    void storeFullTask(TaskRunMode mode)
    {
        TaskRecord task;
        task.taskId = kId;
        task.groupId = QStringLiteral("77");
        task.name = QStringLiteral("Bob's photos");
        task.targetDir = QStringLiteral("/mnt/o'neil");
        task.runMode = mode;
        task.sources = {{QStringLiteral("/home/a"), true}, {QStringLiteral("/home/b's"), false}};
        task.excludeMode = true;
        task.rules = {Rule(kRuleExtensions, 0, 0, QStringLiteral("doc,txt,")),
                      Rule(kRuleSingleFile, 0, 0, QStringLiteral("/home/a/it's.txt")),
                      Rule(kRuleSize, kSizeGreater, kSizeMegabytes, QStringLiteral("10")),
                      Rule(kRuleDate, kDateCreation, kWindowLastDays, QStringLiteral("7")),
                      Rule(kRuleDate, kDateLastAccess, kWindowBetween,
                           QStringLiteral("2024-01-10"), QStringLiteral("2024-01-20")),
                      Rule(kRuleAttributes, 0, 0, QStringLiteral("100001"))};
        TaskScheduleItem week = Entry(ScheduleKind::WithinWeek, 0, QStringLiteral("09:30:00"));
        week.entry.weekMask = QStringLiteral("1000001");
        TaskScheduleItem once = Entry(ScheduleKind::Once, 0, QStringLiteral("08:00:00"));
        once.entry.onceDate = QDate(2027, 1, 2);
        task.schedules = {Entry(ScheduleKind::EveryMinutes, 30),
                          Entry(ScheduleKind::EveryHours, 2, QStringLiteral("06:00:00")),
                          Entry(ScheduleKind::EveryDays, 3),
                          week,
                          Entry(ScheduleKind::WithinMonth, 15),
                          once};
        SaveTask(*m_db, task, TaskSaveMode::New, *m_clock);
    }

private slots:
    void init();
    void cleanup();
    void opensAsNew();
    void reopenAndSaveWritesTheSameRows_data();
    void reopenAndSaveWritesTheSameRows();
    void checksInOrderWithTheirPages_data();
    void checksInOrderWithTheirPages();
    void overlapIsToldThenSaved();
    void failingSaveKeepsEverything();
    void startedRunningMeanwhileIsRefused();
    void sourcesAsTyped_data();
    void sourcesAsTyped();
    void editOfASourceRowKeepsItsFlag();
    void oneStoredSourceShowsInTheBox();
    void includeAllStoresNoRule();
    void switchingToScheduledDropsTheMarker();
    void deletesAskFirst_data();
    void deletesAskFirst();
    void browsePutsTheFolderInTheBox();
    void controlsFollowTheChoices();
    void rulesAndEntriesFromTheirDialogs();
    void versionsAndDriveStartOnTheTargetPage_data();
    void versionsAndDriveStartOnTheTargetPage();
};

void TestTfrmTask::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_db = std::make_unique<TaskDatabase>();
    m_db->open(m_folder->databasePath());
    m_clock = std::make_unique<FixedClock>(kNow);
    m_desktop = std::make_unique<FakeDesktop>(*m_clock);
    m_running = false;
}

void TestTfrmTask::cleanup()
{
    m_desktop.reset();
    m_db.reset();
    m_folder.reset();
}

void TestTfrmTask::opensAsNew()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("The Sync Task Properties "));
    auto* name = child<QLineEdit>(dialog.get(), "edtTaskName");
    QCOMPARE(name->text(), QStringLiteral("Untitled"));
    QCOMPARE(name->maxLength(), 100);
    auto* pages = child<QTabWidget>(dialog.get(), "PageCtrlTask");
    QCOMPARE(pages->count(), 4);
    const QStringList tabs{QStringLiteral("Source"), QStringLiteral("Target"),
                           QStringLiteral("File Filter"), QStringLiteral("Schedule")};
    for (int i = 0; i < pages->count(); ++i)
        QCOMPARE(pages->tabText(i), tabs.at(i));
    // Ctrl+Tab turns the pages from the name box too, and wraps.
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::keyClick(child<QLineEdit>(dialog.get(), "edtTaskName"), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), 1);
    QTest::keyClick(child<QLineEdit>(dialog.get(), "edtTaskName"), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(child<QLineEdit>(dialog.get(), "edtTaskName"), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(pages->currentIndex(), 3);
    QVERIFY(child<QCheckBox>(dialog.get(), "chkIncludeSubdir")->isChecked());
    QVERIFY(child<QRadioButton>(dialog.get(), "RadioBtnInclude")->isChecked());
    QVERIFY(child<QRadioButton>(dialog.get(), "RadioBtnManually")->isChecked());
    // Only OK acts on Enter; every field has a label that names it.
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        const bool ok = button->objectName() == u"spbtnOK";
        QCOMPARE(button->isDefault(), ok);
        if (!ok)
            QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
    for (QLineEdit* box : dialog->findChildren<QLineEdit*>()) {
        // A spin box's own edit line is labelled through the spin box.
        QWidget* field = qobject_cast<QAbstractSpinBox*>(box->parentWidget())
                             ? box->parentWidget()
                             : static_cast<QWidget*>(box);
        bool labelled = false;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            labelled = labelled || label->buddy() == field;
        QVERIFY2(labelled, qPrintable(field->objectName()));
    }
}

void TestTfrmTask::reopenAndSaveWritesTheSameRows_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("scheduled, every rule and entry kind") << int(TaskRunMode::Scheduled);
    QTest::newRow("on change") << int(TaskRunMode::OnSourceChange);
    QTest::newRow("manual") << int(TaskRunMode::Manual);
}

void TestTfrmTask::reopenAndSaveWritesTheSameRows()
{
    QFETCH(int, mode);
    storeFullTask(static_cast<TaskRunMode>(mode));
    const QStringList before = TaskRows(*m_db, kId);
    auto dialog = editor();
    dialog->LoadTask(kId);
    QCOMPARE(child<QTreeWidget>(dialog.get(), "lvwSourceDir")->topLevelItemCount(), 2);
    QCOMPARE(child<QListWidget>(dialog.get(), "lvwExclude")->count(), 6);
    QCOMPARE(child<QListWidget>(dialog.get(), "lvwExclude")->item(5)->text(),
             QStringLiteral("Excluder if file attribute(s) set: Read Only or Encrypted."));
    QCOMPARE(child<QListWidget>(dialog.get(), "lvwSchedule")->count(),
             mode == int(TaskRunMode::Scheduled) ? 6 : 0);
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    // The editor lists entries sorted by their text and saves them in that
    // order; the rows themselves are the same.
    QStringList after = TaskRows(*m_db, kId);
    QStringList sortedBefore = before;
    sortedBefore.sort();
    after.sort();
    QCOMPARE(after, sortedBefore);
    // From then on, a reopen and save writes exactly the rows it found.
    const QStringList saved = TaskRows(*m_db, kId);
    auto again = editor();
    again->LoadTask(kId);
    again->accept();
    QCOMPARE(again->result(), int(QDialog::Accepted));
    QCOMPARE(TaskRows(*m_db, kId), saved);
    QCOMPARE(dialog->savedRow().taskId, kId);
    QCOMPARE(dialog->savedRow().taskName, QStringLiteral("Bob's photos"));
    QCOMPARE(dialog->savedRow().sourceText, QStringLiteral(" !>/home/a !>/home/b's"));
    QCOMPARE(dialog->savedRow().nextRunText, NextRunCellText(*m_db, kId));
}

void TestTfrmTask::checksInOrderWithTheirPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("exclude");
    QTest::addColumn<bool>("scheduled");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("page"); // the page shown afterwards
    const QString s = QStringLiteral("/src");
    const QString t = QStringLiteral("/dst");
    QTest::newRow("name first, page kept") << "" << "" << "" << true << true
                                           << "Task name is empty!" << 3;
    QTest::newRow("a name of blanks") << "   " << s << t << false << false
                                      << "Task name is empty!" << 3;
    QTest::newRow("no source") << "N" << "" << "" << true << true << "Source is empty!" << 0;
    QTest::newRow("a source of blanks") << "N" << "  " << t << false << false
                                        << "Source is empty!" << 0;
    QTest::newRow("no target") << "N" << s << "" << true << true << "Target is empty!" << 1;
    QTest::newRow("a target of blanks") << "N" << s << " " << false << false
                                        << "Target is empty!" << 1;
    QTest::newRow("a relative source") << "N" << "src" << t << false << false
                                       << "A source folder must be a full path, not 'src'." << 0;
    QTest::newRow("a name with a tab")
        << "N\tM" << s << t << false << false
        << "A task name must not hold control characters (line breaks, tabs, escapes)." << 3;
    QTest::newRow("exclude without rules") << "N" << s << t << true << true
                                           << "Please add a filer!" << 2;
    QTest::newRow("scheduled without entries") << "N" << s << t << false << true
                                               << "Please add a schedule!" << 3;
    QTest::newRow("complete") << "N" << s << t << false << false << "" << 3;
}

void TestTfrmTask::checksInOrderWithTheirPages()
{
    QFETCH(QString, name);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, exclude);
    QFETCH(bool, scheduled);
    QFETCH(QString, message);
    QFETCH(int, page);
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    child<QLineEdit>(dialog.get(), "edtTaskName")->setText(name);
    child<QLineEdit>(dialog.get(), "edtSourceDir")->setText(source);
    child<QLineEdit>(dialog.get(), "edtTargetDir")->setText(target);
    child<QRadioButton>(dialog.get(), exclude ? "RadioBtnExclude" : "RadioBtnInclude")
        ->setChecked(true);
    child<QRadioButton>(dialog.get(), scheduled ? "RadiobtnSchedule" : "RadioBtnManually")
        ->setChecked(true);
    auto* pages = child<QTabWidget>(dialog.get(), "PageCtrlTask");
    pages->setCurrentIndex(3);
    const QStringList before = Snapshot(*m_db);

    dialog->accept();

    QCOMPARE(m_desktop->informations, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(dialog->result(), int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(pages->currentIndex(), page);
    if (!message.isEmpty()) {
        QCOMPARE(Snapshot(*m_db), before);
        QCOMPARE(child<QLineEdit>(dialog.get(), "edtTaskName")->text(), name);
        QCOMPARE(child<QLineEdit>(dialog.get(), "edtSourceDir")->text(), source);
    } else {
        QCOMPARE(TaskRows(*m_db, kId),
                 (QStringList{QStringLiteral("Task:4242|AllTask|N|/src|/dst|0"),
                              QStringLiteral("SourceDir:/src|1"),
                              QStringLiteral("TaskSchedule:19|-|-|-")}));
    }
}

void TestTfrmTask::overlapIsToldThenSaved()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    child<QLineEdit>(dialog.get(), "edtTaskName")->setText(QStringLiteral("N"));
    child<QLineEdit>(dialog.get(), "edtSourceDir")->setText(QStringLiteral("/src"));
    child<QLineEdit>(dialog.get(), "edtTargetDir")->setText(QStringLiteral("/src/copy"));

    dialog->accept();

    QCOMPARE(m_desktop->informations,
             QStringList{QStringLiteral("The target /src/copy lies inside the source folder /src: "
                                        "every run will also walk what earlier runs copied "
                                        "there.")});
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(TaskRows(*m_db, kId).first(), QStringLiteral("Task:4242|AllTask|N|/src|/src/copy|0"));
}

void TestTfrmTask::failingSaveKeepsEverything()
{
    storeFullTask(TaskRunMode::Scheduled);
    // The new rows go in after the old ones are deleted; failing the last
    // insert must bring every old row back.
    m_db->execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TaskSchedule BEGIN "
                                 "SELECT RAISE(ABORT, 'disk on fire'); END"));
    const QStringList before = Snapshot(*m_db);
    auto dialog = editor();
    dialog->LoadTask(kId);
    child<QLineEdit>(dialog.get(), "edtTaskName")->setText(QStringLiteral("Renamed"));
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(m_desktop->errors.size(), 1);
    QVERIFY2(m_desktop->errors.first().contains(QStringLiteral("disk on fire")),
             qPrintable(m_desktop->errors.first()));
    QCOMPARE(Snapshot(*m_db), before);
    QCOMPARE(child<QLineEdit>(dialog.get(), "edtTaskName")->text(), QStringLiteral("Renamed"));
    QVERIFY(dialog->savedRow().taskId.isEmpty());
}

void TestTfrmTask::startedRunningMeanwhileIsRefused()
{
    storeFullTask(TaskRunMode::Manual);
    const QStringList before = Snapshot(*m_db);
    auto dialog = editor();
    dialog->LoadTask(kId);
    m_running = true;
    dialog->accept();
    QCOMPARE(m_desktop->informations, QStringList{TfrmTask::runningRefusal()});
    QVERIFY(TfrmTask::runningRefusal().startsWith(
        QStringLiteral("You can't modify properties of the running Task.")));
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(Snapshot(*m_db), before);
    // Once the run has ended, the same OK saves.
    m_running = false;
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestTfrmTask::sourcesAsTyped_data()
{
    QTest::addColumn<QStringList>("added");  // "path|1" or "path|0", added with Add
    QTest::addColumn<QString>("typed");      // left in the box
    QTest::addColumn<bool>("subfolders");    // the box's flag at OK
    QTest::addColumn<QString>("sourceText"); // Task.SourceDir
    QTest::addColumn<QStringList>("rows");   // SourceDir rows
    QTest::newRow("typed, never added") << QStringList() << "/home/ann" << false << "/home/ann"
                                        << QStringList{QStringLiteral("/home/ann|0")};
    QTest::newRow("two added") << QStringList{QStringLiteral("/a|1"), QStringLiteral(" /b |0")}
                               << "" << true << " !>/a !>/b"
                               << QStringList{QStringLiteral("/a|1"), QStringLiteral(" /b |0")};
    QTest::newRow("one added, one typed")
        << QStringList{QStringLiteral("/a|0")} << "/c'd" << true << " !>/a !>/c'd"
        << QStringList{QStringLiteral("/a|0"), QStringLiteral("/c'd|1")};
    QTest::newRow("blanks in the box are no folder")
        << QStringList{QStringLiteral("/a|1")} << "   " << true << "/a"
        << QStringList{QStringLiteral("/a|1")};
}

void TestTfrmTask::sourcesAsTyped()
{
    QFETCH(QStringList, added);
    QFETCH(QString, typed);
    QFETCH(bool, subfolders);
    QFETCH(QString, sourceText);
    QFETCH(QStringList, rows);
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    auto* box = child<QLineEdit>(dialog.get(), "edtSourceDir");
    auto* flag = child<QCheckBox>(dialog.get(), "chkIncludeSubdir");
    for (const QString& source : added) {
        box->setText(source.section(u'|', 0, 0));
        flag->setChecked(source.section(u'|', 1) == u"1");
        click(dialog.get(), "spbtnAdd");
        QVERIFY(box->text().isEmpty());
    }
    box->setText(typed);
    flag->setChecked(subfolders);
    child<QLineEdit>(dialog.get(), "edtTargetDir")->setText(QStringLiteral("/t"));
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(Rows(*m_db, QStringLiteral("select SourceDir from Task"), {"SourceDir"}),
             QStringList{sourceText});
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from SourceDir order by rowid"),
                  {"SourceDir", "IncludeSubDir"}),
             rows);
}

void TestTfrmTask::editOfASourceRowKeepsItsFlag()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    auto* box = child<QLineEdit>(dialog.get(), "edtSourceDir");
    auto* flag = child<QCheckBox>(dialog.get(), "chkIncludeSubdir");
    auto* list = child<QTreeWidget>(dialog.get(), "lvwSourceDir");
    box->setText(QStringLiteral("/no-subfolders"));
    flag->setChecked(false);
    click(dialog.get(), "spbtnAdd");
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("No"));
    flag->setChecked(true); // the next folder would go with subfolders
    QVERIFY(!child<QPushButton>(dialog.get(), "spbtnEditSourceDir")->isEnabled());
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(child<QPushButton>(dialog.get(), "spbtnEditSourceDir")->isEnabled());
    click(dialog.get(), "spbtnEditSourceDir");
    QCOMPARE(box->text(), QStringLiteral("/no-subfolders"));
    QVERIFY(!flag->isChecked());
    QCOMPARE(list->topLevelItemCount(), 0);
    click(dialog.get(), "spbtnAdd");
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("No"));
    // Delete takes the selected row without asking.
    list->setCurrentItem(list->topLevelItem(0));
    click(dialog.get(), "spbtnDelSourceDir");
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(m_desktop->confirmations.isEmpty());
}

void TestTfrmTask::oneStoredSourceShowsInTheBox()
{
    TaskRecord task;
    task.taskId = kId;
    task.name = QStringLiteral("One");
    task.targetDir = QStringLiteral("/t");
    task.sources = {{QStringLiteral("/only"), false}};
    SaveTask(*m_db, task, TaskSaveMode::New, *m_clock);
    const QStringList before = TaskRows(*m_db, kId);
    auto dialog = editor();
    dialog->LoadTask(kId);
    QCOMPARE(child<QLineEdit>(dialog.get(), "edtSourceDir")->text(), QStringLiteral("/only"));
    QVERIFY(!child<QCheckBox>(dialog.get(), "chkIncludeSubdir")->isChecked());
    QCOMPARE(child<QTreeWidget>(dialog.get(), "lvwSourceDir")->topLevelItemCount(), 0);
    dialog->accept();
    QCOMPARE(TaskRows(*m_db, kId), before);
}

void TestTfrmTask::includeAllStoresNoRule()
{
    storeFullTask(TaskRunMode::Manual);
    auto dialog = editor();
    dialog->LoadTask(kId);
    QVERIFY(child<QRadioButton>(dialog.get(), "RadioBtnExclude")->isChecked());
    child<QRadioButton>(dialog.get(), "RadioBtnInclude")->setChecked(true);
    // The rules stay in the list, greyed, but are not stored.
    QCOMPARE(child<QListWidget>(dialog.get(), "lvwExclude")->count(), 6);
    QVERIFY(!child<QListWidget>(dialog.get(), "lvwExclude")->isEnabled());
    dialog->accept();
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from Exclude"), {"type"}), QStringList());
    auto again = editor();
    again->LoadTask(kId);
    QVERIFY(child<QRadioButton>(again.get(), "RadioBtnInclude")->isChecked());
    QCOMPARE(child<QListWidget>(again.get(), "lvwExclude")->count(), 0);
}

void TestTfrmTask::switchingToScheduledDropsTheMarker()
{
    storeFullTask(TaskRunMode::Manual);
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from TaskSchedule"), {"ScheduleType"}),
             QStringList{QStringLiteral("19")});
    auto dialog = editor();
    dialog->LoadTask(kId);
    child<QRadioButton>(dialog.get(), "RadiobtnSchedule")->setChecked(true);
    whenModalOpens<QDialog>(this, [](QDialog* entry) { entry->accept(); });
    click(dialog.get(), "spbtnSchAdd");
    QCOMPARE(child<QListWidget>(dialog.get(), "lvwSchedule")->count(), 1);
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from TaskSchedule"), {"ScheduleType", "value"}),
             QStringList{QStringLiteral("0|30")});
}

void TestTfrmTask::deletesAskFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("Cancel keeps") << false;
    QTest::newRow("OK removes") << true;
}

void TestTfrmTask::deletesAskFirst()
{
    QFETCH(bool, answer);
    storeFullTask(TaskRunMode::Scheduled);
    auto dialog = editor();
    dialog->LoadTask(kId);
    auto* rules = child<QListWidget>(dialog.get(), "lvwExclude");
    auto* entries = child<QListWidget>(dialog.get(), "lvwSchedule");
    const QString secondRule = rules->item(1)->text();
    rules->setCurrentRow(0);
    entries->setCurrentRow(0);
    const QString firstEntry = entries->item(0)->text();
    m_desktop->confirmAnswers = {answer, answer};
    click(dialog.get(), "spbtnFilterDel");
    click(dialog.get(), "spbtnSchDel");
    QCOMPARE(m_desktop->confirmations,
             (QStringList{QStringLiteral("Do you really want to delete?"),
                          QStringLiteral("Delete this Schedule from the list?")}));
    QCOMPARE(rules->count(), answer ? 5 : 6);
    QCOMPARE(entries->count(), answer ? 5 : 6);
    dialog->accept();
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from Exclude"), {"type"}).size(),
             answer ? 5 : 6);
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from TaskSchedule"), {"ScheduleType"}).size(),
             answer ? 5 : 6);
    if (answer) {
        QCOMPARE(rules->item(0)->text(), secondRule);
        QVERIFY(entries->findItems(firstEntry, Qt::MatchExactly).isEmpty());
    }
}

void TestTfrmTask::browsePutsTheFolderInTheBox()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    auto* source = child<QLineEdit>(dialog.get(), "edtSourceDir");
    auto* target = child<QLineEdit>(dialog.get(), "edtTargetDir");
    source->setText(QStringLiteral("/kept"));
    m_desktop->folderAnswers = {QString(), QStringLiteral("/picked/"),
                                QStringLiteral("/target/")};
    click(dialog.get(), "spbtnSource"); // cancelled
    QCOMPARE(source->text(), QStringLiteral("/kept"));
    click(dialog.get(), "spbtnSource");
    QCOMPARE(source->text(), QStringLiteral("/picked/"));
    click(dialog.get(), "spbtnTarget");
    QCOMPARE(target->text(), QStringLiteral("/target/"));
    QCOMPARE(m_desktop->folderPrompts, QStringList(3, QStringLiteral("Select directory:")));
    // Browse Info hands the folder to the desktop; a failure is told.
    click(dialog.get(), "spbtnOpenTarget");
    QCOMPARE(m_desktop->opened, QStringList{QStringLiteral("/target/")});
    m_desktop->openSucceeds = false;
    click(dialog.get(), "spbtnOpenSource");
    QCOMPARE(m_desktop->informations.size(), 1);
    QVERIFY(m_desktop->informations.first().contains(QStringLiteral("/picked/")));
}

void TestTfrmTask::controlsFollowTheChoices()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    const auto enabled = [&](const char* name) {
        return child<QWidget>(dialog.get(), name)->isEnabled();
    };
    QVERIFY(!enabled("spbtnAdd"));
    QVERIFY(!enabled("spbtnOpenSource"));
    child<QLineEdit>(dialog.get(), "edtSourceDir")->setText(QStringLiteral(" "));
    QVERIFY(!enabled("spbtnAdd"));
    child<QLineEdit>(dialog.get(), "edtSourceDir")->setText(QStringLiteral("/a"));
    QVERIFY(enabled("spbtnAdd"));
    QVERIFY(enabled("spbtnOpenSource"));
    QVERIFY(!enabled("spbtnOpenTarget"));

    for (const char* name : {"lvwExclude", "spbtnFilerAdd", "spbtnTest", "spbtnFilterDel"})
        QVERIFY2(!enabled(name), name);
    child<QRadioButton>(dialog.get(), "RadioBtnExclude")->setChecked(true);
    for (const char* name : {"lvwExclude", "spbtnFilerAdd", "spbtnTest"})
        QVERIFY2(enabled(name), name);
    QVERIFY(!enabled("spbtnFilterDel"));

    for (const char* name : {"lvwSchedule", "spbtnSchAdd", "spbtnShcEdit", "spbtnSchDel"})
        QVERIFY2(!enabled(name), name);
    child<QRadioButton>(dialog.get(), "RadioBtnAttr")->setChecked(true);
    QVERIFY(!enabled("spbtnSchAdd"));
    child<QRadioButton>(dialog.get(), "RadiobtnSchedule")->setChecked(true);
    QVERIFY(enabled("lvwSchedule"));
    QVERIFY(enabled("spbtnSchAdd"));
    QVERIFY(!enabled("spbtnShcEdit"));
}

void TestTfrmTask::rulesAndEntriesFromTheirDialogs()
{
    auto dialog = editor();
    dialog->setNewTask(kId, QStringLiteral("AllTask"));
    child<QLineEdit>(dialog.get(), "edtSourceDir")->setText(m_folder->home.path());
    child<QLineEdit>(dialog.get(), "edtTargetDir")->setText(QStringLiteral("/t"));
    child<QRadioButton>(dialog.get(), "RadioBtnExclude")->setChecked(true);
    child<QRadioButton>(dialog.get(), "RadiobtnSchedule")->setChecked(true);

    // A rule: "doc" typed in the rule dialog.
    whenModalOpens<TfrmFilter>(this, [](TfrmFilter* rule) {
        rule->findChild<QLineEdit*>(QStringLiteral("edtWildcard"))->setText(QStringLiteral("doc"));
        rule->accept();
    });
    click(dialog.get(), "spbtnFilerAdd");
    auto* rules = child<QListWidget>(dialog.get(), "lvwExclude");
    QCOMPARE(rules->count(), 1);
    QCOMPARE(rules->item(0)->text(), QStringLiteral("Excluder files watching the wildcard: doc,"));
    // A cancelled rule dialog adds nothing.
    whenModalOpens<TfrmFilter>(this, [](TfrmFilter* rule) { rule->reject(); });
    click(dialog.get(), "spbtnFilerAdd");
    QCOMPARE(rules->count(), 1);

    // The filter test tries the rule before it is saved.
    m_folder->home.writeFile(QStringLiteral("letter.doc"));
    QStringList after;
    const QString home = m_folder->home.path();
    whenModalOpens<TfrmFilterTest>(this, [&after, home](TfrmFilterTest* test) {
        test->findChild<QLineEdit*>(QStringLiteral("edtSourceDir"))->setText(home);
        QSignalSpy ended(test, &TfrmFilterTest::testFinished);
        test->spbtnFilterClick();
        const bool finished = ended.wait(20000);
        const QAbstractItemModel* model =
            test->findChild<QListView*>(QStringLiteral("lstAfter"))->model();
        for (int row = 0; row < model->rowCount(); ++row)
            after << model->index(row, 0).data().toString();
        test->reject();
        QVERIFY(finished);
    });
    click(dialog.get(), "spbtnTest");
    QVERIFY(!after.isEmpty());
    QVERIFY2(!after.join(u'|').contains(QStringLiteral("letter.doc")), qPrintable(after.join(u'|')));

    // Two entries, kept sorted by their text; Edit replaces the chosen one.
    whenModalOpens<TfrmTaskSchedule>(this, [](TfrmTaskSchedule* entry) {
        entry->findChild<QComboBox*>(QStringLiteral("cboSchType"))->setCurrentIndex(1);
        entry->accept();
    });
    click(dialog.get(), "spbtnSchAdd");
    whenModalOpens<TfrmTaskSchedule>(this, [](TfrmTaskSchedule* entry) { entry->accept(); });
    click(dialog.get(), "spbtnSchAdd");
    auto* entries = child<QListWidget>(dialog.get(), "lvwSchedule");
    QCOMPARE(entries->count(), 2);
    QCOMPARE(entries->item(0)->text(), QStringLiteral("Run every 30 minute(s)."));
    QCOMPARE(entries->item(1)->text(), QStringLiteral("Run every hour"));
    entries->setCurrentRow(1);
    ScheduleEntry shown;
    whenModalOpens<TfrmTaskSchedule>(this, [&shown](TfrmTaskSchedule* entry) {
        shown = entry->entry();
        entry->findChild<QSpinBox*>(QStringLiteral("CSpinEitHour"))->setValue(5);
        entry->accept();
    });
    click(dialog.get(), "spbtnShcEdit");
    QCOMPARE(int(shown.kind), int(ScheduleKind::EveryHours));
    QCOMPARE(entries->count(), 2);
    QCOMPARE(entries->item(1)->text(), QStringLiteral("Run every 5 hour(s)"));

    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from Exclude"), {"type", "value"}),
             QStringList{QStringLiteral("0|doc,")});
    QCOMPARE(Rows(*m_db, QStringLiteral("select * from TaskSchedule order by TaskSchID"),
                  {"ScheduleType", "value"}),
             (QStringList{QStringLiteral("0|30"), QStringLiteral("1|5")}));
}

void TestTfrmTask::versionsAndDriveStartOnTheTargetPage_data()
{
    // What is stored, what the user changes on the Target page, and what is
    // stored after OK; an empty message means the save is taken.
    QTest::addColumn<int>("storedKeep");
    QTest::addColumn<QString>("storedFolder");
    QTest::addColumn<bool>("storedDrive");
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("drive");
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("off stays off") << 0 << none << false << "" << 0 << none << false << none;
    QTest::newRow("everything kept as stored")
        << 7 << "/old" << true << "" << 7 << "/old" << true << none;
    QTest::newRow("ticked with a count") << 0 << none << false << "keep 3" << 3 << none << false
                                         << none;
    QTest::newRow("unticked: none kept, the folder remembered")
        << 4 << "/old" << false << "untick" << 0 << "/old" << false << none;
    QTest::newRow("the default folder typed stays the default")
        << 2 << "/old" << false << "folder .tarnwick-versions" << 2 << none << false << none;
    QTest::newRow("drive start ticked") << 0 << none << false << "drive" << 0 << none << true
                                        << none;
    QTest::newRow("operations at once set by hand")
        << 0 << none << false << "parallel 8" << 0 << none << false << none;
    QTest::newRow("versions in the target are refused")
        << 2 << none << false << "folder /dst" << 2 << none << false
        << "The versions folder cannot be the target folder or a folder above it.";
    QTest::newRow("versions in a source are refused")
        << 2 << none << false << "folder /src/old" << 2 << none << false
        << "The versions folder cannot be a source folder, lie inside one or hold one.";
}

void TestTfrmTask::versionsAndDriveStartOnTheTargetPage()
{
    QFETCH(int, storedKeep);
    QFETCH(QString, storedFolder);
    QFETCH(bool, storedDrive);
    QFETCH(QString, change);
    QFETCH(int, keep);
    QFETCH(QString, folder);
    QFETCH(bool, drive);
    QFETCH(QString, message);
    TaskRecord task;
    task.taskId = kId;
    task.name = QStringLiteral("N");
    task.targetDir = QStringLiteral("/dst");
    task.sources = {{QStringLiteral("/src"), true}};
    task.extras = {storedKeep, storedFolder, storedDrive};
    SaveTask(*m_db, task, TaskSaveMode::New, *m_clock);

    auto dialog = editor();
    dialog->LoadTask(kId);
    auto* keepBox = child<QCheckBox>(dialog.get(), "chkKeepVersions");
    auto* count = child<QSpinBox>(dialog.get(), "spinKeepCount");
    auto* folderBox = child<QLineEdit>(dialog.get(), "edtVersionsFolder");
    auto* driveBox = child<QCheckBox>(dialog.get(), "chkWhenTargetAppears");
    QCOMPARE(keepBox->isChecked(), storedKeep > 0);
    QCOMPARE(count->value(), storedKeep > 0 ? storedKeep : 5);
    QCOMPARE(count->isEnabled(), storedKeep > 0);
    QCOMPARE(folderBox->text(), storedFolder.isEmpty() ? QStringLiteral(".tarnwick-versions") : storedFolder);
    QCOMPARE(driveBox->isChecked(), storedDrive);

    const QString value = change.section(u' ', 1);
    if (change.startsWith(u"keep")) {
        keepBox->setChecked(true);
        count->setValue(value.toInt());
    } else if (change == u"untick") {
        keepBox->setChecked(false);
    } else if (change.startsWith(u"folder")) {
        folderBox->setText(value);
    } else if (change == u"drive") {
        driveBox->setChecked(true);
    } else if (change.startsWith(u"parallel")) {
        auto* parallel = child<QSpinBox>(dialog.get(), "spinParallel");
        QCOMPARE(parallel->value(), 0);
        QCOMPARE(parallel->text(), QStringLiteral("Automatic"));
        parallel->setValue(value.toInt());
    }
    QCOMPARE(count->isEnabled(), keepBox->isChecked());
    auto* pages = child<QTabWidget>(dialog.get(), "PageCtrlTask");
    pages->setCurrentIndex(3);
    dialog->accept();

    QCOMPARE(m_desktop->informations, message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) {
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(pages->currentIndex(), 1);
        QCOMPARE(LoadTask(*m_db, kId).extras, task.extras);
        return;
    }
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    const int parallel = change.startsWith(u"parallel") ? value.toInt() : 0;
    QCOMPARE(LoadTask(*m_db, kId).extras, (TaskExtras{keep, folder, drive, parallel}));
}

QTEST_MAIN(TestTfrmTask)
#include "TestTfrmTask.moc"
