// SPDX-License-Identifier: GPL-3.0-or-later
// Task list. The detailed table and the icon view show one model through
// one selection model, so a change of look keeps the selected row.
#include "ui/TaskListView.h"

#include "store/TaskList.h"
#include "ui/Captions.h"
#include "ui/Icons.h"
#include "ui/TaskListItem.h"

#include <QApplication>
#include <QBrush>
#include <QKeyEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QStandardItemModel>
#include <QTreeView>

#include <algorithm>
#include <iterator>

namespace tarnwick::ui {

namespace {

constexpr int kTaskIdRole = TaskListItem::kTaskIdRole;
// The Next Run Time cell's text as the store gave it, before translation.
constexpr int kStoredTextRole = Qt::UserRole + 7;

constexpr UiText kManually{"NextRunManually", "Manually"};
constexpr UiText kOnChange{"NextRunOnChange", "On Source Folder(s) Contents Change"};

// The Next Run Time of a task that has none: its start mode, in the chosen
// language; a time as it is.
QString ShownRunTime(const QString& text)
{
    if (text == QLatin1StringView(kManuallyText))
        return ShownText(kManually);
    if (text == QLatin1StringView(kOnChangeText))
        return ShownText(kOnChange);
    return text;
}
// The first widths; a column never gets narrower than these.
constexpr int kMinimumWidths[TaskListView::kColumns] = {100, 110, 110, 80, 200, 130};

} // namespace

TaskListView::TaskListView(QWidget* parent) : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("lvwTaskViews"));
    setAccessibleName(QStringLiteral("Task views"));
    m_model = new QStandardItemModel(0, kColumns, this);
    m_model->setObjectName(QStringLiteral("lvwTaskModel"));
    m_model->setItemPrototype(new TaskListItem);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Task Name"),
                                        QStringLiteral("Last Run Time"),
                                        QStringLiteral("Next Run Time"),
                                        QStringLiteral("Source"), QStringLiteral("Target"),
                                        QStringLiteral("Last Result")});
    // The name header starts with the upward triangle although the rows are
    // in stored order, so the first click on it sorts descending.
    m_sortMarks = QList<SortMark>(kColumns, SortMark::None);
    m_sortMarks[0] = SortMark::Up;
    showSortMarks();

    m_detailView = new QTreeView;
    m_detailView->setModel(m_model);
    m_detailView->setRootIsDecorated(false);
    m_detailView->setItemsExpandable(false);
    m_detailView->setUniformRowHeights(true);
    m_detailView->setAllColumnsShowFocus(true);
    m_detailView->setSortingEnabled(false);
    m_detailView->header()->setSectionsClickable(true);
    m_detailView->header()->setSortIndicatorShown(false);
    m_detailView->header()->setSectionsMovable(false);
    // Columns grow to their texts (dates with their times), never below
    // their first widths; the last one takes the rest.
    m_detailView->header()->setStretchLastSection(true);
    m_leastWidths = QList<int>(std::begin(kMinimumWidths), std::end(kMinimumWidths));
    for (int column = 0; column < kColumns; ++column)
        m_detailView->setColumnWidth(column, kMinimumWidths[column]);
    // A column the user widens or narrows stays so, down to its text.
    connect(m_detailView->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!m_fitting && column + 1 < kColumns && isVisible())
                    m_leastWidths[column] = width;
            });
    connect(m_detailView->header(), &QHeaderView::sectionClicked, this,
            &TaskListView::headerClicked);

    m_iconView = new QListView;
    m_iconView->setModel(m_model);
    m_iconView->setModelColumn(0);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setWrapping(true);
    m_iconView->setUniformItemSizes(true);

    // One selection for every look, so changing the look keeps it.
    m_selection = new QItemSelectionModel(m_model, this);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_detailView),
                                    static_cast<QAbstractItemView*>(m_iconView)}) {
        QItemSelectionModel* own = view->selectionModel();
        view->setSelectionModel(m_selection);
        delete own;
        view->setAccessibleName(QStringLiteral("Tasks"));
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            emit menuRequested(view->viewport()->mapToGlobal(at));
        });
        connect(view, &QAbstractItemView::clicked, this, &TaskListView::rowClicked);
        connect(view, &QAbstractItemView::doubleClicked, this, &TaskListView::rowDoubleClicked);
        view->installEventFilter(this);
    }
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TaskListView::selectionChanged);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, [this] {
            if (m_filling)
                return;
            fitColumns();
            emit rowsChanged();
        });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        fitColumns();
        emit rowsChanged();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TaskListView::fitColumns);

    addWidget(m_detailView);
    addWidget(m_iconView);
    setViewStyle(ViewStyle::Detailed);
}

QIcon TaskListView::taskIcon()
{
    return ThemeIcon("folder-sync");
}

