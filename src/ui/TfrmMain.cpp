// Main window. Every slot that reaches the store or the settings catches and
// shows the error itself: an exception must never cross the event loop.
#include "ui/TfrmMain.h"

#include "ui/TfrmMainTexts.h"

#include "engine/LogSizeLimit.h"
#include "platform/ProgramFolder.h"
#include "store/ScheduleRules.h"
#include "store/Identifiers.h"
#include "store/Settings.h"
#include "store/TaskList.h"
#include "ui/Captions.h"
#include "ui/Desktop.h"
#include "ui/Hints.h"
#include "ui/Icons.h"
#include "ui/LastResults.h"
#include "ui/TLogPane.h"
#include "ui/TaskListItem.h"
#include "ui/TaskListView.h"
#include "ui/Language.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmOption.h"
#include "ui/TfrmGroup.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmTask.h"

#include "platform/TThread.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QAbstractButton>
#include <QKeyEvent>
#include <QShortcut>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace tarnwick::ui {

namespace {

constexpr int kGroupIdRole = Qt::UserRole;
constexpr char kJoinedSourcesMark[] = " !>";

// A group node shows a closed folder, and an open one while selected.
QIcon groupNodeIcon()
{
    QIcon icon;
    icon.addPixmap(ThemeIcon("folder").pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(ThemeIcon("folder-open").pixmap(16, 16), QIcon::Selected);
    return icon;
}
constexpr quint32 kDefaultErrorColour = 0x0000FF;


QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TfrmMain::TfrmMain(Desktop& desktop, QWidget* parent) : QMainWindow(parent), m_desktop(desktop)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(ThemeIcon("tarnwick"));
    resize(658, 427);
    m_coordinator = std::make_unique<RunCoordinator>(m_db, desktop.clock());
    buildActions();
    buildToolBar();
    buildMenus();
    buildCommands();
    buildPanes();
    buildStatusBar();
    buildTray();
    connectCoordinator();
    connectResults();
    m_panels[1]->setText(uiText(kRunningCount).arg(0));
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
        m_desktop.error(this, uiText(kCannotOpen).arg(pathOrAddress));
}

// ---------------------------------------------------------------- building

void TfrmMain::buildActions()
{
    for (const MainWindowAction& item : MainWindowActions()) {
        auto* action = captioned(new QAction(this), item.name, item.caption, item.hint);
        const QString name = action->objectName();
        if (item.icon)
            action->setIcon(ThemeIcon(item.icon));
        m_actions.insert(name, action);
    }
    const auto shortcut = [this](const char* name, const QList<QKeySequence>& keys) {
        m_actions.value(QString::fromLatin1(name))->setShortcuts(keys);
    };
    shortcut("mnuTaskNew", {QKeySequence(Qt::Key_Insert)});
    shortcut("mnuTaskEdit", {QKeySequence(Qt::CTRL | Qt::Key_E)});
    shortcut("mnuTaskDel", {QKeySequence(Qt::Key_Delete)});
    shortcut("mnuSuspend", {QKeySequence(Qt::CTRL | Qt::Key_P)});
    shortcut("mnuStop", {QKeySequence(Qt::CTRL | Qt::Key_S)});
    shortcut("mnuContent", {QKeySequence(Qt::Key_F1)});

    for (const char* toggle : {"mnuToolBax", "mnuTaskGroup", "mnuLog", "mnuStatusBar"}) {
        QAction* action = m_actions.value(QString::fromLatin1(toggle));
        action->setCheckable(true);
        action->setChecked(true);
    }
    auto* styles = new QActionGroup(this);
    auto* popupStyles = new QActionGroup(this);
    for (const char* style : {"mnuLargeIcon", "mnuSmallIcon", "mnuList", "mnuDetailed"}) {
        QAction* action = m_actions.value(QString::fromLatin1(style));
        action->setCheckable(true);
        styles->addAction(action);
    }
    for (const char* style : {"pmuLargleIcon", "pmuSmallIcon", "pmuList", "pmuDetailed"}) {
        QAction* action = m_actions.value(QString::fromLatin1(style));
        action->setCheckable(true);
        popupStyles->addAction(action);
    }
    m_actions.value(QStringLiteral("mnuDetailed"))->setChecked(true);
    m_actions.value(QStringLiteral("pmuDetailed"))->setChecked(true);

    // Commands shared by toolbar, menu and pop-up items.
    const auto on = [this](const char* name, auto slot) {
        connect(m_actions.value(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    };
    for (const char* name : {"mnuRun", "pmuRun"})
        on(name, [this] { spbtnRunClick(); });
    for (const char* name : {"mnuSuspend", "pmuSuspend"})
        on(name, [this] { spbtnSuspendClick(); });
    for (const char* name : {"mnuStop", "pmuStop"})
        on(name, [this] { spbtnStopClick(); });
    for (const char* name : {"mnuExit", "pmuExit"})
        on(name, [this] {
            if (!modalDialogOpen())
                closeRequested();
        });
    on("mnuOption", [this] {
        if (modalDialogOpen())
            return;
        TfrmOption options(m_desktop, this);
        if (options.exec() != QDialog::Accepted)
            return;
        // The runs read the other values when they start; the tray icon is
        // the window's own.
        m_hideTray = options.values().hideTray;
        m_tray->setVisible(!m_hideTray && QSystemTrayIcon::isSystemTrayAvailable());
    });
    for (const char* name : {"mnuAbout", "pmuAbout"})
        on(name, [this] {
            TfrmAbout about(m_desktop, this);
            about.exec();
        });
    on("mnuContent", [this] {
        QApplication::processEvents();
        const QString guide = HelpFolder() + QStringLiteral("index.html");
        // A browser handed a missing file shows its own error page, or none.
        if (!QFileInfo::exists(guide))
            m_desktop.error(this, uiText(kGuideMissing).arg(guide));
        else
            openOrSay(guide);
    });
    on("mnuHomepage", [this] { openOrSay(QString::fromLatin1(kHomePage)); });
    on("pmuShowForm", [this] {
        if (!modalDialogOpen()) {
            m_hiddenByUser = false;
            showMainWindow();
        }
    });
    on("pmuHideForm", [this] {
        if (!modalDialogOpen()) {
            m_hiddenByUser = true;
            hide();
        }
    });
    on("pmuOpenSourceDir", [this] { pmuOpenSourceDirClick(); });
    on("pmuOpenTargetDir", [this] { pmuOpenTargetDirClick(); });
    on("pmuHistory", [this] { pmuHistoryClick(); });
    for (const char* name : {"mnuGroupNew", "pmuGroupAdd"})
        on(name, [this] { spbtnGroupAddClick(); });
    for (const char* name : {"mnuGroupRen", "pmuGroupRen"})
        on(name, [this] { spbtnGroupRenClick(); });
    for (const char* name : {"mnuGroupDel", "pmuGroupDel"})
        on(name, [this] { spbtnGroupDelClick(); });
    for (const char* name : {"mnuTaskNew", "pmuTaskNew"})
        on(name, [this] { spbtnTaskAddClick(); });
    for (const char* name : {"mnuTaskEdit", "pmuTaskEdit"})
        on(name, [this] { spbtnTaskEditClick(); });
    for (const char* name : {"mnuTaskDel", "pmuTaskDel"})
        on(name, [this] { spbtnTaskDelClick(); });
    const auto style = [&](const char* menuItem, const char* popupItem, ViewStyle viewStyle) {
        for (const char* name : {menuItem, popupItem})
            on(name, [this, viewStyle] { setViewStyle(viewStyle); });
    };
    style("mnuLargeIcon", "pmuLargleIcon", ViewStyle::LargeIcon);
    style("mnuSmallIcon", "pmuSmallIcon", ViewStyle::SmallIcon);
    style("mnuList", "pmuList", ViewStyle::List);
    style("mnuDetailed", "pmuDetailed", ViewStyle::Detailed);
}

// The places of each command that is switched as a whole.
void TfrmMain::buildCommands()
{
    const auto command = [this](std::initializer_list<const char*> items,
                                std::initializer_list<const char*> buttons) {
        QList<QAction*> actions;
        for (const char* name : items)
            actions << m_actions.value(QString::fromLatin1(name));
        QList<QAbstractButton*> toolButtons;
        for (const char* name : buttons)
            toolButtons << m_buttons.value(QString::fromLatin1(name));
        return Command(actions, toolButtons);
    };
    m_commands.groupRename = command({"mnuGroupRen", "pmuGroupRen"}, {"spbtnGroupRen"});
    m_commands.groupDelete = command({"mnuGroupDel", "pmuGroupDel"}, {"spbtnGroupDel"});
    m_commands.taskNew = command({"mnuTaskNew", "pmuTaskNew"}, {"spbtnTaskAdd"});
    m_commands.taskEdit = command({"mnuTaskEdit", "pmuTaskEdit"}, {"spbtnTaskEdit"});
    m_commands.taskDelete = command({"mnuTaskDel", "pmuTaskDel"}, {"spbtnTaskDel"});
    m_commands.openFolders = command({"pmuOpenSourceDir", "pmuOpenTargetDir", "pmuHistory"}, {});
    m_commands.run = command({"mnuRun", "pmuRun"}, {"spbtnRun"});
    m_commands.suspend = command({"mnuSuspend", "pmuSuspend"}, {"spbtnSuspend"});
    m_commands.stop = command({"mnuStop", "pmuStop"}, {"spbtnStop"});
    m_commands.largeIcon = command({"mnuLargeIcon", "pmuLargleIcon"}, {});
    m_commands.smallIcon = command({"mnuSmallIcon", "pmuSmallIcon"}, {});
    m_commands.list = command({"mnuList", "pmuList"}, {});
    m_commands.detailed = command({"mnuDetailed", "pmuDetailed"}, {});
}

void TfrmMain::buildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("PanelToolBax"));
    m_toolBar->setAccessibleName(QStringLiteral("Toolbar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(22, 22));
    m_toolBar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    for (const MainWindowButton& entry : MainWindowButtons()) {
        if (!entry.name) {
            m_toolBar->addSeparator();
            continue;
        }
        auto* button = new QToolButton(m_toolBar);
        const QString name = QString::fromLatin1(entry.name);
        const QString hint = QString::fromLatin1(entry.hint);
        button->setObjectName(name);
        button->setIcon(ThemeIcon(entry.icon));
        // The text is not drawn, but names the button for screen readers.
        button->setText(shortHint(hint).trimmed());
        setHint(button, hint);
        button->setAutoRaise(true);
        // The toolbar is for the mouse; the keyboard has the menus.
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        m_toolBar->addWidget(button);
        m_buttons.insert(name, button);
        if (entry.action) {
            QAction* action = m_actions.value(QString::fromLatin1(entry.action));
            connect(button, &QToolButton::clicked, action, &QAction::trigger);
        }
    }
    connect(m_buttons.value(QStringLiteral("spbtnRun")), &QToolButton::clicked, this,
            &TfrmMain::spbtnRunClick);
    connect(m_buttons.value(QStringLiteral("spbtnSuspend")), &QToolButton::clicked, this,
            &TfrmMain::spbtnSuspendClick);
    connect(m_buttons.value(QStringLiteral("spbtnStop")), &QToolButton::clicked, this,
            &TfrmMain::spbtnStopClick);
}

void TfrmMain::buildMenus()
{
    const auto add = [this](QMenu* menu, const char* name) {
        menu->addAction(m_actions.value(QString::fromLatin1(name)));
    };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMnu"));

    QMenu* file = captioned(new QMenu(bar), "mnuFile", "&File", "offter commands for working with task");
    bar->addMenu(file);
    for (const char* name : {"mnuTaskNew", "mnuTaskEdit", "mnuTaskDel"})
        add(file, name);
    file->addSeparator();
    for (const char* name : {"mnuGroupNew", "mnuGroupRen", "mnuGroupDel"})
        add(file, name);
    file->addSeparator();
    add(file, "mnuExit");
    connect(file, &QMenu::aboutToShow, this, &TfrmMain::updateGroupCommands);

    QMenu* view = captioned(new QMenu(bar), "mnuView", "&View");
    bar->addMenu(view);
    for (const char* name : {"mnuToolBax", "mnuTaskGroup", "mnuLog", "mnuStatusBar"})
        add(view, name);
    view->addSeparator();
    for (const char* name : {"mnuLargeIcon", "mnuSmallIcon", "mnuList", "mnuDetailed"})
        add(view, name);

    // Its caption stays the same in every language.
    m_languageMenu = captioned(new QMenu(bar), "mnuLanguage", "&Language");
    bar->addMenu(m_languageMenu);

    QMenu* action = captioned(new QMenu(bar), "mnuAction", "&Action", "offter commands for working with task");
    bar->addMenu(action);
    for (const char* name : {"mnuRun", "mnuSuspend", "mnuStop"})
        add(action, name);
    connect(action, &QMenu::aboutToShow, this, &TfrmMain::updateTaskCommands);

    QMenu* option = captioned(new QMenu(bar), "mnuOption1", "Option", "Display program options");
    bar->addMenu(option);
    add(option, "mnuOption");

    QMenu* help = captioned(new QMenu(bar), "mnuHelp", "Help");
    bar->addMenu(help);
    add(help, "mnuContent");
    add(help, "mnuHomepage");
    help->addSeparator();
    add(help, "mnuAbout");

    m_taskGroupMenu = new QMenu(this);
    m_taskGroupMenu->setObjectName(QStringLiteral("pmuTaskGroup"));
    for (const char* name : {"pmuGroupAdd", "pmuGroupRen", "pmuGroupDel"})
        add(m_taskGroupMenu, name);
    m_taskGroupMenu->addSeparator();
    add(m_taskGroupMenu, "pmuHideGroup");

    m_taskMenu = new QMenu(this);
    m_taskMenu->setObjectName(QStringLiteral("pmuTask"));
    for (const char* name : {"pmuTaskNew", "pmuTaskEdit", "pmuTaskDel"})
        add(m_taskMenu, name);
    m_taskMenu->addSeparator();
    QMenu* styles = captioned(new QMenu(m_taskMenu), "pmuView", "View");
    m_taskMenu->addMenu(styles);
    for (const char* name : {"pmuLargleIcon", "pmuSmallIcon", "pmuList", "pmuDetailed"})
        add(styles, name);
    m_taskMenu->addSeparator();
    for (const char* name : {"pmuRun", "pmuSuspend", "pmuStop"})
        add(m_taskMenu, name);
    m_taskMenu->addSeparator();
    for (const char* name : {"pmuOpenSourceDir", "pmuOpenTargetDir", "pmuHistory"})
        add(m_taskMenu, name);
    connect(m_taskMenu, &QMenu::aboutToShow, this, &TfrmMain::updateTaskCommands);

    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("pmuTary"));
    add(m_trayMenu, "pmuAbout");
    m_trayMenu->addSeparator();
    add(m_trayMenu, "pmuShowForm");
    add(m_trayMenu, "pmuHideForm");
    m_trayMenu->addSeparator();
    add(m_trayMenu, "pmuExit");
}

void TfrmMain::buildPanes()
{
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("treTaskGroup"));
    m_tree->setAccessibleName(QStringLiteral("Task groups"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(19);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateGroupCommands();
        m_taskGroupMenu->popup(m_tree->viewport()->mapToGlobal(at));
    });
    // A click and a keyboard move both show the tasks of the node reached.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        updateGroupCommands();
        if (current)
            fillTaskList(current->data(0, kGroupIdRole).toString());
    });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        fillTaskList(item->data(0, kGroupIdRole).toString());
    });

    m_treePanel = new QWidget;
    m_treePanel->setAccessibleName(QStringLiteral("Task group pane"));
    m_treePanel->setObjectName(QStringLiteral("PanelTreeView"));
    auto* treeLayout = new QVBoxLayout(m_treePanel);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    treeLayout->addWidget(m_tree);
    m_treePanel->setMinimumWidth(10);

    buildTaskList();

    m_logPane = new TLogPane(m_desktop);
    connect(m_logPane, &TLogPane::hideRequested, this,
            [this] { m_actions.value(QStringLiteral("mnuLog"))->trigger(); });

    m_upperSplitter = new QSplitter(Qt::Horizontal);
    m_upperSplitter->setAccessibleName(QStringLiteral("Groups and tasks"));
    m_upperSplitter->setObjectName(QStringLiteral("SplitterTree"));
    m_upperSplitter->addWidget(m_treePanel);
    m_upperSplitter->addWidget(m_taskList);
    m_upperSplitter->setStretchFactor(1, 1);
    m_upperSplitter->setSizes({137, 521});

    m_workSplitter = new QSplitter(Qt::Vertical);
    m_workSplitter->setAccessibleName(QStringLiteral("Work area"));
    m_workSplitter->setObjectName(QStringLiteral("SplitterLog"));
    m_workSplitter->addWidget(m_upperSplitter);
    m_workSplitter->addWidget(m_logPane);
    m_workSplitter->setStretchFactor(0, 1);
    m_workSplitter->setSizes({250, 177});
    setCentralWidget(m_workSplitter);

    const auto toggle = [this](const char* name, QWidget* pane) {
        QAction* action = m_actions.value(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, action, pane] { toggleView(action, pane); });
    };
    toggle("mnuToolBax", m_toolBar);
    toggle("mnuTaskGroup", m_treePanel);
    toggle("mnuLog", m_logPane);
    connect(m_actions.value(QStringLiteral("pmuHideGroup")), &QAction::triggered,
            m_actions.value(QStringLiteral("mnuTaskGroup")), &QAction::trigger);
}

