// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's tray icon.
#include "ui/TrayIcon.h"

#include "ui/Icons.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTimer>

namespace tarnwick::ui {

namespace {

bool ModalDialogOpen()
{
    return QApplication::activeModalWidget() != nullptr;
}

} // namespace

TrayIcon::TrayIcon(QMainWindow& window, QMenu* menu) : QObject(&window), m_window(window)
{
    m_icon = new QSystemTrayIcon(ThemeIcon("folder-sync"), &window);
    m_icon->setContextMenu(menu);
    // Many desktops send only the single activation: it counts as the
    // double click that restores a minimised window.
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
                    return;
                if (!m_hiddenByUser && !ModalDialogOpen())
                    bringBack(m_window);
            });
    window.installEventFilter(this);
}

void TrayIcon::setWanted(bool wanted)
{
    m_icon->setVisible(wanted && QSystemTrayIcon::isSystemTrayAvailable());
}

bool TrayIcon::isVisible() const
{
    return m_icon->isVisible();
}

void TrayIcon::hide()
{
    m_icon->hide();
}

void TrayIcon::showWindow()
{
    if (!ModalDialogOpen()) {
        m_hiddenByUser = false;
        bringBack(m_window);
    }
}

void TrayIcon::hideWindow()
{
    if (!ModalDialogOpen()) {
        m_hiddenByUser = true;
        m_window.hide();
    }
}

void TrayIcon::bringForward()
{
    m_hiddenByUser = false;
    bringBack(m_window);
    if (QWidget* dialog = QApplication::activeModalWidget(); dialog && dialog != &m_window)
        bringBack(*dialog);
}

void TrayIcon::bringBack(QWidget& window)
{
    window.showNormal();
    window.raise();
    window.activateWindow();
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    // With the icon shown, a minimised window leaves the taskbar and is
    // reached through the icon.
    if (watched == &m_window && event->type() == QEvent::WindowStateChange &&
        m_window.isMinimized() && m_icon->isVisible())
        QTimer::singleShot(0, &m_window, [this] {
            if (m_window.isMinimized())
                m_window.hide();
        });
    return QObject::eventFilter(watched, event);
}

} // namespace tarnwick::ui
