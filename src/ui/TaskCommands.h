// SPDX-License-Identifier: GPL-3.0-or-later
// The commands on the task list's tasks: New Task and Edit Task through the
// task editor, Delete Task, Browse Source and Target Folder, and Run
// History. Each reads and writes through the store and shows its result in
// the list only once the store has it; a task that is running or suspended
// is neither edited nor deleted. Kept apart from the window, which decides
// when a command may run (not while it shuts down) and restarts the
// watchers after a change.
#pragma once

#include "store/TaskWriter.h"
#include "ui/Desktop.h"

#include <QString>

class QWidget;

namespace tarnwick {
class RunCoordinator;
class TaskDatabase;
} // namespace tarnwick

namespace tarnwick::ui {

class LastResults;
class TaskListView;

class TaskCommands
{
public:
    // The boxes and dialogs open over `window`; all outlive this object.
    TaskCommands(QWidget& window, Desktop& desktop, TaskDatabase& db, RunCoordinator& coordinator,
                 TaskListView& list, LastResults& results);

    // A new task in the group `groupId` ("AllTask": in none); true when the
    // editor saved it.
    bool newTask(const QString& groupId);
    // The selected task in the editor; true when the editor saved it.
    bool editTask(const QString& groupId);
    // The selected task, once the user confirms; true when it was deleted.
    bool deleteTask();
    // Hands the selected task's folder in `column` (source or target) to
    // the desktop.
    void browse(int column);
    // The selected task's run history.
    void showHistory();

private:
    // The task editor's hand-off, the one place New Task and Edit Task
    // reach it: opens it modally for a new task or for the stored task
    // `taskId`; true when it saved, its row then in the list.
    bool openTaskEditor(TaskSaveMode mode, const QString& taskId, const QString& groupId);
    // Whether the task runs or is suspended: a suspended run is still
    // listed among the running tasks.
    bool busy(const QString& taskId) const;
    bool guarded(const std::function<void()>& step) { return Guarded(m_desktop, &m_window, step); }

    QWidget& m_window;
    Desktop& m_desktop;
    TaskDatabase& m_db;
    RunCoordinator& m_coordinator;
    TaskListView& m_list;
    LastResults& m_results;
};

} // namespace tarnwick::ui
