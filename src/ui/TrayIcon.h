// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's tray icon: its pop-up menu, a click on it that brings
// the window back, a minimised window that leaves the taskbar while the
// icon shows, and the menu's Show and Hide, which a later start of the
// program uses too. Kept apart from the window so the window only says
// whether the icon is wanted.
#pragma once

#include <QObject>

class QMainWindow;
class QMenu;
class QSystemTrayIcon;

namespace tarnwick::ui {

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    // The icon of `window`, with `menu` as its pop-up menu; hidden until
    // setWanted.
    TrayIcon(QMainWindow& window, QMenu* menu);

    QSystemTrayIcon* icon() const { return m_icon; }
    // Shows the icon when it is wanted and the desktop has a tray.
    void setWanted(bool wanted);
    bool isVisible() const;
    void hide();

    // The menu's Show and Hide; neither acts while a dialog is open. After
    // Hide a click on the icon leaves the window hidden until Show.
    void showWindow();
    void hideWindow();
    // A later start of the program asks for the window: it comes back as
    // Show brings it, also while a dialog is open, and then that dialog
    // comes in front of it, as the window waits on the dialog.
    void bringForward();
    // Brings `window` back from minimised or hidden, in front.
    static void bringBack(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMainWindow& m_window;
    QSystemTrayIcon* m_icon = nullptr;
    bool m_hiddenByUser = false;
};

} // namespace tarnwick::ui