QList<QStandardItem*> TaskListView::makeRow(const TaskListRow& row, const QIcon& icon) const
{
    auto* name = new TaskListItem(icon, row.taskName);
    name->setData(row.taskId, kTaskIdRole);
    QList<QStandardItem*> cells{name};
    for (const QString& text :
         {row.lastRunText, ShownRunTime(row.nextRunText), row.sourceText, row.targetDir, QString()})
        cells.append(new QStandardItem(text));
    for (QStandardItem* cell : cells) {
        cell->setEditable(false);
        cell->setToolTip(cell->text()); // the whole text where the column cuts it
    }
    cells[2]->setData(row.nextRunText, kStoredTextRole);
    return cells;
}

void TaskListView::setRows(const QList<TaskListRow>& rows, const ResultOf& resultOf)
{
    clearRows();
    // Fitting the columns measures the text of every row; done after each
    // appended row it made filling a list of a thousand tasks take seconds.
    // The columns are fitted, and the change told, once the list is full.
    // One picture shared by every row: each making of it reads and parses
    // the drawing anew.
    const QIcon icon = taskIcon();
    m_filling = true;
    for (const TaskListRow& row : rows) {
        QList<QStandardItem*> cells = makeRow(row, icon);
        // Set before the row goes in: no change to tell, nothing to refit.
        if (resultOf)
            showResult(cells, resultOf(row.taskId), icon);
        m_model->appendRow(cells);
    }
    m_filling = false;
    fitColumns();
    emit rowsChanged();
}

void TaskListView::clearRows()
{
    m_model->removeRows(0, m_model->rowCount());
}

int TaskListView::showRow(const TaskListRow& row)
{
    int at = taskRow(row.taskId);
    if (at < 0) {
        // Appended, whatever order a header click gave the list.
        m_model->appendRow(makeRow(row, taskIcon()));
        at = m_model->rowCount() - 1;
    } else {
        // The task's own cells; its last result stays as it was.
        const QList<QStandardItem*> cells = makeRow(row, QIcon());
        for (int column = 0; column < kResultColumn; ++column) {
            m_model->item(at, column)->setText(cells.at(column)->text());
            m_model->item(at, column)->setToolTip(cells.at(column)->text());
        }
        m_model->item(at, 2)->setData(row.nextRunText, kStoredTextRole);
        qDeleteAll(cells);
    }
    selectRow(at);
    emit rowsChanged();
    return at;
}

void TaskListView::selectRow(int row)
{
    m_selection->setCurrentIndex(m_model->index(row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TaskListView::removeRow(int row)
{
    m_model->removeRow(row);
}

void TaskListView::setTimes(const QString& taskId, const QString& lastRunText,
                            const QString& nextRunText)
{
    const int row = taskRow(taskId);
    if (row < 0)
        return;
    for (const auto& [column, text] :
         {std::pair{1, lastRunText}, std::pair{2, ShownRunTime(nextRunText)}}) {
        m_model->item(row, column)->setText(text);
        m_model->item(row, column)->setToolTip(text);
    }
    m_model->item(row, 2)->setData(nextRunText, kStoredTextRole);
}

void TaskListView::retranslate()
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStandardItem* cell = m_model->item(row, 2);
        const QString shown = ShownRunTime(cell->data(kStoredTextRole).toString());
        cell->setText(shown);
        cell->setToolTip(shown);
    }
}

void TaskListView::setResult(const QString& taskId, const ResultCell& result)
{
    const int row = taskRow(taskId);
    if (row < 0)
        return;
    QList<QStandardItem*> cells;
    for (int column = 0; column < kColumns; ++column)
        cells.append(m_model->item(row, column));
    showResult(cells, result, taskIcon());
}

void TaskListView::showResult(const QList<QStandardItem*>& cells, const ResultCell& result,
                              const QIcon& taskPicture)
{
    QStandardItem* cell = cells.at(kResultColumn);
    cell->setIcon(result.mark);
    cell->setText(result.text);
    cell->setToolTip(result.text);
    QStandardItem* name = cells.at(0);
    name->setIcon(result.mark.isNull() ? taskPicture : result.mark);
    // Read out with the name, as the tint is only seen.
    name->setData(result.text.isEmpty() ? QVariant() : QVariant(result.text),
                  Qt::AccessibleDescriptionRole);
    const QVariant tint = result.failed ? QVariant(QBrush(QColor(0xd0, 0x30, 0x30, 40)))
                                        : QVariant();
    for (QStandardItem* each : cells)
        each->setData(tint, Qt::BackgroundRole);
}

int TaskListView::rowCount() const
{
    return m_model->rowCount();
}

int TaskListView::selectedRow() const
{
    const QModelIndexList picked = m_selection->selectedIndexes();
    return picked.isEmpty() ? -1 : picked.first().row();
}

int TaskListView::taskRow(const QString& taskId) const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->item(row, 0)->data(kTaskIdRole).toString() == taskId)
            return row;
    }
    return -1;
}

