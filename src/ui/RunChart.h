// SPDX-License-Identifier: GPL-3.0-or-later
// A small chart of a task's kept runs, oldest on the left: a bar for the
// bytes each run copied and a line for how long it took, each scaled to its
// own largest value, with that value written at the top. Painted with
// QPainter: the history window needs nothing heavier.
#pragma once

#include "store/RunHistory.h"

#include <QList>
#include <QWidget>

namespace tarnwick::ui {

class RunChart : public QWidget
{
    Q_OBJECT

public:
    explicit RunChart(QWidget* parent = nullptr);

    // `runs` newest first, as the history gives them.
    void setRuns(const QList<RunRecord>& runs);

    QSize sizeHint() const override { return {480, 140}; }
    QSize minimumSizeHint() const override { return {160, 80}; }

    // "12.5 MB", "820 B": the scale's label.
    static QString bytesText(quint64 bytes);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<RunRecord> m_runs; // oldest first
};

} // namespace tarnwick::ui
