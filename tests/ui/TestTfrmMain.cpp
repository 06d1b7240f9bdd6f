// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offscreen, over a real task database and real runs, with
// the desktop's boxes replaced: the start-up order, the close behaviour of
// every WhenClose value, the run controls following the selected task's
// run, the running count, hints in their panel, a failing creation step
// that does not stop the others, and a shutdown that keeps the summaries.
// Then the group tree and the task list: the group commands and their
// state, the cells, sorting, deleting, the four looks and Browse.
#include "FakeDesktop.h"
#include "ModalDialog.h"
#include "ProgramFolder.h"
#include "TaskFixture.h"
#include "TestDir.h"

#include "platform/Registry.h"
#include "platform/TThread.h"
#include "store/DateTexts.h"
#include "store/Settings.h"
#include "store/Statements.h"
#include "ui/TLogPane.h"
#include "ui/TfrmMain.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QHeaderView>
#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include "ui/TfrmGroup.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmTask.h"

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using State = TfrmMain::RunState;

class TestTfrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
    TestDir* m_home = nullptr;   // the program folder
    TestDir* m_config = nullptr; // the settings folder
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<TfrmMain> m_window;

    // A manual task over `files` files; returns its ID.
    QString addTask(const QString& id, int files)
    {
        TaskDatabase db;
        db.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        const QString src = m_home->makeDir(QStringLiteral("src") + id);
        for (int i = 0; i < files; ++i)
            m_home->writeFile(QStringLiteral("src%1/f%2").arg(id).arg(i), "data");
        AddTask(db, id, QStringLiteral("task ") + id, {{src, true}},
                m_home->makeDir(QStringLiteral("dst") + id), 0);
        return id;
    }
    // The options key with every value, as the options dialog writes it.
    void writeOptions(qint32 whenClose, bool showDlg = false)
    {
        OptionSettings options;
        options.whenClose = whenClose;
        options.showDlg = showDlg;
        WriteOptionSettings(options);
    }
    // The options key without one of its values.
    void dropOption(const QString& name)
    {
        QFile file(m_config->filePath(QStringLiteral("Tarnwick/user.reg")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray text;
        const QByteArray valueLine = '"' + name.toUtf8() + "\"=";
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.startsWith(valueLine))
                text += line + '\n';
        }
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.left(text.size() - 1));
    }
    void openWindow()
    {
        m_window = std::make_unique<TfrmMain>(*m_desktop);
        m_window->openDatabase();
        m_window->runCreationSteps();
        m_window->show();
    }
    // The task list's view on screen, whichever look it has.
    QAbstractItemView* list() const
    {
        return m_window->findChild<QAbstractItemView*>(QStringLiteral("lvwTask"));
    }
    int rowCount() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const
    {
        return list()->model()->index(row, column).data().toString();
    }
    QString rowTaskId(int row) const
    {
        return list()->model()->index(row, 0).data(Qt::UserRole).toString();
    }
    QString panel(int i) const
    {
        return m_window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    void select(const QString& taskId)
    {
        for (int row = 0; row < rowCount(); ++row) {
            if (rowTaskId(row) == taskId)
                list()->setCurrentIndex(list()->model()->index(row, 0));
        }
    }
    QString logText() const
    {
        return m_window->findChild<QPlainTextEdit*>(QStringLiteral("rtfLog"))->toPlainText();
    }
    TaskDatabase& db() { return m_window->database(); }
    // A stored task row of any run mode, in `group`, with no other rows.
    void storeTask(const QString& id, const QString& name, const QString& source,
                   const QString& target, qint64 mode = 0,
                   const QString& group = QStringLiteral("AllTask"))
    {
        TaskDatabase file;
        file.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery query(file);
        RunStatement(query, FillStatement(sql::InsertTask, {id, group, name, source, target, mode}));
    }
    void storeGroup(const QString& id, const QString& name)
    {
        TaskDatabase file;
        file.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery query(file);
        RunStatement(query, FillStatement(sql::InsertGroup, {id, name}));
    }
    // Rows of `table` that belong to the task (TaskGroup: to the group).
    int stored(const QString& table, const QString& id)
    {
        TaskQuery query(db());
        const QString column = table == QLatin1String("TaskGroup") ? QStringLiteral("TaskGroupID")
                                                                   : QStringLiteral("TaskID");
        RunQuery(query, QStringLiteral("select count(*) as N from %1 where %2='%3'")
                            .arg(table, column, id));
        return int(query.integer("N"));
    }
    QTreeWidget* tree() const
    {
        return m_window->findChild<QTreeWidget*>(QStringLiteral("treTaskGroup"));
    }
    QTreeWidgetItem* root() const { return tree()->topLevelItem(0); }
    void clickNode(QTreeWidgetItem* node)
    {
        const QRect at = tree()->visualItemRect(node);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at.center());
    }
    QStringList groupCaptions() const
    {
        QStringList captions;
        for (int i = 0; i < root()->childCount(); ++i)
            captions << root()->child(i)->text(0);
        return captions;
    }
    QStringList taskNames() const
    {
        QStringList names;
        for (int row = 0; row < rowCount(); ++row)
            names << cell(row, 0);
        return names;
    }
    bool enabled(const QString& name) const
    {
        if (auto* button = m_window->findChild<QToolButton*>(name))
            return button->isEnabled();
        return m_window->findChild<QAction*>(name)->isEnabled();
    }
    // Answers the group dialog once the window has opened it.
    void whenGroupDialogOpens(const std::function<void(TfrmGroup*)>& answer)
    {
        whenModalOpens<TfrmGroup>(this, answer);
    }
    static void typeAndOk(TfrmGroup* dialog, const QString& name)
    {
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("edtName"));
        box->clear();
        QTest::keyClicks(box, name);
        dialog->accept();
    }
    // "a,b,c" as a list of texts.
    static QStringList names(const char* commaSeparated)
    {
        return QString::fromUtf8(commaSeparated).split(u',');
    }
    bool waitIdle(int ms = 20000)
    {
        return QTest::qWaitFor(
            [&] { return m_window->coordinator().runningTasks().count() == 0; }, ms);
    }

private slots:
    void keyboardAsAPersonUsesIt();
    void openingFailuresAreTold();
    void init();
    void cleanup();
    void startupOrder();
    void closeBehaviour_data();
    void closeBehaviour();
    void runSuspendResumeStop();
    void controlsFollowTheSelection();
    void commandsWithoutSelection();
    void hintsGoToTheirPanel();
    void failingCreationStepDoesNotStopTheOthers();
    void shutdownKeepsTheSummaryOfASuspendedRun();
    void finishBoxDoesNotHoldTheRun();
    void runProgressInRowAndStatusBar();
    void failedRunSeenAtAGlance();
    void layoutKeptBetweenStarts();
    void failedRunNotifiedWhileAway_data();
    void failedRunNotifiedWhileAway();
    void notificationClickShowsTheTask_data();
    void notificationClickShowsTheTask();
    void groupControlState_data();
    void groupControlState();
    void groupAddRenameRemove();
    void groupDialogFailureAddsNoNode();
    void twoGroupAddsInOneSecond();
    void cellsPerStartMode_data();
    void cellsPerStartMode();
    void sortClicks_data();
    void sortClicks();
    void sortIsNotKept();
    void deleteTask_data();
    void deleteTask();
    void editRefusedWhileListed_data();
    void editRefusedWhileListed();
    void viewStylesShareTheSelection();
    void browse_data();
    void browse();
    void groupAddFromTheKeyboard();
    void trayCommandsWaitForModalDialogs();
    void viewMenuShowsAndHidesPanes_data();
    void viewMenuShowsAndHidesPanes();
    void commandKeys();
};

void TestTfrmMain::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_home = &m_folder->home;
    m_config = &m_folder->config;
    m_desktop = std::make_unique<FakeDesktop>();
}

void TestTfrmMain::cleanup()
{
    if (m_window && !m_window->isShuttingDown()) {
        bool ended = false;
        connect(m_window.get(), &TfrmMain::shutdownFinished, this, [&] { ended = true; });
        m_window->shutdown();
        QVERIFY(QTest::qWaitFor([&] { return ended; }, 15000));
    } else if (m_window) {
        QTest::qWait(200);
    }
    m_window.reset();
    m_desktop.reset();
    m_home = nullptr;
    m_config = nullptr;
    m_folder.reset();
}

void TestTfrmMain::startupOrder()
{
    // A passed entry is moved forward before the list is filled.
    {
        TaskDatabase db;
        db.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery query(db);
        RunStatement(query, FillStatement(sql::InsertTask, {QStringLiteral("7"),
                                                            QStringLiteral("AllTask"),
                                                            QStringLiteral("timed"), QString(),
                                                            QString(), qint64(2)}));
        RunStatement(query, FillStatement(sql::InsertIntervalEntry,
                                          {QStringLiteral("7"), qint64(0), qint64(30),
                                           QStringLiteral("2020-01-01"),
                                           QStringLiteral("2020-01-01 10:00:00"),
                                           QStringLiteral("0")}));
    }
    openWindow();
    QCOMPARE(rowCount(), 1);
    const QDateTime next = DateTimeFromText(cell(0, 2));
    QVERIFY2(next > QDateTime::currentDateTime(), qPrintable(cell(0, 2)));
    QCOMPARE(panel(0), QStringLiteral(" 1 Task(s)"));
    // No watcher before the first tick, both after it.
    m_window->startWatchers();
    QTest::qWait(300);
    QCOMPARE(m_window->coordinator().aliveWatcherCount(), 0);
    QVERIFY(QTest::qWaitFor([&] { return m_window->coordinator().aliveWatcherCount() == 2; },
                            5000));
    QVERIFY(m_desktop->errors.isEmpty());
}