void TfrmMain::buildTaskList()
{
    m_taskList = new TaskListView;
    connect(m_taskList, &TaskListView::headerClicked, this, &TfrmMain::lvwTaskColumnClick);
    connect(m_taskList, &TaskListView::menuRequested, this, [this](const QPoint& at) {
        updateTaskCommands();
        recomputeRunControls();
        m_taskMenu->popup(at);
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

void TfrmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    const int widths[] = {100, 150, 50};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setMinimumWidth(widths[i]);
        bar->addWidget(m_panels[i], i == 2 ? 1 : 0);
    }
    // The selected task's run, at the right, out of the way of the hints.
    // The labels are read by their texts; their descriptions say what the
    // texts are.
    m_runCounters = new QLabel(bar);
    m_runCounters->setObjectName(QStringLiteral("lblRunProgress"));
    m_runCounters->setAccessibleDescription(QStringLiteral("Progress of the selected task's run"));
    m_runFile = new QLabel(bar);
    m_runFile->setObjectName(QStringLiteral("lblRunFile"));
    m_runFile->setAccessibleDescription(QStringLiteral("The file the selected task's run copies"));
    m_runFile->setFixedWidth(260);
    m_fileBar = new QProgressBar(bar);
    m_fileBar->setObjectName(QStringLiteral("prgRunFile"));
    m_fileBar->setAccessibleName(QStringLiteral("Copy of the current file"));
    m_fileBar->setRange(0, 1000);
    m_fileBar->setFixedWidth(120);
    m_fileBar->setMaximumHeight(m_runCounters->sizeHint().height());
    for (QWidget* part : std::initializer_list<QWidget*>{m_runCounters, m_runFile, m_fileBar}) {
        bar->addPermanentWidget(part);
        part->hide();
    }
    QAction* toggle = m_actions.value(QStringLiteral("mnuStatusBar"));
    connect(toggle, &QAction::triggered, this, [this, toggle] { toggleView(toggle, statusBar()); });
}

void TfrmMain::buildTray()
{
    m_tray = new QSystemTrayIcon(ThemeIcon("folder-sync"), this);
    m_tray->setContextMenu(m_trayMenu);
    // Many desktops send only the single activation: it counts as the
    // double click that restores a minimised window.
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger &&
                    reason != QSystemTrayIcon::DoubleClick)
                    return;
                if (!m_hiddenByUser && !modalDialogOpen())
                    showMainWindow();
            });
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
                    showProblem(uiText(kRunStopped).arg(taskId, failure));
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
        m_panels[1]->setText(uiText(kRunningCount).arg(count));
        recomputeRunControls();
    });
    connect(&c, &RunCoordinator::shutdownFinished, this, [this](bool allEnded) {
        m_tree->clear();
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
    m_results->present(m_db, m_desktop, m_taskList, m_tray, this);
    // The notification of a failed run opens the window on that task.
    connect(m_results, &LastResults::notificationClicked, this, [this](const QString& taskId) {
        if (modalDialogOpen())
            return;
        showMainWindow();
        if (const int row = taskRow(taskId); row >= 0)
            m_taskList->selectRow(row);
    });
}

// ---------------------------------------------------------------- start-up

void TfrmMain::openDatabase()
{
    OpenTaskDatabase(m_db);
    m_results->load(m_db);
    m_results->showTrayState();
}

bool TfrmMain::guarded(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        m_desktop.error(this, errorText(e));
        return false;
    }
}

