// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RunChart.h"

#include "ui/Captions.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tarnwick::ui {

namespace {

constexpr UiText kNoRuns{"NoRunsKept", "No runs kept"};
constexpr UiText kRunsDescription{"RunsDescription", "%1 runs, the newest copied %2 in %3 s"};

} // namespace

RunChart::RunChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RunChart"));
    setAccessibleName(QStringLiteral("Bytes copied and duration per run"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void RunChart::setRuns(const QList<RunRecord>& runs)
{
    m_runs = runs;
    std::reverse(m_runs.begin(), m_runs.end());
    setAccessibleDescription(
        runs.isEmpty() ? ShownText(kNoRuns)
                       : ShownText(kRunsDescription)
                             .arg(runs.size())
                             .arg(bytesText(runs.first().copiedBytes))
                             .arg(runs.first().start.secsTo(runs.first().end)));
    update();
}

QString RunChart::bytesText(quint64 bytes)
{
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    return unit == 0 ? QStringLiteral("%1 B").arg(bytes)
                     : QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1StringView(units[unit]));
}

void RunChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette colours = palette();
    painter.fillRect(rect(), colours.base());
    const QFontMetrics metrics(font());
    const int top = metrics.height() + 4;
    const QRectF area(4, top, width() - 8, height() - top - 4);
    if (m_runs.isEmpty() || area.width() < 10 || area.height() < 10) {
        painter.setPen(colours.color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, ShownText(kNoRuns));
        return;
    }
    quint64 mostBytes = 1;
    qint64 longest = 1;
    for (const RunRecord& run : m_runs) {
        mostBytes = std::max(mostBytes, run.copiedBytes);
        longest = std::max(longest, run.start.secsTo(run.end));
    }
    const QColor bytesColour(0x3a, 0x7b, 0xd5);
    const QColor timeColour(0xe0, 0x7b, 0x1a);
    const qreal slot = area.width() / m_runs.size();
    QPainterPath durations;
    for (int i = 0; i < m_runs.size(); ++i) {
        const RunRecord& run = m_runs.at(i);
        const qreal barHeight = area.height() * static_cast<qreal>(run.copiedBytes) / mostBytes;
        const QRectF bar(area.left() + i * slot + slot * 0.15, area.bottom() - barHeight,
                         slot * 0.7, barHeight);
        painter.fillRect(bar, run.failed() ? QColor(0xd0, 0x30, 0x30) : bytesColour);
        const QPointF point(area.left() + (i + 0.5) * slot,
                            area.bottom() - area.height() * run.start.secsTo(run.end) / longest);
        if (i == 0)
            durations.moveTo(point);
        else
            durations.lineTo(point);
    }
    painter.setPen(QPen(timeColour, 2));
    painter.drawPath(durations);
    painter.setPen(bytesColour);
    painter.drawText(QPointF(4, metrics.ascent() + 2),
                     QStringLiteral("copied, up to %1").arg(bytesText(mostBytes)));
    painter.setPen(timeColour);
    const QString time = QStringLiteral("duration, up to %1 s").arg(longest);
    painter.drawText(QPointF(width() - 4 - metrics.horizontalAdvance(time), metrics.ascent() + 2),
                     time);
}

} // namespace tarnwick::ui
