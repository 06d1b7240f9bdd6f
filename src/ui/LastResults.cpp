// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LastResults.h"

#include "platform/Registry.h"
#include "store/Settings.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "ui/Captions.h"
#include "ui/Desktop.h"
#include "ui/Icons.h"
#include "ui/TaskListView.h"

#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace tarnwick::ui {

namespace {

constexpr UiText kResultOk{"ResultOk", "OK"};
constexpr UiText kResultOneError{"ResultOneError", "1 error"};
constexpr UiText kResultErrors{"ResultErrors", "%1 errors"};
constexpr UiText kResultStopped{"ResultStopped", "Stopped"};
constexpr UiText kResultNotStarted{"ResultNotStarted", "Could not start"};
constexpr UiText kNotifyTitle{"NotifyFailedTitle", "Tarnwick: %1 failed"};
constexpr UiText kNotifyShowTask{"NotifyShowTask", "Show task"};
constexpr UiText kTrayFailed{"TrayLastRunFailed", "Tarnwick: the last run failed: %1"};

} // namespace

void LastResults::load(TaskDatabase& db)
{
    m_last = LastRuns(db);
}

void LastResults::recorded(const RunRecord& run)
{
    m_last.insert(run.taskId, run);
    emit changed(run.taskId);
    notifyIfAway(run);
}

void LastResults::notifyIfAway(const RunRecord& run)
{
    // Only failures, one per run, and only when the window is not there to
    // show them; nothing is owed when the desktop cannot show it. A task
    // that fails again replaces its notification rather than adding one.
    if (!run.failed() || !m_desktop || !m_window ||
        (m_window->isVisible() && !m_window->isMinimized()) || !notificationsWanted())
        return;
    const QStringList name = taskNames({run.taskId});
    TaskNotice notice;
    notice.taskId = run.taskId;
    notice.title = ShownText(kNotifyTitle).arg(name.value(0, run.taskId));
    notice.text = run.firstError.isEmpty() ? resultText(run) : run.firstError;
    notice.action = ShownText(kNotifyShowTask);
    m_desktop->notify(m_tray, notice);
}

// Read at each failure, as the other preferences are read when used, so a
// change in the options counts from the next run on.
bool LastResults::notificationsWanted()
{
    try {
        return ReadNotifyFailedRuns();
    } catch (const RegistryError&) {
        // A settings file that cannot be read keeps the default: on.
        return true;
    }
}