void TestTfrmMain::closeBehaviour_data()
{
    QTest::addColumn<int>("whenClose"); // -1: no options key; -2: a key without WhenClose
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("outcome"); // "shut down", "stays", "minimised"
    QTest::addColumn<int>("errors");
    QTest::newRow("no options key") << -1 << true << 0 << "shut down" << 0;
    QTest::newRow("0 ends") << 0 << true << 0 << "shut down" << 0;
    QTest::newRow("1 asks, OK") << 1 << true << 1 << "shut down" << 0;
    QTest::newRow("1 asks, Cancel") << 1 << false << 1 << "stays" << 0;
    QTest::newRow("2 minimises") << 2 << true << 0 << "minimised" << 0;
    QTest::newRow("5 minimises") << 5 << true << 0 << "minimised" << 0;
    // The program can always be closed: the error, then the question.
    QTest::newRow("unreadable: error, then asks") << -2 << true << 1 << "shut down" << 1;
}

void TestTfrmMain::closeBehaviour()
{
    QFETCH(int, whenClose);
    QFETCH(bool, answer);
    QFETCH(int, questions);
    QFETCH(QString, outcome);
    QFETCH(int, errors);
    if (whenClose != -1)
        writeOptions(qMax(whenClose, 0));
    if (whenClose == -2)
        dropOption(QStringLiteral("WhenClose"));
    openWindow();
    m_desktop->confirmAnswers = {answer};
    m_window->close();
    QTest::qWait(100);
    QCOMPARE(m_desktop->confirmations.size(), questions);
    if (questions > 0)
        QCOMPARE(m_desktop->confirmations.first(),
                 QStringLiteral("If you exit it will not run any scheduled.\n"
                                "Are you sure you want to exit?"));
    QCOMPARE(m_desktop->errors.size(), errors);
    QCOMPARE(m_window->isShuttingDown(), outcome == QLatin1String("shut down"));
    if (outcome == QLatin1String("shut down"))
        QCOMPARE(panel(2), QStringLiteral("Shutting Down..."));
    QCOMPARE(m_window->isMinimized() || !m_window->isVisible(),
             outcome == QLatin1String("minimised"));
}

void TestTfrmMain::runSuspendResumeStop()
{
    const QString id = addTask(QStringLiteral("1"), 50);
    openWindow();
    select(id);
    QCOMPARE(m_window->runState(), State::Idle);
    m_window->spbtnRunClick();
    QCOMPARE(m_window->runState(), State::Running);
    QCOMPARE(panel(1), QStringLiteral(" 1 Running Task(s)"));
    m_window->spbtnSuspendClick();
    QCOMPARE(m_window->runState(), State::Suspended);
    QTest::qWait(200); // the window keeps serving while the run waits
    m_window->spbtnRunClick(); // resumes the same run, no second one
    QCOMPARE(m_window->coordinator().runningTasks().count(), 1);
    QCOMPARE(m_window->runState(), State::Running);
    QVERIFY(waitIdle());
    QCOMPARE(m_window->runState(), State::Idle);
    QCOMPARE(panel(1), QStringLiteral(" 0 Running Task(s)"));
    QVERIFY(logText().contains(QStringLiteral("synchronize finished  [task 1]")));
    // The row got the run's last and next run times.
    QVERIFY(!cell(list()->currentIndex().row(), 1).isEmpty());
    QCOMPARE(cell(list()->currentIndex().row(), 2), QStringLiteral("Manually"));

    // Stop on a suspended run: released into its stop, summary written.
    m_window->spbtnRunClick();
    m_window->spbtnSuspendClick();
    QTest::qWait(200); // the run has reached its pause
    m_window->spbtnStopClick();
    QCOMPARE(m_window->runState(), State::Idle);
    QVERIFY(waitIdle());
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return logText().count(QStringLiteral("synchronize finished  [task 1]")) ==
                            2;
                 },
                 10000),
             qPrintable(logText()));
}

void TestTfrmMain::controlsFollowTheSelection()
{
    const QString a = addTask(QStringLiteral("1"), 20);
    const QString b = addTask(QStringLiteral("2"), 1);
    openWindow();
    select(a);
    m_window->spbtnRunClick();
    m_window->spbtnSuspendClick();
    select(b);
    QCOMPARE(m_window->runState(), State::Idle);
    // Another task's run ending must not grey Stop for the suspended one.
    m_window->spbtnRunClick();
    QVERIFY(QTest::qWaitFor([&] { return m_window->coordinator().runningTasks().count() == 1; },
                            20000));
    select(a);
    QCOMPARE(m_window->runState(), State::Suspended);
    m_window->spbtnStopClick();
    QVERIFY(waitIdle());
    QCOMPARE(panel(1), QStringLiteral(" 0 Running Task(s)"));
}

void TestTfrmMain::commandsWithoutSelection()
{
    addTask(QStringLiteral("0"), 1);
    openWindow();
    list()->clearSelection();
    m_window->spbtnRunClick();
    QCOMPARE(m_desktop->informations, QStringList{QStringLiteral("Please select a task.")});
    QCOMPARE(m_window->coordinator().runningTasks().count(), 0);
    // A run of task "0" is not what Suspend or Stop act on without a selection.
    select(QStringLiteral("0"));
    m_window->spbtnRunClick();
    list()->clearSelection();
    m_window->spbtnSuspendClick();
    m_window->spbtnStopClick();
    const RunningTaskList::Entry* entry =
        m_window->coordinator().runningTasks().FindFirst(QStringLiteral("0"));
    QVERIFY(!entry || !entry->thread->Suspended());
    QVERIFY(waitIdle());
}

void TestTfrmMain::hintsGoToTheirPanel()
{
    addTask(QStringLiteral("1"), 1);
    openWindow();
    auto* run = m_window->findChild<QToolButton*>(QStringLiteral("spbtnRun"));
    QCOMPARE(run->toolTip(), QStringLiteral("Execute/Resume "));
    QStatusTipEvent tip(run->statusTip());
    QCoreApplication::sendEvent(m_window.get(), &tip);
    QCOMPARE(panel(2), QStringLiteral(" Execute/Resume selected synchronize task"));
    // The other panels stay in view with their texts.
    QCOMPARE(panel(0), QStringLiteral(" 1 Task(s)"));
    QVERIFY(m_window->findChild<QLabel*>(QStringLiteral("StatusPanel0"))->isVisible());
}

void TestTfrmMain::failingCreationStepDoesNotStopTheOthers()
{
    // An options key without Minimized: the first step fails; the tree, the
    // start-up recompute and the list still run.
    writeOptions(0);
    dropOption(QStringLiteral("Minimized"));
    addTask(QStringLiteral("1"), 1);
    openWindow();
    QCOMPARE(m_desktop->errors, QStringList{QStringLiteral("Failed to get data for 'Minimized'")});
    QCOMPARE(rowCount(), 1);
    auto* tree = m_window->findChild<QTreeWidget*>(QStringLiteral("treTaskGroup"));
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("All Tasks"));
}

