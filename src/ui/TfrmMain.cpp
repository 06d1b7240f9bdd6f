// SPDX-License-Identifier: GPL-3.0-or-later
// Main window. Every slot that reaches the store or the settings catches and
// shows the error itself: an exception must never cross the event loop.
#include "ui/TfrmMain.h"

#include "engine/LogSizeLimit.h"
#include "store/ScheduleRules.h"
#include "store/Settings.h"
#include "store/TaskList.h"
#include "ui/Desktop.h"
#include "ui/GroupTree.h"
#include "ui/Icons.h"
#include "ui/Language.h"
#include "ui/LastResults.h"
#include "ui/MainActions.h"
#include "ui/RunStatusBar.h"
#include "ui/TLogPane.h"
#include "ui/TaskCommands.h"
#include "ui/TaskListItem.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmMainTexts.h"
#include "ui/TfrmOption.h"
#include "ui/TrayIcon.h"
#include "ui/WindowLayout.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QLocale>
#include <QScreen>
#include <QApplication>
#include <QCloseEvent>
#include <QHideEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

#include <exception>

namespace tarnwick::ui {

namespace {

constexpr quint32 kDefaultErrorColour = 0x0000FF;

} // namespace

std::span<const LanguageRow> TfrmMain::languageRows()
{
    return MainWindowLanguageRows();
}

TfrmMain::TfrmMain(Desktop& desktop, QWidget* parent) : QMainWindow(parent), m_desktop(desktop)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(ThemeIcon("tarnwick"));
    resize(kLeastWindowSize);
    m_coordinator = std::make_unique<RunCoordinator>(m_db, desktop.clock());
    m_actions = std::make_unique<MainActions>(*this);
    // The menus show what their commands can do now.
    connect(m_actions->menu("mnuFile"), &QMenu::aboutToShow, this, &TfrmMain::updateGroupCommands);
    for (const char* menu : {"mnuAction", "pmuTask"})
        connect(m_actions->menu(menu), &QMenu::aboutToShow, this, &TfrmMain::updateTaskCommands);
    buildPanes();
    m_statusBar = new RunStatusBar(this);
    setStatusBar(m_statusBar);
    m_tray = new TrayIcon(*this, m_actions->menu("pmuTary"));
    connectCoordinator();
    connectResults();
    m_tasks = std::make_unique<TaskCommands>(*this, m_desktop, m_db, *m_coordinator, *m_taskList,
                                             *m_results);
    m_statusBar->setRunningCount(0);
    setRunControls(RunState::Idle);
    updateGroupCommands();
    updateTaskCommands();
    // Enter on a focused button presses that button, as Space does.
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        button->installEventFilter(this);
    // The keyboard starts in the task list, where Enter runs the task.
    m_taskList->shownView()->setFocus();
}

TfrmMain::~TfrmMain() = default;

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::openOrSay(const QString& pathOrAddress)
{
    if (!m_desktop.open(pathOrAddress))
        m_desktop.error(this, ShownText(kCannotOpen).arg(pathOrAddress));
}

// ---------------------------------------------------------------- the window's own commands

void TfrmMain::mnuExitClick()
{
    if (!modalDialogOpen())
        closeRequested();
}

void TfrmMain::mnuOptionClick()
{
    if (modalDialogOpen())
        return;
    TfrmOption options(m_desktop, this);
    if (options.exec() != QDialog::Accepted)
        return;
    // The runs read the other values when they start; the tray icon is the
    // window's own.
    m_tray->setWanted(!options.values().hideTray);
}

void TfrmMain::mnuContentClick()
{
    QApplication::processEvents();
    const QString guide = GuideFileFor(CurrentLanguage());
    // A browser handed a missing file shows its own error page, or none.
    if (!QFileInfo::exists(guide))
        m_desktop.error(this, ShownText(kGuideMissing).arg(guide));
    else
        openOrSay(guide);
}

void TfrmMain::mnuHomepageClick()
{
    openOrSay(QString::fromLatin1(kHomePage));
}

void TfrmMain::mnuAboutClick()
{
    TfrmAbout about(m_desktop, this);
    about.exec();
}

void TfrmMain::pmuShowFormClick()
{
    m_tray->showWindow();
}

void TfrmMain::pmuHideFormClick()
{
    m_tray->hideWindow();
}

void TfrmMain::bringForward()
{
    m_tray->bringForward();
}

void TfrmMain::mnuLargeIconClick()
{
    setViewStyle(ViewStyle::LargeIcon);
}

void TfrmMain::mnuSmallIconClick()
{
    setViewStyle(ViewStyle::SmallIcon);
}