QStringList LastResults::taskNames(const QStringList& taskIds) const
{
    QStringList names;
    if (!m_db || taskIds.isEmpty())
        return names;
    try {
        for (const TaskListRow& row : ReadTaskList(*m_db, QString::fromLatin1(kAllTaskGroupID))) {
            if (taskIds.contains(row.taskId))
                names << row.taskName;
        }
    } catch (const std::exception&) {
        names = taskIds; // their IDs rather than nothing
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

void LastResults::seen(TaskDatabase& db, const QString& taskId)
{
    const auto found = m_last.find(taskId);
    if (found == m_last.end() || found->seen)
        return;
    MarkRunsSeen(db, taskId);
    found->seen = true;
    emit changed(taskId);
}

void LastResults::forget(const QString& taskId)
{
    if (m_last.remove(taskId) > 0)
        emit changed(taskId);
}

const RunRecord* LastResults::last(const QString& taskId) const
{
    const auto found = m_last.constFind(taskId);
    return found == m_last.cend() ? nullptr : &*found;
}

QStringList LastResults::unseenFailures() const
{
    QStringList tasks;
    for (const RunRecord& run : m_last) {
        if (run.failed() && !run.seen)
            tasks << run.taskId;
    }
    return tasks;
}

void LastResults::present(TaskDatabase& db, Desktop& desktop, TaskListView* list,
                          QSystemTrayIcon* tray, QWidget* window)
{
    m_db = &db;
    m_desktop = &desktop;
    m_list = list;
    m_tray = tray;
    m_window = window;
    // The desktop outlives this object: a click after it is gone is lost.
    desktop.onNotificationClicked([results = QPointer<LastResults>(this)](const QString& taskId) {
        if (results)
            emit results->notificationClicked(taskId);
    });
    connect(this, &LastResults::changed, this, [this](const QString& taskId) {
        showCell(taskId);
        showTrayState();
    });
    // A list filled or changed while the window is not in front is no look.
    for (auto signal : {&TaskListView::rowClicked, &TaskListView::selectionChanged})
        connect(list, signal, this, [this, list, window] {
            const QString taskId = list->selectedTaskId();
            if (!window->isActiveWindow() || !last(taskId))
                return;
            try {
                seen(*m_db, taskId);
            } catch (const std::exception&) {
                // Still unseen; asked again at the next look.
            }
        });
}

TaskListView::ResultCell LastResults::cell(const QString& taskId) const
{
    // A result kept or seen while the task runs waits for the run's end.
    const auto running = m_running.constFind(taskId);
    if (running != m_running.cend())
        return {m_runningMark, *running};
    const RunRecord* run = last(taskId);
    return run ? TaskListView::ResultCell{resultIcon(*run), resultText(*run), run->failed()}
               : TaskListView::ResultCell{};
}

void LastResults::showRunning(const QString& taskId, const QString& text)
{
    if (m_runningMark.isNull())
        m_runningMark = ThemeIcon("media-playback-start");
    m_running.insert(taskId, text);
    showCell(taskId);
}

void LastResults::runEnded(const QString& taskId)
{
    if (m_running.remove(taskId) > 0)
        showCell(taskId);
}

void LastResults::showCell(const QString& taskId)
{
    if (!m_list)
        return;
    m_list->setResult(taskId, cell(taskId));
}

void LastResults::showTrayState()
{
    if (!m_tray || !m_db)
        return;
    const QStringList failed = unseenFailures();
    const QStringList names = taskNames(failed);
    const QIcon base = ThemeIcon("folder-sync");
    m_tray->setIcon(failed.isEmpty() ? base : badged(base));
    m_tray->setToolTip(trayToolTip(names));
}

QIcon LastResults::resultIcon(const RunRecord& run)
{
    QColor colour(0x2e, 0x9d, 0x3e); // succeeded
    if (run.failed())
        colour = QColor(0xd0, 0x30, 0x30);
    else if (run.outcome == RunEnding::Stopped)
        colour = QColor(0x88, 0x88, 0x88);
    QPixmap mark(16, 16);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(3, 3, 10, 10));
    return QIcon(mark);
}

QIcon LastResults::badged(const QIcon& base)
{
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap picture = base.pixmap(size, size);
        if (picture.isNull()) {
            picture = QPixmap(size, size);
            picture.fill(Qt::transparent);
        }
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal badge = size * 0.55;
        const QRectF place(size - badge, size - badge, badge, badge);
        painter.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
        painter.setBrush(QColor(0xd0, 0x30, 0x30));
        painter.drawEllipse(place.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QPen(Qt::white, qMax(1.5, size / 10.0), Qt::SolidLine, Qt::RoundCap));
        const qreal x = place.center().x();
        painter.drawLine(QPointF(x, place.top() + badge * 0.25),
                         QPointF(x, place.top() + badge * 0.58));
        painter.drawPoint(QPointF(x, place.top() + badge * 0.76));
        result.addPixmap(picture);
    }
    return result;
}

QString LastResults::trayToolTip(const QStringList& failedTaskNames)
{
    if (failedTaskNames.isEmpty())
        return QStringLiteral("Tarnwick");
    return ShownText(kTrayFailed).arg(failedTaskNames.join(QStringLiteral(", ")));
}

QString LastResults::resultText(const RunRecord& run)
{
    switch (run.outcome) {
    case RunEnding::Succeeded:
        return ShownText(kResultOk);
    case RunEnding::WithErrors:
        return run.errors == 1 ? ShownText(kResultOneError)
                               : ShownText(kResultErrors).arg(run.errors);
    case RunEnding::Stopped:
        return ShownText(kResultStopped);
    case RunEnding::NotStarted:
        return ShownText(kResultNotStarted);
    }
    return QString();
}

} // namespace tarnwick::ui
