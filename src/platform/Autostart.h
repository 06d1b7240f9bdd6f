// SPDX-License-Identifier: GPL-3.0-or-later
// Starting the window at login through the desktop's autostart folder
// (XDG Autostart): the entry $XDG_CONFIG_HOME/autostart/tarnwick.desktop
// (~/.config/autostart/ when XDG_CONFIG_HOME is unset or relative), which
// starts the window minimised. The Options dialog turns it on and off.
#pragma once

#include <QString>

namespace tarnwick {

class Autostart
{
public:
    // `windowProgram`: the window's executable the entry starts. The
    // default is `tarnwick` beside the running executable: the window and
    // tarnwick-cli lie in the same folder in every layout.
    explicit Autostart(QString windowProgram = defaultWindowProgram());

    static QString defaultWindowProgram();

    // The entry's path under the current environment; empty when there is
    // no home folder to find the config folder in.
    static QString filePath();

    // Whether the desktop starts Tarnwick at login: an entry of that name
    // is there, whoever wrote it, and does not switch itself off
    // (Hidden=true, X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    // Writes our entry, replacing whatever entry of that name was there,
    // as one atomic step: the desktop never reads half an entry. False
    // with `error` saying why when it could not.
    bool enable(QString* error) const;

    // Removes the entry when it is ours (enable() marks it). True when
    // nothing starts Tarnwick at login any more: the entry was removed, or
    // none was there. An entry of the same name that someone else wrote is
    // left as it is; when it is switched on the answer is false with
    // `error` saying so, since Tarnwick would still start.
    bool disable(QString* error) const;

    // The Exec value that starts `windowProgram` minimised, quoted and
    // escaped as the Desktop Entry rules ask. A TARNWICK_HOME in force is
    // passed on, so that the window started at login uses the same task
    // database as the one that set the entry up. Empty when the path
    // cannot be written into a desktop entry (not valid UTF-8).
    QString execValue() const;

private:
    QString m_windowProgram;
};

} // namespace tarnwick