void TfrmMain::mnuListClick()
{
    setViewStyle(ViewStyle::List);
}

void TfrmMain::mnuDetailedClick()
{
    setViewStyle(ViewStyle::Detailed);
}

// ---------------------------------------------------------------- building

void TfrmMain::buildPanes()
{
    m_groups = new GroupTree(m_desktop, m_db, [this] { return m_shuttingDown; });
    connect(m_groups, &GroupTree::menuRequested, this, [this](const QPoint& at) {
        updateGroupCommands();
        m_actions->menu("pmuTaskGroup")->popup(at);
    });
    connect(m_groups, &GroupTree::currentGroupChanged, this, &TfrmMain::updateGroupCommands);
    connect(m_groups, &GroupTree::groupChosen, this, &TfrmMain::fillTaskList);

    buildTaskList();

    m_logPane = new TLogPane(m_desktop);
    connect(m_logPane, &TLogPane::hideRequested, m_actions->action("mnuLog"), &QAction::trigger);

    auto* upperSplitter = m_upperSplitter = new QSplitter(Qt::Horizontal);
    upperSplitter->setAccessibleName(QStringLiteral("Groups and tasks"));
    upperSplitter->setObjectName(QStringLiteral("SplitterTree"));
    upperSplitter->addWidget(m_groups);
    upperSplitter->addWidget(m_taskList);
    upperSplitter->setStretchFactor(1, 1);
    upperSplitter->setSizes({137, 521});

    auto* workSplitter = m_workSplitter = new QSplitter(Qt::Vertical);
    workSplitter->setAccessibleName(QStringLiteral("Work area"));
    workSplitter->setObjectName(QStringLiteral("SplitterLog"));
    workSplitter->addWidget(upperSplitter);
    workSplitter->addWidget(m_logPane);
    workSplitter->setStretchFactor(0, 1);
    workSplitter->setSizes({250, 177});
    setCentralWidget(workSplitter);
}

void TfrmMain::buildTaskList()
{
    m_taskList = new TaskListView;
    connect(m_taskList, &TaskListView::headerClicked, this, &TfrmMain::lvwTaskColumnClick);
    connect(m_taskList, &TaskListView::menuRequested, this, [this](const QPoint& at) {
        updateTaskCommands();
        recomputeRunControls();
        m_actions->menu("pmuTask")->popup(at);
    });
    for (auto signal : {&TaskListView::rowClicked, &TaskListView::selectionChanged})
        connect(m_taskList, signal, this, [this] {
            updateTaskCommands();
            recomputeRunControls();
        });
    connect(m_taskList, &TaskListView::rowDoubleClicked, this, [this] { spbtnTaskEditClick(); });
    connect(m_taskList, &TaskListView::rowsChanged, this, &TfrmMain::taskListChanged);
    setViewStyle(ViewStyle::Detailed);
    // Enter runs the selected task, from the task list only: elsewhere it
    // belongs to the focused control.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* run =
            new QShortcut(keys, m_taskList, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(run, &QShortcut::activated, this, &TfrmMain::spbtnRunClick);
    }
}

void TfrmMain::connectCoordinator()
{
    RunCoordinator& c = *m_coordinator;
    connect(&c, &RunCoordinator::linesLogged, m_logPane, &TLogPane::appendLines);
    connect(&c, &RunCoordinator::taskTimesUpdated, this,
            [this](const QString& taskId, const QString& last, const QString& next) {
                m_taskList->setTimes(taskId, last, next);
            });
    connect(&c, &RunCoordinator::finishedMessageRequested, this, &TfrmMain::showFinishBox);
    connect(&c, &RunCoordinator::problem, this, &TfrmMain::showProblem);
    connect(&c, &RunCoordinator::runFinished, this,
            [this](const QString& taskId, const QString& failure) {
                // The run's last lines, its summary among them, are shown
                // with its end rather than at the pane's next tick.
                m_logPane->flush();
                m_results->runEnded(taskId);
                if (!failure.isEmpty())
                    showProblem(ShownText(kRunStopped).arg(taskId, failure));
                recomputeRunControls();
            });
    connect(&c, &RunCoordinator::runStarted, this, [this] { recomputeRunControls(); });
    connect(&c, &RunCoordinator::progressChanged, this, [this](const QString& taskId) {
        if (const RunProgress* progress = m_coordinator->progress(taskId))
            m_results->showRunning(taskId, m_progressTexts.row(*progress));
        if (selectedRow() >= 0 && taskId == selectedTaskId())
            showSelectedProgress();
    });
    connect(&c.runningTasks(), &RunningTaskList::countChanged, this, [this](int count) {
        m_statusBar->setRunningCount(count);
        recomputeRunControls();
    });
    connect(&c, &RunCoordinator::shutdownFinished, this, [this](bool allEnded) {
        m_groups->clear();
        m_taskList->clearRows();
        m_tray->hide();
        m_closeAllowed = true;
        emit shutdownFinished(allEnded);
    });
}

