// The main window's tables of texts: its commands with their captions,
// hints and icons, its toolbar buttons, and where a language file's entries
// go. Kept apart from the window's code, as the translators' view of it.
#pragma once

#include <span>

namespace tarnwick::ui {

// A command of the menus and pop-up menus.
struct MainWindowAction
{
    const char* name;
    const char* caption;
    const char* hint; // "short | long", or empty
    const char* icon; // theme name, or none
};

// A toolbar button; a button without a name is a separator.
struct MainWindowButton
{
    const char* name;
    const char* hint;
    const char* icon;
    const char* action; // the menu item whose command it shares
};

std::span<const MainWindowAction> MainWindowActions();
std::span<const MainWindowButton> MainWindowButtons();

} // namespace tarnwick::ui
