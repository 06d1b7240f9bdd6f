// SPDX-License-Identifier: GPL-3.0-or-later
// The last result of every task, as the main window shows it: the task
// list's Last Result cell (a coloured mark and "OK", "4 errors",
// "Stopped", "Could not start") and the tray icon's warning badge, which
// stays while a task's last run failed and the user has not looked at the
// task since. Kept apart from the window so that the rules are tested
// without one; the failures not yet seen live in the task database, so the
// badge outlasts a restart.
#pragma once

#include "store/RunHistory.h"
#include "ui/TaskListView.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <utility>

class QSystemTrayIcon;
class QWidget;

namespace tarnwick {
class TaskDatabase;
}

namespace tarnwick::ui {

class Desktop;

class LastResults : public QObject
{
    Q_OBJECT

public:
    explicit LastResults(QObject* parent = nullptr) : QObject(parent) {}

    // Reads the newest run of every task.
    void load(TaskDatabase& db);
    // A run has ended and been kept.
    void recorded(const RunRecord& run);
    // The user has looked at the task: its failure no longer waits.
    void seen(TaskDatabase& db, const QString& taskId);
    // A task is gone.
    void forget(const QString& taskId);

    // The task's newest run, or nullptr before its first.
    const RunRecord* last(const QString& taskId) const;
    // The tasks whose last run failed and that the user has not looked at
    // since, in no particular order.
    QStringList unseenFailures() const;

    // Keeps the Last Result cells of `list` and the badge and tooltip of
    // `tray` in step with the results; a task chosen in `list` while
    // `window` is in front counts as looked at. A run that fails while
    // `window` is hidden or minimised is told once through `desktop`'s
    // notification, in place of the task's earlier one; a click on it gives
    // notificationClicked. All outlive this object.
    void present(TaskDatabase& db, Desktop& desktop, TaskListView* list, QSystemTrayIcon* tray,
                 QWidget* window);
    // The mark and text of the task's Last Result cell: how far its run
    // has come while it runs, else its last result (empty before its first
    // run).
    TaskListView::ResultCell cell(const QString& taskId) const;
    // While the task runs, its Last Result cell shows `text` (how far the
    // run has come) beside a running mark; the run's end puts the last
    // result back, the one it has just kept if it kept one.
    void showRunning(const QString& taskId, const QString& text);
    void runEnded(const QString& taskId);
    // Puts the badge and the tooltip on the tray icon.
    void showTrayState();

    // A mark in the colour of the result: green, red, grey (stopped).
    static QIcon resultIcon(const RunRecord& run);
    // `base` with a red warning badge in its lower right corner.
    static QIcon badged(const QIcon& base);
    // The tray's tooltip: "Tarnwick", or which tasks failed.
    static QString trayToolTip(const QStringList& failedTaskNames);
    // A run's short result ("OK", "1 error", "Stopped") in the chosen
    // language.
    static QString resultText(const RunRecord& run);

signals:
    // The shown result of the task, or the set of unseen failures, changed.
    void changed(const QString& taskId);
    // The user clicked the notification of the task's failed run.
    void notificationClicked(const QString& taskId);

private:
    // The names of the tasks `taskIds`, sorted; their IDs where the names
    // cannot be read.
    QStringList taskNames(const QStringList& taskIds) const;
    static bool notificationsWanted();
    void notifyIfAway(const RunRecord& run);

    // Shows the task's cell: its running text, else its last result.
    void showCell(const QString& taskId);

    QHash<QString, RunRecord> m_last;
    QHash<QString, QString> m_running; // task -> the text of its running run
    QIcon m_runningMark;
    TaskDatabase* m_db = nullptr;
    Desktop* m_desktop = nullptr;
    QPointer<QWidget> m_window;
    QPointer<TaskListView> m_list;
    QPointer<QSystemTrayIcon> m_tray;
};

} // namespace tarnwick::ui
