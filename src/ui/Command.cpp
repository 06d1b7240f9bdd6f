// SPDX-License-Identifier: GPL-3.0-or-later
// A command's places, switched together.
#include "ui/Command.h"

#include <QAbstractButton>
#include <QAction>

namespace tarnwick::ui {

void Command::setEnabled(bool on) const
{
    for (QAction* item : m_items)
        item->setEnabled(on);
    for (QAbstractButton* button : m_buttons)
        button->setEnabled(on);
}

void Command::setChecked(bool on) const
{
    for (QAction* item : m_items)
        item->setChecked(on);
}

} // namespace tarnwick::ui
