// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's texts as the translators meet them: where the entries
// of a language file go in the window, and the messages and status lines
// of the window and its parts (group tree, status bar, log pane), each a
// key of the language files' Messages section with its English text. The
// captions of the commands are with the commands (MainActions.cpp).
#pragma once

#include "ui/Captions.h"
#include "ui/Language.h"

#include <span>

namespace tarnwick::ui {

// Where the entries of a language file go in the main window. The Language
// menu keeps its caption in every language.
std::span<const LanguageRow> MainWindowLanguageRows();

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
