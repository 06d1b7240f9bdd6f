// SPDX-License-Identifier: GPL-3.0-or-later
// The task editor: a task's name, its source folders, its target, its
// exclude rules and how it is started, on four pages. It keeps everything
// in its controls while it is open and reaches the task database twice: to
// load a stored task, and on OK, when the whole task is checked and saved
// in one transaction. The dialog closes only once the store has taken the
// task; a refused check or a failed save leaves it open with what the user
// typed, and the database as it was.
//
// The rule and schedule entry dialogs it opens only give values back; the
// filter test tries the rules of the list as they stand, saved or not.
#pragma once

#include "ui/Language.h"

#include "store/TaskList.h"
#include "store/TaskWriter.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLineEdit;

namespace tarnwick {
class TaskDatabase;
}

namespace tarnwick::ui {

class Desktop;

class TfrmTask : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

    // The refusal shown for a task that is running or suspended; the task
    // list's Edit command shows it too.
    static QString runningRefusal();

    // `isRunning` tells whether a task has a run in progress (suspended
    // included); asked again at OK, since a run may have started meanwhile.
    TfrmTask(Desktop& desktop, TaskDatabase& db, std::function<bool(const QString&)> isRunning,
             QWidget* parent = nullptr);
    ~TfrmTask() override;

    // New mode: a fresh identifier and the group it goes into ("AllTask"
    // for none).
    void setNewTask(const QString& taskId, const QString& groupId);
    // Edit mode: fills the dialog from the stored task. Raises StoreError.
    void LoadTask(const QString& taskId);

    TaskSaveMode mode() const { return m_mode; }
    // The task as the controls hold it: a folder still in the source box
    // counts as the last source.
    TaskRecord record() const;
    // After OK: the task list's row of the saved task.
    const TaskListRow& savedRow() const { return m_savedRow; }

    // OK: checks, refuses a task that started running, saves; closes only
    // when saved.
    void accept() override;

    // The page commands, as the buttons run them.
    void spbtnSourceClick();
    void spbtnTargetClick();
    void spbtnAddClick();
    void spbtnEditSourceDirClick();
    void spbtnDelSourceDirClick();
    void spbtnFilerAddClick();
    void spbtnFilterDelClick();
    void spbtnTestClick();
    void spbtnSchAddClick();
    void spbtnShcEditClick();
    void spbtnSchDelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Controls;
    void buildSourcePage();
    void buildTargetPage();
    void buildFilterPage();
    void buildSchedulePage();
    void connectControls();
    void updateControls();
    void addSourceRow(const TaskSource& source);
    void addRuleRow(const ExcludeRule& rule, const QString& description);
    // Inserts the entry where the list's sort by text puts it, selected.
    void addScheduleRow(const TaskScheduleItem& item, const QString& description);
    void openFolder(const QString& path);
    void browseInto(QLineEdit* box);

    Desktop& m_desktop;
    TaskDatabase& m_db;
    std::function<bool(const QString&)> m_isRunning;
    TaskSaveMode m_mode = TaskSaveMode::New;
    TaskListRow m_savedRow;
    std::unique_ptr<Controls> m_c;
};

} // namespace tarnwick::ui