void TfrmMain::runCreationSteps()
{
    guarded([this] { readStartupSettings(); });
    guarded([this] { fillLanguageMenu(); });
    applyLanguage();
    guarded([this] { fillGroupTree(); });
    guarded([this] { recomputeOnStartup(); });
    guarded([this] { fillTaskList(QString::fromLatin1(kAllTaskGroupID)); });
    // Hints go to status panel 2 through event(); nothing to set up here.
}

void TfrmMain::readStartupSettings()
{
    const MainWindowSettings settings = ReadMainWindowSettings();
    m_startMinimized = settings.minimized;
    m_hideTray = settings.hideTray;
    if (!m_hideTray && QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->show();
    else
        m_tray->hide();
    const LogSizeLimitResult limit =
        ApplyLogSizeLimit(settings.logFileName, settings.maxLogFileSize, m_desktop.clock());
    if (limit.outcome == LogSizeLimitResult::Outcome::Failed ||
        limit.outcome == LogSizeLimitResult::Outcome::RefusedName)
        m_desktop.error(this, limit.message);
}

void TfrmMain::fillLanguageMenu()
{
    m_languageMenu->clear();
    auto* group = new QActionGroup(m_languageMenu);
    const QString current = CurrentLanguage();
    for (const QString& name : AvailableLanguages()) {
        QAction* language = m_languageMenu->addAction(name);
        language->setCheckable(true);
        language->setChecked(name == current);
        group->addAction(language);
        connect(language, &QAction::triggered, this, [this, name] { chooseLanguage(name); });
    }
}

void TfrmMain::applyLanguage()
{
    // The key is made here, at the first start, as the menu expects it.
    QString language;
    guarded([&] { language = ReadLanguage(true); });
    ApplyLanguage(this, languageRows(), language);
    applyProgressTexts(language);
}

void TfrmMain::applyProgressTexts(const QString& language)
{
    // The counts and the tree's root in the language's words.
    if (!m_panels[0]->text().isEmpty())
        updateTaskCount();
    m_panels[1]->setText(uiText(kRunningCount).arg(m_coordinator->runningTasks().count()));
    if (QTreeWidgetItem* root = m_tree->topLevelItem(0))
        root->setText(0, uiText(kAllTasks));
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
    if (!guarded([&] { WriteLanguage(language); }))
        return;
    ApplyLanguage(this, languageRows(), language);
    applyProgressTexts(language);
}

void TfrmMain::fillGroupTree()
{
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {uiText(kAllTasks)});
    root->setData(0, kGroupIdRole, QString::fromLatin1(kAllTaskGroupID));
    root->setIcon(0, ThemeIcon("folder-sync"));
    for (const TaskGroupRow& group : ReadTaskGroups(m_db)) {
        auto* node = new QTreeWidgetItem(root, {group.name});
        node->setData(0, kGroupIdRole, group.groupId);
        node->setIcon(0, groupNodeIcon());
    }
    root->setExpanded(true);
    const QSignalBlocker quiet(m_tree);
    m_tree->setCurrentItem(root);
    updateGroupCommands();
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

void TfrmMain::startWatchers()
{
    m_coordinator->start();
}

void TfrmMain::RestartWatchers()
{
    m_coordinator->RestartWatchers();
}

void TfrmMain::reloadTasks()
{
    if (m_shuttingDown)
        return;
    QTreeWidgetItem* current = m_tree->currentItem();
    const QString groupId = current ? current->data(0, kGroupIdRole).toString()
                                    : QString::fromLatin1(kAllTaskGroupID);
    guarded([this] { fillGroupTree(); });
    // Back to the node that was selected, when it is still there.
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, kGroupIdRole).toString() == groupId) {
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(*it);
        }
    }
    fillTaskList(groupId);
    RestartWatchers();
}

