// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmHistory.h"

#include "store/DateTexts.h"
#include "ui/Captions.h"
#include "ui/LastResults.h"
#include "ui/RunChart.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarnwick::ui {

namespace {

constexpr LanguageRow kLanguageRows[] = {
    {"frmHistory", "Title", ""},
    {"frmHistory", "lblRuns.Caption", "lblRuns"},
    {"frmHistory", "lblChart.Caption", "lblChart"},
    {"frmHistory", "Column1.Caption", "grdRuns", 0},
    {"frmHistory", "Column2.Caption", "grdRuns", 1},
    {"frmHistory", "Column3.Caption", "grdRuns", 2},
    {"frmHistory", "Column4.Caption", "grdRuns", 3},
    {"frmHistory", "Column5.Caption", "grdRuns", 4},
    {"frmHistory", "Column6.Caption", "grdRuns", 5},
    {"frmHistory", "Column7.Caption", "grdRuns", 6},
    {"frmHistory", "RunChart.AccessibleName", "RunChart", kAccessibleName},
    {"frmHistory", "grdRuns.AccessibleName", "grdRuns", kAccessibleName},
};

constexpr UiText kSeconds{"DurationSeconds", "%1 s"};

QTableWidgetItem* Cell(const QString& text, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setToolTip(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

TfrmHistory::TfrmHistory(const QString& taskName, const QList<RunRecord>& runs, QWidget* parent)
    : QDialog(parent)
{
    Captioned(this, "frmHistory", "Run History");
    setWindowTitle(windowTitle() + QStringLiteral(" - ") + taskName);
    resize(720, 420);
    auto* layout = new QVBoxLayout(this);

    auto* runsLabel = Captioned(new QLabel(this), "lblRuns", "&Runs:");
    m_runs = Named(new QTableWidget(static_cast<int>(runs.size()), 7, this), "grdRuns");
    m_runs->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("Duration"),
                                       QStringLiteral("Result"), QStringLiteral("Copied Files"),
                                       QStringLiteral("Copied Bytes"), QStringLiteral("Skipped"),
                                       QStringLiteral("First Error")});
    m_runs->setAccessibleName(QStringLiteral("Runs"));
    m_runs->verticalHeader()->hide();
    m_runs->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_runs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_runs->setTabKeyNavigation(false);
    // One line a run; a long first error is cut and whole in its tooltip.
    m_runs->setWordWrap(false);
    m_runs->horizontalHeader()->setStretchLastSection(true);
    runsLabel->setBuddy(m_runs);
    for (int row = 0; row < runs.size(); ++row) {
        const RunRecord& run = runs.at(row);
        auto* result = Cell(LastResults::resultText(run));
        result->setIcon(LastResults::resultIcon(run));
        m_runs->setItem(row, 0, Cell(DateTimeText(run.start)));
        m_runs->setItem(row, 1, Cell(ShownText(kSeconds).arg(run.start.secsTo(run.end)), true));
        m_runs->setItem(row, 2, result);
        m_runs->setItem(row, 3, Cell(QString::number(run.copiedFiles), true));
        m_runs->setItem(row, 4, Cell(QString::number(run.copiedBytes), true));
        m_runs->setItem(row, 5, Cell(QString::number(run.skippedFiles), true));
        m_runs->setItem(row, 6, Cell(run.firstError));
    }
    m_runs->resizeColumnsToContents();

    auto* chartLabel = Captioned(new QLabel(this), "lblChart", "&Bytes copied and duration:");
    m_chart = new RunChart(this);
    m_chart->setRuns(runs);
    m_chart->setFocusPolicy(Qt::StrongFocus);
    chartLabel->setBuddy(m_chart);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("btnsHistory"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    layout->addWidget(runsLabel);
    layout->addWidget(m_runs, 3);
    layout->addWidget(chartLabel);
    layout->addWidget(m_chart, 2);
    layout->addWidget(buttons);
    setTabOrder(m_runs, m_chart);
    setTabOrder(m_chart, buttons);
}

void TfrmHistory::showEvent(QShowEvent* event)
{
    const QString title = windowTitle();
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    // Headers as wide as their text in this language.
    m_runs->resizeColumnsToContents();
    // The task's name stays after the translated title.
    if (const qsizetype at = title.indexOf(QStringLiteral(" - ")); at >= 0)
        setWindowTitle(windowTitle() + title.mid(at));
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmHistory::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