void TestTfrmMain::shutdownKeepsTheSummaryOfASuspendedRun()
{
    const QString id = addTask(QStringLiteral("1"), 30);
    openWindow();
    select(id);
    m_window->spbtnRunClick();
    m_window->spbtnSuspendClick();
    QTest::qWait(200);
    QList<bool> finished;
    connect(m_window.get(), &TfrmMain::shutdownFinished, this,
            [&](bool allEnded) { finished << allEnded; });
    m_window->shutdown();
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 15000));
    QCOMPARE(finished, QList<bool>{true});
    QFile log(m_home->filePath(QStringLiteral("Log/Tarnwick.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("[task 1] Summary:"));
}

void TestTfrmMain::runProgressInRowAndStatusBar()
{
    // 20 small files and a big sparse one with three pieces of data; the
    // run is held inside the big file's copy, at the gate after its first
    // piece, by pausing it as it announces that copy.
    const QString id = addTask(QStringLiteral("1"), 20);
    const QString other = addTask(QStringLiteral("2"), 1);
    const QString big = m_home->filePath(QStringLiteral("src1/big"));
    const qint64 mib = 1 << 20;
    {
        QFile file(big);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(100 * mib));
        for (qint64 at : {qint64(0), 50 * mib, 99 * mib})
            QVERIFY(file.seek(at) && file.write("data") == 4);
    }
    openWindow();
    std::atomic<TThread*> run{nullptr};
    std::atomic<bool> held{false};
    m_window->coordinator().setEcho([&](LogKind kind, const QString& line, quint32) {
        if (kind == LogKind::Copy && line.endsWith(big) && !held.exchange(true))
            run.load()->Suspend();
    });
    auto* counters = m_window->findChild<QLabel*>(QStringLiteral("lblRunProgress"));
    auto* current = m_window->findChild<QLabel*>(QStringLiteral("lblRunFile"));
    auto* bar = m_window->findChild<QProgressBar*>(QStringLiteral("prgRunFile"));
    QVERIFY(counters && current && bar);
    QVERIFY(counters->isHidden() && current->isHidden() && bar->isHidden());
    QVERIFY(!bar->accessibleName().isEmpty());

    select(id);
    const int row = list()->currentIndex().row();
    m_window->spbtnRunClick();
    // The run needs this thread to load its rows: it cannot be far yet.
    run = m_window->coordinator().runningTasks().FindFirst(id)->thread;
    QVERIFY(QTest::qWaitFor([&] { return bar->isVisible() && bar->value() == 500; }, 10000));

    // Every file met before the big one was new and copied.
    const RunProgress* progress = m_window->coordinator().progress(id);
    QVERIFY(progress);
    const quint64 looked = progress->filesLooked;
    QCOMPARE(progress->filesCopied, looked - 1);
    const QString bytes = QStringLiteral("%1 B").arg((looked - 1) * 4);
    QVERIFY2(counters->isVisible() &&
                 counters->text().startsWith(QStringLiteral("%1 files copied (%2), %3 files looked at")
                                                 .arg(looked - 1)
                                                 .arg(bytes)
                                                 .arg(looked)),
             qPrintable(counters->text()));
    QVERIFY(current->isVisible());
    QCOMPARE(current->toolTip(), QStringLiteral("Copying: ") + big);
    QVERIFY2(current->text().endsWith(QStringLiteral("big")), qPrintable(current->text()));
    QCOMPARE(cell(row, TaskListView::kResultColumn),
             QStringLiteral("Running: %1 files, %2").arg(looked - 1).arg(bytes));
    // The window knows of the pause once it looks again: no rate then.
    QVERIFY(QTest::qWaitFor([&] { return run.load()->Suspended(); }, 5000));
    select(other);
    QVERIFY(counters->isHidden() && current->isHidden() && bar->isHidden());
    select(id);
    QVERIFY2(counters->text().endsWith(QStringLiteral(", suspended")), qPrintable(counters->text()));
    QVERIFY(bar->isVisible());
    // However narrow the window, the counters stay whole and in view; the
    // path gives way, keeping the file's name.
    for (const int width : {658, 520}) {
        m_window->resize(width, 427);
        QTRY_VERIFY2(counters->width() >= counters->sizeHint().width(),
                     qPrintable(QString::number(width)));
        QVERIFY(counters->geometry().right() <= m_window->statusBar()->width());
        QVERIFY2(current->text().endsWith(QStringLiteral("big")), qPrintable(current->text()));
    }

    m_window->spbtnRunClick(); // resumes
    QVERIFY(waitIdle());
    QCOMPARE(cell(row, TaskListView::kResultColumn), QStringLiteral("OK"));
    QVERIFY(counters->isHidden() && current->isHidden() && bar->isHidden());
    QVERIFY(!m_window->coordinator().progress(id));
}

void TestTfrmMain::finishBoxDoesNotHoldTheRun()
{
    writeOptions(0, true);
    const QString id = addTask(QStringLiteral("1"), 1);
    openWindow();
    select(id);
    m_window->spbtnRunClick();
    // Nobody closes the box: the run ends and leaves the list all the same.
    QVERIFY(waitIdle());
    auto* box = m_window->findChild<QMessageBox*>(QStringLiteral("finishBox"));
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("\nSynchronize finished "));
    // A second finish raises the same box instead of stacking another.
    m_window->spbtnRunClick();
    QVERIFY(QTest::qWaitFor([&] { return m_window->coordinator().runningTasks().count() == 0; },
                            20000));
    QTest::qWait(100);
    QCOMPARE(m_window->findChildren<QMessageBox*>(QStringLiteral("finishBox")).size(), 1);
}

// The first window fits the screen; the size, the panes and the columns the
// user leaves are there at the next start, written only when changed; a
// stored layout that is damaged gives the first looks again.
void TestTfrmMain::layoutKeptBetweenStarts()
{
    addTask(QStringLiteral("1"), 1);
    const auto restart = [&] {
        bool ended = false;
        connect(m_window.get(), &TfrmMain::shutdownFinished, this, [&] { ended = true; });
        m_window->shutdown();
        QVERIFY(QTest::qWaitFor([&] { return ended; }, 15000));
        m_window.reset();
        openWindow();
    };
    const auto splitter = [&](const char* name) {
        return m_window->findChild<QSplitter*>(QString::fromLatin1(name));
    };
    const auto header = [&] { return m_window->findChild<QTreeView*>(QStringLiteral("lvwTask")); };

    openWindow();
    const QRect available = m_window->screen()->availableGeometry();
    const QRect first = FirstWindowPlace(available);
    QCOMPARE(m_window->size(), first.size());
    QVERIFY(first.width() >= 658 && first.height() >= 427);
    QVERIFY(available.contains(first) || first.size() == QSize(658, 427));
    QCOMPARE(FirstWindowPlace(QRect(0, 0, 1280, 1024)).size(), QSize(853, 682));
    QCOMPARE(FirstWindowPlace(QRect(0, 0, 640, 400)).size(), QSize(658, 427));

    m_window->resize(700, 520);
    splitter("SplitterTree")->setSizes({200, 480});
    splitter("SplitterLog")->setSizes({300, 150});
    header()->header()->resizeSection(0, 260);
    const QList<int> upper = splitter("SplitterTree")->sizes();
    const QList<int> work = splitter("SplitterLog")->sizes();
    restart();
    QCOMPARE(m_window->size(), QSize(700, 520));
    QCOMPARE(splitter("SplitterTree")->sizes(), upper);
    QCOMPARE(splitter("SplitterLog")->sizes(), work);
    QCOMPARE(header()->columnWidth(0), 260);

    // Nothing changed: nothing written.
    const QString registry = m_config->filePath(QStringLiteral("Tarnwick/user.reg"));
    const QDateTime written = QFileInfo(registry).lastModified();
    QTest::qWait(30);
    restart();
    QCOMPARE(QFileInfo(registry).lastModified(), written);
    QVERIFY(m_desktop->errors.isEmpty());

    // Damaged: the first looks.
    WriteWindowLayout("not a layout");
    restart();
    QCOMPARE(m_window->size(), first.size());
}

// A run that fails shows in its row (its picture, a tint, the Last Result
// cell) and as a badge on
// the tray, whose tooltip names the task, also after a restart; choosing
// the task in the window takes the badge away, and a good run shows "OK".
void TestTfrmMain::failedRunSeenAtAGlance()
{
    const QString good = addTask(QStringLiteral("1"), 2);
    const QString bad = addTask(QStringLiteral("2"), 1);
    QVERIFY(QDir(m_home->filePath(QStringLiteral("src2"))).removeRecursively());
    openWindow();
    auto* tray = m_window->findChild<QSystemTrayIcon*>();
    QVERIFY(tray);
    QCOMPARE(tray->toolTip(), QStringLiteral("Tarnwick"));
    const int resultColumn = 5;
    QCOMPARE(list()->model()->headerData(resultColumn, Qt::Horizontal).toString(),
             QStringLiteral("Last Result"));

    for (const QString& id : {good, bad}) {
        select(id);
        m_window->spbtnRunClick();
        QVERIFY(waitIdle());
    }
    QTRY_COMPARE(cell(1, resultColumn), QStringLiteral("1 error"));
    QCOMPARE(cell(0, resultColumn), QStringLiteral("OK"));
    QCOMPARE(tray->toolTip(), QStringLiteral("Tarnwick: the last run failed: task 2"));
    // Seen without scrolling: the row's picture is the result's mark, read
    // out with the name, and only the failed row is tinted.
    const auto at = [&](int row, int column) { return list()->model()->index(row, column); };
    QCOMPARE(at(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
             at(1, resultColumn).data(Qt::DecorationRole).value<QIcon>().cacheKey());
    QCOMPARE(at(1, 0).data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("1 error"));
    for (int column = 0; column <= resultColumn; ++column) {
        QVERIFY(at(1, column).data(Qt::BackgroundRole).isValid());
        QVERIFY(!at(0, column).data(Qt::BackgroundRole).isValid());
    }

    // A new window (a restart) finds the failure still unseen.
    bool ended = false;
    connect(m_window.get(), &TfrmMain::shutdownFinished, this, [&] { ended = true; });
    m_window->shutdown();
    QVERIFY(QTest::qWaitFor([&] { return ended; }, 15000));
    m_window.reset();
    openWindow();
    tray = m_window->findChild<QSystemTrayIcon*>();
    QCOMPARE(cell(1, resultColumn), QStringLiteral("1 error"));
    QCOMPARE(tray->toolTip(), QStringLiteral("Tarnwick: the last run failed: task 2"));

    // Its history, from the task's pop-up menu: the kept run with its
    // first error, and opening it is a look at the task.
    select(bad);
    QAction* history = m_window->findChild<QAction*>(QStringLiteral("pmuHistory"));
    QVERIFY(history && history->isEnabled());
    history->trigger();
    auto* dialog = m_window->findChild<TfrmHistory*>();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(dialog->windowTitle().endsWith(QStringLiteral(" - task 2")));
    auto* runs = dialog->findChild<QTableWidget*>(QStringLiteral("grdRuns"));
    QCOMPARE(runs->rowCount(), 1);
    QCOMPARE(runs->item(0, 2)->text(), QStringLiteral("1 error"));
    QVERIFY(runs->item(0, 6)->text().contains(QStringLiteral("src2")));
    // Reachable from the keyboard: each part has a label with its mnemonic,
    // the chart a name for screen readers, Tab goes table, chart, Close.
    auto* chart = dialog->findChild<QWidget*>(QStringLiteral("RunChart"));
    QVERIFY(chart);
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblRuns"))->buddy(), runs);
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblChart"))->buddy(), chart);
    QVERIFY(!chart->accessibleName().isEmpty());
    QCOMPARE(chart->focusPolicy(), Qt::StrongFocus);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    runs->setFocus();
    QTest::keyClick(runs, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), chart);
    QTRY_COMPARE(tray->toolTip(), QStringLiteral("Tarnwick"));
    QCOMPARE(cell(1, resultColumn), QStringLiteral("1 error"));
    dialog->close();

    // It fails again; choosing it in the window in front is a look too.
    m_window->spbtnRunClick();
    QVERIFY(waitIdle());
    QTRY_COMPARE(tray->toolTip(), QStringLiteral("Tarnwick: the last run failed: task 2"));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    select(good);
    select(bad);
    QTRY_COMPARE(tray->toolTip(), QStringLiteral("Tarnwick"));
}

