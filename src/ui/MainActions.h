// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands as the user reaches them: the menu items, the
// pop-up menu items and the toolbar buttons. They are made from one table
// with a row per command (its name, caption, hint, icon, shortcut and the
// window's function it calls) and then laid out by name in the menu bar,
// the pop-up menus and the toolbar, so adding a command is adding its row
// and naming it where it shows. The places of a command that is switched
// as a whole (Run in the Action menu, in the task list's pop-up menu and on
// the toolbar) are gathered here too, so they can never disagree.
#pragma once

#include "ui/Command.h"
#include "ui/TaskListView.h"

#include <QHash>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QToolBar;

namespace tarnwick::ui {

class TfrmMain;

class MainActions
{
public:
    // What a command does: one of the window's functions.
    using Handler = void (TfrmMain::*)();

    // Makes every command as a child of `window`, with the window's menu
    // bar and toolbar and the pop-up menus of the tree, the task list and
    // the tray icon.
    explicit MainActions(TfrmMain& window);

    // The menu item or pop-up item of that name.
    QAction* action(const char* name) const;
    // The menu of that name, of the menu bar or a pop-up one.
    QMenu* menu(const char* name) const;
    QToolBar* toolBar() const { return m_toolBar; }

    // What can be done now, in every place of each command: Rename and
    // Remove Task Group need a group, Edit, Delete, the Browse items and
    // Run History a task; Run, Suspend and Stop follow the task's run.
    void enableGroupCommands(bool groupChosen);
    void enableTaskCommands(bool taskChosen);
    void enableRunCommands(bool run, bool suspend, bool stop);
    // Checks the items of the task list's look `style`.
    void checkLook(TaskListView::ViewStyle style);

    // The commands whose places are enabled or checked together.
    struct Commands
    {
        Command groupRename, groupDelete, taskEdit, taskDelete, openFolders;
        Command run, suspend, stop;
        Command largeIcon, smallIcon, list, detailed;
    };

    // The Language menu anew: an item per language in `languages`, the
    // `current` one checked; choosing one calls `choose` with its name.
    void fillLanguageMenu(const QStringList& languages, const QString& current,
                          void (TfrmMain::*choose)(const QString&));

private:
    void makeActions();
    void makeToolBar();
    void makeMenus();

    TfrmMain& m_window;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QToolBar* m_toolBar = nullptr;
    Commands m_commands;
};

} // namespace tarnwick::ui