// ---------------------------------------------------------------- state

QString TfrmMain::selectedTaskId() const
{
    return m_taskList->selectedTaskId();
}

int TfrmMain::selectedRow() const
{
    return m_taskList->selectedRow();
}

int TfrmMain::taskRow(const QString& taskId) const
{
    return m_taskList->taskRow(taskId);
}

void TfrmMain::updateTaskCount()
{
    m_panels[0]->setText(uiText(kTaskCount).arg(m_taskList->rowCount()));
}

void TfrmMain::updateGroupCommands()
{
    QTreeWidgetItem* current = m_tree->currentItem();
    const bool group = current && current->parent() != nullptr;
    m_commands.groupRename.setEnabled(group);
    m_commands.groupDelete.setEnabled(group);
}

void TfrmMain::updateTaskCommands()
{
    const bool selected = selectedRow() >= 0;
    const bool editor = taskEditorAvailable();
    m_commands.taskDelete.setEnabled(selected);
    m_commands.openFolders.setEnabled(selected);
    m_commands.taskEdit.setEnabled(selected && editor);
    m_commands.taskNew.setEnabled(editor);
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
        setRunControls(RunState::Idle);
        break;
    case RunCoordinator::TaskRunState::Running:
        setRunControls(RunState::Running);
        break;
    case RunCoordinator::TaskRunState::Suspended:
        setRunControls(RunState::Suspended);
        break;
    }
    if (!selected)
        m_commands.run.setEnabled(false);
    showSelectedProgress();
}