// One notification per failed run while the window is hidden or
// minimised, naming the task and its first error, with the words of its
// click; none for a good run or while the window is shown. The next failure
// of the task comes as the task's notice again, so it takes the place of
// the first. Clicking it brings the window back on the task.
void TestTfrmMain::failedRunNotifiedWhileAway_data()
{
    QTest::addColumn<QString>("window"); // "shown", "hidden", "minimised"
    QTest::addColumn<bool>("wanted");    // the Options' tick box
    QTest::addColumn<bool>("notified");
    QTest::newRow("shown") << "shown" << true << false;
    QTest::newRow("hidden") << "hidden" << true << true;
    QTest::newRow("minimised") << "minimised" << true << true;
    QTest::newRow("minimised, turned off in the options") << "minimised" << false << false;
}

void TestTfrmMain::failedRunNotifiedWhileAway()
{
    QFETCH(QString, window);
    QFETCH(bool, wanted);
    QFETCH(bool, notified);
    if (!wanted)
        WriteNotifyFailedRuns(false);
    const QString good = addTask(QStringLiteral("1"), 1);
    const QString bad = addTask(QStringLiteral("2"), 1);
    QVERIFY(QDir(m_home->filePath(QStringLiteral("src2"))).removeRecursively());
    openWindow();
    if (window == u"hidden")
        m_window->hide();
    else if (window == u"minimised")
        m_window->showMinimized();
    for (const QString& id : {good, bad}) {
        QCOMPARE(m_window->coordinator().runByHand(id), RunningTaskList::RunOutcome::Started);
        QVERIFY(waitIdle());
    }
    QTRY_COMPARE(cell(1, 5), QStringLiteral("1 error"));
    // Whatever the notification, the tray tells the failure.
    auto* tray = m_window->findChild<QSystemTrayIcon*>();
    QCOMPARE(tray->toolTip(), QStringLiteral("Tarnwick: the last run failed: task 2"));
    if (!notified) {
        QCOMPARE(m_desktop->notices.size(), 0);
        return;
    }
    QCOMPARE(m_desktop->notices.size(), 1);
    const TaskNotice first = m_desktop->notices.first();
    QCOMPARE(first.taskId, bad);
    QCOMPARE(first.title, QStringLiteral("Tarnwick: task 2 failed"));
    QVERIFY2(first.text.contains(QStringLiteral("src2")), qPrintable(first.text));
    QCOMPARE(first.action, QStringLiteral("Show task"));

    // It fails again: one more notice, of the same task, in place of the
    // first; the good task's run still sends none.
    for (const QString& id : {bad, good}) {
        QCOMPARE(m_window->coordinator().runByHand(id), RunningTaskList::RunOutcome::Started);
        QVERIFY(waitIdle());
    }
    QTRY_COMPARE(m_desktop->notices.size(), 2);
    QTest::qWait(100);
    QCOMPARE(m_desktop->notices.size(), 2);
    QCOMPARE(m_desktop->notices.last().taskId, bad);

    select(good);
    m_desktop->clickNotification(bad);
    QTRY_VERIFY(m_window->isVisible() && !m_window->isMinimized());
    QCOMPARE(m_window->selectedTaskId(), bad);
}

// A click on a notification brings the window back from wherever it went
// and selects the task, under the root when the group shown does not hold
// it; a task deleted since only brings the window. After a Hide from the
// tray menu, the click counts as Show: the icon restores the window again.
void TestTfrmMain::notificationClickShowsTheTask_data()
{
    QTest::addColumn<QString>("away");     // "minimised", "hidden from the tray menu"
    QTest::addColumn<QString>("group");    // the group node shown: "" the root
    QTest::addColumn<QString>("task");     // the task clicked
    QTest::addColumn<QString>("selected"); // afterwards; "0" none
    QTest::addColumn<QString>("node");     // the group node afterwards: "" the root
    QTest::newRow("in the group shown") << "minimised" << "g1" << "a" << "a" << "g1";
    QTest::newRow("in another group") << "minimised" << "g2" << "a" << "a" << "";
    QTest::newRow("in no group") << "hidden from the tray menu" << "g1" << "c" << "c" << "";
    QTest::newRow("under the root") << "minimised" << "" << "b" << "b" << "";
    QTest::newRow("deleted since") << "hidden from the tray menu" << "g2" << "gone" << "0"
                                   << "g2";
}

void TestTfrmMain::notificationClickShowsTheTask()
{
    QFETCH(QString, away);
    QFETCH(QString, group);
    QFETCH(QString, task);
    QFETCH(QString, selected);
    QFETCH(QString, node);
    storeGroup(QStringLiteral("g1"), QStringLiteral("one"));
    storeGroup(QStringLiteral("g2"), QStringLiteral("two"));
    storeTask(QStringLiteral("a"), QStringLiteral("task a"), QString(), QString(), 0,
              QStringLiteral("g1"));
    storeTask(QStringLiteral("b"), QStringLiteral("task b"), QString(), QString(), 0,
              QStringLiteral("g2"));
    storeTask(QStringLiteral("c"), QStringLiteral("task c"), QString(), QString());
    openWindow();
    const auto nodeOf = [&](const QString& groupId) {
        if (groupId.isEmpty())
            return root();
        for (int i = 0; i < root()->childCount(); ++i) {
            if (root()->child(i)->text(0) == (groupId == u"g1" ? u"one" : u"two"))
                return root()->child(i);
        }
        return static_cast<QTreeWidgetItem*>(nullptr);
    };
    // Reached as the keyboard reaches it.
    tree()->setCurrentItem(nodeOf(group));
    QCOMPARE(tree()->currentItem(), nodeOf(group));
    if (away == u"minimised")
        m_window->showMinimized();
    else
        m_window->findChild<QAction*>(QStringLiteral("pmuHideForm"))->trigger();
    QTRY_VERIFY(!m_window->isVisible() || m_window->isMinimized());

    m_desktop->clickNotification(task);
    QTRY_VERIFY(m_window->isVisible() && !m_window->isMinimized());
    QCOMPARE(m_window->selectedTaskId(), selected);
    QCOMPARE(tree()->currentItem(), nodeOf(node));
    if (selected != u"0")
        QVERIFY(taskNames().contains(QStringLiteral("task ") + selected));
    QCOMPARE(m_desktop->errors, QStringList());

    // The tray icon's click restores the window once more.
    m_window->showMinimized();
    QTRY_VERIFY(m_window->isMinimized());
    emit m_window->findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY(m_window->isVisible() && !m_window->isMinimized());
}

