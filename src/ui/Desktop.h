// SPDX-License-Identifier: GPL-3.0-or-later
// What the windows ask of the desktop: message boxes, the save dialog, the
// shell's opening of folders and addresses, notifications, and the clock.
// The windows reach them only through here, so tests replace them with
// answers of their own instead of waiting for a person to click.
#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <optional>

class QSystemTrayIcon;
class QWidget;

namespace tarnwick {

class Clock;

namespace ui {

// A desktop notification about one task. While one of a task is still
// shown, the next of the same task takes its place instead of stacking.
struct TaskNotice
{
    QString taskId;
    QString title;
    QString text;
    // The words of the click that opens the window on the task.
    QString action;
};

class Desktop
{
public:
    virtual ~Desktop() = default;

    // A plain message box with an OK button; returns when it was closed.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // An error box with the error's own text.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A confirmation with OK and Cancel: true for OK.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // The save dialog; empty when cancelled. `filter` in Qt's form.
    virtual QString saveFileName(QWidget* parent, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    // The open dialog for an existing file, `filters` in Qt's form
    // ("Sound file (*.wav);;All files (*)") with `selected` chosen; empty
    // when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& filters,
                                 const QString& selected) = 0;
    // The folder picker with `prompt`, no folder preset. The chosen folder's
    // path ends in "/"; empty when cancelled.
    virtual QString folder(QWidget* parent, const QString& prompt) = 0;
    // The colour picker starting at `initial`; nothing when cancelled.
    virtual std::optional<QColor> colour(QWidget* parent, const QColor& initial) = 0;
    // Hands a folder, file or address to the desktop to open with its
    // default handler. False when nothing could take it.
    virtual bool open(const QString& pathOrAddress) = 0;
    // Starts playing a sound file and returns at once: empty, or why it
    // cannot be played. stopSound() ends what is playing.
    virtual QString playSound(const QString& file) = 0;
    virtual void stopSound() = 0;
    // Shows `notice` through the desktop's notification service, which
    // needs no tray; where the session has none, or it refuses, as the
    // balloon of `tray`. False, showing nothing, when neither is there.
    virtual bool notify(QSystemTrayIcon* tray, const TaskNotice& notice) = 0;
    // Who is told the task of a notification the user clicked: one
    // listener, a later call replaces it.
    virtual void onNotificationClicked(std::function<void(const QString& taskId)> clicked) = 0;
    virtual const Clock& clock() const = 0;

    // The real desktop: Qt's boxes and dialogs, QDesktopServices, the
    // sound player, the system clock.
    static Desktop& standard();
};

// Runs `step`; an exception it raises is shown once, its own text in an
// error box over `parent`. True when the step ran through. The windows'
// slots reach the store and the settings through here: an exception must
// never cross the event loop.
bool Guarded(Desktop& desktop, QWidget* parent, const std::function<void()>& step);

} // namespace ui
} // namespace tarnwick
