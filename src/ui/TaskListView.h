// SPDX-License-Identifier: GPL-3.0-or-later
// The task list of the main window: one model of rows shown in four looks
// (large icons, small icons, a list, the detailed table) that share one
// selection, the header pictures of the last sort and the sort itself. The
// window asks it for rows and the selection and hears from it when the
// rows or the selection change; it knows nothing of runs or the database.
#pragma once

#include "store/TaskList.h"

#include <QIcon>
#include <QList>
#include <QStackedWidget>

#include <functional>
#include <utility>

class QAbstractItemView;
class QIcon;
class QItemSelectionModel;
class QListView;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

namespace tarnwick::ui {

class TaskListView : public QStackedWidget
{
    Q_OBJECT

public:
    static constexpr int kColumns = 6;
    // After the task's own columns: the result of its last run.
    static constexpr int kResultColumn = 5;

    enum class ViewStyle
    {
        LargeIcon,
        SmallIcon,
        List,
        Detailed
    };

    // The picture a header shows: none, the upward triangle (ascending) or
    // the downward one (descending).
    enum class SortMark
    {
        None,
        Up,
        Down
    };

    explicit TaskListView(QWidget* parent = nullptr);

    // A task's Last Result: its mark and text, and whether the run failed.
    // The mark is also the row's picture, so the state shows without
    // scrolling; a failed task's row is tinted as well.
    struct ResultCell
    {
        QIcon mark;
        QString text;
        bool failed = false;
    };
    using ResultOf = std::function<ResultCell(const QString& taskId)>;

    // Replaces every row, in stored order, with their last results when
    // `resultOf` is given.
    void setRows(const QList<TaskListRow>& rows, const ResultOf& resultOf = {});
    void clearRows();
    // Adds the task's row at the end, or rewrites the row it has, and
    // selects it; returns its row.
    int showRow(const TaskListRow& row);
    void removeRow(int row);
    // The last and next run cells of the task's row, if it is listed.
    void setTimes(const QString& taskId, const QString& lastRunText, const QString& nextRunText);
    // The cells the chosen language words, in the language chosen now.
    void retranslate();
    // The Last Result of the task's row: empty before the task's first run.
    void setResult(const QString& taskId, const ResultCell& result);

    int rowCount() const;
    // The selected row, -1 when none; the row of a task, -1 when not listed.
    int selectedRow() const;
    int taskRow(const QString& taskId) const;
    // Makes `row` the selected and current one.
    void selectRow(int row);
    // The selected row's task ID, "0" when no row is selected.
    QString selectedTaskId() const;
    QString cellText(int row, int column) const;
    // The detailed look's column widths, as the user left them; set, they
    // are the least widths the columns keep (each still grows to its text).
    QList<int> columnWidths() const;
    void setColumnWidths(const QList<int>& widths);

    ViewStyle viewStyle() const { return m_viewStyle; }
    void setViewStyle(ViewStyle style);
    SortMark sortMark(int column) const { return m_sortMarks.value(column, SortMark::None); }
    int sortColumn() const { return m_sortColumn; }
    // A header click: the pictures move on and the rows are sorted once.
    void sortByColumn(int column);

    // The look on screen.
    QAbstractItemView* shownView() const;

signals:
    // Rows were added, removed or changed.
    void rowsChanged();
    void selectionChanged();
    // A click, a double click, a pop-up request at a global position.
    void rowClicked();
    void rowDoubleClicked();
    void menuRequested(const QPoint& globalPosition);
    // The header of `column` was clicked.
    void headerClicked(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showResult(const QList<QStandardItem*>& cells, const ResultCell& result,
                    const QIcon& taskPicture);
    // The widths no column goes below: the first ones, or the user's.
    QList<int> m_leastWidths;
    bool m_fitting = false;
    // The picture of a task's row.
    static QIcon taskIcon();
    QList<QStandardItem*> makeRow(const TaskListRow& row, const QIcon& icon) const;
    void showSortMarks();
    // Columns as wide as their texts need, at least their first widths.
    void fitColumns();

    QStandardItemModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QTreeView* m_detailView = nullptr;
    QListView* m_iconView = nullptr;
    ViewStyle m_viewStyle = ViewStyle::Detailed;
    QList<SortMark> m_sortMarks;
    int m_sortColumn = 0;
    bool m_filling = false; // setRows is appending: columns are fitted once at its end
};

} // namespace tarnwick::ui