void TestTfrmMain::groupControlState_data()
{
    QTest::addColumn<QStringList>("groups");  // stored in this order
    QTest::addColumn<int>("node");            // -1 the root, else a group's place
    QTest::addColumn<QString>("how");         // "start", "click", "keyboard", "reload"
    QTest::addColumn<bool>("groupCommands");  // Rename and Remove
    QTest::newRow("no groups: root") << QStringList() << -1 << "start" << false;
    QTest::newRow("groups: root at start") << QStringList{QStringLiteral("b"), QStringLiteral("a")}
                                           << -1 << "start" << false;
    QTest::newRow("group clicked") << QStringList{QStringLiteral("b"), QStringLiteral("a")} << 1
                                   << "click" << true;
    QTest::newRow("group reached by keyboard")
        << QStringList{QStringLiteral("b"), QStringLiteral("a")} << 0 << "keyboard" << true;
    QTest::newRow("root clicked again") << QStringList{QStringLiteral("b")} << -1 << "click"
                                        << false;
    // Another program changed the tasks: the tree is read anew and the
    // group stays chosen, with its commands.
    QTest::newRow("group kept when read anew")
        << QStringList{QStringLiteral("b"), QStringLiteral("a")} << 1 << "reload" << true;
}

void TestTfrmMain::groupControlState()
{
    QFETCH(QStringList, groups);
    QFETCH(int, node);
    QFETCH(QString, how);
    QFETCH(bool, groupCommands);
    for (int i = 0; i < groups.size(); ++i)
        storeGroup(QString::number(100 + i), groups.at(i));
    openWindow();
    // Stored order, under the root, which is expanded and selected.
    QCOMPARE(tree()->topLevelItemCount(), 1);
    QCOMPARE(root()->text(0), QStringLiteral("All Tasks"));
    QCOMPARE(root()->data(0, Qt::UserRole).toString(), QStringLiteral("AllTask"));
    QVERIFY(root()->isExpanded());
    QCOMPARE(groupCaptions(), groups);
    QCOMPARE(tree()->currentItem(), root());
    if (how == QLatin1String("click")) {
        if (node < 0)
            clickNode(root()->child(0));
        clickNode(node < 0 ? root() : root()->child(node));
    } else if (how == QLatin1String("keyboard")) {
        tree()->setFocus();
        for (int i = 0; i <= node; ++i)
            QTest::keyClick(tree(), Qt::Key_Down);
    } else if (how == QLatin1String("reload")) {
        clickNode(root()->child(node));
        m_window->reloadTasks();
    }
    QCOMPARE(tree()->currentItem(), node < 0 ? root() : root()->child(node));
    for (const char* name : {"spbtnGroupRen", "spbtnGroupDel", "mnuGroupRen", "mnuGroupDel",
                             "pmuGroupRen", "pmuGroupDel"})
        QVERIFY2(enabled(QString::fromLatin1(name)) == groupCommands, name);
    for (const char* name : {"spbtnGroupAdd", "mnuGroupNew", "pmuGroupAdd"})
        QVERIFY2(enabled(QString::fromLatin1(name)), name);
}

void TestTfrmMain::groupAddRenameRemove()
{
    storeTask(QStringLiteral("1"), QStringLiteral("loose"), QStringLiteral("/s"),
              QStringLiteral("/t"));
    openWindow();
    QCOMPARE(rowCount(), 1);
    whenGroupDialogOpens([](TfrmGroup* dialog) { typeAndOk(dialog, QStringLiteral("Work")); });
    m_window->spbtnGroupAddClick();
    QCOMPARE(groupCaptions(), QStringList{QStringLiteral("Work")});
    QTreeWidgetItem* work = root()->child(0);
    const QString id = work->data(0, Qt::UserRole).toString();
    QCOMPARE(stored(QStringLiteral("TaskGroup"), id), 1);
    // The new node is selected and the list shows its (no) tasks.
    QCOMPARE(tree()->currentItem(), work);
    QCOMPARE(rowCount(), 0);
    QCOMPARE(panel(0), QStringLiteral(" 0 Task(s)"));
    QVERIFY(enabled(QStringLiteral("spbtnGroupDel")));

    // A task of the group shows under it and under the root.
    storeTask(QStringLiteral("2"), QStringLiteral("grouped"), QStringLiteral("/s2"),
              QStringLiteral("/t2"), 0, id);
    clickNode(work);
    QCOMPARE(taskNames(), QStringList{QStringLiteral("grouped")});

    whenGroupDialogOpens([](TfrmGroup* dialog) {
        QCOMPARE(dialog->groupName(), QStringLiteral("Work"));
        typeAndOk(dialog, QStringLiteral("Play"));
    });
    m_window->spbtnGroupRenClick();
    QCOMPARE(groupCaptions(), QStringList{QStringLiteral("Play")});
    QCOMPARE(ReadTaskGroups(db()).first().name, QStringLiteral("Play"));

    // Cancel keeps the group; OK removes it, and its task stays in place.
    m_desktop->confirmAnswers = {false};
    m_window->spbtnGroupDelClick();
    QCOMPARE(m_desktop->confirmations,
             QStringList{QStringLiteral("Do you really want to delete the selected task group")});
    QCOMPARE(root()->childCount(), 1);
    m_desktop->confirmAnswers = {true};
    m_window->spbtnGroupDelClick();
    QCOMPARE(root()->childCount(), 0);
    QCOMPARE(stored(QStringLiteral("TaskGroup"), id), 0);
    QCOMPARE(tree()->currentItem(), root());
    QVERIFY(!enabled(QStringLiteral("spbtnGroupDel")));
    // The list keeps its rows until the tree is clicked.
    QCOMPARE(taskNames(), QStringList{QStringLiteral("grouped")});
    clickNode(root());
    QCOMPARE(taskNames(), (QStringList{QStringLiteral("loose"), QStringLiteral("grouped")}));
    TaskQuery query(db());
    RunQuery(query, FillStatement(sql::SelectTaskForEditor, {QStringLiteral("2")}));
    QVERIFY(!query.eof());
    QCOMPARE(query.text("TaskGroupID"), id);
    // Cancel on a new group adds nothing.
    whenGroupDialogOpens([](TfrmGroup* dialog) { dialog->reject(); });
    m_window->spbtnGroupAddClick();
    QCOMPARE(root()->childCount(), 0);
    QVERIFY(ReadTaskGroups(db()).isEmpty());
    QVERIFY(m_desktop->errors.isEmpty());
}

void TestTfrmMain::groupDialogFailureAddsNoNode()
{
    openWindow();
    {
        TaskQuery query(db());
        RunStatement(query, QStringLiteral("create trigger refuse before insert on TaskGroup "
                                           "begin select raise(abort, 'refused'); end"));
    }
    whenGroupDialogOpens([this](TfrmGroup* dialog) {
        typeAndOk(dialog, QStringLiteral("Work"));
        dialog->accept(); // OK twice: still refused, still open
        QVERIFY(dialog->isVisible());
        QCOMPARE(m_desktop->errors.size(), 2);
        QCOMPARE(root()->childCount(), 0);
        TaskQuery query(db());
        RunStatement(query, QStringLiteral("drop trigger refuse"));
        dialog->accept();
    });
    m_window->spbtnGroupAddClick();
    QCOMPARE(groupCaptions(), QStringList{QStringLiteral("Work")});
    QCOMPARE(ReadTaskGroups(db()).size(), 1);
}

