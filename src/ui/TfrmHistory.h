// SPDX-License-Identifier: GPL-3.0-or-later
// The kept runs of one task: a table of every run (start, duration,
// result, files and bytes copied, files skipped, first error), newest
// first, and a chart of bytes copied and duration per run. Opened from the
// task's pop-up menu; it only shows what it was given.
#pragma once

#include "store/RunHistory.h"
#include "ui/Language.h"

#include <QDialog>
#include <QList>

#include <span>

class QTableWidget;

namespace tarnwick::ui {

class RunChart;

class TfrmHistory : public QDialog
{
    Q_OBJECT

public:
    TfrmHistory(const QString& taskName, const QList<RunRecord>& runs, QWidget* parent = nullptr);

    // Where the entries of a language file go in this window.
    static std::span<const LanguageRow> languageRows();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTableWidget* m_runs = nullptr;
    RunChart* m_chart = nullptr;
};

} // namespace tarnwick::ui
