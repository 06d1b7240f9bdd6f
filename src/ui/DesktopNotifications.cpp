// SPDX-License-Identifier: GPL-3.0-or-later
// The notification service's side of the desktop.
#include "ui/DesktopNotifications.h"

#include "BuildInfo.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace tarnwick::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = kService;
// The action a click on the notification itself gives.
const QString kDefaultAction = QStringLiteral("default");
// A service that has not answered by then is taken as absent: the tray's
// balloon shows the notice instead.
constexpr int kAnswerLimitMs = 5000;
// "Normal": a failed run matters, yet needs no answer, so the notification
// may time out as the desktop decides.
constexpr uchar kNormalUrgency = 1;

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
    // A service that starts anew knows none of the ids: one of them may
    // soon name another program's notification.
    auto* watcher =
        new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        m_shown.clear();
        m_markup.reset();
    });
}

bool DesktopNotifications::serviceAvailable() const
{
    const QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    return bus && bus->isServiceRegistered(kService).value();
}

bool DesktopNotifications::show(const TaskNotice& notice)
{
    if (!serviceAvailable())
        return false;
    m_waiting.insert(notice.taskId, notice);
    sendWaiting();
    return true;
}

void DesktopNotifications::sendWaiting()
{
    if (!m_markup) {
        askCapabilities();
        return;
    }
    const QStringList tasks = m_waiting.keys();
    for (const QString& taskId : tasks) {
        if (!m_sending.contains(taskId))
            send(m_waiting.take(taskId));
    }
}

void DesktopNotifications::askCapabilities()
{
    if (m_asking)
        return;
    m_asking = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                             QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kAnswerLimitMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
            answer->deleteLater();
            const QDBusPendingReply<QStringList> reply = *answer;
            m_asking = false;
            // Without an answer the text goes as it is; the Notify
            // call tells whether the service is there at all.
            m_markup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
            sendWaiting();
        });
}

void DesktopNotifications::send(const TaskNotice& notice)
{
    m_sending.insert(notice.taskId);
    // The text names files and folders: with markup on, a "<" or "&" in
    // them would be read as markup and garble or drop the text.
    const QString body = *m_markup ? notice.text.toHtmlEscaped() : notice.text;
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopId)},
        {QStringLiteral("urgency"), QVariant::fromValue(kNormalUrgency)},
        {QStringLiteral("category"), QStringLiteral("transfer.error")},
    };
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QString::fromLatin1(kApplicationName) << m_shown.value(notice.taskId, 0u)
         << QStringLiteral("tarnwick") << notice.title << body
         << QStringList{kDefaultAction, notice.action} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kAnswerLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notice](QDBusPendingCallWatcher* answer) { answered(notice, answer); });
}

void DesktopNotifications::answered(const TaskNotice& notice, QDBusPendingCallWatcher* answer)
{
    answer->deleteLater();
    m_sending.remove(notice.taskId);
    const QDBusPendingReply<uint> reply = *answer;
    if (reply.isError()) {
        m_shown.remove(notice.taskId);
        emit refused(notice);
    } else {
        m_shown.insert(notice.taskId, reply.value());
    }
    sendWaiting();
}

void DesktopNotifications::actionInvoked(uint id, const QString& actionKey)
{
    // Every program's notifications come by here: only ours count.
    if (actionKey != kDefaultAction)
        return;
    if (const QString taskId = m_shown.key(id); !taskId.isEmpty())
        emit clicked(taskId);
}

void DesktopNotifications::notificationClosed(uint id, uint /*reason*/)
{
    if (const QString taskId = m_shown.key(id); !taskId.isEmpty())
        m_shown.remove(taskId);
}

} // namespace tarnwick::ui
