// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands, made from their table.
#include "ui/MainActions.h"

#include "ui/Captions.h"
#include "ui/Hints.h"
#include "ui/Icons.h"
#include "ui/TfrmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <span>

namespace tarnwick::ui {

namespace {

using Commands = MainActions::Commands;

// How a command shows a check mark: a pane that is shown while checked, or
// one of the task list's four looks, the menu's and the pop-up menu's each
// chosen one at a time.
enum class Check
{
    None,
    Shown,
    MenuLook,
    PopupLook,
};

// A command of the menus and pop-up menus.
struct CommandRow
{
    const char* name;
    const char* caption;
    const char* hint; // "short | long", or empty
    const char* icon; // theme name, or none
    QKeyCombination shortcut;
    MainActions::Handler handler;
    // The command this item is switched with; none when it is never switched.
    Command Commands::*together = nullptr;
    Check check = Check::None;
};

constexpr QKeyCombination kNoKey;

constexpr CommandRow kCommands[] = {
    {"mnuTaskNew", "New Task", "Create | Creat a new task", "document-new", Qt::Key_Insert,
     &TfrmMain::spbtnTaskAddClick},
    {"mnuTaskEdit", "Edit Task", "Edit | Display the proparies of the selected task",
     "document-properties", Qt::CTRL | Qt::Key_E, &TfrmMain::spbtnTaskEditClick,
     &Commands::taskEdit},
    {"mnuTaskDel", "Delete Task", "Delete | Delete selected task", "edit-delete", Qt::Key_Delete,
     &TfrmMain::spbtnTaskDelClick, &Commands::taskDelete},
    {"mnuGroupNew", "Add Task Group", "Add | Add a task group", "list-add", kNoKey,
     &TfrmMain::spbtnGroupAddClick},
    {"mnuGroupRen", "Rename Task Group", "Rename | Rename  task group", "edit-rename", kNoKey,
     &TfrmMain::spbtnGroupRenClick, &Commands::groupRename},
    {"mnuGroupDel", "Remove Task Group", "Remove | Remove selected task group", "list-remove",
     kNoKey, &TfrmMain::spbtnGroupDelClick, &Commands::groupDelete},
    {"mnuExit", "Exit", "Close the current window", nullptr, kNoKey, &TfrmMain::mnuExitClick},
    {"mnuToolBax", "Tool Bax", "", nullptr, kNoKey, &TfrmMain::showCheckedPanes, nullptr,
     Check::Shown},
    {"mnuTaskGroup", "Task Group", "Show/hide the Task Groups list tool window  ", nullptr, kNoKey,
     &TfrmMain::showCheckedPanes, nullptr, Check::Shown},
    {"mnuLog", "Log", "", nullptr, kNoKey, &TfrmMain::showCheckedPanes, nullptr, Check::Shown},
    {"mnuStatusBar", "StatusBar", "Show/hide the Status Bar ", nullptr, kNoKey,
     &TfrmMain::showCheckedPanes, nullptr, Check::Shown},
    {"mnuLargeIcon", "Large Icon", "Display items by Large icons ", nullptr, kNoKey,
     &TfrmMain::mnuLargeIconClick, &Commands::largeIcon, Check::MenuLook},
    {"mnuSmallIcon", "Small Icon", "Display items by Small icons ", nullptr, kNoKey,
     &TfrmMain::mnuSmallIconClick, &Commands::smallIcon, Check::MenuLook},
    {"mnuList", "List", "Display items in a list ", nullptr, kNoKey, &TfrmMain::mnuListClick,
     &Commands::list, Check::MenuLook},
    {"mnuDetailed", "Detailed", "Display information about each item in window   ", nullptr, kNoKey,
     &TfrmMain::mnuDetailedClick, &Commands::detailed, Check::MenuLook},
    {"mnuRun", "&Run/Resume", "Execute/Resume selected synchronize task", "media-playback-start",
     kNoKey, &TfrmMain::spbtnRunClick, &Commands::run},
    {"mnuSuspend", "S&uspend", "Suspend synchronize ", "media-playback-pause", Qt::CTRL | Qt::Key_P,
     &TfrmMain::spbtnSuspendClick, &Commands::suspend},
    {"mnuStop", "&Stop", " Stop  synchronize ", "media-playback-stop", Qt::CTRL | Qt::Key_S,
     &TfrmMain::spbtnStopClick, &Commands::stop},
    {"mnuOption", "Option...", "Display program options", "preferences-system", kNoKey,
     &TfrmMain::mnuOptionClick},
    {"mnuContent", "Content", "Help | Open help contents window ", "help-contents", Qt::Key_F1,
     &TfrmMain::mnuContentClick},
    {"mnuHomepage", "Home page", "Tarnwick Homepage", "go-home", kNoKey,
     &TfrmMain::mnuHomepageClick},
    {"mnuAbout", "About...", "About | Tarnwick's version and addresses", "help-about", kNoKey,
     &TfrmMain::mnuAboutClick},
    // Pop-up menus of the tree, the list and the tray.
    {"pmuGroupAdd", "&Add Task Group", "", nullptr, kNoKey, &TfrmMain::spbtnGroupAddClick},
    {"pmuGroupRen", "&Rename Task Group", "", nullptr, kNoKey, &TfrmMain::spbtnGroupRenClick,
     &Commands::groupRename},
    {"pmuGroupDel", "Delete Task Group", "", nullptr, kNoKey, &TfrmMain::spbtnGroupDelClick,
     &Commands::groupDelete},
    {"pmuHideGroup", "Hide Task &Group List", "", nullptr, kNoKey, &TfrmMain::pmuHideGroupClick},
    {"pmuTaskNew", "&New Task", "", nullptr, kNoKey, &TfrmMain::spbtnTaskAddClick},
    {"pmuTaskEdit", "&Edit Task", "", nullptr, kNoKey, &TfrmMain::spbtnTaskEditClick,
     &Commands::taskEdit},
    {"pmuTaskDel", "&Delete Task", "", nullptr, kNoKey, &TfrmMain::spbtnTaskDelClick,
     &Commands::taskDelete},
    {"pmuLargleIcon", "&Large Icon", "", nullptr, kNoKey, &TfrmMain::mnuLargeIconClick,
     &Commands::largeIcon, Check::PopupLook},
    {"pmuSmallIcon", "Small &Icon", "", nullptr, kNoKey, &TfrmMain::mnuSmallIconClick,
     &Commands::smallIcon, Check::PopupLook},
    {"pmuList", "Lis&t", "", nullptr, kNoKey, &TfrmMain::mnuListClick, &Commands::list,
     Check::PopupLook},
    {"pmuDetailed", "&Detailed", "", nullptr, kNoKey, &TfrmMain::mnuDetailedClick,
     &Commands::detailed, Check::PopupLook},
    {"pmuRun", "&Run/Resume", "", nullptr, kNoKey, &TfrmMain::spbtnRunClick, &Commands::run},
    {"pmuSuspend", "S&uspend", "", nullptr, kNoKey, &TfrmMain::spbtnSuspendClick,
     &Commands::suspend},
    {"pmuStop", "&Stop", "", nullptr, kNoKey, &TfrmMain::spbtnStopClick, &Commands::stop},
    {"pmuOpenSourceDir", "&Browse Source Folder", "", nullptr, kNoKey,
     &TfrmMain::pmuOpenSourceDirClick, &Commands::openFolders},
    {"pmuOpenTargetDir", "Browse &Target Folder", "", nullptr, kNoKey,
     &TfrmMain::pmuOpenTargetDirClick, &Commands::openFolders},
    {"pmuHistory", "Run &History...", "", nullptr, kNoKey, &TfrmMain::pmuHistoryClick,
     &Commands::openFolders},
    {"pmuAbout", "&About...", "", nullptr, kNoKey, &TfrmMain::mnuAboutClick},
    {"pmuShowForm", "&Show", "", nullptr, kNoKey, &TfrmMain::pmuShowFormClick},
    {"pmuHideForm", "&Hide", "", nullptr, kNoKey, &TfrmMain::pmuHideFormClick},
    {"pmuExit", "&Exit", "", nullptr, kNoKey, &TfrmMain::mnuExitClick},
};

// A toolbar button and the menu item whose command it gives; a button
// without a name is a separator.
struct ButtonRow
{
    const char* name;
    const char* hint;
    const char* icon;
    const char* action;
};

constexpr ButtonRow kButtons[] = {
    {"spbtnGroupAdd", "Add | Add a task group", "list-add", "mnuGroupNew"},
    {"spbtnGroupRen", "Rename | Rename  task group", "edit-rename", "mnuGroupRen"},
    {"spbtnGroupDel", "Remove | Remove the selected task group", "list-remove", "mnuGroupDel"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnRun", "Execute/Resume | Execute/Resume selected synchronize task",
     "media-playback-start", "mnuRun"},
    {"spbtnSuspend", "Suspend | Suspend  synchronize", "media-playback-pause", "mnuSuspend"},
    {"spbtnStop", "Stop | Stop  synchronize", "media-playback-stop", "mnuStop"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnTaskAdd", "Create | Creat a new task", "document-new", "mnuTaskNew"},
    {"spbtnTaskEdit", "Edit | Display the proparies of the selected task", "document-properties",
     "mnuTaskEdit"},
    {"spbtnTaskDel", "Delete | Delete selected task", "edit-delete", "mnuTaskDel"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnOption", "Options | Display program options", "preferences-system", "mnuOption"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnHelp", "Help | Open help contents window ", "help-contents", "mnuContent"},
    {"spbtnAbout", "About | Tarnwick's version and addresses", "help-about", "mnuAbout"},
    {"spbtnHomepage", "Tarnwick Homepage", "go-home", "mnuHomepage"},
};

// A menu and its items in order: "|" is a separator, the name of another
// menu of these tables is that menu as a sub-menu. A pop-up menu has no
// caption.
struct MenuRow
{
    const char* name;
    const char* caption;
    const char* hint;
    const char* items;
};

constexpr MenuRow kMenuBar[] = {
    {"mnuFile", "&File", "offter commands for working with task",
     "mnuTaskNew mnuTaskEdit mnuTaskDel | mnuGroupNew mnuGroupRen mnuGroupDel | mnuExit"},
    {"mnuView", "&View", "",
     "mnuToolBax mnuTaskGroup mnuLog mnuStatusBar | mnuLargeIcon mnuSmallIcon mnuList "
     "mnuDetailed"},
    // Its caption stays the same in every language; its items are the
    // language files found.
    {"mnuLanguage", "&Language", "", ""},
    {"mnuAction", "&Action", "offter commands for working with task", "mnuRun mnuSuspend mnuStop"},
    {"mnuOption1", "&Option", "Display program options", "mnuOption"},
    {"mnuHelp", "&Help", "", "mnuContent mnuHomepage | mnuAbout"},
};

// The pop-up menus of the group tree, the task list and the tray icon.
constexpr MenuRow kPopups[] = {
    {"pmuTaskGroup", nullptr, "", "pmuGroupAdd pmuGroupRen pmuGroupDel | pmuHideGroup"},
    {"pmuTask", nullptr, "",
     "pmuTaskNew pmuTaskEdit pmuTaskDel | pmuView | pmuRun pmuSuspend pmuStop | "
     "pmuOpenSourceDir pmuOpenTargetDir pmuHistory"},
    {"pmuView", "View", "", "pmuLargleIcon pmuSmallIcon pmuList pmuDetailed"},
    {"pmuTary", nullptr, "", "pmuAbout | pmuShowForm pmuHideForm | pmuExit"},
};

const MenuRow* FindMenuRow(const QString& name)
{
    for (std::span<const MenuRow> table :
         {std::span<const MenuRow>(kMenuBar), std::span<const MenuRow>(kPopups)}) {
        for (const MenuRow& row : table) {
            if (name == QLatin1StringView(row.name))
                return &row;
        }
    }
    return nullptr;
}

// Makes the menu of `row` and its sub-menus, with their items from `actions`.
QMenu* MakeMenu(const MenuRow& row, QWidget* parent, const QHash<QString, QAction*>& actions,
                QHash<QString, QMenu*>& menus)
{
    QMenu* menu = row.caption ? Captioned(new QMenu(parent), row.name, row.caption, row.hint)
                              : Named(new QMenu(parent), row.name);
    menus.insert(menu->objectName(), menu);
    for (const QString& item : QString::fromLatin1(row.items).split(u' ', Qt::SkipEmptyParts)) {
        if (item == u"|")
            menu->addSeparator();
        else if (const MenuRow* subMenu = FindMenuRow(item))
            menu->addMenu(MakeMenu(*subMenu, menu, actions, menus));
        else
            menu->addAction(actions.value(item));
    }
    return menu;
}

const CommandRow* FindCommandRow(const char* name)
{
    for (const CommandRow& row : kCommands) {
        if (qstrcmp(row.name, name) == 0)
            return &row;
    }
    return nullptr;
}

} // namespace

MainActions::MainActions(TfrmMain& window) : m_window(window)
{
    makeActions();
    makeToolBar();
    makeMenus();
}

QAction* MainActions::action(const char* name) const
{
    return m_actions.value(QString::fromLatin1(name));
}

QMenu* MainActions::menu(const char* name) const
{
    return m_menus.value(QString::fromLatin1(name));
}

void MainActions::makeActions()
{
    for (const CommandRow& row : kCommands) {
        auto* action = Captioned(new QAction(&m_window), row.name, row.caption, row.hint);
        if (row.icon)
            action->setIcon(ThemeIcon(row.icon));
        if (row.shortcut != kNoKey)
            action->setShortcut(QKeySequence(row.shortcut));
        if (row.check == Check::Shown) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (row.together)
            (m_commands.*row.together).add(action);
        QObject::connect(action, &QAction::triggered, &m_window, row.handler);
        m_actions.insert(action->objectName(), action);
    }
    // The looks of the View menu and those of the pop-up menu are each
    // chosen one at a time; the window keeps the two in step.
    auto* menuLooks = new QActionGroup(&m_window);
    auto* popupLooks = new QActionGroup(&m_window);
    for (const CommandRow& row : kCommands) {
        if (row.check != Check::MenuLook && row.check != Check::PopupLook)
            continue;
        QAction* look = action(row.name);
        look->setCheckable(true);
        (row.check == Check::MenuLook ? menuLooks : popupLooks)->addAction(look);
    }
}

void MainActions::makeToolBar()
{
    m_toolBar = new QToolBar(&m_window);
    m_toolBar->setObjectName(QStringLiteral("PanelToolBax"));
    m_toolBar->setAccessibleName(QStringLiteral("Toolbar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(22, 22));
    // Shown and hidden from the View menu only.
    m_toolBar->toggleViewAction()->setVisible(false);
    m_window.setContextMenuPolicy(Qt::NoContextMenu);
    m_window.addToolBar(Qt::TopToolBarArea, m_toolBar);

    for (const ButtonRow& row : kButtons) {
        if (!row.name) {
            m_toolBar->addSeparator();
            continue;
        }
        auto* button = new QToolButton(m_toolBar);
        const QString hint = QString::fromLatin1(row.hint);
        button->setObjectName(QString::fromLatin1(row.name));
        button->setIcon(ThemeIcon(row.icon));
        // The text is not drawn, but names the button for screen readers.
        SetCaption(button, ShortHint(hint).trimmed());
        SetHint(button, hint);
        button->setAutoRaise(true);
        // The toolbar is for the mouse; the keyboard has the menus.
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        m_toolBar->addWidget(button);
        QObject::connect(button, &QToolButton::clicked, action(row.action), &QAction::trigger);
        if (const CommandRow* command = FindCommandRow(row.action); command && command->together)
            (m_commands.*command->together).add(button);
    }
}

void MainActions::makeMenus()
{
    QMenuBar* bar = m_window.menuBar();
    bar->setObjectName(QStringLiteral("MainMnu"));
    for (const MenuRow& row : kMenuBar)
        bar->addMenu(MakeMenu(row, bar, m_actions, m_menus));
    // A pop-up menu made already is a sub-menu of one before it.
    for (const MenuRow& row : kPopups) {
        if (!m_menus.contains(QString::fromLatin1(row.name)))
            MakeMenu(row, &m_window, m_actions, m_menus);
    }
}

void MainActions::enableGroupCommands(bool groupChosen)
{
    m_commands.groupRename.setEnabled(groupChosen);
    m_commands.groupDelete.setEnabled(groupChosen);
}

void MainActions::enableTaskCommands(bool taskChosen)
{
    m_commands.taskDelete.setEnabled(taskChosen);
    m_commands.openFolders.setEnabled(taskChosen);
    m_commands.taskEdit.setEnabled(taskChosen);
}

void MainActions::enableRunCommands(bool run, bool suspend, bool stop)
{
    m_commands.run.setEnabled(run);
    m_commands.suspend.setEnabled(suspend);
    m_commands.stop.setEnabled(stop);
}

void MainActions::checkLook(TaskListView::ViewStyle style)
{
    using ViewStyle = TaskListView::ViewStyle;
    m_commands.largeIcon.setChecked(style == ViewStyle::LargeIcon);
    m_commands.smallIcon.setChecked(style == ViewStyle::SmallIcon);
    m_commands.list.setChecked(style == ViewStyle::List);
    m_commands.detailed.setChecked(style == ViewStyle::Detailed);
}

void MainActions::fillLanguageMenu(const QStringList& languages, const QString& current,
                                   void (TfrmMain::*choose)(const QString&))
{
    QMenu* languageMenu = menu("mnuLanguage");
    languageMenu->clear();
    auto* group = new QActionGroup(languageMenu);
    for (const QString& name : languages) {
        QAction* language = languageMenu->addAction(name);
        language->setCheckable(true);
        language->setChecked(name == current);
        group->addAction(language);
        QObject::connect(language, &QAction::triggered, &m_window,
                         [window = &m_window, choose, name] { (window->*choose)(name); });
    }
}

} // namespace tarnwick::ui
