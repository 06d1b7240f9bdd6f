// SPDX-License-Identifier: GPL-3.0-or-later
// Failed runs told through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Unlike a tray
// balloon it needs no tray, so a desktop without one still shows it, and a
// click on it names the task it was about. One notification per task at a
// time: the next of the same task takes the place of the one still shown.
// Nothing here waits for the service: every call is answered later, in the
// event loop. Kept apart from the desktop seam so that it is tested against
// a stand-in service on a bus of the test's own.
#pragma once

#include "ui/Desktop.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>

#include <optional>

class QDBusPendingCallWatcher;

namespace tarnwick::ui {

class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    // Talks to the service on `bus` (the session bus, or a test's own).
    explicit DesktopNotifications(const QDBusConnection& bus, QObject* parent = nullptr);

    // Whether a notification service is on the bus now.
    bool serviceAvailable() const;
    // Sends `notice` and returns at once; false, sending nothing, when no
    // service is on the bus. refused() follows when the service turns it
    // down or does not answer.
    bool show(const TaskNotice& notice);

signals:
    // The user clicked the notification of the task.
    void clicked(const QString& taskId);
    // The service did not take `notice`: nothing of it is shown.
    void refused(const TaskNotice& notice);

private slots:
    // The service's signals, as the bus delivers them.
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    // Sends what waits, once the service's capabilities are known, one
    // call at a time per task so that the next knows the id to replace.
    void sendWaiting();
    void askCapabilities();
    void send(const TaskNotice& notice);
    void answered(const TaskNotice& notice, QDBusPendingCallWatcher* call);

    QDBusConnection m_bus;
    // Whether the service reads markup in the text; unknown until asked.
    std::optional<bool> m_markup;
    bool m_asking = false;
    QHash<QString, uint> m_shown;         // task -> the service's id of its notification
    QSet<QString> m_sending;              // tasks whose send is not answered yet
    QHash<QString, TaskNotice> m_waiting; // the newest notice of a task, not sent yet
};

} // namespace tarnwick::ui