void TestTfrmMain::twoGroupAddsInOneSecond()
{
    FixedClock clock(QDateTime::fromSecsSinceEpoch(1234567890));
    m_desktop = std::make_unique<FakeDesktop>(clock);
    openWindow();
    for (const QString& name : {QStringLiteral("one"), QStringLiteral("two")}) {
        whenGroupDialogOpens([name](TfrmGroup* dialog) { typeAndOk(dialog, name); });
        m_window->spbtnGroupAddClick();
    }
    QCOMPARE(groupCaptions(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    const QString first = root()->child(0)->data(0, Qt::UserRole).toString();
    const QString second = root()->child(1)->data(0, Qt::UserRole).toString();
    QCOMPARE(first, QStringLiteral("26270495")); // the second's own draw
    QVERIFY(first != second);
    QCOMPARE(stored(QStringLiteral("TaskGroup"), first), 1);
    QCOMPARE(stored(QStringLiteral("TaskGroup"), second), 1);
    QVERIFY(m_desktop->errors.isEmpty());
    m_window.reset(); // before the clock goes
}

void TestTfrmMain::cellsPerStartMode_data()
{
    QTest::addColumn<qint64>("mode");
    QTest::addColumn<QStringList>("entries"); // "last|next" schedule rows
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("lastCell");
    QTest::addColumn<QString>("nextCell");
    const QString on = QStringLiteral("On Source Folder(s) Contents Change");
    QTest::newRow("manual") << qint64(0) << QStringList{QStringLiteral("2024-03-01 10:00:00|")}
                            << "/src" << "2024-03-01 10:00:00" << "Manually";
    QTest::newRow("on change") << qint64(1) << QStringList() << "/src" << "" << on;
    QTest::newRow("scheduled: latest last, earliest next")
        << qint64(2)
        << QStringList{QStringLiteral("2024-03-01 10:00:00|2090-05-02 08:00:00"),
                       QStringLiteral("2024-03-04 09:00:00|2090-04-01 07:00:00")}
        << "/src" << "2024-03-04 09:00:00" << "2090-04-01 07:00:00";
    QTest::newRow("scheduled without entries") << qint64(2) << QStringList() << "/src" << ""
                                               << "";
    QTest::newRow("unknown mode") << qint64(7) << QStringList() << "/src" << "" << "";
    QTest::newRow("several sources, joined") << qint64(0) << QStringList() << " !>/a !>/b" << ""
                                             << "Manually";
}

void TestTfrmMain::cellsPerStartMode()
{
    QFETCH(qint64, mode);
    QFETCH(QStringList, entries);
    QFETCH(QString, source);
    QFETCH(QString, lastCell);
    QFETCH(QString, nextCell);
    storeTask(QStringLiteral("9"), QStringLiteral("the task"), source, QStringLiteral("/target"),
              mode);
    {
        TaskDatabase file;
        file.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery query(file);
        for (const QString& entry : std::as_const(entries)) {
            if (entry.endsWith(u'|')) {
                RunStatement(query, FillStatement(sql::InsertManualRow,
                                                  {QStringLiteral("9"), entry.chopped(1)}));
                continue;
            }
            RunStatement(query, FillStatement(sql::InsertIntervalEntry,
                                              {QStringLiteral("9"), qint64(1), qint64(1),
                                               entry.section(u'|', 0, 0),
                                               entry.section(u'|', 1, 1),
                                               QStringLiteral("00:00:00")}));
        }
    }
    openWindow();
    QCOMPARE(rowCount(), 1);
    QCOMPARE(rowTaskId(0), QStringLiteral("9"));
    const QStringList cells{cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3), cell(0, 4)};
    QCOMPARE(cells, (QStringList{QStringLiteral("the task"), lastCell, nextCell, source,
                                 QStringLiteral("/target")}));
    const QStringList headers{QStringLiteral("Task Name"), QStringLiteral("Last Run Time"),
                              QStringLiteral("Next Run Time"), QStringLiteral("Source"),
                              QStringLiteral("Target")};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(list()->model()->headerData(column, Qt::Horizontal).toString(),
                 headers.at(column));
}

void TestTfrmMain::sortClicks_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("marks"); // per column: - none, U up, D down
    // Stored order: beta, Alpha, _under, al. Only a-z fold, so "_" (95)
    // sorts after every letter, and "al" before "Alpha" as its start.
    QTest::newRow("no click: stored order, Name shows up")
        << QList<int>{} << names("beta,Alpha,_under,al") << "U----";
    QTest::newRow("first Name click sorts descending")
        << QList<int>{0} << names("_under,beta,Alpha,al") << "D----";
    QTest::newRow("second Name click ascending")
        << QList<int>{0, 0} << names("al,Alpha,beta,_under") << "U----";
    QTest::newRow("Target") << QList<int>{4} << names("al,Alpha,beta,_under")
                            << "----U";
    QTest::newRow("Target twice") << QList<int>{4, 4}
                                  << names("_under,beta,Alpha,al") << "----D";
    QTest::newRow("Target twice, then Source: ties by Target")
        << QList<int>{4, 4, 3} << names("_under,Alpha,beta,al") << "---U-";
    QTest::newRow("Source twice: ties reversed too")
        << QList<int>{3, 3} << names("al,beta,Alpha,_under") << "---D-";
    QTest::newRow("Last Run Time as text")
        << QList<int>{1} << names("Alpha,beta,_under,al") << "-U---";
}

void TestTfrmMain::sortClicks()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, order);
    QFETCH(QString, marks);
    // Name, Source, Target, last run
    const QList<QStringList> tasks{
        names("beta,/s/same,/t/2,2024-09-01 10:00:00"),
        names("Alpha,/s/same,/t/1,2023-12-01 10:00:00"),
        names("_under,/s/a,/t/3,2024-10-01 10:00:00"),
        names("al,/s/z,/t/0,2025-01-01 10:00:00"),
    };
    for (int i = 0; i < tasks.size(); ++i) {
        const QString id = QString::number(i + 1);
        storeTask(id, tasks[i][0], tasks[i][1], tasks[i][2]);
        TaskDatabase file;
        file.open(m_home->filePath(QStringLiteral("Tarnwick.dat")));
        TaskQuery query(file);
        RunStatement(query, FillStatement(sql::InsertManualRow, {id, tasks[i][3]}));
    }
    openWindow();
    auto* view = qobject_cast<QTreeView*>(list());
    QVERIFY(view);
    for (int column : std::as_const(clicks)) {
        const QRect header(view->header()->sectionViewportPosition(column), 0,
                           view->header()->sectionSize(column), view->header()->height());
        QTest::mouseClick(view->header()->viewport(), Qt::LeftButton, {}, header.center());
    }
    QCOMPARE(taskNames(), order);
    QString shown;
    for (int column = 0; column < 5; ++column) {
        const TfrmMain::SortMark mark = m_window->sortMark(column);
        shown += mark == TfrmMain::SortMark::Up ? u'U' : mark == TfrmMain::SortMark::Down ? u'D' : u'-';
        const QVariant picture = list()->model()->headerData(column, Qt::Horizontal,
                                                              Qt::DecorationRole);
        QCOMPARE(picture.value<QIcon>().isNull(), mark == TfrmMain::SortMark::None);
    }
    QCOMPARE(shown, marks);
    if (!clicks.isEmpty())
        QCOMPARE(m_window->sortColumn(), clicks.last());
}

void TestTfrmMain::sortIsNotKept()
{
    storeTask(QStringLiteral("1"), QStringLiteral("b"), QStringLiteral("/s"), QStringLiteral("/t"));
    storeTask(QStringLiteral("2"), QStringLiteral("c"), QStringLiteral("/s"), QStringLiteral("/t"));
    openWindow();
    select(QStringLiteral("1"));
    m_window->lvwTaskColumnClick(0);
    QCOMPARE(taskNames(), (QStringList{QStringLiteral("c"), QStringLiteral("b")}));
    QCOMPARE(m_window->selectedTaskId(), QStringLiteral("1")); // the selection follows its row
    TaskListRow added;
    added.taskId = QStringLiteral("3");
    added.taskName = QStringLiteral("z");
    m_window->showTaskRow(added);
    QCOMPARE(taskNames(), (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("z")}));
    QCOMPARE(panel(0), QStringLiteral(" 3 Task(s)"));
    // A refill brings back the stored order.
    clickNode(root());
    QCOMPARE(taskNames(), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
}

void TestTfrmMain::deleteTask_data()
{
    QTest::addColumn<QString>("before"); // "suspended run", "drop Exclude", "start while asked"
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("confirmations");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("errors");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("OK empties all four tables") << "" << true << 1 << false << 0 << true;
    QTest::newRow("Cancel") << "" << false << 1 << false << 0 << false;
    QTest::newRow("running: refused unasked") << "suspended run" << true << 0 << true << 0 << false;
    QTest::newRow("a table missing: every row kept")
        << "drop Exclude" << true << 1 << false << 1 << false;
    QTest::newRow("started while asked: refused")
        << "start while asked" << true << 1 << true << 0 << false;
}

void TestTfrmMain::deleteTask()
{
    QFETCH(QString, before);
    QFETCH(bool, answer);
    QFETCH(int, confirmations);
    QFETCH(bool, refused);
    QFETCH(int, errors);
    QFETCH(bool, deleted);
    const QString id = addTask(QStringLiteral("4"), 60);
    addTask(QStringLiteral("5"), 1);
    {
        TaskQuery query(db());
        Q_UNUSED(query);
    }
    openWindow();
    {
        TaskQuery query(db());
        RunStatement(query, FillStatement(sql::InsertRule, {id, qint64(0), QStringLiteral("tmp")}));
    }
    select(id);
    QVERIFY(enabled(QStringLiteral("spbtnTaskDel")));
    if (before == QLatin1String("suspended run")) {
        m_window->spbtnRunClick();
        m_window->spbtnSuspendClick();
    } else if (before == QLatin1String("drop Exclude")) {
        TaskQuery query(db());
        RunStatement(query, QStringLiteral("drop table Exclude"));
    } else if (before == QLatin1String("start while asked")) {
        m_desktop->whileConfirming = [this, id] {
            m_window->coordinator().runByHand(id);
            m_window->coordinator().suspendByHand(id);
        };
    }
    m_desktop->confirmAnswers = {answer};
    m_window->spbtnTaskDelClick();
    QCOMPARE(m_desktop->confirmations.size(), confirmations);
    if (confirmations > 0)
        QCOMPARE(m_desktop->confirmations.first(),
                 QStringLiteral("Do you really want to delete the selected task?"));
    QCOMPARE(m_desktop->informations,
             refused ? QStringList{QStringLiteral("You can't delete the running Task.\n"
                                                  "Please wait while task work finished and "
                                                  "then try again.")}
                     : QStringList());
    QCOMPARE(m_desktop->errors.size(), errors);
    QCOMPARE(taskNames().contains(QStringLiteral("task 4")), !deleted);
    QCOMPARE(panel(0), deleted ? QStringLiteral(" 1 Task(s)") : QStringLiteral(" 2 Task(s)"));
    QCOMPARE(stored(QStringLiteral("Task"), id), deleted ? 0 : 1);
    QCOMPARE(stored(QStringLiteral("SourceDir"), id), deleted ? 0 : 1);
    QCOMPARE(stored(QStringLiteral("TaskSchedule"), id), deleted ? 0 : 1);
    if (before != QLatin1String("drop Exclude"))
        QCOMPARE(stored(QStringLiteral("Exclude"), id), deleted ? 0 : 1);
    // The other task is untouched.
    QCOMPARE(stored(QStringLiteral("Task"), QStringLiteral("5")), 1);
    m_window->coordinator().stopByHand(id);
    QVERIFY(waitIdle());
}