void TfrmMain::showSelectedProgress()
{
    const RunProgress* progress =
        selectedRow() >= 0 ? m_coordinator->progress(selectedTaskId()) : nullptr;
    if (!progress) {
        m_runCounters->hide();
        m_runFile->hide();
        m_fileBar->hide();
        return;
    }
    m_runCounters->setText(m_progressTexts.counters(*progress, m_runState == RunState::Suspended));
    m_runCounters->show();
    const QString current = m_progressTexts.current(*progress);
    // The path's middle gives way: its start and the file's name stay.
    m_runFile->setText(m_runFile->fontMetrics().elidedText(current, Qt::ElideMiddle,
                                                           m_runFile->width()));
    m_runFile->setToolTip(current);
    // Kept in place between copies, so the counters do not jump sideways.
    m_runFile->show();
    const bool big = progress->currentSize > kFileBarAbove;
    if (big)
        m_fileBar->setValue(static_cast<int>(
            std::min<quint64>(progress->currentDone, progress->currentSize) * 1000 /
            progress->currentSize));
    m_fileBar->setVisible(big);
}

void TfrmMain::setRunControls(RunState state)
{
    m_runState = state;
    const bool run = state != RunState::Running;
    const bool suspend = state == RunState::Running;
    const bool stop = state != RunState::Idle;
    m_commands.run.setEnabled(run);
    m_commands.suspend.setEnabled(suspend);
    m_commands.stop.setEnabled(stop);
}

