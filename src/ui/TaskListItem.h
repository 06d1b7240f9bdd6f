// SPDX-License-Identifier: GPL-3.0-or-later
// The cell of the task list's first column, which carries the task's
// identifier and decides the list's order when a header is clicked. The
// order is the one users of earlier versions know: only a to z fold to
// upper case, everything else compares by its byte, so an underscore sorts
// after every letter and dates sort as the texts shown.
#pragma once

#include <QStandardItem>

namespace tarnwick::ui {

class TaskListItem : public QStandardItem
{
public:
    static constexpr int kTaskIdRole = Qt::UserRole;
    // The model's property that names the column being sorted; the model
    // sorts its first column, whose cells then compare that column's texts.
    static constexpr char kSortColumnProperty[] = "taskSortColumn";
    static constexpr int kSourceColumn = 3;
    static constexpr int kTargetColumn = 4;

    using QStandardItem::QStandardItem;

    // Below zero, zero or above zero as `a` sorts before, with or after `b`:
    // the UTF-8 bytes compared one by one, a to z taken as A to Z; a text
    // that is the start of the other comes first.
    static int compareTexts(const QString& a, const QString& b);

    QStandardItem* clone() const override;
    // Compares the rows of the two cells by the model's sort column;
    // rows with equal Source texts by their Target texts.
    bool operator<(const QStandardItem& other) const override;

private:
    QString rowText(int column) const;
};

} // namespace tarnwick::ui
