// SPDX-License-Identifier: GPL-3.0-or-later
// One command of the main window as the user meets it in several places: a
// menu item, a pop-up menu item and a toolbar button. They are enabled and
// checked together, so the three can never disagree.
#pragma once

#include <QList>

class QAbstractButton;
class QAction;

namespace tarnwick::ui {

class Command
{
public:
    // One more place of the command.
    void add(QAction* item) { m_items.append(item); }
    void add(QAbstractButton* button) { m_buttons.append(button); }

    void setEnabled(bool on) const;
    void setChecked(bool on) const;

private:
    QList<QAction*> m_items;
    QList<QAbstractButton*> m_buttons;
};

} // namespace tarnwick::ui