void TestTfrmMain::editRefusedWhileListed_data()
{
    QTest::addColumn<QString>("run"); // "", "running", "suspended"
    QTest::newRow("not running") << "";
    QTest::newRow("running") << "running";
    QTest::newRow("suspended") << "suspended";
}

void TestTfrmMain::editRefusedWhileListed()
{
    QFETCH(QString, run);
    const QString id = addTask(QStringLiteral("1"), 200);
    openWindow();
    select(id);
    for (const char* name : {"spbtnTaskAdd", "mnuTaskNew", "pmuTaskNew", "spbtnTaskEdit",
                             "mnuTaskEdit", "pmuTaskEdit"})
        QVERIFY2(enabled(QString::fromLatin1(name)), name);
    bool editorOpened = false;
    if (run.isEmpty()) {
        whenModalOpens<TfrmTask>(this, [&](TfrmTask* editor) {
            editorOpened = true;
            editor->reject();
        });
    } else {
        m_window->spbtnRunClick();
        if (run == QLatin1String("suspended"))
            m_window->spbtnSuspendClick();
        else
            m_window->coordinator().runningTasks(); // left running
    }
    m_window->spbtnTaskEditClick();
    QCOMPARE(m_desktop->informations,
             run.isEmpty() ? QStringList()
                           : QStringList{QStringLiteral("You can't modify properties of the "
                                                        "running Task.\nPlease wait while task "
                                                        "work finished and then try again.")});
    QCOMPARE(editorOpened, run.isEmpty());
    m_window->coordinator().stopByHand(id);
    QVERIFY(waitIdle());
}

void TestTfrmMain::viewStylesShareTheSelection()
{
    addTask(QStringLiteral("1"), 1);
    addTask(QStringLiteral("2"), 1);
    addTask(QStringLiteral("3"), 1);
    openWindow();
    QVERIFY(qobject_cast<QTreeView*>(list()));
    QVERIFY(m_window->findChild<QAction*>(QStringLiteral("mnuDetailed"))->isChecked());
    select(QStringLiteral("2"));
    struct Step
    {
        const char* action;
        TfrmMain::ViewStyle style;
        const char* menuItem;
        const char* popupItem;
    };
    const Step steps[] = {
        {"mnuLargeIcon", TfrmMain::ViewStyle::LargeIcon, "mnuLargeIcon", "pmuLargleIcon"},
        {"pmuSmallIcon", TfrmMain::ViewStyle::SmallIcon, "mnuSmallIcon", "pmuSmallIcon"},
        {"mnuList", TfrmMain::ViewStyle::List, "mnuList", "pmuList"},
        {"pmuDetailed", TfrmMain::ViewStyle::Detailed, "mnuDetailed", "pmuDetailed"},
    };
    const QStringList styleItems = names("mnuLargeIcon,mnuSmallIcon,mnuList,mnuDetailed,"
                                         "pmuLargleIcon,pmuSmallIcon,pmuList,pmuDetailed");
    for (const Step& step : steps) {
        m_window->findChild<QAction*>(QString::fromLatin1(step.action))->trigger();
        QCOMPARE(m_window->viewStyle(), step.style);
        QVERIFY(list()->isVisible());
        QCOMPARE(list()->accessibleName(), QStringLiteral("Tasks"));
        auto* icons = qobject_cast<QListView*>(list());
        QCOMPARE(icons != nullptr, step.style != TfrmMain::ViewStyle::Detailed);
        if (icons)
            QCOMPARE(icons->viewMode(), step.style == TfrmMain::ViewStyle::LargeIcon
                                            ? QListView::IconMode
                                            : QListView::ListMode);
        QCOMPARE(m_window->selectedTaskId(), QStringLiteral("2"));
        QCOMPARE(list()->selectionModel()->selectedIndexes().first().row(), 1);
        for (const QString& item : styleItems) {
            const bool ticked = item == QLatin1String(step.menuItem) ||
                                item == QLatin1String(step.popupItem);
            QVERIFY2(m_window->findChild<QAction*>(item)->isChecked() == ticked,
                     qPrintable(item));
        }
        QVERIFY(enabled(QStringLiteral("spbtnTaskDel")));
    }
    // A selection made in one look is the selection of the others.
    m_window->setViewStyle(TfrmMain::ViewStyle::SmallIcon);
    select(QStringLiteral("3"));
    m_window->setViewStyle(TfrmMain::ViewStyle::Detailed);
    QCOMPARE(m_window->selectedTaskId(), QStringLiteral("3"));
}

void TestTfrmMain::browse_data()
{
    QTest::addColumn<QString>("source"); // "@" stands for the test folder
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("opensSource"); // "-" opens nothing
    QTest::addColumn<QString>("opensTarget");
    QTest::addColumn<int>("informations");
    QTest::newRow("folders") << "@/src" << "@/dst" << true << "@/src" << "@/dst" << 0;
    QTest::newRow("target names a file") << "@/src" << "@/run.sh" << true << "@/src" << "-" << 1;
    QTest::newRow("target names a .desktop file")
        << "@/src" << "@/app.desktop" << true << "@/src" << "-" << 1;
    QTest::newRow("joined sources: the first folder")
        << " !>@/src !>@/dst" << "@/dst" << true << "@/src" << "@/dst" << 0;
    QTest::newRow("missing folder") << "@/gone" << "@/dst" << true << "-" << "@/dst" << 1;
    QTest::newRow("relative text") << "src" << "@/dst" << true << "-" << "@/dst" << 1;
    QTest::newRow("no selection") << "@/src" << "@/dst" << false << "-" << "-" << 0;
}

void TestTfrmMain::browse()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, select);
    QFETCH(QString, opensSource);
    QFETCH(QString, opensTarget);
    QFETCH(int, informations);
    m_home->makeDir(QStringLiteral("src"));
    m_home->makeDir(QStringLiteral("dst"));
    m_home->writeFile(QStringLiteral("run.sh"), "#!/bin/sh\ntouch /tmp/launched\n");
    m_home->writeFile(QStringLiteral("app.desktop"), "[Desktop Entry]\nExec=false\n");
    const QString home = m_home->path();
    const auto real = [&](QString text) { return text.replace(u'@', home); };
    storeTask(QStringLiteral("1"), QStringLiteral("t"), real(source), real(target));
    openWindow();
    if (select)
        this->select(QStringLiteral("1"));
    m_window->pmuOpenSourceDirClick();
    m_window->pmuOpenTargetDirClick();
    QStringList expected;
    for (const QString& opens : {opensSource, opensTarget}) {
        if (opens != QLatin1String("-"))
            expected << real(opens);
    }
    QCOMPARE(m_desktop->opened, expected);
    QCOMPARE(m_desktop->informations.size(), informations);
    // Without a selection the two items are not offered at all.
    QCOMPARE(enabled(QStringLiteral("pmuOpenSourceDir")), select);
}

void TestTfrmMain::groupAddFromTheKeyboard()
{
    openWindow();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // Alt+F opens File; Down moves to "Add Task Group".
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
    auto* file = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(file);
    QCOMPARE(file->objectName(), QStringLiteral("mnuFile"));
    for (int step = 0; step < 10 && !(file->activeAction() && file->activeAction()->objectName() ==
                                                                   u"mnuGroupNew");
         ++step)
        QTest::keyClick(file, Qt::Key_Down);
    QVERIFY(file->activeAction());
    QCOMPARE(file->activeAction()->objectName(), QStringLiteral("mnuGroupNew"));
    // The dialog opens with "New Group" selected; typing replaces it and
    // Return is OK.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll] {
        auto* dialog = qobject_cast<TfrmGroup*>(QApplication::activeModalWidget());
        // On a busy machine the dialog is up a moment before its name field
        // has the focus; typing before then loses the first keys.
        if (!dialog || !dialog->focusWidget() ||
            dialog->focusWidget()->objectName() != u"edtName")
            return;
        poll->deleteLater();
        poll->stop();
        QTest::keyClicks(dialog->focusWidget(), QStringLiteral("Keys"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    });
    poll->start(10);
    QTest::keyClick(file, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([this] { return root() && root()->childCount() == 1; }, 2000));
    QCOMPARE(groupCaptions(), QStringList{QStringLiteral("Keys")});
    QCOMPARE(ReadTaskGroups(db()).size(), 1);
}