void TfrmMain::connectResults()
{
    m_results = new LastResults(this);
    connect(m_coordinator.get(), &RunCoordinator::runRecorded, m_results,
            &LastResults::recorded);
    m_results->present(m_db, m_desktop, m_taskList, m_tray->icon(), this);
    connect(m_results, &LastResults::notificationClicked, this, &TfrmMain::showNotifiedTask);
}

void TfrmMain::showNotifiedTask(const QString& taskId)
{
    if (m_shuttingDown || modalDialogOpen())
        return;
    // As the tray menu's Show: the user asked for the window, so a click on
    // the icon brings it back again afterwards.
    m_tray->showWindow();
    // A task of another group than the one shown is found under the root;
    // one deleted since leaves the group shown as it is.
    const QString allTasks = QString::fromLatin1(kAllTaskGroupID);
    const auto stored = [&] {
        bool found = false;
        guarded([&] {
            for (const TaskListRow& row : ReadTaskList(m_db, allTasks))
                found = found || row.taskId == taskId;
        });
        return found;
    };
    if (taskRow(taskId) < 0 && m_groups->selectedGroupId() != allTasks && stored()) {
        m_groups->choose(allTasks);
        updateGroupCommands();
        fillTaskList(allTasks);
    }
    if (const int row = taskRow(taskId); row >= 0)
        m_taskList->selectRow(row);
}

// ---------------------------------------------------------------- start-up

void TfrmMain::openDatabase()
{
    OpenTaskDatabase(m_db);
    m_results->load(m_db);
    m_results->showTrayState();
}

void TfrmMain::runCreationSteps()
{
    guarded([this] { readStartupSettings(); });
    // At the very first start the desktop's language is shown, when a
    // language file fits it.
    guarded([] {
        if (HasLanguageKey())
            return;
        if (const QString fitting = LanguageForLocale(QLocale()); !fitting.isEmpty())
            WriteLanguage(fitting);
    });
    guarded([this] {
        m_actions->fillLanguageMenu(AvailableLanguages(), CurrentLanguage(),
                                    &TfrmMain::chooseLanguage);
    });
    // The key is made here, at the first start, as the menu expects it.
    QString language;
    guarded([&] { language = ReadLanguage(true); });
    applyLanguage(language);
    if (guarded([this] { m_groups->fill(); }))
        updateGroupCommands();
    guarded([this] { recomputeOnStartup(); });
    guarded([this] { fillTaskList(QString::fromLatin1(kAllTaskGroupID)); });
    guarded([this] { restoreLayout(); });
    // Hints go to status panel 2 through event(); nothing to set up here.
}

void TfrmMain::restoreLayout()
{
    m_storedLayout = ReadWindowLayout();
    const WindowLayoutParts parts{this, m_upperSplitter, m_workSplitter};
    QList<int> widths;
    if (UnpackWindowLayout(parts, m_storedLayout, widths)) {
        m_taskList->setColumnWidths(widths);
        return;
    }
    if (const QScreen* shown = screen())
        setGeometry(FirstWindowPlace(shown->availableGeometry()));
}

void TfrmMain::keepLayout()
{
    const QByteArray layout =
        PackWindowLayout({this, m_upperSplitter, m_workSplitter}, m_taskList->columnWidths());
    if (layout == m_storedLayout)
        return;
    WriteWindowLayout(layout);
    m_storedLayout = layout;
}

void TfrmMain::readStartupSettings()
{
    const MainWindowSettings settings = ReadMainWindowSettings();
    m_startMinimized = settings.minimized;
    m_tray->setWanted(!settings.hideTray);
    const LogSizeLimitResult limit =
        ApplyLogSizeLimit(settings.logFileName, settings.maxLogFileSize, m_desktop.clock());
    if (limit.outcome == LogSizeLimitResult::Outcome::Failed ||
        limit.outcome == LogSizeLimitResult::Outcome::RefusedName)
        m_desktop.error(this, limit.message);
}

