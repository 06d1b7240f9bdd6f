// SPDX-License-Identifier: GPL-3.0-or-later
// Captions and hints set by the kind of control they land on.
#include "ui/Captions.h"

#include "ui/Hints.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

namespace tarnwick::ui {

void SetCaption(QObject* control, const QString& caption)
{
    control->setProperty(kBuiltInCaption, caption);
    ShowCaption(control, caption);
}

void ShowCaption(QObject* control, const QString& caption)
{
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(caption);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(caption);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(caption);
    else if (auto* widget = qobject_cast<QWidget*>(control)) {
        widget->setWindowTitle(caption);
        // A page of a tab widget: its stack's parent shows the title on a tab.
        QWidget* stack = widget->parentWidget();
        if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr) {
            if (const int index = tabs->indexOf(widget); index >= 0)
                tabs->setTabText(index, caption);
        }
    }
}

void SetHint(QObject* control, const QString& hint)
{
    if (hint.isEmpty())
        return;
    control->setProperty(kBuiltInHint, hint);
    ShowHint(control, hint);
}

void ShowHint(QObject* control, const QString& hint)
{
    if (auto* action = qobject_cast<QAction*>(control)) {
        action->setToolTip(ShortHint(hint));
        action->setStatusTip(LongHint(hint));
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
        widget->setToolTip(ShortHint(hint));
        widget->setStatusTip(LongHint(hint));
    }
}

QWidget* UnseenHolder(QWidget* window)
{
    auto* holder = new QWidget(window, Qt::Window);
    holder->setObjectName(QStringLiteral("unseen"));
    return holder;
}

QPushButton* PlainButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = Captioned(new QPushButton(parent), name, caption);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace tarnwick::ui
