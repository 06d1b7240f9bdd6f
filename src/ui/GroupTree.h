// SPDX-License-Identifier: GPL-3.0-or-later
// The group tree at the left of the main window: "All Tasks" at the root
// and under it a node per task group as the task database holds them, the
// node the user has chosen, and the adding, renaming and removing of groups
// through the group dialog. A change shows in the tree only once the store
// has it. Kept apart from the window so the window only hears which group
// was chosen.
#pragma once

#include "ui/Desktop.h"

#include <QString>
#include <QWidget>

#include <functional>

class QPoint;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick {
class TaskDatabase;
}

namespace tarnwick::ui {

class GroupTree : public QWidget
{
    Q_OBJECT

public:
    // `closing` tells whether the window is shutting down; a dialog that
    // closes then adds nothing.
    GroupTree(Desktop& desktop, TaskDatabase& db, std::function<bool()> closing,
              QWidget* parent = nullptr);

    // Reads the groups anew and chooses the root. Raises StoreError when
    // they cannot be read.
    void fill();
    // Chooses the node of `groupId` again when it is still there, quietly.
    void choose(const QString& groupId);
    // Removes every node (the window is closing).
    void clear();
    // The root's caption in the language chosen now.
    void retranslate();

    // The chosen node's group, the root's "AllTask" when none is chosen.
    QString selectedGroupId() const;
    // Whether a group node, not the root, is chosen.
    bool groupSelected() const;

    // Asks for a new group in the group dialog, which stores it; its node is
    // then added and chosen. False, with the error shown, when no
    // identifier could be made for it.
    bool addGroup();
    // Renames the chosen group through the group dialog.
    void renameGroup();
    // Removes the chosen group once the user confirms; its tasks keep their
    // group identifier and are then listed under the root only. True when
    // the store removed it.
    bool removeGroup();

signals:
    // The user moved to another node, or to none.
    void currentGroupChanged();
    // The user reached the node of `groupId`, by a click or the keyboard.
    void groupChosen(const QString& groupId);
    // The pop-up menu is asked for at `globalPos`.
    void menuRequested(const QPoint& globalPos);

private:
    QTreeWidgetItem* groupNode(const QString& groupId) const;
    QTreeWidgetItem* addNode(QTreeWidgetItem* root, const QString& name, const QString& groupId);
    bool guarded(const std::function<void()>& step) { return Guarded(m_desktop, window(), step); }

    Desktop& m_desktop;
    TaskDatabase& m_db;
    std::function<bool()> m_closing;
    QTreeWidget* m_tree = nullptr;
};

} // namespace tarnwick::ui
