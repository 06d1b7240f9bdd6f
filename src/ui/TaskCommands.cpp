// SPDX-License-Identifier: GPL-3.0-or-later
// The commands on the task list's tasks.
#include "ui/TaskCommands.h"

#include "schedule/RunCoordinator.h"
#include "store/Identifiers.h"
#include "store/RunHistory.h"
#include "ui/LastResults.h"
#include "ui/TaskListView.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMainTexts.h"
#include "ui/TfrmTask.h"

#include <QFileInfo>

namespace tarnwick::ui {

namespace {

// How the Source cell joins the folders of a task with several.
constexpr char kJoinedSourcesMark[] = " !>";

} // namespace

TaskCommands::TaskCommands(QWidget& window, Desktop& desktop, TaskDatabase& db,
                           RunCoordinator& coordinator, TaskListView& list, LastResults& results)
    : m_window(window), m_desktop(desktop), m_db(db), m_coordinator(coordinator), m_list(list),
      m_results(results)
{
}

bool TaskCommands::busy(const QString& taskId) const
{
    return m_coordinator.runState(taskId) != RunCoordinator::TaskRunState::Idle;
}

// The editor saves through the store itself; its row goes into the list
// only once the save is committed.
bool TaskCommands::openTaskEditor(TaskSaveMode mode, const QString& taskId, const QString& groupId)
{
    TfrmTask editor(
        m_desktop, m_db, [this](const QString& id) { return busy(id); }, &m_window);
    if (mode == TaskSaveMode::Edit) {
        if (!guarded([&] { editor.LoadTask(taskId); }))
            return false;
    } else {
        editor.setNewTask(taskId, groupId);
    }
    if (editor.exec() != QDialog::Accepted)
        return false;
    m_list.showRow(editor.savedRow());
    return true;
}

bool TaskCommands::newTask(const QString& groupId)
{
    QString taskId;
    if (!guarded([&] { taskId = NewTaskID(m_db, m_desktop.clock()); }))
        return false;
    return openTaskEditor(TaskSaveMode::New, taskId, groupId);
}

bool TaskCommands::editTask(const QString& groupId)
{
    const QString taskId = m_list.selectedTaskId();
    if (busy(taskId)) {
        m_desktop.information(&m_window, TfrmTask::runningRefusal());
        return false;
    }
    if (m_list.selectedRow() < 0)
        return false;
    return openTaskEditor(TaskSaveMode::Edit, taskId, groupId);
}

bool TaskCommands::deleteTask()
{
    if (m_list.selectedRow() < 0)
        return false;
    const QString taskId = m_list.selectedTaskId();
    if (busy(taskId)) {
        m_desktop.information(&m_window, ShownText(kRunningTaskDelete));
        return false;
    }
    if (!m_desktop.confirm(&m_window, ShownText(kDeleteTask)))
        return false;
    // A scheduled or on-change start may have come in while the box was open.
    if (busy(taskId)) {
        m_desktop.information(&m_window, ShownText(kRunningTaskDelete));
        return false;
    }
    // All four tables in one transaction; the row goes only once it is
    // committed, found again by its identifier.
    if (!guarded([&] { tarnwick::DeleteTask(m_db, taskId); }))
        return false;
    m_results.forget(taskId);
    if (const int row = m_list.taskRow(taskId); row >= 0)
        m_list.removeRow(row);
    return true;
}

void TaskCommands::showHistory()
{
    const int row = m_list.selectedRow();
    if (row < 0)
        return;
    const QString taskId = m_list.selectedTaskId();
    QList<RunRecord> runs;
    if (!guarded([&] { runs = TaskHistory(m_db, taskId); }))
        return;
    // Opening the history is a look at the task.
    guarded([&] { m_results.seen(m_db, taskId); });
    auto* history = new TfrmHistory(m_list.cellText(row, 0), runs, &m_window);
    history->setAttribute(Qt::WA_DeleteOnClose);
    history->show();
}

// Only an existing folder goes to the desktop: handing it a file would
// launch it (a script, a .desktop file). A task with several sources
// shows the joined list; its first folder is opened.
void TaskCommands::browse(int column)
{
    const int row = m_list.selectedRow();
    if (row < 0)
        return;
    QString folder = m_list.cellText(row, column);
    const QString joined = QString::fromLatin1(kJoinedSourcesMark);
    if (folder.startsWith(joined))
        folder = folder.mid(joined.size()).section(joined, 0, 0);
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isAbsolute() || !info.isDir()) {
        m_desktop.information(&m_window, ShownText(kFolderMissing).arg(folder));
        return;
    }
    if (!m_desktop.open(folder))
        m_desktop.error(&m_window, ShownText(kCannotOpenFolder).arg(folder));
}

} // namespace tarnwick::ui