void TfrmMain::applyLanguage(const QString& language)
{
    InstallQtTranslations(language);
    ApplyLanguage(this, languageRows(), language);
    m_groups->retranslate();
    m_taskList->retranslate();
    m_statusBar->retranslate();
    m_progressTexts = ProgressTexts::load(language);
    for (const RunningTaskList::Entry& entry : m_coordinator->runningTasks().entries()) {
        if (const RunProgress* progress = m_coordinator->progress(entry.taskId))
            m_results->showRunning(entry.taskId, m_progressTexts.row(*progress));
    }
    showSelectedProgress();
}

void TfrmMain::chooseLanguage(const QString& language)
{
    // Told, never silent: a choice that is not stored is gone at the next start.
    if (guarded([&] { WriteLanguage(language); }))
        applyLanguage(language);
}

void TfrmMain::recomputeOnStartup()
{
    QStringList unreadable;
    RecomputeOnStartup(m_db, m_desktop.clock(), &unreadable);
    for (const QString& text : std::as_const(unreadable))
        m_coordinator->watcherWarning(text);
}

void TfrmMain::fillTaskList(const QString& groupId)
{
    if (m_shuttingDown)
        return;
    guarded([&] {
        // Read first: a failing read leaves the rows shown as they were.
        QStringList unreadable;
        const QList<TaskListRow> rows = ReadTaskList(m_db, groupId.trimmed(), &unreadable);
        m_taskList->setRows(rows,
                            [this](const QString& taskId) { return m_results->cell(taskId); });
        // Told once each, however often the list is filled.
        for (const QString& text : std::as_const(unreadable))
            m_coordinator->watcherWarning(text);
    });
    updateTaskCount();
    updateTaskCommands();
    recomputeRunControls();
}

void TfrmMain::reloadTasks()
{
    if (m_shuttingDown)
        return;
    const QString groupId = m_groups->selectedGroupId();
    guarded([this] { m_groups->fill(); });
    // Back to the node that was selected, when it is still there, with the
    // commands of that node.
    m_groups->choose(groupId);
    updateGroupCommands();
    fillTaskList(groupId);
    RestartWatchers();
}

// ---------------------------------------------------------------- state

void TfrmMain::updateTaskCount()
{
    m_statusBar->setTaskCount(m_taskList->rowCount());
}

void TfrmMain::updateGroupCommands()
{
    m_actions->enableGroupCommands(m_groups->groupSelected());
}

void TfrmMain::updateTaskCommands()
{
    m_actions->enableTaskCommands(selectedRow() >= 0);
}

// The controls always show the selected task's state as the running-task
// list has it now; without a selection they are idle, with Run disabled as
// well, since there is nothing to run.
void TfrmMain::recomputeRunControls()
{
    const bool selected = selectedRow() >= 0;
    switch (selected ? m_coordinator->runState(selectedTaskId())
                     : RunCoordinator::TaskRunState::Idle) {
    case RunCoordinator::TaskRunState::Idle:
        setRunControls(RunState::Idle, selected);
        break;
    case RunCoordinator::TaskRunState::Running:
        setRunControls(RunState::Running);
        break;
    case RunCoordinator::TaskRunState::Suspended:
        setRunControls(RunState::Suspended);
        break;
    }
    showSelectedProgress();
}

void TfrmMain::showSelectedProgress()
{
    m_statusBar->showProgress(selectedRow() >= 0 ? m_coordinator->progress(selectedTaskId())
                                                 : nullptr,
                              m_progressTexts, m_runState == RunState::Suspended);
}

void TfrmMain::setRunControls(RunState state, bool runnable)
{
    m_runState = state;
    m_actions->enableRunCommands(runnable && state != RunState::Running, state == RunState::Running,
                                 state != RunState::Idle);
}

// ---------------------------------------------------------------- commands

void TfrmMain::spbtnRunClick()
{
    if (m_shuttingDown)
        return;
    if (selectedRow() < 0) {
        m_desktop.information(this, ShownText(kSelectTask));
        return;
    }
    QString reason;
    if (m_coordinator->runByHand(selectedTaskId(), &reason) ==
        RunningTaskList::RunOutcome::NotCreated) {
        showProblem(reason);
        m_desktop.error(this, reason);
    }
    recomputeRunControls();
}

void TfrmMain::spbtnSuspendClick()
{
    if (selectedRow() >= 0)
        m_coordinator->suspendByHand(selectedTaskId());
    recomputeRunControls();
}

void TfrmMain::spbtnStopClick()
{
    if (selectedRow() >= 0)
        m_coordinator->stopByHand(selectedTaskId());
    recomputeRunControls();
}

// ---------------------------------------------------------------- groups