// ---------------------------------------------------------------- commands

void TfrmMain::spbtnRunClick()
{
    if (m_shuttingDown)
        return;
    if (selectedRow() < 0) {
        m_desktop.information(this, uiText(kSelectTask));
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

QTreeWidgetItem* TfrmMain::groupNode(const QString& groupId) const
{
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->data(0, kGroupIdRole).toString() == groupId)
            return root->child(i);
    }
    return nullptr;
}

QString TfrmMain::selectedGroupId() const
{
    const QTreeWidgetItem* current = m_tree->currentItem();
    return current ? current->data(0, kGroupIdRole).toString()
                   : QString::fromLatin1(kAllTaskGroupID);
}

void TfrmMain::spbtnGroupAddClick()
{
    if (m_shuttingDown)
        return;
    QString groupId;
    if (!guarded([&] { groupId = NewGroupID(m_db, m_desktop.clock()); }))
        return;
    TfrmGroup dialog(m_desktop, m_db, this);
    dialog.setMode(TfrmGroup::Mode::NewGroup);
    dialog.setGroupId(groupId);
    // The dialog has stored the group when it closes with OK; only then
    // does the tree get its node.
    if (dialog.exec() == QDialog::Accepted && !m_shuttingDown) {
        if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
            auto* node = new QTreeWidgetItem(root, {dialog.groupName()});
            node->setData(0, kGroupIdRole, dialog.groupId());
            node->setIcon(0, groupNodeIcon());
            node->setExpanded(true);
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(node);
        }
    }
    updateGroupCommands();
    fillTaskList(selectedGroupId());
}

