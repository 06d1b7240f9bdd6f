// SPDX-License-Identifier: GPL-3.0-or-later
// The real desktop behind the windows.
#include "ui/Desktop.h"

#include "platform/Clock.h"
#include "platform/SoundPlayer.h"
#include "ui/DesktopNotifications.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QUrl>

#include <exception>

namespace tarnwick::ui {

namespace {

// Titles stay empty: the application's name is the window title of a box
// without one, and no display name is appended to dialog titles.
class StandardDesktop final : public Desktop
{
public:
    void information(QWidget* parent, const QString& text) override
    {
        QMessageBox::information(parent, QStringLiteral("Tarnwick"), text);
    }
    void error(QWidget* parent, const QString& text) override
    {
        QMessageBox::critical(parent, QStringLiteral("Tarnwick"), text);
    }
    bool confirm(QWidget* parent, const QString& text) override
    {
        return QMessageBox::question(parent, QStringLiteral("Tarnwick"), text,
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Cancel) == QMessageBox::Ok;
    }
    QString saveFileName(QWidget* parent, const QString& filter,
                         const QString& defaultSuffix) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
    QString openFileName(QWidget* parent, const QString& filters,
                         const QString& selected) override
    {
        QString chosenFilter = selected;
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filters, &chosenFilter);
    }
    QString folder(QWidget* parent, const QString& prompt) override
    {
        const QString chosen = QFileDialog::getExistingDirectory(parent, prompt);
        if (chosen.isEmpty())
            return chosen;
        return chosen.endsWith(u'/') ? chosen : chosen + u'/';
    }
    std::optional<QColor> colour(QWidget* parent, const QColor& initial) override
    {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    }
    bool open(const QString& pathOrAddress) override
    {
        const QUrl url = QFileInfo::exists(pathOrAddress) ? QUrl::fromLocalFile(pathOrAddress)
                                                          : QUrl::fromUserInput(pathOrAddress);
        return QDesktopServices::openUrl(url);
    }
    QString playSound(const QString& file) override { return SoundPlayer::start(file); }
    void stopSound() override { SoundPlayer::stop(); }
    bool notify(QSystemTrayIcon* tray, const TaskNotice& notice) override
    {
        m_tray = tray;
        return notifications().show(notice) || showBalloon(notice);
    }
    void onNotificationClicked(std::function<void(const QString& taskId)> clicked) override
    {
        m_clicked = std::move(clicked);
    }
    const Clock& clock() const override { return Clock::system(); }

private:
    // Made at the first notice, so that a session that never needs one
    // never asks the bus; it ends with the application.
    DesktopNotifications& notifications()
    {
        if (!m_notifications) {
            m_notifications = new DesktopNotifications(QDBusConnection::sessionBus(),
                                                       QCoreApplication::instance());
            QObject::connect(m_notifications, &DesktopNotifications::clicked, m_notifications,
                             [this](const QString& taskId) { tellClicked(taskId); });
            QObject::connect(m_notifications, &DesktopNotifications::refused, m_notifications,
                             [this](const TaskNotice& notice) { showBalloon(notice); });
        }
        return *m_notifications;
    }
    // Where the session has no notification service: the tray's balloon,
    // which shows one notice at a time, so a click on it is about the last.
    bool showBalloon(const TaskNotice& notice)
    {
        if (!m_tray || !m_tray->isVisible() || !QSystemTrayIcon::supportsMessages())
            return false;
        if (m_balloonTray != m_tray) {
            QObject::disconnect(m_balloonClick);
            m_balloonTray = m_tray;
            m_balloonClick = QObject::connect(m_tray, &QSystemTrayIcon::messageClicked, m_tray,
                                              [this] { tellClicked(m_balloonTask); });
        }
        m_balloonTask = notice.taskId;
        m_tray->showMessage(notice.title, notice.text, QSystemTrayIcon::Warning, 10000);
        return true;
    }
    void tellClicked(const QString& taskId)
    {
        if (m_clicked && !taskId.isEmpty())
            m_clicked(taskId);
    }

    QPointer<DesktopNotifications> m_notifications;
    std::function<void(const QString& taskId)> m_clicked;
    QPointer<QSystemTrayIcon> m_tray;        // of the latest notice
    QPointer<QSystemTrayIcon> m_balloonTray; // whose balloon clicks are heard
    QMetaObject::Connection m_balloonClick;
    QString m_balloonTask;
};

} // namespace

Desktop& Desktop::standard()
{
    static StandardDesktop desktop;
    return desktop;
}

bool Guarded(Desktop& desktop, QWidget* parent, const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        desktop.error(parent, QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace tarnwick::ui