void TfrmMain::spbtnGroupAddClick()
{
    if (m_shuttingDown || !m_groups->addGroup())
        return;
    updateGroupCommands();
    fillTaskList(m_groups->selectedGroupId());
}

void TfrmMain::spbtnGroupRenClick()
{
    if (!m_shuttingDown)
        m_groups->renameGroup();
}

void TfrmMain::spbtnGroupDelClick()
{
    if (!m_shuttingDown && m_groups->removeGroup())
        updateGroupCommands();
}

// ---------------------------------------------------------------- tasks

void TfrmMain::spbtnTaskAddClick()
{
    // Under the root the group is "AllTask": the task belongs to no group.
    if (!m_shuttingDown && m_tasks->newTask(m_groups->selectedGroupId().trimmed()))
        RestartWatchers();
}

void TfrmMain::spbtnTaskEditClick()
{
    if (!m_shuttingDown && m_tasks->editTask(m_groups->selectedGroupId()))
        RestartWatchers();
}

void TfrmMain::spbtnTaskDelClick()
{
    if (!m_shuttingDown && m_tasks->deleteTask())
        RestartWatchers();
}

void TfrmMain::pmuOpenSourceDirClick()
{
    if (!m_shuttingDown)
        m_tasks->browse(TaskListItem::kSourceColumn);
}

void TfrmMain::pmuOpenTargetDirClick()
{
    if (!m_shuttingDown)
        m_tasks->browse(TaskListItem::kTargetColumn);
}

void TfrmMain::pmuHistoryClick()
{
    m_tasks->showHistory();
}

// ---------------------------------------------------------------- the list

void TfrmMain::taskListChanged()
{
    updateTaskCount();
    updateTaskCommands();
    recomputeRunControls();
}

void TfrmMain::setViewStyle(ViewStyle style)
{
    m_taskList->setViewStyle(style);
    m_actions->checkLook(style);
}

void TfrmMain::showProblem(const QString& text)
{
    quint32 colour = kDefaultErrorColour;
    try {
        colour = ReadRunnerSettings().errorClr;
    } catch (const std::exception&) {
        // The problem is shown in red all the same.
    }
    m_logPane->appendLine(text, colour);
    m_statusBar->showNote(text);
}

void TfrmMain::showFinishBox(const QString& taskId)
{
    // One box per task; a later finish raises it again. The run never
    // waits for it to be closed.
    QPointer<QMessageBox>& box = m_finishBoxes[taskId];
    if (!box) {
        box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tarnwick"),
                              ShownText(kRunFinished), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("finishBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
    }
    box->show();
    box->raise();
}

void TfrmMain::showCheckedPanes()
{
    const auto checked = [this](const char* name) { return m_actions->action(name)->isChecked(); };
    m_actions->toolBar()->setVisible(checked("mnuToolBax"));
    m_groups->setVisible(checked("mnuTaskGroup"));
    m_logPane->setVisible(checked("mnuLog"));
    m_statusBar->setVisible(checked("mnuStatusBar"));
}

void TfrmMain::pmuHideGroupClick()
{
    m_actions->action("mnuTaskGroup")->trigger();
}

// ---------------------------------------------------------------- closing

void TfrmMain::closeRequested()
{
    if (m_shuttingDown)
        return;
    qint32 whenClose = 1;
    try {
        whenClose = ReadWhenClose();
    } catch (const std::exception& e) {
        // The program can always be closed: show why, then ask.
        m_desktop.error(this, QString::fromUtf8(e.what()));
    }
    if (whenClose != 0 && whenClose != 1) {
        showMinimized();
        return;
    }
    if (whenClose == 1 && !m_desktop.confirm(this, ShownText(kExitQuestion)))
        return;
    shutdown();
}

void TfrmMain::shutdown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    guarded([this] { keepLayout(); });
    m_statusBar->showNote(ShownText(kShuttingDown));
    m_coordinator->shutdown();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (m_closeAllowed) {
        event->accept();
        return;
    }
    event->ignore();
    // Deciding needs boxes; never inside the close event itself.
    QTimer::singleShot(0, this, [this] { closeRequested(); });
}

void TfrmMain::hideEvent(QHideEvent* event)
{
    // Hidden to the tray, the program may still end with the session.
    if (!m_shuttingDown && !event->spontaneous())
        guarded([this] { keepLayout(); });
    QMainWindow::hideEvent(event);
}

bool TfrmMain::event(QEvent* event)
{
    // Long hints go to panel 2 only, so the other panels stay in view.
    if (event->type() == QEvent::StatusTip) {
        if (!m_shuttingDown)
            m_statusBar->showNote(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

} // namespace tarnwick::ui