void TfrmMain::spbtnGroupRenClick()
{
    if (m_shuttingDown)
        return;
    const QTreeWidgetItem* current = m_tree->currentItem();
    if (!current || !current->parent())
        return;
    const QString groupId = current->data(0, kGroupIdRole).toString();
    TfrmGroup dialog(m_desktop, m_db, this);
    dialog.setMode(TfrmGroup::Mode::Rename);
    dialog.setGroupName(current->text(0));
    dialog.setGroupId(groupId);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Found again: the tree may have been read anew while the dialog was open.
    if (QTreeWidgetItem* node = groupNode(groupId))
        node->setText(0, dialog.groupName());
}

void TfrmMain::spbtnGroupDelClick()
{
    if (m_shuttingDown)
        return;
    const QTreeWidgetItem* current = m_tree->currentItem();
    if (!current || !current->parent())
        return;
    const QString groupId = current->data(0, kGroupIdRole).toString();
    if (!m_desktop.confirm(this, uiText(kDeleteGroup)))
        return;
    if (!guarded([&] { deleteTaskGroup(m_db, groupId); }))
        return;
    // The group's tasks keep their group identifier and are then listed
    // under the root only. The list keeps its rows until the tree is clicked.
    if (QTreeWidgetItem* node = groupNode(groupId)) {
        const QSignalBlocker quiet(m_tree);
        delete node;
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    }
    updateGroupCommands();
}

// ---------------------------------------------------------------- tasks

// The one place New Task and Edit Task reach the task editor. The editor
// saves through the store itself; its row goes into the list only once the
// save is committed.
bool TfrmMain::taskEditorAvailable()
{
    return true;
}

bool TfrmMain::openTaskEditor(TaskSaveMode mode, const QString& taskId, const QString& groupId)
{
    TfrmTask editor(
        m_desktop, m_db,
        [this](const QString& id) {
            return m_coordinator->runState(id) != RunCoordinator::TaskRunState::Idle;
        }, this);
    if (mode == TaskSaveMode::Edit) {
        if (!guarded([&] { editor.LoadTask(taskId); }))
            return false;
    } else {
        editor.setNewTask(taskId, groupId);
    }
    if (editor.exec() != QDialog::Accepted)
        return false;
    showTaskRow(editor.savedRow());
    return true;
}

void TfrmMain::spbtnTaskAddClick()
{
    if (m_shuttingDown || !taskEditorAvailable())
        return;
    QString taskId;
    if (!guarded([&] { taskId = NewTaskID(m_db, m_desktop.clock()); }))
        return;
    // Under the root the group is "AllTask": the task belongs to no group.
    if (openTaskEditor(TaskSaveMode::New, taskId, selectedGroupId().trimmed()))
        RestartWatchers();
}

void TfrmMain::spbtnTaskEditClick()
{
    if (m_shuttingDown)
        return;
    const QString taskId = selectedTaskId();
    // A suspended run is still listed, so a suspended task is refused too.
    if (m_coordinator->runState(taskId) != RunCoordinator::TaskRunState::Idle) {
        m_desktop.information(this, TfrmTask::runningRefusal());
        return;
    }
    if (selectedRow() < 0 || !taskEditorAvailable())
        return;
    if (openTaskEditor(TaskSaveMode::Edit, taskId, selectedGroupId()))
        RestartWatchers();
}

