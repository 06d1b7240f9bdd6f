// SPDX-License-Identifier: GPL-3.0-or-later
// Only the first cell of a row takes part in sorting: QStandardItemModel
// sorts by the cells of one column, so this cell looks up the texts of its
// own row for the column being sorted.
#include "ui/TaskListItem.h"

#include <QByteArray>
#include <QStandardItemModel>

namespace tarnwick::ui {

namespace {

unsigned char Folded(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

} // namespace

int TaskListItem::compareTexts(const QString& a, const QString& b)
{
    const QByteArray left = a.toUtf8();
    const QByteArray right = b.toUtf8();
    const qsizetype common = qMin(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const int difference = int{Folded(left.at(i))} - int{Folded(right.at(i))};
        if (difference != 0)
            return difference;
    }
    return left.size() < right.size() ? -1 : (left.size() > right.size() ? 1 : 0);
}

QStandardItem* TaskListItem::clone() const
{
    return new TaskListItem(*this);
}

QString TaskListItem::rowText(int column) const
{
    if (column == 0 || !model())
        return text();
    const QStandardItem* cell = model()->item(row(), column);
    return cell ? cell->text() : QString();
}

bool TaskListItem::operator<(const QStandardItem& other) const
{
    const auto* that = dynamic_cast<const TaskListItem*>(&other);
    if (!that)
        return QStandardItem::operator<(other);
    const int column = model() ? model()->property(kSortColumnProperty).toInt() : 0;
    int order = compareTexts(rowText(column), that->rowText(column));
    if (order == 0 && column == kSourceColumn)
        order = compareTexts(rowText(kTargetColumn), that->rowText(kTargetColumn));
    return order < 0;
}

} // namespace tarnwick::ui
