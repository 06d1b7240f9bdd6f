// The main window: toolbar, menus, the group tree and task list, the log
// pane, the status bar and the tray icon, over one run coordinator that owns
// every run and watcher. The window only shows what the coordinator reports
// and hands it the user's Run, Suspend and Stop; it never waits for a
// background thread.
#pragma once

#include "ui/Language.h"

#include "schedule/RunCoordinator.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "store/TaskWriter.h"
#include "ui/Command.h"
#include "ui/ProgressTexts.h"
#include "ui/TaskListView.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QProgressBar;
class QSplitter;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick::ui {

class Desktop;
class LastResults;
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

    // The status bar shows a bar for the file being copied when it is
    // larger than this: a smaller one is over before a bar would tell much.
    static constexpr quint64 kFileBarAbove = 64ull * 1024 * 1024;

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
    void startWatchers();

    // Replaces the watchers so they read the stored tasks anew.
    void RestartWatchers();
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
    QString selectedTaskId() const;

    ViewStyle viewStyle() const { return m_taskList->viewStyle(); }
    void setViewStyle(ViewStyle style);
    SortMark sortMark(int column) const { return m_taskList->sortMark(column); }
    int sortColumn() const { return m_taskList->sortColumn(); }
    // Adds the task's row at the end of the list, or rewrites the row it
    // already has; the task editor calls this after it saved.
    void showTaskRow(const TaskListRow& row);

signals:
    void shutdownFinished(bool allEnded);

public slots:
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
    void lvwTaskColumnClick(int column);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildActions();
    void buildToolBar();
    void buildCommands();
    void buildMenus();
    void buildPanes();
    void buildStatusBar();
    void buildTray();
    void connectCoordinator();
    // The Last Result cells and the tray's badge follow the kept runs.
    void connectResults();

    void readStartupSettings();
    void fillLanguageMenu();
    // The chosen language's texts on the window's menus, log buttons and
    // columns: at creation, and at once when another is chosen.
    void applyLanguage();
    void chooseLanguage(const QString& language);
    void fillGroupTree();
    void recomputeOnStartup();
    void fillTaskList(const QString& groupId);
    void buildTaskList();
    void taskListChanged();
    // Hands the help pages or an address to the desktop; says so when
    // nothing can open them.
    void openOrSay(const QString& pathOrAddress);
    void browse(int column);
    // The group node with this identifier, or nullptr.
    QTreeWidgetItem* groupNode(const QString& groupId) const;
    QString selectedGroupId() const;
    // The task editor's hand-off, the one place New Task and Edit Task
    // reach it: opens it modally for a new task or for the stored task
    // `taskId`; true when it saved (it has then put the task's row in the
    // list with showTaskRow). Until the editor exists this opens nothing
    // and taskEditorAvailable() keeps both commands disabled.
    bool openTaskEditor(TaskSaveMode mode, const QString& taskId, const QString& groupId);
    static bool taskEditorAvailable();
    void updateTaskCount();
    void updateGroupCommands();
    void updateTaskCommands();
    void recomputeRunControls();
    void setRunControls(RunState state);
    // The status bar's counters, current file and file bar for the
    // selected task's run; hidden when it has none.
    void showSelectedProgress();
    // The running rows and the status bar in the texts of `language`.
    void applyProgressTexts(const QString& language);
    void showProblem(const QString& text);
    void showFinishBox(const QString& taskId);
    // The selected row, -1 when none; the row of a task, -1 when not listed.
    int selectedRow() const;
    int taskRow(const QString& taskId) const;
    void toggleView(QAction* toggle, QWidget* pane);
    void showMainWindow();
    void openLogFolder();
    bool modalDialogOpen() const;
    void closeRequested();
    // Runs `step`, showing its error once; true when it ran through.
    bool guarded(const std::function<void()>& step);

    Desktop& m_desktop;
    TaskDatabase m_db;
    std::unique_ptr<RunCoordinator> m_coordinator;
    bool m_startMinimized = false;
    bool m_hideTray = false;
    bool m_shuttingDown = false;
    bool m_closeAllowed = false;
    bool m_hiddenByUser = false;
    RunState m_runState = RunState::Idle;

    QHash<QString, QAction*> m_actions;       // menu and pop-up items by name
    QHash<QString, QToolButton*> m_buttons;   // toolbar buttons by name
    QToolBar* m_toolBar = nullptr;
    QSplitter* m_workSplitter = nullptr;
    QSplitter* m_upperSplitter = nullptr;
    QWidget* m_treePanel = nullptr;
    QTreeWidget* m_tree = nullptr;
    TaskListView* m_taskList = nullptr;
    // The commands whose menu item, pop-up item and button go together.
    struct Commands
    {
        Command groupRename, groupDelete, taskNew, taskEdit, taskDelete, openFolders;
        Command run, suspend, stop;
        Command largeIcon, smallIcon, list, detailed;
    } m_commands;
    TLogPane* m_logPane = nullptr;
    LastResults* m_results = nullptr;
    QLabel* m_panels[3] = {nullptr, nullptr, nullptr};
    QLabel* m_runCounters = nullptr;
    QLabel* m_runFile = nullptr;
    QProgressBar* m_fileBar = nullptr;
    ProgressTexts m_progressTexts;
    QMenu* m_languageMenu = nullptr;
    QMenu* m_taskGroupMenu = nullptr;
    QMenu* m_taskMenu = nullptr;
    QMenu* m_trayMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QHash<QString, QPointer<QMessageBox>> m_finishBoxes;
};

} // namespace tarnwick::ui
