// SPDX-License-Identifier: GPL-3.0-or-later
// The group tree. Every step that reaches the store shows its error itself
// (guarded): an exception must never cross the event loop.
#include "ui/GroupTree.h"

#include "store/Identifiers.h"
#include "store/TaskList.h"
#include "store/TaskWriter.h"
#include "ui/Desktop.h"
#include "ui/Icons.h"
#include "ui/TfrmGroup.h"
#include "ui/TfrmMainTexts.h"

#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarnwick::ui {

namespace {

constexpr int kGroupIdRole = Qt::UserRole;

// A group node shows a closed folder, and an open one while selected.
QIcon GroupNodeIcon()
{
    QIcon icon;
    icon.addPixmap(ThemeIcon("folder").pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(ThemeIcon("folder-open").pixmap(16, 16), QIcon::Selected);
    return icon;
}

QString GroupIdOf(const QTreeWidgetItem* node)
{
    return node->data(0, kGroupIdRole).toString();
}

} // namespace

GroupTree::GroupTree(Desktop& desktop, TaskDatabase& db, std::function<bool()> closing,
                     QWidget* parent)
    : QWidget(parent), m_desktop(desktop), m_db(db), m_closing(std::move(closing))
{
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("treTaskGroup"));
    m_tree->setAccessibleName(QStringLiteral("Task groups"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(19);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { emit menuRequested(m_tree->viewport()->mapToGlobal(at)); });
    // A click and a keyboard move both show the tasks of the node reached.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        emit currentGroupChanged();
        if (current)
            emit groupChosen(GroupIdOf(current));
    });
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { emit groupChosen(GroupIdOf(item)); });

    setAccessibleName(QStringLiteral("Task group pane"));
    setObjectName(QStringLiteral("PanelTreeView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setMinimumWidth(10);
}

QTreeWidgetItem* GroupTree::addNode(QTreeWidgetItem* root, const QString& name,
                                    const QString& groupId)
{
    auto* node = new QTreeWidgetItem(root, {name});
    node->setData(0, kGroupIdRole, groupId);
    node->setIcon(0, GroupNodeIcon());
    return node;
}

void GroupTree::fill()
{
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {ShownText(kAllTasks)});
    root->setData(0, kGroupIdRole, QString::fromLatin1(kAllTaskGroupID));
    root->setIcon(0, ThemeIcon("folder-sync"));
    for (const TaskGroupRow& group : ReadTaskGroups(m_db))
        addNode(root, group.name, group.groupId);
    root->setExpanded(true);
    const QSignalBlocker quiet(m_tree);
    m_tree->setCurrentItem(root);
}

void GroupTree::choose(const QString& groupId)
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if (GroupIdOf(*it) == groupId) {
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(*it);
        }
    }
}

void GroupTree::clear()
{
    m_tree->clear();
}

void GroupTree::retranslate()
{
    if (QTreeWidgetItem* root = m_tree->topLevelItem(0))
        root->setText(0, ShownText(kAllTasks));
}

QString GroupTree::selectedGroupId() const
{
    const QTreeWidgetItem* current = m_tree->currentItem();
    return current ? GroupIdOf(current) : QString::fromLatin1(kAllTaskGroupID);
}

bool GroupTree::groupSelected() const
{
    const QTreeWidgetItem* current = m_tree->currentItem();
    return current && current->parent() != nullptr;
}

QTreeWidgetItem* GroupTree::groupNode(const QString& groupId) const
{
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (GroupIdOf(root->child(i)) == groupId)
            return root->child(i);
    }
    return nullptr;
}

bool GroupTree::addGroup()
{
    QString groupId;
    if (!guarded([&] { groupId = NewGroupID(m_db, m_desktop.clock()); }))
        return false;
    TfrmGroup dialog(m_desktop, m_db, window());
    dialog.setMode(TfrmGroup::Mode::NewGroup);
    dialog.setGroupId(groupId);
    // The dialog has stored the group when it closes with OK; only then
    // does the tree get its node.
    if (dialog.exec() == QDialog::Accepted && !m_closing()) {
        if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
            QTreeWidgetItem* node = addNode(root, dialog.groupName(), dialog.groupId());
            node->setExpanded(true);
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(node);
        }
    }
    return true;
}

void GroupTree::renameGroup()
{
    const QTreeWidgetItem* current = m_tree->currentItem();
    if (!current || !current->parent())
        return;
    const QString groupId = GroupIdOf(current);
    TfrmGroup dialog(m_desktop, m_db, window());
    dialog.setMode(TfrmGroup::Mode::Rename);
    dialog.setGroupName(current->text(0));
    dialog.setGroupId(groupId);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Found again: the tree may have been read anew while the dialog was open.
    if (QTreeWidgetItem* node = groupNode(groupId))
        node->setText(0, dialog.groupName());
}

bool GroupTree::removeGroup()
{
    const QTreeWidgetItem* current = m_tree->currentItem();
    if (!current || !current->parent())
        return false;
    const QString groupId = GroupIdOf(current);
    if (!m_desktop.confirm(window(), ShownText(kDeleteGroup)))
        return false;
    if (!guarded([&] { DeleteTaskGroup(m_db, groupId); }))
        return false;
    // The list keeps its rows until the tree is clicked.
    if (QTreeWidgetItem* node = groupNode(groupId)) {
        const QSignalBlocker quiet(m_tree);
        delete node;
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    }
    return true;
}

} // namespace tarnwick::ui
