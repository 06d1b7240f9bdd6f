// SPDX-License-Identifier: GPL-3.0-or-later
// Batched list model.
#include "ui/PathListModel.h"

namespace tarnwick::ui {

int PathListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_texts.size());
}

QVariant PathListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_texts.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_texts.at(index.row());
    return QVariant();
}

void PathListModel::append(const QStringList& texts)
{
    if (texts.isEmpty())
        return;
    const int first = int(m_texts.size());
    beginInsertRows(QModelIndex(), first, first + int(texts.size()) - 1);
    m_texts.append(texts);
    endInsertRows();
}

void PathListModel::clear()
{
    beginResetModel();
    m_texts.clear();
    endResetModel();
}

} // namespace tarnwick::ui
