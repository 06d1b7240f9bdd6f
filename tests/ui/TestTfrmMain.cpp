// The main window offscreen, over a real task database and real runs, with
// the desktop's boxes replaced: the start-up order, the close behaviour of
// every WhenClose value, the run controls following the selected task's
// run, the running count, hints in their panel, a failing creation step
// that does not stop the others, and a shutdown that keeps the summaries.
#include "FakeDesktop.h"
#include "TaskFixture.h"
#include "TestDir.h"

#include "platform/Registry.h"
#include "platform/TThread.h"
#include "store/DateTexts.h"
#include "store/Settings.h"
#include "store/Statements.h"
#include "ui/TLogPane.h"
#include "ui/TfrmMain.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using State = TfrmMain::RunState;

class TestTfrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDir> m_home;
    std::unique_ptr<TestDir> m_config;
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
    bool waitIdle(int ms = 20000)
    {
        return QTest::qWaitFor(
            [&] { return m_window->coordinator().runningTasks().count() == 0; }, ms);
    }

private slots:
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
};

void TestTfrmMain::init()
{
    m_home = std::make_unique<TestDir>();
    m_config = std::make_unique<TestDir>();
    qputenv("TARNWICK_HOME", m_home->path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
    m_home->makeDir(QStringLiteral("Log"));
    CreateTaskDatabase(m_home->filePath(QStringLiteral("Tarnwick.dat")));
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
    m_config.reset();
    m_home.reset();
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
    m_desktop->confirmAnswer = answer;
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

QTEST_MAIN(TestTfrmMain)
#include "TestTfrmMain.moc"
