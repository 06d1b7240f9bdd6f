// SPDX-License-Identifier: GPL-3.0-or-later
// A list of texts that only grows, in batches: the filter test appends tens
// of thousands of paths, and one insertion per batch keeps the view fast
// where a row-by-row model would redraw at every path.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace tarnwick::ui {

class PathListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QStringList& texts);
    void clear();
    const QStringList& texts() const { return m_texts; }

private:
    QStringList m_texts;
};

} // namespace tarnwick::ui
