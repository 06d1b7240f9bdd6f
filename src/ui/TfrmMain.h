// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: toolbar, menus, the group tree and task list, the log
// pane, the status bar and the tray icon, over one run coordinator that owns
// every run and watcher. The window only shows what the coordinator reports
// and hands it the user's Run, Suspend and Stop; it never waits for a
// background thread. Its parts are classes of their own (MainActions for the
// commands, GroupTree, TaskListView, TLogPane, RunStatusBar); the window
// carries out the commands, wires the parts together and decides closing.
#pragma once

#include "ui/Language.h"

#include "schedule/RunCoordinator.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "ui/Desktop.h"
#include "ui/ProgressTexts.h"
#include "ui/TaskListView.h"

#include <QApplication>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QMessageBox;
class QSplitter;

namespace tarnwick::ui {

class GroupTree;
class LastResults;
class MainActions;
class RunStatusBar;
class TaskCommands;
class TrayIcon;
class TLogPane;

class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    enum class RunState
    {
        Idle,
        Running,
        Suspended
    };

    // The task list's four looks, and the pictures of its headers.
    using ViewStyle = TaskListView::ViewStyle;
    using SortMark = TaskListView::SortMark;

    explicit TfrmMain(Desktop& desktop, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Opens the task database; raises StoreError when it cannot be opened.
    void openDatabase();
    // The creation work in its fixed order: start-up settings and the log
    // size limit, the Language menu, the group tree, the start-up recompute,
    // the task list, the hints. A step that fails reports its error once and
    // the next one runs.
    void runCreationSteps();
    // Whether the settings asked to start minimized (read by the first step).
    bool startMinimized() const { return m_startMinimized; }
    // The watchers start about a second after this is called; call it once
    // the event loop is about to run.
    void startWatchers() { m_coordinator->start(); }

    // Replaces the watchers so they read the stored tasks anew.
    void RestartWatchers() { m_coordinator->RestartWatchers(); }
    // Reads the groups and tasks anew (another program changed them).
    void reloadTasks();

    // Shuts down without asking: watchers stopped, every run asked to stop,
    // hand-overs served until all have ended or the bound has passed, then
    // shutdownFinished. Used by the close request, the tray's Exit, SIGTERM
    // and the end of the desktop session.
    void shutdown();
    bool isShuttingDown() const { return m_shuttingDown; }

    RunCoordinator& coordinator() { return *m_coordinator; }
    TaskDatabase& database() { return m_db; }
    RunState runState() const { return m_runState; }
    // The selected row's task ID, "0" when no row is selected.
    QString selectedTaskId() const { return m_taskList->selectedTaskId(); }

    ViewStyle viewStyle() const { return m_taskList->viewStyle(); }
    void setViewStyle(ViewStyle style);
    SortMark sortMark(int column) const { return m_taskList->sortMark(column); }
    int sortColumn() const { return m_taskList->sortColumn(); }
    // Adds the task's row at the end of the list, or rewrites the row it
    // already has; the task editor calls this after it saved.
    void showTaskRow(const TaskListRow& row) { m_taskList->showRow(row); }

signals:
    void shutdownFinished(bool allEnded);

public slots:
    // The commands, as the menus, the pop-up menus and the toolbar give them.
    void spbtnRunClick();
    void spbtnSuspendClick();
    void spbtnStopClick();
    void spbtnGroupAddClick();
    void spbtnGroupRenClick();
    void spbtnGroupDelClick();
    void spbtnTaskAddClick();
    void spbtnTaskEditClick();
    void spbtnTaskDelClick();
    void pmuOpenSourceDirClick();
    void pmuOpenTargetDirClick();
    void pmuHistoryClick();
    // A click on a task list header: the header pictures move on and the
    // rows are sorted once by that column.
    void lvwTaskColumnClick(int column) { m_taskList->sortByColumn(column); }
    void mnuExitClick();
    void mnuOptionClick();
    void mnuContentClick();
    void mnuHomepageClick();
    void mnuAboutClick();
    void pmuShowFormClick();
    void pmuHideFormClick();
    // A later start of the program asks for this window: back from
    // minimised or hidden, in front and active, with an open dialog in
    // front of it.
    void bringForward();
    // The task list's four looks.
    void mnuLargeIconClick();
    void mnuSmallIconClick();
    void mnuListClick();
    void mnuDetailedClick();
    // The View menu's check marks decide which panes show, not the panes'
    // own visibility.
    void showCheckedPanes();
    // Hides the group tree as the View menu's Task Group item does.
    void pmuHideGroupClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restoreLayout();
    void keepLayout();
    void buildPanes();
    void buildTaskList();
    void connectCoordinator();
    // The Last Result cells and the tray's badge follow the kept runs.
    void connectResults();
    // The notification of a failed run was clicked: the window comes to
    // the front with the task selected.
    void showNotifiedTask(const QString& taskId);

    void readStartupSettings();
    // The chosen language's texts on the window's menus, log buttons,
    // columns and status lines: at creation, and at once when another is
    // chosen.
    void applyLanguage(const QString& language);
    void chooseLanguage(const QString& language);
    void recomputeOnStartup();
    void fillTaskList(const QString& groupId);
    void taskListChanged();
    // Hands the help pages or an address to the desktop; says so when
    // nothing can open them.
    void openOrSay(const QString& pathOrAddress);
    void updateTaskCount();
    void updateGroupCommands();
    void updateTaskCommands();
    void recomputeRunControls();
    // `runnable` false: Run is off too (no task is chosen).
    void setRunControls(RunState state, bool runnable = true);
    // The status bar's counters, current file and file bar for the
    // selected task's run; hidden when it has none.
    void showSelectedProgress();
    void showProblem(const QString& text);
    void showFinishBox(const QString& taskId);
    // The selected row, -1 when none; the row of a task, -1 when not listed.
    int selectedRow() const { return m_taskList->selectedRow(); }
    int taskRow(const QString& taskId) const { return m_taskList->taskRow(taskId); }
    bool modalDialogOpen() const { return QApplication::activeModalWidget() != nullptr; }
    void closeRequested();
    // Runs `step`, showing its error once; true when it ran through.
    bool guarded(const std::function<void()>& step) { return Guarded(m_desktop, this, step); }

    Desktop& m_desktop;
    TaskDatabase m_db;
    std::unique_ptr<RunCoordinator> m_coordinator;
    bool m_startMinimized = false;
    bool m_shuttingDown = false;
    bool m_closeAllowed = false;
    RunState m_runState = RunState::Idle;

    std::unique_ptr<MainActions> m_actions;
    GroupTree* m_groups = nullptr;
    TaskListView* m_taskList = nullptr;
    std::unique_ptr<TaskCommands> m_tasks;
    TLogPane* m_logPane = nullptr;
    RunStatusBar* m_statusBar = nullptr;
    LastResults* m_results = nullptr;
    ProgressTexts m_progressTexts;
    TrayIcon* m_tray = nullptr;
    QHash<QString, QPointer<QMessageBox>> m_finishBoxes;
    QSplitter* m_upperSplitter = nullptr;
    QSplitter* m_workSplitter = nullptr;
    // The layout as last read or written, so an unchanged one is not
    // written again.
    QByteArray m_storedLayout;
};

} // namespace tarnwick::ui