QString TaskListView::selectedTaskId() const
{
    const int row = selectedRow();
    return row < 0 ? QStringLiteral("0") : m_model->item(row, 0)->data(kTaskIdRole).toString();
}

QString TaskListView::cellText(int row, int column) const
{
    const QStandardItem* cell = m_model->item(row, column);
    return cell ? cell->text() : QString();
}

void TaskListView::fitColumns()
{
    m_fitting = true;
    for (int column = 0; column + 1 < kColumns; ++column) {
        m_detailView->resizeColumnToContents(column);
        m_detailView->setColumnWidth(
            column, qMax(m_leastWidths.at(column), m_detailView->columnWidth(column)));
    }
    m_fitting = false;
}

bool TaskListView::eventFilter(QObject* watched, QEvent* event)
{
    // With no row chosen, the first arrow key chooses the row the focus
    // marks (the first when none is marked) instead of moving past it: the
    // chosen row is the one Enter and the commands act on.
    if (event->type() == QEvent::KeyPress && !m_selection->hasSelection() &&
        m_model->rowCount() > 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            const QModelIndex current = m_selection->currentIndex();
            selectRow(current.isValid() ? current.row() : 0);
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

QList<int> TaskListView::columnWidths() const
{
    return m_leastWidths;
}

void TaskListView::setColumnWidths(const QList<int>& widths)
{
    for (int column = 0; column + 1 < kColumns && column < widths.size(); ++column)
        m_leastWidths[column] = std::max(widths.at(column), 20);
    fitColumns();
}

void TaskListView::showSortMarks()
{
    for (int column = 0; column < kColumns; ++column) {
        const SortMark mark = m_sortMarks.value(column);
        QIcon picture;
        QString description;
        if (mark == SortMark::Up) {
            picture = OwnIcon("view-sort-ascending");
            description = QStringLiteral("sorted ascending");
        } else if (mark == SortMark::Down) {
            picture = OwnIcon("view-sort-descending");
            description = QStringLiteral("sorted descending");
        }
        m_model->setHeaderData(column, Qt::Horizontal, picture, Qt::DecorationRole);
        m_model->setHeaderData(column, Qt::Horizontal, description,
                               Qt::AccessibleDescriptionRole);
    }
}

void TaskListView::sortByColumn(int column)
{
    if (column < 0 || column >= kColumns)
        return;
    for (int other = 0; other < kColumns; ++other) {
        if (other == column)
            m_sortMarks[other] = m_sortMarks.at(other) == SortMark::Up ? SortMark::Down
                                                                       : SortMark::Up;
        else
            m_sortMarks[other] = SortMark::None;
    }
    showSortMarks();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_sortColumn = column;
    // A single sort: rows added later are appended, a refill brings back
    // the stored order.
    m_model->setProperty(TaskListItem::kSortColumnProperty, column);
    m_model->sort(0, m_sortMarks.at(column) == SortMark::Up ? Qt::AscendingOrder
                                                            : Qt::DescendingOrder);
    QApplication::restoreOverrideCursor();
}

QAbstractItemView* TaskListView::shownView() const
{
    return qobject_cast<QAbstractItemView*>(currentWidget());
}

void TaskListView::setViewStyle(ViewStyle style)
{
    m_viewStyle = style;
    QAbstractItemView* shown = m_detailView;
    if (style != ViewStyle::Detailed) {
        shown = m_iconView;
        const bool large = style == ViewStyle::LargeIcon;
        m_iconView->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        // Icon mode lets items be dragged about; the list keeps its order.
        m_iconView->setMovement(QListView::Static);
        m_iconView->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        m_iconView->setFlow(style == ViewStyle::List ? QListView::TopToBottom
                                                     : QListView::LeftToRight);
        m_iconView->setWrapping(true);
        m_iconView->setWordWrap(large);
        m_iconView->setGridSize(large ? QSize(96, 64) : QSize());
        m_iconView->setSpacing(large ? 0 : 2);
    }
    QAbstractItemView* hidden = shown == m_detailView ? static_cast<QAbstractItemView*>(m_iconView)
                                                      : static_cast<QAbstractItemView*>(m_detailView);
    // The name belongs to the look on screen.
    const bool hadFocus = hidden->hasFocus();
    hidden->setObjectName(hidden == m_detailView ? QStringLiteral("lvwTaskReport")
                                                 : QStringLiteral("lvwTaskIcons"));
    shown->setObjectName(QStringLiteral("lvwTask"));
    setCurrentWidget(shown);
    if (hadFocus)
        shown->setFocus();
    if (m_selection->currentIndex().isValid())
        shown->scrollTo(m_selection->currentIndex());
}

} // namespace tarnwick::ui