void TfrmMain::spbtnTaskDelClick()
{
    if (m_shuttingDown || selectedRow() < 0)
        return;
    const QString taskId = selectedTaskId();
    const QString refusal = uiText(kRunningTaskDelete);
    if (m_coordinator->runState(taskId) != RunCoordinator::TaskRunState::Idle) {
        m_desktop.information(this, refusal);
        return;
    }
    if (!m_desktop.confirm(this, uiText(kDeleteTask)))
        return;
    // A scheduled or on-change start may have come in while the box was open.
    if (m_coordinator->runState(taskId) != RunCoordinator::TaskRunState::Idle) {
        m_desktop.information(this, refusal);
        return;
    }
    // All four tables in one transaction; the row goes only once it is
    // committed, found again by its identifier.
    if (!guarded([&] { deleteTask(m_db, taskId); }))
        return;
    m_results->forget(taskId);
    const int row = taskRow(taskId);
    if (row >= 0)
        m_taskList->removeRow(row);
    RestartWatchers();
}

void TfrmMain::pmuOpenSourceDirClick()
{
    browse(TaskListItem::kSourceColumn);
}

void TfrmMain::pmuOpenTargetDirClick()
{
    browse(TaskListItem::kTargetColumn);
}

void TfrmMain::pmuHistoryClick()
{
    const int row = m_taskList->selectedRow();
    if (row < 0)
        return;
    const QString taskId = m_taskList->selectedTaskId();
    QList<RunRecord> runs;
    if (!guarded([&] { runs = TaskHistory(m_db, taskId); }))
        return;
    // Opening the history is a look at the task.
    guarded([&] { m_results->seen(m_db, taskId); });
    auto* history = new TfrmHistory(m_taskList->cellText(row, 0), runs, this);
    history->setAttribute(Qt::WA_DeleteOnClose);
    history->show();
}

// Only an existing folder goes to the desktop: handing it a file would
// launch it (a script, a .desktop file). A task with several sources
// shows the joined list; its first folder is opened.
void TfrmMain::browse(int column)
{
    if (m_shuttingDown)
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    QString folder = m_taskList->cellText(row, column);
    const QString joined = QString::fromLatin1(kJoinedSourcesMark);
    if (folder.startsWith(joined))
        folder = folder.mid(joined.size()).section(joined, 0, 0);
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isAbsolute() || !info.isDir()) {
        m_desktop.information(this, uiText(kFolderMissing).arg(folder));
        return;
    }
    if (!m_desktop.open(folder))
        m_desktop.error(this, uiText(kCannotOpenFolder).arg(folder));
}

// ---------------------------------------------------------------- the list

void TfrmMain::showTaskRow(const TaskListRow& row)
{
    m_taskList->showRow(row);
}

void TfrmMain::taskListChanged()
{
    updateTaskCount();
    updateTaskCommands();
    recomputeRunControls();
}

void TfrmMain::lvwTaskColumnClick(int column)
{
    m_taskList->sortByColumn(column);
}

void TfrmMain::setViewStyle(ViewStyle style)
{
    m_taskList->setViewStyle(style);
    m_commands.largeIcon.setChecked(style == ViewStyle::LargeIcon);
    m_commands.smallIcon.setChecked(style == ViewStyle::SmallIcon);
    m_commands.list.setChecked(style == ViewStyle::List);
    m_commands.detailed.setChecked(style == ViewStyle::Detailed);
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
    m_panels[2]->setText(text);
}

void TfrmMain::showFinishBox(const QString& taskId)
{
    // One box per task; a later finish raises it again. The run never
    // waits for it to be closed.
    QPointer<QMessageBox>& box = m_finishBoxes[taskId];
    if (!box) {
        box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tarnwick"),
                              uiText(kRunFinished), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("finishBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
    }
    box->show();
    box->raise();
}

void TfrmMain::toggleView(QAction* toggle, QWidget* pane)
{
    // The check mark decides, not the pane's own visibility.
    pane->setVisible(toggle->isChecked());
}

void TfrmMain::showMainWindow()
{
    showNormal();
    raise();
    activateWindow();
}

bool TfrmMain::modalDialogOpen() const
{
    return QApplication::activeModalWidget() != nullptr;
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
        m_desktop.error(this, errorText(e));
    }
    if (whenClose != 0 && whenClose != 1) {
        showMinimized();
        return;
    }
    if (whenClose == 1 &&
        !m_desktop.confirm(this, uiText(kExitQuestion)))
        return;
    shutdown();
}

void TfrmMain::shutdown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    m_panels[2]->setText(uiText(kShuttingDown));
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

bool TfrmMain::event(QEvent* event)
{
    // Long hints go to panel 2 only, so the other panels stay in view.
    if (event->type() == QEvent::StatusTip) {
        if (!m_shuttingDown)
            m_panels[2]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // With the tray icon shown, a minimised window leaves the taskbar and is
    // reached through the icon.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

} // namespace tarnwick::ui
