// The main window's tables of texts: its commands with their captions,
// hints and icons, its toolbar buttons, and where a language file's entries
// go; and the messages and status lines of the window and its log pane,
// each a key of the language files' Messages section with its English text.
// Kept apart from the window's code, as the translators' view of it.
#pragma once

#include "ui/Captions.h"

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

// Every message below, and the shared ones the window shows.
std::span<const UiText> MainWindowMessages();

// The root of the group tree.
inline constexpr UiText kAllTasks{"AllTasks", "All Tasks"};
// The status bar.
inline constexpr UiText kTaskCount{"TaskCount", " %1 Task(s)"};
inline constexpr UiText kRunningCount{"RunningCount", " %1 Running Task(s)"};
inline constexpr UiText kShuttingDown{"ShuttingDown", "Shutting Down..."};
// A run that could not go on; shown in the log pane and the status bar.
inline constexpr UiText kRunStopped{"RunStopped", "The run of task %1 stopped: %2"};
// The box at the end of a run, when the options ask for it.
inline constexpr UiText kRunFinished{"SynchronizeFinished", "\nSynchronize finished "};
// The boxes of the commands.
inline constexpr UiText kSelectTask{"SelectTask", "Please select a task."};
inline constexpr UiText kDeleteGroup{"DeleteGroup",
                                     "Do you really want to delete the selected task group"};
inline constexpr UiText kDeleteTask{"DeleteTask",
                                    "Do you really want to delete the selected task?"};
inline constexpr UiText kRunningTaskDelete{"RunningTaskDelete",
                                           "You can't delete the running Task.\n"
                                           "Please wait while task work finished and then try "
                                           "again."};
inline constexpr UiText kFolderMissing{"FolderMissing", "The folder \"%1\" does not exist."};
inline constexpr UiText kGuideMissing{"GuideMissing",
                                      "The user guide is not there: %1 is missing."};
inline constexpr UiText kExitQuestion{"ExitQuestion", "If you exit it will not run any scheduled.\n"
                                                      "Are you sure you want to exit?"};
// The log pane.
inline constexpr UiText kLogNotSaved{"LogNotSaved", "The log cannot be saved to \"%1\": %2"};
inline constexpr UiText kLogFileFilter{"LogFileFilter", "Text file(*.txt);;All file(*.*)"};

} // namespace tarnwick::ui