void TestTfrmMain::trayCommandsWaitForModalDialogs()
{
    // Shutting down or hiding inside a dialog's loop would leave its caller
    // on a torn-down window: the tray's Exit and Hide wait until it closes.
    openWindow();
    const auto trayAction = [&](const char* name) {
        return m_window->findChild<QAction*>(QString::fromLatin1(name));
    };
    QDialog dialog(m_window.get());
    bool exitWhileModal = true, hiddenWhileModal = true;
    QTimer::singleShot(50, &dialog, [&] {
        trayAction("pmuExit")->trigger();
        trayAction("pmuHideForm")->trigger();
        QTest::qWait(50);
        exitWhileModal = m_window->isShuttingDown() || !m_desktop->confirmations.isEmpty();
        hiddenWhileModal = !m_window->isVisible();
        dialog.reject();
    });
    dialog.exec();
    QVERIFY(!exitWhileModal);
    QVERIFY(!hiddenWhileModal);
    // Without a dialog they act: Hide hides, Show brings the window back.
    trayAction("pmuHideForm")->trigger();
    QVERIFY(!m_window->isVisible());
    trayAction("pmuShowForm")->trigger();
    QVERIFY(m_window->isVisible());
    trayAction("pmuExit")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return m_window->isShuttingDown(); }, 2000));
}

void TestTfrmMain::keyboardAsAPersonUsesIt()
{
    const QString id = addTask(QStringLiteral("1"), 1);
    openWindow();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // The keyboard starts in the task list, not on a toolbar button.
    QCOMPARE(QApplication::focusWidget(), list());
    for (QToolButton* button : m_window->findChild<QToolBar*>()->findChildren<QToolButton*>())
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    // Tab goes on through the log pane's buttons and the log to the group
    // tree and back to the list.
    QStringList tabbed;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        tabbed << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(tabbed, names("spbtnSave,spbtnClear,spbtnFind,spbtnBrowseLog,rtfLog,treTaskGroup,"
                           "lvwTask"));
    // With no row chosen, the first Down chooses the marked row instead of
    // moving past it, so Enter and the commands have a task.
    QCOMPARE(QApplication::focusWidget(), list());
    list()->selectionModel()->clearSelection();
    list()->selectionModel()->setCurrentIndex(list()->model()->index(0, 0),
                                              QItemSelectionModel::NoUpdate);
    QTest::keyClick(list(), Qt::Key_Down);
    QCOMPARE(list()->selectionModel()->selectedRows(), QModelIndexList{list()->model()->index(0, 0)});
    QTest::keyClick(list(), Qt::Key_Down);
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(),
             std::min(1, rowCount() - 1));

    // Enter in the log pane does nothing: no run starts.
    select(id);
    auto* log = m_window->findChild<QPlainTextEdit*>(QStringLiteral("rtfLog"));
    log->setFocus();
    QTest::keyClick(log, Qt::Key_Return);
    QTest::qWait(200);
    QCOMPARE(m_window->runState(), TfrmMain::RunState::Idle);
    QVERIFY(logText().isEmpty());
    // Enter on a focused button presses that button (Clear), not Run.
    auto* clear = m_window->findChild<QToolButton*>(QStringLiteral("spbtnClear"));
    m_window->findChild<TLogPane*>()->appendLine(QStringLiteral("old line"), 0);
    clear->setFocusPolicy(Qt::StrongFocus);
    clear->setFocus();
    QTest::keyClick(clear, Qt::Key_Return);
    QTest::qWait(200);
    QCOMPARE(m_window->runState(), TfrmMain::RunState::Idle);
    QVERIFY(logText().isEmpty());
    // Enter in the task list runs the selected task.
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return logText().contains(QStringLiteral("task 1")); }, 20000));
    QVERIFY(waitIdle());

    // A double click on a row opens the editor on that task.
    QString editedName;
    whenModalOpens<TfrmTask>(this, [&editedName](TfrmTask* editor) {
        editedName = editor->record().name;
        editor->reject();
    });
    emit list()->doubleClicked(list()->model()->index(0, 0));
    QVERIFY(QTest::qWaitFor([&] { return !editedName.isEmpty(); }, 5000));
    QCOMPARE(editedName, QStringLiteral("task 1"));
}

void TestTfrmMain::openingFailuresAreTold()
{
    openWindow();
    // Without the guide, nothing is handed to a browser: the box says
    // where it should be.
    m_window->findChild<QAction*>(QStringLiteral("mnuContent"))->trigger();
    QVERIFY(m_desktop->opened.isEmpty());
    const QString guide = m_home->filePath(QStringLiteral("Help/index.html"));
    QCOMPARE(m_desktop->errors,
             QStringList{QStringLiteral("The user guide is not there: %1 is missing.").arg(guide)});
    m_desktop->errors.clear();

    m_home->makeDir(QStringLiteral("Help"));
    m_home->writeFile(QStringLiteral("Help/index.html"), "<html></html>");
    m_desktop->openSucceeds = false;
    for (const char* name : {"mnuContent", "mnuHomepage"})
        m_window->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    m_window->findChild<QToolButton*>(QStringLiteral("spbtnBrowseLog"))->click();
    QCOMPARE(m_desktop->opened.size(), 3);
    QCOMPARE(m_desktop->errors.size(), 3);
    for (qsizetype i = 0; i < 3; ++i)
        QVERIFY2(m_desktop->errors.at(i).contains(m_desktop->opened.at(i)),
                 qPrintable(m_desktop->errors.at(i)));
}

void TestTfrmMain::viewMenuShowsAndHidesPanes_data()
{
    QTest::addColumn<QString>("item");   // what the user triggers
    QTest::addColumn<QString>("toggle"); // the View menu item that keeps the check mark
    QTest::addColumn<QString>("pane");
    QTest::newRow("toolbar") << "mnuToolBax" << "mnuToolBax" << "PanelToolBax";
    QTest::newRow("group tree") << "mnuTaskGroup" << "mnuTaskGroup" << "PanelTreeView";
    QTest::newRow("log") << "mnuLog" << "mnuLog" << "PanelLog";
    QTest::newRow("status bar") << "mnuStatusBar" << "mnuStatusBar" << "StatusBar";
    QTest::newRow("tree's pop-up menu") << "pmuHideGroup" << "mnuTaskGroup" << "PanelTreeView";
    QTest::newRow("log's pop-up menu") << "pmuHideLog" << "mnuLog" << "PanelLog";
}

void TestTfrmMain::viewMenuShowsAndHidesPanes()
{
    QFETCH(QString, item);
    QFETCH(QString, toggle);
    QFETCH(QString, pane);
    openWindow();
    const QStringList panes = names("PanelToolBax,PanelTreeView,PanelLog,StatusBar");
    const auto shown = [&] {
        QStringList visible;
        for (const QString& name : panes) {
            if (m_window->findChild<QWidget*>(name)->isVisible())
                visible << name;
        }
        return visible;
    };
    auto* check = m_window->findChild<QAction*>(toggle);
    QCOMPARE(shown(), panes);
    QVERIFY(check->isChecked());
    // The pane goes, the others stay; the View menu shows it unchecked.
    m_window->findChild<QAction*>(item)->trigger();
    QStringList others = panes;
    others.removeOne(pane);
    QCOMPARE(shown(), others);
    QVERIFY(!check->isChecked());
    // The View menu brings it back.
    check->trigger();
    QCOMPARE(shown(), panes);
    QVERIFY(check->isChecked());
}

void TestTfrmMain::commandKeys()
{
    // Each key reaches its command wherever the keyboard is in the window.
    const QString id = addTask(QStringLiteral("1"), 50);
    openWindow();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    select(id);
    QWidget* at = list();

    QTest::keyClick(at, Qt::Key_F1);
    QCOMPARE(m_desktop->errors.size(), 1);
    QVERIFY2(m_desktop->errors.first().startsWith(QStringLiteral("The user guide is not there")),
             qPrintable(m_desktop->errors.first()));

    // The name in the editor the key opens.
    const auto editorOn = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QString name = QStringLiteral("no editor");
        whenModalOpens<TfrmTask>(this, [&name](TfrmTask* editor) {
            name = editor->record().name;
            editor->reject();
        });
        QTest::keyClick(at, key, modifiers);
        // Nothing gives the window the keyboard back by itself.
        m_window->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(m_window.get());
        return name;
    };
    QCOMPARE(editorOn(Qt::Key_Insert, {}), QStringLiteral("Untitled")); // a new task
    QCOMPARE(editorOn(Qt::Key_E, Qt::ControlModifier), QStringLiteral("task 1"));

    m_desktop->confirmAnswers = {false};
    QTest::keyClick(at, Qt::Key_Delete);
    QCOMPARE(m_desktop->confirmations,
             QStringList{QStringLiteral("Do you really want to delete the selected task?")});
    QCOMPARE(rowCount(), 1);

    m_window->spbtnRunClick();
    QCOMPARE(m_window->runState(), State::Running);
    QTest::keyClick(at, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(m_window->runState(), State::Suspended);
    QTest::keyClick(at, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_window->runState(), State::Idle);
    QVERIFY(waitIdle());
}

QTEST_MAIN(TestTfrmMain)
#include "TestTfrmMain.moc"
